// The library's platform calls on the model: the same messages and C calls the Darwin backend
// makes on a device, sent through the model's runtime, so that a trace of either reads the same.
#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/socket.h>

#include <atomic>
#include <map>
#include <mutex>

#include "platform/interfaces.h"
#include "platform/model/foundation_kinds.h"

using namespace model;

namespace {

std::string describe(PlatformId value) {
    return trace::object(value);
}
std::string describe(PlatformSel value) {
    return trace::selector(value);
}
std::string describe(PlatformClass value) {
    return value ? classOf(value)->name() : "nil";
}
std::string describe(const char *value) {
    return quoteText(value);
}
std::string describe(PlatformUInteger value) {
    return std::to_string(value);
}

// A message the library sends: recorded, then dispatched as objc_msgSend would. Each call site
// names its selector once (SELECTOR), as compiled code refers to a selector reference.
#define SELECTOR(name)                                                                                       \
    ([] {                                                                                                    \
        static const PlatformSel named = selector(name);                                                     \
        return named;                                                                                        \
    }())
// A message the platform refuses ends the process on a device, as the library's own crash, which
// says which message it was. It may have come from the library's initializer, which the system's
// loader runs and nothing may unwind through: the crash is raised where the call into the library
// returns (model::rethrowDeferredFailure), and the library meanwhile gets zero.
template <typename R, typename... A> R librarySend(PlatformId receiver, PlatformSel sel, A... arguments) {
    if (trace::enabled()) {
        trace::record(trace::message(receiver, sel, {describe(arguments)...}));
    }
    try {
        return send<R>(receiver, sel, arguments...);
    } catch (const PlatformRefusal &refusal) {
        deferFailure(std::make_exception_ptr(
            LibraryCrash("the platform refused the library's " +
                         trace::message(receiver, sel, {describe(arguments)...}) + ": " + refusal.what())));
        return R();
    }
}

// A Foundation class by name, asked of the runtime once, as the Darwin backend asks.
PlatformId foundationClass(const char *name, std::atomic<PlatformClass> &cache) {
    PlatformClass cls = cache.load(std::memory_order_acquire);
    if (!cls) {
        cls = objc_getClass(name);
        cache.store(cls, std::memory_order_release);
    }
    return reinterpret_cast<PlatformId>(cls);
}

PlatformId stringClass() {
    static std::atomic<PlatformClass> cache;
    return foundationClass("NSString", cache);
}

struct ifaddrs *entry(PlatformInterface handle) {
    return reinterpret_cast<struct ifaddrs *>(handle);
}

} // namespace

extern "C" PlatformId __CFStringMakeConstantString(const char *utf8) {
    if (trace::enabled()) {
        trace::record(trace::call("__CFStringMakeConstantString", {quoteText(utf8)}));
    }
    return String::constant(utf8)->id();
}

// The platform makes each constant once, but asking it costs a call: each text is asked for once.
// As on the device, a literal is found by its address in a direct-mapped table that a hit reads
// without a lock; a miss finds the text by content under the lock.
extern "C" PlatformId platformConstantString(const char *utf8) {
    struct Constant {
        std::atomic<const char *> text; // stored last: a slot, once filled, is never refilled
        PlatformId string;
    };
    static Constant byAddress[64];
    Constant &slot = byAddress[(reinterpret_cast<uintptr_t>(utf8) >> 3) % std::size(byAddress)];
    if (slot.text.load(std::memory_order_acquire) == utf8) {
        return slot.string;
    }
    static std::mutex lock;
    static auto *made = new std::map<std::string, PlatformId, std::less<>>;
    std::lock_guard guard(lock);
    auto found = made->find(std::string_view(utf8));
    if (found == made->end()) {
        found = made->emplace(utf8, __CFStringMakeConstantString(utf8)).first;
    }
    if (!slot.text.load(std::memory_order_relaxed)) {
        slot.string = found->second;
        slot.text.store(utf8, std::memory_order_release);
    }
    return found->second;
}

extern "C" PlatformId platformRetain(PlatformId object) {
    return object ? librarySend<PlatformId>(object, SELECTOR("retain")) : nullptr;
}

extern "C" void platformRelease(PlatformId object) {
    if (object) {
        librarySend<void>(object, SELECTOR("release"));
    }
}

extern "C" PlatformId platformAutorelease(PlatformId object) {
    return object ? librarySend<PlatformId>(object, SELECTOR("autorelease")) : nullptr;
}

extern "C" void *platformAutoreleasePoolPush(void) {
    static std::atomic<PlatformClass> poolClass;
    PlatformId pool =
        librarySend<PlatformId>(foundationClass("NSAutoreleasePool", poolClass), SELECTOR("alloc"));
    return librarySend<PlatformId>(pool, SELECTOR("init"));
}

extern "C" void platformAutoreleasePoolPop(void *pool) {
    librarySend<void>(static_cast<PlatformId>(pool), SELECTOR("release"));
}

extern "C" void platformYieldThread(void) {
    yieldThread();
}

extern "C" PlatformId platformStringWithUTF8String(const char *utf8) {
    return utf8 ? librarySend<PlatformId>(stringClass(), SELECTOR("stringWithUTF8String:"), utf8) : nullptr;
}

