// References to native objects as emulated code holds them. A 64-bit slice holds the native
// pointer itself; a 32-bit slice cannot, so it holds a handle that names the pointer, in a range
// no emulated memory occupies: code that dereferences one faults, as it should.
#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "emulator/processor.h"

namespace emulator {

class Handles {
  public:
    explicit Handles(bool wide) : wide_(wide) {}

    uint64_t emulated(const void *native) {
        if (!native || wide_) {
            return reinterpret_cast<uint64_t>(native);
        }
        auto [found, added] = index_.try_emplace(native, static_cast<uint32_t>(natives_.size()));
        if (added) {
            if (natives_.size() >= capacity) {
                throw Fault("the 32-bit handle space is full");
            }
            natives_.push_back(native);
        }
        return first + stride * uint64_t(found->second);
    }

    template <typename T = void> T *native(uint64_t emulated) const {
        if (!emulated || wide_) {
            return reinterpret_cast<T *>(emulated);
        }
        uint64_t index = (emulated - first) / stride;
        if (emulated < first || (emulated - first) % stride || index >= natives_.size()) {
            throw Fault("the library passed 0x" + hex(emulated) +
                        " where a reference to a platform object belongs");
        }
        return const_cast<T *>(static_cast<const T *>(natives_[index]));
    }

  private:
    static std::string hex(uint64_t value) {
        static const char digits[] = "0123456789abcdef";
        std::string text;
        do {
            text.insert(text.begin(), digits[value & 15]);
            value >>= 4;
        } while (value);
        return text;
    }

    static constexpr uint64_t first = 0x80000000;
    static constexpr uint64_t stride = 16;
    static constexpr size_t capacity = (0xf0000000 - first) / stride;
    bool wide_;
    std::unordered_map<const void *, uint32_t> index_;
    std::vector<const void *> natives_;
};

} // namespace emulator
