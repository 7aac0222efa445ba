#include "sim/json.h"

#include "platform/model/model.h"

namespace sim {

std::string jsonString(std::string_view text) {
    static const char digits[] = "0123456789abcdef";
    std::string out = "\"";
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80) {
            // A whole UTF-8 sequence as it is; a byte of none as \udcXX, the lone surrogate that
            // stands for an undecodable byte, so the line stays JSON and the bytes can be recovered.
            size_t length = byte >= 0xf0 ? 4 : byte >= 0xe0 ? 3 : 2;
            if (i + length <= text.size() && model::isValidUTF8(text.substr(i, length))) {
                out += text.substr(i, length);
                i += length - 1;
            } else {
                out += "\\udc";
                out += digits[byte >> 4];
                out += digits[byte & 15];
            }
            continue;
        }
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (byte < 0x20) {
                out += "\\u00";
                out += digits[byte >> 4];
                out += digits[byte & 15];
            } else {
                out += c;
            }
        }
    }
    return out + "\"";
}

} // namespace sim
