// Arbitrary bytes as a device library, through the loader's reading of it: fat and thin headers,
// load commands, segments, rebase and bind opcodes, chained fixups. A file is refused with a
// LoadError or read whole; nothing else may happen.
#include <cstdint>
#include <optional>

#include "emulator/macho/image.h"

using namespace emulator::macho;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string_view file(reinterpret_cast<const char *>(data), size);
    for (std::optional<Arch> arch : {std::optional<Arch>(), std::optional(Arch::armv7),
                                     std::optional(Arch::arm64), std::optional(Arch::arm64e)}) {
        try {
            Image image = readImage(file, arch);
            for (const Fixup &fixup : image.fixups) {
                if (fixup.kind == Fixup::Kind::bind && fixup.import >= image.imports.size()) {
                    __builtin_trap(); // a bind that names no import would make the loader read past its table
                }
            }
        } catch (const LoadError &) {
        }
    }
    return 0;
}
