// The interface list, read through the system's own layout of its entries.
#include "host/darwin/declarations.h"

namespace {
struct ifaddrs *entry(HostInterface handle) {
    return (struct ifaddrs *)handle;
}
} // namespace

extern "C" int hostGetInterfaces(HostInterface *list) {
    struct ifaddrs *head = nullptr;
    int result = getifaddrs(&head);
    if (result == 0) {
        *list = (HostInterface)head;
    }
    return result;
}

// Also for a null list, after a failed query: the system's freeifaddrs does nothing with it.
extern "C" void hostFreeInterfaces(HostInterface list) {
    freeifaddrs(entry(list));
}

extern "C" HostInterface hostInterfaceNext(HostInterface handle) {
    return (HostInterface)entry(handle)->ifa_next;
}

extern "C" const char *hostInterfaceName(HostInterface handle) {
    return entry(handle)->ifa_name;
}

extern "C" int hostInterfaceFamily(HostInterface handle) {
    const struct sockaddr *address = entry(handle)->ifa_addr;
    return address ? address->sa_family : -1;
}

extern "C" uint32_t hostInterfaceIPv4Address(HostInterface handle) {
    return ((const struct sockaddr_in_prefix *)entry(handle)->ifa_addr)->sin_addr.s_addr;
}

extern "C" const char *hostInetNtoa(uint32_t networkOrderAddress) {
    struct in_addr address = {networkOrderAddress};
    return inet_ntoa(address);
}
