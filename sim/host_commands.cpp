// The commands that drive the host and look at it: call, status, picture, hooks, reads, post,
// update, trace and instructions.
#include <algorithm>

#include "platform/model/model.h"
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

} // namespace

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

} // namespace sim
