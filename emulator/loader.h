// The loader's job for one device slice, done from the image's own load commands as dyld does it:
// map the segments at a slide chosen at random, bind every import two-level through the platform
// bridge, apply every rebase and bind (signing the authenticated ones), set up the image for the
// Objective-C runtime, and run its initializers.
#pragma once

#include <string>

#include "emulator/bridge/bridge.h"
#include "emulator/macho/image.h"
#include "emulator/processor.h"

namespace emulator {

struct LoadedImage {
    uint64_t base; // where the mach header landed
    uint64_t slide;
};

// Throws macho::LoadError for an image the loader refuses and Fault when its initializers crash.
LoadedImage loadImage(const macho::Image &image, Processor &processor, Bridge &bridge,
                      const std::string &executablePath);

} // namespace emulator
