// Binary property lists ("bplist00") straight into the model's Foundation objects, in one pass
// over the file's object table. Each object is made once however often it is referred to, as the
// platform's own reader makes it: a file that refers to one array from many places costs what the
// array costs, where a reader that made each reference anew could be made to build without end.
#include <cstring>
#include <vector>

#include "platform/model/binary_plist.h"
#include "platform/model/foundation_kinds.h"

namespace model {
namespace {

constexpr uint64_t headerSize = 8;
constexpr uint64_t trailerSize = 32;

class BinaryReader {
  public:
    BinaryReader(std::string_view bytes, int maximumDepth) : bytes_(bytes), maximumDepth_(maximumDepth) {}
    ~BinaryReader() {
        for (Object *made : made_) {
            if (made) {
                made->release();
            }
        }
    }

    // Whether a text read so far, a key or a value, holds a NUL character.
    bool textWithNul() const { return textWithNul_; }

    // The root object, or null.
    Ref read() {
        uint64_t trailer = bytes_.size() - trailerSize;
        offsetSize_ = byte(trailer + 6);
        referenceSize_ = byte(trailer + 7);
        objects_ = number(trailer + 8, 8);
        uint64_t top = number(trailer + 16, 8);
        table_ = number(trailer + 24, 8);
        if (offsetSize_ < 1 || offsetSize_ > 8 || referenceSize_ < 1 || referenceSize_ > 8 || objects_ == 0 ||
            top >= objects_ || table_ < headerSize || table_ > trailer ||
            objects_ > (trailer - table_) / offsetSize_) {
            return Ref(nullptr);
        }
        made_.assign(objects_, nullptr);
        reading_.assign(objects_, false);
        Object *root = referred(top, 0);
        return root ? Ref(root->id()) : Ref(nullptr);
    }

  private:
    unsigned byte(uint64_t at) const { return static_cast<unsigned char>(bytes_[at]); }

    uint64_t number(uint64_t at, unsigned width) const {
        uint64_t value = 0;
        for (unsigned i = 0; i < width; ++i) {
            value = (value << 8) | byte(at + i);
        }
        return value;
    }

    // The object numbered `index`, made on first use and kept for every later reference; null when
    // it, or anything inside it, cannot be read.
    Object *referred(uint64_t index, int depth) {
        if (index >= objects_ || depth > maximumDepth_ || reading_[index]) {
            return nullptr; // out of the table, nested past the limit, or inside itself
        }
        if (!made_[index]) {
            uint64_t at = number(table_ + index * offsetSize_, offsetSize_);
            if (at < headerSize || at >= table_) {
                return nullptr;
            }
            reading_[index] = true;
            made_[index] = make(at, depth);
            reading_[index] = false;
        }
        return made_[index];
    }

    // The element count of the object at `at` and where its contents start, checked to leave
    // room for `count` items of `width` bytes before the offset table.
    bool contents(uint64_t at, unsigned width, uint64_t &count, uint64_t &start) const {
        count = byte(at) & 0xF;
        start = at + 1;
        if (count == 0xF) {
            if (start >= table_ || byte(start) >> 4 != 0x1 || (byte(start) & 0xF) > 3) {
                return false;
            }
            unsigned countWidth = 1u << (byte(start) & 0xF);
            if (start + 1 + countWidth > table_) {
                return false;
            }
            count = number(start + 1, countWidth);
            start += 1 + countWidth;
        }
        return count <= (table_ - start) / width;
    }

    bool fits(uint64_t at, uint64_t size) const { return size <= table_ - at; }

    bool zeros(uint64_t at, uint64_t size) const {
        return bytes_.substr(at, size).find_first_not_of('\0') == std::string_view::npos;
    }

    Object *make(uint64_t at, int depth) {
        unsigned marker = byte(at);
        unsigned low = marker & 0xF;
        uint64_t count = 0;
        uint64_t start = 0;
        switch (marker >> 4) {
        case 0x0:
            if (marker == 0x08 || marker == 0x09) {
                return model::object(makeBoolean(marker == 0x09));
            }
            return nullptr; // null and fill have no Foundation object
        case 0x1: {
            if (low > 4 || !fits(at + 1, 1u << low)) {
                return nullptr;
            }
            // Sixteen-byte integers keep their low 64 bits; eight bytes are signed, fewer unsigned.
            unsigned width = 1u << low;
            uint64_t value = number(at + 1 + (width > 8 ? width - 8 : 0), width > 8 ? 8 : width);
            return model::object(makeInteger(static_cast<int64_t>(value)));
        }
        case 0x2:
            if ((low != 2 && low != 3) || !fits(at + 1, 1u << low)) {
                return nullptr;
            }
            return model::object(makeReal(low == 2 ? floatAt(at + 1) : doubleAt(at + 1)));
        case 0x3:
            if (marker != 0x33 || !fits(at + 1, 8)) {
                return nullptr;
            }
            return model::object(makeDate(doubleAt(at + 1))); // since 2001-01-01, as Foundation counts
        case 0x4:
            if (!contents(at, 1, count, start)) {
                return nullptr;
            }
            return model::object(makeData(std::string(bytes_.substr(start, count))));
        case 0x5:
            if (!contents(at, 1, count, start) || !isValidUTF8(bytes_.substr(start, count))) {
                return nullptr;
            }
            return text(std::string(bytes_.substr(start, count)));
        case 0x6: {
            std::string text;
            if (!contents(at, 2, count, start) || !utf8FromUTF16(start, count, text)) {
                return nullptr;
            }
            return this->text(std::move(text));
        }
        case 0x8: {
            // A keyed-archiver reference, up to sixteen bytes holding 32 bits: an object with no
            // behaviour the library could use.
            unsigned width = low + 1;
            unsigned high = width > 4 ? width - 4 : 0; // bytes above the 32 bits, all zero
            if (!fits(at + 1, width) || !zeros(at + 1, high)) {
                return nullptr;
            }
            return model::object(makeToken("uid-" + std::to_string(number(at + 1 + high, width - high))));
        }
        case 0xA:
        case 0xC: // a set reads as the array of its members
            return array(at, depth);
        case 0xD:
            return dictionary(at, depth);
        default:
            return nullptr;
        }
    }

