// A device library run under emulation: the simulator's way to load the bytes that ship.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "emulator/macho/image.h"

namespace emulator {

class Processor;
class Bridge;

class EmulatedLibrary {
  public:
    // Reads the Mach-O file at `path`, picks the slice for `arch` (needed when the file holds
    // several), loads it and runs its initializers, as the loader does in a process started from
    // `executablePath`, on `system` (packed as Mach-O packs a version; none: any system). Throws
    // macho::LoadError for a file it refuses, macho::NotForThisSystem for a slice that system's
    // loader would not run, and Fault for a crash. The platform keeps the library's functions,
    // so it must live as long as the process.
    EmulatedLibrary(const std::string &path, std::optional<macho::Arch> arch,
                    const std::string &executablePath, std::optional<uint32_t> system = {});
    ~EmulatedLibrary();

    // Instructions the library's own code has executed, exactly.
    uint64_t instructions() const;

  private:
    std::string file_;
    macho::Image image_;
    std::unique_ptr<Processor> processor_;
    std::unique_ptr<Bridge> bridge_;
};

// Whether the bytes begin as a Mach-O file, thin or fat.
bool looksLikeMachO(std::string_view start);

} // namespace emulator
