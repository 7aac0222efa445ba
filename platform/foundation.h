// The few Foundation messages the library sends, one function each. Like any message send, each
// answers zero (null, false, 0) when its receiver is null, without effect. A call on an object of
// a kind that has no such method is a programming error and fails loudly, except where noted.
#pragma once

#include "platform/objects.h"

// What rangeOfString: answers; `location` is platformNotFound when the text does not occur.
struct PlatformRange {
    PlatformUInteger location;
    PlatformUInteger length;
};
// NSNotFound: the largest signed native integer, so it follows the slice's width.
static const PlatformUInteger platformNotFound = (PlatformUInteger)__LONG_MAX__;

#ifdef __cplusplus
extern "C" {
#endif

// The platform's constant string for `utf8` (CFSTR): the same object for the same text, never
// released. The platform is asked once per text; later calls answer from what it gave.
PlatformId platformConstantString(const char *utf8);
// [NSString stringWithUTF8String:]: an autoreleased string, or null when `utf8` is null or is not
// valid UTF-8.
PlatformId platformStringWithUTF8String(const char *utf8);
// Whether `object` is a string (isKindOfClass: NSString). Null answers false.
PlatformBool platformIsString(PlatformId object);
// [text isEqualToString:@literal]: exact equality, letter case included; null text answers false.
PlatformBool platformStringEquals(PlatformId text, const char *literal);
// [@literal isEqualToString:text]: the same test with the literal as receiver, so null text is
// simply unequal.
PlatformBool platformLiteralEquals(const char *literal, PlatformId text);
// [text rangeOfString:@literal]: case-sensitive substring search.
struct PlatformRange platformRangeOfString(PlatformId text, const char *literal);
// [text lastPathComponent] and [text lowercaseString]: autoreleased strings.
PlatformId platformLastPathComponent(PlatformId text);
PlatformId platformLowercaseString(PlatformId text);

// [[NSDictionary alloc] initWithContentsOfFile:@path]: a dictionary the caller owns, or null when
// the file is absent, unreadable, not a property list, or its root is not a dictionary. `path` is
// a constant, asked of the platform once like every literal here.
PlatformId platformDictionaryWithContentsOfFile(const char *path);
// [dictionary objectForKeyedSubscript:@key] and [dictionary objectForKey:@key]: the object stored
// under `key`, not retained for the caller, or null. Sent to a null dictionary too, which answers null.
PlatformId platformObjectForKeyedSubscript(PlatformId dictionary, const char *key);
PlatformId platformObjectForKey(PlatformId dictionary, const char *key);

// [object boolValue], exactly true or false. An object of a kind that has no boolValue (a date,
// data, an array, a dictionary) answers false instead of raising, which would take the host down.
PlatformBool platformBoolValue(PlatformId object);

// [array count] and [array objectAtIndexedSubscript:index].
PlatformUInteger platformCount(PlatformId array);
PlatformId platformObjectAtIndexedSubscript(PlatformId array, PlatformUInteger index);

// NSClassFromString(@name): the class, or null.
PlatformClass platformClassFromString(const char *name);
// [NSProcessInfo processInfo] and [cls processInfo]: the shared process-information object, or null.
PlatformId platformProcessInfo(void);
PlatformId platformProcessInfoOfClass(PlatformClass cls);
// [info processName] and [info arguments].
PlatformId platformProcessName(PlatformId info);
PlatformId platformProcessArguments(PlatformId info);

#ifdef __cplusplus
}
#endif