    Object *text(std::string utf8) {
        textWithNul_ = textWithNul_ || utf8.find('\0') != std::string::npos;
        return new String(std::move(utf8));
    }

    double doubleAt(uint64_t at) const {
        uint64_t bits = number(at, 8);
        double value = 0;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }

    float floatAt(uint64_t at) const {
        auto bits = static_cast<uint32_t>(number(at, 4));
        float value = 0;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }

    // Well-formed UTF-16 (big-endian, surrogates paired) as UTF-8.
    bool utf8FromUTF16(uint64_t at, uint64_t units, std::string &text) const {
        text.reserve(units);
        for (uint64_t i = 0; i < units; ++i) {
            uint32_t point = static_cast<uint32_t>(number(at + 2 * i, 2));
            if (point >= 0xDC00 && point <= 0xDFFF) {
                return false;
            }
            if (point >= 0xD800 && point <= 0xDBFF) {
                if (++i == units) {
                    return false;
                }
                auto low = static_cast<uint32_t>(number(at + 2 * i, 2));
                if (low < 0xDC00 || low > 0xDFFF) {
                    return false;
                }
                point = 0x10000 + ((point - 0xD800) << 10) + (low - 0xDC00);
            }
            if (point < 0x80) {
                text += static_cast<char>(point);
            } else if (point < 0x800) {
                text += static_cast<char>(0xC0 | point >> 6);
                text += static_cast<char>(0x80 | (point & 0x3F));
            } else if (point < 0x10000) {
                text += static_cast<char>(0xE0 | point >> 12);
                text += static_cast<char>(0x80 | (point >> 6 & 0x3F));
                text += static_cast<char>(0x80 | (point & 0x3F));
            } else {
                text += static_cast<char>(0xF0 | point >> 18);
                text += static_cast<char>(0x80 | (point >> 12 & 0x3F));
                text += static_cast<char>(0x80 | (point >> 6 & 0x3F));
                text += static_cast<char>(0x80 | (point & 0x3F));
            }
        }
        return true;
    }

    uint64_t reference(uint64_t start, uint64_t i) const {
        return number(start + i * referenceSize_, referenceSize_);
    }

    Object *array(uint64_t at, int depth) {
        uint64_t count = 0;
        uint64_t start = 0;
        if (!contents(at, referenceSize_, count, start)) {
            return nullptr;
        }
        std::vector<Object *> elements;
        elements.reserve(count);
        for (uint64_t i = 0; i < count; ++i) {
            Object *element = referred(reference(start, i), depth + 1);
            if (!element) {
                for (Object *taken : elements) {
                    taken->release();
                }
                return nullptr;
            }
            element->retain();
            elements.push_back(element);
        }
        return Array::adopting(std::move(elements));
    }

    // Keys are text without a NUL character, as the platform's dictionaries from a file hold.
    Object *dictionary(uint64_t at, int depth) {
        uint64_t count = 0;
        uint64_t start = 0;
        if (!contents(at, referenceSize_, count, start) || count > (table_ - start) / referenceSize_ / 2) {
            return nullptr;
        }
        auto *made = new Dictionary;
        Ref result = Ref::adopt(made->id());
        for (uint64_t i = 0; i < count; ++i) {
            auto *key = dynamic_cast<String *>(referred(reference(start, i), depth + 1));
            Object *value = referred(reference(start, count + i), depth + 1);
            if (!key || !value || key->text().find('\0') != std::string::npos) {
                return nullptr;
            }
            value->retain();
            made->adopt(key->text(), value);
        }
        return model::object(result.release());
    }

    std::string_view bytes_;
    int maximumDepth_;
    unsigned offsetSize_ = 0;
    unsigned referenceSize_ = 0;
    uint64_t objects_ = 0;
    uint64_t table_ = 0;
    std::vector<Object *> made_; // one reference each, given up when the reader goes
    std::vector<bool> reading_;  // on the path from the root to the object being made
    bool textWithNul_ = false;
};

} // namespace

PlatformId readBinaryPropertyList(std::string_view bytes, int maximumDepth, bool *textWithNul) {
    if (bytes.size() < headerSize + trailerSize || bytes.substr(0, headerSize) != "bplist00") {
        return nullptr;
    }
    BinaryReader reader(bytes, maximumDepth);
    Ref root = reader.read();
    if (textWithNul) {
        *textWithNul = reader.textWithNul();
    }
    return root.release();
}

} // namespace model
