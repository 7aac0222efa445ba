// The simulated SpringBoard (springboard/) in GCC's Objective-C runtime, and the sends the
// host makes to its own instances there. Free of Objective-C types, for plain C++ tests.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/objects.h"
#include "springboard/releases.h"

void installSpringBoardOnGnustep(const std::vector<std::string> &withoutClasses = {},
                                 const springboard::Host &host = {});

// A message the host sends to its own instance of `cls`, as a compiled send would.
PlatformImp gnustepMethod(const char *cls, const char *selector);
PlatformId gnustepInstance(const char *cls);
PlatformSel gnustepSelector(const char *selector);
template <typename R = void, typename... A>
R hostSend(const char *cls, const char *selector, A... arguments) {
    return reinterpret_cast<R (*)(PlatformId, PlatformSel, A...)>(gnustepMethod(cls, selector))(
        gnustepInstance(cls), gnustepSelector(selector), arguments...);
}

PlatformId gnustepString(const char *text); // autoreleased
std::optional<std::string> gnustepText(PlatformId object);
void gnustepSetProcessName(const char *name);
