// The commands of the Settings pane: set, unset and pane, and when an edit shows.
#include "library/settings/preferences.h"
#include "platform/model/model.h"
#include "sim/commands.h"
#include "sim/features.h"
#include "sim/packages.h"
#include "sim/preference_file.h"
#include "sim/simulated_host.h"
#include "sim/site_names.h"
#include "springboard/springboard.h"

namespace sim {

const PaneCell &SimulatedHost::cellFor(const Token &key) const {
    for (const PaneCell &cell : pane_) {
        if (!key.quoted && cell.kind != PaneCell::Kind::group && cell.key == key.text) {
            return cell;
        }
    }
    throw InputError("unknown key " + (key.quoted ? quoteText(key.text) : key.text) + "; the keys are " +
                     keys());
}

std::string SimulatedHost::keys() const {
    std::string list;
    for (const PaneCell &cell : pane_) {
        if (cell.kind != PaneCell::Kind::group) {
            list += (list.empty() ? "" : ", ") + cell.key;
        }
    }
    return list;
}

// The preference file as Settings reads it, not as the library does (none of this is its reading):
// no dictionary where there is no file, and a file that holds no property-list dictionary refused.
model::Ref SimulatedHost::preferences() const {
    std::optional<std::string> bytes = readRegularFile(preferenceFile_);
    model::Ref read = model::Ref::adopt(bytes ? model::readPropertyListDictionary(*bytes) : nullptr);
    if (bytes && !read.get()) {
        throw InputError(
            preferenceFile_.string() +
            " holds no property-list dictionary, so Settings cannot show it; it was left as it is");
    }
    return read;
}

// Your texts where the file holds them, for an answer that only mentions them: a file Settings cannot
// read holds none.
std::optional<model::Ref> SimulatedHost::yourPreferences() const {
    try {
        return preferences();
    } catch (const InputError &) {
        return std::nullopt;
    }
}

// When an edit of `key` shows in this host, as the library's start-up left it, and of what kind that
// is: at the host's next operator-name update, the next time the status bar asks, after a respring,
// never on this release, or not at all while the library is not loaded.
SimulatedHost::WhenItShows SimulatedHost::whenItShows(const std::string &key, bool setting) const {
    if (!libraryLoaded_) {
        return {"no-library", "the library is not loaded here"};
    }
    const Feature *feature = featureOfKey(key);
    if (!feature) {
        throw std::logic_error("the pane names " + key + ", which no feature of the library's reads");
    }
    const springboard::Host &host = springboard::installedHost();
    if (host.version) {
        for (const FeatureAnswer &answer : PackageFacts::ofThisBuild().featuresOn(*host.version)) {
            if (answer.name == feature->name && !answer.acts) {
                return {"never", "never shows on " + host.name() + ": " + answer.why};
            }
        }
    }
    std::string_view group = feature->group;
    bool installed = false;
    for (const model::HookRecord &record : model::hookRecords()) {
        std::optional<SiteName> site = siteOfSlot(record.slot);
        installed |= site && group == site->group && record.outcome == model::HookOutcome::installed;
    }
    if (!installed) {
        return {"after-respring", "takes effect after a respring: " + std::string(group) +
                                      " was off, or found nothing to replace, when this host started"};
    }
    if (!setting && feature->text && key == feature->text) {
        return {"after-respring", "the library keeps the text it last read until a respring: a load leaves a "
                                  "text whose key is gone as it was"};
    }
    if (group == "K5ENABLE") {
        return {"forced", "dual SIM stays forced until a respring, whatever the file says"};
    }
    if (group == "K2ENABLE" || group == "K3ENABLE") {
        return {"when-asked", "shows the next time the status bar asks (status does)"};
    }
    return {"at-update", "shows at the host's next operator-name update (update plays one)"};
}

// What the pane does when a cell changes: write the file, then announce it.
Reply SimulatedHost::edit(const std::vector<Token> &tokens) {
    bool setting = tokens[0].text == "set";
    if (tokens.size() != (setting ? 3u : 2u)) {
        throw InputError(setting ? "set takes a key and a value, as in " + setExample()
                                 : "unset takes a key, as in " + unsetExample());
    }
    const PaneCell &cell = cellFor(tokens[1]);
    std::optional<Value> value;
    if (setting) {
        value = parseValue(tokens[2]);
    }
    editPreference(preferenceFile_, cell, value);
    model::postDarwinNotification(BRINDLEWICK_CHANGE_NOTIFICATION);
    WhenItShows when = whenItShows(cell.key, setting);
    Json json{{"command", tokens[0].text}, {"key", cell.key}};
    std::vector<std::string> cells = {tokens[0].text, cell.key};
    if (setting) {
        json["value"] = toJson(*value);
        cells.push_back(formatValue(*value));
    }
    json["when"] = when.words;
    json["shows"] = when.kind;
    cells.back() += ";";
    cells.push_back(when.words);
    return words(std::move(json), std::move(cells));
}

// The cells this release's Settings shows, with what each shows now: the file's value, or the
// cell's default when it has none. A filtered group without a cell there shows its footer alone.
Reply SimulatedHost::pane(const std::vector<Token> &) {
    model::AutoreleasePool pool;
    model::Ref prefs = preferences();
    std::optional<double> version = springboard::installedHost().coreFoundationVersion();
    std::vector<const PaneCell *> shown;
    for (const PaneCell &cell : pane_) {
        if (cell.shownAt(version)) {
            shown.push_back(&cell);
        }
    }
    Reply reply{Json{{"command", "pane"}, {"cells", Json::array()}}};
    std::string group;
    for (size_t i = 0; i < shown.size(); ++i) {
        const PaneCell &cell = *shown[i];
        bool alone = cell.kind == PaneCell::Kind::group &&
                     (i + 1 == shown.size() || shown[i + 1]->kind == PaneCell::Kind::group);
        if (cell.kind == PaneCell::Kind::group && !(alone && !cell.coreFoundation.empty() && version)) {
            continue;
        }
        std::string opens = cell.group != group ? cell.group : "";
        group = cell.group;
        if (alone) {
            reply.rows.push_back({opens, cell.footer, ""});
            reply.json["cells"].push_back({{"group", cell.group}, {"footer", cell.footer}});
            continue;
        }
        PlatformId stored = lookUp(prefs.get(), cell.key);
        bool on = paneShowsOn(stored);
        Value value = cell.kind == PaneCell::Kind::truth
                          ? Value{on ? Value::Kind::yes : Value::Kind::no, ""}
                          : Value{Value::Kind::text, model::stringValue(stored).value_or("")};
        reply.rows.push_back({opens, cell.label,
                              cell.kind == PaneCell::Kind::truth ? (on ? "on" : "off") : formatValue(value)});
        reply.json["cells"].push_back(
            {{"group", cell.group}, {"label", cell.label}, {"key", cell.key}, {"value", toJson(value)}});
    }
    reply.grouped = true;
    reply.aligned = true;
    return reply;
}

} // namespace sim
