#include "platform/model/text.h"

#include "platform/model/property_lists.h"

namespace model {

size_t utf8SequenceAt(std::string_view text, size_t at) {
    auto byte = static_cast<unsigned char>(text[at]);
    size_t length = byte < 0x80 ? 1 : byte >= 0xf0 ? 4 : byte >= 0xe0 ? 3 : 2;
    return at + length <= text.size() && model::isValidUTF8(text.substr(at, length)) ? length : 0;
}

std::string escapedByte(unsigned char byte) {
    static const char digits[] = "0123456789abcdef";
    return {'\\', 'x', digits[byte >> 4], digits[byte & 15]};
}

std::string quoteText(std::string_view text) {
    std::string quoted = "\"";
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80) {
            size_t length = utf8SequenceAt(text, i);
            quoted += length ? std::string(text.substr(i, length)) : escapedByte(byte);
            i += length ? length - 1 : 0;
        } else if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += c;
        } else if (c == '\n') {
            quoted += "\\n";
        } else if (c == '\t') {
            quoted += "\\t";
        } else if (byte < 0x20 || byte == 0x7f) {
            quoted += escapedByte(byte);
        } else {
            quoted += c;
        }
    }
    return quoted + "\"";
}

} // namespace model
