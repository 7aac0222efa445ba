// The preference file, its change notification and its keys, defined here once: the library
// compiles them in, and the tools (the packaging, the simulator, the tests) read them from here.
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

// The six flags, in the order a load reads them, and the two texts. Each key is the name of the
// member of Settings that holds its value.
#define BRINDLEWICK_FLAG_KEYS(KEY)                                                                           \
    KEY(kEnabled) KEY(k1Enabled) KEY(k2Enabled) KEY(k3Enabled) KEY(k4Enabled) KEY(k5Enabled)
#define BRINDLEWICK_TEXT_KEYS(KEY) KEY(customtextEnabled) KEY(customtext2Enabled)
