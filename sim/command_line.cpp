#include "sim/command_line.h"

#include <charconv>

#include "platform/model/model.h"

namespace sim {
namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool isNameCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_' || c == '.';
}

// Reads a quoted text starting at the opening quote; leaves `at` after the closing one.
std::string readQuoted(std::string_view line, size_t &at) {
    std::string text;
    for (++at; at < line.size(); ++at) {
        char c = line[at];
        if (c == '"') {
            ++at;
            if (!model::isValidUTF8(text)) {
                throw InputError("text is not UTF-8");
            }
            return text;
        }
        if (c != '\\') {
            text += c;
            continue;
        }
        if (++at == line.size()) {
            break;
        }
        switch (line[at]) {
        case '"':
            text += '"';
            break;
        case '\\':
            text += '\\';
            break;
        case 'n':
            text += '\n';
            break;
        case 't':
            text += '\t';
            break;
        case 'x': {
            int high = at + 1 < line.size() ? hexDigit(line[at + 1]) : -1;
            int low = at + 2 < line.size() ? hexDigit(line[at + 2]) : -1;
            if (high < 0 || low < 0) {
                throw InputError("\\x needs two hexadecimal digits");
            }
            text += static_cast<char>(high * 16 + low);
            at += 2;
            break;
        }
        default:
            throw InputError(std::string("unknown escape \\") + line[at]);
        }
    }
    throw InputError("unterminated text");
}

} // namespace

std::vector<Token> tokenize(std::string_view line) {
    std::vector<Token> tokens;
    size_t at = 0;
    while (at < line.size()) {
        if (isSpace(line[at])) {
            ++at;
            continue;
        }
        if (line[at] == '"') {
            tokens.push_back({true, readQuoted(line, at)});
            if (at < line.size() && !isSpace(line[at])) {
                throw InputError("text must be followed by a space");
            }
            continue;
        }
        size_t start = at;
        while (at < line.size() && !isSpace(line[at])) {
            if (line[at] == '"') {
                throw InputError("a quote inside a word");
            }
            ++at;
        }
        tokens.push_back({false, std::string(line.substr(start, at - start))});
    }
    return tokens;
}

Value parseValue(const Token &token) {
    if (token.quoted) {
        return {Value::Kind::text, token.text};
    }
    const std::string &word = token.text;
    if (word == "nil") {
        return {Value::Kind::nil, ""};
    }
    if (word == "YES") {
        return {Value::Kind::yes, ""};
    }
    if (word == "NO") {
        return {Value::Kind::no, ""};
    }
    if (word.size() > 1 && word[0] == '@') {
        for (size_t i = 1; i < word.size(); ++i) {
            if (!isNameCharacter(word[i])) {
                throw InputError("malformed object name " + word);
            }
        }
        return {Value::Kind::object, word.substr(1)};
    }
    int64_t integer = 0;
    auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), integer);
    if (end == word.data() + word.size() && !word.empty()) {
        if (error == std::errc::result_out_of_range) {
            throw InputError("the integer " + word + " is out of range: an argument fits in 64 bits");
        }
        if (error == std::errc()) {
            return {Value::Kind::integer, "", integer};
        }
    }
    throw InputError("malformed argument " + word + ": a text goes in quotes, as in " + quoteText(word) +
                     "; a value is otherwise nil, YES, NO, an integer or @NAME");
}

std::string formatValue(const Value &value) {
    switch (value.kind) {
    case Value::Kind::text:
        return quoteText(value.text);
    case Value::Kind::nil:
        return "nil";
    case Value::Kind::yes:
        return "YES";
    case Value::Kind::no:
        return "NO";
    case Value::Kind::integer:
        return std::to_string(value.integer);
    case Value::Kind::object:
        return "@" + value.text;
    }
    return "?";
}

} // namespace sim
