#include "sim/packages.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>

#include "sim/command_line.h"
#include "sim/preference_file.h"

namespace sim {
namespace {

using Json = nlohmann::ordered_json;
using springboard::Version;

struct Chips {
    int lowest;
    std::optional<int> highest; // none: every later one
    bool hold(int chip) const { return chip >= lowest && (!highest || chip <= *highest); }
};

// The facts the build decided, and each field of them as its reader needs it: a missing field or
// one of another kind is named, never read as a default.
class Facts {
  public:
    explicit Facts(const std::filesystem::path &file) : file_(file.filename().string()) {
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
    // A whole number, or none where the facts write null ("and later").
    std::optional<int> bound(const Json &object, const char *name) const {
        if (object.contains(name) && object[name].is_null()) {
            return std::nullopt;
        }
        return number(object, name);
    }
    bool truth(const Json &object, const char *name) const {
        return at(object, name, Json::value_t::boolean).get<bool>();
    }
    const Json &list(const Json &object, const char *name) const {
        return at(object, name, Json::value_t::array);
    }
    // [17, 3, 1], as the facts write a release.
    Version version(const Json &object, const char *name) const {
        const Json &parts = list(object, name);
        if (parts.size() != 3 || !std::all_of(parts.begin(), parts.end(),
                                              [](const Json &part) { return part.is_number_integer(); })) {
            throw InputError(file_ + " has a " + name + " that is no release number");
        }
        return Version{parts[0].get<int>(), parts[1].get<int>(), parts[2].get<int>()};
    }
    // The chips a fact names: [lowest, highest], the highest null for every later one; null for all.
    Chips chips(const Json &object) const {
        if (object.contains("chips") && object["chips"].is_null()) {
            return {0, std::nullopt};
        }
        const Json &pair = list(object, "chips");
        if (pair.size() != 2 || !pair[0].is_number_integer() ||
            !(pair[1].is_number_integer() || pair[1].is_null())) {
            throw InputError(file_ + " has chips that are not [lowest, highest]");
        }
        return {pair[0].get<int>(),
                pair[1].is_null() ? std::nullopt : std::optional<int>(pair[1].get<int>())};
    }

  private:
    std::string file_;
    Json json_;
};

bool overlap(const Chips &a, const Chips &b) {
    return (!b.highest || a.lowest <= *b.highest) && (!a.highest || b.lowest <= *a.highest);
}

std::string chipRange(const Chips &chips) {
    std::string lowest = "A" + std::to_string(chips.lowest);
    return chips.highest == chips.lowest ? lowest : lowest + " to A" + std::to_string(*chips.highest);
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
    Facts facts;
};

const PackageFacts &PackageFacts::ofThisBuild() {
    static const PackageFacts facts(BRINDLEWICK_PACKAGE_FACTS);
    return facts;
}

PackageFacts::PackageFacts(const std::filesystem::path &facts)
    : data_(std::make_shared<Data>(Data{Facts(facts)})) {}

std::vector<std::string> PackageFacts::models() const {
    std::vector<std::string> names;
    for (const Json &phone : data_->facts.list(data_->facts.json(), "phones")) {
        names.push_back(data_->facts.text(phone, "model"));
    }
    return names;
}

namespace {

Phone phoneOf(const Facts &facts, const Json &row) {
    static const std::pair<const char *, Phone::Form> forms[] = {
        {"home button", Phone::Form::homeButton},
        {"notch", Phone::Form::notch},
        {"Dynamic Island", Phone::Form::dynamicIsland}};
    std::string model = facts.text(row, "model");
    std::string form = facts.text(row, "form");
    auto known =
        std::find_if(std::begin(forms), std::end(forms), [&](auto &pair) { return form == pair.first; });
    if (known == std::end(forms)) {
        throw InputError("the package facts give the " + model + " a form \"" + form + "\" of no known kind");
    }
    return Phone{
        model,         facts.number(row, "chip"),   facts.version(row, "from"), facts.version(row, "to"),
        known->second, facts.number(row, "points"), facts.number(row, "scale"), facts.text(row, "slice")};
}

} // namespace

Phone PackageFacts::phone(std::string_view name) const {
    const Facts &facts = data_->facts;
    std::string asked = lowered(name);
    std::vector<std::string> alike;
    for (const Json &row : facts.list(facts.json(), "phones")) {
        std::string model = lowered(facts.text(row, "model"));
        if (model == asked) {
            return phoneOf(facts, row);
        }
        if (!asked.empty() && model.find(asked) != std::string::npos) {
            alike.push_back(facts.text(row, "model"));
        }
    }
    std::string suggestion;
    for (const std::string &model : alike) {
        suggestion += (suggestion.empty() ? "; did you mean " : ", or ") + quoteText(model);
    }
    throw InputError("no phone " + quoteText(name) + " is known here (help package lists them)" + suggestion);
}

namespace {

// The chips, within `chips`, of the phones that ran `release`; none when no phone did.
std::optional<Chips> chipsThatRan(const Facts &facts, const Version &release, const Chips &chips) {
    std::optional<Chips> found;
    for (const Json &phone : facts.list(facts.json(), "phones")) {
        int chip = facts.number(phone, "chip");
        bool ran = facts.version(phone, "from") <= release && release <= facts.version(phone, "to");
        if (ran && chips.hold(chip)) {
            found = found ? Chips{std::min(found->lowest, chip), std::max(*found->highest, chip)}
                          : Chips{chip, chip};
        }
    }
    return found;
}

// Whether a jailbreak's facts take in `release` on any of `chips`.
bool covers(const Facts &facts, const Json &jailbreak, const Version &release, const Chips &chips) {
    for (const Json &span : facts.list(jailbreak, "covers")) {
        if (facts.version(span, "from") <= release && release <= facts.version(span, "to") &&
            overlap(facts.chips(span), chips)) {
            return true;
        }
    }
    return false;
}

// A package for `chips` on `release`: the jailbreaks of its scheme that run there, and the slice the
// loader takes, of the processor's own and only from the first system the package declares for it.
PackageChoice choiceFor(const Facts &facts, const Json &package, const Version &release, const Chips &chips) {
    PackageChoice choice{facts.text(package, "scheme"),
                         facts.text(package, "file"),
                         facts.text(package, "architecture"),
                         {},
                         "",
                         ""};
    for (const Json &jailbreak : facts.list(package, "jailbreaks")) {
        if (covers(facts, jailbreak, release, chips)) {
            choice.jailbreaks.push_back(facts.text(jailbreak, "name"));
        }
    }
    for (const Json &slice : facts.list(package, "slices")) {
        if (!overlap(facts.chips(slice), chips)) {
            continue;
        }
        Version first = facts.version(slice, "from");
        if (release < first) {
            choice.whyNone = "its loader cannot take the package's " + facts.text(slice, "name") +
                             " slice before iOS " + shortName(first);
        } else {
            choice.slice = facts.text(slice, "name");
            choice.whyNone.clear();
        }
    }
    return choice;
}

// Who is asked of: the phone, or the chips of each slice's processors that ran the release (of
// `arch`'s slice alone when one is named).
std::vector<std::pair<std::string, Chips>> askedOf(const Facts &facts, const Version &release,
                                                   const std::optional<Phone> &phone,
                                                   const std::optional<std::string> &arch) {
    if (phone) {
        return {{phone->model + " (A" + std::to_string(phone->chip) + ")", Chips{phone->chip, phone->chip}}};
    }
    std::vector<std::pair<std::string, Chips>> asked;
    for (const Json &slice : facts.list(facts.json(), "slices")) {
        std::optional<Chips> ran = chipsThatRan(facts, release, facts.chips(slice));
        if ((!arch || *arch == facts.text(slice, "name")) && ran) {
            asked.push_back({chipRange(*ran), *ran});
        }
    }
    return asked;
}

} // namespace

std::vector<FeatureAnswer> PackageFacts::featuresOn(const Version &release) const {
    const Facts &facts = data_->facts;
    std::vector<FeatureAnswer> features;
    for (const Json &era : facts.list(facts.json(), "eras")) {
        std::optional<int> last = facts.bound(era, "last");
        if (release.major < facts.number(era, "first") || (last && release.major > *last)) {
            continue;
        }
        for (const Json &feature : facts.list(era, "features")) {
            features.push_back({facts.text(feature, "name"), facts.text(feature, "shows"),
                                facts.truth(feature, "acts"), facts.text(feature, "why")});
        }
    }
    return features;
}

std::optional<std::pair<std::string, std::string>> PackageFacts::sampleOf(const std::string &feature) const {
    const Facts &facts = data_->facts;
    for (const Json &sample : facts.list(facts.json(), "samples")) {
        if (facts.text(sample, "feature") == feature) {
            return std::pair(facts.text(sample, "text"), facts.text(sample, "yours"));
        }
    }
    return std::nullopt;
}

PackageAnswer PackageFacts::answer(const Version &release, const std::optional<Phone> &phone,
                                   const std::optional<std::string> &arch) const {
    const Facts &facts = data_->facts;
    PackageAnswer answer;
    bool anyServed = false;
    std::vector<std::string> unservedWhy;
    for (const auto &[who, chips] : askedOf(facts, release, phone, arch)) {
        ProcessorAnswer processors{who, {}};
        for (const Json &package : facts.list(facts.json(), "packages")) {
            PackageChoice choice = choiceFor(facts, package, release, chips);
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
    answer.features = featuresOn(release);
    return answer;
}

} // namespace sim
