#include "tests/gnustep/telephony_host.h"

#include <objc/message.h>
#include <objc/runtime.h>

#include <map>
#include <mutex>

@interface GsObject
+ (id)alloc;
+ (id)stringWithUTF8String:(const char *)text;
- (id)init;
- (id)autorelease;
- (void)release;
- (const char *)UTF8String;
- (BOOL)isKindOfClass:(Class)cls;
- (void)setProcessName:(id)name;
+ (id)processInfo;
@end

namespace {

std::mutex lock;
std::map<std::pair<std::string, std::string>, GsReceived> log;
std::map<std::string, id> instances;
id hostSimInfo;

void enter(id self, SEL cmd, std::vector<void *> objects, std::vector<int> truths, const char *implementer) {
    std::lock_guard guard(lock);
    GsReceived &received = log[{implementer, sel_getName(cmd)}];
    ++received.entered;
    received.objects = std::move(objects);
    received.truths = std::move(truths);
    (void)self;
}

template <const char *Name> void nameSetter(id self, SEL cmd, id name) {
    enter(self, cmd, {name}, {}, Name);
}
template <const char *Name> void nameInContextSetter(id self, SEL cmd, id name, id context) {
    enter(self, cmd, {name, context}, {}, Name);
}
template <const char *Name> BOOL radioModuleDead(id self, SEL cmd) {
    enter(self, cmd, {}, {}, Name);
    return NO;
}
template <const char *Name> void truthSetter(id self, SEL cmd, BOOL value) {
    enter(self, cmd, {}, {value}, Name);
}

constexpr char manager[] = "SBTelephonyManager";
constexpr char provider[] = "STTelephonyStateProvider";
constexpr char aggregator[] = "SBStatusBarStateAggregator";
constexpr char statusData[] = "STTelephonyStatusDomainData";
constexpr char mutableData[] = "STMutableTelephonyStatusDomainData";

id displayString(id self, SEL cmd, id status) {
    enter(self, cmd, {status}, {}, aggregator);
    return [(id)objc_getClass("NSString") stringWithUTF8String:"SIM host"];
}
BOOL dualSIMEnabled(id self, SEL cmd) {
    enter(self, cmd, {}, {}, statusData);
    return NO;
}
id otherSIMInfo(id self, SEL cmd, id info) {
    enter(self, cmd, {info}, {}, statusData);
    return hostSimInfo;
}

Class define(const char *name, const char *superclass, const std::vector<std::string> &without) {
    for (const std::string &skip : without) {
        if (skip == name) {
            return nullptr;
        }
    }
    Class cls = objc_allocateClassPair((Class)objc_getClass(superclass), name, 0);
    return cls;
}

void finish(Class cls) {
    objc_registerClassPair(cls);
    instances[class_getName(cls)] = [[(id)cls alloc] init];
}

id instance(const char *cls) {
    std::lock_guard guard(lock);
    return instances.at(cls);
}

} // namespace

void gsInstallHost(const std::vector<std::string> &without) {
    hostSimInfo = [[(id)objc_getClass("NSObject") alloc] init];
    if (Class cls = define(manager, "NSObject", without)) {
        class_addMethod(cls, sel_registerName("setOperatorName:"), (IMP)&nameSetter<manager>, "v@:@");
        class_addMethod(cls, sel_registerName("_reallySetOperatorName:"), (IMP)&nameSetter<manager>, "v@:@");
        class_addMethod(cls, sel_registerName("_reallySetOperatorName:inSubscriptionContext:"),
                        (IMP)&nameInContextSetter<manager>, "v@:@@");
        class_addMethod(cls, sel_registerName("isRadioModuleDead"), (IMP)&radioModuleDead<manager>, "C@:");
        finish(cls);
    }
    if (Class cls = define(provider, "NSObject", without)) {
        class_addMethod(cls, sel_registerName("_reallySetOperatorName:inSubscriptionContext:"),
                        (IMP)&nameInContextSetter<provider>, "v@:@@");
        class_addMethod(cls, sel_registerName("_setOperatorName:inSubscriptionContext:"),
                        (IMP)&nameInContextSetter<provider>, "v@:@@");
        class_addMethod(cls, sel_registerName("isRadioModuleDead"), (IMP)&radioModuleDead<provider>, "C@:");
        class_addMethod(cls, sel_registerName("setCachedDualSIMEnabled:"), (IMP)&truthSetter<provider>,
                        "v@:C");
        finish(cls);
    }
    if (Class cls = define(aggregator, "NSObject", without)) {
        class_addMethod(cls, sel_registerName("_displayStringForSIMStatus:"), (IMP)&displayString, "@@:@");
        finish(cls);
    }
    Class base = define(statusData, "NSObject", without);
    if (base) {
        class_addMethod(base, sel_registerName("_otherSIMInfoIfSIMPresent:"), (IMP)&otherSIMInfo, "@@:@");
        class_addMethod(base, sel_registerName("isDualSIMEnabled"), (IMP)&dualSIMEnabled, "C@:");
        finish(base);
    }
    if (Class cls = define(mutableData, base ? statusData : "NSObject", without)) {
        class_addMethod(cls, sel_registerName("setDualSIMEnabled:"), (IMP)&truthSetter<mutableData>, "v@:C");
        finish(cls);
    }
}

