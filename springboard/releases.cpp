#include "springboard/releases.h"

#include <algorithm>

#include "library/overrides/hook_sites.h"
#include "springboard/classes.h"

namespace springboard {
namespace {

// What the public class dumps of Apple's binaries show, release by release. A dump lists what the
// runtime knows; a method missing from it cannot be replaced by selector. Sources, by release:
//   6       pigigaldi/iOS-6-Headers, Bensge/iOS-6-SpringBoard-Headers
//   7       thenameisnigel-old/IOS7-Beta-1-Class-Dumps, MP0w/iOS-Headers,
//           Packetfahrer/iOS-7.1-SpringBoard-Headers (7.1)
//   8       coolstar/iOS-8.3-SpringBoard-Headers, Zob3k/iOS-8.4-Headers-Full
//   9       SnowGirls/iOS-9.2-SpringBoard-Headers, coolstar/iOS-9.3-SpringBoard-Headers (9.3.3)
//   10      CPDigitalDarkroom/iOS-10-Headers, aydenp/iOS-Runtime-Headers (10.2),
//           ichitaso/iOS10.3.3-iphoneheaders
//   11      ichitaso/iOS-11-beta1_SpringBoard-Headers, coolstar/iOS-11.1-SpringBoard-Headers
//   12      viggou/iOS-12.2-SpringBoard-Headers, xybp888/iOS-Header (12.4)
//   13      xybp888/iOS-Header (13.0), harryzjm/iOS-Runtime-Header (13.0),
//           dlevi309/iOS-Runtime-Headers (13.4.1), eziochiu/iOS13.4.1-Runtime-Headers
//   14      harryzjm (14.0), dlevi309 (14.2), akariicafe/Runtime-Headers (14.3)
//   15      donato-fiore/iOS-Runtime-Headers (15.0, 15.6; ktool), akariicafe (15.2), harryzjm (15.0)
//   16-18   donato-fiore (16.0, 16.5), akariicafe (16.4.1, 17.0), MTACS/iOS-17-Runtime-Headers,
//           qingralf/iOS16-Runtime-Headers, qingralf/iOS18-Runtime-Headers,
//           decompiled restores of 18.0 and 18.2 (EthanArbuckle/iPad_10.2_18.0_22A3354_Restore,
//           EthanArbuckle/iPhone17-1_18.2_22C152_Restore)
//   26      EthanArbuckle/iPhone18-3_26.1_23B85_Restore (decompiled)
// The ktool and akariicafe dumps leave out synthesized accessors: a property shown read-write
// there is taken to have its setter.
//
// Where the dumps leave the host's own behaviour open, these are the choices, made once here:
// - Up to 11, CoreTelephony's news reaches `_reallySetOperatorName:`, which then sets the
//   read-write `operatorName` property through `setOperatorName:` (7.1 shows the property; a
//   synthesized setter only stores). Every layer of the library therefore sees every name.
// - On 12 only `_reallySetOperatorName:inSubscriptionContext:` of the setters is there (12.4 also
//   has `_setOperatorName:inSubscriptionContext:`, which no site replaces): the host sends it.
// - On 13 to 15 the provider's `_setOperatorName:inSubscriptionContext:` is the entry and sends
//   the name on to `_reallySetOperatorName:inSubscriptionContext:`, the pair 12.4 shows on the
//   manager, moved to SystemStatusServer.
// - From 16 both are direct methods (26.1's decompilation shows them called as plain functions),
//   which hand the name to the subscription information by message (setOperatorNameDirectly), and
//   the status bar shows the subscription information's name; 17 and the other releases of 16 to
//   26 are taken as the 16, 18 and 26 that show it.
// - From 13 the manager is built from SpringBoard's provider (26.1), so the status bar shows the
//   provider's name; up to 12, the manager's.
// - The SIM-status text comes from the method the release has: the data manager's on 6, the
//   aggregator's on 7 to 12, SystemStatusServer's data provider's on 13 to 15. From 16 the data
//   provider makes what stands in the carrier's place in a direct method, out of messages, and looks
//   every text up with -[NSBundle localizedStringForKey:value:table:] in its telephony table
//   (serviceDescription): seen in the decompiled 18.0, 18.2 and 26.1; 16 and 17 are inferred from
//   them. Of what it asks, the simulator sets the card and the radio: it registers with a ready card
//   and a live radio, searches without a usable card, and is never emergency-only nor on a satellite;
//   which CoreTelephony status is BAD_SIM is not known, and no card here is in it. The radio's state is the
//   manager's on 12 and the provider's from 13, dual SIM the manager's synthesized property on 12 and the
//   status data's from 13. Where a release has no such method, its own code answers as the host's own
//   implementation would.
// - An ordinary app has none of SpringBoard's classes (the manager, the aggregator and its
//   forerunner, and what lives in SpringBoard's SystemStatusServer). From 13 UIKit's status bar
//   links SystemStatus, so an app has the two status-data classes; what SpringBoard changes in its
//   own copies does not follow a decoded copy into the app.
// - Dual SIM came with 12.1; 12.0 is taken as the 12.2 and 12.4 that show its property.
const std::vector<Era> table = {
    {.firstMajor = 6,
     .lastMajor = 6,
     .runtime = {{manager, {sel::setOperatorName, sel::reallySetOperatorName}},
                 {dataManager, {sel::displayStringForSIMStatus}}},
     .setsName = {manager, sel::reallySetOperatorName},
     .passesTo = sel::setOperatorName,
     .shownFrom = manager,
     .simTextFrom = dataManager,
     .seen = "6",
     .inferred = "every 6 release (as 6)"},
    // The aggregator replaces the data manager with 7 beta 1.
    {.firstMajor = 7,
     .lastMajor = 11,
     .runtime = {{manager, {sel::setOperatorName, sel::reallySetOperatorName}},
                 {aggregator, {sel::displayStringForSIMStatus}}},
     .setsName = {manager, sel::reallySetOperatorName},
     .passesTo = sel::setOperatorName,
     .shownFrom = manager,
     .simTextFrom = aggregator,
     .seen = "7 beta 1, 7, 7.1, 8.3, 8.4, 9.2, 9.3.3, 10, 10.2, 10.3.3, 11 beta 1, 11.1",
     .inferred = "7.0.x, 8.0-8.2, 9.0-9.1, 10.1, 11.2-11.4 (as 11.1)"},
    // The plain setters are gone; the radio's state and dual SIM are the manager's properties.
    {.firstMajor = 12,
     .lastMajor = 12,
     .runtime = {{manager,
                  {sel::reallySetOperatorNameInContext, sel::isRadioModuleDead, sel::isDualSIMEnabled,
                   sel::setDualSIMEnabled}},
                 {aggregator, {sel::displayStringForSIMStatus}}},
     .setsName = {manager, sel::reallySetOperatorNameInContext},
     .shownFrom = manager,
     .simTextFrom = aggregator,
     .radioFrom = manager,
     .dualSIMFrom = manager,
     .seen = "12.2, 12.4",
     .inferred = "12.0, 12.1, 12.3, 12.5 (as 12.2 and 12.4)"},
    // Telephony moves to SystemStatusServer's provider; the manager keeps none of the methods.
    {.firstMajor = 13,
     .lastMajor = 14,
     .runtime = {{manager, {}},
                 {aggregator, {}},
                 {provider,
                  {sel::reallySetOperatorNameInContext, sel::setOperatorNameInContext, sel::isRadioModuleDead,
                   sel::setCachedDualSIMEnabled}},
                 {statusData, {sel::otherSIMInfoIfSIMPresent, sel::isDualSIMEnabled}},
                 {mutableStatusData, {sel::setDualSIMEnabled}},
                 {domainDataProvider, {sel::displayStringForSIMStatus}}},
     .setsName = {provider, sel::setOperatorNameInContext},
     .passesTo = sel::reallySetOperatorNameInContext,
     .shownFrom = provider,
     .simTextFrom = domainDataProvider,
     .radioFrom = provider,
     .dualSIMFrom = statusData,
     .seen = "13.0, 13.4.1, 14.0, 14.2, 14.3",
     .inferred = "13.1-13.3 (as 13.0 and 13.4.1)"},
    // `_otherSIMInfoIfSIMPresent:` is renamed `_otherSIMInfo:`.
    {.firstMajor = 15,
     .lastMajor = 15,
     .runtime = {{manager, {}},
                 {aggregator, {}},
                 {provider,
                  {sel::reallySetOperatorNameInContext, sel::setOperatorNameInContext, sel::isRadioModuleDead,
                   sel::setCachedDualSIMEnabled}},
                 {statusData, {sel::isDualSIMEnabled}},
                 {mutableStatusData, {sel::setDualSIMEnabled}},
                 {domainDataProvider, {sel::displayStringForSIMStatus}}},
     .setsName = {provider, sel::setOperatorNameInContext},
     .passesTo = sel::reallySetOperatorNameInContext,
     .shownFrom = provider,
     .simTextFrom = domainDataProvider,
     .radioFrom = provider,
     .dualSIMFrom = statusData,
     .seen = "15.0, 15.2, 15.6",
     .inferred = "15.1, 15.3-15.5, 15.7-15.8 (as 15.0, 15.2 and 15.6)"},
    // The provider's operator-name methods become direct, and send the name on to the
    // subscription information; the cached dual-SIM state is an instance variable only; the data
    // provider keeps only its set-up, observer and invalidate methods.
    {.firstMajor = 16,
     .lastMajor = 26,
     .runtime = {{manager, {}},
                 {aggregator, {}},
                 {provider, {sel::isRadioModuleDead, sel::needsUserIdentificationModule}},
                 {statusData, {sel::isDualSIMEnabled}},
                 {mutableStatusData, {sel::setDualSIMEnabled}},
                 {domainDataProvider, {}},
                 {subscriptionInfo, {sel::operatorName, sel::simStatus}},
                 {mutableSubscriptionInfo, {sel::setOperatorName}}},
     .direct = {{provider, {sel::reallySetOperatorNameInContext, sel::setOperatorNameInContext}}},
     .setsName = {nullptr, nullptr},
     .shownFrom = mutableSubscriptionInfo,
     .radioFrom = provider,
     .dualSIMFrom = statusData,
     .looksUpTexts = true,
     .seen = "16.0, 16.4.1, 16.5, 17.0, 17.0.3, 18, 18.0, 18.2, 26.1; the texts' lookup in 18.0, 18.2, 26.1",
     .inferred =
         "every other 16, 17, 18 and 26 release (as the nearest dumped); the texts' lookup on 16 and 17"},
};

// The full host: the classes and methods of the library's own sites, all at once, answering as
// the design's host does (both telephony classes are told the name, the status bar shows the
// manager's and asks the aggregator, the manager and the status data).
const Era &fullHost() {
    static const Era host = [] {
        Era made{};
        auto add = [&](const char *cls, const char *selector) {
            auto entry = std::find_if(made.runtime.begin(), made.runtime.end(), [&](const ClassMethods &row) {
                return std::string_view(row.cls) == cls;
            });
            if (entry == made.runtime.end()) {
                made.runtime.push_back({cls, {}});
                entry = made.runtime.end() - 1;
            }
            entry->selectors.push_back(selector);
        };
#define FULL_HOST_SITE(group, cls, selector, ...) add(#cls, selector);
        BRINDLEWICK_HOOK_SITES(FULL_HOST_SITE)
#undef FULL_HOST_SITE
        made.shownFrom = manager;
        made.simTextFrom = aggregator;
        made.radioFrom = manager;
        made.dualSIMFrom = statusData;
        return made;
    }();
    return host;
}

bool listed(const std::vector<ClassMethods> &classes, const std::string &cls, const std::string &selector) {
    for (const ClassMethods &entry : classes) {
        if (cls == entry.cls) {
            return std::any_of(entry.selectors.begin(), entry.selectors.end(),
                               [&](const char *name) { return selector == name; });
        }
    }
    return false;
}

} // namespace

const std::vector<Era> &eras() {
    return table;
}

Host hostOf(std::optional<Version> version, bool springBoard) {
    Host host;
    host.version = version;
    host.springBoard = springBoard;
    if (version) {
        for (const Era &era : table) {
            if (version->major >= era.firstMajor && version->major <= era.lastMajor) {
                host.era = &era;
            }
        }
    }
    return host;
}

const Era &Host::shape() const {
    return era ? *era : fullHost();
}

bool Host::hasClass(const std::string &cls) const {
    if (cls == bundle) {
        return true; // the platform's
    }
    if (era && !springBoard && onlyInSpringBoard(cls)) {
        return false;
    }
    const std::vector<ClassMethods> &runtime = shape().runtime;
    return std::any_of(runtime.begin(), runtime.end(),
                       [&](const ClassMethods &entry) { return cls == entry.cls; });
}

bool Host::hasMethod(const std::string &cls, const std::string &selector) const {
    if (cls == bundle) {
        return selector == sel::lookUpText;
    }
    if (!hasClass(cls)) {
        return false;
    }
    const char *superclass = superclassOf(cls);
    return listed(shape().runtime, cls, selector) || (superclass && hasMethod(superclass, selector));
}

bool Host::isDirect(const std::string &cls, const std::string &selector) const {
    return era && hasClass(cls) && listed(era->direct, cls, selector);
}

std::optional<double> Host::coreFoundationVersion() const {
    for (const MajorRelease &line : version ? majorReleases() : std::vector<MajorRelease>{}) {
        if (line.major == version->major) {
            return line.coreFoundation;
        }
    }
    return std::nullopt;
}

std::string Host::name() const {
    return version ? releaseName(*version) : "the full host";
}

} // namespace springboard