extern "C" PlatformBool platformIsString(PlatformId object) {
    PlatformClass string = librarySend<PlatformClass>(stringClass(), SELECTOR("class"));
    return librarySend<PlatformBool>(object, SELECTOR("isKindOfClass:"), string) ? 1 : 0;
}

extern "C" PlatformBool platformStringEquals(PlatformId text, const char *literal) {
    return librarySend<PlatformBool>(text, SELECTOR("isEqualToString:"), platformConstantString(literal)) ? 1
                                                                                                          : 0;
}

extern "C" PlatformBool platformLiteralEquals(const char *literal, PlatformId text) {
    return librarySend<PlatformBool>(platformConstantString(literal), SELECTOR("isEqualToString:"), text) ? 1
                                                                                                          : 0;
}

extern "C" PlatformRange platformRangeOfString(PlatformId text, const char *literal) {
    // Not every runtime zeroes a structure returned from a message to nil.
    if (!text) {
        return PlatformRange{0, 0};
    }
    return librarySend<PlatformRange>(text, SELECTOR("rangeOfString:"), platformConstantString(literal));
}

extern "C" PlatformId platformLastPathComponent(PlatformId text) {
    return librarySend<PlatformId>(text, SELECTOR("lastPathComponent"));
}

extern "C" PlatformId platformLowercaseString(PlatformId text) {
    return librarySend<PlatformId>(text, SELECTOR("lowercaseString"));
}

extern "C" PlatformId platformDictionaryWithContentsOfFile(const char *path) {
    static std::atomic<PlatformClass> dictionaryClass;
    PlatformId dictionary =
        librarySend<PlatformId>(foundationClass("NSDictionary", dictionaryClass), SELECTOR("alloc"));
    return librarySend<PlatformId>(dictionary, SELECTOR("initWithContentsOfFile:"),
                                   platformConstantString(path));
}

extern "C" PlatformId platformObjectForKeyedSubscript(PlatformId dictionary, const char *key) {
    return librarySend<PlatformId>(dictionary, SELECTOR("objectForKeyedSubscript:"),
                                   platformConstantString(key));
}

extern "C" PlatformId platformObjectForKey(PlatformId dictionary, const char *key) {
    return librarySend<PlatformId>(dictionary, SELECTOR("objectForKey:"), platformConstantString(key));
}

extern "C" PlatformBool platformBoolValue(PlatformId object) {
    // A date, data, an array or a dictionary would raise on boolValue and take the host down.
    if (!librarySend<PlatformBool>(object, SELECTOR("respondsToSelector:"), SELECTOR("boolValue"))) {
        return 0;
    }
    return librarySend<PlatformBool>(object, SELECTOR("boolValue")) ? 1 : 0;
}

extern "C" PlatformUInteger platformCount(PlatformId array) {
    return librarySend<PlatformUInteger>(array, SELECTOR("count"));
}

extern "C" PlatformId platformObjectAtIndexedSubscript(PlatformId array, PlatformUInteger index) {
    return librarySend<PlatformId>(array, SELECTOR("objectAtIndexedSubscript:"), index);
}

extern "C" PlatformClass platformClassFromString(const char *name) {
    return NSClassFromString(platformConstantString(name));
}

extern "C" PlatformId platformProcessInfo(void) {
    static std::atomic<PlatformClass> processInfoClass;
    return librarySend<PlatformId>(foundationClass("NSProcessInfo", processInfoClass),
                                   SELECTOR("processInfo"));
}

extern "C" PlatformId platformProcessInfoOfClass(PlatformClass cls) {
    return librarySend<PlatformId>(reinterpret_cast<PlatformId>(cls), SELECTOR("processInfo"));
}

extern "C" PlatformId platformProcessName(PlatformId info) {
    return librarySend<PlatformId>(info, SELECTOR("processName"));
}

extern "C" PlatformId platformProcessArguments(PlatformId info) {
    return librarySend<PlatformId>(info, SELECTOR("arguments"));
}

extern "C" int platformGetInterfaces(PlatformInterface *list) {
    struct ifaddrs *head = nullptr;
    int result = getInterfaces(&head);
    if (result == 0) {
        *list = reinterpret_cast<PlatformInterface>(head);
    }
    return result;
}

extern "C" void platformFreeInterfaces(PlatformInterface list) {
    if (trace::enabled()) {
        trace::record(trace::call("freeifaddrs", {list ? "list" : "nil"}));
    }
    freeInterfaces(entry(list));
}

extern "C" PlatformInterface platformInterfaceNext(PlatformInterface handle) {
    return reinterpret_cast<PlatformInterface>(entry(handle)->ifa_next);
}

extern "C" const char *platformInterfaceName(PlatformInterface handle) {
    return entry(handle)->ifa_name;
}

extern "C" int platformInterfaceFamily(PlatformInterface handle) {
    const struct sockaddr *address = entry(handle)->ifa_addr;
    return address ? address->sa_family : -1;
}

extern "C" uint32_t platformInterfaceIPv4Address(PlatformInterface handle) {
    return reinterpret_cast<const struct sockaddr_in *>(entry(handle)->ifa_addr)->sin_addr.s_addr;
}

extern "C" const char *platformInetNtoa(uint32_t networkOrderAddress) {
    return inetNtoa(networkOrderAddress);
}
