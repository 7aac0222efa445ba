// The simulator's usage as a person meets it: --help, the aligned columns of a terminal, and the
// message for a command split over several shell arguments. The commands are in commands.h.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace sim {

// Rows as columns padded to their widest cell, each line after `indent`, for a person to read;
// a row's last cell is wrapped to `width` columns where it is wider (0: never).
std::vector<std::string> alignedColumns(const std::vector<std::vector<std::string>> &rows,
                                        const std::string &indent = "", size_t width = 0);

// --help: the options, then every command, then how commands are given.
std::string usage();

struct OptionRow;
// An option as --help and the README show it: "--root DIR", and what it does, with the default
// root this machine has (`here`) or as any machine has it.
std::string optionForm(const OptionRow &row);
std::string optionHelp(const OptionRow &row, bool here);

// Where a command that needs arguments came as its own shell argument followed by its arguments
// as separate ones, the message that shows the quoted form; empty when there is none.
std::string splitCommandMessage(const std::vector<std::string> &commands);

} // namespace sim
