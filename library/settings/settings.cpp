#include "library/settings/settings.h"

#include "platform/foundation.h"
#include "platform/sync.h"

namespace {

// Every flag starts true, and no reference is held. No reader sees these: start-up loads the file
// before anything reads a flag, and every load writes all six.
Settings record = {1, 1, 1, 1, 1, 1, nullptr, nullptr, nullptr};

// Guards the swaps of the three references and every reader's retain of a text, so that no
// object is released while another thread is taking its reference to it.
PlatformSpinLock recordLock;

struct FlagKey {
    const char *key;
    PlatformBool Settings::*flag;
};

#define FLAG_KEY(name) {#name, &Settings::name},
const FlagKey flagKeys[] = {BRINDLEWICK_FLAG_KEYS(FLAG_KEY)};
#undef FLAG_KEY
static_assert(sizeof flagKeys / sizeof *flagKeys == flagKeyCount);

// Swaps a newly taken reference into a text member; keeps the old one when the key was absent.
PlatformId replaceText(PlatformId Settings::*text, PlatformId replacement) {
    if (!replacement) {
        return nullptr;
    }
    PlatformId previous = record.*text;
    record.*text = replacement;
    return previous;
}

} // namespace

void loadPrefs() {
    // Read, parse and look up outside the lock: until it is published, the new dictionary is
    // this thread's alone.
    PlatformStrongRef loaded =
        PlatformStrongRef::adopt(platformDictionaryWithContentsOfFile(BRINDLEWICK_PREFERENCE_PATH));

    PlatformBool flags[flagKeyCount];
    for (int i = 0; i < flagKeyCount; ++i) {
        // A null dictionary answers null, so a missing file turns every flag off.
        PlatformId value = platformObjectForKeyedSubscript(loaded.get(), flagKeys[i].key);
        flags[i] = (value && platformBoolValue(value)) ? 1 : 0;
    }
    PlatformStrongRef operatorText(platformObjectForKey(loaded.get(), "customtextEnabled"));
    PlatformStrongRef simText(platformObjectForKey(loaded.get(), "customtext2Enabled"));

    PlatformId releasedPrefs;
    PlatformId releasedOperatorText;
    PlatformId releasedSimText;
    {
        PlatformLockGuard guard(&recordLock);
        releasedPrefs = record.prefs;
        record.prefs = loaded.release();
        for (int i = 0; i < flagKeyCount; ++i) {
            platformStoreFlag(&(record.*flagKeys[i].flag), flags[i]);
        }
        releasedOperatorText = replaceText(&Settings::customtextEnabled, operatorText.release());
        releasedSimText = replaceText(&Settings::customtext2Enabled, simText.release());
    }
    // Deallocation can be slow; it happens after the lock is dropped.
    platformRelease(releasedPrefs);
    platformRelease(releasedOperatorText);
    platformRelease(releasedSimText);
}

void receivedNotification(PlatformNotifyCenter, void *, PlatformId, const void *, PlatformId) {
    loadPrefs();
}

PlatformBool settingsFlag(PlatformBool Settings::*flag) {
    return platformLoadFlag(&(record.*flag));
}

PlatformId copySettingsText(PlatformId Settings::*text) {
    PlatformId copy;
    {
        PlatformLockGuard guard(&recordLock);
        copy = platformRetain(record.*text);
    }
    if (copy && !platformIsString(copy)) {
        platformRelease(copy);
        return nullptr;
    }
    return copy;
}
