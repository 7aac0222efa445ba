// The Foundation messages the library sends. Each literal becomes a constant string once and each
// Foundation class is looked up once, so a call costs its messages and little else.
#include "platform/darwin/declarations.h"
#include "platform/sync.h"

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
PlatformSpinLock madeLock;

} // namespace

extern "C" PlatformId platformConstantString(const char *utf8) {
    Constant &slot = byAddress[((unsigned long)utf8 >> 3) % (sizeof byAddress / sizeof byAddress[0])];
    if (__atomic_load_n(&slot.text, __ATOMIC_ACQUIRE) == utf8) {
        return (PlatformId)slot.string;
    }
    PlatformLockGuard guard(&madeLock);
    id string = nullptr;
    for (unsigned i = 0; i < madeCount && !string; ++i) {
        string = platformSameText(made[i].text, utf8) ? made[i].string : nullptr;
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
    return (PlatformId)string;
}

extern "C" PlatformId platformStringWithUTF8String(const char *utf8) {
    return utf8 ? (PlatformId)[stringClass() stringWithUTF8String:utf8] : nullptr;
}

extern "C" PlatformBool platformIsString(PlatformId object) {
    return [(id)object isKindOfClass:[stringClass() class]] ? 1 : 0;
}

extern "C" PlatformBool platformStringEquals(PlatformId text, const char *literal) {
    return [(NSString *)text isEqualToString:(NSString *)platformConstantString(literal)] ? 1 : 0;
}

extern "C" PlatformBool platformLiteralEquals(const char *literal, PlatformId text) {
    return [(NSString *)platformConstantString(literal) isEqualToString:(NSString *)text] ? 1 : 0;
}

extern "C" PlatformRange platformRangeOfString(PlatformId text, const char *literal) {
    // Not every runtime zeroes a structure returned from a message to nil.
    if (!text) {
        return PlatformRange{0, 0};
    }
    return [(NSString *)text rangeOfString:(NSString *)platformConstantString(literal)];
}

extern "C" PlatformId platformLastPathComponent(PlatformId text) {
    return (PlatformId)[(NSString *)text lastPathComponent];
}

extern "C" PlatformId platformLowercaseString(PlatformId text) {
    return (PlatformId)[(NSString *)text lowercaseString];
}

extern "C" PlatformId platformDictionaryWithContentsOfFile(const char *path) {
    static void *dictionaryClass;
    id dictionary = [foundationClass("NSDictionary", &dictionaryClass) alloc];
    return (PlatformId)[dictionary initWithContentsOfFile:(NSString *)platformConstantString(path)];
}

extern "C" PlatformId platformObjectForKeyedSubscript(PlatformId dictionary, const char *key) {
    return (PlatformId)[(NSDictionary *)dictionary objectForKeyedSubscript:(id)platformConstantString(key)];
}

extern "C" PlatformId platformObjectForKey(PlatformId dictionary, const char *key) {
    return (PlatformId)[(NSDictionary *)dictionary objectForKey:(id)platformConstantString(key)];
}

extern "C" PlatformBool platformBoolValue(PlatformId object) {
    // A date, data, an array or a dictionary would raise on boolValue and take the host down.
    if (![(id)object respondsToSelector:@selector(boolValue)]) {
        return 0;
    }
    return [(NSString *)object boolValue] ? 1 : 0;
}

extern "C" PlatformUInteger platformCount(PlatformId array) {
    return [(NSArray *)array count];
}

extern "C" PlatformId platformObjectAtIndexedSubscript(PlatformId array, PlatformUInteger index) {
    return (PlatformId)[(NSArray *)array objectAtIndexedSubscript:index];
}

extern "C" PlatformClass platformClassFromString(const char *name) {
    return (PlatformClass)NSClassFromString((NSString *)platformConstantString(name));
}

extern "C" PlatformId platformProcessInfo(void) {
    static void *processInfoClass;
    return (PlatformId)[foundationClass("NSProcessInfo", &processInfoClass) processInfo];
}

extern "C" PlatformId platformProcessInfoOfClass(PlatformClass cls) {
    return (PlatformId)[(id)cls processInfo];
}

extern "C" PlatformId platformProcessName(PlatformId info) {
    return (PlatformId)[(NSProcessInfo *)info processName];
}

extern "C" PlatformId platformProcessArguments(PlatformId info) {
    return (PlatformId)[(NSProcessInfo *)info arguments];
}