void *gsPoolPush() {
    return [[(id)objc_getClass("NSAutoreleasePool") alloc] init];
}
void gsPoolPop(void *pool) {
    [(id)pool release];
}
void *gsString(const char *text) {
    return [(id)objc_getClass("NSString") stringWithUTF8String:text];
}
void *gsObject() {
    return [[[(id)objc_getClass("NSObject") alloc] init] autorelease];
}

std::optional<std::string> gsText(void *object) {
    if (!object || ![(id)object isKindOfClass:(Class)objc_getClass("NSString")]) {
        return std::nullopt;
    }
    return std::string([(id)object UTF8String]);
}

void gsSetProcessName(const char *name) {
    [[(id)objc_getClass("NSProcessInfo") processInfo] setProcessName:(id)gsString(name)];
}

void gsSetName(const char *cls, const char *selector, void *name) {
    // The one-argument setters share a signature; send by selector as a compiled call would.
    typedef void Setter(id, SEL, id);
    SEL sel = sel_registerName(selector);
    ((Setter *)objc_msg_lookup(instance(cls), sel))(instance(cls), sel, (id)name);
}

void gsSetNameInContext(const char *cls, const char *selector, void *name, void *context) {
    typedef void Setter(id, SEL, id, id);
    SEL sel = sel_registerName(selector);
    ((Setter *)objc_msg_lookup(instance(cls), sel))(instance(cls), sel, (id)name, (id)context);
}

void *gsDisplayString(void *status) {
    typedef id Getter(id, SEL, id);
    SEL sel = sel_registerName("_displayStringForSIMStatus:");
    return ((Getter *)objc_msg_lookup(instance(aggregator), sel))(instance(aggregator), sel, (id)status);
}

bool gsIsRadioModuleDead(const char *cls) {
    typedef BOOL Getter(id, SEL);
    SEL sel = sel_registerName("isRadioModuleDead");
    return ((Getter *)objc_msg_lookup(instance(cls), sel))(instance(cls), sel);
}

bool gsIsDualSIMEnabled(const char *cls) {
    typedef BOOL Getter(id, SEL);
    SEL sel = sel_registerName("isDualSIMEnabled");
    return ((Getter *)objc_msg_lookup(instance(cls), sel))(instance(cls), sel);
}

void gsSetTruth(const char *cls, const char *selector, signed char value) {
    typedef void Setter(id, SEL, BOOL);
    SEL sel = sel_registerName(selector);
    ((Setter *)objc_msg_lookup(instance(cls), sel))(instance(cls), sel, (BOOL)value);
}

void *gsOtherSIMInfo(void *info) {
    typedef id Getter(id, SEL, id);
    SEL sel = sel_registerName("_otherSIMInfoIfSIMPresent:");
    return ((Getter *)objc_msg_lookup(instance(statusData), sel))(instance(statusData), sel, (id)info);
}

GsReceived gsReceived(const char *cls, const char *selector) {
    std::lock_guard guard(lock);
    auto found = log.find({cls, selector});
    return found == log.end() ? GsReceived{} : found->second;
}
