#include "sim/packages.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>

#include "library/settings/preferences.h"
#include "sim/command_line.h"
#include "sim/preference_file.h"

namespace sim {
namespace {

using Json = nlohmann::ordered_json;
using springboard::Version;

// A file of facts, and each field of it as its reader needs it: a missing field or one of another
// kind is named, never read as a default.
class Facts {
  public:
    Facts(const std::filesystem::path &file) : file_(file.filename().string()) {
        std::optional<std::string> bytes = readRegularFile(file);
        json_ = bytes ? Json::parse(*bytes, nullptr, false) : Json();
        if (!json_.is_object()) {
            throw InputError("cannot read " + file.string());
        }
    }
    const Json &json() const { return json_; }

    const Json &at(const Json &object, const char *name, Json::value_t kind) const {
        if (!object.is_object() || !object.contains(name) || object[name].type() != kind) {
            throw InputError(file_ + " has no " + name + " where one is needed");
        }
        return object[name];
    }
    std::string text(const Json &object, const char *name) const {
        return at(object, name, Json::value_t::string).get<std::string>();
    }
    int number(const Json &object, const char *name) const {
        const Json &found = object.contains(name) ? object[name] : Json();
        if (!found.is_number_integer()) {
            throw InputError(file_ + " has no whole number " + name + " where one is needed");
        }
        return found.get<int>();
    }
    const Json &list(const Json &object, const char *name) const {
        return at(object, name, Json::value_t::array);
    }
    // "17.3.1", as the facts write a release.
    Version version(const Json &object, const char *name) const {
        std::string written = text(object, name);
        std::optional<Version> parts = springboard::parseVersion(written);
        if (!parts) {
            throw InputError(file_ + " has " + name + " \"" + written + "\", which is no release number");
        }
        return *parts;
    }
    // The chips a fact names, [lowest, highest]; every chip when it names none.
    std::pair<int, int> chips(const Json &object) const {
        if (!object.contains("chips")) {
            return {0, 99};
        }
        const Json &pair = list(object, "chips");
        if (pair.size() != 2 || !pair[0].is_number_integer() || !pair[1].is_number_integer()) {
            throw InputError(file_ + " has chips that are not [lowest, highest]");
        }
        return {pair[0].get<int>(), pair[1].get<int>()};
    }

