#include "sim/reply.h"

#include "platform/model/model.h"
#include "sim/help.h"

namespace sim {
namespace {

std::string joined(const std::vector<std::string> &cells, const std::string &separator) {
    std::string line;
    for (const std::string &cell : cells) {
        line += (line.empty() ? "" : separator) + cell;
    }
    return line;
}

std::string pipeLine(const Reply &reply) {
    if (reply.rows.empty()) {
        return reply.whenEmpty;
    }
    std::string line;
    for (size_t i = 0; i < reply.rows.size(); ++i) {
        const std::vector<std::string> &row = reply.rows[i];
        if (reply.grouped) {
            std::vector<std::string> rest(row.begin() + 1, row.end());
            std::erase(rest, std::string());
            line += (row[0].empty() ? ", " : std::string(i ? " | " : "") + row[0] + ": ") + joined(rest, " ");
        } else {
            line += (i ? reply.rowSeparator : "") + joined(row, reply.cellSeparator);
        }
    }
    return line;
}

} // namespace

std::vector<std::string> render(const Reply &reply, Output output) {
    switch (output) {
    case Output::json:
        return {jsonLine(reply.json)};
    case Output::terminal:
        if (reply.aligned && !reply.rows.empty()) {
            return alignedColumns(reply.rows);
        }
        [[fallthrough]];
    case Output::pipe:
        break;
    }
    return {pipeLine(reply)};
}

Json toJson(const Value &value) {
    switch (value.kind) {
    case Value::Kind::text:
        return jsonText(value.text);
    case Value::Kind::nil:
        return nullptr;
    case Value::Kind::yes:
        return true;
    case Value::Kind::no:
        return false;
    case Value::Kind::integer:
        return value.integer;
    case Value::Kind::object:
        return Json{{"object", jsonText(value.text)}};
    }
    return nullptr;
}

std::string jsonText(std::string_view text) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        auto byte = static_cast<unsigned char>(text[i]);
        size_t length = byte < 0x80 ? 1 : byte >= 0xf0 ? 4 : byte >= 0xe0 ? 3 : 2;
        if (byte < 0x80 || (i + length <= text.size() && model::isValidUTF8(text.substr(i, length)))) {
            out += text.substr(i, length);
            i += length - 1;
        } else {
            out += "\\x";
            out += digits[byte >> 4];
            out += digits[byte & 15];
        }
    }
    return out;
}

std::string jsonLine(const Json &object) {
    return object.dump();
}

} // namespace sim
