// A simulated iOS host process: the model platform set up from the options, the library loaded
// into it as the loader would, and the host booted onto its network. Its commands are in
// commands.cpp, one table row and one method each.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "emulator/emulated_library.h"
#include "platform/model/model.h"
#include "sim/command_line.h"
#include "sim/options.h"
#include "sim/packages.h"
#include "sim/reply.h"
#include "sim/settings_pane.h"
#include "sim/status_bar.h"
#include "sim/tweak_loader.h"

namespace sim {

// An object as the command language writes it: told by its kind, as the model platform tells it.
Value valueOf(PlatformId object);

class SimulatedHost {
  public:
    // Throws InputError when the root cannot be used or the library cannot be loaded.
    SimulatedHost(const Options &options, const std::string &libraryPath,
                  const std::filesystem::path &paneFile);
    // The library stays mapped, as a library the loader maps stays in its process: the
    // platform keeps its functions, and the notify centre's thread may still call in at exit.
    ~SimulatedHost();
    SimulatedHost(const SimulatedHost &) = delete;
    SimulatedHost &operator=(const SimulatedHost &) = delete;

    // Runs one command line. Throws InputError for bad input, before any effect.
    Reply run(std::string_view line);
    // What the library read as no file though a file was there, since the last time asked: a line
    // each, for standard error. Run also adds them to the command's reply.
    std::vector<std::string> fileWarnings();
    StatusBar statusBar();

    // The commands, as the table in commands.cpp names them.
    Reply call(const std::vector<Token> &tokens);
    Reply status(const std::vector<Token> &tokens = {});
    Reply picture(const std::vector<Token> &tokens);
    Reply hooks(const std::vector<Token> &tokens);
    Reply reads(const std::vector<Token> &tokens);
    Reply post(const std::vector<Token> &tokens);
    Reply edit(const std::vector<Token> &tokens);
    Reply pane(const std::vector<Token> &tokens);
    Reply releases(const std::vector<Token> &tokens);
    Reply package(const std::vector<Token> &tokens);
    Reply update(const std::vector<Token> &tokens);
    Reply trace(const std::vector<Token> &tokens);
    Reply instructions(const std::vector<Token> &tokens);
    Reply help(const std::vector<Token> &tokens);

  private:
    void load(const std::string &path, const Options &options, std::optional<uint32_t> system);
    void loadDeviceLibrary(const std::string &path, const Options &options, std::optional<uint32_t> system);
    // As the phone's loader: each library of the tweak folder whose filter takes this process.
    void loadTweaks(const TweakFolder &folder, const Options &options, std::optional<uint32_t> system);
    // The phone --phone names, checked against the release and the slice asked for.
    void takePhone(const Options &options);
    void registerOnNetwork(const std::string &operatorName);
    // When an edit of `key` (setting it, or else removing it) shows in this host, as the library's
    // start-up left it: its kind, as JSON gives it, and in words.
    struct WhenItShows {
        const char *kind;
        std::string words;
    };
    WhenItShows whenItShows(const std::string &key, bool setting) const;
    const PaneCell &cellFor(const Token &key) const;
    std::string keys() const; // the pane's keys, as a list for a message
    std::optional<Phone> phoneAskedOf(const std::vector<Token> &tokens,
                                      const springboard::Version &release) const;
    std::string inUserWords(const FeatureAnswer &feature, PlatformId preferences) const;
    std::string groupOfFeature(const std::string &feature) const;
    model::Ref preferences() const;
    std::optional<model::Ref> yourPreferences() const;
    PlatformId objectNamed(const std::string &name);
    PlatformId toObject(const Value &value);

    std::map<std::string, model::Ref> objects_; // @NAME, the same object for a whole run
    std::vector<model::Ref> made_;              // text and numbers given as arguments
    std::vector<PaneCell> pane_;
    std::filesystem::path preferenceFile_;
    std::vector<std::unique_ptr<emulator::EmulatedLibrary>> emulated_;
    std::optional<TweakFolder> loader_; // where the host is a jailbroken phone's, the loader's folder
    std::vector<Tweak> tweaks_;         // and its verdict on each library there
    void *native_ = nullptr;            // the dlopen handle of a native library
    uint64_t instructionsShown_ = 0;
    springboard::SimCard simCard_ = springboard::SimCard::ready;
    std::optional<std::string> arch_; // the slice --arch names, or the one --phone's processor takes
    std::optional<Phone> phone_;
    std::string operatorName_; // the network's, as --operator gave it
    bool libraryLoaded_ = false;
    long fileProblemsSeen_ = 0;
};

} // namespace sim
