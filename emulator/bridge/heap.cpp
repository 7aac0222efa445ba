#include "emulator/bridge/heap.h"

#include <string>
#include <vector>

namespace emulator {

Heap::Heap(Processor &processor, uint64_t base, uint64_t size) : processor_(processor) {
    processor_.map(base, size, protectionRead | protectionWrite);
    free_[base] = size;
}

uint64_t Heap::allocate(uint64_t size) {
    size = (size + 15) & ~uint64_t(15);
    for (auto it = free_.begin(); it != free_.end(); ++it) {
        if (it->second >= size) {
            uint64_t address = it->first;
            uint64_t left = it->second - size;
            free_.erase(it);
            if (left) {
                free_[address + size] = left;
            }
            used_[address] = size;
            std::vector<uint8_t> zeros(size);
            processor_.write(address, zeros.data(), size);
            return address;
        }
    }
    throw Limit("the emulated heap is full");
}

void Heap::free(uint64_t address) {
    auto block = used_.find(address);
    if (block == used_.end()) {
        throw Fault("the library freed memory the platform never gave it");
    }
    uint64_t size = block->second;
    used_.erase(block);
    auto next = free_.find(address + size);
    if (next != free_.end()) {
        size += next->second;
        free_.erase(next);
    }
    auto after = free_.lower_bound(address);
    if (after != free_.begin()) {
        auto before = std::prev(after);
        if (before->first + before->second == address) {
            before->second += size;
            return;
        }
    }
    free_[address] = size;
}

} // namespace emulator
