// Property lists into the model's Foundation objects: XML through libplist, binary by its own reader.
#include <plist/plist.h>

#include <limits>
#include <memory>

#include "platform/model/binary_plist.h"
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

} // namespace

PropertyListReading readPropertyList(std::string_view bytes) {
    if (bytes.empty() || bytes.size() > std::numeric_limits<uint32_t>::max()) {
        return {};
    }
    if (bytes.substr(0, 8) == "bplist00") {
        PropertyListReading reading;
        Ref root = Ref::adopt(readBinaryPropertyList(bytes, maximumDepth, &reading.textWithNul));
        reading.dictionary = dynamic_cast<Dictionary *>(object(root.get())) ? root.release() : nullptr;
        return reading;
    }
    plist_t parsed = nullptr;
    plist_from_memory(bytes.data(), static_cast<uint32_t>(bytes.size()), &parsed);
    PlistRoot root(parsed);
    if (!parsed || plist_get_node_type(parsed) != PLIST_DICT) {
        return {};
    }
    return {convert(parsed, 0).release(), false};
}

PlatformId readPropertyListDictionary(std::string_view bytes) {
    return readPropertyList(bytes).dictionary;
}

} // namespace model
