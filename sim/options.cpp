#include "sim/options.h"

#include <algorithm>
#include <string_view>

#include "emulator/macho/image.h"
#include "platform/model/model.h"
#include "sim/command_line.h"
#include "sim/help.h"
#include "springboard/springboard.h"

namespace sim {

bool hostIsSpringBoard(const Options &options) {
    return options.processName == "SpringBoard";
}

// An option's value as the command line gives it, checked as its kind wants.
class Given {
  public:
    Given(int argc, char **argv, int &at, std::string_view option)
        : argc_(argc), argv_(argv), at_(at), option_(option) {}

    std::string value() {
        if (at_ + 1 >= argc_) {
            throw InputError(std::string(option_) + " needs a value");
        }
        return argv_[++at_];
    }
    // A path left empty (an unset shell variable) is refused, never taken as the default.
    std::string path() {
        std::string given = value();
        if (given.empty()) {
            throw InputError(std::string(option_) + " needs a path, and was given an empty one");
        }
        return given;
    }
    // What the process reports and the network gives it is text, as the platform's strings are.
    std::string text() {
        std::string given = value();
        if (!model::isValidUTF8(given)) {
            throw InputError(std::string(option_) + " takes UTF-8 text, and " +
                             formatValue({Value::Kind::text, given}) + " is not");
        }
        return given;
    }
    std::string_view option() const { return option_; }

