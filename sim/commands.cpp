// The simulator's commands: the table that dispatch and help read, and each command's method.
#include "sim/commands.h"

#include <algorithm>
#include <charconv>

#include "library/settings/preferences.h"
#include "platform/model/model.h"
#include "sim/features.h"
#include "sim/help.h"
#include "sim/packages.h"
#include "sim/preference_file.h"
#include "sim/simulated_host.h"
#include "sim/site_names.h"
#include "springboard/springboard.h"

namespace sim {
namespace {

// A host method as a command calls it: the kinds of its arguments and result, from its types.
struct CallableMethod {
    const springboard::HostMethod *method;
    std::string arguments; // '@' an object, 'c' a truth value, one a parameter
    char result;           // 'v' none, '@' an object, 'c' a truth value
};

CallableMethod findMethod(const std::string &cls, const std::string &selector) {
    const auto &known = springboard::allClasses;
    if (std::find(std::begin(known), std::end(known), cls) == std::end(known) && cls != springboard::bundle) {
        throw InputError("unknown class " + cls);
    }
    const springboard::Host &host = springboard::installedHost();
    for (const springboard::HostMethod &method : springboard::methods()) {
        if (cls != method.cls || selector != method.selector) {
            continue;
        }
        if (!host.hasClass(cls)) {
            throw InputError((host.springBoard ? host.name() : "an app on " + host.name()) +
                             " has no class " + cls);
        }
        if (!host.hasMethod(cls, selector)) {
            throw InputError(
                cls + " has no method " + selector + " in the runtime of " + host.name() +
                (host.isDirect(cls, selector)
                     ? ": it is a direct method there, which the release's own code calls as a function"
                     : ""));
        }
        std::string types = method.types; // result, '@' the receiver, ':' the selector, then each
        return {&method, types.substr(3), types[0]};
    }
    throw InputError("unknown selector " + selector + " for " + cls);
}

PlatformBool truthArgument(const Value &value) {
    switch (value.kind) {
    case Value::Kind::yes:
        return 1;
    case Value::Kind::no:
        return 0;
    case Value::Kind::integer:
        if (value.integer < -128 || value.integer > 255) {
            throw InputError("a truth value is one byte, not " + std::to_string(value.integer));
        }
        return static_cast<PlatformBool>(value.integer);
    default:
        throw InputError("expected YES, NO or an integer, not " + formatValue(value));
    }
}

Value truthValue(PlatformBool truth) {
    if (truth == 0 || truth == 1) {
        return {truth ? Value::Kind::yes : Value::Kind::no, ""};
    }
    return {Value::Kind::integer, "", static_cast<int64_t>(truth)};
}

// The pane's own reading of the file, as Settings reads it: not one of the library's calls.
PlatformId lookUp(PlatformId dictionary, const std::string &key) {
    model::Ref name = model::Ref::adopt(model::makeString(key));
    return model::send<PlatformId>(dictionary, "objectForKey:", name.get());
}

bool paneShowsOn(PlatformId value) {
    return model::respondsTo(value, model::selector("boolValue")) &&
           model::send<PlatformBool>(value, "boolValue");
}

// A reply of one line of words, as most commands make.
Reply words(Json json, std::vector<std::string> cells) {
    return Reply{std::move(json), {std::move(cells)}};
}

} // namespace

namespace {

// The examples of an edit, from the first feature's own keys.
const std::string &setExample() {
    static const std::string example = "set " + std::string(features().front().text) + " \"Moxfathom\"";
    return example;
}
const std::string &unsetExample() {
    static const std::string example = "unset " + std::string(features().front().flag);
    return example;
}

} // namespace

const std::vector<Command> &commands() {
    static const std::vector<Command> all = {
        {"call", "call CLASS SELECTOR [ARG ...]",
         "sends a host method; prints what the host's method received or returned",
         "call SBTelephonyManager setOperatorName: \"Carrier\"", true, -1, &SimulatedHost::call},
        {"status", "status", "the status bar as the host draws it now", "status", false, 0,
         &SimulatedHost::status},
        {"picture", "picture FILE.png", "draws the status bar as the host shows it now, into a PNG file",
         "picture status.png", true, -1, &SimulatedHost::picture},
        {"hooks", "hooks",
         "every method the library asked to replace, in order: its group, its layer and how it went", "hooks",
         false, 0, &SimulatedHost::hooks},
        {"reads", "reads", "how often this process has read the preference file", "reads", false, 0,
         &SimulatedHost::reads},
        {"post", "post NAME", "posts a Darwin notification to every process on the device",
         "post " BRINDLEWICK_CHANGE_NOTIFICATION, true, 1, &SimulatedHost::post},
        {"update", "update [\"NAME\"]",
         "plays the network's next operator-name update: the host's own code hands the name on again",
         "update \"Carrier\"", false, -1, &SimulatedHost::update},
        {"set", "set KEY VALUE", "writes a setting as the Settings pane does, and announces it",
         setExample().c_str(), true, -1, &SimulatedHost::edit},
        {"unset", "unset KEY", "removes a setting as the Settings pane does, and announces it",
         unsetExample().c_str(), true, -1, &SimulatedHost::edit},
        {"pane", "pane", "the Settings pane's cells with the values they show", "pane", false, 0,
         &SimulatedHost::pane},
        {"package", "package [DEVICE]",
         "what to install on the host's release (--ios): for a phone, or for each processor (or --arch's)",
         "package \"iPhone XS\"", false, -1, &SimulatedHost::package},
        {"releases", "releases",
         "the iOS releases the host can be (--ios), with their CoreFoundation numbers", "releases", false, 0,
         &SimulatedHost::releases},
        {"trace", "trace", "the platform calls the library made since the last trace (needs --trace)",
         "trace", false, 0, &SimulatedHost::trace},
        {"instructions", "instructions", "instructions the device library ran since the last instructions",
         "instructions", false, 0, &SimulatedHost::instructions},
        {"help", "help [COMMAND]", "this list, or one command's form", "help set", false, -1,
         &SimulatedHost::help},
    };
    return all;
}

const Command *findCommand(std::string_view name) {
    for (const Command &command : commands()) {
        if (name == command.name) {
            return &command;
        }
    }
    return nullptr;
}

Reply SimulatedHost::run(std::string_view line) {
    std::vector<Token> tokens = tokenize(line);
    if (tokens.empty()) {
        throw InputError("empty command");
    }
    const Token &verb = tokens[0];
    const Command *command = verb.quoted ? nullptr : findCommand(verb.text);
    if (!command) {
        throw InputError("unknown command " + (verb.quoted ? quoteText(verb.text) : verb.text) +
                         " (help lists the commands)");
    }
    if (command->arguments >= 0 && tokens.size() != static_cast<size_t>(command->arguments) + 1) {
        bool bare = std::string_view(command->form) == command->example;
        throw InputError(
            verb.text + (command->arguments == 0 ? " takes no argument" : " takes one argument") +
            (bare ? "" : std::string(": it is ") + command->form + ", as in " + command->example));
    }
    Reply reply = (this->*command->run)(tokens);
    for (std::string &warning : fileWarnings()) {
        reply.warnings.push_back(std::move(warning));
    }
    return reply;
}

Reply SimulatedHost::call(const std::vector<Token> &tokens) {
    if (tokens.size() < 3 || tokens[1].quoted || tokens[2].quoted) {
        throw InputError("call needs a class and a selector");
    }
    CallableMethod callable = findMethod(tokens[1].text, tokens[2].text);
    const springboard::HostMethod &method = *callable.method;
    PlatformId receiver = springboard::instance(method.cls);
    if (!receiver) {
        throw InputError(std::string("the host has no class ") + method.cls);
    }
    if (size_t wanted = callable.arguments.size(); tokens.size() - 3 != wanted) {
        static const char *const counts[] = {"no argument", "one argument", "two arguments",
                                             "three arguments"};
        throw InputError(std::string(method.selector) + " takes " + counts[std::min<size_t>(wanted, 3)] +
                         ", and " + std::to_string(tokens.size() - 3) + " were given");
    }
    std::vector<Value> values;
    for (size_t i = 3; i < tokens.size(); ++i) {
        values.push_back(parseValue(tokens[i]));
    }
    // Check every argument before sending anything.
    std::vector<PlatformId> objects;
    std::vector<PlatformBool> truths;
    for (size_t i = 0; i < values.size(); ++i) {
        if (callable.arguments[i] == 'c') {
            truths.push_back(truthArgument(values[i]));
        } else {
            objects.push_back(toObject(values[i]));
        }
    }

    model::AutoreleasePool pool;
    long entered = springboard::timesEntered(method.implementer, method.selector);
    Value returned{Value::Kind::nil, ""};
    // Each shape the host's methods have: the result's kind, then each argument's.
    std::string shape = callable.result + callable.arguments;
    if (shape == "@") {
        returned = valueOf(model::send<PlatformId>(receiver, method.selector));
    } else if (shape == "@@") {
        returned = valueOf(model::send<PlatformId>(receiver, method.selector, objects.at(0)));
    } else if (shape == "c") {
        returned = truthValue(model::send<PlatformBool>(receiver, method.selector));
    } else if (shape == "vc") {
        model::send(receiver, method.selector, truths.at(0));
    } else if (shape == "v@") {
        model::send(receiver, method.selector, objects.at(0));
    } else if (shape == "v@@") {
        model::send(receiver, method.selector, objects.at(0), objects.at(1));
    } else if (shape == "@@@@") {
        returned = valueOf(
            model::send<PlatformId>(receiver, method.selector, objects.at(0), objects.at(1), objects.at(2)));
    } else {
        throw std::logic_error("the host has a method of a shape call cannot send: " + shape);
    }
    Json json{{"command", "call"}, {"class", method.cls}, {"selector", method.selector}};
    if (callable.result != 'v') {
        json["returned"] = toJson(returned);
        return words(std::move(json), {"returned", formatValue(returned)});
    }
    if (springboard::timesEntered(method.implementer, method.selector) == entered) {
        json["entered"] = false;
        return words(std::move(json), {"not entered"});
    }
    std::vector<std::string> cells = {"received"};
    Json received = Json::array();
    for (const springboard::Argument &argument :
         springboard::lastArguments(method.implementer, method.selector)) {
        Value value = argument.isObject ? valueOf(argument.object) : truthValue(argument.truth);
        cells.push_back(formatValue(value));
        received.push_back(toJson(value));
    }
    json["entered"] = true;
    json["received"] = std::move(received);
    return words(std::move(json), std::move(cells));
}

Reply SimulatedHost::status(const std::vector<Token> &) {
    StatusBar bar = statusBar();
    Reply reply{Json{{"command", "status"},
                     {"operator",
                      {{"SBTelephonyManager", bar.carrier.json},
                       {"STTelephonyStateProvider", bar.providerCarrier.json}}},
                     {"sim", bar.sim.json},
                     {"radio", bar.radio},
                     {"dualSIM", bar.dualSIM},
                     {"simCard", bar.simCard},
                     {"shown", bar.shown.json}},
                {{"carrier", bar.carrier.shown},
                 {"provider carrier", bar.providerCarrier.shown},
                 {"SIM", bar.sim.shown},
                 {"radio", bar.radio},
                 {"dual SIM", bar.dualSIM},
                 {"SIM card", bar.simCard},
                 {"shown", bar.shown.shown}}};
    if (phone_) {
        reply.rows.push_back({"seen", phone_->whereTheCarrierShows()});
        reply.json["phone"] = phone_->model;
        reply.json["seen"] = phone_->whereTheCarrierShows();
    }
    reply.rowSeparator = " | ";
    reply.aligned = true;
    return reply;
}

Reply SimulatedHost::picture(const std::vector<Token> &tokens) {
    if (tokens.size() != 2 || tokens[1].text.empty()) {
        throw InputError("picture takes the PNG file to write");
    }
    std::filesystem::path file = tokens[1].text;
    if (file.extension() != ".png") {
        throw InputError("picture writes PNG: name a file ending in .png, not " + file.string());
    }
    Reply reply =
        words(Json{{"command", "picture"}, {"file", jsonText(file.string())}}, {"picture", file.string()});
    Screen screen;
    if (phone_) {
        static const Screen::Form forms[] = {Screen::Form::homeButton, Screen::Form::notch,
                                             Screen::Form::dynamicIsland};
        screen = {forms[static_cast<int>(phone_->form)], double(phone_->points), double(phone_->scale)};
    }
    for (const std::string &text : drawStatusBar(statusBar(), screen, file)) {
        reply.warnings.push_back(
            "no font here draws every character of " + quoteText(text) +
            ": the picture shows boxes for them (tools/install-deps installs Noto's emoji and CJK fonts)");
    }
    return reply;
}

// Each interception in order, with the site it was for: its group and whether it is one of the
// library's own sites or a release site, as the slot's name says.
Reply SimulatedHost::hooks(const std::vector<Token> &) {
    Reply reply{Json{{"command", "hooks"}, {"hooks", Json::array()}}};
    // As the phone's loader, what it made of each library in the tweak folder.
    if (loader_) {
        reply.json["loader"] = Json::array();
        std::string skipped;
        for (const Tweak &tweak : tweaks_) {
            std::string name = tweak.library.filename().string();
            reply.json["loader"].push_back(
                {{"library", jsonText(name)}, {"loaded", tweak.loads}, {"why", jsonText(tweak.why)}});
            skipped += tweak.loads ? "" : (skipped.empty() ? "" : "; ") + name + ": " + tweak.why;
        }
        if (emulated_.empty()) {
            reply.rows.push_back({tweaks_.empty()
                                      ? "no library: the tweak folder holds none"
                                      : "no library: the loader took none of the tweak folder into "
                                        "this process (" +
                                            skipped + ")"});
        }
    }
    for (const model::HookRecord &record : model::hookRecords()) {
        const char *outcome = model::outcomeName(record.outcome);
        std::optional<SiteName> site = siteOfSlot(record.slot);
        reply.rows.push_back(
            {site ? site->group : "?", site ? site->layer : "?", record.className, record.selector, outcome});
        Json row{{"class", jsonText(record.className)},
                 {"selector", jsonText(record.selector)},
                 {"outcome", outcome},
                 {"group", nullptr},
                 {"layer", nullptr},
                 {"site", nullptr}};
        if (site) {
            row["group"] = site->group;
            row["layer"] = site->layer;
            row["site"] = site->number;
        }
        reply.json["hooks"].push_back(std::move(row));
    }
    reply.aligned = true;
    return reply;
}

Reply SimulatedHost::reads(const std::vector<Token> &) {
    long reads = model::dictionaryFileReads();
    return words(Json{{"command", "reads"}, {"preferenceReads", reads}},
                 {"preference-reads", std::to_string(reads)});
}

Reply SimulatedHost::post(const std::vector<Token> &tokens) {
    if (tokens[1].quoted) {
        throw InputError("post takes a notification name as a word, not " + quoteText(tokens[1].text));
    }
    if (tokens[1].text.size() > model::maximumNotificationName) {
        throw InputError("a notification name is at most " + std::to_string(model::maximumNotificationName) +
                         " bytes, and this one has " + std::to_string(tokens[1].text.size()));
    }
    model::postDarwinNotification(tokens[1].text);
    return words(Json{{"command", "post"}, {"posted", jsonText(tokens[1].text)}}, {"posted", tokens[1].text});
}

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

// The network's next operator-name update, as the host's own code hands it on: the carrier name an
// edit changes shows from here on.
Reply SimulatedHost::update(const std::vector<Token> &tokens) {
    if (tokens.size() > 2 || (tokens.size() == 2 && !tokens[1].quoted)) {
        throw InputError("update takes at most the operator's name, in quotes, as in update \"Carrier\"");
    }
    std::string name = tokens.size() == 2 ? tokens[1].text : operatorName_;
    if (!model::isValidUTF8(name)) {
        throw InputError("an operator's name is UTF-8 text, and " + quoteText(name) + " is not");
    }
    registerOnNetwork(name);
    return words(Json{{"command", "update"}, {"operator", jsonText(name)}}, {"update", quoteText(name)});
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

// The platform calls the library made since the last trace, in order.
Reply SimulatedHost::trace(const std::vector<Token> &) {
    if (!model::trace::enabled()) {
        throw InputError("trace needs --trace, which records the calls from the start");
    }
    Reply reply{Json{{"command", "trace"}, {"calls", Json::array()}}};
    for (const std::string &call : model::trace::take()) {
        reply.rows.push_back({call});
        reply.json["calls"].push_back(jsonText(call));
    }
    return reply;
}

Reply SimulatedHost::instructions(const std::vector<Token> &) {
    if (emulated_.empty()) {
        throw InputError("instructions are counted only for a device library under emulation");
    }
    uint64_t now = 0;
    for (const auto &library : emulated_) {
        now += library->instructions();
    }
    uint64_t since = now - instructionsShown_;
    instructionsShown_ = now;
    return words(Json{{"command", "instructions"}, {"instructions", since}},
                 {"instructions", std::to_string(since)});
}

// Every command with one line and an example, or one command's form.
Reply SimulatedHost::help(const std::vector<Token> &tokens) {
    if (tokens.size() > 2) {
        throw InputError("help takes at most one command");
    }
    if (tokens.size() == 2) {
        const Command *command = tokens[1].quoted ? nullptr : findCommand(tokens[1].text);
        if (!command) {
            throw InputError("no command " + tokens[1].text + " (help lists the commands)");
        }
        bool bare = std::string_view(command->form) == command->example;
        std::string text = std::string(command->form) + ": " + command->summary +
                           (bare ? "" : std::string("; e.g. ") + command->example);
        std::string_view form = command->form;
        if (form.find("KEY") != std::string_view::npos) {
            text += "; KEY is one of " + keys();
        }
        if (form.find("DEVICE") != std::string_view::npos) {
            std::string models;
            for (const std::string &model : PackageFacts::ofThisBuild().models()) {
                models += (models.empty() ? "" : ", ") + model;
            }
            text += "; DEVICE is one of " + models;
        }
        return words(Json{{"command", "help"}, {"help", text}}, {text});
    }
    Reply reply{Json{{"command", "help"}, {"commands", Json::array()}}};
    for (const Command &command : commands()) {
        reply.json["commands"].push_back(
            {{"form", command.form}, {"does", command.summary}, {"example", command.example}});
        bool bare = std::string_view(command.form) == command.example;
        reply.rows.push_back(
            {command.form, command.summary + (bare ? "" : std::string("; e.g. ") + command.example)});
    }
    reply.cellSeparator = ": ";
    reply.rowSeparator = " | ";
    reply.aligned = true;
    return reply;
}

} // namespace sim
