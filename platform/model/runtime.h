// The model's object runtime: reference-counted objects, classes with method tables, selectors,
// message sends and autorelease pools, as libobjc has them on a device.
#pragma once

#include <atomic>
#include <cstddef>
#include <exception>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "platform/model/failures.h"
#include "platform/objects.h"

namespace model {

class Class;

// A reference-counted object. Created with one reference, which the creator owns.
class Object {
  public:
    explicit Object(Class *isa);
    Object(const Object &) = delete;
    Object &operator=(const Object &) = delete;
    virtual ~Object();

    Class *isa() const { return isa_; }
    PlatformId id() { return reinterpret_cast<PlatformId>(this); }
    void retain();
    void release();
    // How the simulator and the tests print the object.
    virtual std::string describe() const;

  protected:
    // Never freed, and retain/release have no effect: classes, constant strings.
    void makeImmortal();

  private:
    std::atomic<long> refs_{1};
    Class *isa_;
    bool immortal_ = false;
};

Object *object(PlatformId id);

// The platform's own reference counting, for the model and the programs around it. The library's
// retains and releases go through the seam instead, and only those show in a trace.
PlatformId retain(PlatformId object);
void release(PlatformId object);

// A strong reference of the model's own, held for a scope.
using Ref = StrongRef<retain, release>;

// Mortal objects currently alive in the process.
long liveObjects();
// Called with each object as it is freed, on the thread that frees it: for a bridge that hands
// out references to objects and must know when one is gone.
void setObjectFreeObserver(void (*observer)(const void *object));

// A method as the runtime keeps it: the implementation and its types in the platform's encoding
// (result, receiver '@', selector ':', then each argument), so a bridge to other code knows how
// to pass its arguments.
struct Method {
    PlatformImp imp = nullptr;
    const char *types = nullptr;
};

class Class : public Object {
  public:
    // What `alloc` makes for this class: a new object the caller owns.
    using Allocator = Object *(*)(Class *cls);

    Class(std::string name, Class *superclass, Class *isa);
    const std::string &name() const { return name_; }
    Class *superclass() const { return superclass_; }
    PlatformClass handle() { return reinterpret_cast<PlatformClass>(this); }
    bool isMetaclass() const { return metaclass_; }
    // The method for `selector` on this class or the nearest superclass; a null imp when none.
    Method lookup(PlatformSel selector) const;
    Method ownMethod(PlatformSel selector) const;
    // Adds or replaces a method. A replacement keeps the types of the method it replaces.
    void setMethod(PlatformSel selector, PlatformImp imp, const char *types = nullptr);
    bool isKindOf(const Class *other) const;
    std::string describe() const override { return name_; }
    Allocator allocator() const;
    void setAllocator(Allocator make) { allocator_ = make; }

    using MethodList = std::vector<std::pair<PlatformSel, Method>>;

  private:
    friend Class *registerClass(const std::string &name, const std::string &superclassName);
    std::string name_;
    Class *superclass_;
    bool metaclass_ = false;
    Allocator allocator_ = nullptr; // inherited when null
    // Replaced whole on every change and never freed, so a lookup reads it without a lock, as
    // the real runtime reads its method caches.
    std::atomic<const MethodList *> methods_{new MethodList};
};

Class *classOf(PlatformClass cls);

// Registers a class under `name` (with its metaclass, for class methods). Throws when the name is taken.
Class *defineClass(const std::string &name, const std::string &superclass = "NSObject");
Class *findClass(const std::string &name);

PlatformSel selector(const char *name);
const char *selectorName(PlatformSel selector);

// The platform's type encoding of each kind the model's methods take and return.
template <typename T> struct TypeCode;
template <> struct TypeCode<void> { static constexpr const char *code = "v"; };
template <> struct TypeCode<PlatformId> { static constexpr const char *code = "@"; };
template <> struct TypeCode<PlatformClass> { static constexpr const char *code = "#"; };
template <> struct TypeCode<PlatformSel> { static constexpr const char *code = ":"; };
template <> struct TypeCode<const char *> { static constexpr const char *code = "r*"; };
template <> struct TypeCode<PlatformBool> { static constexpr const char *code = "c"; };
template <> struct TypeCode<PlatformUInteger> { static constexpr const char *code = "Q"; };
template <> struct TypeCode<PlatformRange> { static constexpr const char *code = "{_NSRange=QQ}"; };

// The encoding of a method with this signature, kept for the life of the process.
template <typename R, typename... A> const char *methodTypes() {
    static const std::string types =
        std::string(TypeCode<R>::code) + "@:" + (std::string() + ... + TypeCode<A>::code);
    return types.c_str();
}

template <typename R, typename... A>
void addMethod(Class *cls, const char *name, R (*imp)(PlatformId, PlatformSel, A...)) {
    cls->setMethod(selector(name), reinterpret_cast<PlatformImp>(imp), methodTypes<R, A...>());
}
template <typename R, typename... A>
void addClassMethod(Class *cls, const char *name, R (*imp)(PlatformId, PlatformSel, A...)) {
    cls->isa()->setMethod(selector(name), reinterpret_cast<PlatformImp>(imp), methodTypes<R, A...>());
}

bool respondsTo(PlatformId receiver, PlatformSel selector);
// The types of the methods a selector names, as the first class that defined one gave them; null
// for a selector no method has. Tells how to read a message whose receiver is nil.
const char *selectorTypes(PlatformSel selector);
[[noreturn]] void raiseUnrecognized(PlatformId receiver, PlatformSel selector);

// The method a message to `receiver` reaches, or none: for a null receiver, and for a selector
// its class does not implement. Every message send of the model and its bridges dispatches here.
Method methodFor(PlatformId receiver, PlatformSel sel);

// A failure that must not unwind through a C frame (libffi's, calling emulated code on native
// code's behalf) is deferred on its thread, and raised again where the call that reached that
// frame returns: after each message send, each notification callback, and each bridge call.
void deferFailure(std::exception_ptr failure);
void rethrowDeferredFailure();

// A message send. A null receiver answers zero without effect; a selector the receiver's class
// does not implement raises, as the platform does.
template <typename R = void, typename... A> R send(PlatformId receiver, PlatformSel sel, A... args) {
    if (!receiver) {
        return R();
    }
    PlatformImp imp = methodFor(receiver, sel).imp;
    if (!imp) {
        raiseUnrecognized(receiver, sel);
    }
    auto typed = reinterpret_cast<R (*)(PlatformId, PlatformSel, A...)>(imp);
    if constexpr (std::is_void_v<R>) {
        typed(receiver, sel, args...);
        rethrowDeferredFailure();
    } else {
        R result = typed(receiver, sel, args...);
        rethrowDeferredFailure();
        return result;
    }
}
template <typename R = void, typename... A> R send(PlatformId receiver, const char *name, A... args) {
    return send<R>(receiver, selector(name), args...);
}

// Drains what was autoreleased on this thread since it was made.
// The pools are the platform's own: these never show as calls of the library.
size_t pushAutoreleasePool();
void popAutoreleasePool(size_t depth);
PlatformId autorelease(PlatformId object);

class AutoreleasePool {
  public:
    AutoreleasePool() : depth_(pushAutoreleasePool()) {}
    AutoreleasePool(const AutoreleasePool &) = delete;
    AutoreleasePool &operator=(const AutoreleasePool &) = delete;
    ~AutoreleasePool() { popAutoreleasePool(depth_); }

  private:
    size_t depth_;
};

} // namespace model
