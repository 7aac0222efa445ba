#include "sim/network.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <cstring>
#include <mutex>

#include "platform/model/model.h"
#include "sim/command_line.h"

namespace sim {
namespace {

// Each entry is one allocation: the ifaddrs, its address and its name.
struct Entry {
    struct ifaddrs header;
    struct sockaddr_storage address;
    char name[64];
};

std::mutex lock;
std::vector<Interface> configured;
bool failing = false;

int query(struct ifaddrs **list) {
    std::lock_guard guard(lock);
    if (failing) {
        return -1;
    }
    *list = makeInterfaceList(configured);
    return 0;
}

} // namespace

Interface parseInterface(const std::string &text) {
    size_t equals = text.find('=');
    Interface interface {
        text.substr(0, equals), equals == std::string::npos ? "" : text.substr(equals + 1)
    };
    unsigned char scratch[sizeof(struct in6_addr)];
    if (interface.name.empty() || interface.name.size() >= sizeof Entry::name) {
        throw InputError("--interface needs a name of 1 to 63 bytes: " + text);
    }
    if (!interface.address.empty() && inet_pton(AF_INET, interface.address.c_str(), scratch) != 1 &&
        inet_pton(AF_INET6, interface.address.c_str(), scratch) != 1) {
        throw InputError("--interface: " + interface.address + " is neither an IPv4 nor an IPv6 address");
    }
    return interface;
}

struct ifaddrs *makeInterfaceList(const std::vector<Interface> &interfaces) {
    struct ifaddrs *head = nullptr;
    struct ifaddrs **tail = &head;
    for (const Interface &interface : interfaces) {
        auto *entry = new Entry{};
        std::strncpy(entry->name, interface.name.c_str(), sizeof entry->name - 1);
        entry->header.ifa_name = entry->name;
        auto *in = reinterpret_cast<sockaddr_in *>(&entry->address);
        auto *in6 = reinterpret_cast<sockaddr_in6 *>(&entry->address);
        if (inet_pton(AF_INET, interface.address.c_str(), &in->sin_addr) == 1) {
            in->sin_family = AF_INET;
            entry->header.ifa_addr = reinterpret_cast<sockaddr *>(in);
        } else if (inet_pton(AF_INET6, interface.address.c_str(), &in6->sin6_addr) == 1) {
            in6->sin6_family = AF_INET6;
            entry->header.ifa_addr = reinterpret_cast<sockaddr *>(in6);
        }
        *tail = &entry->header;
        tail = &entry->header.ifa_next;
    }
    return head;
}

void freeInterfaceList(struct ifaddrs *list) {
    while (list) {
        struct ifaddrs *next = list->ifa_next;
        delete reinterpret_cast<Entry *>(list);
        list = next;
    }
}

void useInterfaces(std::vector<Interface> interfaces, bool fail) {
    {
        std::lock_guard guard(lock);
        configured = std::move(interfaces);
        failing = fail;
    }
    model::setInterfaceSource(&query, &freeInterfaceList);
}

} // namespace sim
