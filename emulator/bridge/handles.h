// References to native objects as emulated code holds them: never the native pointer itself, but
// a handle that names it, in a range no emulated memory occupies, so code that dereferences one
// faults, as it should. Every handle that comes back from emulated code is checked before the
// bridge uses it: that the platform handed it out, that it names the kind of thing expected (an
// object, a selector), and that the object is still alive.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "emulator/processor.h"

namespace emulator {

class Handles {
  public:
    enum class Kind : uint8_t { object, selector, opaque };

    Handles(bool wide);
    ~Handles();
    Handles(const Handles &) = delete;
    Handles &operator=(const Handles &) = delete;

    uint64_t emulated(const void *native, Kind kind = Kind::object);

    // The native pointer `emulated` names. Throws Fault for a value the platform never handed out,
    // one of another kind, or an object that has been freed since.
    template <typename T = void> T *native(uint64_t emulated, Kind kind = Kind::object) const {
        return const_cast<T *>(static_cast<const T *>(lookUp(emulated, kind)));
    }
    // The same for an object used as a class: it must be one.
    void *nativeClass(uint64_t emulated) const;

  private:
    struct Entry {
        const void *native;
        Kind kind;
        bool alive;
    };
    const void *lookUp(uint64_t emulated, Kind kind) const;
    static void forget(const void *object);

    uint64_t first_;
    size_t capacity_;
    mutable std::mutex lock_; // the notify centre's and the host's threads free objects too
    std::unordered_map<const void *, uint32_t> index_;
    std::vector<Entry> entries_;
};

} // namespace emulator
