// Reference counting and pools, sent as messages so they work on every runtime the library
// meets: Apple's on the device, GCC's with GNUstep on Linux. A null reference sends nothing.
#include "host/darwin/declarations.h"

extern "C" HostId hostRetain(HostId object) {
    return object ? (HostId)[(id)object retain] : nullptr;
}

extern "C" void hostRelease(HostId object) {
    if (object) {
        [(id)object release];
    }
}

extern "C" HostId hostAutorelease(HostId object) {
    return object ? (HostId)[(id)object autorelease] : nullptr;
}

extern "C" void *hostAutoreleasePoolPush(void) {
    static void *poolClass;
    return (void *)[[foundationClass("NSAutoreleasePool", &poolClass) alloc] init];
}

extern "C" void hostAutoreleasePoolPop(void *pool) {
    [(id)pool release];
}

extern "C" void hostYieldThread(void) {
    sched_yield();
}
