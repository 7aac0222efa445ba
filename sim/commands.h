// The simulator's commands: one row each, read by dispatch and by help alike.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "sim/reply.h"

namespace sim {

class SimulatedHost;

struct Command {
    const char *name;
    const char *form;
    const char *summary;
    const char *example;
    bool needsArguments; // a lone word after it is one of its arguments, split off by the shell
    int arguments;       // how many it takes, or -1 when its method checks them
    Reply (SimulatedHost::*run)(const std::vector<Token> &tokens);
};

const std::vector<Command> &commands();
// The examples of an edit, from the first feature's own keys.
const std::string &setExample();
const std::string &unsetExample();
const Command *findCommand(std::string_view name);

} // namespace sim
