#include "sim/json.h"

namespace sim {

std::string jsonString(std::string_view text) {
    static const char digits[] = "0123456789abcdef";
    std::string out = "\"";
    for (char c : text) {
        auto byte = static_cast<unsigned char>(c);
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
                out += c; // already UTF-8
            }
        }
    }
    return out + "\"";
}

} // namespace sim
