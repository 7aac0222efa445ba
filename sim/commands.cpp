// The simulator's commands: the table that dispatch and help read, dispatch itself and help. Each
// family of commands has a file of its own: host_commands.cpp, settings_commands.cpp and
// package_commands.cpp.
#include "sim/commands.h"

#include "library/settings/preferences.h"
#include "sim/features.h"
#include "sim/help.h"
#include "sim/simulated_host.h"

namespace sim {

const std::string &setExample() {
    static const std::string example = "set " + std::string(features().front().text) + " \"Moxfathom\"";
    return example;
}
const std::string &unsetExample() {
    static const std::string example = "unset " + std::string(features().front().flag);
    return example;
}

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
