#include "platform/model/plist_writer.h"

#include <stdlib.h>

std::string encodePreferences(PrefEntries entries, Encoding encoding) {
    plist_t dictionary = plist_new_dict();
    for (auto &[key, value] : entries) {
        plist_dict_set_item(dictionary, key.c_str(), value);
    }
    char *bytes = nullptr;
    uint32_t length = 0;
    if (encoding == Encoding::binary) {
        plist_to_bin(dictionary, &bytes, &length);
    } else {
        plist_to_xml(dictionary, &bytes, &length);
    }
    std::string encoded(bytes, length);
    free(bytes);
    plist_free(dictionary);
    return encoded;
}
