// The simulator's command line.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "sim/network.h"
#include "springboard/releases.h"
#include "springboard/springboard.h"

namespace sim {

struct Options {
    std::filesystem::path root; // empty: the user's own copy of the bundled example device
    bool reset = false;         // that copy made afresh first
    std::string processName = "SpringBoard";
    std::string executable = "/System/Library/CoreServices/SpringBoard.app/SpringBoard";
    bool noArguments = false;
    bool noProcessInfo = false;
    bool noProcessName = false;
    bool noProcessInfoClass = false;
    std::vector<std::string> withoutClasses;
    std::vector<std::pair<std::string, std::string>> raising; // the host's methods that raise
    std::optional<springboard::Version> ios; // the host as this release has it; none: the full host
    bool noLibrary = false;
    std::string library;              // empty: the built native library beside the simulator
    std::optional<std::string> arch;  // the slice of a Mach-O library to run
    std::optional<std::string> phone; // the iPhone, as Apple names it
    bool trace = false;
    bool json = false;
    std::string operatorName = "Carrier";
    springboard::SimCard simCard = springboard::SimCard::ready;
    std::vector<Interface> interfaces; // with useInterfaces set; otherwise this machine's
    bool useInterfaces = false;
    bool noInterfaces = false;
    std::vector<std::string> commands;
    bool help = false;
    std::vector<std::string> warnings; // said on standard error before anything runs
};

// Whether the host is SpringBoard, as the process name says, or an ordinary app.
bool hostIsSpringBoard(const Options &options);

class Given;

// One option: its name, the value it takes (null for a flag), what it does, and how it is read.
struct OptionRow {
    const char *name;
    const char *value;
    const char *help;
    void (*read)(Options &options, Given &given);
};
const std::vector<OptionRow> &optionRows();

// Throws InputError for an unknown option or a missing value, and for commands given as several
// shell arguments where each must be one.
Options parseOptions(int argc, char **argv);

} // namespace sim
