#include "tests/support/interfaces.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <stdexcept>

#include "host/model/model.h"

namespace {

struct Storage {
    std::vector<FakeInterface> interfaces;
    bool fail = false;
};
Storage storage;
std::atomic<int> released{0};
std::atomic<int> releasedNull{0};

// Each entry is one allocation: the ifaddrs, its address and its name, freed by fakeRelease.
struct Entry {
    struct ifaddrs header;
    struct sockaddr_storage address;
    char name[64];
};

int fakeQuery(struct ifaddrs **list) {
    if (storage.fail) {
        return -1;
    }
    struct ifaddrs *head = nullptr;
    struct ifaddrs **tail = &head;
    for (const FakeInterface &fake : storage.interfaces) {
        auto *entry = new Entry{};
        std::strncpy(entry->name, fake.name.c_str(), sizeof entry->name - 1);
        entry->header.ifa_name = entry->name;
        if (fake.family == FakeInterface::ipv4) {
            auto *in = reinterpret_cast<sockaddr_in *>(&entry->address);
            in->sin_family = AF_INET;
            if (inet_pton(AF_INET, fake.address.c_str(), &in->sin_addr) != 1) {
                throw std::invalid_argument(fake.address);
            }
            entry->header.ifa_addr = reinterpret_cast<sockaddr *>(in);
        } else if (fake.family == FakeInterface::ipv6) {
            auto *in6 = reinterpret_cast<sockaddr_in6 *>(&entry->address);
            in6->sin6_family = AF_INET6;
            if (inet_pton(AF_INET6, fake.address.c_str(), &in6->sin6_addr) != 1) {
                throw std::invalid_argument(fake.address);
            }
            entry->header.ifa_addr = reinterpret_cast<sockaddr *>(in6);
        }
        *tail = &entry->header;
        tail = &entry->header.ifa_next;
    }
    *list = head;
    return 0;
}

void fakeRelease(struct ifaddrs *list) {
    ++released;
    if (!list) {
        ++releasedNull;
    }
    while (list) {
        struct ifaddrs *next = list->ifa_next;
        delete reinterpret_cast<Entry *>(list);
        list = next;
    }
}

} // namespace

void useFakeInterfaces(std::vector<FakeInterface> interfaces, bool fail) {
    storage.interfaces = std::move(interfaces);
    storage.fail = fail;
    model::setInterfaceSource(&fakeQuery, &fakeRelease);
}

int interfaceListsReleased() {
    return released;
}
int nullInterfaceListsReleased() {
    return releasedNull;
}
