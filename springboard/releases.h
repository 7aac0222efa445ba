// The host as each iOS release has it: which of the host's classes and the methods the library
// replaces the Objective-C runtime knows there, and how that release's own code sets and reads
// what the status bar shows. One table (releases.cpp), read by the host and the simulator alike,
// beside the table of which version numbers are releases at all.
#pragma once

#include <compare>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace springboard {

struct Version {
    int major = 0;
    int minor = 0;
    int patch = 0;
    auto operator<=>(const Version &) const = default;
};

// MAJOR[.MINOR[.PATCH]] read as a public iOS release, or the reason it is none: a number past
// the last release of its major, a major that does not exist, a number that never shipped.
struct ReleaseReading {
    std::optional<Version> version;
    std::string refusal = {};
    // For a number past the newest major's last known release, which Apple may have shipped
    // since: it is taken as that release, and this says so.
    std::string warning = {};
};
ReleaseReading readRelease(std::string_view text);
// MAJOR[.MINOR[.PATCH]] as numbers, whether or not it was ever a release; nothing when it is not
// three numbers of at most three digits each, or fewer.
std::optional<Version> parseVersion(std::string_view text);
std::string releaseName(const Version &version); // "iOS 16.4.1"
// "6.0 to 18.7.10, and 26.0 to 26.7.1": the releases readRelease takes.
std::string releasesCovered();
// The last release of a major, where the table has the major.
std::optional<Version> lastRelease(int major);

// A method the host's own code sends through the runtime.
struct Route {
    const char *cls;
    const char *selector;
};

struct ClassMethods {
    const char *cls;
    std::vector<const char *> selectors;
};

// Releases that agree on every class and method the library replaces, and on how their own code
// uses them.
struct Era {
    int firstMajor;
    int lastMajor;
    std::vector<ClassMethods> runtime;     // the classes and the methods the runtime dispatches
    std::vector<ClassMethods> direct = {}; // methods compiled as plain functions: out of the runtime
    // How the release's telephony code hands over a new operator name: it sends `setsName`, whose
    // own implementation then sends the name on to `passesTo` (null: it keeps it itself). No
    // class: the setters are direct methods (see springboard::setOperatorNameDirectly).
    Route setsName;
    const char *passesTo = nullptr;
    const char *shownFrom; // the class whose operator name the status bar shows
    // The classes whose methods the status bar asks for the SIM-status text, the radio's state
    // and dual SIM; null where the release's own code answers, out of the library's reach.
    const char *simTextFrom = nullptr;
    const char *radioFrom = nullptr;
    const char *dualSIMFrom = nullptr;
    // Whether the status-bar data provider makes what stands in the carrier's place itself, each
    // text looked up by message (springboard::serviceDescription), as from 16; otherwise the status
    // bar shows the SIM-status text with no usable card, "No Service" with the radio dead, and
    // else `shownFrom`'s name.
    bool looksUpTexts = false;
    const char *seen;     // the releases whose public class dumps show this row
    const char *inferred; // the releases nobody dumped, taken as the row's
};

// The host a process has: a release's, or, with no era, the full host: every class and method
// the library's own sites replace, at once, which no release has.
struct Host {
    const Era *era = nullptr;
    std::optional<Version> version;
    bool springBoard = true; // false: an ordinary app (see releases.cpp)

    // The era's shape, or the full host's.
    const Era &shape() const;
    bool hasClass(const std::string &cls) const;
    bool hasMethod(const std::string &cls, const std::string &selector) const;
    bool isDirect(const std::string &cls, const std::string &selector) const;
    // kCFCoreFoundationVersionNumber as Settings sees it there; nothing for the full host.
    std::optional<double> coreFoundationVersion() const;
    std::string name() const; // "iOS 16.4.1", or "the full host"
};

Host hostOf(std::optional<Version> version, bool springBoard);
const std::vector<Era> &eras();

// Each major the table covers: its first and last release, kCFCoreFoundationVersionNumber of its
// first release and the lowest it is known by (a beta's), where a filter for it must start, and
// its era.
struct MajorRelease {
    int major;
    Version last;
    double coreFoundation;
    double lowestCoreFoundation;
    const Era *era;
};
std::vector<MajorRelease> majorReleases();

} // namespace springboard
