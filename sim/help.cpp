#include "sim/help.h"

#include "sim/commands.h"
#include "sim/device_root.h"
#include "sim/options.h"
#include "springboard/releases.h"

#include <algorithm>

namespace sim {
namespace {

// Shell words as the simulator's notation writes them back: text with a space in quotes.
std::string asWord(const std::string &word) {
    return word.find_first_of(" \t") == std::string::npos ? word : "\"" + word + "\"";
}

} // namespace

std::vector<std::string> alignedColumns(const std::vector<std::vector<std::string>> &rows,
                                        const std::string &indent, size_t width) {
    // The last cell of a row needs no room after it, so a long one widens no column.
    auto lastOf = [](const std::vector<std::string> &row) {
        size_t last = row.size();
        while (last > 0 && row[last - 1].empty()) {
            --last;
        }
        return last;
    };
    std::vector<size_t> widths;
    for (const auto &row : rows) {
        widths.resize(std::max(widths.size(), row.size()));
        for (size_t i = 0; i + 1 < lastOf(row); ++i) {
            widths[i] = std::max(widths[i], row[i].size());
        }
    }
    std::vector<std::string> lines;
    for (const auto &row : rows) {
        std::string line = indent;
        size_t last = lastOf(row);
        for (size_t i = 0; i + 1 < last; ++i) {
            line += row[i] + std::string(widths[i] - row[i].size() + 2, ' ');
        }
        // The last cell goes on at the same column, wrapped at spaces to fit `width` where it can.
        std::string rest = last ? row[last - 1] : "";
        size_t room = width > line.size() + 20 ? width - line.size() : 0;
        std::string hanging(line.size(), ' ');
        while (room && rest.size() > room) {
            size_t cut = rest.rfind(' ', room);
            if (cut == std::string::npos || cut == 0) {
                break;
            }
            lines.push_back(line + rest.substr(0, cut));
            rest = rest.substr(cut + 1);
            line = hanging;
        }
        lines.push_back(line + rest);
    }
    return lines;
}

std::string optionHelp(const OptionRow &row, bool here) {
    std::string text = row.help;
    auto fill = [&](std::string_view mark, const std::string &with) {
        if (size_t at = text.find(mark); at != std::string::npos) {
            text.replace(at, mark.size(), with);
        }
    };
    fill("{releases}", springboard::releasesCovered());
    std::string anywhere = "$XDG_STATE_HOME/brindlewick/device (or ~/.local/state/brindlewick/device)";
    try {
        fill("{root}", here ? defaultDeviceRoot().string() : anywhere);
    } catch (const InputError &) {
        fill("{root}", anywhere);
    }
    return text;
}

std::string optionForm(const OptionRow &row) {
    return std::string(row.name) + (row.value ? std::string(" ") + row.value : "");
}

std::string usage() {
    std::string text = "usage: brindlewick-sim [OPTIONS] [COMMAND ...]\n";
    std::vector<std::vector<std::string>> rows;
    for (const OptionRow &row : optionRows()) {
        rows.push_back({optionForm(row), optionHelp(row, true)});
    }
    for (const std::string &line : alignedColumns(rows, "  ", 100)) {
        text += line + "\n";
    }
    text += "commands (an ARG or VALUE is \"text\", nil, YES, NO, an integer or @NAME):\n";
    rows.clear();
    for (const Command &command : commands()) {
        rows.push_back({command.form, command.summary});
    }
    for (const std::string &line : alignedColumns(rows, "  ", 100)) {
        text += line + "\n";
    }
    text += "Each COMMAND is one shell argument, quoted where it has spaces:\n"
            "  brindlewick-sim '" +
            std::string(findCommand("set")->example) +
            "' 'call SBTelephonyManager setOperatorName: \"Carrier\"' status\n"
            "With no COMMAND, commands are read from standard input, one a line.\n";
    return text;
}

std::string splitCommandMessage(const std::vector<std::string> &commands) {
    // A whole command in one argument starts with a command word; a lone word after a command that
    // takes arguments is one of its arguments, split off by the shell.
    auto startsCommand = [](const std::string &argument) {
        return findCommand(argument.substr(0, argument.find_first_of(" \t"))) != nullptr;
    };
    for (size_t i = 0; i + 1 < commands.size(); ++i) {
        const Command *command = findCommand(commands[i]);
        const std::string &next = commands[i + 1];
        // `help` then a lone command's name reads as help on it, split off by the shell.
        bool helpOnOne = command && std::string_view(command->name) == "help" && findCommand(next);
        if (!command || (!command->needsArguments && !helpOnOne) || (startsCommand(next) && !helpOnOne) ||
            next.find_first_of(" \t") != std::string::npos) {
            continue;
        }
        if (helpOnOne) {
            return "command " + std::to_string(i + 1) +
                   ": help takes the command it explains in the same shell " +
                   "argument, as in: brindlewick-sim 'help " + next + "'";
        }
        std::string quoted = commands[i];
        for (size_t j = i + 1; j < commands.size() && !startsCommand(commands[j]); ++j) {
            quoted += " " + asWord(commands[j]);
        }
        return "command " + std::to_string(i + 1) + ": " + command->name +
               " takes its arguments in the same shell argument, as in: brindlewick-sim '" + quoted + "'";
    }
    return "";
}

} // namespace sim
