// Reference counting and pools, sent as messages so they work on every runtime the library
// meets: Apple's on the device, GCC's with GNUstep on Linux.
#include "host/darwin/declarations.h"

extern "C" HostId hostRetain(HostId object) {
    return (HostId)[(id)object retain];
}

extern "C" void hostRelease(HostId object) {
    [(id)object release];
}

extern "C" HostId hostAutorelease(HostId object) {
    return (HostId)[(id)object autorelease];
}

extern "C" void *hostAutoreleasePoolPush(void) {
    return (void *)[[(id)objc_getClass("NSAutoreleasePool") alloc] init];
}

extern "C" void hostAutoreleasePoolPop(void *pool) {
    [(id)pool release];
}

extern "C" void hostYieldThread(void) {
    sched_yield();
}
