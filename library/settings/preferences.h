// The preference file, its change notification and its keys, defined here once: the library
// compiles them in, and the tools (the device build, the simulator, the tests) read them from here.
#pragma once

#define BRINDLEWICK_IDENTIFIER "com.moxfathom.brindlewick"
#define BRINDLEWICK_CHANGE_NOTIFICATION "com.moxfathom.brindlewick.prefschanged"

// Where the preference file is. /User points to /var/mobile on a device; a rootless jailbreak's
// build names the real place. A test build may name its own.
#define BRINDLEWICK_ROOTFUL_PREFERENCE_PATH "/User/Library/Preferences/com.moxfathom.brindlewick.plist"
#define BRINDLEWICK_ROOTLESS_PREFERENCE_PATH "/var/mobile/Library/Preferences/com.moxfathom.brindlewick.plist"
#ifndef BRINDLEWICK_PREFERENCE_PATH
#ifdef BRINDLEWICK_ROOTLESS
#define BRINDLEWICK_PREFERENCE_PATH BRINDLEWICK_ROOTLESS_PREFERENCE_PATH
#else
#define BRINDLEWICK_PREFERENCE_PATH BRINDLEWICK_ROOTFUL_PREFERENCE_PATH
#endif
#endif

// The features, one row each, in the order of their hook groups: the flag that switches it on, the
// group it gates, the text it shows where it has one of its own (in parentheses; empty where it has
// none), and its name, as Settings and the release table give it. Each key is the name of the member
// of Settings that holds its value; whatever names a key, a group or a feature reads this table. A
// row hands `X`, what its reader gives, through first.
// clang-format off
#define BRINDLEWICK_FEATURES(FEATURE, X) \
    FEATURE(X, kEnabled,  KENABLE,  (customtextEnabled),  "Custom carrier text") \
    FEATURE(X, k1Enabled, K1ENABLE, (),                   "Hide carrier name") \
    FEATURE(X, k2Enabled, K2ENABLE, (customtext2Enabled), "Custom SIM text") \
    FEATURE(X, k3Enabled, K3ENABLE, (),                   "Radio reported dead") \
    FEATURE(X, k4Enabled, K4ENABLE, (),                   "Show Wi-Fi address") \
    FEATURE(X, k5Enabled, K5ENABLE, (),                   "Force dual SIM")
// clang-format on

// The six flags, in the order a load reads them, and the two texts, each as KEY(name).
#define BRINDLEWICK_FLAG_KEYS(KEY) BRINDLEWICK_FEATURES(BRINDLEWICK_FLAG_OF, KEY)
#define BRINDLEWICK_TEXT_KEYS(KEY) BRINDLEWICK_FEATURES(BRINDLEWICK_TEXT_OF, KEY)
#define BRINDLEWICK_FLAG_OF(KEY, flag, group, text, name) KEY(flag)
#define BRINDLEWICK_TEXT_OF(KEY, flag, group, text, name) BRINDLEWICK_TEXT_IF(KEY, BRINDLEWICK_UNWRAP text)
#define BRINDLEWICK_UNWRAP(...) __VA_ARGS__
#define BRINDLEWICK_TEXT_IF(KEY, ...) __VA_OPT__(KEY(__VA_ARGS__))
