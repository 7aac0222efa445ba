#include "sim/simulated_host.h"

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>

#include "emulator/emulated_library.h"
#include "platform/model/model.h"
#include "settings/preferences.h"
#include "sim/help.h"
#include "sim/json.h"
#include "sim/preference_file.h"
#include "sim/springboard/model_runtime.h"
#include "sim/springboard/springboard.h"

namespace sim {
namespace {

// A host method as a command calls it: the kinds of its arguments and result, from its types.
struct CallableMethod {
    const springboard::HostMethod *method;
    std::string arguments; // '@' an object, 'c' a truth value, one a parameter
    char result;           // 'v' none, '@' an object, 'c' a truth value
};

CallableMethod findMethod(const std::string &cls, const std::string &selector) {
    const auto &known = springboard::classNames;
    if (std::find(std::begin(known), std::end(known), cls) == std::end(known)) {
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

PlatformBool truthOf(const Value &value) {
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

std::string jsonValue(const Value &value) {
    switch (value.kind) {
    case Value::Kind::text:
        return jsonString(value.text);
    case Value::Kind::nil:
        return "null";
    case Value::Kind::yes:
        return "true";
    case Value::Kind::no:
        return "false";
    case Value::Kind::integer:
        return std::to_string(value.integer);
    case Value::Kind::object:
        return "{\"object\":" + jsonString(value.text) + "}";
    }
    return "null";
}

// The pane's own reading of the file, as Settings reads it: not one of the library's calls.
PlatformId lookUp(PlatformId dictionary, const std::string &key) {
    model::Ref name = model::Ref::adopt(model::makeString(key));
    return model::send<PlatformId>(dictionary, "objectForKey:", name.get());
}

bool truthOf(PlatformId value) {
    return model::respondsTo(value, model::selector("boolValue")) &&
           model::send<PlatformBool>(value, "boolValue");
}

std::string libraryFailure() {
    const char *error = dlerror();
    return error ? error : "unknown error";
}

constexpr const char *simStatus = "Ready";

} // namespace

SimulatedHost::SimulatedHost(const Options &options, const std::string &libraryPath,
                             const std::filesystem::path &paneFile)
    : pane_(loadPane(paneFile)) {
    std::error_code failed;
    if (!std::filesystem::is_directory(options.root, failed) ||
        access(options.root.c_str(), R_OK | X_OK) != 0) {
        throw InputError("cannot read the device root " + options.root.string());
    }
    model::setDeviceRoot(std::filesystem::absolute(options.root));
    preferenceFile_ = model::devicePath(BRINDLEWICK_ROOTFUL_PREFERENCE_PATH);
    model::ProcessSetup process;
    process.hasProcessInfo = !options.noProcessInfo;
    if (!options.noProcessName) {
        process.processName = options.processName;
    }
    process.classFindableByName = !options.noProcessInfoClass;
    if (!options.noArguments) {
        process.arguments = {options.executable};
    }
    model::setProcess(process);
    if (options.useInterfaces || options.noInterfaces) {
        useInterfaces(options.interfaces, options.noInterfaces);
    }
    springboard::installOnModel(options.withoutClasses, true,
                                springboard::hostOf(options.ios, hostIsSpringBoard(options)));

    model::trace::enable(options.trace);
    if (!options.noLibrary) {
        load(options.library.empty() ? libraryPath : options.library, options);
    } else if (!options.library.empty() || options.arch) {
        throw InputError("--no-library runs the host alone: --library and --arch have nothing to load");
    }
    registerOnNetwork(options.operatorName);
}

// Registering on the network, the host hands its telephony classes the operator's name: the full
// host both of them, a release's host as that release's own code does.
void SimulatedHost::registerOnNetwork(const std::string &operatorName) {
    model::AutoreleasePool pool;
    model::Ref name = model::Ref::adopt(model::makeString(operatorName));
    PlatformId context = objectNamed("subscription");
    const springboard::Era *era = springboard::installedHost().era;
    if (!era) {
        for (const char *cls : {"SBTelephonyManager", "STTelephonyStateProvider"}) {
            model::send(springboard::instance(cls),
                        "_reallySetOperatorName:inSubscriptionContext:", name.get(), context);
        }
    } else if (!era->setsName.cls) {
        if (springboard::instance(era->shownFrom)) {
            springboard::setOperatorNameDirectly(era->shownFrom, name.get());
        }
    } else if (std::string_view(era->setsName.selector).ends_with("inSubscriptionContext:")) {
        model::send(springboard::instance(era->setsName.cls), era->setsName.selector, name.get(), context);
    } else {
        model::send(springboard::instance(era->setsName.cls), era->setsName.selector, name.get());
    }
}

// As the loader maps a library into a starting process: a native one with dlopen, a device one
// under emulation. Either way its initializer has run when this returns.
void SimulatedHost::load(const std::string &path, const Options &options) {
    std::ifstream file(path, std::ios::binary);
    char start[4] = {};
    if (!file.read(start, sizeof start)) {
        throw InputError("cannot read the library " + path);
    }
    if (!emulator::looksLikeMachO(std::string_view(start, sizeof start))) {
        if (options.arch) {
            throw InputError("--arch picks a slice of a Mach-O device library, and " + path + " is none");
        }
        if (!dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {
            throw InputError("cannot load the library: " + libraryFailure());
        }
        return;
    }
    std::optional<emulator::macho::Arch> arch;
    if (options.arch) {
        arch = emulator::macho::archNamed(*options.arch);
    }
    try {
        // Never unloaded, as a library mapped into a process is not: the platform keeps its functions.
        static emulator::EmulatedLibrary *loaded =
            new emulator::EmulatedLibrary(path, arch, options.executable);
        emulated_ = loaded;
    } catch (const emulator::macho::NoSliceChosen &error) {
        throw InputError("cannot load the library: " + std::string(error.what()) +
                         "; choose one with --arch");
    } catch (const emulator::macho::LoadError &error) {
        throw InputError("cannot load the library: " + std::string(error.what()));
    }
}

PlatformId SimulatedHost::objectNamed(const std::string &name) {
    auto found = objects_.find(name);
    if (found == objects_.end()) {
        found = objects_.emplace(name, model::Ref::adopt(model::makeToken(name))).first;
    }
    return found->second.get();
}

PlatformId SimulatedHost::toObject(const Value &value) {
    switch (value.kind) {
    case Value::Kind::text:
        made_.push_back(model::Ref::adopt(model::makeString(value.text)));
        return made_.back().get();
    case Value::Kind::integer:
        made_.push_back(model::Ref::adopt(model::makeInteger(value.integer)));
        return made_.back().get();
    case Value::Kind::nil:
        return nullptr;
    case Value::Kind::object:
        return objectNamed(value.text);
    default:
        throw InputError("expected \"text\", nil, an integer or @NAME, not " + formatValue(value));
    }
}

Value SimulatedHost::describe(PlatformId object) const {
    if (!object) {
        return {Value::Kind::nil, ""};
    }
    if (std::optional<std::string> text = model::stringValue(object)) {
        return {Value::Kind::text, *text};
    }
    std::string shown = model::object(object)->describe();
    if (!shown.empty() && shown[0] == '@') {
        return {Value::Kind::object, shown.substr(1)};
    }
    if (shown == "YES" || shown == "NO") {
        return {shown == "YES" ? Value::Kind::yes : Value::Kind::no, ""};
    }
    try {
        return {Value::Kind::integer, "", std::stoll(shown)};
    } catch (const std::exception &) {
        return {Value::Kind::object, shown};
    }
}

Reply SimulatedHost::run(std::string_view line) {
    std::vector<Token> tokens = tokenize(line);
    if (tokens.empty()) {
        throw InputError("empty command");
    }
    const Token &verb = tokens[0];
    auto expectCount = [&](size_t count) {
        if (tokens.size() != count) {
            const CommandHelp *command = findCommandHelp(verb.text);
            throw InputError(verb.text + (count == 1 ? " takes no argument" : " takes one argument") +
                             ": it is " + command->form + ", as in " + command->example);
        }
    };
    if (verb.quoted || !findCommandHelp(verb.text)) {
        throw InputError("unknown command " + (verb.quoted ? quoteText(verb.text) : verb.text) +
                         " (help lists the commands)");
    }
    if (verb.text == "call") {
        return call(tokens);
    }
    if (verb.text == "status") {
        expectCount(1);
        return status();
    }
    if (verb.text == "picture") {
        return picture(tokens);
    }
    if (verb.text == "help") {
        return help(tokens);
    }
    if (verb.text == "hooks") {
        expectCount(1);
        return hooks();
    }
    if (verb.text == "reads") {
        expectCount(1);
        long reads = model::dictionaryFileReads();
        return {"preference-reads " + std::to_string(reads),
                "{\"command\":\"reads\",\"preferenceReads\":" + std::to_string(reads) + "}"};
    }
    if (verb.text == "set" || verb.text == "unset") {
        return edit(tokens);
    }
    if (verb.text == "pane") {
        expectCount(1);
        return pane();
    }
    if (verb.text == "trace") {
        expectCount(1);
        return trace();
    }
    if (verb.text == "instructions") {
        expectCount(1);
        if (!emulated_) {
            throw InputError("instructions are counted only for a device library under emulation");
        }
        uint64_t now = emulated_->instructions();
        uint64_t since = now - instructionsShown_;
        instructionsShown_ = now;
        return {"instructions " + std::to_string(since),
                "{\"command\":\"instructions\",\"instructions\":" + std::to_string(since) + "}"};
    }
    if (verb.text == "post") {
        expectCount(2);
        if (tokens[1].quoted) {
            throw InputError("post takes a notification name as a word, not " + quoteText(tokens[1].text));
        }
        if (tokens[1].text.size() > model::maximumNotificationName) {
            throw InputError("a notification name is at most " +
                             std::to_string(model::maximumNotificationName) + " bytes, and this one has " +
                             std::to_string(tokens[1].text.size()));
        }
        model::postDarwinNotification(tokens[1].text);
        return {"posted " + tokens[1].text,
                "{\"command\":\"post\",\"posted\":" + jsonString(tokens[1].text) + "}"};
    }
    throw InputError("unknown command " + verb.text + " (help lists the commands)");
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
    if (tokens.size() - 3 != callable.arguments.size()) {
        throw InputError(std::string(method.selector) + " takes " +
                         std::to_string(callable.arguments.size()) + " argument(s)");
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
            truths.push_back(truthOf(values[i]));
        } else {
            objects.push_back(toObject(values[i]));
        }
    }

    model::AutoreleasePool pool;
    long entered = springboard::timesEntered(method.implementer, method.selector);
    Value returned{Value::Kind::nil, ""};
    if (callable.result == '@') {
        returned = describe(model::send<PlatformId>(receiver, method.selector, objects[0]));
    } else if (callable.result == 'c') {
        returned = truthValue(model::send<PlatformBool>(receiver, method.selector));
    } else if (!truths.empty()) {
        model::send(receiver, method.selector, truths[0]);
    } else if (objects.size() == 1) {
        model::send(receiver, method.selector, objects[0]);
    } else {
        model::send(receiver, method.selector, objects[0], objects[1]);
    }
    std::string head = std::string("{\"command\":\"call\",\"class\":") + jsonString(method.cls) +
                       ",\"selector\":" + jsonString(method.selector);
    if (callable.result != 'v') {
        return {"returned " + formatValue(returned), head + ",\"returned\":" + jsonValue(returned) + "}"};
    }
    if (springboard::timesEntered(method.implementer, method.selector) == entered) {
        return {"not entered", head + ",\"entered\":false}"};
    }
    std::string plain = "received";
    std::string json = head + ",\"entered\":true,\"received\":[";
    bool first = true;
    for (const springboard::Argument &argument :
         springboard::lastArguments(method.implementer, method.selector)) {
        Value value = argument.isObject ? describe(argument.object) : truthValue(argument.truth);
        plain += " " + formatValue(value);
        json += (first ? "" : ",") + jsonValue(value);
        first = false;
    }
    return {plain, json + "]}"};
}

StatusBar SimulatedHost::statusBar() {
    model::AutoreleasePool pool;
    StatusBar bar;
    // A piece of no class the host has is absent.
    auto piece = [&](const std::optional<springboard::StoredName> &stored) {
        if (!stored) {
            return StatusBar::Piece{"absent", "\"absent\"", std::nullopt};
        }
        if (!stored->received) {
            return StatusBar::Piece{"unset", "\"unset\"", std::nullopt};
        }
        Value value = describe(stored->name);
        std::optional<std::string> text = model::stringValue(stored->name);
        return StatusBar::Piece{value.kind == Value::Kind::nil ? "none" : formatValue(value),
                                jsonValue(value), text};
    };
    // Where the host has no method of its own for a piece, a release's host makes it in code the
    // runtime never dispatches; the full host has no such code, and the piece is absent.
    const springboard::Host &host = springboard::installedHost();
    auto through = [&](const char *cls, const char *selector) {
        return host.hasMethod(cls, selector) ? springboard::instance(cls) : nullptr;
    };
    const char *shownFrom = host.era ? host.era->shownFrom : "SBTelephonyManager";
    for (auto [cls, shown] :
         {std::pair{shownFrom, &bar.carrier}, std::pair{"STTelephonyStateProvider", &bar.providerCarrier}}) {
        *shown = piece(springboard::instance(cls) ? std::optional(springboard::lastOperatorName(cls))
                                                  : std::nullopt);
    }

    model::Ref simState = model::Ref::adopt(model::makeString(simStatus));
    std::optional<springboard::StoredName> sim;
    if (PlatformId aggregator = through("SBStatusBarStateAggregator", "_displayStringForSIMStatus:")) {
        sim = {true, model::send<PlatformId>(aggregator, "_displayStringForSIMStatus:", simState.get())};
    } else if (host.era) {
        sim = {true, springboard::simStatusTextDirectly(simState.get())};
    }
    bar.sim = piece(sim);

    PlatformId radio = through("SBTelephonyManager", "isRadioModuleDead");
    if (!radio && host.era) {
        radio = through("STTelephonyStateProvider", "isRadioModuleDead");
    }
    bool dead = radio && model::send<PlatformBool>(radio, "isRadioModuleDead");
    bar.radio = !radio && !host.era ? "absent" : dead ? "dead" : "on";
    PlatformId data = through("STTelephonyStatusDomainData", "isDualSIMEnabled");
    bool dual = data && model::send<PlatformBool>(data, "isDualSIMEnabled");
    bar.dualSIM = !data && !host.era ? "absent" : dual ? "on" : "off";
    return bar;
}

Reply SimulatedHost::status() {
    StatusBar bar = statusBar();
    std::vector<std::vector<std::string>> rows = {{"carrier", bar.carrier.shown},
                                                  {"provider carrier", bar.providerCarrier.shown},
                                                  {"SIM", bar.sim.shown},
                                                  {"radio", bar.radio},
                                                  {"dual SIM", bar.dualSIM}};
    std::string plain;
    for (const auto &row : rows) {
        plain += (plain.empty() ? "" : " | ") + row[0] + " " + row[1];
    }
    std::string json = "{\"command\":\"status\",\"operator\":{\"SBTelephonyManager\":" + bar.carrier.json +
                       ",\"STTelephonyStateProvider\":" + bar.providerCarrier.json +
                       "},\"sim\":" + bar.sim.json + ",\"radio\":" + jsonString(bar.radio) +
                       ",\"dualSIM\":" + jsonString(bar.dualSIM) + "}";
    return {plain, json, alignedColumns(rows)};
}

Reply SimulatedHost::picture(const std::vector<Token> &tokens) {
    if (tokens.size() != 2 || tokens[1].text.empty()) {
        throw InputError("picture takes the PNG file to write");
    }
    std::filesystem::path file = tokens[1].text;
    if (file.extension() != ".png") {
        throw InputError("picture writes PNG: name a file ending in .png, not " + file.string());
    }
    drawStatusBar(statusBar(), file);
    return {"picture " + file.string(),
            "{\"command\":\"picture\",\"file\":" + jsonString(file.string()) + "}"};
}

const PaneCell &SimulatedHost::cellFor(const Token &key) const {
    for (const PaneCell &cell : pane_) {
        if (!key.quoted && cell.kind != PaneCell::Kind::group && cell.key == key.text) {
            return cell;
        }
    }
    throw InputError("unknown key " + (key.quoted ? quoteText(key.text) : key.text));
}

// What the pane does when a cell changes: write the file, then announce it.
Reply SimulatedHost::edit(const std::vector<Token> &tokens) {
    bool setting = tokens[0].text == "set";
    if (tokens.size() != (setting ? 3u : 2u)) {
        throw InputError(setting ? "set takes a key and a value" : "unset takes a key");
    }
    const PaneCell &cell = cellFor(tokens[1]);
    std::optional<Value> value;
    if (setting) {
        value = parseValue(tokens[2]);
    }
    editPreference(preferenceFile_, cell, value);
    model::postDarwinNotification(BRINDLEWICK_CHANGE_NOTIFICATION);
    std::string shown = setting ? formatValue(*value) : "";
    return {tokens[0].text + " " + cell.key + (setting ? " " + shown : ""),
            "{\"command\":" + jsonString(tokens[0].text) + ",\"key\":" + jsonString(cell.key) +
                (setting ? ",\"value\":" + jsonValue(*value) : "") + "}"};
}

// The cells with what each shows now: the file's value, or the cell's default when it has none.
Reply SimulatedHost::pane() const {
    model::AutoreleasePool pool;
    // Read here, not through the platform: the pane's reading is not one of the library's.
    model::Ref prefs =
        model::Ref::adopt(model::readPropertyListDictionary(readWholeFile(preferenceFile_).value_or("")));
    // The cells this release's Settings shows: a group without one shows its footer alone.
    std::optional<double> version = springboard::installedHost().coreFoundationVersion();
    std::vector<const PaneCell *> shown;
    for (const PaneCell &cell : pane_) {
        if (cell.shownAt(version)) {
            shown.push_back(&cell);
        }
    }
    std::string plain;
    std::string json = "{\"command\":\"pane\",\"cells\":[";
    std::string group;
    std::vector<std::vector<std::string>> rows;
    for (size_t i = 0; i < shown.size(); ++i) {
        const PaneCell &cell = *shown[i];
        bool alone = cell.kind == PaneCell::Kind::group &&
                     (i + 1 == shown.size() || shown[i + 1]->kind == PaneCell::Kind::group);
        if (cell.kind == PaneCell::Kind::group && !(alone && !cell.coreFoundation.empty() && version)) {
            continue;
        }
        std::string label = alone ? cell.footer : cell.label;
        std::string text;
        std::string value = "null";
        if (!alone) {
            PlatformId stored = lookUp(prefs.get(), cell.key);
            bool on = truthOf(stored);
            Value read = cell.kind == PaneCell::Kind::truth
                             ? Value{on ? Value::Kind::yes : Value::Kind::no, ""}
                             : Value{Value::Kind::text, model::stringValue(stored).value_or("")};
            text = cell.kind == PaneCell::Kind::truth ? (on ? "on" : "off") : formatValue(read);
            value = jsonValue(read);
        }
        bool first = rows.empty();
        plain += (cell.group != group ? std::string(first ? "" : " | ") + cell.group + ": " : ", ") + label +
                 (text.empty() ? "" : " " + text);
        rows.push_back({cell.group != group ? cell.group : "", label, text});
        json += std::string(first ? "" : ",") + "{\"group\":" + jsonString(cell.group) +
                (alone ? ",\"footer\":" + jsonString(label)
                       : ",\"label\":" + jsonString(label) + ",\"key\":" + jsonString(cell.key) +
                             ",\"value\":" + value) +
                "}";
        group = cell.group;
    }
    return {plain, json + "]}", alignedColumns(rows)};
}

// The platform calls the library made since the last trace, in order.
Reply SimulatedHost::trace() {
    if (!model::trace::enabled()) {
        throw InputError("trace needs --trace, which records the calls from the start");
    }
    std::string plain;
    std::string json = "{\"command\":\"trace\",\"calls\":[";
    bool first = true;
    for (const std::string &call : model::trace::take()) {
        plain += (first ? "" : "; ") + call;
        json += (first ? "" : ",") + jsonString(call);
        first = false;
    }
    return {first ? "none" : plain, json + "]}"};
}

Reply SimulatedHost::hooks() const {
    std::string plain;
    std::string json = "{\"command\":\"hooks\",\"hooks\":[";
    bool first = true;
    std::vector<std::vector<std::string>> rows;
    for (const model::HookRecord &record : model::hookRecords()) {
        const char *outcome = model::outcomeName(record.outcome);
        rows.push_back({record.className, record.selector, outcome});
        plain += (first ? "" : "; ") + record.className + " " + record.selector + " " + outcome;
        json += std::string(first ? "" : ",") + "{\"class\":" + jsonString(record.className) +
                ",\"selector\":" + jsonString(record.selector) + ",\"outcome\":" + jsonString(outcome) + "}";
        first = false;
    }
    return {first ? "none" : plain, json + "]}", alignedColumns(rows)};
}

// Every command with one line and an example, or one command's form.
Reply SimulatedHost::help(const std::vector<Token> &tokens) const {
    if (tokens.size() > 2) {
        throw InputError("help takes at most one command");
    }
    if (tokens.size() == 2) {
        const CommandHelp *command = findCommandHelp(tokens[1].text);
        if (!command || tokens[1].quoted) {
            throw InputError("no command " + tokens[1].text + " (help lists the commands)");
        }
        std::string text =
            std::string(command->form) + ": " + command->summary + "; e.g. " + command->example;
        return {text, "{\"command\":\"help\",\"help\":" + jsonString(text) + "}"};
    }
    std::string json = "{\"command\":\"help\",\"commands\":[";
    std::vector<std::vector<std::string>> rows;
    for (const CommandHelp &command : commandHelp()) {
        json += std::string(rows.empty() ? "" : ",") + "{\"form\":" + jsonString(command.form) +
                ",\"does\":" + jsonString(command.summary) + ",\"example\":" + jsonString(command.example) +
                "}";
        bool bare = std::string_view(command.form) == command.example;
        rows.push_back(
            {command.form, command.summary + (bare ? "" : std::string("; e.g. ") + command.example)});
    }
    // One line on a pipe, as every command's reply; a line a command on a terminal.
    std::string plain;
    for (const std::vector<std::string> &row : rows) {
        plain += (plain.empty() ? "" : " | ") + row[0] + ": " + row[1];
    }
    return {plain, json + "]}", alignedColumns(rows)};
}

} // namespace sim
