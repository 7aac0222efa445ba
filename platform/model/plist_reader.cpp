// Property lists, XML or binary, into the model's Foundation objects, through libplist.
#include <plist/plist.h>

#include <limits>
#include <memory>

#include "platform/model/foundation_kinds.h"

namespace model {
namespace {

// Nesting deeper than this is refused rather than followed down the stack.
constexpr int maximumDepth = 512;

struct PlistDeleter {
    void operator()(void *node) const { plist_free(static_cast<plist_t>(node)); }
};
using PlistRoot = std::unique_ptr<void, PlistDeleter>;

// A reference the caller owns, or null when the node cannot become an object: a string that is
// not UTF-8 fails the whole file, as the platform's parser fails it.
Ref convert(plist_t node, int depth);

Ref convertDictionary(plist_t node, int depth) {
    auto *dictionary = new Dictionary;
    Ref result = Ref::adopt(dictionary->id());
    plist_dict_iter iterator = nullptr;
    plist_dict_new_iter(node, &iterator);
    for (;;) {
        char *key = nullptr;
        plist_t value = nullptr;
        plist_dict_next_item(node, iterator, &key, &value);
        if (!value) {
            free(key);
            break;
        }
        std::string keyText = key ? key : "";
        free(key);
        Ref converted = convert(value, depth + 1);
        if (!converted.get() || !isValidUTF8(keyText)) {
            free(iterator);
            return Ref(nullptr);
        }
        dictionary->adopt(std::move(keyText), object(converted.release()));
    }
    free(iterator);
    return result;
}

Ref convertArray(plist_t node, int depth) {
    // By iterator: libplist finds an element by index by walking the list from its head.
    std::vector<Ref> elements;
    elements.reserve(plist_array_get_size(node));
    plist_array_iter iterator = nullptr;
    plist_array_new_iter(node, &iterator);
    for (;;) {
        plist_t item = nullptr;
        plist_array_next_item(node, iterator, &item);
        if (!item) {
            break;
        }
        Ref converted = convert(item, depth + 1);
        if (!converted.get()) {
            free(iterator);
            return Ref(nullptr);
        }
        elements.push_back(std::move(converted));
    }
    free(iterator);
    if (elements.size() != plist_array_get_size(node)) {
        return Ref(nullptr);
    }
    std::vector<Object *> adopted;
    adopted.reserve(elements.size());
    for (Ref &element : elements) {
        adopted.push_back(object(element.release()));
    }
    return Ref::adopt(Array::adopting(std::move(adopted))->id());
}

Ref convert(plist_t node, int depth) {
    if (!node || depth > maximumDepth) {
        return Ref(nullptr);
    }
    switch (plist_get_node_type(node)) {
    case PLIST_DICT:
        return convertDictionary(node, depth);
    case PLIST_ARRAY:
        return convertArray(node, depth);
    case PLIST_STRING: {
        uint64_t length = 0;
        const char *text = plist_get_string_ptr(node, &length);
        std::string_view bytes(text ? text : "", text ? length : 0);
        return Ref::adopt(isValidUTF8(bytes) ? (new String(std::string(bytes)))->id() : nullptr);
    }
    case PLIST_BOOLEAN: {
        uint8_t value = 0;
        plist_get_bool_val(node, &value);
        return Ref::adopt(makeBoolean(value != 0));
    }
    case PLIST_UINT: {
        // libplist keeps every integer as 64 unsigned bits; negative ones come back two's-complement.
        uint64_t value = 0;
        plist_get_uint_val(node, &value);
        return Ref::adopt(makeInteger(static_cast<int64_t>(value)));
    }
    case PLIST_REAL: {
        double value = 0;
        plist_get_real_val(node, &value);
        return Ref::adopt(makeReal(value));
    }
    case PLIST_DATE: {
        int32_t seconds = 0;
        int32_t microseconds = 0;
        plist_get_date_val(node, &seconds, &microseconds); // since 2001-01-01, as Foundation counts
        return Ref::adopt(makeDate(seconds + microseconds / 1e6));
    }
    case PLIST_DATA: {
        uint64_t length = 0;
        const char *bytes = plist_get_data_ptr(node, &length);
        return Ref::adopt(makeData(std::string(bytes ? bytes : "", bytes ? length : 0)));
    }
    case PLIST_UID: {
        // A keyed-archiver reference: an object with no behaviour the library could use.
        uint64_t value = 0;
        plist_get_uid_val(node, &value);
        return Ref::adopt(makeToken("uid-" + std::to_string(value)));
    }
    case PLIST_KEY:
    case PLIST_NONE:
        break;
    }
    return Ref(nullptr);
}

uint64_t bigEndian(std::string_view bytes, uint64_t at, unsigned width) {
    uint64_t value = 0;
    for (unsigned i = 0; i < width; ++i) {
        value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
    }
    return value;
}

// The element count of the object at `at` and where its contents start, or false when the
// count runs past `limit`.
bool objectCount(std::string_view bytes, uint64_t at, uint64_t limit, uint64_t &count, uint64_t &contents) {
    count = static_cast<unsigned char>(bytes[at]) & 0xF;
    contents = at + 1;
    if (count != 0xF) {
        return true;
    }
    if (contents >= limit || static_cast<unsigned char>(bytes[contents]) >> 4 != 0x1) {
        return false;
    }
    unsigned width = 1u << (bytes[contents] & 0x3);
    if (contents + 1 + width > limit) {
        return false;
    }
    count = bigEndian(bytes, contents + 1, width);
    contents += 1 + width;
    return true;
}

bool validUTF16(std::string_view bytes, uint64_t at, uint64_t units) {
    for (uint64_t i = 0; i < units; ++i) {
        auto unit = static_cast<uint16_t>(bigEndian(bytes, at + 2 * i, 2));
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            if (i + 1 == units) {
                return false;
            }
            auto low = static_cast<uint16_t>(bigEndian(bytes, at + 2 * ++i, 2));
            if (low < 0xDC00 || low > 0xDFFF) {
                return false;
            }
        } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
            return false;
        }
    }
    return true;
}

