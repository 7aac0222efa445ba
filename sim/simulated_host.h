// A simulated iOS host process: the model platform set up from the options, the library loaded
// into it with dlopen as the loader would, and the host booted onto its network.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "emulator/emulated_library.h"
#include "platform/model/model.h"
#include "sim/command_line.h"
#include "sim/options.h"
#include "sim/settings_pane.h"
#include "sim/status_bar.h"

namespace sim {

// What one command prints: one line of plain text or of JSON, and for a person at a terminal,
// where it has them, a few aligned lines instead.
struct Reply {
    std::string plain;
    std::string json;
    std::vector<std::string> lines = {};
};

class SimulatedHost {
  public:
    // Throws InputError when the root cannot be used or the library cannot be loaded.
    SimulatedHost(const Options &options, const std::string &libraryPath,
                  const std::filesystem::path &paneFile);
    SimulatedHost(const SimulatedHost &) = delete;
    SimulatedHost &operator=(const SimulatedHost &) = delete;

    // Runs one command line. Throws InputError for bad input, before any effect.
    Reply run(std::string_view line);
    Reply status();
    StatusBar statusBar();

  private:
    void load(const std::string &path, const Options &options);
    void registerOnNetwork(const std::string &operatorName);
    Reply call(const std::vector<Token> &tokens);
    Reply trace();
    Reply picture(const std::vector<Token> &tokens);
    Reply help(const std::vector<Token> &tokens) const;
    Reply hooks() const;
    Reply edit(const std::vector<Token> &tokens);
    Reply pane() const;
    const PaneCell &cellFor(const Token &key) const;
    PlatformId objectNamed(const std::string &name);
    PlatformId toObject(const Value &value);
    Value describe(PlatformId object) const;

    std::map<std::string, model::Ref> objects_; // @NAME, the same object for a whole run
    std::vector<model::Ref> made_;              // text and numbers given as arguments
    std::vector<PaneCell> pane_;
    std::filesystem::path preferenceFile_;
    emulator::EmulatedLibrary *emulated_ = nullptr;
    uint64_t instructionsShown_ = 0;
};

} // namespace sim
