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

// The slot a literal's string is kept in, found by the literal's address.
inline Constant &slotOf(const char *utf8) {
    return byAddress[((unsigned long)utf8 >> 3) % (sizeof byAddress / sizeof byAddress[0])];
}

// Whether the slot holds the string of this very literal: its string is stored before its text.
inline bool holds(const Constant &slot, const char *utf8) {
    return __builtin_expect(__atomic_load_n(&slot.text, __ATOMIC_ACQUIRE) == utf8, 1);
}

// A literal the table has not got at its address: found by content, or asked of the platform.
__attribute__((noinline)) id madeConstant(const char *utf8) {
    Constant &slot = slotOf(utf8);
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
    return string;
}

inline id constant(const char *utf8) {
    Constant &slot = slotOf(utf8);
    return holds(slot, utf8) ? slot.string : madeConstant(utf8);
}

// The first comparison with a literal, which makes its string; apart, so that every later one is a
// lookup and a tail call with no frame of its own.
__attribute__((noinline)) PlatformBool stringEqualsFirstTime(PlatformId text, const char *literal) {
    return [(NSString *)text isEqualToString:(NSString *)constant(literal)] ? 1 : 0;
}

} // namespace

extern "C" PlatformId platformConstantString(const char *utf8) {
    return (PlatformId)constant(utf8);
}

extern "C" PlatformId platformStringWithUTF8String(const char *utf8) {
    return utf8 ? (PlatformId)[stringClass() stringWithUTF8String:utf8] : nullptr;
}

extern "C" PlatformBool platformIsString(PlatformId object) {
    return [(id)object isKindOfClass:[stringClass() class]] ? 1 : 0;
}

// The localized-text lookup's replacement compares on every call a process makes: a literal seen
// before costs a lookup and the message.
extern "C" PlatformBool platformStringEquals(PlatformId text, const char *literal) {
    const Constant &slot = slotOf(literal);
    if (holds(slot, literal)) {
        return [(NSString *)text isEqualToString:(NSString *)slot.string] ? 1 : 0;
    }
    return stringEqualsFirstTime(text, literal);
}

extern "C" PlatformBool platformLiteralEquals(const char *literal, PlatformId text) {
    return [(NSString *)constant(literal) isEqualToString:(NSString *)text] ? 1 : 0;
}

extern "C" PlatformRange platformRangeOfString(PlatformId text, const char *literal) {
    // Not every runtime zeroes a structure returned from a message to nil.
    if (!text) {
        return PlatformRange{0, 0};
    }
    return [(NSString *)text rangeOfString:(NSString *)constant(literal)];
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
    return (PlatformId)[dictionary initWithContentsOfFile:(NSString *)constant(path)];
}

extern "C" PlatformId platformObjectForKeyedSubscript(PlatformId dictionary, const char *key) {
    return (PlatformId)[(NSDictionary *)dictionary objectForKeyedSubscript:(id)constant(key)];
}

extern "C" PlatformId platformObjectForKey(PlatformId dictionary, const char *key) {
    return (PlatformId)[(NSDictionary *)dictionary objectForKey:(id)constant(key)];
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
    return (PlatformClass)NSClassFromString((NSString *)constant(name));
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
