// A short lock and one-byte atomics, built on compiler intrinsics so they need no library on
// any slice. The lock guards a few pointer swaps and retains; never hold it across I/O.
#pragma once

#include "platform/objects.h"

struct PlatformSpinLock {
    unsigned char held;
};

inline void platformLock(PlatformSpinLock *lock) {
    while (__atomic_test_and_set(&lock->held, __ATOMIC_ACQUIRE)) {
        platformYieldThread();
    }
}

inline void platformUnlock(PlatformSpinLock *lock) {
    __atomic_clear(&lock->held, __ATOMIC_RELEASE);
}

class PlatformLockGuard {
  public:
    explicit PlatformLockGuard(PlatformSpinLock *lock) : lock_(lock) { platformLock(lock_); }
    PlatformLockGuard(const PlatformLockGuard &) = delete;
    PlatformLockGuard &operator=(const PlatformLockGuard &) = delete;
    ~PlatformLockGuard() { platformUnlock(lock_); }

  private:
    PlatformSpinLock *lock_;
};

// A flag is one byte, written and read whole; these make that explicit to the compiler.
inline PlatformBool platformLoadFlag(const PlatformBool *flag) {
    return __atomic_load_n(flag, __ATOMIC_RELAXED);
}
inline void platformStoreFlag(PlatformBool *flag, PlatformBool value) {
    __atomic_store_n(flag, value, __ATOMIC_RELAXED);
}
