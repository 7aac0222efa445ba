#include "emulator/emulated_library.h"

#include <fstream>
#include <iterator>

#include "emulator/bridge/bridge.h"
#include "emulator/loader.h"
#include "emulator/processor.h"

namespace emulator {
namespace {

std::string readFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw macho::LoadError("cannot read " + path);
    }
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// As the system's loader refuses a slice: one that declares a newer lowest system, and the
// kernel one whose processor's code the system no longer runs.
void admitOn(uint32_t system, const macho::Image &image) {
    std::optional<uint32_t> last = macho::lastSystemOf(image.arch);
    if (system < image.minimumSystem || (last && system > *last)) {
        throw macho::NotForThisSystem(macho::systemName(system) + ": its " + macho::archName(image.arch) +
                                      " slice runs on " + macho::systemName(image.minimumSystem) +
                                      (last ? " to " + macho::systemName(*last).substr(4) : " and later"));
    }
}

} // namespace

EmulatedLibrary::EmulatedLibrary(const std::string &path, std::optional<macho::Arch> arch,
                                 const std::string &executablePath, std::optional<uint32_t> system)
    : file_(readFile(path)), image_(macho::readImage(file_, arch)) {
    if (system) {
        admitOn(*system, image_);
    }
    processor_ = std::make_unique<Processor>(image_.arch);
    bridge_ = std::make_unique<Bridge>(*processor_);
    loadImage(image_, *processor_, *bridge_, executablePath);
}

EmulatedLibrary::~EmulatedLibrary() = default;

uint64_t EmulatedLibrary::instructions() const {
    std::lock_guard guard(processor_->lock());
    return processor_->instructions();
}

bool looksLikeMachO(std::string_view start) {
    if (start.size() < 4) {
        return false;
    }
    auto byte = [&](size_t i) { return static_cast<unsigned char>(start[i]); };
    uint32_t big = uint32_t(byte(0)) << 24 | byte(1) << 16 | byte(2) << 8 | byte(3);
    uint32_t little = uint32_t(byte(3)) << 24 | byte(2) << 16 | byte(1) << 8 | byte(0);
    return big == 0xcafebabe || big == 0xcafebabf || little == 0xfeedface || little == 0xfeedfacf;
}

} // namespace emulator
