#include "tests/support/library_host.h"

#include <gtest/gtest.h>

#include "library/activation/startup.h"
#include "library/settings/preferences.h"
#include "springboard/model_runtime.h"

void startLibraryHost(const TestDevice &device, HostSetup setup) {
    springboard::installOnModel(setup.withoutClasses);
    model::ProcessSetup process;
    process.processName = setup.processName;
    process.arguments = {setup.executable};
    model::setProcess(process);
    if (setup.writePreferences) {
        device.writePreferences(std::move(setup.preferences));
    }
    startUp();
}

PrefEntries allFlags(bool on) {
    PrefEntries entries;
#define FLAG(key) entries.emplace_back(#key, plist_new_bool(on));
    BRINDLEWICK_FLAG_KEYS(FLAG)
#undef FLAG
    return entries;
}

PlatformId hostReceived(const char *cls, const char *selector, size_t index) {
    auto arguments = springboard::lastArguments(cls, selector);
    if (index >= arguments.size()) {
        ADD_FAILURE() << cls << " " << selector << " received no argument " << index;
        return nullptr;
    }
    return arguments[index].object;
}

plist_t yes() {
    return plist_new_bool(1);
}
plist_t no() {
    return plist_new_bool(0);
}
plist_t text(const char *value) {
    return plist_new_string(value);
}
