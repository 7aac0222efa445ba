// The commands that answer what to install: package and releases.
#include <charconv>

#include "platform/model/model.h"
#include "sim/packages.h"
#include "sim/settings_pane.h"
#include "sim/simulated_host.h"
#include "springboard/springboard.h"

namespace sim {

// The phone `package` answers for: its own argument, else --phone's; refused where the two differ,
// where --arch names another processor's slice, and where the phone never ran the release.
std::optional<Phone> SimulatedHost::phoneAskedOf(const std::vector<Token> &tokens,
                                                 const springboard::Version &release) const {
    std::optional<Phone> phone = phone_;
    if (tokens.size() == 2) {
        phone = PackageFacts::ofThisBuild().phone(tokens[1].text);
        if (phone_ && phone->model != phone_->model) {
            throw InputError("package asks of the " + phone->model + ", and --phone names the " +
                             phone_->model);
        }
        if (arch_ && *arch_ != phone->slice) {
            throw InputError("--arch " + *arch_ + " is not the slice the " + phone->model + "'s A" +
                             std::to_string(phone->chip) + " takes, " + phone->slice);
        }
    }
    if (phone && !phone->ran(release)) {
        throw InputError("the " + phone->model + " runs " + phone->releases() + ", not " +
                         springboard::releaseName(release).substr(4));
    }
    return phone;
}

// What a feature shows, in the user's words: the user's own text from the preference file where the
// measurement showed its sample text, or what that sample stands for.
std::string SimulatedHost::inUserWords(const FeatureAnswer &feature, PlatformId preferences) const {
    const PackageFacts &facts = PackageFacts::ofThisBuild();
    std::optional<std::pair<std::string, std::string>> sample = facts.sampleOf(feature.name);
    size_t at = sample ? feature.shows.find("\"" + sample->first + "\"") : std::string::npos;
    if (!feature.acts || at == std::string::npos) {
        return feature.shows;
    }
    std::string words = sample->second;
    for (const PaneCell &cell : pane_) {
        std::optional<std::string> mine;
        if (cell.kind == PaneCell::Kind::text && cell.group == groupOfFeature(feature.name)) {
            mine = model::stringValue(lookUp(preferences, cell.key));
        }
        words = mine ? quoteText(*mine) : words;
    }
    return feature.shows.substr(0, at) + words + feature.shows.substr(at + sample->first.size() + 2);
}

// The group of the pane whose switch turns a feature on.
std::string SimulatedHost::groupOfFeature(const std::string &feature) const {
    for (const PaneCell &cell : pane_) {
        if (cell.kind == PaneCell::Kind::truth && cell.label == feature) {
            return cell.group;
        }
    }
    return "";
}

// Which package to install on the host's release, on a phone or on each processor, and what then
// acts there; for a phone, where to look.
Reply SimulatedHost::package(const std::vector<Token> &tokens) {
    const springboard::Host &host = springboard::installedHost();
    if (tokens.size() > 2) {
        throw InputError("package takes at most one phone, in quotes, as in package \"iPhone XS\"");
    }
    if (!host.version) {
        throw InputError("package answers for a release: give one with --ios, as in --ios 16.6");
    }
    std::optional<Phone> phone = phoneAskedOf(tokens, *host.version);
    PackageAnswer answer =
        PackageFacts::ofThisBuild().answer(*host.version, phone, phone ? std::nullopt : arch_);
    Reply reply{Json{{"command", "package"},
                     {"release", springboard::releaseName(*host.version).substr(4)},
                     {"notServed", answer.notServed.empty() ? Json() : Json(answer.notServed)},
                     {"processors", Json::array()},
                     {"features", Json::array()}}};
    if (!answer.notServed.empty()) {
        reply.rows.push_back({answer.notServed});
    }
    for (const ProcessorAnswer &processors : answer.processors) {
        Json packages = Json::array();
        std::string who = processors.processors;
        for (const PackageChoice &choice : processors.packages) {
            std::string jailbreaks;
            for (const std::string &name : choice.jailbreaks) {
                jailbreaks += (jailbreaks.empty() ? "" : ", ") + name;
            }
            reply.rows.push_back(
                {who, choice.layout + " " + choice.file + " (" + jailbreaks + "): " +
                          (choice.slice.empty() ? "not served: " + choice.whyNone
                                                : "the loader takes its " + choice.slice + " slice")});
            who.clear();
            packages.push_back({{"layout", choice.layout},
                                {"file", choice.file},
                                {"architecture", choice.architecture},
                                {"jailbreaks", choice.jailbreaks},
                                {"slice", choice.slice.empty() ? Json() : Json(choice.slice)},
                                {"notServed", choice.whyNone.empty() ? Json() : Json(choice.whyNone)}});
        }
        if (processors.packages.empty()) {
            reply.rows.push_back({who, "no jailbreak known here runs there"});
        }
        reply.json["processors"].push_back({{"processors", processors.processors}, {"packages", packages}});
    }
    if (phone) {
        reply.rows.push_back({"where to look", phone->whereTheCarrierShows()});
        reply.json["where"] = phone->whereTheCarrierShows();
    }
    model::AutoreleasePool pool;
    std::optional<model::Ref> yours = yourPreferences();
    for (const FeatureAnswer &feature : answer.features) {
        std::string shows = inUserWords(feature, yours ? yours->get() : nullptr);
        reply.rows.push_back({feature.name, feature.acts ? shows : "no effect: " + feature.why});
        reply.json["features"].push_back({{"feature", feature.name},
                                          {"acts", feature.acts},
                                          {"shows", jsonText(shows)},
                                          {"why", feature.why.empty() ? Json() : Json(feature.why)}});
    }
    reply.cellSeparator = ": ";
    reply.rowSeparator = " | ";
    reply.aligned = true;
    return reply;
}

// Every major the release table covers, as --ios takes it, with the numbers Settings' filters see.
Reply SimulatedHost::releases(const std::vector<Token> &) {
    Reply reply{Json{{"command", "releases"}, {"releases", Json::array()}}};
    auto number = [](double value) {
        char text[32];
        auto [end, error] = std::to_chars(text, text + sizeof text, value);
        return std::string(text, error == std::errc() ? end : text);
    };
    for (const springboard::MajorRelease &major : springboard::majorReleases()) {
        std::string last = springboard::releaseName(major.last).substr(4);
        std::string numbers = "CoreFoundation " + number(major.coreFoundation);
        if (major.lowestCoreFoundation != major.coreFoundation) {
            numbers += " (" + number(major.lowestCoreFoundation) + " in a beta)";
        }
        reply.rows.push_back(
            {"iOS " + std::to_string(major.major), std::to_string(major.major) + ".0 to " + last, numbers});
        reply.json["releases"].push_back({{"major", major.major},
                                          {"last", last},
                                          {"coreFoundation", major.coreFoundation},
                                          {"lowestCoreFoundation", major.lowestCoreFoundation},
                                          {"era", {major.era->firstMajor, major.era->lastMajor}}});
    }
    reply.aligned = true;
    return reply;
}

} // namespace sim