  private:
    int argc_;
    char **argv_;
    int &at_;
    std::string_view option_;
};

namespace {

void readIos(Options &options, Given &given) {
    std::string version = given.value();
    springboard::ReleaseReading reading = springboard::readRelease(version);
    if (!reading.version) {
        throw InputError("--ios " + formatValue({Value::Kind::text, version}) + ": " + reading.refusal);
    }
    options.ios = reading.version;
    if (!reading.warning.empty()) {
        options.warnings.push_back("--ios: " + reading.warning);
    }
}

void readSimCard(Options &options, Given &given) {
    std::string card = given.value();
    for (const springboard::SimCardState &state : springboard::simCards) {
        if (card == state.name) {
            options.simCard = state.card;
            return;
        }
    }
    throw InputError("--sim " + formatValue({Value::Kind::text, card}) +
                     ": the SIM card is ready, absent or locked");
}

void readWithoutClass(Options &options, Given &given) {
    std::string cls = given.value();
    const auto &known = springboard::allClasses;
    if (std::find(std::begin(known), std::end(known), cls) == std::end(known)) {
        throw InputError("--without-class: the host has no class " + cls + " to leave out");
    }
    options.withoutClasses.push_back(cls);
}

void readRaising(Options &options, Given &given) {
    std::string method = given.value();
    size_t space = method.find(' ');
    std::string cls = method.substr(0, space);
    std::string selector = space == std::string::npos ? "" : method.substr(space + 1);
    const auto &known = springboard::methods();
    if (std::none_of(known.begin(), known.end(), [&](const springboard::HostMethod &row) {
            return cls == row.cls && selector == row.selector && cls == row.implementer;
        })) {
        throw InputError(
            "--host-raises: the host implements no " + formatValue({Value::Kind::text, method}) +
            "; give a class and its method, as in --host-raises 'SBTelephonyManager setOperatorName:'");
    }
    options.raising.emplace_back(cls, selector);
}

void readArch(Options &options, Given &given) {
    std::string arch = given.value();
    if (!emulator::macho::archNamed(arch)) {
        throw InputError("--arch: " + arch + " is none of armv7, armv7s, arm64, arm64e");
    }
    options.arch = arch;
}

} // namespace

// The options, one row each: parsing, --help and the README's list read this table. In a help
// text, {releases} stands for the releases --ios takes and {root} for the default device root.
const std::vector<OptionRow> &optionRows() {
    static const std::vector<OptionRow> rows = {
        {"--root", "DIR",
         "the device's root; the preference file is "
         "DIR/User/Library/Preferences/com.moxfathom.brindlewick.plist (default: your own copy of the "
         "bundled example device, in {root}, a binary property list with the custom texts, the Wi-Fi address "
         "and dual SIM on, where User is a link to var/mobile as on a phone, so every build of the library "
         "reads the same file)",
         [](Options &o, Given &g) { o.root = g.path(); }},
        {"--reset", nullptr, "make that copy afresh from the bundled example first",
         [](Options &o, Given &) { o.reset = true; }},
        {"--process-name", "NAME", "the name the process reports (default SpringBoard)",
         [](Options &o, Given &g) { o.processName = g.text(); }},
        {"--executable", "PATH", "element 0 of the launch arguments (default SpringBoard's path)",
         [](Options &o, Given &g) { o.executable = g.text(); }},
        {"--no-arguments", nullptr, "an empty argument list",
         [](Options &o, Given &) { o.noArguments = true; }},
        {"--no-process-info", nullptr, "no process-information object",
         [](Options &o, Given &) { o.noProcessInfo = true; }},
        {"--no-process-name", nullptr, "the process reports no name",
         [](Options &o, Given &) { o.noProcessName = true; }},
        {"--no-process-info-class", nullptr, "NSClassFromString finds no NSProcessInfo",
         [](Options &o, Given &) { o.noProcessInfoClass = true; }},
        {"--ios", "VERSION",
         "the host as that iOS release has it, MAJOR[.MINOR[.PATCH]], a public release from {releases} (the "
         "releases command lists them): only its classes and runtime methods (default: the full host, every "
         "class and method of the library's own sites at once, which no release has)",
         &readIos},
        {"--without-class", "CLASS", "the host lacks CLASS, and any subclass of it (repeatable)",
         &readWithoutClass},
        {"--host-raises", "'CLASS SELECTOR'",
         "the host's own implementation of that method raises, as a host method may, after it records what "
         "it received (repeatable)",
         &readRaising},
        {"--operator", "NAME", "the network's operator name given at boot and by update (default Carrier)",
         [](Options &o, Given &g) { o.operatorName = g.text(); }},
        {"--sim", "ready|absent|locked",
         "the SIM card's state (default ready); a phone shows the SIM-status text in the carrier's place "
         "only when it is not ready",
         &readSimCard},
        {"--interface", "NAME[=ADDRESS]",
         "an interface of the device, with an IPv4 or IPv6 address or none, in list order (repeatable; "
         "default: this machine's interfaces)",
         [](Options &o, Given &g) {
             o.interfaces.push_back(parseInterface(g.value()));
             o.useInterfaces = true;
         }},
        {"--no-interfaces", nullptr, "the device's interface query fails",
         [](Options &o, Given &) { o.noInterfaces = true; }},
        {"--no-library", nullptr, "run the host without loading the library, to compare",
         [](Options &o, Given &) { o.noLibrary = true; }},
        {"--library", "PATH",
         "load PATH: a native shared library (dlopen), or a Mach-O device library, thin or fat, whose "
         "machine code then runs under CPU emulation",
         [](Options &o, Given &g) { o.library = g.path(); }},
        {"--arch", "ARCH",
         "the slice of a device library to run: armv7, armv7s, arm64 or arm64e (needed when the file holds "
         "several); for package, the processor to answer for",
         &readArch},
        {"--phone", "MODEL",
         "the iPhone the host runs on, as Apple names it, as in \"iPhone XS\" (help package lists them): "
         "--ios must be a release it ran, a device library runs the slice its processor takes, package "
         "answers for it, status says where it shows the carrier, and picture draws its bars",
         [](Options &o, Given &g) { o.phone = g.text(); }},
        {"--trace", nullptr, "record every platform call the library makes, for the trace command",
         [](Options &o, Given &) { o.trace = true; }},
        {"--json", nullptr,
         "one JSON object per printed line, on both streams (errors, warnings and --help too); a byte that "
         "is not UTF-8 is written \\xNN, as the command language writes it",
         [](Options &o, Given &) { o.json = true; }},
        {"--help", nullptr, "the options and the commands", [](Options &o, Given &) { o.help = true; }},
    };
    return rows;
}

Options parseOptions(int argc, char **argv) {
    Options options;
    int i = 1;
    for (; i < argc; ++i) {
        std::string_view arg = argv[i];
        if (arg == "--") {
            ++i;
            break;
        }
        if (arg.size() < 2 || arg.substr(0, 2) != "--") {
            break;
        }
        const std::vector<OptionRow> &rows = optionRows();
        auto row = std::find_if(rows.begin(), rows.end(), [&](const OptionRow &r) { return arg == r.name; });
        if (row == rows.end()) {
            throw InputError("unknown option " + std::string(arg));
        }
        Given given(argc, argv, i, arg);
        row->read(options, given);
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
