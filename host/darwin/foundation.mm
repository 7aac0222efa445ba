// The Foundation messages the library sends. Temporaries are made with alloc/init and released
// here, so nothing depends on a pool being in place on the calling thread.
#include "host/darwin/declarations.h"

namespace {

id classNamed(const char *name) {
    return (id)objc_getClass(name);
}

// A string the caller releases.
NSString *newString(const char *utf8) {
    return [[classNamed("NSString") alloc] initWithUTF8String:utf8];
}

} // namespace

extern "C" HostId hostConstantString(const char *utf8) {
    return (HostId)newString(utf8);
}

extern "C" HostId hostStringWithUTF8String(const char *utf8) {
    return utf8 ? (HostId)[classNamed("NSString") stringWithUTF8String:utf8] : nullptr;
}

extern "C" HostBool hostIsString(HostId object) {
    return [(id)object isKindOfClass:(Class)classNamed("NSString")] ? 1 : 0;
}

extern "C" HostBool hostStringEquals(HostId text, const char *literal) {
    NSString *other = newString(literal);
    BOOL equal = [(NSString *)text isEqualToString:other];
    [other release];
    return equal ? 1 : 0;
}

extern "C" HostRange hostRangeOfString(HostId text, const char *literal) {
    // Not every runtime zeroes a structure returned from a message to nil.
    if (!text) {
        return HostRange{0, 0};
    }
    NSString *other = newString(literal);
    NSRange range = [(NSString *)text rangeOfString:other];
    [other release];
    return range;
}

extern "C" HostId hostLastPathComponent(HostId text) {
    return (HostId)[(NSString *)text lastPathComponent];
}

extern "C" HostId hostLowercaseString(HostId text) {
    return (HostId)[(NSString *)text lowercaseString];
}

extern "C" HostId hostDictionaryWithContentsOfFile(const char *path) {
    NSString *file = newString(path);
    id dictionary = [[classNamed("NSDictionary") alloc] initWithContentsOfFile:file];
    [file release];
    return (HostId)dictionary;
}

namespace {

// Looks `key` up with `lookup`, a send to the dictionary, after making the key a string.
template <typename Lookup> HostId valueForKey(HostId dictionary, const char *key, Lookup lookup) {
    if (!dictionary) {
        return nullptr;
    }
    NSString *name = newString(key);
    id value = lookup((NSDictionary *)dictionary, name);
    [name release];
    return (HostId)value;
}

} // namespace

extern "C" HostId hostObjectForKeyedSubscript(HostId dictionary, const char *key) {
    return valueForKey(dictionary, key,
                       [](NSDictionary *d, NSString *k) { return [d objectForKeyedSubscript:k]; });
}

extern "C" HostId hostObjectForKey(HostId dictionary, const char *key) {
    return valueForKey(dictionary, key, [](NSDictionary *d, NSString *k) { return [d objectForKey:k]; });
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
    NSString *text = newString(name);
    Class found = NSClassFromString(text);
    [text release];
    return (HostClass)found;
}

extern "C" HostId hostProcessInfo(void) {
    return (HostId)[classNamed("NSProcessInfo") processInfo];
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
