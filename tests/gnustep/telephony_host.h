// The five host classes as real classes of GCC's Objective-C runtime, defined at run time, with
// implementations that record what they receive; and the sends a host makes to them. Free of
// Objective-C types so the tests stay plain C++.
#pragma once

#include <optional>
#include <string>
#include <vector>

void gsInstallHost(const std::vector<std::string> &withoutClasses = {});

void *gsPoolPush();
void gsPoolPop(void *pool);
void *gsString(const char *text); // autoreleased
void *gsObject();                 // autoreleased, opaque
std::optional<std::string> gsText(void *object);
void gsSetProcessName(const char *name);

// Messages the host sends to its own instance of `cls`.
void gsSetName(const char *cls, const char *selector, void *name);
void gsSetNameInContext(const char *cls, const char *selector, void *name, void *context);
void *gsDisplayString(void *status);
bool gsIsRadioModuleDead(const char *cls);
bool gsIsDualSIMEnabled(const char *cls);
void gsSetTruth(const char *cls, const char *selector, signed char value);
void *gsOtherSIMInfo(void *info);

struct GsReceived {
    long entered = 0;
    std::vector<void *> objects;
    std::vector<int> truths;
};
GsReceived gsReceived(const char *cls, const char *selector);
