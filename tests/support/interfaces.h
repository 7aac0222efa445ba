// Interface lists of a test's own making, handed to the library in place of the system's.
#pragma once

#include <ifaddrs.h>

#include <string>
#include <vector>

struct FakeInterface {
    std::string name;
    enum Family { none, ipv4, ipv6 } family;
    std::string address; // dotted decimal for ipv4, text for ipv6
};

// Makes the model's getifaddrs answer `interfaces` in this order, or fail when `fail` is set.
void useFakeInterfaces(std::vector<FakeInterface> interfaces, bool fail = false);

// How often the library released a list, and how often it released the null list.
int interfaceListsReleased();
int nullInterfaceListsReleased();
