#include "tests/support/interfaces.h"

#include <atomic>

#include "host/model/model.h"
#include "sim/network.h"

namespace {

std::vector<sim::Interface> configured;
bool failing = false;
std::atomic<int> released{0};
std::atomic<int> releasedNull{0};

int query(struct ifaddrs **list) {
    if (failing) {
        return -1;
    }
    *list = sim::makeInterfaceList(configured);
    return 0;
}

void release(struct ifaddrs *list) {
    ++released;
    if (!list) {
        ++releasedNull;
    }
    sim::freeInterfaceList(list);
}

} // namespace

void useFakeInterfaces(std::vector<FakeInterface> interfaces, bool fail) {
    configured.clear();
    for (const FakeInterface &fake : interfaces) {
        configured.push_back({fake.name, fake.family == FakeInterface::none ? "" : fake.address});
    }
    failing = fail;
    model::setInterfaceSource(&query, &release);
}

int interfaceListsReleased() {
    return released;
}
int nullInterfaceListsReleased() {
    return releasedNull;
}