// A dictionary key libplist can hand back: ASCII or UTF-16 text without a NUL character, which
// its key accessor asserts against.
bool isKeyText(std::string_view bytes, uint64_t at, uint64_t table) {
    uint64_t count = 0;
    uint64_t contents = 0;
    if (at >= table || !objectCount(bytes, at, table, count, contents)) {
        return false;
    }
    unsigned kind = static_cast<unsigned char>(bytes[at]) >> 4;
    unsigned width = kind == 0x5 ? 1 : kind == 0x6 ? 2 : 0;
    if (width == 0 || count > (table - contents) / width) {
        return false;
    }
    for (uint64_t i = 0; i < count; ++i) {
        if (bigEndian(bytes, contents + i * width, width) == 0) {
            return false;
        }
    }
    return true;
}

// A binary property list whose dictionary keys are all strings without NUL characters and whose
// UTF-16 strings are all well formed. libplist takes in other keys and then fails an assertion
// when the dictionary is read, and it drops a string it cannot convert, which would cut a
// dictionary short. Such a file is refused here before libplist sees it, as is anything
// malformed in the object table.
bool binaryKeysAreStrings(std::string_view bytes) {
    constexpr uint64_t trailerSize = 32;
    if (bytes.size() < 8 + trailerSize) {
        return false;
    }
    uint64_t trailer = bytes.size() - trailerSize;
    unsigned offsetSize = static_cast<unsigned char>(bytes[trailer + 6]);
    unsigned referenceSize = static_cast<unsigned char>(bytes[trailer + 7]);
    uint64_t objects = bigEndian(bytes, trailer + 8, 8);
    uint64_t table = bigEndian(bytes, trailer + 24, 8);
    if (offsetSize < 1 || offsetSize > 8 || referenceSize < 1 || referenceSize > 8 || objects == 0 ||
        table < 8 || table > trailer || objects > (trailer - table) / offsetSize) {
        return false;
    }
    auto offsetOf = [&](uint64_t object) {
        return bigEndian(bytes, table + object * offsetSize, offsetSize);
    };
    for (uint64_t object = 0; object < objects; ++object) {
        uint64_t at = offsetOf(object);
        if (at < 8 || at >= table) {
            return false;
        }
        unsigned kind = static_cast<unsigned char>(bytes[at]) >> 4;
        uint64_t count = 0;
        uint64_t contents = 0;
        if (kind == 0x6) {
            if (!objectCount(bytes, at, table, count, contents) || count > (table - contents) / 2 ||
                !validUTF16(bytes, contents, count)) {
                return false;
            }
            continue;
        }
        if (kind != 0xD) {
            continue;
        }
        if (!objectCount(bytes, at, table, count, contents) || count > (table - contents) / referenceSize) {
            return false;
        }
        for (uint64_t key = 0; key < count; ++key) {
            uint64_t target = bigEndian(bytes, contents + key * referenceSize, referenceSize);
            if (target >= objects) {
                return false;
            }
            if (!isKeyText(bytes, offsetOf(target), table)) {
                return false;
            }
        }
    }
    return true;
}

} // namespace

PlatformId readPropertyListDictionary(std::string_view bytes) {
    if (bytes.empty() || bytes.size() > std::numeric_limits<uint32_t>::max()) {
        return nullptr;
    }
    if (bytes.substr(0, 8) == "bplist00" && !binaryKeysAreStrings(bytes)) {
        return nullptr;
    }
    plist_t parsed = nullptr;
    plist_from_memory(bytes.data(), static_cast<uint32_t>(bytes.size()), &parsed);
    PlistRoot root(parsed);
    if (!parsed || plist_get_node_type(parsed) != PLIST_DICT) {
        return nullptr;
    }
    return convert(parsed, 0).release();
}

} // namespace model
