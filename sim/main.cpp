// brindlewick-sim: a simulated iOS host process into which the built library is loaded as the
// loader maps it, driven by one-line commands.
#include <editline/readline.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>

#include "platform/model/model.h"
#include "sim/command_line.h"
#include "sim/device_root.h"
#include "sim/help.h"
#include "sim/options.h"
#include "sim/outcome.h"
#include "sim/reply.h"
#include "sim/simulated_host.h"
#include "sim/statuses.h"

namespace {

using sim::badInput;

// Every message on standard error: plain, or with --json one JSON object a line, its kind the key.
void report(const std::string &message, const std::string &where, bool json, const char *kind = "error") {
    if (json) {
        sim::Json line{{kind, sim::jsonText(message)}};
        if (!where.empty()) {
            line["where"] = where;
        }
        std::cerr << sim::jsonLine(line) << std::endl;
    } else {
        std::cerr << "brindlewick-sim: " << (where.empty() ? "" : where + ": ")
                  << (std::string_view(kind) == "error" ? "" : std::string(kind) + ": ") << message
                  << std::endl;
    }
}

// Whether --json is among the options, looked for before they are read, so that a bad option is
// reported as JSON too.
bool wantsJson(int argc, char **argv) {
    for (int i = 1;
         i < argc && std::string_view(argv[i]).starts_with("--") && std::string_view(argv[i]) != "--"; ++i) {
        if (std::string_view(argv[i]) == "--json") {
            return true;
        }
    }
    return false;
}

// The library crashed its process, as it would SpringBoard, or the simulator cannot go on: nothing
// after it runs, no exit handler, no destructor of what it left half done.
[[noreturn]] void end(int status) {
    std::cout.flush();
    std::cerr.flush();
    std::_Exit(status);
}

bool jsonMessages = false; // --json, for a failure on another thread

// The library crashed on the notify centre's thread, delivering another process's post, which
// nobody waits for: the run ends as it would have on the command's own thread.
void deliveryFailed(std::exception_ptr failure) {
    sim::Outcome outcome = sim::outcomeOf(failure, false);
    report(outcome.message, "a notification", jsonMessages);
    end(outcome.ends ? outcome.status : sim::crashed);
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
    // Its warnings go first, to standard error.
    void print(const sim::Reply &reply, const std::string &where = "") {
        for (const std::string &warning : reply.warnings) {
            report(warning, where, json_, "warning");
        }
        for (const std::string &line : sim::render(reply,
                                                   json_       ? sim::Output::json
                                                   : terminal_ ? sim::Output::terminal
                                                               : sim::Output::pipe,
                                                   columns())) {
            std::cout << line << "\n";
        }
        // Another program reads the answers: one it cannot be given fails the run, not the command.
        if (!std::cout.flush()) {
            throw std::runtime_error("cannot write the answer to standard output");
        }
    }

    // Runs one command; bad input is reported with where it came from, and the session goes on.
    void run(const std::string &line, const std::string &where) {
        try {
            print(host_.run(line), where);
        } catch (...) {
            sim::Outcome outcome = sim::outcomeOf(std::current_exception(), false);
            complain(outcome.message, where);
            if (outcome.ends) {
                end(outcome.status);
            }
        }
    }

    // The terminal's width, as it is now: a person may have resized it.
    static size_t columns() {
        winsize size{};
        return ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 ? size.ws_col : 0;
    }

    void complain(const std::string &message, const std::string &where) {
        failed_ = true;
        report(message, where, json_);
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
    while (char *raw = readline("brindlewick> ")) {
        std::string line(raw);
        free(raw);
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
    bool json = wantsJson(argc, argv);
    try {
        options = sim::parseOptions(argc, argv);
    } catch (const sim::InputError &error) {
        report(std::string(error.what()) + " (brindlewick-sim --help lists the options and commands)", "",
               json);
        return badInput;
    }
    if (options.help) {
        if (json) {
            sim::Json rows = sim::Json::array();
            for (const sim::OptionRow &row : sim::optionRows()) {
                rows.push_back({{"option", sim::optionForm(row)}, {"does", sim::optionHelp(row, false)}});
            }
            std::cout << sim::jsonLine({{"usage", sim::usage()}, {"options", rows}}) << std::endl;
        } else {
            std::cout << sim::usage();
        }
        return 0;
    }
    for (const std::string &warning : options.warnings) {
        report(warning, "", json, "warning");
    }
    try {
        if (options.root.empty()) {
            // The user's own copy of the example: the bundled one stays as the repository has it.
            options.root = sim::defaultDeviceRoot();
            sim::prepareDevice(options.root, BRINDLEWICK_EXAMPLE_ROOT, options.reset);
        }
        jsonMessages = options.json;
        model::setDeliveryFailureHandler(&deliveryFailed);
        sim::SimulatedHost host(options, (executableDirectory() / "Brindlewick.so").string(),
                                BRINDLEWICK_PANE_FILE);
        Session session(host, options.json);
        for (const std::string &warning : host.fileWarnings()) {
            report(warning, "", options.json, "warning");
        }
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
        return session.failed() ? badInput : sim::everyCommandRan;
    } catch (...) {
        // Setting up: the device root, the library's loading and the host's boot.
        sim::Outcome outcome = sim::outcomeOf(std::current_exception(), true);
        report(outcome.message, "", options.json);
        if (outcome.ends) {
            end(outcome.status);
        }
        return outcome.status;
    }
}
