#include "sim/reply.h"

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

std::vector<std::string> render(const Reply &reply, Output output, size_t columns) {
    switch (output) {
    case Output::json:
        return {jsonLine(reply.json)};
    case Output::terminal:
        if (reply.aligned && !reply.rows.empty()) {
            return alignedColumns(reply.rows, "", columns);
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
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        size_t length = utf8SequenceAt(text, i);
        out +=
            length ? std::string(text.substr(i, length)) : escapedByte(static_cast<unsigned char>(text[i]));
        i += length ? length - 1 : 0;
    }
    return out;
}

std::string jsonLine(const Json &object) {
    return object.dump();
}

} // namespace sim
