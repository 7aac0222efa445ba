// The few Foundation messages the library sends, one function each. Like any message send, each
// answers zero (null, false, 0) when its receiver is null, without effect. A call on an object of
// a kind that has no such method is the host's programming error and fails loudly in the
// backend, except where noted.
#pragma once

#include "host/objects.h"

// What rangeOfString: answers; `location` is hostNotFound when the text does not occur.
struct HostRange {
    HostUInteger location;
    HostUInteger length;
};
// NSNotFound: the largest signed native integer, so it follows the slice's width.
static const HostUInteger hostNotFound = (HostUInteger)__LONG_MAX__;

#ifdef __cplusplus
extern "C" {
#endif

// The platform's constant string for `utf8` (CFSTR): the same object for the same text, never
// released. The platform is asked once per text; later calls answer from what it gave.
HostId hostConstantString(const char *utf8);
// [NSString stringWithUTF8String:]: an autoreleased string, or null when `utf8` is null or is not
// valid UTF-8.
HostId hostStringWithUTF8String(const char *utf8);
// Whether `object` is a string (isKindOfClass: NSString). Null answers false.
HostBool hostIsString(HostId object);
// [text isEqualToString:@literal]: exact equality, letter case included; null text answers false.
HostBool hostStringEquals(HostId text, const char *literal);
// [@literal isEqualToString:text]: the same test with the literal as receiver, so null text is
// simply unequal.
HostBool hostLiteralEquals(const char *literal, HostId text);
// [text rangeOfString:@literal]: case-sensitive substring search.
struct HostRange hostRangeOfString(HostId text, const char *literal);
// [text lastPathComponent] and [text lowercaseString]: autoreleased strings.
HostId hostLastPathComponent(HostId text);
HostId hostLowercaseString(HostId text);

// [[NSDictionary alloc] initWithContentsOfFile:@path]: a dictionary the caller owns, or null when
// the file is absent, unreadable, not a property list, or its root is not a dictionary. `path` is
// a constant, asked of the platform once like every literal here.
HostId hostDictionaryWithContentsOfFile(const char *path);
// [dictionary objectForKeyedSubscript:@key] and [dictionary objectForKey:@key]: the object stored
// under `key`, not retained for the caller, or null. Sent to a null dictionary too, which answers null.
HostId hostObjectForKeyedSubscript(HostId dictionary, const char *key);
HostId hostObjectForKey(HostId dictionary, const char *key);

// [object boolValue], exactly true or false. An object of a kind that has no boolValue (a date,
// data, an array, a dictionary) answers false instead of raising, which would take the host down.
HostBool hostBoolValue(HostId object);

// [array count] and [array objectAtIndexedSubscript:index].
HostUInteger hostCount(HostId array);
HostId hostObjectAtIndexedSubscript(HostId array, HostUInteger index);

// NSClassFromString(@name): the class, or null.
HostClass hostClassFromString(const char *name);
// [NSProcessInfo processInfo] and [cls processInfo]: the shared process-information object, or null.
HostId hostProcessInfo(void);
HostId hostProcessInfoOfClass(HostClass cls);
// [info processName] and [info arguments].
HostId hostProcessName(HostId info);
HostId hostProcessArguments(HostId info);

#ifdef __cplusplus
}
#endif
