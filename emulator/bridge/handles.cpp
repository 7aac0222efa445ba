#include "emulator/bridge/handles.h"

#include <algorithm>

#include "platform/model/model.h"

namespace emulator {
namespace {

constexpr uint64_t stride = 16;
// Above every address the loader or the processor maps, for either width.
constexpr uint64_t first32 = 0x80000000;
constexpr uint64_t last32 = 0xf0000000;
constexpr uint64_t first64 = 0x200000000000;

std::mutex everyLock;
std::vector<Handles *> &every() {
    static auto *all = new std::vector<Handles *>; // objects are freed during exit too
    return *all;
}

std::string hex(uint64_t value) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    do {
        text.insert(text.begin(), digits[value & 15]);
        value >>= 4;
    } while (value);
    return "0x" + text;
}

const char *kindName(Handles::Kind kind) {
    return kind == Handles::Kind::selector ? "a selector"
           : kind == Handles::Kind::object ? "an object"
                                           : "a reference";
}

} // namespace

Handles::Handles(bool wide)
    : first_(wide ? first64 : first32), capacity_(wide ? (uint64_t(1) << 32) : (last32 - first32) / stride) {
    std::lock_guard guard(everyLock);
    every().push_back(this);
    model::setObjectFreeObserver(&Handles::forget);
}

Handles::~Handles() {
    std::lock_guard guard(everyLock);
    std::erase(every(), this);
}

void Handles::forget(const void *object) {
    std::lock_guard guard(everyLock);
    for (Handles *handles : every()) {
        std::lock_guard entries(handles->lock_);
        auto found = handles->index_.find(object);
        if (found != handles->index_.end()) {
            handles->entries_[found->second].alive = false;
        }
    }
}

uint64_t Handles::emulated(const void *native, Kind kind) {
    if (!native) {
        return 0;
    }
    std::lock_guard guard(lock_);
    auto [found, added] = index_.try_emplace(native, static_cast<uint32_t>(entries_.size()));
    if (added) {
        if (entries_.size() >= capacity_) {
            throw Limit("the handle space for platform objects is full");
        }
        entries_.push_back({native, kind, true});
    } else {
        // The same address again: the object it held may have been freed and another made there.
        entries_[found->second] = {native, kind, true};
    }
    return first_ + stride * uint64_t(found->second);
}

const void *Handles::lookUp(uint64_t emulated, Kind kind) const {
    if (!emulated) {
        return nullptr;
    }
    std::lock_guard guard(lock_);
    uint64_t index = (emulated - first_) / stride;
    if (emulated < first_ || (emulated - first_) % stride || index >= entries_.size()) {
        throw Fault("the library passed " + hex(emulated) + " where " + kindName(kind) + " belongs");
    }
    const Entry &entry = entries_[index];
    if (entry.kind != kind) {
        throw Fault("the library passed " + std::string(kindName(entry.kind)) + " where " + kindName(kind) +
                    " belongs");
    }
    if (!entry.alive) {
        throw Fault("the library used an object after it was freed (" + hex(emulated) + ")");
    }
    return entry.native;
}

void *Handles::nativeClass(uint64_t emulated) const {
    auto *object = native<PlatformObjectOpaque>(emulated);
    if (object && !model::object(object)->isa()->isMetaclass()) {
        throw Fault("the library passed an object that is no class where a class belongs");
    }
    return object;
}

} // namespace emulator
