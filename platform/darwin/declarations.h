// The few Foundation classes and system calls the Darwin backend uses, declared here because no
// SDK is at hand: only what is sent or called, with the platform's signatures, so the compiler
// picks the right kind of send on every processor (a structure return on 32-bit ARM included).
// Objective-C++ only; include after the platform/ headers, and never with the SDK's own headers.
#pragma once

#include "platform/foundation.h"
#include "platform/interfaces.h"

typedef PlatformBool BOOL;
typedef PlatformUInteger NSUInteger;
typedef PlatformRange NSRange;

@interface NSObject
+ (id)alloc;
+ (Class)class;
- (id)init;
- (id)retain;
- (oneway void)release;
- (id)autorelease;
- (BOOL)respondsToSelector:(SEL)selector;
- (BOOL)isKindOfClass:(Class)cls;
@end

@interface NSString : NSObject
+ (id)stringWithUTF8String:(const char *)text;
- (id)initWithUTF8String:(const char *)text;
- (BOOL)isEqualToString:(NSString *)other;
- (NSRange)rangeOfString:(NSString *)other;
- (NSString *)lastPathComponent;
- (NSString *)lowercaseString;
- (BOOL)boolValue;
@end

@interface NSArray : NSObject
- (NSUInteger)count;
- (id)objectAtIndexedSubscript:(NSUInteger)index;
@end

@interface NSDictionary : NSObject
- (id)initWithContentsOfFile:(NSString *)path;
- (id)objectForKey:(id)key;
- (id)objectForKeyedSubscript:(id)key;
@end

@interface NSProcessInfo : NSObject
+ (NSProcessInfo *)processInfo;
- (NSString *)processName;
- (NSArray *)arguments;
@end

@interface NSAutoreleasePool : NSObject
@end

extern "C" Class NSClassFromString(NSString *name);

// A Foundation class by name, asked of the runtime once: a race only asks twice for the same answer.
inline id foundationClass(const char *name, void **cache) {
    void *cls = __atomic_load_n(cache, __ATOMIC_ACQUIRE);
    if (!cls) {
        cls = (void *)objc_getClass(name);
        __atomic_store_n(cache, cls, __ATOMIC_RELEASE);
    }
    return (id)cls;
}
// What CFSTR compiles to without compiler-made constant strings: a uniqued string that lives as
// long as the process.
extern "C" NSString *__CFStringMakeConstantString(const char *text);
extern "C" int sched_yield(void);

// The interface list as the system lays it out: the entry is the same on Darwin and Linux up to
// ifa_addr; the socket address has a length byte before its family only on Darwin.
struct ifaddrs {
    struct ifaddrs *ifa_next;
    char *ifa_name;
    unsigned int ifa_flags;
    struct sockaddr *ifa_addr;
};
#if defined(__APPLE__)
struct sockaddr {
    unsigned char sa_len;
    unsigned char sa_family;
};
#else
struct sockaddr {
    unsigned short sa_family;
};
#endif
struct in_addr {
    uint32_t s_addr;
};
// The IPv4 address sits at byte 4 in both layouts: after length and family, or after the
// two-byte family, and then the two-byte port.
struct sockaddr_in_prefix {
    unsigned char header[4];
    struct in_addr sin_addr;
};
extern "C" int getifaddrs(struct ifaddrs **list);
extern "C" void freeifaddrs(struct ifaddrs *list);
extern "C" char *inet_ntoa(struct in_addr address);
