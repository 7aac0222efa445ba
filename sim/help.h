// The simulator's commands as a person meets them: each with its form, one line on what it does,
// and an example, for `help`, `help COMMAND` and --help.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace sim {

struct CommandHelp {
    const char *name;
    const char *form;
    const char *summary;
    const char *example;
    bool needsArguments;
};

const std::vector<CommandHelp> &commandHelp();
const CommandHelp *findCommandHelp(std::string_view name);

// Rows as columns padded to their widest cell, each line after `indent`, for a person to read.
std::vector<std::string> alignedColumns(const std::vector<std::vector<std::string>> &rows,
                                        const std::string &indent = "");

// --help: the options, then every command, then how commands are given.
std::string usage();

// Where a command that needs arguments came as its own shell argument followed by its arguments
// as separate ones, the message that shows the quoted form; empty when there is none.
std::string splitCommandMessage(const std::vector<std::string> &commands);

} // namespace sim
