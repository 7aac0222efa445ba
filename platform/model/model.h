// The model platform: a small object runtime, Foundation's property-list kinds, a device file
// system, process identity, interfaces and a Darwin notify centre, behind the same C functions
// the library calls on a device. This header is the model's own C++ interface, for the programs
// around the library (the simulator, the emulator's bridge, the tests), which stand where iOS would.
#pragma once

#include <atomic>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "platform/foundation.h"
#include "platform/model/failures.h"
#include "platform/notify.h"
#include "platform/objects.h"

struct ifaddrs;

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

// What the interception facility and the class lookup saw, in call order.
enum class HookOutcome { installed, noClass, noMethod };
struct HookRecord {
    std::string className; // for a null class: the name of the lookup that last failed
    std::string selector;
    HookOutcome outcome;
    std::string slot; // the slot's symbol, where the library's symbols name it
};
std::vector<HookRecord> hookRecords();
// The interception facility that MSHookMessageEx is, for a caller that names the slot itself (a
// bridge to emulated code, from the emulated library's symbols).
void hookMessage(PlatformClass cls, PlatformSel selector, PlatformImp replacement, PlatformImp *previous,
                 std::string slotName);
// How MSHookMessageEx names a native slot: from the symbols of the library that holds it, as a
// debugger would. Set by whoever loaded that library; without one, slots go unnamed.
using SymbolNamer = std::string (*)(const void *address);
void setSymbolNamer(SymbolNamer namer);
// "installed", "no-class" or "no-method".
const char *outcomeName(HookOutcome outcome);

// Foundation's property-list kinds. Each make* returns a reference the caller owns.
PlatformId makeString(std::string_view utf8); // throws PlatformRefusal for text that is not UTF-8
PlatformId makeInteger(int64_t value);
PlatformId makeReal(double value);
PlatformId makeBoolean(bool value);
PlatformId makeDate(double secondsSinceReferenceDate);
PlatformId makeData(std::string bytes);
PlatformId makeArray(const std::vector<PlatformId> &elements);
PlatformId makeDictionary(const std::vector<std::pair<std::string, PlatformId>> &entries);
// An object with no behaviour of its own, printed as "@name".
PlatformId makeToken(std::string name);
std::optional<std::string> stringValue(PlatformId object); // the text of a string, else nothing
// What an object is, told by its kind and never by how it prints, with its value where the kind
// has one: a string's text or a token's name in `text`, a boolean's or an integer's value in
// `integer`. Anything else is `other`, with `text` as it prints.
struct KindOf {
    enum class Kind { nil, string, boolean, integer, token, other } kind;
    std::string text;
    int64_t integer = 0;
};
KindOf kindOf(PlatformId object);
bool isValidUTF8(std::string_view bytes);

// The property-list reader behind initWithContentsOfFile:. Null for anything but a whole,
// well-formed property list with a dictionary root.
PlatformId readPropertyListDictionary(std::string_view bytes);

// Foundation's bundles, for a host's localized texts: puts `table`, its texts by key, into the
// bundle that bundleForClass: answers for each of `classes` (one bundle for them all, the one any of
// them already has). Any other class has the main bundle, which holds no table.
void addLocalizedTable(const std::vector<std::string> &classes, const std::string &table,
                       const std::vector<std::pair<std::string, std::string>> &texts);

// The simulated device's file system: absolute device paths resolve under this root.
void setDeviceRoot(std::filesystem::path root);
std::filesystem::path deviceRoot();
std::filesystem::path devicePath(const char *absolutePath);
// How many times a dictionary was read from a file in this process.
long dictionaryFileReads();
// The reads that found a file there but no dictionary in it (unreadable, not a regular file, not a
// property list with a dictionary root), which the platform answers as no file: how many so far,
// and the last one's device path and why.
struct FileProblems {
    long count = 0;
    std::string file;
    std::string why;
};
FileProblems fileProblems();

// What NSProcessInfo reports. By default, the real process: its name and its command line.
struct ProcessSetup {
    bool hasProcessInfo = true;
    bool classFindableByName = true;
    std::optional<std::string> processName;
    std::vector<std::string> arguments;
};
void setProcess(const ProcessSetup &setup);

// Where the interface list comes from. Null functions restore the system's getifaddrs.
using InterfaceQuery = int (*)(struct ifaddrs **);
using InterfaceRelease = void (*)(struct ifaddrs *);
void setInterfaceSource(InterfaceQuery query, InterfaceRelease release);
// The device's C library, as the library calls it: getifaddrs and freeifaddrs from that source, in
// this machine's layout; inet_ntoa; sched_yield. All but freeifaddrs record the call in the trace:
// a list is freed by whoever copied it, and the library's own free is recorded where it is made.
int getInterfaces(struct ifaddrs **list);
void freeInterfaces(struct ifaddrs *list);
const char *inetNtoa(uint32_t networkOrderAddress);
void yieldThread();

// The notify centre.
// Posts `name` on the device root: this process's observers have been called, on the centre's
// delivery thread, when it returns; other processes' observers are called soon after. A name
// longer than one datagram carries raises.
constexpr size_t maximumNotificationName = 1024;
void postDarwinNotification(const std::string &name, const void *object = nullptr,
                            PlatformId userInfo = nullptr);
// "brindlewick-notify/DEVICE:INODE/" of a root: each observing process of it binds an abstract
// socket whose name starts so. Empty when the root cannot be looked at.
std::string notifySocketPrefix(const std::filesystem::path &root);
// What happens when an observer raises on a post from another process, which nobody waits for:
// the process ends, as a device's would, through `handler` (which must not return); without one,
// by std::terminate.
void setDeliveryFailureHandler(void (*handler)(std::exception_ptr failure));

// The platform calls the library makes, as text, in the order made: C calls as `name(args)`,
// messages as `-[Kind selector:argument]`. Off until enabled; kept until taken.
namespace trace {
void enable(bool on);
bool enabled();
void record(std::string call);
std::vector<std::string> take();

// How an argument reads in a call.
std::string quoted(std::string_view text);
std::string object(PlatformId object);
std::string selector(PlatformSel selector);
// `function(argument, ...)`
std::string call(const char *function, const std::vector<std::string> &arguments);
// `-[Kind selector:argument ...]`, `+[Class selector]` for a class, `-[nil selector]`.
std::string message(PlatformId receiver, PlatformSel selector, const std::vector<std::string> &arguments);
} // namespace trace

} // namespace model

// Foundation's C function, as the library's platform finds a class by its name.
extern "C" PlatformClass NSClassFromString(PlatformId name);
// CoreFoundation's uniqued constant string for a text (what CFSTR makes at run time).
extern "C" PlatformId __CFStringMakeConstantString(const char *utf8);
