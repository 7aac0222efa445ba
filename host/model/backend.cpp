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

#include "host/interfaces.h"
#include "host/model/foundation_kinds.h"

using namespace model;

namespace {

std::string describe(HostId value) {
    return trace::object(value);
}
std::string describe(HostSel value) {
    return trace::selector(value);
}
std::string describe(HostClass value) {
    return value ? classOf(value)->name() : "nil";
}
std::string describe(const char *value) {
    return trace::quoted(value);
}
std::string describe(HostUInteger value) {
    return std::to_string(value);
}

// A message the library sends: recorded, then dispatched as objc_msgSend would.
template <typename R, typename... A> R librarySend(HostId receiver, const char *name, A... arguments) {
    HostSel sel = selector(name);
    if (trace::enabled()) {
        trace::record(trace::message(receiver, sel, {describe(arguments)...}));
    }
    if (!receiver) {
        return R();
    }
    HostImp imp = object(receiver)->isa()->lookup(sel).imp;
    if (!imp) {
        raiseUnrecognized(receiver, sel);
    }
    return reinterpret_cast<R (*)(HostId, HostSel, A...)>(imp)(receiver, sel, arguments...);
}

// A Foundation class by name, asked of the runtime once, as the Darwin backend asks.
HostId foundationClass(const char *name, std::atomic<HostClass> &cache) {
    HostClass cls = cache.load(std::memory_order_acquire);
    if (!cls) {
        cls = objc_getClass(name);
        cache.store(cls, std::memory_order_release);
    }
    return reinterpret_cast<HostId>(cls);
}

HostId stringClass() {
    static std::atomic<HostClass> cache;
    return foundationClass("NSString", cache);
}

struct ifaddrs *entry(HostInterface handle) {
    return reinterpret_cast<struct ifaddrs *>(handle);
}

} // namespace

extern "C" HostId __CFStringMakeConstantString(const char *utf8) {
    if (trace::enabled()) {
        trace::record(trace::call("__CFStringMakeConstantString", {trace::quoted(utf8)}));
    }
    return String::constant(utf8)->id();
}

// The platform makes each constant once, but asking it costs a call: each text is asked for once.
extern "C" HostId hostConstantString(const char *utf8) {
    static std::mutex lock;
    static auto *made = new std::map<std::string, HostId, std::less<>>;
    std::lock_guard guard(lock);
    auto found = made->find(std::string_view(utf8));
    if (found == made->end()) {
        found = made->emplace(utf8, __CFStringMakeConstantString(utf8)).first;
    }
    return found->second;
}

extern "C" HostId hostRetain(HostId object) {
    return object ? librarySend<HostId>(object, "retain") : nullptr;
}

extern "C" void hostRelease(HostId object) {
    if (object) {
        librarySend<void>(object, "release");
    }
}

extern "C" HostId hostAutorelease(HostId object) {
    return object ? librarySend<HostId>(object, "autorelease") : nullptr;
}

extern "C" void *hostAutoreleasePoolPush(void) {
    static std::atomic<HostClass> poolClass;
    HostId pool = librarySend<HostId>(foundationClass("NSAutoreleasePool", poolClass), "alloc");
    return librarySend<HostId>(pool, "init");
}

extern "C" void hostAutoreleasePoolPop(void *pool) {
    librarySend<void>(static_cast<HostId>(pool), "release");
}

extern "C" void hostYieldThread(void) {
    yieldThread();
}

extern "C" HostId hostStringWithUTF8String(const char *utf8) {
    return utf8 ? librarySend<HostId>(stringClass(), "stringWithUTF8String:", utf8) : nullptr;
}

extern "C" HostBool hostIsString(HostId object) {
    HostClass string = librarySend<HostClass>(stringClass(), "class");
    return librarySend<HostBool>(object, "isKindOfClass:", string) ? 1 : 0;
}

extern "C" HostBool hostStringEquals(HostId text, const char *literal) {
    return librarySend<HostBool>(text, "isEqualToString:", hostConstantString(literal)) ? 1 : 0;
}

