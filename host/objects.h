// The object runtime and the loader's method interception, as the library sees them.
//
// Every reference here is opaque: the library never looks inside a host object. The functions
// with platform names (objc_getClass, sel_registerName, MSHookMessageEx) are the platform's own
// C entry points on the device; elsewhere a backend under host/ provides them with the same
// contract. The rest are thin wrappers a backend implements over the runtime.
#pragma once

#include <stddef.h>
#include <stdint.h>

typedef struct HostObjectOpaque *HostId;          // a reference to a host object, or null
typedef struct HostClassOpaque *HostClass;        // a class of the host, or null
typedef const struct HostSelectorOpaque *HostSel; // an interned selector
typedef void (*HostImp)(void);                    // an untyped method implementation

// The platform's one-byte truth value: bool on 64-bit ARM, signed char elsewhere.
#if defined(__arm64__) || defined(__aarch64__)
typedef bool HostBool;
#else
typedef signed char HostBool;
#endif

// The platform's native integers (NSInteger/NSUInteger): long has the pointer's width on both
// the 32-bit and the 64-bit slices.
typedef long HostInteger;
typedef unsigned long HostUInteger;

#ifdef __cplusplus
extern "C" {
#endif

// The class registered under `name`, or null when the host has none of that name.
HostClass objc_getClass(const char *name);

// The selector for `name`; the same pointer for the same name, for the life of the process.
HostSel sel_registerName(const char *name);

// Makes `replacement` the implementation of `selector` on `cls` and stores the implementation it
// displaced into `*previous`. A second call for the same class and selector displaces the first
// replacement, so calls made in order build a chain whose outermost element is the last one.
// For a method `cls` only inherits, the replacement goes on `cls` itself and `*previous` holds the
// inherited implementation. When `cls` is null, or neither it nor a superclass implements
// `selector`, nothing is replaced, `*previous` is not written, and the call returns normally.
void MSHookMessageEx(HostClass cls, HostSel selector, HostImp replacement, HostImp *previous);

// Reference counting. Each accepts null and then does nothing; hostRetain returns its argument.
HostId hostRetain(HostId object);
void hostRelease(HostId object);
// Hands an object to the current autorelease pool, as a method returning an object does.
HostId hostAutorelease(HostId object);
// An autorelease pool for code that runs where the host has none in place (a module initializer).
void *hostAutoreleasePoolPush(void);
void hostAutoreleasePoolPop(void *pool);

// Gives the processor to another thread; used by the short spin lock below.
void hostYieldThread(void);

#ifdef __cplusplus
}

// Calls an implementation taken from a slot with the signature of the method it implements,
// as a compiled message send would.
template <typename Signature> inline Signature *hostTypedImp(HostImp imp) {
    return reinterpret_cast<Signature *>(imp);
}

// A strong reference held for a scope: released on every way out, an exception included.
class HostStrongRef {
  public:
    explicit HostStrongRef(HostId object) : object_(hostRetain(object)) {}
    // Takes over a reference the caller already owns.
    static HostStrongRef adopt(HostId owned) { return HostStrongRef(owned, 0); }
    HostStrongRef(HostStrongRef &&other) : object_(other.release()) {}
    HostStrongRef(const HostStrongRef &) = delete;
    HostStrongRef &operator=(const HostStrongRef &) = delete;
    HostStrongRef &operator=(HostStrongRef &&) = delete;
    ~HostStrongRef() { hostRelease(object_); }

    HostId get() const { return object_; }
    // Gives the reference up to the caller, who then owns it.
    HostId release() {
        HostId owned = object_;
        object_ = nullptr;
        return owned;
    }

  private:
    HostStrongRef(HostId owned, int) : object_(owned) {}
    HostId object_;
};
#endif
