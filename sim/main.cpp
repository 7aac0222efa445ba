// brindlewick-sim: a simulated iOS host process into which the built library is loaded as the
// loader maps it, driven by one-line commands.
#include <editline/readline.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>

#include "emulator/processor.h"
#include "platform/model/model.h"
#include "sim/command_line.h"
#include "sim/device_root.h"
#include "sim/help.h"
#include "sim/json.h"
#include "sim/options.h"
#include "sim/simulated_host.h"

namespace {

constexpr int badInput = 2;

// The library crashed its process, as it would SpringBoard: nothing after it runs, no exit handler,
// no destructor of what it left half done.
[[noreturn]] void endAsCrashed() {
    std::cout.flush();
    std::cerr.flush();
    std::_Exit(3);
}

std::filesystem::path executableDirectory() {
    std::error_code failed;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", failed);
    return failed ? std::filesystem::path(".") : self.parent_path();
}

class Session {
  public:
    Session(sim::SimulatedHost &host, bool json) : host_(host), json_(json) {}

    // One line, flushed at once; on a terminal, the few aligned lines a person reads more easily.
    void print(const sim::Reply &reply) {
        if (!json_ && terminal_ && !reply.lines.empty()) {
            for (const std::string &line : reply.lines) {
                std::cout << line << "\n";
            }
            std::cout.flush();
            return;
        }
        std::cout << (json_ ? reply.json : reply.plain) << std::endl;
    }

    // Runs one command; bad input is reported with where it came from, and the session goes on.
    void run(const std::string &line, const std::string &where) {
        try {
            print(host_.run(line));
        } catch (const sim::InputError &error) {
            complain(error.what(), where);
        } catch (const model::HostException &error) {
            complain(std::string("the host raised: ") + error.what(), where);
        } catch (const emulator::Fault &error) {
            complain(std::string("the library crashed: ") + error.what(), where);
            endAsCrashed();
        }
    }

    void complain(const std::string &message, const std::string &where) {
        failed_ = true;
        if (json_) {
            std::cerr << "{\"error\":" << sim::jsonString(message)
                      << (where.empty() ? "" : ",\"where\":" + sim::jsonString(where)) << "}" << std::endl;
        } else {
            std::cerr << "brindlewick-sim: " << (where.empty() ? "" : where + ": ") << message << std::endl;
        }
    }

    bool failed() const { return failed_; }

  private:
    sim::SimulatedHost &host_;
    bool json_;
    bool terminal_ = isatty(STDOUT_FILENO);
    bool failed_ = false;
};

bool worthRunning(const std::string &line) {
    size_t start = line.find_first_not_of(" \t\r");
    return start != std::string::npos && line[start] != '#';
}

void interactive(Session &session, sim::SimulatedHost &host) {
    session.print(host.status());
    int number = 0;
    while (char *raw = readline("brindlewick> ")) {
        std::string line(raw);
        free(raw);
        ++number;
        if (!worthRunning(line)) {
            continue;
        }
        add_history(line.c_str());
        if (line == "quit" || line == "exit") {
            break;
        }
        session.run(line, "");
    }
}

} // namespace

int main(int argc, char **argv) {
    sim::Options options;
    try {
        options = sim::parseOptions(argc, argv);
    } catch (const sim::InputError &error) {
        std::cerr << "brindlewick-sim: " << error.what()
                  << "\n(brindlewick-sim --help lists the options and commands)\n";
        return badInput;
    }
    if (options.help) {
        std::cout << sim::usage();
        return 0;
    }
    try {
        if (options.root.empty()) {
            // The user's own copy of the example: the bundled one stays as the repository has it.
            options.root = sim::defaultDeviceRoot();
            sim::prepareDevice(options.root, BRINDLEWICK_EXAMPLE_ROOT, options.reset);
        }
        sim::SimulatedHost host(options, (executableDirectory() / "Brindlewick.so").string(),
                                BRINDLEWICK_PANE_FILE);
        Session session(host, options.json);
        if (!options.commands.empty()) {
            for (size_t i = 0; i < options.commands.size(); ++i) {
                if (worthRunning(options.commands[i])) {
                    session.run(options.commands[i], "command " + std::to_string(i + 1));
                }
            }
        } else if (isatty(STDIN_FILENO)) {
            interactive(session, host);
        } else {
            std::string line;
            for (int number = 1; std::getline(std::cin, line); ++number) {
                if (worthRunning(line)) {
                    session.run(line, "line " + std::to_string(number));
                }
            }
        }
        return session.failed() ? badInput : 0;
    } catch (const sim::InputError &error) {
        std::cerr << "brindlewick-sim: " << error.what() << std::endl;
        return badInput;
    } catch (const emulator::Fault &error) {
        std::cerr << "brindlewick-sim: the library crashed while loading: " << error.what() << std::endl;
        endAsCrashed();
    }
}
