// What the loader and CoreFoundation give the library on a device, for a Linux host on GCC's
// Objective-C runtime and GNUstep base: MSHookMessageEx on the runtime's own calls, and an
// in-process Darwin notify centre delivering on a thread of its own.
#include <objc/runtime.h>

#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/gnustep/test_platform.h"

// Exported by GCC's runtime, though no header declares it.
extern "C" void __objc_update_dispatch_table_for_class(Class cls);

namespace {

std::mutex lock;
std::vector<GnustepHookRecord> hooks;

struct Observer {
    const void *observer;
    GnustepNotificationCallback callback;
    std::string name;
};
std::vector<Observer> observers;
int centre; // its address is the centre's reference

} // namespace

@interface GnustepString
+ (id)stringWithUTF8String:(const char *)text;
+ (id)alloc;
- (id)init;
- (id)initWithUTF8String:(const char *)text;
- (void)release;
- (const char *)UTF8String;
@end

extern "C" void MSHookMessageEx(Class cls, SEL selector, IMP replacement, IMP *previous) {
    std::lock_guard guard(lock);
    Method method = cls ? class_getInstanceMethod(cls, selector) : nullptr;
    hooks.push_back({cls ? class_getName(cls) : "", sel_getName(selector), cls ? (method ? 0 : 2) : 1});
    if (!method) {
        return;
    }
    // Inherited or not, the replacement goes on `cls`; the slot gets what it displaced there.
    *previous = method_getImplementation(method);
    class_replaceMethod(cls, selector, replacement, method_getTypeEncoding(method));
    // GCC's runtime rebuilds the dispatch table of the class it changed but leaves its subclasses'
    // tables with the old implementation; Apple's runtime flushes them all. Rebuild them too.
    __objc_update_dispatch_table_for_class(cls);
}

// CoreFoundation's uniqued constant strings: one per text, never released.
extern "C" id __CFStringMakeConstantString(const char *text) {
    static std::map<std::string, id> *made = new std::map<std::string, id>;
    std::lock_guard guard(lock);
    id &string = (*made)[text];
    if (!string) {
        string = [[(id)objc_getClass("NSString") alloc] initWithUTF8String:text];
    }
    return string;
}

extern "C" void *CFNotificationCenterGetDarwinNotifyCenter(void) {
    return &centre;
}

extern "C" void CFNotificationCenterAddObserver(void *center, const void *observer,
                                                GnustepNotificationCallback callback, id name, const void *,
                                                long) {
    if (center != &centre || !callback || !name) {
        return;
    }
    std::lock_guard guard(lock);
    observers.push_back({observer, callback, [(GnustepString *)name UTF8String]});
}

std::vector<GnustepHookRecord> gnustepHookRecords() {
    std::lock_guard guard(lock);
    return hooks;
}

size_t gnustepObserverCount() {
    std::lock_guard guard(lock);
    return observers.size();
}

void gnustepPostDarwinNotification(const char *name) {
    std::vector<Observer> matching;
    {
        std::lock_guard guard(lock);
        for (const Observer &o : observers) {
            if (o.name == name) {
                matching.push_back(o);
            }
        }
    }
    std::thread delivery([&] {
        // A run loop delivers inside a pool of its own.
        id pool = [[(id)objc_getClass("NSAutoreleasePool") alloc] init];
        id text = [(id)objc_getClass("NSString") stringWithUTF8String:name];
        for (const Observer &o : matching) {
            o.callback(&centre, const_cast<void *>(o.observer), text, nullptr, nullptr);
        }
        [pool release];
    });
    delivery.join();
}
