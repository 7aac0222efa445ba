// CoreFoundation's notify centre and constant strings, the C library's interface list, and the
// unwinder, as a slice imports them.
#include <ifaddrs.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstring>
#include <memory>
#include <set>

#include "emulator/bridge/bridge.h"
#include "emulator/bridge/libraries.h"
#include "platform/model/model.h"
#include "platform/notify.h"

namespace emulator {
namespace {

// Socket-address families as the device numbers them, where they differ from this machine's.
constexpr uint8_t deviceIPv6 = 30;
constexpr uint8_t deviceLink = 18;

// The interface list in the device's layout: each entry (next, name, flags, address, netmask,
// destination, data: six pointers and the flags word, padded to a pointer on 64-bit), its name,
// and its address with a length byte before the family, all in one block that freeifaddrs gives
// back whole.
uint64_t copyInterfaces(Bridge &bridge, const struct ifaddrs *list) {
    Processor &processor = bridge.processor();
    const Abi &abi = processor.abi();
    uint64_t entrySize = abi.interfaceEntrySize();
    uint64_t size = 0;
    for (const struct ifaddrs *at = list; at; at = at->ifa_next) {
        size += entrySize + 32 + std::strlen(at->ifa_name) + 1;
        size = (size + 7) & ~uint64_t(7);
    }
    if (!size) {
        return 0;
    }
    uint64_t block = bridge.heap().allocate(size);
    uint64_t cursor = block;
    uint64_t previous = 0;
    for (const struct ifaddrs *at = list; at; at = at->ifa_next) {
        uint64_t entry = cursor;
        uint64_t address = entry + entrySize;
        uint64_t name = address + 32;
        size_t nameLength = std::strlen(at->ifa_name) + 1;
        cursor = (name + nameLength + 7) & ~uint64_t(7);
        processor.write(name, at->ifa_name, nameLength);
        processor.writePointer(entry + abi.interfaceField(Abi::name), name);
        uint32_t flags = at->ifa_flags;
        processor.write(entry + abi.interfaceField(Abi::flags), &flags, 4);
        uint64_t addressField = entry + abi.interfaceField(Abi::address);
        if (const struct sockaddr *source = at->ifa_addr) {
            unsigned char device[32] = {};
            if (source->sa_family == AF_INET) {
                device[0] = 16;
                device[1] = AF_INET;
                std::memcpy(device + 2, source->sa_data, 14); // port, then the address at byte 4
            } else {
                device[0] = 16;
                device[1] = source->sa_family == AF_INET6    ? deviceIPv6
                            : source->sa_family == AF_PACKET ? deviceLink
                                                             : static_cast<uint8_t>(source->sa_family);
            }
            processor.write(address, device, sizeof device);
            processor.writePointer(addressField, address);
        }
        if (previous) {
            processor.writePointer(previous + abi.interfaceField(Abi::next), entry);
        }
        previous = entry;
    }
    return block;
}

[[noreturn]] void unwinding(const char *what) {
    throw Limit(std::string(what) + ": a C++ exception unwound through the library's code, which the "
                                    "emulator does not follow");
}

} // namespace

void addSystemImports(Bridge &bridge) {
    Processor &processor = bridge.processor();
    Handles &handles = bridge.handles();

    bridge.addFunction("_CFNotificationCenterGetDarwinNotifyCenter", {coreFoundation}, [&](TrapContext &c) {
        c.setResult(handles.emulated(CFNotificationCenterGetDarwinNotifyCenter(), Handles::Kind::opaque));
    });
    bridge.addFunction("_CFNotificationCenterAddObserver", {coreFoundation}, [&](TrapContext &c) {
        // The callback runs on the centre's delivery thread, in the emulator like any entry.
        auto callback =
            reinterpret_cast<PlatformNotificationCallback>(bridge.nativeCallable(c.argument(2), "v@^@^@"));
        int64_t behaviour = processor.abi().signedInteger(c.argument(5));
        CFNotificationCenterAddObserver(
            handles.native<PlatformNotifyCenterOpaque>(c.argument(0), Handles::Kind::opaque),
            reinterpret_cast<const void *>(c.argument(1)), callback,
            handles.native<PlatformObjectOpaque>(c.argument(3)),
            reinterpret_cast<const void *>(c.argument(4)), behaviour);
    });
    bridge.addFunction("___CFStringMakeConstantString", {coreFoundation}, [&](TrapContext &c) {
        c.setResult(
            handles.emulated(__CFStringMakeConstantString(processor.readCString(c.argument(0)).c_str())));
    });

    auto lists = std::make_shared<std::set<uint64_t>>(); // the lists handed out and not yet freed
    bridge.addFunction("_getifaddrs", {libSystem}, [&, lists](TrapContext &c) {
        struct ifaddrs *native = nullptr;
        int result = model::getInterfaces(&native);
        if (result == 0) {
            uint64_t head = copyInterfaces(bridge, native);
            model::freeInterfaces(native);
            if (head) {
                lists->insert(head);
            }
            processor.writePointer(c.argument(0), head);
        }
        c.setResult(static_cast<uint64_t>(static_cast<int64_t>(result)));
    });
    bridge.addFunction("_freeifaddrs", {libSystem}, [&, lists](TrapContext &c) {
        uint64_t list = c.argument(0);
        if (model::trace::enabled()) {
            model::trace::record(model::trace::call("freeifaddrs", {list ? "list" : "nil"}));
        }
        if (list) {
            if (!lists->erase(list)) {
                throw Fault("freeifaddrs was handed a list getifaddrs never made");
            }
            bridge.heap().free(list);
        }
    });
    auto text = std::make_shared<uint64_t>(0); // inet_ntoa's buffer, which each call overwrites
    bridge.addFunction("_inet_ntoa", {libSystem}, [&, text](TrapContext &c) {
        if (!*text) {
            *text = bridge.heap().allocate(16);
        }
        const char *dotted = model::inetNtoa(static_cast<uint32_t>(c.argument(0)));
        processor.write(*text, dotted, std::strlen(dotted) + 1);
        c.setResult(*text);
    });
    bridge.addFunction("_sched_yield", {libSystem}, [](TrapContext &c) {
        model::yieldThread();
        c.setResult(0);
    });

    bridge.addFunction("dyld_stub_binder", {libSystem},
                       [](TrapContext &) { throw Fault("a lazy pointer was left unbound by the loader"); });
    bridge.addFunction("__Unwind_Resume", {libSystem}, [](TrapContext &) { unwinding("_Unwind_Resume"); });
    bridge.addFunction("___cxa_begin_catch", {libcxx}, [](TrapContext &) { unwinding("__cxa_begin_catch"); });
    bridge.addFunction("__ZSt9terminatev", {libcxx}, [](TrapContext &) { unwinding("std::terminate"); });
    bridge.addFunction("___gxx_personality_v0", {libcxx},
                       [](TrapContext &) { unwinding("__gxx_personality_v0"); });
}

} // namespace emulator
