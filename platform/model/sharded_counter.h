// A process-wide count that many threads change at once without sharing a cache line: each
// thread adds to its own slot, and a reading sums them all.
#pragma once

#include <atomic>
#include <functional>
#include <thread>

namespace model {

class ShardedCounter {
  public:
    void add(long delta) { slots_[slot()].value.fetch_add(delta, std::memory_order_relaxed); }
    long total() const {
        long sum = 0;
        for (const Slot &s : slots_) {
            sum += s.value.load(std::memory_order_relaxed);
        }
        return sum;
    }

  private:
    static constexpr size_t slotCount = 64;
    struct alignas(64) Slot {
        std::atomic<long> value{0};
    };
    static size_t slot() {
        thread_local size_t mine = std::hash<std::thread::id>()(std::this_thread::get_id()) % slotCount;
        return mine;
    }
    Slot slots_[slotCount];
};

} // namespace model
