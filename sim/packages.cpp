#include "sim/packages.h"

#include <nlohmann/json.hpp>

#include <algorithm>

#include "settings/preferences.h"
#include "sim/command_line.h"
#include "sim/preference_file.h"

namespace sim {
namespace {

using Json = nlohmann::ordered_json;
using springboard::Version;

Json readJson(const std::filesystem::path &file) {
    std::optional<std::string> bytes = readRegularFile(file);
    Json parsed = bytes ? Json::parse(*bytes, nullptr, false) : Json();
    if (!parsed.is_object()) {
        throw InputError("cannot read " + file.string());
    }
    return parsed;
}

// "17.3.1" as the facts write a release.
Version versionOf(const std::string &text) {
    Version version;
    int *parts[] = {&version.major, &version.minor, &version.patch};
    size_t at = 0;
    for (int *part : parts) {
        size_t dot = std::min(text.find('.', at), text.size());
        *part = at < text.size() ? std::stoi(text.substr(at, dot - at)) : 0;
        at = dot + 1;
    }
    return version;
}

// Whether a fact's releases, "from" to "to", take in `release`.
bool spans(const Json &fact, const Version &release) {
    return versionOf(fact["from"]) <= release && release <= versionOf(fact["to"]);
}

std::string shortName(const Version &version) {
    return springboard::releaseName(version).substr(4);
}

// The chips a fact names: [lowest, highest], every chip when it names none.
std::pair<int, int> chipsOf(const Json &fact) {
    if (!fact.contains("chips")) {
        return {0, 99};
    }
    return {fact["chips"][0].get<int>(), fact["chips"][1].get<int>()};
}

bool overlap(std::pair<int, int> a, std::pair<int, int> b) {
    return a.first <= b.second && b.first <= a.second;
}

std::string chipRange(std::pair<int, int> chips) {
    if (chips.first == chips.second) {
        return "A" + std::to_string(chips.first);
    }
    return chips.second >= 99 ? "A" + std::to_string(chips.first) + " and later"
                              : "A" + std::to_string(chips.first) + " to A" + std::to_string(chips.second);
}

// A run of releases the release table names: "6-11", "12" or "16 and later".
bool labelCovers(const std::string &label, int major) {
    int first = std::stoi(label);
    size_t dash = label.find('-');
    bool later = label.ends_with("later");
    int last = later ? 999 : dash == std::string::npos ? first : std::stoi(label.substr(dash + 1));
    return major >= first && major <= last;
}

} // namespace

struct PackageFacts::Data {
    Json packages;
    Json releases;
    std::string version;
};

PackageFacts::PackageFacts(const std::filesystem::path &packages, const std::filesystem::path &releases,
                           std::string version)
    : data_(std::make_shared<Data>(Data{readJson(packages), readJson(releases), std::move(version)})) {}

std::vector<std::string> PackageFacts::models() const {
    std::vector<std::string> names;
    for (const Json &device : data_->packages["devices"]) {
        names.push_back(device["model"]);
    }
    return names;
}

PackageAnswer PackageFacts::answer(const Version &release, const std::optional<std::string> &device,
                                   const std::optional<std::string> &arch) const {
    const Json &facts = data_->packages;
    std::vector<std::pair<std::string, std::pair<int, int>>> asked; // (who, chips)
    if (device) {
        auto found = std::find_if(facts["devices"].begin(), facts["devices"].end(),
                                  [&](const Json &row) { return row["model"] == *device; });
        if (found == facts["devices"].end()) {
            throw InputError("no phone " + quoteText(*device) + " is known here (help package lists them)");
        }
        Version from = versionOf((*found)["from"]), to = versionOf((*found)["to"]);
        if (release < from || to < release) {
            throw InputError(*device + " runs iOS " + shortName(from) + " to " + shortName(to) + ", not " +
                             shortName(release));
        }
        int chip = (*found)["chip"];
        asked.push_back({*device + " (A" + std::to_string(chip) + ")", {chip, chip}});
    } else {
        for (const Json &slice : facts["slices"]) {
            std::pair<int, int> chips = chipsOf(slice);
            bool someRunsIt =
                std::any_of(facts["devices"].begin(), facts["devices"].end(), [&](const Json &row) {
                    int chip = row["chip"];
                    return chip >= chips.first && chip <= chips.second && spans(row, release);
                });
            if ((!arch || *arch == slice["name"]) && someRunsIt) {
                asked.push_back({chipRange(chips), chips});
            }
        }
    }

    PackageAnswer answer;
    for (const auto &one : asked) {
        const std::pair<int, int> chips =
            one.second; // named: a lambda cannot take a structured binding on clang 14
        ProcessorAnswer processors{one.first, {}};
        for (const Json &layout : facts["layouts"]) {
            PackageChoice choice{layout["name"],
                                 std::string(BRINDLEWICK_IDENTIFIER) + "_" + data_->version + "_" +
                                     layout["architecture"].get<std::string>() + ".deb",
                                 layout["architecture"],
                                 {},
                                 "",
                                 ""};
            for (const Json &jailbreak : facts["jailbreaks"]) {
                bool covers =
                    jailbreak["scheme"] == layout["name"] &&
                    std::any_of(jailbreak["covers"].begin(), jailbreak["covers"].end(), [&](const Json &c) {
                        return spans(c, release) && overlap(chipsOf(c), chips);
                    });
                if (covers) {
                    choice.jailbreaks.push_back(jailbreak["name"]);
                }
            }
            if (choice.jailbreaks.empty()) {
                continue;
            }
            // The loader takes the slice of the device's own processor, and only from the lowest
            // system that slice declares.
            for (const Json &name : layout["slices"]) {
                auto slice = std::find_if(facts["slices"].begin(), facts["slices"].end(),
                                          [&](const Json &row) { return row["name"] == name; });
                if (!overlap(chipsOf(*slice), chips)) {
                    continue;
                }
                Version lowest =
                    std::max(versionOf((*slice)["lowestSystem"]), versionOf(layout["lowestSystem"]));
                if (release < lowest) {
                    choice.whyNone =
                        "its " + name.get<std::string>() + " slice runs from iOS " + shortName(lowest);
                } else {
                    choice.slice = name;
                    choice.whyNone.clear();
                }
            }
            processors.packages.push_back(choice);
        }
        answer.processors.push_back(processors);
    }

    for (const Json &era : data_->releases["eras"]) {
        if (!labelCovers(era["releases"], release.major)) {
            continue;
        }
        for (const auto &[name, shows] : era["shows"].items()) {
            FeatureAnswer feature{name, shows, !shows.get<std::string>().starts_with("no effect"), ""};
            const Json &reasons = data_->releases["why"].value(name, Json::object());
            for (const auto &[label, why] : reasons.items()) {
                if (!feature.acts && labelCovers(label, release.major)) {
                    feature.why = why;
                }
            }
            answer.features.push_back(feature);
        }
    }
    return answer;
}

} // namespace sim
