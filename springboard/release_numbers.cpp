// The public releases by number: which numbers shipped, their names, and the CoreFoundation
// number of each major.
#include <algorithm>
#include <charconv>

#include "springboard/releases.h"

namespace springboard {
namespace {

// Which numbers are public releases (littlebyteorg/appledb, read 2026-12-07): the last patch of
// each minor, by major; iPadOS 17.7 went on to 17.7.11, which iPads run. With each major,
// kCFCoreFoundationVersionNumber of its first release and the lowest any build of it is known
// by, where a filter for it must start: 14's from theos' version.h (the 1740.00 often quoted is
// wrong), 17's is 17.0.3's, 18's its first beta's (18.0's own is not listed), 26's 26.0 (23A345)'s;
// the betas of 12 and 16 had lower numbers than their releases.
struct Major {
    int major;
    std::vector<int> lastPatch; // by minor
    double coreFoundation;
    double lowestCoreFoundation;
};
const Major majors[] = {
    {6, {2, 6}, 793.00, 793.00},
    {7, {6, 2}, 847.20, 847.20},
    {8, {2, 3, 0, 0, 1}, 1140.10, 1140.10},
    {9, {2, 0, 1, 6}, 1240.10, 1240.10},
    {10, {3, 1, 1, 4}, 1348.00, 1348.00},
    {11, {3, 2, 6, 1, 1}, 1443.00, 1443.00},
    {12, {1, 4, 0, 2, 9, 8}, 1556.00, 1535.12},
    {13, {0, 3, 3, 1, 1, 1, 1, 0}, 1665.15, 1665.15},
    {14, {1, 0, 1, 0, 2, 1, 0, 1, 1}, 1751.108, 1751.108},
    {15, {2, 1, 1, 1, 1, 0, 1, 9, 8}, 1854.00, 1854.00},
    {16, {3, 2, 0, 1, 1, 1, 1, 16}, 1946.102, 1932.101},
    {17, {3, 2, 1, 1, 1, 1, 1, 11}, 2048.1, 2048.1},
    {18, {1, 1, 1, 2, 1, 0, 2, 10}, 3028.0, 3028.0},
    {26, {1, 0, 1, 1, 2, 2, 2, 1}, 4040.1, 4040.1},
};

const Major *majorOf(int major) {
    auto found = std::find_if(std::begin(majors), std::end(majors),
                              [&](const Major &row) { return row.major == major; });
    return found == std::end(majors) ? nullptr : found;
}

// Numbers inside those ranges that never shipped for a phone.
struct Gap {
    Version version;
    const char *why;
};
const Gap gaps[] = {
    {{11, 2, 3}, "11.2 went from 11.2.2 to 11.2.5"},
    {{11, 2, 4}, "11.2 went from 11.2.2 to 11.2.5"},
    {{13, 2, 1}, "13.2.1 was for HomePod only"},
};

std::optional<int> number(std::string_view text) {
    int value = 0;
    if (text.empty() || text.size() > 3) {
        return std::nullopt;
    }
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

Version lastOf(const Major &line) {
    return {line.major, int(line.lastPatch.size()) - 1, line.lastPatch.back()};
}

} // namespace

std::optional<Version> parseVersion(std::string_view text) {
    int parts[3] = {0, 0, 0};
    size_t count = 0;
    for (size_t start = 0; start <= text.size(); ++count) {
        size_t dot = std::min(text.find('.', start), text.size());
        std::optional<int> part = number(text.substr(start, dot - start));
        if (count == 3 || !part) {
            return std::nullopt;
        }
        parts[count] = *part;
        start = dot + 1;
    }
    return Version{parts[0], parts[1], parts[2]};
}

ReleaseReading readRelease(std::string_view text) {
    std::optional<Version> parsed = parseVersion(text);
    if (!parsed) {
        return {std::nullopt, "it is not a release number: give MAJOR[.MINOR[.PATCH]], as in 16.6"};
    }
    Version version = *parsed;
    const Major *line = majorOf(version.major);
    const Major &newest = std::end(majors)[-1];
    if (!line) {
        if (version.major > newest.major) {
            return {std::nullopt, "nothing is known of iOS " + std::to_string(version.major) +
                                      "'s SpringBoard yet; the newest release here is " +
                                      releaseName(lastOf(newest))};
        }
        return {std::nullopt, "there is no iOS " + std::to_string(version.major) + ": the releases are " +
                                  releasesCovered()};
    }
    // Apple may have shipped a release past the newest known since: it is taken as that one.
    if (line == &newest && lastOf(newest) < version) {
        return {lastOf(newest), "",
                releaseName(version) + " is newer than the newest release known here, and is taken as " +
                    releaseName(lastOf(newest))};
    }
    bool pastMinor = version.minor >= int(line->lastPatch.size());
    if (pastMinor || version.patch > line->lastPatch[version.minor]) {
        Version last =
            pastMinor ? lastOf(*line) : Version{line->major, version.minor, line->lastPatch[version.minor]};
        std::string span =
            "iOS " + std::to_string(version.major) + (pastMinor ? "" : "." + std::to_string(version.minor));
        return {std::nullopt, span + " ends with " + releaseName(last).substr(4)};
    }
    for (const Gap &gap : gaps) {
        if (gap.version == version) {
            return {std::nullopt, std::string("it never shipped for a phone: ") + gap.why};
        }
    }
    return {version, "", ""};
}

std::vector<MajorRelease> majorReleases() {
    std::vector<MajorRelease> all;
    for (const Major &line : majors) {
        all.push_back({line.major, lastOf(line), line.coreFoundation, line.lowestCoreFoundation,
                       hostOf(Version{line.major, 0, 0}, true).era});
    }
    return all;
}

std::optional<Version> lastRelease(int major) {
    const Major *line = majorOf(major);
    return line ? std::optional(lastOf(*line)) : std::nullopt;
}

std::string releasesCovered() {
    std::string text;
    for (size_t i = 0; i < std::size(majors); ++i) {
        bool first = i == 0 || majors[i - 1].major + 1 != majors[i].major;
        bool last = i + 1 == std::size(majors) || majors[i + 1].major != majors[i].major + 1;
        if (first) {
            text += (i ? ", and " : "") + std::to_string(majors[i].major) + ".0";
        }
        if (last) {
            text += " to " + releaseName(lastOf(majors[i])).substr(4);
        }
    }
    return text;
}

std::string releaseName(const Version &version) {
    std::string name = "iOS " + std::to_string(version.major) + "." + std::to_string(version.minor);
    return version.patch ? name + "." + std::to_string(version.patch) : name;
}

} // namespace springboard
