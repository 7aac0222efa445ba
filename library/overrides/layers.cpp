// The layers each replacement runs, one per kind of change, and the replacements themselves, one
// per row of the site table. A layer reloads the settings (but for dual SIM), decides, and either
// answers by itself or calls the implementation its own site displaced, from its own slot.
#include "library/overrides/replacements.h"
#include "library/settings/settings.h"
#include "platform/foundation.h"

namespace {

// The type of the implementation a layer displaced: the host method's own.
template <typename Result, typename... Arguments>
using Implementation = Result(PlatformId, PlatformSel, Arguments...);

// KENABLE and K1ENABLE: layers on the operator-name setters. Each chooses the name to pass inward
// and hands every other argument on untouched, so the innermost layer that substitutes a name
// decides what the host receives.

// The name the custom-text layer passes inward. It holds its own reference to the custom text
// until the inner call has returned, so a reload on another thread cannot free it meanwhile.
class CustomOperatorName {
  public:
    explicit CustomOperatorName(PlatformId incoming)
        : custom_(PlatformStrongRef::adopt(loadCustomText())), incoming_(incoming) {}
    PlatformId name() const { return custom_.get() ? custom_.get() : incoming_; }

  private:
    static PlatformId loadCustomText() {
        loadPrefs();
        return settingsFlag(&Settings::kEnabled) ? copySettingsText(&Settings::customtextEnabled) : nullptr;
    }
    PlatformStrongRef custom_;
    PlatformId incoming_;
};

template <PlatformImp *Previous, typename... Context>
void customOperatorName(PlatformId self, PlatformSel cmd, PlatformId name, Context... context) {
    CustomOperatorName chosen(name);
    platformTypedImp<Implementation<void, PlatformId, Context...>> (*Previous)(self, cmd, chosen.name(),
                                                                               context...);
}

PlatformId hiddenName(PlatformId incoming) {
    loadPrefs();
    return settingsFlag(&Settings::k1Enabled) ? nullptr : incoming;
}

template <PlatformImp *Previous, typename... Context>
void hiddenOperatorName(PlatformId self, PlatformSel cmd, PlatformId name, Context... context) {
    platformTypedImp<Implementation<void, PlatformId, Context...>> (*Previous)(self, cmd, hiddenName(name),
                                                                               context...);
}

// K4ENABLE: the IPv4 address of the Wi-Fi interface as operator name. It is the outermost layer
// on its methods, installed after the other two, so the hidden name and the custom text inside it
// still win.
PlatformId wifiName(PlatformId incoming) {
    loadPrefs();
    return settingsFlag(&Settings::k4Enabled) ? wifiAddressText() : incoming;
}

template <PlatformImp *Previous, typename... Context>
void wifiOperatorName(PlatformId self, PlatformSel cmd, PlatformId name, Context... context) {
    platformTypedImp<Implementation<void, PlatformId, Context...>> (*Previous)(self, cmd, wifiName(name),
                                                                               context...);
}

// K2ENABLE and K3ENABLE: the SIM-status text and the radio module's state. Each answers by
// itself while its setting is on, and otherwise hands back the host's own answer.

// The custom SIM-status text as a fresh load leaves it, while its flag is on: a reference the
// caller owns, or null.
PlatformId loadCustomSIMText() {
    loadPrefs();
    return settingsFlag(&Settings::k2Enabled) ? copySettingsText(&Settings::customtext2Enabled) : nullptr;
}

template <PlatformImp *Previous>
PlatformId customSIMStatusText(PlatformId self, PlatformSel cmd, PlatformId status) {
    PlatformStrongRef heldStatus(status);
    if (PlatformId text = loadCustomSIMText()) {
        // The very object the settings hold, returned as a getter returns: autoreleased.
        return platformAutorelease(text);
    }
    return platformTypedImp<Implementation<PlatformId, PlatformId>>(*Previous)(self, cmd, heldStatus.get());
}

// From iOS 16 the SIM-status text travels alone only through the localized-text lookup, as one of
// three keys of SystemStatusServer's telephony table. Every other text of the process passes here
// too, so those go straight on: one message, the table's comparison, and nothing read.
bool asksForSIMStatusText(PlatformId key, PlatformId table) {
    return platformStringEquals(table, "SystemStatusServer-Telephony") &&
           (platformStringEquals(key, "NO_SIM") || platformStringEquals(key, "BAD_SIM") ||
            platformStringEquals(key, "LOCKED_SIM"));
}

template <PlatformImp *Previous>
PlatformId localizedSIMStatusText(PlatformId self, PlatformSel cmd, PlatformId key, PlatformId value,
                                  PlatformId table) {
    // The caller holds its three arguments for the call's length, and a load releases only what
    // the settings held: nothing here can free what is passed on.
    if (asksForSIMStatusText(key, table)) {
        if (PlatformId text = loadCustomSIMText()) {
            return platformAutorelease(text);
        }
    }
    return platformTypedImp<Implementation<PlatformId, PlatformId, PlatformId, PlatformId>>(*Previous)(
        self, cmd, key, value, table);
}

bool radioReportedDead() {
    loadPrefs();
    return settingsFlag(&Settings::k3Enabled);
}

template <PlatformImp *Previous> PlatformBool radioModuleDead(PlatformId self, PlatformSel cmd) {
    if (radioReportedDead()) {
        return 1;
    }
    return platformTypedImp<Implementation<PlatformBool>>(*Previous)(self, cmd);
}

// K5ENABLE: dual SIM forced on. Unlike every other group these neither reload nor look at any
// setting: once installed they act until the host process ends. The two getters answer by
// themselves and never read their slots.
template <PlatformImp *Previous> PlatformId sameOtherSIMInfo(PlatformId, PlatformSel, PlatformId info) {
    // The same object that came in, under the getter convention (+0, autoreleased).
    return platformAutorelease(platformRetain(info));
}

template <PlatformImp *Previous> PlatformBool dualSIMReported(PlatformId, PlatformSel) {
    return 1;
}

template <PlatformImp *Previous> void dualSIMStored(PlatformId self, PlatformSel cmd, PlatformBool) {
    platformTypedImp<Implementation<void, PlatformBool>> (*Previous)(self, cmd, 1);
}

} // namespace

#define BRINDLEWICK_DEFINE_SITE(group, cls, selector, replacement, layer, takes, ...)                        \
    PlatformImp previous_##replacement;                                                                      \
    BRINDLEWICK_TAKES_##takes(replacement) {                                                                 \
        return layer<&previous_##replacement>(BRINDLEWICK_PASSES_##takes);                                   \
    }
BRINDLEWICK_HOOK_SITES(BRINDLEWICK_DEFINE_SITE)
BRINDLEWICK_RELEASE_SITES(BRINDLEWICK_DEFINE_SITE)
#undef BRINDLEWICK_DEFINE_SITE
