// The platform behind a device slice's imports: every function it imports answers from the
// model platform the native library runs on, through the slice's own calling convention, and
// every function pointer crossing between native and emulated code is made callable on the
// other side.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "emulator/bridge/handles.h"
#include "emulator/bridge/heap.h"
#include "emulator/bridge/kinds.h"
#include "emulator/bridge/signature.h"
#include "emulator/macho/image.h"
#include "emulator/processor.h"
#include "platform/objects.h"

namespace emulator {

class Bridge {
  public:
    explicit Bridge(Processor &processor);
    ~Bridge();
    Bridge(const Bridge &) = delete;
    Bridge &operator=(const Bridge &) = delete;

    // What a slot bound to `import` holds: the trap that answers the function. Fails, naming the
    // symbol and both libraries, when the platform provides it from another library or not at all.
    uint64_t resolve(const macho::Import &import);
    // The runtime's selector for a name, as its image set-up writes it into a selector reference.
    uint64_t selector(const std::string &name);
    Heap &heap() { return *heap_; }
    Processor &processor() { return processor_; }
    Handles &handles() { return handles_; }

    // A native function with `signature`'s types that runs the emulated function at `address`
    // (signed as the slice's code signs a function pointer). Made once per address and kept.
    PlatformImp nativeCallable(uint64_t address, const std::string &encoding);
    // An address emulated code can call (signed where the slice authenticates calls) that runs
    // `imp`: the emulated function itself when `imp` came from nativeCallable.
    uint64_t emulatedCallable(PlatformImp imp, const std::string &encoding);
    // The emulated function behind `imp` when it came from nativeCallable, unsigned; 0 otherwise.
    uint64_t emulatedFunction(PlatformImp imp) const;

    // Calls native `imp` with the arguments of a trap, converting each by `signature`; `first` is
    // the index of the first argument (1 past a hidden structure pointer).
    void callNative(TrapContext &context, PlatformImp imp, const Signature &signature, unsigned first);
    // How each argument of a trap reads in a trace, by `signature`.
    std::vector<std::string> describeArguments(TrapContext &context, const Signature &signature,
                                               unsigned first, unsigned skip);

    // The image whose symbols name its emulated addresses, as a debugger names them.
    void nameFrom(const macho::Image &image, uint64_t slide);
    // The symbol defined at emulated `address` in that image, or empty.
    std::string symbolAt(uint64_t address) const;
    // An emulated address as a report names it: the function of the library it lies in, where known.
    std::string where(uint64_t address) const;

    const Signature &signature(const std::string &encoding);
    uint64_t addTrap(std::function<void(TrapContext &)> handler);
    // Makes `symbol` an import the platform provides from `libraries` (install names).
    void addFunction(const std::string &symbol, std::vector<std::string> libraries,
                     std::function<void(TrapContext &)> handler);

  private:
    struct Closure;
    struct Function {
        std::vector<std::string> libraries;
        std::function<void(TrapContext &)> handler;
    };

    static void runClosure(ffi_cif *cif, void *result, void **arguments, void *closure);
    static void enterClosure(void *result, void **arguments, void *closure);
    uint64_t toEmulated(char kind, const void *value);

    Processor &processor_;
    Handles handles_;
    std::unique_ptr<Heap> heap_;
    std::vector<std::function<void(TrapContext &)>> traps_;
    std::map<std::string, Function> functions_;
    std::map<std::string, uint64_t> resolved_;
    std::map<std::string, std::unique_ptr<Signature>> signatures_;
    std::map<uint64_t, std::unique_ptr<Closure>> closures_; // by emulated function
    std::map<PlatformImp, Closure *> closureOf_;            // by native entry
    std::map<std::pair<PlatformImp, std::string>, uint64_t> nativeTraps_;
    const macho::Image *image_ = nullptr;
    uint64_t slide_ = 0;
};

// The imports, by the library that provides them on a device.
void addObjectiveCImports(Bridge &bridge);
void addSystemImports(Bridge &bridge);

} // namespace emulator
