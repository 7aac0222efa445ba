// The Foundation messages the library sends. Each literal becomes a constant string once and each
// Foundation class is looked up once, so a call costs its messages and little else.
#include "host/darwin/declarations.h"
#include "host/sync.h"

namespace {

id stringClass() {
    static void *cache;
    return foundationClass("NSString", &cache);
}

// The constant strings asked of the platform so far. A literal is found by its address in a
// direct-mapped table, which a hit reads with no lock; a miss searches what was made by content
// (two copies of one literal may have two addresses) under the lock, and asks the platform only for
// a text it never gave.
struct Constant {
    const char *text;
    id string;
};
Constant byAddress[64]; // a slot, once filled, is never refilled: a reader may be between its fields
Constant made[64];
unsigned madeCount;
HostSpinLock madeLock;

bool sameText(const char *a, const char *b) {
    while (*a && *a == *b) {
        ++a;
        ++b;
    }
    return *a == *b;
}

} // namespace

extern "C" HostId hostConstantString(const char *utf8) {
    Constant &slot = byAddress[((unsigned long)utf8 >> 3) % (sizeof byAddress / sizeof byAddress[0])];
    if (__atomic_load_n(&slot.text, __ATOMIC_ACQUIRE) == utf8) {
        return (HostId)slot.string;
    }
    HostLockGuard guard(&madeLock);
    id string = nullptr;
    for (unsigned i = 0; i < madeCount && !string; ++i) {
        string = sameText(made[i].text, utf8) ? made[i].string : nullptr;
    }
    if (!string) {
        string = __CFStringMakeConstantString(utf8);
        if (madeCount < sizeof made / sizeof made[0]) {
            made[madeCount++] = Constant{utf8, string};
        }
    }
    if (!slot.text) {
        slot.string = string;
        __atomic_store_n(&slot.text, utf8, __ATOMIC_RELEASE);
    }
    return (HostId)string;
}

extern "C" HostId hostStringWithUTF8String(const char *utf8) {
    return utf8 ? (HostId)[stringClass() stringWithUTF8String:utf8] : nullptr;
}

extern "C" HostBool hostIsString(HostId object) {
    return [(id)object isKindOfClass:[stringClass() class]] ? 1 : 0;
}

extern "C" HostBool hostStringEquals(HostId text, const char *literal) {
    return [(NSString *)text isEqualToString:(NSString *)hostConstantString(literal)] ? 1 : 0;
}

extern "C" HostBool hostLiteralEquals(const char *literal, HostId text) {
    return [(NSString *)hostConstantString(literal) isEqualToString:(NSString *)text] ? 1 : 0;
}

extern "C" HostRange hostRangeOfString(HostId text, const char *literal) {
    // Not every runtime zeroes a structure returned from a message to nil.
    if (!text) {
        return HostRange{0, 0};
    }
    return [(NSString *)text rangeOfString:(NSString *)hostConstantString(literal)];
}

extern "C" HostId hostLastPathComponent(HostId text) {
    return (HostId)[(NSString *)text lastPathComponent];
}

extern "C" HostId hostLowercaseString(HostId text) {
    return (HostId)[(NSString *)text lowercaseString];
}

extern "C" HostId hostDictionaryWithContentsOfFile(const char *path) {
    static void *dictionaryClass;
    id dictionary = [foundationClass("NSDictionary", &dictionaryClass) alloc];
    return (HostId)[dictionary initWithContentsOfFile:(NSString *)hostConstantString(path)];
}

extern "C" HostId hostObjectForKeyedSubscript(HostId dictionary, const char *key) {
    return (HostId)[(NSDictionary *)dictionary objectForKeyedSubscript:(id)hostConstantString(key)];
}

extern "C" HostId hostObjectForKey(HostId dictionary, const char *key) {
    return (HostId)[(NSDictionary *)dictionary objectForKey:(id)hostConstantString(key)];
}

extern "C" HostBool hostBoolValue(HostId object) {
    // A date, data, an array or a dictionary would raise on boolValue and take the host down.
    if (![(id)object respondsToSelector:@selector(boolValue)]) {
        return 0;
    }
    return [(NSString *)object boolValue] ? 1 : 0;
}

extern "C" HostUInteger hostCount(HostId array) {
    return [(NSArray *)array count];
}

extern "C" HostId hostObjectAtIndexedSubscript(HostId array, HostUInteger index) {
    return (HostId)[(NSArray *)array objectAtIndexedSubscript:index];
}

extern "C" HostClass hostClassFromString(const char *name) {
    return (HostClass)NSClassFromString((NSString *)hostConstantString(name));
}

extern "C" HostId hostProcessInfo(void) {
    static void *processInfoClass;
    return (HostId)[foundationClass("NSProcessInfo", &processInfoClass) processInfo];
}

extern "C" HostId hostProcessInfoOfClass(HostClass cls) {
    return (HostId)[(id)cls processInfo];
}

extern "C" HostId hostProcessName(HostId info) {
    return (HostId)[(NSProcessInfo *)info processName];
}

extern "C" HostId hostProcessArguments(HostId info) {
    return (HostId)[(NSProcessInfo *)info arguments];
}
