// A simulated SpringBoard with the library started in it, for tests that run in a fresh process.
#pragma once

#include <string>
#include <vector>

#include "platform/model/model.h"
#include "springboard/springboard.h"
#include "tests/support/preferences.h"

struct HostSetup {
    PrefEntries preferences;      // written before start-up
    bool writePreferences = true; // false: no file at start-up
    std::vector<std::string> withoutClasses;
    std::string processName = "SpringBoard";
    std::string executable = "/System/Library/CoreServices/SpringBoard.app/SpringBoard";
};

// Installs the host classes, sets the process identity, writes the file, then runs start-up.
void startLibraryHost(const TestDevice &device, HostSetup setup);

// Every flag key set to `on`.
PrefEntries allFlags(bool on);

// Sends a message to the host's instance of `cls`, as the host itself would.
template <typename R = void, typename... A> R hostCall(const char *cls, const char *selector, A... args) {
    return model::send<R>(springboard::instance(cls), selector, args...);
}

// The object the host's own implementation last received as argument `index`.
PlatformId hostReceived(const char *cls, const char *selector, size_t index = 0);

// Shorthands for building preference values.
plist_t yes();
plist_t no();
plist_t text(const char *value);
