// The jailbreak's loader as a phone runs it: the tweak folder of the phone's scheme, and which of its
// libraries a process takes, in the order they load, by the filter beside each (ElleKit's rules,
// which Dopamine and palera1n run, and roothide's fork of it for roothide):
//   - a library without NAME.plist beside it, or whose plist holds no Filter dictionary, or keys of
//     the wrong kinds, is not loaded;
//   - Bundles (a bundle the process has loaded), Classes (one the runtime has) and Executables (the
//     executable's file name) are OR-ed; Mode is not read;
//   - CoreFoundationVersion with one number is the lowest release's; with two, roothide reads
//     [lowest, below), and ElleKit upstream reads the first twice and so never loads the library;
//   - the libraries load in ascending order of their file names.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace sim {

struct TweakFolder {
    std::filesystem::path path; // Library/MobileSubstrate/DynamicLibraries, under the scheme's home
    std::string scheme;         // rootful, rootless or roothide
};

// The tweak folder of a jailbroken phone's root, where its loader looks (whether or not it is there
// yet): at the root, under var/jb, or under roothide's own folder among the apps' bundles. A root is
// jailbroken that holds a tweak folder, or a jailbreak's dpkg database, in one of those places.
std::optional<TweakFolder> tweakFolderOf(const std::filesystem::path &root);

// What the loader knows of the process it runs in.
struct LoadingProcess {
    std::vector<std::string> bundles; // the bundles it has loaded, by identifier
    std::string executable;           // the executable's file name
    std::function<bool(const std::string &)> hasClass;
    std::optional<double> coreFoundation; // kCFCoreFoundationVersionNumber; none: any release
};

struct Tweak {
    std::filesystem::path library;
    bool loads;
    std::string why; // why it loads, or why not
};

// Every library of the folder in file-name order, with the loader's verdict for this process.
std::vector<Tweak> tweaksFor(const TweakFolder &folder, const LoadingProcess &process);

} // namespace sim
