#include "bench/bench_support.h"

#include <stdlib.h>

#include <fstream>
#include <stdexcept>

#include "library/settings/preferences.h"
#include "platform/model/model.h"

std::string preferenceBytes(Encoding encoding, size_t padding) {
    PrefEntries entries;
#define FLAG(key) entries.emplace_back(#key, plist_new_bool(1));
    BRINDLEWICK_FLAG_KEYS(FLAG)
#undef FLAG
    const char *texts[] = {"Brindlewick", "No SIM? No problem"}; // the example device's
    const char **next = texts;
#define TEXT(key) entries.emplace_back(#key, plist_new_string(*next++));
    BRINDLEWICK_TEXT_KEYS(TEXT)
#undef TEXT
    if (padding) {
        plist_t array = plist_new_array();
        for (size_t i = 0; i < padding; ++i) {
            plist_array_append_item(array, plist_new_string(("padding entry " + std::to_string(i)).c_str()));
        }
        entries.emplace_back("padding", array);
    }
    return encodePreferences(std::move(entries), encoding);
}

size_t paddingFor(Encoding encoding, size_t size) {
    size_t low = 0;
    size_t high = 1;
    while (preferenceBytes(encoding, high).size() < size) {
        low = high;
        high *= 2;
    }
    while (low + 1 < high) {
        size_t middle = (low + high) / 2;
        (preferenceBytes(encoding, middle).size() < size ? low : high) = middle;
    }
    return high;
}

std::filesystem::path makeDevice() {
    std::string root = (std::filesystem::temp_directory_path() / "brindlewick-bench-XXXXXX").string();
    if (!mkdtemp(root.data())) {
        throw std::runtime_error("cannot make a device root");
    }
    model::setDeviceRoot(root);
    std::filesystem::path file = model::devicePath(BRINDLEWICK_PREFERENCE_PATH);
    std::filesystem::create_directories(file.parent_path());
    return file;
}

void writeFile(const std::filesystem::path &file, const std::string &bytes) {
    std::ofstream(file, std::ios::binary | std::ios::trunc)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}
