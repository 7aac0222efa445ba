// Property lists, XML or binary, into the model's Foundation objects, through libplist.
#include <plist/plist.h>

#include <limits>
#include <memory>

#include "host/model/foundation_kinds.h"

namespace model {
namespace {

// Nesting deeper than this is refused rather than followed down the stack.
constexpr int maximumDepth = 512;

// Seconds between the Unix epoch and Foundation's reference date, 2001-01-01.
constexpr double referenceDateOffset = 978307200.0;

struct PlistDeleter {
    void operator()(void *node) const { plist_free(static_cast<plist_t>(node)); }
};
using PlistRoot = std::unique_ptr<void, PlistDeleter>;

// A reference the caller owns, or null when the node cannot become an object: a string that is
// not UTF-8 fails the whole file, as the platform's parser fails it.
HostStrongRef convert(plist_t node, int depth);

HostStrongRef convertDictionary(plist_t node, int depth) {
    auto *dictionary = new Dictionary;
    HostStrongRef result = HostStrongRef::adopt(dictionary->id());
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
        HostStrongRef converted = convert(value, depth + 1);
        if (!converted.get() || !isValidUTF8(keyText)) {
            free(iterator);
            return HostStrongRef(nullptr);
        }
        dictionary->adopt(std::move(keyText), object(converted.release()));
    }
    free(iterator);
    return result;
}

HostStrongRef convertArray(plist_t node, int depth) {
    std::vector<HostStrongRef> elements;
    uint32_t count = plist_array_get_size(node);
    for (uint32_t i = 0; i < count; ++i) {
        HostStrongRef converted = convert(plist_array_get_item(node, i), depth + 1);
        if (!converted.get()) {
            return HostStrongRef(nullptr);
        }
        elements.push_back(std::move(converted));
    }
    std::vector<HostId> ids;
    for (const HostStrongRef &element : elements) {
        ids.push_back(element.get());
    }
    return HostStrongRef::adopt(makeArray(ids));
}

HostStrongRef convert(plist_t node, int depth) {
    if (!node || depth > maximumDepth) {
        return HostStrongRef(nullptr);
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
        return HostStrongRef::adopt(isValidUTF8(bytes) ? makeString(bytes) : nullptr);
    }
    case PLIST_BOOLEAN: {
        uint8_t value = 0;
        plist_get_bool_val(node, &value);
        return HostStrongRef::adopt(makeBoolean(value != 0));
    }
    case PLIST_UINT: {
        // libplist keeps every integer as 64 unsigned bits; negative ones come back two's-complement.
        uint64_t value = 0;
        plist_get_uint_val(node, &value);
        return HostStrongRef::adopt(makeInteger(static_cast<int64_t>(value)));
    }
    case PLIST_REAL: {
        double value = 0;
        plist_get_real_val(node, &value);
        return HostStrongRef::adopt(makeReal(value));
    }
    case PLIST_DATE: {
        int32_t seconds = 0;
        int32_t microseconds = 0;
        plist_get_date_val(node, &seconds, &microseconds);
        return HostStrongRef::adopt(makeDate(seconds + microseconds / 1e6));
    }
    case PLIST_DATA: {
        uint64_t length = 0;
        const char *bytes = plist_get_data_ptr(node, &length);
        return HostStrongRef::adopt(makeData(std::string(bytes ? bytes : "", bytes ? length : 0)));
    }
    case PLIST_UID: {
        // A keyed-archiver reference: an object with no behaviour the library could use.
        uint64_t value = 0;
        plist_get_uid_val(node, &value);
        return HostStrongRef::adopt(makeToken("uid-" + std::to_string(value)));
    }
    case PLIST_KEY:
    case PLIST_NONE:
        break;
    }
    return HostStrongRef(nullptr);
}

} // namespace

HostId readPropertyListDictionary(std::string_view bytes) {
    if (bytes.empty() || bytes.size() > std::numeric_limits<uint32_t>::max()) {
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
