// The object runtime and the loader's method interception, as the library sees them.
//
// Every reference here is opaque: the library never looks inside a host object. The functions
// with platform names (objc_getClass, sel_registerName, MSHookMessageEx) are the platform's own
// C entry points on the device; elsewhere a backend under platform/ provides them with the same
// contract. The rest are thin wrappers a backend implements over the runtime.
#pragma once

#include <stddef.h>
#include <stdint.h>

typedef struct PlatformObjectOpaque *PlatformId;          // a reference to a host object, or null
typedef struct PlatformClassOpaque *PlatformClass;        // a class of the host, or null
typedef const struct PlatformSelectorOpaque *PlatformSel; // an interned selector
typedef void (*PlatformImp)(void);                        // an untyped method implementation

// The platform's one-byte truth value: bool on 64-bit ARM, signed char elsewhere.
#if defined(__arm64__) || defined(__aarch64__)
typedef bool PlatformBool;
#else
typedef signed char PlatformBool;
#endif

// The platform's native integers (NSInteger/NSUInteger): long has the pointer's width on both
// the 32-bit and the 64-bit slices.
typedef long PlatformInteger;
typedef unsigned long PlatformUInteger;

#ifdef __cplusplus
extern "C" {
#endif

// The class registered under `name`, or null when the host has none of that name.
PlatformClass objc_getClass(const char *name);

// The selector for `name`; the same pointer for the same name, for the life of the process.
PlatformSel sel_registerName(const char *name);

// Makes `replacement` the implementation of `selector` on `cls` and stores the implementation it
// displaced into `*previous`. A second call for the same class and selector displaces the first
// replacement, so calls made in order build a chain whose outermost element is the last one.
// For a method `cls` only inherits, the replacement goes on `cls` itself and `*previous` holds the
// inherited implementation. When `cls` is null, or neither it nor a superclass implements
// `selector`, nothing is replaced, `*previous` is not written, and the call returns normally.
void MSHookMessageEx(PlatformClass cls, PlatformSel selector, PlatformImp replacement, PlatformImp *previous);

// Reference counting. Each accepts null and then does nothing; platformRetain returns its argument.
PlatformId platformRetain(PlatformId object);
void platformRelease(PlatformId object);
// Hands an object to the current autorelease pool, as a method returning an object does.
PlatformId platformAutorelease(PlatformId object);
// An autorelease pool for code that runs where the host has none in place (a module initializer).
void *platformAutoreleasePoolPush(void);
void platformAutoreleasePoolPop(void *pool);

// Gives the processor to another thread; used by the short spin lock of platform/sync.h.
void platformYieldThread(void);

#ifdef __cplusplus
}

// Casts an implementation taken from a slot to the signature of the method it implements, so
// that calling it passes the arguments as a compiled message send would.
template <typename Signature> inline Signature *platformTypedImp(PlatformImp imp) {
    return reinterpret_cast<Signature *>(imp);
}

// Whether two C strings are the same, with nothing of a C library: the library's own folders and
// the Darwin backend build freestanding.
inline bool platformSameText(const char *a, const char *b) {
    while (*a && *a == *b) {
        ++a;
        ++b;
    }
    return *a == *b;
}

// A strong reference held for a scope: released on every way out, an exception included. The
// library's go through the seam; a backend may hold its own with its own retain and release.
template <PlatformId (*Retain)(PlatformId), void (*Release)(PlatformId)> class StrongRef {
  public:
    explicit StrongRef(PlatformId object) : object_(Retain(object)) {}
    // Takes over a reference the caller already owns.
    static StrongRef adopt(PlatformId owned) { return StrongRef(owned, 0); }
    StrongRef(StrongRef &&other) : object_(other.release()) {}
    StrongRef(const StrongRef &) = delete;
    StrongRef &operator=(const StrongRef &) = delete;
    StrongRef &operator=(StrongRef &&) = delete;
    ~StrongRef() { Release(object_); }

    PlatformId get() const { return object_; }
    // Gives the reference up to the caller, who then owns it.
    PlatformId release() {
        PlatformId owned = object_;
        object_ = nullptr;
        return owned;
    }

  private:
    StrongRef(PlatformId owned, int) : object_(owned) {}
    PlatformId object_;
};

using PlatformStrongRef = StrongRef<platformRetain, platformRelease>;
#endif
