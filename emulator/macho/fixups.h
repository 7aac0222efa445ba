// Decoding the two ways a Mach-O image lists the pointers the loader must fix: the classic
// rebase and bind opcode streams (LC_DYLD_INFO), and chains threaded through the pointers
// themselves (LC_DYLD_CHAINED_FIXUPS). Both end as the same Fixup records.
#pragma once

#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "emulator/macho/bytes.h"
#include "emulator/macho/image.h"

namespace emulator::macho {

class FixupReader {
  public:
    // `libraries` are the install names of the dylib commands, in order (ordinal 1 first).
    FixupReader(Image &image, Bytes slice, std::vector<std::string> libraries);

    void readDyldInfo(Bytes command);
    void readChainedFixups(Bytes command);

  private:
    void rebases(Bytes opcodes);
    void binds(Bytes opcodes, bool lazy);
    void chain(uint64_t offset, uint64_t pageEnd, uint16_t format, const std::vector<uint32_t> &imports);

    void add(const Fixup &fixup);
    uint32_t importIndex(int64_t ordinal, const std::string &symbol, bool weak);
    uint64_t segmentAddress(uint64_t segment, uint64_t offset) const;
    uint64_t readPointer(uint64_t address) const;

    Image &image_;
    Bytes slice_;
    std::vector<std::string> libraries_;
    unsigned pointer_;
    std::map<std::tuple<std::string, std::string, bool>, uint32_t> known_;
};

} // namespace emulator::macho