  private:
    std::string file_;
    Json json_;
};

bool overlap(std::pair<int, int> a, std::pair<int, int> b) {
    return a.first <= b.second && b.first <= a.second;
}

std::string chipRange(std::pair<int, int> chips) {
    std::string lowest = "A" + std::to_string(chips.first);
    return chips.first == chips.second ? lowest : lowest + " to A" + std::to_string(chips.second);
}

std::string shortName(const Version &version) {
    return springboard::releaseName(version).substr(4);
}

std::string lowered(std::string_view text) {
    std::string made(text);
    std::transform(made.begin(), made.end(), made.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return made;
}

// A run of releases the release table names: "6-11", "12" or "12 and later".
bool labelCovers(const std::string &label, int major) {
    int first = std::atoi(label.c_str());
    size_t dash = label.find('-');
    if (label.ends_with("and later")) {
        return major >= first;
    }
    int last = dash == std::string::npos ? first : std::atoi(label.c_str() + dash + 1);
    return major >= first && major <= last;
}

} // namespace

std::string Phone::releases() const {
    return "iOS " + shortName(first) + " to " + shortName(last);
}

std::string Phone::whereTheCarrierShows() const {
    if (form == Form::homeButton) {
        return "in the status bar, at its left";
    }
    return "on the lock screen and in Control Center (swipe down from the top right corner), at the left; "
           "the status bar over apps and the home screen shows none";
}

struct PackageFacts::Data {
    Facts packages;
    Facts releases;
    std::string version;
};

const PackageFacts &PackageFacts::ofThisBuild() {
    static const PackageFacts facts(BRINDLEWICK_PACKAGES_FILE, BRINDLEWICK_RELEASES_FILE,
                                    BRINDLEWICK_VERSION);
    return facts;
}

PackageFacts::PackageFacts(const std::filesystem::path &packages, const std::filesystem::path &releases,
                           std::string version)
    : data_(std::make_shared<Data>(Data{Facts(packages), Facts(releases), std::move(version)})) {}

std::vector<std::string> PackageFacts::models() const {
    std::vector<std::string> names;
    for (const Json &device : data_->packages.list(data_->packages.json(), "devices")) {
        names.push_back(data_->packages.text(device, "model"));
    }
    return names;
}

Phone PackageFacts::phone(std::string_view name) const {
    const Facts &facts = data_->packages;
    std::string asked = lowered(name);
    std::vector<std::string> alike;
    for (const Json &device : facts.list(facts.json(), "devices")) {
        std::string model = facts.text(device, "model");
        if (lowered(model) != asked) {
            if (!asked.empty() && lowered(model).find(asked) != std::string::npos) {
                alike.push_back(model);
            }
            continue;
        }
        static const std::pair<const char *, Phone::Form> forms[] = {
            {"home button", Phone::Form::homeButton},
            {"notch", Phone::Form::notch},
            {"Dynamic Island", Phone::Form::dynamicIsland}};
        std::string form = facts.text(device, "form");
        auto known =
            std::find_if(std::begin(forms), std::end(forms), [&](auto &row) { return form == row.first; });
        if (known == std::end(forms)) {
            throw InputError("packages.json gives the " + model + " a form \"" + form +
                             "\" of no known kind");
        }
        Phone phone{model,
                    facts.number(device, "chip"),
                    facts.version(device, "from"),
                    facts.version(device, "to"),
                    known->second,
                    facts.number(device, "points"),
                    facts.number(device, "scale"),
                    ""};
        for (const Json &slice : facts.list(facts.json(), "slices")) {
            std::pair<int, int> chips = facts.chips(slice);
            if (phone.chip >= chips.first && phone.chip <= chips.second) {
                phone.slice = facts.text(slice, "name");
            }
        }
        return phone;
    }
    std::string suggestion;
    for (const std::string &model : alike) {
        suggestion += (suggestion.empty() ? "; did you mean " : ", or ") + quoteText(model);
    }
    throw InputError("no phone " + quoteText(name) + " is known here (help package lists them)" + suggestion);
}

namespace {

// The chips, within `chips`, of the phones that ran `release`; none when no phone did.
std::optional<std::pair<int, int>> chipsThatRan(const Facts &facts, const Version &release,
                                                std::pair<int, int> chips) {
    std::optional<std::pair<int, int>> found;
    for (const Json &device : facts.list(facts.json(), "devices")) {
        int chip = facts.number(device, "chip");
        bool ran = facts.version(device, "from") <= release && release <= facts.version(device, "to");
        if (ran && chip >= chips.first && chip <= chips.second) {
            found = found ? std::pair(std::min(found->first, chip), std::max(found->second, chip))
                          : std::pair(chip, chip);
        }
    }
    return found;
}

// Whether a jailbreak's facts take in `release` on any of `chips`.
bool covers(const Facts &facts, const Json &jailbreak, const Version &release, std::pair<int, int> chips) {
    for (const Json &span : facts.list(jailbreak, "covers")) {
        if (facts.version(span, "from") <= release && release <= facts.version(span, "to") &&
            overlap(facts.chips(span), chips)) {
            return true;
        }
    }
    return false;
}

// The package of `layout` for `chips` on `release`: the jailbreaks of its scheme that run there,
// and the slice the loader takes, of the processor's own and only from the lowest system that slice
// declares.
PackageChoice choiceFor(const Facts &facts, const std::string &version, const Json &layout,
                        const Version &release, std::pair<int, int> chips) {
    std::string architecture = facts.text(layout, "architecture");
    PackageChoice choice{facts.text(layout, "name"),
                         std::string(BRINDLEWICK_IDENTIFIER) + "_" + version + "_" + architecture + ".deb",
                         architecture,
                         {},
                         "",
                         ""};
    for (const Json &jailbreak : facts.list(facts.json(), "jailbreaks")) {
        if (facts.text(jailbreak, "scheme") == choice.layout && covers(facts, jailbreak, release, chips)) {
            choice.jailbreaks.push_back(facts.text(jailbreak, "name"));
        }
    }
    for (const Json &name : facts.list(layout, "slices")) {
        const Json &slices = facts.list(facts.json(), "slices");
        auto slice =
            std::find_if(slices.begin(), slices.end(), [&](const Json &row) { return row["name"] == name; });
        if (slice == slices.end() || !name.is_string()) {
            throw InputError("packages.json's " + choice.layout +
                             " package names a slice it does not describe");
        }
        if (!overlap(facts.chips(*slice), chips)) {
            continue;
        }
        Version lowest =
            std::max(facts.version(*slice, "lowestSystem"), facts.version(layout, "lowestSystem"));
        if (release < lowest) {
            choice.whyNone = "its loader cannot take the package's " + name.get<std::string>() +
                             " slice before iOS " + shortName(lowest);
        } else {
            choice.slice = name;
            choice.whyNone.clear();
        }
    }
    return choice;
}

// What each feature does on `release`, as the release table says, and why where it does nothing.
std::vector<FeatureAnswer> featuresIn(const Facts &facts, const Version &release) {
    std::vector<FeatureAnswer> features;
    const Json &reasons = facts.json().contains("why") ? facts.json()["why"] : Json::object();
    for (const Json &era : facts.list(facts.json(), "eras")) {
        if (!labelCovers(facts.text(era, "releases"), release.major)) {
            continue;
        }
        for (const auto &[name, shows] : facts.at(era, "shows", Json::value_t::object).items()) {
            if (!shows.is_string()) {
                throw InputError("releases.json says nothing of what " + name + " shows");
            }
            FeatureAnswer feature{name, shows, !shows.get<std::string>().starts_with("no effect"), ""};
            const Json itsReasons = reasons.value(name, Json::object());
            for (const auto &[label, why] : itsReasons.items()) {
                if (!feature.acts && labelCovers(label, release.major) && why.is_string()) {
                    feature.why = why;
                }
            }
            features.push_back(std::move(feature));
        }
    }
    return features;
}

} // namespace

std::vector<FeatureAnswer> PackageFacts::featuresOn(const Version &release) const {
    return featuresIn(data_->releases, release);
}

std::optional<std::pair<std::string, std::string>> PackageFacts::sampleOf(const std::string &feature) const {
    const Facts &facts = data_->releases;
    const Json &all = facts.json();
    if (!all.contains("samples") || !all["samples"].contains(feature)) {
        return std::nullopt;
    }
    const Json &sample = all["samples"][feature];
    return std::pair(facts.text(sample, "text"), facts.text(sample, "yours"));
}

PackageAnswer PackageFacts::answer(const Version &release, const std::optional<Phone> &phone,
                                   const std::optional<std::string> &arch) const {
    const Facts &facts = data_->packages;
    const Json &all = facts.json();
    std::vector<std::pair<std::string, std::pair<int, int>>> asked; // (who, chips)
    if (phone) {
        asked.push_back(
            {phone->model + " (A" + std::to_string(phone->chip) + ")", {phone->chip, phone->chip}});
    } else {
        for (const Json &slice : facts.list(all, "slices")) {
            std::optional<std::pair<int, int>> ran = chipsThatRan(facts, release, facts.chips(slice));
            if ((!arch || *arch == facts.text(slice, "name")) && ran) {
                asked.push_back({chipRange(*ran), *ran});
            }
        }
    }

    PackageAnswer answer;
    bool anyServed = false;
    std::vector<std::string> unservedWhy;
    for (const auto &[who, chips] : asked) {
        ProcessorAnswer processors{who, {}};
        for (const Json &layout : facts.list(all, "layouts")) {
            PackageChoice choice = choiceFor(facts, data_->version, layout, release, chips);
            if (choice.jailbreaks.empty()) {
                continue;
            }
            anyServed = anyServed || !choice.slice.empty();
            if (choice.slice.empty()) {
                unservedWhy.push_back(choice.whyNone);
            }
            processors.packages.push_back(std::move(choice));
        }
        answer.processors.push_back(std::move(processors));
    }
    if (!anyServed) {
        std::string what = phone ? "the " + phone->model : "a phone";
        answer.notServed = "no package serves " + what + " on iOS " + shortName(release) + ": " +
                           (unservedWhy.empty() ? "no jailbreak known here runs there"
                                                : "a jailbreak runs there, but " + unservedWhy.front());
        return answer;
    }
    answer.features = featuresIn(data_->releases, release);
    return answer;
}

} // namespace sim
