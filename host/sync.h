// A short lock and one-byte atomics, built on compiler intrinsics so they need no library on
// any slice. The lock guards a few pointer swaps and retains; never hold it across I/O.
#pragma once

#include "host/objects.h"

struct HostSpinLock {
    unsigned char held;
};

inline void hostLock(HostSpinLock *lock) {
    while (__atomic_test_and_set(&lock->held, __ATOMIC_ACQUIRE)) {
        hostYieldThread();
    }
}

inline void hostUnlock(HostSpinLock *lock) {
    __atomic_clear(&lock->held, __ATOMIC_RELEASE);
}

class HostLockGuard {
  public:
    explicit HostLockGuard(HostSpinLock *lock) : lock_(lock) { hostLock(lock_); }
    HostLockGuard(const HostLockGuard &) = delete;
    HostLockGuard &operator=(const HostLockGuard &) = delete;
    ~HostLockGuard() { hostUnlock(lock_); }

  private:
    HostSpinLock *lock_;
};

// A flag is one byte, written and read whole; these make that explicit to the compiler.
inline HostBool hostLoadFlag(const HostBool *flag) {
    return __atomic_load_n(flag, __ATOMIC_RELAXED);
}
inline void hostStoreFlag(HostBool *flag, HostBool value) {
    __atomic_store_n(flag, value, __ATOMIC_RELAXED);
}
