// Reference counting and pools, sent as messages so they work on every runtime the library
// meets: Apple's on the device, GCC's with GNUstep on Linux. A null reference sends nothing.
#include "platform/darwin/declarations.h"

extern "C" PlatformId platformRetain(PlatformId object) {
    return object ? (PlatformId)[(id)object retain] : nullptr;
}

extern "C" void platformRelease(PlatformId object) {
    if (object) {
        [(id)object release];
    }
}

extern "C" PlatformId platformAutorelease(PlatformId object) {
    return object ? (PlatformId)[(id)object autorelease] : nullptr;
}

extern "C" void *platformAutoreleasePoolPush(void) {
    static void *poolClass;
    return (void *)[[foundationClass("NSAutoreleasePool", &poolClass) alloc] init];
}

extern "C" void platformAutoreleasePoolPop(void *pool) {
    [(id)pool release];
}

extern "C" void platformYieldThread(void) {
    sched_yield();
}
