#include "sim/options.h"

#include <algorithm>
#include <string_view>

#include "emulator/macho/image.h"
#include "sim/command_line.h"
#include "sim/springboard/springboard.h"

namespace sim {

const char *const usage =
    "usage: brindlewick-sim [OPTIONS] [COMMAND ...]\n"
    "  --root DIR             the simulated device's root (default: the bundled example device)\n"
    "  --process-name NAME    the name the process reports (default SpringBoard)\n"
    "  --executable PATH      element 0 of the launch arguments (default SpringBoard's path)\n"
    "  --no-arguments         an empty argument list\n"
    "  --no-process-info      no process-information object\n"
    "  --no-process-name      the process reports no name\n"
    "  --no-process-info-class  NSClassFromString finds no NSProcessInfo\n"
    "  --without-class CLASS  the host lacks CLASS (repeatable)\n"
    "  --operator NAME        the network's operator name given at boot (default Carrier)\n"
    "  --interface NAME[=ADDRESS]  an interface of the device, with an IPv4 or IPv6 address or\n"
    "                         none, in list order (repeatable; default: this machine's interfaces)\n"
    "  --no-interfaces        the device's interface query fails\n"
    "  --no-library           run the host without loading the library\n"
    "  --library PATH         load PATH: a native shared library (dlopen), or a Mach-O device library,\n"
    "                         thin or fat, whose machine code then runs under CPU emulation\n"
    "  --arch ARCH            the slice of a device library to run: armv7, armv7s, arm64 or arm64e\n"
    "  --trace                record the platform calls the library makes, for the trace command\n"
    "  --json                 one JSON object per printed line\n"
    "commands: call CLASS SELECTOR [ARG ...] | status | hooks | reads | post NAME\n"
    "          set KEY VALUE | unset KEY | pane | trace | instructions\n"
    "  an ARG is \"text\", nil, YES, NO, an integer or @NAME\n"
    "With no COMMAND, commands are read from standard input, one per line.\n";

Options parseOptions(int argc, char **argv, std::filesystem::path defaultRoot) {
    Options options;
    options.root = std::move(defaultRoot);
    int i = 1;
    auto value = [&](std::string_view option) -> std::string {
        if (i + 1 >= argc) {
            throw InputError(std::string(option) + " needs a value");
        }
        return argv[++i];
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
            options.root = value(arg);
        } else if (arg == "--process-name") {
            options.processName = value(arg);
        } else if (arg == "--executable") {
            options.executable = value(arg);
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
            const auto &known = springboard::classNames;
            if (std::find(std::begin(known), std::end(known), cls) == std::end(known)) {
                throw InputError("--without-class: the host has no class " + cls + " to leave out");
            }
            options.withoutClasses.push_back(cls);
        } else if (arg == "--operator") {
            options.operatorName = value(arg);
        } else if (arg == "--interface") {
            options.interfaces.push_back(parseInterface(value(arg)));
            options.useInterfaces = true;
        } else if (arg == "--no-interfaces") {
            options.noInterfaces = true;
        } else if (arg == "--no-library") {
            options.noLibrary = true;
        } else if (arg == "--library") {
            options.library = value(arg);
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
    return options;
}

} // namespace sim
