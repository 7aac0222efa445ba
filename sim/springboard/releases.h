// The host as each iOS release has it: which of the five classes and twelve methods the
// Objective-C runtime knows there, and how that release's own code sets and reads what the
// status bar shows. One table (releases.cpp), read by the host and the simulator alike.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace springboard {

struct Version {
    int major = 0;
    int minor = 0;
    int patch = 0;
};

// MAJOR[.MINOR[.PATCH]] of a release the table covers (6 to 18, and 26); nothing otherwise.
std::optional<Version> parseRelease(std::string_view text);
std::string releaseName(const Version &version); // "iOS 16.4.1"

// A method the host's own code sends through the runtime.
struct Route {
    const char *cls;
    const char *selector;
};

struct ClassMethods {
    const char *cls;
    std::vector<const char *> selectors;
};

// Releases that agree on every class and method the library replaces.
struct Era {
    int firstMajor;
    int lastMajor;
    std::vector<ClassMethods> runtime; // the classes and the methods the runtime dispatches
    std::vector<ClassMethods> direct;  // methods compiled as plain functions: out of the runtime
    // How the release's telephony code hands over a new operator name: it sends `setsName`, whose
    // own implementation then sends the name on to `passesTo` (null: it keeps it itself). No
    // route (a null class): the release stores it in code the runtime never dispatches.
    Route setsName;
    const char *passesTo;
    const char *shownFrom; // the class whose operator name the status bar shows
    const char *seen;      // the releases whose public class dumps show this row
    const char *inferred;  // the releases nobody dumped, taken as the row's
};

// The host a process has: a release's, or, with no era, the full host: every class and method
// at once, which no release has.
struct Host {
    const Era *era = nullptr;
    std::optional<Version> version;
    bool springBoard = true; // false: an ordinary app (see releases.cpp)

    bool hasClass(const std::string &cls) const;
    bool hasMethod(const std::string &cls, const std::string &selector) const;
    bool isDirect(const std::string &cls, const std::string &selector) const;
    // The classes an ordinary app lacks, or none for SpringBoard.
    std::vector<std::string> classesAbsent() const;
    // kCFCoreFoundationVersionNumber as Settings sees it there; nothing for the full host.
    std::optional<double> coreFoundationVersion() const;
    std::string name() const; // "iOS 16.4.1", or "the full host"
};

Host hostOf(std::optional<Version> version, bool springBoard);
const std::vector<Era> &eras();

} // namespace springboard
