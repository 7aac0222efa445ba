#include "springboard/springboard.h"

#include "springboard/dispatch.h"

#include <map>
#include <mutex>
#include <set>
#include <string_view>
#include <type_traits>

namespace springboard {

namespace {

struct Record {
    long entered = 0;
    std::vector<Argument> last;
};

struct HostState {
    std::mutex lock;
    Runtime runtime{};
    bool recording = true;
    std::map<std::string, PlatformId> instances;
    std::map<std::pair<std::string, std::string>, Record> log;
    std::map<std::string, bool> radioDead;
    std::map<PlatformId, bool> dualSIM; // per instance
    std::map<std::string, PlatformId> operatorNames;
    std::set<std::pair<std::string, std::string>> raising;
    PlatformId otherSIMInfo = nullptr;
    SimCard simCard = SimCard::ready;
    Host host;
};

HostState &state() {
    static HostState *instance = new HostState; // the notify centre's thread may call in during exit
    return *instance;
}

void releaseArguments(std::vector<Argument> &arguments) {
    for (Argument &argument : arguments) {
        if (argument.isObject) {
            state().runtime.release(argument.object);
        }
    }
    arguments.clear();
}

void enter(const char *className, PlatformSel cmd, std::vector<Argument> arguments) {
    HostState &host = state();
    if (!host.recording) {
        return;
    }
    std::pair<std::string, std::string> key{className, host.runtime.selectorName(cmd)};
    bool raise;
    {
        std::lock_guard guard(host.lock);
        for (Argument &argument : arguments) {
            if (argument.isObject) {
                host.runtime.retain(argument.object);
            }
        }
        Record &record = host.log[key];
        ++record.entered;
        releaseArguments(record.last);
        record.last = std::move(arguments);
        raise = host.raising.count(key) > 0;
    }
    if (raise) {
        host.runtime.raise(std::string("-[") + className + " " + key.second + "] raised");
    }
}

Argument objectArgument(PlatformId object) {
    return Argument{true, object, 0, nullptr};
}
Argument truthArgument(PlatformBool truth) {
    return Argument{false, nullptr, truth, nullptr};
}

void storeOperatorName(const char *className, PlatformId name) {
    HostState &host = state();
    if (!host.recording) {
        return;
    }
    std::lock_guard guard(host.lock);
    PlatformId &stored = host.operatorNames[className];
    host.runtime.release(stored);
    stored = host.runtime.retain(name);
}

// The setter a release's entry sends the name on to, by message, or null: its era says which.
PlatformImp passedTo(const char *className, PlatformId self, PlatformSel cmd, PlatformSel &inner) {
    HostState &host = state();
    const Era *era = host.host.era; // set at install, before any message
    if (!era || !era->passesTo || std::string_view(className) != era->setsName.cls ||
        std::string_view(host.runtime.selectorName(cmd)) != era->setsName.selector) {
        return nullptr;
    }
    inner = host.runtime.selector(era->passesTo);
    return host.runtime.lookUp(self, inner);
}

template <const char *Cls> void nameSetter(PlatformId self, PlatformSel cmd, PlatformId name) {
    enter(Cls, cmd, {objectArgument(name)});
    storeOperatorName(Cls, name);
    PlatformSel inner = nullptr;
    if (PlatformImp imp = passedTo(Cls, self, cmd, inner)) {
        call<void>(imp, self, inner, name);
    }
}
template <const char *Cls>
void nameInContextSetter(PlatformId self, PlatformSel cmd, PlatformId name, PlatformId context) {
    enter(Cls, cmd, {objectArgument(name), objectArgument(context)});
    storeOperatorName(Cls, name);
    PlatformSel inner = nullptr;
    if (PlatformImp imp = passedTo(Cls, self, cmd, inner)) {
        call<void>(imp, self, inner, name, context);
    }
}

template <const char *Cls> PlatformBool radioModuleDead(PlatformId, PlatformSel cmd) {
    enter(Cls, cmd, {});
    std::lock_guard guard(state().lock);
    return state().radioDead[Cls] ? 1 : 0;
}

// The text for a SIM status: CoreTelephony's for the card's three states, "SIM <status>" for
// anything else a caller hands it.
PlatformId simStatusText(PlatformId status) {
    std::string described = status ? state().runtime.describe(status) : "nil";
    for (const SimCardState &card : simCards) {
        if (described == card.status) {
            return state().runtime.autoreleasedString(card.text);
        }
    }
    return state().runtime.autoreleasedString("SIM " + described);
}

template <const char *Cls>
PlatformId displayStringForSIMStatus(PlatformId, PlatformSel cmd, PlatformId status) {
    enter(Cls, cmd, {objectArgument(status)});
    return simStatusText(status);
}

PlatformId otherSIMInfoIfSIMPresent(PlatformId, PlatformSel cmd, PlatformId info) {
    enter(statusData, cmd, {objectArgument(info)});
    return state().otherSIMInfo; // the host keeps it for good
}

template <const char *Cls> PlatformBool isDualSIMEnabled(PlatformId self, PlatformSel cmd) {
    enter(Cls, cmd, {});
    std::lock_guard guard(state().lock);
    return state().dualSIM[self] ? 1 : 0;
}

// The subscription information's getter: the name its setter last stored, held by the host.
PlatformId operatorName(PlatformId, PlatformSel cmd) {
    enter(subscriptionInfo, cmd, {});
    std::lock_guard guard(state().lock);
    auto found = state().operatorNames.find(mutableSubscriptionInfo);
    return found == state().operatorNames.end() ? nullptr : found->second;
}

// The card's status, as CoreTelephony reports it to the subscription information.
PlatformId simStatus(PlatformId, PlatformSel cmd) {
    enter(subscriptionInfo, cmd, {});
    return state().runtime.autoreleasedString(simCardState(currentCard()).status);
}

// Whether the phone needs a SIM it has not got, or cannot use.
PlatformBool needsUserIdentificationModule(PlatformId, PlatformSel cmd) {
    enter(provider, cmd, {});
    return currentCard() != SimCard::ready ? 1 : 0;
}

template <const char *Cls> void dualSIMSetter(PlatformId self, PlatformSel cmd, PlatformBool enabled) {
    enter(Cls, cmd, {truthArgument(enabled)});
    std::lock_guard guard(state().lock);
    state().dualSIM[self] = enabled != 0;
}

template <typename F> PlatformImp imp(F *function) {
    return reinterpret_cast<PlatformImp>(function);
}

// The classes, with their own methods, in the order they are defined: every method any release
// has of them, which install() narrows to the host's.
struct ClassDefinition {
    const char *name;
    std::vector<Runtime::Method> methods;
};

const std::vector<ClassDefinition> &definitions() {
    static const std::vector<ClassDefinition> classes = {
        {manager,
         {{sel::setOperatorName, imp(&nameSetter<manager>), "v@:@"},
          {sel::reallySetOperatorName, imp(&nameSetter<manager>), "v@:@"},
          {sel::reallySetOperatorNameInContext, imp(&nameInContextSetter<manager>), "v@:@@"},
          {sel::isRadioModuleDead, imp(&radioModuleDead<manager>), "c@:"},
          {sel::isDualSIMEnabled, imp(&isDualSIMEnabled<manager>), "c@:"},
          {sel::setDualSIMEnabled, imp(&dualSIMSetter<manager>), "v@:c"}}},
        {provider,
         {{sel::reallySetOperatorNameInContext, imp(&nameInContextSetter<provider>), "v@:@@"},
          {sel::setOperatorNameInContext, imp(&nameInContextSetter<provider>), "v@:@@"},
          {sel::isRadioModuleDead, imp(&radioModuleDead<provider>), "c@:"},
          {sel::setCachedDualSIMEnabled, imp(&dualSIMSetter<provider>), "v@:c"},
          {sel::needsUserIdentificationModule, imp(&needsUserIdentificationModule), "c@:"}}},
        {aggregator, {{sel::displayStringForSIMStatus, imp(&displayStringForSIMStatus<aggregator>), "@@:@"}}},
        {statusData,
         {{sel::otherSIMInfoIfSIMPresent, imp(&otherSIMInfoIfSIMPresent), "@@:@"},
          {sel::isDualSIMEnabled, imp(&isDualSIMEnabled<statusData>), "c@:"}}},
        // The mutable status data inherits its getters from the immutable one.
        {mutableStatusData, {{sel::setDualSIMEnabled, imp(&dualSIMSetter<mutableStatusData>), "v@:c"}}},
        {dataManager,
         {{sel::displayStringForSIMStatus, imp(&displayStringForSIMStatus<dataManager>), "@@:@"}}},
        {domainDataProvider,
         {{sel::displayStringForSIMStatus, imp(&displayStringForSIMStatus<domainDataProvider>), "@@:@"}}},
        {subscriptionInfo,
         {{sel::operatorName, imp(&operatorName), "@@:"}, {sel::simStatus, imp(&simStatus), "@@:"}}},
        {mutableSubscriptionInfo,
         {{sel::setOperatorName, imp(&nameSetter<mutableSubscriptionInfo>), "v@:@"}}},
    };
    return classes;
}

} // namespace

const std::vector<HostMethod> &methods() {
    static const std::vector<HostMethod> all = [] {
        std::vector<HostMethod> found;
        for (const ClassDefinition &definition : definitions()) {
            for (const ClassDefinition &owner : definitions()) {
                const char *superclass = superclassOf(definition.name);
                bool inherited = superclass && std::string_view(owner.name) == superclass;
                if (&owner != &definition && !inherited) {
                    continue;
                }
                for (const Runtime::Method &method : owner.methods) {
                    found.push_back({definition.name, method.selector, method.types, owner.name});
                }
            }
        }
        found.push_back({bundle, sel::lookUpText, "@@:@@@", bundle});
        return found;
    }();
    return all;
}

void install(const Runtime &runtime, const std::vector<std::string> &withoutClasses, bool recording,
             const Host &shape) {
    HostState &host = state();
    std::set<std::string> without(withoutClasses.begin(), withoutClasses.end());
    {
        std::lock_guard guard(host.lock);
        host.runtime = runtime;
        host.recording = recording;
        host.host = shape;
        if (!host.otherSIMInfo) {
            host.otherSIMInfo = runtime.makeObject("host-sim-info");
        }
    }
    for (const ClassDefinition &definition : definitions()) {
        const char *superclass = superclassOf(definition.name);
        // The runtime realizes no class whose superclass is missing: a subclass goes with it.
        if (without.count(definition.name) || !shape.hasClass(definition.name) ||
            (superclass && without.count(superclass))) {
            continue;
        }
        bool superclassThere = superclass && shape.hasClass(superclass);
        std::vector<Runtime::Method> methods;
        for (const Runtime::Method &method : definition.methods) {
            if (shape.hasMethod(definition.name, method.selector)) {
                methods.push_back(method);
            }
        }
        PlatformId made =
            runtime.defineClass(definition.name, superclassThere ? superclass : "NSObject", methods);
        std::lock_guard guard(host.lock);
        host.instances[definition.name] = made;
    }
    PlatformId texts = dataProviderBundle();
    std::lock_guard guard(host.lock);
    host.instances[bundle] = texts;
}

const Host &installedHost() {
    return state().host;
}

PlatformId simStatusTextDirectly(PlatformId status) {
    return simStatusText(status);
}

void setSimCard(SimCard card) {
    std::lock_guard guard(state().lock);
    state().simCard = card;
}

const Runtime &hostRuntime() {
    return state().runtime;
}

SimCard currentCard() {
    std::lock_guard guard(state().lock);
    return state().simCard;
}

PlatformId instance(const std::string &className) {
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
    HostState &host = state();
    std::lock_guard guard(host.lock);
    auto found = host.log.find({className, selector});
    if (found == host.log.end()) {
        return {};
    }
    std::vector<Argument> copies = found->second.last;
    for (Argument &copy : copies) {
        if (copy.isObject && copy.object) {
            copy.held = std::shared_ptr<void>(host.runtime.retain(copy.object), [](void *object) {
                state().runtime.release(static_cast<PlatformId>(object));
            });
        }
    }
    return copies;
}

void clearLog() {
    HostState &host = state();
    std::lock_guard guard(host.lock);
    for (auto &[key, record] : host.log) {
        releaseArguments(record.last);
    }
    host.log.clear();
    for (auto &[cls, name] : host.operatorNames) {
        host.runtime.release(name);
    }
    host.operatorNames.clear();
}

StoredName lastOperatorName(const std::string &className) {
    std::lock_guard guard(state().lock);
    auto found = state().operatorNames.find(className);
    return found == state().operatorNames.end() ? StoredName{false, nullptr}
                                                : StoredName{true, found->second};
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

} // namespace springboard
