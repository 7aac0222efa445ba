#include "sim/options.h"

#include <algorithm>
#include <string_view>

#include "emulator/macho/image.h"
#include "platform/model/model.h"
#include "sim/command_line.h"
#include "sim/help.h"
#include "sim/springboard/springboard.h"

namespace sim {

bool hostIsSpringBoard(const Options &options) {
    return options.processName == "SpringBoard";
}

Options parseOptions(int argc, char **argv) {
    Options options;
    int i = 1;
    auto value = [&](std::string_view option) -> std::string {
        if (i + 1 >= argc) {
            throw InputError(std::string(option) + " needs a value");
        }
        return argv[++i];
    };
    // A path left empty (an unset shell variable) is refused, never taken as the default.
    auto path = [&](std::string_view option) -> std::string {
        std::string given = value(option);
        if (given.empty()) {
            throw InputError(std::string(option) + " needs a path, and was given an empty one");
        }
        return given;
    };
    // What the process reports and the network gives it is text, as the platform's strings are.
    auto text = [&](std::string_view option) -> std::string {
        std::string given = value(option);
        if (!model::isValidUTF8(given)) {
            throw InputError(std::string(option) + " takes UTF-8 text, and " +
                             formatValue({Value::Kind::text, given}) + " is not");
        }
        return given;
    };
    for (; i < argc; ++i) {
        std::string_view arg = argv[i];
        if (arg == "--") {
            ++i;
            break;
        }
        if (arg.size() < 2 || arg.substr(0, 2) != "--") {
            break;
        }
        if (arg == "--root") {
            options.root = path(arg);
        } else if (arg == "--reset") {
            options.reset = true;
        } else if (arg == "--process-name") {
            options.processName = text(arg);
        } else if (arg == "--executable") {
            options.executable = text(arg);
        } else if (arg == "--no-arguments") {
            options.noArguments = true;
        } else if (arg == "--no-process-info") {
            options.noProcessInfo = true;
        } else if (arg == "--no-process-name") {
            options.noProcessName = true;
        } else if (arg == "--no-process-info-class") {
            options.noProcessInfoClass = true;
        } else if (arg == "--without-class") {
            std::string cls = value(arg);
            const auto &known = springboard::allClasses;
            if (std::find(std::begin(known), std::end(known), cls) == std::end(known)) {
                throw InputError("--without-class: the host has no class " + cls + " to leave out");
            }
            options.withoutClasses.push_back(cls);
        } else if (arg == "--ios") {
            std::string version = value(arg);
            springboard::ReleaseReading reading = springboard::readRelease(version);
            if (!reading.version) {
                throw InputError("--ios " + formatValue({Value::Kind::text, version}) + ": " +
                                 reading.refusal);
            }
            options.ios = reading.version;
            if (!reading.warning.empty()) {
                options.warnings.push_back("--ios: " + reading.warning);
            }
        } else if (arg == "--operator") {
            options.operatorName = text(arg);
        } else if (arg == "--sim") {
            std::string card = value(arg);
            if (card == "ready" || card == "absent" || card == "locked") {
                options.simCard = card == "ready"    ? springboard::SimCard::ready
                                  : card == "absent" ? springboard::SimCard::absent
                                                     : springboard::SimCard::locked;
            } else {
                throw InputError("--sim " + formatValue({Value::Kind::text, card}) +
                                 ": the SIM card is ready, absent or locked");
            }
        } else if (arg == "--interface") {
            options.interfaces.push_back(parseInterface(value(arg)));
            options.useInterfaces = true;
        } else if (arg == "--no-interfaces") {
            options.noInterfaces = true;
        } else if (arg == "--no-library") {
            options.noLibrary = true;
        } else if (arg == "--library") {
            options.library = path(arg);
        } else if (arg == "--arch") {
            std::string arch = value(arg);
            if (!emulator::macho::archNamed(arch)) {
                throw InputError("--arch: " + arch + " is none of armv7, armv7s, arm64, arm64e");
            }
            options.arch = arch;
        } else if (arg == "--trace") {
            options.trace = true;
        } else if (arg == "--json") {
            options.json = true;
        } else if (arg == "--help") {
            options.help = true;
        } else {
            throw InputError("unknown option " + std::string(arg));
        }
    }
    for (; i < argc; ++i) {
        options.commands.emplace_back(argv[i]);
    }
    if (std::string message = splitCommandMessage(options.commands); !message.empty()) {
        throw InputError(message);
    }
    if (options.reset && !options.root.empty()) {
        throw InputError("--reset makes the default device afresh; with --root it would overwrite " +
                         options.root.string());
    }
    return options;
}

} // namespace sim
