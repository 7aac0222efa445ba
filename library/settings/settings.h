// The process-wide settings: six flags and two texts, refilled from the preference file.
#pragma once

#include "library/settings/preferences.h"
#include "platform/notify.h"
#include "platform/objects.h"

// How many flags and texts the key lists name: every count of them is this one.
#define BRINDLEWICK_COUNT_KEY(key) +1
enum {
    flagKeyCount = 0 BRINDLEWICK_FLAG_KEYS(BRINDLEWICK_COUNT_KEY),
    textKeyCount = 0 BRINDLEWICK_TEXT_KEYS(BRINDLEWICK_COUNT_KEY)
};
#undef BRINDLEWICK_COUNT_KEY

struct Settings {
    PlatformBool kEnabled;
    PlatformBool k1Enabled;
    PlatformBool k2Enabled;
    PlatformBool k3Enabled;
    PlatformBool k4Enabled;
    PlatformBool k5Enabled;
    PlatformId prefs;
    PlatformId customtextEnabled;  // custom operator name; key name kept although it holds a text
    PlatformId customtext2Enabled; // custom SIM-status text
};

// Refills the settings from the preference file: every flag follows the file (absent: false),
// each text is replaced only when its key is present. Safe on any number of threads at once;
// the file is read and parsed with no lock held.
void loadPrefs();

// The change-notification callback: ignores its arguments and loads once.
void receivedNotification(PlatformNotifyCenter center, void *observer, PlatformId name, const void *object,
                          PlatformId userInfo);

// A flag as the last load left it.
PlatformBool settingsFlag(PlatformBool Settings::*flag);

// A strong reference the caller must release to the text the last load kept under `text`, or
// null when there is none or when it is not a string: the host would send it string messages.
PlatformId copySettingsText(PlatformId Settings::*text);
