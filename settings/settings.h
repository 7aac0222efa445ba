// The process-wide settings: six flags and two texts, refilled from the preference file.
#pragma once

#include "host/notify.h"
#include "host/objects.h"

// A build for another file-system layout (a rootless jailbreak, a test host) names its own path.
#ifndef BRINDLEWICK_PREFERENCE_PATH
#define BRINDLEWICK_PREFERENCE_PATH "/User/Library/Preferences/com.moxfathom.brindlewick.plist"
#endif
#define BRINDLEWICK_CHANGE_NOTIFICATION "com.moxfathom.brindlewick.prefschanged"

struct Settings {
    HostBool kEnabled;
    HostBool k1Enabled;
    HostBool k2Enabled;
    HostBool k3Enabled;
    HostBool k4Enabled;
    HostBool k5Enabled;
    HostId prefs;
    HostId customtextEnabled;  // custom operator name; key name kept although it holds a text
    HostId customtext2Enabled; // custom SIM-status text
};

// Refills the settings from the preference file: every flag follows the file (absent: false),
// each text is replaced only when its key is present. Safe on any number of threads at once;
// the file is read and parsed with no lock held.
void loadPrefs();

// The change-notification callback: ignores its arguments and loads once.
void receivedNotification(HostNotifyCenter center, void *observer, HostId name, const void *object,
                          HostId userInfo);

// A flag as the last load left it.
HostBool settingsFlag(HostBool Settings::*flag);

// A strong reference the caller must release to the text the last load kept under `text`, or
// null when there is none or when it is not a string: the host would send it string messages.
HostId copySettingsText(HostId Settings::*text);

// The record itself, for inspection where no load can run at the same time.
const Settings &settingsRecord();