extern "C" HostBool hostLiteralEquals(const char *literal, HostId text) {
    return librarySend<HostBool>(hostConstantString(literal), "isEqualToString:", text) ? 1 : 0;
}

extern "C" HostRange hostRangeOfString(HostId text, const char *literal) {
    // Not every runtime zeroes a structure returned from a message to nil.
    if (!text) {
        return HostRange{0, 0};
    }
    return librarySend<HostRange>(text, "rangeOfString:", hostConstantString(literal));
}

extern "C" HostId hostLastPathComponent(HostId text) {
    return librarySend<HostId>(text, "lastPathComponent");
}

extern "C" HostId hostLowercaseString(HostId text) {
    return librarySend<HostId>(text, "lowercaseString");
}

extern "C" HostId hostDictionaryWithContentsOfFile(const char *path) {
    static std::atomic<HostClass> dictionaryClass;
    HostId dictionary = librarySend<HostId>(foundationClass("NSDictionary", dictionaryClass), "alloc");
    return librarySend<HostId>(dictionary, "initWithContentsOfFile:", hostConstantString(path));
}

extern "C" HostId hostObjectForKeyedSubscript(HostId dictionary, const char *key) {
    return librarySend<HostId>(dictionary, "objectForKeyedSubscript:", hostConstantString(key));
}

extern "C" HostId hostObjectForKey(HostId dictionary, const char *key) {
    return librarySend<HostId>(dictionary, "objectForKey:", hostConstantString(key));
}

extern "C" HostBool hostBoolValue(HostId object) {
    // A date, data, an array or a dictionary would raise on boolValue and take the host down.
    if (!librarySend<HostBool>(object, "respondsToSelector:", selector("boolValue"))) {
        return 0;
    }
    return librarySend<HostBool>(object, "boolValue") ? 1 : 0;
}

extern "C" HostUInteger hostCount(HostId array) {
    return librarySend<HostUInteger>(array, "count");
}

extern "C" HostId hostObjectAtIndexedSubscript(HostId array, HostUInteger index) {
    return librarySend<HostId>(array, "objectAtIndexedSubscript:", index);
}

extern "C" HostClass hostClassFromString(const char *name) {
    return NSClassFromString(hostConstantString(name));
}

extern "C" HostId hostProcessInfo(void) {
    static std::atomic<HostClass> processInfoClass;
    return librarySend<HostId>(foundationClass("NSProcessInfo", processInfoClass), "processInfo");
}

extern "C" HostId hostProcessInfoOfClass(HostClass cls) {
    return librarySend<HostId>(reinterpret_cast<HostId>(cls), "processInfo");
}

extern "C" HostId hostProcessName(HostId info) {
    return librarySend<HostId>(info, "processName");
}

extern "C" HostId hostProcessArguments(HostId info) {
    return librarySend<HostId>(info, "arguments");
}

extern "C" int hostGetInterfaces(HostInterface *list) {
    struct ifaddrs *head = nullptr;
    int result = getInterfaces(&head);
    if (result == 0) {
        *list = reinterpret_cast<HostInterface>(head);
    }
    return result;
}

extern "C" void hostFreeInterfaces(HostInterface list) {
    if (trace::enabled()) {
        trace::record(trace::call("freeifaddrs", {list ? "list" : "nil"}));
    }
    freeInterfaces(entry(list));
}

extern "C" HostInterface hostInterfaceNext(HostInterface handle) {
    return reinterpret_cast<HostInterface>(entry(handle)->ifa_next);
}

extern "C" const char *hostInterfaceName(HostInterface handle) {
    return entry(handle)->ifa_name;
}

extern "C" int hostInterfaceFamily(HostInterface handle) {
    const struct sockaddr *address = entry(handle)->ifa_addr;
    return address ? address->sa_family : -1;
}

extern "C" uint32_t hostInterfaceIPv4Address(HostInterface handle) {
    return reinterpret_cast<const struct sockaddr_in *>(entry(handle)->ifa_addr)->sin_addr.s_addr;
}

extern "C" const char *hostInetNtoa(uint32_t networkOrderAddress) {
    return inetNtoa(networkOrderAddress);
}
