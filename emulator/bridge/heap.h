// Emulated memory the platform hands the library: interface lists, inet_ntoa's buffer, the
// initializers' argument vector. First fit over one region; blocks are freed whole.
#pragma once

#include <cstdint>
#include <map>

#include "emulator/processor.h"

namespace emulator {

class Heap {
  public:
    Heap(Processor &processor, uint64_t base, uint64_t size);
    // Zeroed, 16-byte aligned. A full heap is a Fault.
    uint64_t allocate(uint64_t size);
    // Frees a block `allocate` returned; any other address is a Fault.
    void free(uint64_t address);

  private:
    Processor &processor_;
    std::map<uint64_t, uint64_t> free_; // address -> size
    std::map<uint64_t, uint64_t> used_;
};

} // namespace emulator
