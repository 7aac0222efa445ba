// The object runtime: reference counts, classes with method tables, selectors, autorelease
// pools, and the interception facility with the loader's chaining and tolerance rules.
#include <map>
#include <memory>
#include <mutex>
#include <shared_mutex>

#include "platform/model/foundation_kinds.h"
#include "platform/model/sharded_counter.h"

namespace model {
namespace {

ShardedCounter mortalObjects;

struct Selector {
    std::string name;
};

// Never destroyed: classes and selectors outlive every object, static ones included.
struct Runtime {
    std::shared_mutex lock; // classes, method tables, selectors
    std::map<std::string, Class *, std::less<>> classes;
    std::map<std::string, std::unique_ptr<Selector>, std::less<>> selectors;

    std::vector<const Class::MethodList *> retiredMethodLists; // kept reachable, never freed
    std::map<PlatformSel, const char *> selectorTypes;         // the first types each selector had

    std::mutex recordLock;
    std::vector<HookRecord> hooks;
    std::string lastFailedLookup;
    std::atomic<SymbolNamer> namer{nullptr};
};

Runtime &runtime() {
    static Runtime *instance = new Runtime;
    return *instance;
}

// The autorelease pools of one thread; whatever is left drains when the thread ends.
struct PoolStack {
    std::vector<Object *> objects;
    std::vector<size_t> marks;
    ~PoolStack() { drainTo(0); }
    void drainTo(size_t mark) {
        while (objects.size() > mark) {
            Object *last = objects.back();
            objects.pop_back();
            last->release();
        }
    }
};

PoolStack &pools() {
    thread_local PoolStack stack;
    return stack;
}

void record(std::string className, PlatformSel sel, HookOutcome outcome, std::string slot) {
    Runtime &rt = runtime();
    std::lock_guard guard(rt.recordLock);
    rt.hooks.push_back({std::move(className), selectorName(sel), outcome, std::move(slot)});
}

} // namespace

Object::Object(Class *isa) : isa_(isa) {
    mortalObjects.add(1);
}

std::atomic<void (*)(const void *)> freeObserver{nullptr};

Object::~Object() {
    if (!immortal_) {
        mortalObjects.add(-1);
    }
    if (auto observer = freeObserver.load(std::memory_order_acquire)) {
        observer(this);
    }
}

void setObjectFreeObserver(void (*observer)(const void *object)) {
    freeObserver.store(observer, std::memory_order_release);
}

void Object::retain() {
    if (!immortal_) {
        refs_.fetch_add(1, std::memory_order_relaxed);
    }
}

void Object::release() {
    if (immortal_) {
        return;
    }
    long before = refs_.fetch_sub(1, std::memory_order_acq_rel);
    if (before <= 0) {
        throw PlatformRefusal("over-release of " + describe());
    }
    if (before == 1) {
        delete this;
    }
}

std::string Object::describe() const {
    return "<" + (isa_ ? isa_->name() : std::string("?")) + ">";
}

void Object::makeImmortal() {
    if (!immortal_) {
        immortal_ = true;
        mortalObjects.add(-1);
    }
}

Object *object(PlatformId id) {
    return reinterpret_cast<Object *>(id);
}

PlatformId retain(PlatformId id) {
    if (id) {
        object(id)->retain();
    }
    return id;
}

void release(PlatformId id) {
    if (id) {
        object(id)->release();
    }
}

long liveObjects() {
    return mortalObjects.total();
}

Class::Class(std::string name, Class *superclass, Class *isa)
    : Object(isa), name_(std::move(name)), superclass_(superclass) {
    makeImmortal();
}

Method Class::lookup(PlatformSel sel) const {
    for (const Class *cls = this; cls; cls = cls->superclass_) {
        if (Method method = cls->ownMethod(sel); method.imp) {
            return method;
        }
    }
    return {};
}

Method Class::ownMethod(PlatformSel sel) const {
    for (const auto &[known, method] : *methods_.load(std::memory_order_acquire)) {
        if (known == sel) {
            return method;
        }
    }
    return {};
}

void Class::setMethod(PlatformSel sel, PlatformImp imp, const char *types) {
    std::unique_lock guard(runtime().lock);
    auto *replacement = new MethodList(*methods_.load(std::memory_order_relaxed));
    bool replaced = false;
    for (auto &[known, current] : *replacement) {
        if (known == sel) {
            current.imp = imp;
            current.types = types ? types : current.types;
            replaced = true;
        }
    }
    if (!replaced) {
        replacement->emplace_back(sel, Method{imp, types});
    }
    if (types) {
        runtime().selectorTypes.try_emplace(sel, types);
    }
    // The list it replaces stays allocated: a lookup on another thread may still be reading it.
    runtime().retiredMethodLists.push_back(methods_.exchange(replacement, std::memory_order_acq_rel));
}

Class::Allocator Class::allocator() const {
    for (const Class *cls = this; cls; cls = cls->superclass_) {
        if (cls->allocator_) {
            return cls->allocator_;
        }
    }
    return nullptr;
}

bool Class::isKindOf(const Class *other) const {
    for (const Class *cls = this; cls; cls = cls->superclass_) {
        if (cls == other) {
            return true;
        }
    }
    return false;
}

Class *classOf(PlatformClass cls) {
    return reinterpret_cast<Class *>(cls);
}

Class *registeredClass(std::string_view name) {
    Runtime &rt = runtime();
    std::shared_lock guard(rt.lock);
    auto found = rt.classes.find(name);
    return found == rt.classes.end() ? nullptr : found->second;
}

Class *registerClass(const std::string &name, const std::string &superclassName) {
    Class *superclass = nullptr;
    if (!superclassName.empty()) {
        superclass = registeredClass(superclassName);
        if (!superclass) {
            throw std::logic_error("no superclass " + superclassName + " for " + name);
        }
    }
    Runtime &rt = runtime();
    std::unique_lock guard(rt.lock);
    if (rt.classes.count(name)) {
        throw std::logic_error("class " + name + " is already defined");
    }
    // A root class's metaclass inherits from the root class, so class objects answer its methods.
    Class *metaSuperclass = superclass ? superclass->isa() : nullptr;
    auto *metaclass = new Class(name, metaSuperclass, nullptr);
    metaclass->metaclass_ = true;
    auto *cls = new Class(name, superclass, metaclass);
    if (!superclass) {
        metaclass->superclass_ = cls;
    }
    rt.classes.emplace(name, cls);
    return cls;
}

// Foundation's classes exist before any class the host defines or looks up.
Class *defineClass(const std::string &name, const std::string &superclassName) {
    foundation();
    return registerClass(name, superclassName);
}

Class *findClass(const std::string &name) {
    foundation();
    return registeredClass(name);
}

PlatformSel selector(const char *name) {
    // Each thread keeps the selectors it has used, so a message send takes no shared lock.
    thread_local std::map<std::string, PlatformSel, std::less<>> known;
    auto cached = known.find(std::string_view(name));
    if (cached != known.end()) {
        return cached->second;
    }
    Runtime &rt = runtime();
    PlatformSel found;
    {
        std::unique_lock guard(rt.lock);
        auto &slot = rt.selectors[name];
        if (!slot) {
            slot = std::make_unique<Selector>(Selector{name});
        }
        found = reinterpret_cast<PlatformSel>(slot.get());
    }
    known.emplace(name, found);
    return found;
}

const char *selectorName(PlatformSel sel) {
    // As the platform's sel_getName names the null selector, which a method may be called with.
    return sel ? reinterpret_cast<const Selector *>(sel)->name.c_str() : "<null selector>";
}

const char *selectorTypes(PlatformSel sel) {
    Runtime &rt = runtime();
    std::shared_lock guard(rt.lock);
    auto found = rt.selectorTypes.find(sel);
    return found == rt.selectorTypes.end() ? nullptr : found->second;
}

bool respondsTo(PlatformId receiver, PlatformSel sel) {
    return methodFor(receiver, sel).imp != nullptr;
}

Method methodFor(PlatformId receiver, PlatformSel sel) {
    return receiver ? object(receiver)->isa()->lookup(sel) : Method{};
}

void raiseUnrecognized(PlatformId receiver, PlatformSel sel) {
    Class *isa = object(receiver)->isa();
    throw PlatformRefusal(std::string(isa->isMetaclass() ? "+[" : "-[") + isa->name() + " " +
                          selectorName(sel) + "]: unrecognized selector sent to " +
                          (isa->isMetaclass() ? "class" : "instance"));
}

namespace {
thread_local std::exception_ptr deferred;
// Threads holding a deferred failure: every send asks, and almost always none does, which this
// answers without reaching for the thread's own storage.
std::atomic<int> deferring{0};
} // namespace

void deferFailure(std::exception_ptr failure) {
    if (!deferred) {
        deferred = std::move(failure); // the first: what came after it followed from it
        deferring.fetch_add(1, std::memory_order_relaxed);
    }
}

void rethrowDeferredFailure() {
    if (deferring.load(std::memory_order_relaxed) != 0 && deferred) {
        deferring.fetch_sub(1, std::memory_order_relaxed);
        std::rethrow_exception(std::exchange(deferred, nullptr));
    }
}

std::vector<HookRecord> hookRecords() {
    Runtime &rt = runtime();
    std::lock_guard guard(rt.recordLock);
    return rt.hooks;
}

const char *outcomeName(HookOutcome outcome) {
    switch (outcome) {
    case HookOutcome::installed:
        return "installed";
    case HookOutcome::noClass:
        return "no-class";
    case HookOutcome::noMethod:
        return "no-method";
    }
    return "?";
}

size_t pushAutoreleasePool() {
    PoolStack &stack = pools();
    stack.marks.push_back(stack.objects.size());
    return stack.marks.size();
}

void popAutoreleasePool(size_t depth) {
    PoolStack &stack = pools();
    if (depth == 0 || depth > stack.marks.size()) {
        throw PlatformRefusal("autorelease pool popped out of order");
    }
    size_t mark = stack.marks[depth - 1];
    stack.marks.resize(depth - 1);
    stack.drainTo(mark);
}

PlatformId autorelease(PlatformId obj) {
    if (obj) {
        pools().objects.push_back(object(obj));
    }
    return obj;
}

} // namespace model

