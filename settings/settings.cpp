#include "settings/settings.h"

#include "host/foundation.h"
#include "host/sync.h"

namespace {

Settings record = {1, 1, 1, 1, 1, 1, nullptr, nullptr, nullptr};

// Guards the swaps of the three references and every reader's retain of a text, so that no
// object is released while another thread is taking its reference to it.
HostSpinLock recordLock;

struct FlagKey {
    const char *key;
    HostBool Settings::*flag;
};

const FlagKey flagKeys[] = {
    {"kEnabled", &Settings::kEnabled},   {"k1Enabled", &Settings::k1Enabled},
    {"k2Enabled", &Settings::k2Enabled}, {"k3Enabled", &Settings::k3Enabled},
    {"k4Enabled", &Settings::k4Enabled}, {"k5Enabled", &Settings::k5Enabled},
};

// Swaps a newly taken reference into a text member; keeps the old one when the key was absent.
HostId replaceText(HostId Settings::*text, HostId replacement) {
    if (!replacement) {
        return nullptr;
    }
    HostId previous = record.*text;
    record.*text = replacement;
    return previous;
}

} // namespace

void loadPrefs() {
    // Read, parse and look up outside the lock: until it is published, the new dictionary is
    // this thread's alone.
    HostStrongRef loaded =
        HostStrongRef::adopt(hostDictionaryWithContentsOfFile(BRINDLEWICK_PREFERENCE_PATH));

    HostBool flags[6];
    for (int i = 0; i < 6; ++i) {
        // A null dictionary answers null, so a missing file turns every flag off.
        HostId value = hostObjectForKeyedSubscript(loaded.get(), flagKeys[i].key);
        flags[i] = (value && hostBoolValue(value)) ? 1 : 0;
    }
    HostStrongRef operatorText(hostObjectForKey(loaded.get(), "customtextEnabled"));
    HostStrongRef simText(hostObjectForKey(loaded.get(), "customtext2Enabled"));

    HostId releasedPrefs;
    HostId releasedOperatorText;
    HostId releasedSimText;
    {
        HostLockGuard guard(&recordLock);
        releasedPrefs = record.prefs;
        record.prefs = loaded.release();
        for (int i = 0; i < 6; ++i) {
            hostStoreFlag(&(record.*flagKeys[i].flag), flags[i]);
        }
        releasedOperatorText = replaceText(&Settings::customtextEnabled, operatorText.release());
        releasedSimText = replaceText(&Settings::customtext2Enabled, simText.release());
    }
    // Deallocation can be slow; it happens after the lock is dropped.
    hostRelease(releasedPrefs);
    hostRelease(releasedOperatorText);
    hostRelease(releasedSimText);
}

void receivedNotification(HostNotifyCenter, void *, HostId, const void *, HostId) {
    loadPrefs();
}

HostBool settingsFlag(HostBool Settings::*flag) {
    return hostLoadFlag(&(record.*flag));
}

HostId copySettingsText(HostId Settings::*text) {
    HostId copy;
    {
        HostLockGuard guard(&recordLock);
        copy = hostRetain(record.*text);
    }
    if (copy && !hostIsString(copy)) {
        hostRelease(copy);
        return nullptr;
    }
    return copy;
}

const Settings &settingsRecord() {
    return record;
}
