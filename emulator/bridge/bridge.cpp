#include "emulator/bridge/bridge.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "platform/model/model.h"

namespace emulator {
namespace {

constexpr uint64_t heapBase = 0x04000000;
constexpr uint64_t heapSize = 0x100000;

} // namespace

struct Bridge::Closure {
    Bridge *bridge;
    uint64_t address;  // as the slice's code made it: signed on arm64e
    uint64_t function; // without its signature
    const Signature *signature;
    ffi_closure *closure;
    PlatformImp entry;
};

Bridge::Bridge(Processor &processor)
    : processor_(processor), handles_(macho::is64Bit(processor.arch())),
      heap_(std::make_unique<Heap>(processor, heapBase, heapSize)) {
    processor_.setTrapHandler([this](TrapContext &context, uint32_t trap) {
        if (trap >= traps_.size()) {
            throw Fault("the library called into the platform's code where nothing is");
        }
        traps_[trap](context);
    });
    addObjectiveCImports(*this);
    addSystemImports(*this);
}

Bridge::~Bridge() {
    for (auto &[address, closure] : closures_) {
        ffi_closure_free(closure->closure);
    }
}

uint64_t Bridge::addTrap(std::function<void(TrapContext &)> handler) {
    if (traps_.size() >= processor_.trapCount()) {
        throw Limit("the platform's code has room for no more entries");
    }
    traps_.push_back(std::move(handler));
    return processor_.trapAddress(static_cast<uint32_t>(traps_.size() - 1));
}

void Bridge::addFunction(const std::string &symbol, std::vector<std::string> libraries,
                         std::function<void(TrapContext &)> handler) {
    functions_[symbol] = Function{std::move(libraries), std::move(handler)};
}

uint64_t Bridge::resolve(const macho::Import &import) {
    auto found = functions_.find(import.symbol);
    if (found == functions_.end()) {
        if (import.weak) {
            return 0; // a weak import the platform lacks is bound to null, as dyld binds it
        }
        throw macho::LoadError("the library imports " + import.symbol + " from " + import.library +
                               ", and the platform provides no " + import.symbol);
    }
    const Function &function = found->second;
    bool sameLibrary = false;
    for (const std::string &library : function.libraries) {
        sameLibrary = sameLibrary || library == import.library;
    }
    if (!sameLibrary) {
        throw macho::LoadError("the library imports " + import.symbol + " from " + import.library +
                               ", but the platform provides it from " + function.libraries.front());
    }
    auto [slot, added] = resolved_.try_emplace(import.symbol, 0);
    if (added) {
        slot->second = addTrap(function.handler);
    }
    return slot->second;
}

uint64_t Bridge::selector(const std::string &name) {
    return handles_.emulated(model::selector(name.c_str()), Handles::Kind::selector);
}

const Signature &Bridge::signature(const std::string &encoding) {
    auto &made = signatures_[encoding];
    if (!made) {
        made = std::make_unique<Signature>(encoding);
    }
    return *made;
}

PlatformImp Bridge::nativeCallable(uint64_t address, const std::string &encoding) {
    auto found = closures_.find(address);
    if (found != closures_.end()) {
        return found->second->entry;
    }
    auto closure = std::make_unique<Closure>();
    closure->bridge = this;
    closure->address = address;
    closure->function = processor_.authenticates() ? processor_.strip(address) : address;
    closure->signature = &signature(encoding);
    void *code = nullptr;
    closure->closure = static_cast<ffi_closure *>(ffi_closure_alloc(sizeof(ffi_closure), &code));
    if (!closure->closure ||
        ffi_prep_closure_loc(closure->closure, const_cast<ffi_cif *>(&closure->signature->cif),
                             &Bridge::runClosure, closure.get(), code) != FFI_OK) {
        throw Limit("libffi could not make a native entry for an emulated function");
    }
    closure->entry = reinterpret_cast<PlatformImp>(code);
    closureOf_[closure->entry] = closure.get();
    return closures_.emplace(address, std::move(closure)).first->second->entry;
}

void Bridge::nameFrom(const macho::Image &image, uint64_t slide) {
    image_ = &image;
    slide_ = slide;
}

std::string Bridge::symbolAt(uint64_t address) const {
    return image_ ? macho::symbolAt(*image_, address - slide_) : "";
}

std::string Bridge::where(uint64_t address) const {
    uint64_t plain = processor_.authenticates() ? address & 0x0000007FFFFFFFFFull : address;
    std::string function =
        image_ && processor_.inImage(plain) ? macho::functionAt(*image_, plain - slide_) : "";
    return processor_.where(plain) + (function.empty() ? "" : " (in " + function + ")");
}

uint64_t Bridge::emulatedFunction(PlatformImp imp) const {
    auto found = closureOf_.find(imp);
    return found == closureOf_.end() ? 0 : found->second->function;
}

uint64_t Bridge::emulatedCallable(PlatformImp imp, const std::string &encoding) {
    auto closure = closureOf_.find(imp);
    if (closure != closureOf_.end()) {
        return closure->second->address;
    }
    auto [slot, added] = nativeTraps_.try_emplace({imp, encoding}, 0);
    if (added) {
        const Signature *types = &signature(encoding);
        uint64_t trap =
            addTrap([this, imp, types](TrapContext &context) { callNative(context, imp, *types, 0); });
        // What a C function pointer is on arm64e: signed with IA and no discriminator.
        slot->second = processor_.authenticates() ? processor_.sign(trap, Key::IA, 0) : trap;
    }
    return slot->second;
}

void Bridge::callNative(TrapContext &context, PlatformImp imp, const Signature &signature, unsigned first) {
    std::vector<NativeValue> values(signature.arguments.size());
    std::vector<std::string> texts(signature.arguments.size());
    std::vector<void *> pointers;
    for (size_t i = 0; i < signature.arguments.size(); ++i) {
        const Kind &kind = *kindOf(signature.arguments[i]);
        if (!kind.toNative) {
            // An emulated address means nothing to native code, which would write where it points.
            throw Limit("the bridge passes no such argument (" + std::string(1, kind.code) +
                        ") into the platform: " + signature.encoding);
        }
        kind.toNative(*this, context.argument(first + static_cast<unsigned>(i)), values[i], texts[i]);
        pointers.push_back(&values[i]);
    }
    uint64_t result[2] = {0, 0};
    ffi_call(const_cast<ffi_cif *>(&signature.cif), reinterpret_cast<void (*)()>(imp), result,
             pointers.data());
    model::rethrowDeferredFailure(); // an emulated function behind `imp` that failed
    const Abi &abi = processor_.abi();
    if (signature.result == 'v') {
        return;
    }
    if (signature.result == 'R') {
        if (abi.structuresInMemory) {
            // Through the hidden first argument, a word a field.
            processor_.writePointer(context.argument(0), abi.fromNativeInteger(result[0]));
            processor_.writePointer(context.argument(0) + abi.pointerSize, abi.fromNativeInteger(result[1]));
        } else {
            context.setResults(result[0], result[1]);
        }
        return;
    }
    context.setResult(toEmulated(signature.result, result));
}

uint64_t Bridge::toEmulated(char code, const void *value) {
    const Kind *kind = kindOf(code);
    if (!kind || !kind->toEmulated) {
        throw Limit(std::string("the bridge cannot return a value of kind '") + code + "'");
    }
    return kind->toEmulated(*this, value);
}

std::vector<std::string> Bridge::describeArguments(TrapContext &context, const Signature &signature,
                                                   unsigned first, unsigned skip) {
    std::vector<std::string> described;
    for (size_t i = skip; i < signature.arguments.size(); ++i) {
        described.push_back(kindOf(signature.arguments[i])
                                ->describe(*this, context.argument(first + static_cast<unsigned>(i))));
    }
    return described;
}

// libffi's frames are C: nothing may unwind through them. A failure is deferred, the native caller
// gets a zero result, and the failure is raised again where that call returns (model.h).
void Bridge::runClosure(ffi_cif *cif, void *result, void **arguments, void *data) {
    try {
        enterClosure(result, arguments, data);
    } catch (...) {
        std::memset(result, 0, std::max<size_t>(cif->rtype->size, sizeof(ffi_arg)));
        model::deferFailure(std::current_exception());
    }
}

void Bridge::enterClosure(void *result, void **arguments, void *data) {
    auto *closure = static_cast<Closure *>(data);
    Bridge &bridge = *closure->bridge;
    std::lock_guard guard(bridge.processor_.lock());
    const Signature &signature = *closure->signature;
    std::vector<uint64_t> values;
    for (size_t i = 0; i < signature.arguments.size(); ++i) {
        values.push_back(bridge.toEmulated(signature.arguments[i], arguments[i]));
    }
    uint64_t returned = bridge.processor_.call(closure->address, values, bridge.processor_.authenticates());
    if (signature.result == 'v') {
        return;
    }
    const Kind *kind = kindOf(signature.result);
    if (!kind->toNativeResult) {
        throw Limit("an emulated function returns a kind the bridge cannot hand back: " + signature.encoding);
    }
    kind->toNativeResult(bridge, returned, result);
}

} // namespace emulator