using namespace model;

extern "C" PlatformClass objc_getClass(const char *name) {
    if (trace::enabled()) {
        trace::record(trace::call("objc_getClass", {quoteText(name)}));
    }
    Class *found = findClass(name);
    Runtime &rt = runtime();
    std::lock_guard guard(rt.recordLock);
    if (!found) {
        rt.lastFailedLookup = name;
    }
    return found ? found->handle() : nullptr;
}

extern "C" PlatformSel sel_registerName(const char *name) {
    if (trace::enabled()) {
        trace::record(trace::call("sel_registerName", {quoteText(name)}));
    }
    return selector(name);
}

namespace model {

void setSymbolNamer(SymbolNamer namer) {
    runtime().namer.store(namer);
}

void hookMessage(PlatformClass cls, PlatformSel sel, PlatformImp replacement, PlatformImp *previous,
                 std::string slotName) {
    if (trace::enabled()) {
        trace::record(trace::call("MSHookMessageEx", {cls ? classOf(cls)->name() : "nil", selectorName(sel),
                                                      "replacement", "&previous"}));
    }
    if (!cls) {
        std::string name;
        {
            std::lock_guard guard(runtime().recordLock);
            name = runtime().lastFailedLookup;
        }
        record(name, sel, HookOutcome::noClass, std::move(slotName));
        return;
    }
    Class *target = classOf(cls);
    // Inherited methods count: the replacement goes on the named class, over what it inherits.
    Method displaced = target->lookup(sel);
    if (!displaced.imp) {
        record(target->name(), sel, HookOutcome::noMethod, std::move(slotName));
        return;
    }
    *previous = displaced.imp;
    target->setMethod(sel, replacement, displaced.types);
    record(target->name(), sel, HookOutcome::installed, std::move(slotName));
}

} // namespace model

extern "C" void MSHookMessageEx(PlatformClass cls, PlatformSel sel, PlatformImp replacement,
                                PlatformImp *previous) {
    SymbolNamer namer = runtime().namer.load();
    hookMessage(cls, sel, replacement, previous, namer ? namer(previous) : "");
}
