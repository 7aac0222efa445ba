// The simulated device's network interfaces, when they are not this machine's: a list given
// entry by entry (a name, and an IPv4 or IPv6 address or none), or a query that fails.
#pragma once

#include <ifaddrs.h>

#include <string>
#include <vector>

namespace sim {

struct Interface {
    std::string name;
    std::string address; // dotted decimal, IPv6 text, or empty for an entry without an address
};

// NAME or NAME=ADDRESS, as --interface takes it. Throws InputError for an address of neither family.
Interface parseInterface(const std::string &text);

// A list in this machine's layout, in the given order; freeInterfaceList gives it back.
struct ifaddrs *makeInterfaceList(const std::vector<Interface> &interfaces);
void freeInterfaceList(struct ifaddrs *list);

// Makes the device's getifaddrs answer `interfaces`, or fail when `fail` is set.
void useInterfaces(std::vector<Interface> interfaces, bool fail);

} // namespace sim
