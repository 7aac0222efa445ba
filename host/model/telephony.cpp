#include "host/model/telephony.h"

#include <map>
#include <mutex>
#include <set>

#include "host/model/foundation_kinds.h"

namespace model::telephony {

namespace {

// Template arguments for the implementations below, so each knows its class.
constexpr char managerName[] = "SBTelephonyManager";
constexpr char providerName[] = "STTelephonyStateProvider";
constexpr char aggregatorName[] = "SBStatusBarStateAggregator";
constexpr char statusDataName[] = "STTelephonyStatusDomainData";
constexpr char mutableStatusDataName[] = "STMutableTelephonyStatusDomainData";

} // namespace

const char *const classNames[5] = {managerName, providerName, aggregatorName, statusDataName,
                                   mutableStatusDataName};

namespace {

struct Record {
    long entered = 0;
    std::vector<Argument> last;
};

struct HostState {
    std::mutex lock;
    std::map<std::string, HostId> instances;
    std::map<std::pair<std::string, std::string>, Record> log;
    std::map<std::string, bool> radioDead;
    std::map<HostId, bool> dualSIM; // per instance
    std::map<std::string, Ref> operatorNames;
    std::set<std::pair<std::string, std::string>> raising;
    HostId otherSIMInfo = nullptr;
};

HostState &state() {
    static HostState *instance = new HostState;
    return *instance;
}

void releaseArguments(std::vector<Argument> &arguments) {
    for (Argument &argument : arguments) {
        if (argument.isObject) {
            release(argument.object);
        }
    }
    arguments.clear();
}

void enter(const char *className, HostSel cmd, std::vector<Argument> arguments) {
    HostState &host = state();
    std::pair<std::string, std::string> key{className, selectorName(cmd)};
    bool raise;
    {
        std::lock_guard guard(host.lock);
        for (Argument &argument : arguments) {
            if (argument.isObject) {
                retain(argument.object);
            }
        }
        Record &record = host.log[key];
        ++record.entered;
        releaseArguments(record.last);
        record.last = std::move(arguments);
        raise = host.raising.count(key) > 0;
    }
    if (raise) {
        throw HostException(std::string("-[") + className + " " + selectorName(cmd) + "] raised");
    }
}

Argument objectArgument(HostId object) {
    return Argument{true, object, 0, nullptr};
}
Argument truthArgument(HostBool truth) {
    return Argument{false, nullptr, truth, nullptr};
}

void storeOperatorName(const char *className, HostId name) {
    std::lock_guard guard(state().lock);
    state().operatorNames.erase(className);
    state().operatorNames.emplace(className, Ref(name));
}

template <const char *Cls> void nameSetter(HostId, HostSel cmd, HostId name) {
    enter(Cls, cmd, {objectArgument(name)});
    storeOperatorName(Cls, name);
}
template <const char *Cls> void nameInContextSetter(HostId, HostSel cmd, HostId name, HostId context) {
    enter(Cls, cmd, {objectArgument(name), objectArgument(context)});
    storeOperatorName(Cls, name);
}

constexpr const char *manager = managerName;
constexpr const char *provider = providerName;
constexpr const char *aggregator = aggregatorName;
constexpr const char *statusData = statusDataName;
constexpr const char *mutableStatusData = mutableStatusDataName;

template <const char *Cls> HostBool radioModuleDead(HostId, HostSel cmd) {
    enter(Cls, cmd, {});
    std::lock_guard guard(state().lock);
    return state().radioDead[Cls] ? 1 : 0;
}

HostId displayStringForSIMStatus(HostId, HostSel cmd, HostId status) {
    enter(aggregator, cmd, {objectArgument(status)});
    std::string text = "SIM " + (status ? object(status)->describe() : std::string("nil"));
    return autorelease(makeString(text));
}

HostId otherSIMInfoIfSIMPresent(HostId, HostSel cmd, HostId info) {
    enter(statusData, cmd, {objectArgument(info)});
    return autorelease(retain(state().otherSIMInfo));
}

HostBool isDualSIMEnabled(HostId self, HostSel cmd) {
    enter(statusData, cmd, {});
    std::lock_guard guard(state().lock);
    return state().dualSIM[self] ? 1 : 0;
}

void setCachedDualSIMEnabled(HostId self, HostSel cmd, HostBool enabled) {
    enter(provider, cmd, {truthArgument(enabled)});
    std::lock_guard guard(state().lock);
    state().dualSIM[self] = enabled != 0;
}

void setDualSIMEnabled(HostId self, HostSel cmd, HostBool enabled) {
    enter(mutableStatusData, cmd, {truthArgument(enabled)});
    std::lock_guard guard(state().lock);
    state().dualSIM[self] = enabled != 0;
}

Class *defineHostClass(const std::string &name, const std::set<std::string> &without,
                       const std::string &superclass) {
    if (without.count(name)) {
        return nullptr;
    }
    Class *cls = defineClass(name, superclass);
    std::lock_guard guard(state().lock);
    state().instances[name] = (new Object(cls))->id();
    return cls;
}

} // namespace

void install(const std::vector<std::string> &withoutClasses) {
    std::set<std::string> without(withoutClasses.begin(), withoutClasses.end());
    {
        std::lock_guard guard(state().lock);
        if (!state().otherSIMInfo) {
            state().otherSIMInfo = makeToken("host-sim-info");
        }
    }
    if (Class *cls = defineHostClass(manager, without, "NSObject")) {
        addMethod(cls, "setOperatorName:", &nameSetter<managerName>);
        addMethod(cls, "_reallySetOperatorName:", &nameSetter<managerName>);
        addMethod(cls, "_reallySetOperatorName:inSubscriptionContext:", &nameInContextSetter<managerName>);
        addMethod(cls, "isRadioModuleDead", &radioModuleDead<managerName>);
    }
    if (Class *cls = defineHostClass(provider, without, "NSObject")) {
        addMethod(cls, "_reallySetOperatorName:inSubscriptionContext:", &nameInContextSetter<providerName>);
        addMethod(cls, "_setOperatorName:inSubscriptionContext:", &nameInContextSetter<providerName>);
        addMethod(cls, "isRadioModuleDead", &radioModuleDead<providerName>);
        addMethod(cls, "setCachedDualSIMEnabled:", &setCachedDualSIMEnabled);
    }
    if (Class *cls = defineHostClass(aggregator, without, "NSObject")) {
        addMethod(cls, "_displayStringForSIMStatus:", &displayStringForSIMStatus);
    }
    Class *base = defineHostClass(statusData, without, "NSObject");
    if (base) {
        addMethod(base, "_otherSIMInfoIfSIMPresent:", &otherSIMInfoIfSIMPresent);
        addMethod(base, "isDualSIMEnabled", &isDualSIMEnabled);
    }
    // The mutable status data inherits its getters from the immutable one.
    if (Class *cls = defineHostClass(mutableStatusData, without, base ? statusData : "NSObject")) {
        addMethod(cls, "setDualSIMEnabled:", &setDualSIMEnabled);
    }
}

HostId instance(const std::string &className) {
    std::lock_guard guard(state().lock);
    auto found = state().instances.find(className);
    return found == state().instances.end() ? nullptr : found->second;
}

long timesEntered(const std::string &className, const std::string &selector) {
    std::lock_guard guard(state().lock);
    auto found = state().log.find({className, selector});
    return found == state().log.end() ? 0 : found->second.entered;
}

std::vector<Argument> lastArguments(const std::string &className, const std::string &selector) {
    std::lock_guard guard(state().lock);
    auto found = state().log.find({className, selector});
    if (found == state().log.end()) {
        return {};
    }
    std::vector<Argument> copies = found->second.last;
    for (Argument &copy : copies) {
        if (copy.isObject && copy.object) {
            copy.held = std::shared_ptr<void>(retain(copy.object),
                                              [](void *object) { release(static_cast<HostId>(object)); });
        }
    }
    return copies;
}

void clearLog() {
    std::lock_guard guard(state().lock);
    for (auto &[key, record] : state().log) {
        releaseArguments(record.last);
    }
    state().log.clear();
    state().operatorNames.clear();
}

StoredName lastOperatorName(const std::string &className) {
    std::lock_guard guard(state().lock);
    auto found = state().operatorNames.find(className);
    return found == state().operatorNames.end() ? StoredName{false, nullptr}
                                                : StoredName{true, found->second.get()};
}

void setRadioModuleDead(const std::string &className, bool dead) {
    std::lock_guard guard(state().lock);
    state().radioDead[className] = dead;
}

void setRaising(const std::string &className, const std::string &selector, bool raising) {
    std::lock_guard guard(state().lock);
    if (raising) {
        state().raising.insert({className, selector});
    } else {
        state().raising.erase({className, selector});
    }
}

} // namespace model::telephony
