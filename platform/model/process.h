// The process and its device: the identity NSProcessInfo reports and the interfaces getifaddrs
// lists, with the C library calls the library makes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct ifaddrs;

namespace model {

// What NSProcessInfo reports. By default, the real process: its name and its command line.
struct ProcessSetup {
    bool hasProcessInfo = true;
    bool classFindableByName = true;
    std::optional<std::string> processName;
    std::vector<std::string> arguments;
};
void setProcess(const ProcessSetup &setup);

// Where the interface list comes from. Null functions restore the system's getifaddrs.
using InterfaceQuery = int (*)(struct ifaddrs **);
using InterfaceRelease = void (*)(struct ifaddrs *);
void setInterfaceSource(InterfaceQuery query, InterfaceRelease release);
// The device's C library, as the library calls it: getifaddrs and freeifaddrs from that source, in
// this machine's layout; inet_ntoa; sched_yield. All but freeifaddrs record the call in the trace:
// a list is freed by whoever copied it, and the library's own free is recorded where it is made.
int getInterfaces(struct ifaddrs **list);
void freeInterfaces(struct ifaddrs *list);
const char *inetNtoa(uint32_t networkOrderAddress);
void yieldThread();

} // namespace model
