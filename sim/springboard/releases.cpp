#include "sim/springboard/releases.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#include "sim/springboard/springboard.h"

namespace springboard {
namespace {

constexpr const char *manager = "SBTelephonyManager";
constexpr const char *provider = "STTelephonyStateProvider";
constexpr const char *aggregator = "SBStatusBarStateAggregator";
constexpr const char *statusData = "STTelephonyStatusDomainData";
constexpr const char *mutableStatusData = "STMutableTelephonyStatusDomainData";

// What the public class dumps of Apple's binaries show, release by release. A dump lists what the
// runtime knows; a method missing from it cannot be replaced by selector. Sources, by release:
//   6      pigigaldi/iOS-6-Headers
//   7      thenameisnigel-old/IOS7-Beta-1-Class-Dumps, MP0w/iOS-Headers; 7.1
//   Packetfahrer/iOS-7.1-SpringBoard-Headers 8      coolstar/iOS-8.3-SpringBoard-Headers;
//   Zob3k/iOS-8.4-Headers-Full 9      SnowGirls/iOS-9.2-SpringBoard-Headers;
//   coolstar/iOS-9.3-SpringBoard-Headers (9.3.3) 10     CPDigitalDarkroom/iOS-10-Headers,
//   aydenp/iOS-Runtime-Headers (10.2), ichitaso/iOS10.3.3-iphoneheaders 11
//   ichitaso/iOS-11-beta1_SpringBoard-Headers; coolstar/iOS-11.1-SpringBoard-Headers 12
//   viggou/iOS-12.2-SpringBoard-Headers; xybp888/iOS-Header (12.4) 13     xybp888/iOS-Header (13.0),
//   harryzjm/iOS-Runtime-Header (13.0), dlevi309/iOS-Runtime-Headers (13.4.1) 14     harryzjm (14.0),
//   dlevi309 (14.2), akariicafe/Runtime-Headers (14.3) 15     donato-fiore/iOS-Runtime-Headers (15.0, 15.6,
//   ktool), akariicafe (15.2), harryzjm (15.0) 16-18  donato-fiore (16.0, 16.5), akariicafe (16.4.1, 17.0),
//   MTACS/iOS-17-Runtime-Headers,
//          qingralf/iOS16-Runtime-Headers and iOS18-Runtime-Headers; decompiled restores of 18.0 and
//          18.2 (EthanArbuckle/iPad_10.2_18.0_22A3354_Restore, iPhone17-1_18.2_22C152_Restore)
//   26     EthanArbuckle/iPhone18-3_26.1_23B85_Restore (decompiled)
// The ktool and akariicafe dumps leave out synthesized accessors: a property shown read-write
// there is taken to have its setter.
//
// Where the dumps leave the host's own behaviour open, these are the choices, made once here:
// - Up to 11, CoreTelephony's news reaches `_reallySetOperatorName:`, which then sets the
//   read-write `operatorName` property through `setOperatorName:` (7.1 shows the property; a
//   synthesized setter only stores). Both layers of the library therefore see every name.
// - On 12 only `_reallySetOperatorName:inSubscriptionContext:` of the twelve is there (12.4 also
//   has `_setOperatorName:inSubscriptionContext:`, which no site replaces): the host sends it.
// - On 13 to 15 the provider's `_setOperatorName:inSubscriptionContext:` is the entry and sends
//   the name on to `_reallySetOperatorName:inSubscriptionContext:`, the pair 12.4 shows on the
//   manager, moved to SystemStatusServer.
// - From 16 both are direct methods (26.1's decompilation shows them called as plain
//   functions): the release stores the name without a message, so no replacement sees it.
// - From 13 the manager is built from SpringBoard's provider (26.1), so the status bar shows the
//   provider's name; up to 12, the manager's.
// - The SIM-status text, the radio state and dual SIM are read through the runtime methods the
//   release has (`_displayStringForSIMStatus:`, `isRadioModuleDead` of the manager or else the
//   provider, `isDualSIMEnabled`); where it has none, by code of its own, out of the library's
//   reach, which answers as the host's own implementation would.
// - An ordinary app has none of SpringBoard's classes (SBTelephonyManager,
//   SBStatusBarStateAggregator, and the provider, which lives in SpringBoard's SystemStatusServer).
//   From 13 UIKit's status bar links SystemStatus, so an app has the two status-data classes; what
//   SpringBoard changes in its own copies does not follow a decoded copy into the app.
const std::vector<Era> table = {
    {6,
     6,
     {{manager, {"setOperatorName:", "_reallySetOperatorName:"}}},
     {},
     {manager, "_reallySetOperatorName:"},
     "setOperatorName:",
     manager,
     "6",
     "every 6 release (as 6)"},
    // SBStatusBarStateAggregator arrives with 7 beta 1.
    {7,
     11,
     {{manager, {"setOperatorName:", "_reallySetOperatorName:"}},
      {aggregator, {"_displayStringForSIMStatus:"}}},
     {},
     {manager, "_reallySetOperatorName:"},
     "setOperatorName:",
     manager,
     "7 beta 1, 7, 7.1, 8.3, 8.4, 9.2, 9.3.3, 10, 10.2, 10.3.3, 11 beta 1, 11.1",
     "7.0.x, 8.0-8.2, 9.0-9.1, 10.1, 11.2-11.4 (as 11.1)"},
    // The plain setters are gone; dual SIM (12.1) has no method of the twelve yet.
    {12,
     12,
     {{manager, {"_reallySetOperatorName:inSubscriptionContext:", "isRadioModuleDead"}},
      {aggregator, {"_displayStringForSIMStatus:"}}},
     {},
     {manager, "_reallySetOperatorName:inSubscriptionContext:"},
     nullptr,
     manager,
     "12.2, 12.4",
     "12.0, 12.1, 12.3, 12.5 (as 12.2 and 12.4)"},
    // Telephony moves to SystemStatusServer's provider; the manager keeps none of the twelve.
    {13,
     14,
     {{manager, {}},
      {aggregator, {}},
      {provider,
       {"_reallySetOperatorName:inSubscriptionContext:", "_setOperatorName:inSubscriptionContext:",
        "isRadioModuleDead", "setCachedDualSIMEnabled:"}},
      {statusData, {"_otherSIMInfoIfSIMPresent:", "isDualSIMEnabled"}},
      {mutableStatusData, {"setDualSIMEnabled:"}}},
     {},
     {provider, "_setOperatorName:inSubscriptionContext:"},
     "_reallySetOperatorName:inSubscriptionContext:",
     provider,
     "13.0, 13.4.1, 14.0, 14.2, 14.3",
     "13.1-13.3 (as 13.0 and 13.4.1)"},
    // `_otherSIMInfoIfSIMPresent:` is renamed `_otherSIMInfo:`.
    {15,
     15,
     {{manager, {}},
      {aggregator, {}},
      {provider,
       {"_reallySetOperatorName:inSubscriptionContext:", "_setOperatorName:inSubscriptionContext:",
        "isRadioModuleDead", "setCachedDualSIMEnabled:"}},
      {statusData, {"isDualSIMEnabled"}},
      {mutableStatusData, {"setDualSIMEnabled:"}}},
     {},
     {provider, "_setOperatorName:inSubscriptionContext:"},
     "_reallySetOperatorName:inSubscriptionContext:",
     provider,
     "15.0, 15.2, 15.6",
     "15.1, 15.3-15.5, 15.7-15.8 (as 15.0, 15.2 and 15.6)"},
    // The provider's operator-name methods become direct; the cached dual-SIM state is an
    // instance variable only.
    {16,
     26,
     {{manager, {}},
      {aggregator, {}},
      {provider, {"isRadioModuleDead"}},
      {statusData, {"isDualSIMEnabled"}},
      {mutableStatusData, {"setDualSIMEnabled:"}}},
     {{provider,
       {"_reallySetOperatorName:inSubscriptionContext:", "_setOperatorName:inSubscriptionContext:"}}},
     {nullptr, nullptr},
     nullptr,
     provider,
     "16.0, 16.4.1, 16.5, 17, 17.0, 18, 18.0, 18.2, 26.1",
     "every other 16, 17, 18 and 26 release (as the nearest dumped)"},
};

// kCFCoreFoundationVersionNumber of each release's first version (12 and 16: their betas had
// lower numbers, 1535.12 and 1932.101, which is where the pane's filters put those boundaries).
// 17's is 17.0.3's; 18's and 26's are not known here, and are taken as at least 17's, above every
// boundary the pane draws.
struct CoreFoundation {
    int major;
    double number;
};
constexpr CoreFoundation coreFoundation[] = {
    {6, 793.00},   {7, 847.20},   {8, 1140.10},  {9, 1240.10},  {10, 1348.00}, {11, 1443.00}, {12, 1556.00},
    {13, 1665.15}, {14, 1740.00}, {15, 1854.00}, {16, 1946.10}, {17, 2048.1},  {18, 2048.1},  {26, 2048.1}};

const char *superclassOf(const std::string &cls) {
    return cls == mutableStatusData ? statusData : nullptr;
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

std::optional<int> number(std::string_view text) {
    int value = 0;
    if (text.empty() || text.size() > 3) {
        return std::nullopt;
    }
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

} // namespace

const std::vector<Era> &eras() {
    return table;
}

std::optional<Version> parseRelease(std::string_view text) {
    int parts[3] = {0, 0, 0};
    size_t count = 0;
    for (size_t start = 0; start <= text.size(); ++count) {
        size_t dot = std::min(text.find('.', start), text.size());
        std::optional<int> part = number(text.substr(start, dot - start));
        if (count == 3 || !part) {
            return std::nullopt;
        }
        parts[count] = *part;
        start = dot + 1;
    }
    Version version{parts[0], parts[1], parts[2]};
    bool covered = std::any_of(std::begin(coreFoundation), std::end(coreFoundation),
                               [&](const CoreFoundation &row) { return row.major == version.major; });
    return covered ? std::optional(version) : std::nullopt;
}

std::string releaseName(const Version &version) {
    std::string name = "iOS " + std::to_string(version.major) + "." + std::to_string(version.minor);
    return version.patch ? name + "." + std::to_string(version.patch) : name;
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

std::vector<std::string> Host::classesAbsent() const {
    if (springBoard || !era) {
        return {};
    }
    return {manager, aggregator, provider};
}

bool Host::hasClass(const std::string &cls) const {
    std::vector<std::string> absent = classesAbsent();
    if (std::find(absent.begin(), absent.end(), cls) != absent.end()) {
        return false;
    }
    if (!era) {
        return std::any_of(std::begin(classNames), std::end(classNames),
                           [&](const char *name) { return cls == name; });
    }
    return std::any_of(era->runtime.begin(), era->runtime.end(),
                       [&](const ClassMethods &entry) { return cls == entry.cls; });
}

bool Host::hasMethod(const std::string &cls, const std::string &selector) const {
    if (!hasClass(cls)) {
        return false;
    }
    if (!era) {
        const std::vector<HostMethod> &all = methods();
        return std::any_of(all.begin(), all.end(), [&](const HostMethod &method) {
            return cls == method.cls && selector == method.selector;
        });
    }
    const char *superclass = superclassOf(cls);
    return listed(era->runtime, cls, selector) || (superclass && hasMethod(superclass, selector));
}

bool Host::isDirect(const std::string &cls, const std::string &selector) const {
    return era && hasClass(cls) && listed(era->direct, cls, selector);
}

std::optional<double> Host::coreFoundationVersion() const {
    if (!version) {
        return std::nullopt;
    }
    for (const CoreFoundation &row : coreFoundation) {
        if (row.major == version->major) {
            return row.number;
        }
    }
    return std::nullopt;
}

std::string Host::name() const {
    return version ? releaseName(*version) : "the full host";
}

} // namespace springboard
