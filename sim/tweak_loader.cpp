#include "sim/tweak_loader.h"

#include <algorithm>

#include "sim/plist_nodes.h"
#include "sim/preference_file.h"

namespace sim {
namespace {

constexpr const char *tweaks = "Library/MobileSubstrate/DynamicLibraries";
// roothide keeps the jailbreak among the apps' bundles, in a folder whose name changes every time.
constexpr const char *roothideHome = "var/containers/Bundle/Application";
constexpr const char *roothidePrefix = ".jbroot-";

std::optional<std::filesystem::path> roothideFolder(const std::filesystem::path &root) {
    std::error_code failed;
    std::filesystem::directory_iterator entries(root / roothideHome, failed);
    for (; !failed && entries != std::filesystem::directory_iterator(); entries.increment(failed)) {
        if (entries->path().filename().string().starts_with(roothidePrefix)) {
            return entries->path();
        }
    }
    return std::nullopt;
}

// The strings of an array, or nothing where it is not an array of strings.
std::optional<std::vector<std::string>> strings(plist_t node) {
    if (plist_get_node_type(node) != PLIST_ARRAY) {
        return std::nullopt;
    }
    std::vector<std::string> found;
    for (uint32_t i = 0; i < plist_array_get_size(node); ++i) {
        std::optional<std::string> text = textOf(plist_array_get_item(node, i));
        if (!text) {
            return std::nullopt;
        }
        found.push_back(std::move(*text));
    }
    return found;
}

std::optional<std::vector<double>> numbers(plist_t node) {
    if (plist_get_node_type(node) != PLIST_ARRAY || plist_array_get_size(node) == 0 ||
        plist_array_get_size(node) > 2) {
        return std::nullopt;
    }
    std::vector<double> found;
    for (uint32_t i = 0; i < plist_array_get_size(node); ++i) {
        plist_t item = plist_array_get_item(node, i);
        double value = 0;
        if (plist_get_node_type(item) == PLIST_REAL) {
            plist_get_real_val(item, &value);
        } else if (plist_get_node_type(item) == PLIST_UINT) {
            uint64_t whole = 0;
            plist_get_uint_val(item, &whole);
            value = double(whole);
        } else {
            return std::nullopt;
        }
        found.push_back(value);
    }
    return found;
}

// The loader's verdict on one filter.
Tweak judge(const std::filesystem::path &library, const std::string &scheme, const LoadingProcess &process) {
    std::filesystem::path plistFile = library;
    plistFile.replace_extension(".plist");
    std::optional<std::string> bytes;
    try {
        bytes = readRegularFile(plistFile);
    } catch (const std::exception &) {
        return {library, false, "its filter, " + plistFile.filename().string() + ", cannot be read"};
    }
    if (!bytes) {
        return {library, false, "no " + plistFile.filename().string() + " beside it"};
    }
    Plist root = parsePlist(*bytes);
    plist_t filter = root && plist_get_node_type(root.get()) == PLIST_DICT
                         ? plist_dict_get_item(root.get(), "Filter")
                         : nullptr;
    if (!filter || plist_get_node_type(filter) != PLIST_DICT) {
        return {library, false, "its filter holds no Filter dictionary"};
    }
    if (plist_t range = plist_dict_get_item(filter, "CoreFoundationVersion")) {
        std::optional<std::vector<double>> bounds = numbers(range);
        if (!bounds) {
            return {library, false, "its CoreFoundationVersion is not one or two numbers"};
        }
        if (bounds->size() == 2 && scheme != "roothide") {
            return {library, false,
                    "ElleKit reads a CoreFoundationVersion of two numbers as one that no release is in"};
        }
        double version = process.coreFoundation.value_or((*bounds)[0]);
        if (version < (*bounds)[0] || (bounds->size() == 2 && version >= (*bounds)[1])) {
            return {library, false, "its CoreFoundationVersion leaves this release out"};
        }
    }
    bool keyed = false;
    for (const char *key : {"Bundles", "Classes", "Executables"}) {
        plist_t node = plist_dict_get_item(filter, key);
        if (!node) {
            continue;
        }
        keyed = true;
        std::optional<std::vector<std::string>> names = strings(node);
        if (!names) {
            return {library, false, std::string("its ") + key + " is not a list of names"};
        }
        for (const std::string &name : *names) {
            bool taken =
                std::string_view(key) == "Bundles"
                    ? std::find(process.bundles.begin(), process.bundles.end(), name) != process.bundles.end()
                : std::string_view(key) == "Classes" ? process.hasClass(name)
                                                     : name == process.executable;
            if (taken) {
                return {library, true, std::string("its filter's ") + key + " names " + name};
            }
        }
    }
    return {library, false,
            keyed ? "its filter takes no bundle, class or executable of this process"
                  : "its filter names nothing"};
}

} // namespace

std::optional<TweakFolder> tweakFolderOf(const std::filesystem::path &root) {
    std::error_code failed;
    std::optional<std::filesystem::path> hidden = roothideFolder(root);
    for (const auto &[home, scheme] :
         {std::pair(hidden, "roothide"), std::pair(std::optional(root / "var/jb"), "rootless"),
          std::pair(std::optional(root), "rootful")}) {
        // A jailbreak's dpkg database says a loader is there, whether or not any tweak is installed.
        if (home && (std::filesystem::is_directory(*home / tweaks, failed) ||
                     std::filesystem::is_regular_file(*home / "var/lib/dpkg/status", failed))) {
            return TweakFolder{*home / tweaks, scheme};
        }
    }
    return std::nullopt;
}

std::vector<Tweak> tweaksFor(const TweakFolder &folder, const LoadingProcess &process) {
    std::vector<std::filesystem::path> libraries;
    std::error_code failed;
    std::filesystem::directory_iterator entries(folder.path, failed);
    for (; !failed && entries != std::filesystem::directory_iterator(); entries.increment(failed)) {
        if (entries->path().extension() == ".dylib") {
            libraries.push_back(entries->path());
        }
    }
    // The loader sorts the names as bytes.
    std::sort(libraries.begin(), libraries.end(),
              [](const auto &a, const auto &b) { return a.filename().string() < b.filename().string(); });
    std::vector<Tweak> judged;
    for (const std::filesystem::path &library : libraries) {
        judged.push_back(judge(library, folder.scheme, process));
    }
    return judged;
}

} // namespace sim
