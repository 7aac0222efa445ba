// The interface list, read through the system's own layout of its entries.
#include "platform/darwin/declarations.h"

namespace {
struct ifaddrs *entry(PlatformInterface handle) {
    return (struct ifaddrs *)handle;
}
} // namespace

extern "C" int platformGetInterfaces(PlatformInterface *list) {
    struct ifaddrs *head = nullptr;
    int result = getifaddrs(&head);
    if (result == 0) {
        *list = (PlatformInterface)head;
    }
    return result;
}

// Also for a null list, after a failed query: the system's freeifaddrs does nothing with it.
extern "C" void platformFreeInterfaces(PlatformInterface list) {
    freeifaddrs(entry(list));
}

extern "C" PlatformInterface platformInterfaceNext(PlatformInterface handle) {
    return (PlatformInterface)entry(handle)->ifa_next;
}

extern "C" const char *platformInterfaceName(PlatformInterface handle) {
    return entry(handle)->ifa_name;
}

extern "C" int platformInterfaceFamily(PlatformInterface handle) {
    const struct sockaddr *address = entry(handle)->ifa_addr;
    return address ? address->sa_family : -1;
}

extern "C" uint32_t platformInterfaceIPv4Address(PlatformInterface handle) {
    return ((const struct sockaddr_in_prefix *)entry(handle)->ifa_addr)->sin_addr.s_addr;
}

extern "C" const char *platformInetNtoa(uint32_t networkOrderAddress) {
    struct in_addr address = {networkOrderAddress};
    return inet_ntoa(address);
}
