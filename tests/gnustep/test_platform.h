// The GNUstep test host's view of its stand-ins for the loader and the notify centre. Free of
// Objective-C types so plain C++ tests can include it beside the library's headers.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

struct GnustepHookRecord {
    std::string className; // empty for a null class
    std::string selector;
    int outcome; // 0 installed, 1 no class, 2 no method
};

typedef void (*GnustepNotificationCallback)(void *center, void *observer, void *name, const void *object,
                                            void *userInfo);

std::vector<GnustepHookRecord> gnustepHookRecords();
size_t gnustepObserverCount();
// Delivers `name` to the observers of it on a thread of the centre's own; returns once delivered.
void gnustepPostDarwinNotification(const char *name);
