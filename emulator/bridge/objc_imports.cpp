// The Objective-C runtime, Foundation's class lookup and the loader's method interception, as a
// slice imports them.
#include "emulator/bridge/bridge.h"
#include "emulator/bridge/libraries.h"
#include "platform/model/model.h"

namespace emulator {
namespace {

void sendChecked(Bridge &bridge, TrapContext &context, unsigned first);

// objc_msgSend and objc_msgSend_stret: `first` is 1 when a hidden structure pointer comes first. A
// message the platform refuses ends the process on a device, as the library's own crash: it says
// which message, and where the library sent it from.
void sendMessage(Bridge &bridge, TrapContext &context, unsigned first) {
    try {
        sendChecked(bridge, context, first);
    } catch (const model::PlatformRefusal &refusal) {
        throw Fault(std::string("the platform refused a message the library sent from ") +
                    bridge.where(context.returnAddress()) + ": " + refusal.what());
    }
}

void sendChecked(Bridge &bridge, TrapContext &context, unsigned first) {
    Handles &handles = bridge.handles();
    PlatformId receiver = handles.native<PlatformObjectOpaque>(context.argument(first));
    PlatformSel sel =
        handles.native<const PlatformSelectorOpaque>(context.argument(first + 1), Handles::Kind::selector);
    if (!sel) {
        throw Fault("a message was sent with a null selector");
    }
    model::Method method = model::methodFor(receiver, sel);
    const char *types = receiver ? method.types : model::selectorTypes(sel);
    if (model::trace::enabled()) {
        std::vector<std::string> arguments;
        if (types) {
            arguments = bridge.describeArguments(context, bridge.signature(types), first, 2);
        }
        model::trace::record(model::trace::message(receiver, sel, arguments));
    }
    if (!receiver) {
        // A message to nil answers zero without effect (a structure it returns in memory stays as it is).
        if (first == 0) {
            context.setResults(0, 0);
        }
        return;
    }
    if (!method.imp) {
        model::raiseUnrecognized(receiver, sel);
    }
    if (uint64_t emulated = bridge.emulatedFunction(method.imp)) {
        context.jump(emulated); // the replacement runs with the send's own registers, as objc_msgSend jumps
        return;
    }
    if (!types) {
        throw Fault(std::string("the platform's method ") + model::selectorName(sel) +
                    " has no type encoding");
    }
    bridge.callNative(context, method.imp, bridge.signature(types), first);
}

void hookMessage(Bridge &bridge, TrapContext &context) {
    Processor &processor = bridge.processor();
    Handles &handles = bridge.handles();
    auto cls = static_cast<PlatformClass>(handles.nativeClass(context.argument(0)));
    PlatformSel sel =
        handles.native<const PlatformSelectorOpaque>(context.argument(1), Handles::Kind::selector);
    uint64_t replacement = context.argument(2);
    uint64_t slot = context.argument(3);
    // The runtime authenticates an implementation it is handed as a C function pointer would be.
    if (processor.authenticates() && !processor.checkSignature(replacement, Key::IA, 0)) {
        throw Fault("MSHookMessageEx was handed a replacement for " + std::string(model::selectorName(sel)) +
                    " whose signature does not check");
    }
    // The facility's record names the slot, as the slice's own symbols name it.
    std::string slotName = bridge.symbolAt(slot);
    model::Method displaced = cls ? model::classOf(cls)->lookup(sel) : model::Method{};
    if (!displaced.imp) {
        PlatformImp untouched = nullptr;
        model::hookMessage(cls, sel, nullptr, &untouched, slotName); // replaces nothing; records why
        return;
    }
    if (!displaced.types) {
        throw Fault(std::string("the platform's method ") + model::selectorName(sel) +
                    " has no type encoding");
    }
    PlatformImp previous = nullptr;
    model::hookMessage(cls, sel, bridge.nativeCallable(replacement, displaced.types), &previous, slotName);
    processor.writePointer(slot, bridge.emulatedCallable(previous, displaced.types));
}

} // namespace

void addObjectiveCImports(Bridge &bridge) {
    Processor &processor = bridge.processor();
    Handles &handles = bridge.handles();
    bridge.addFunction("_objc_msgSend", {libobjc}, [&](TrapContext &c) { sendMessage(bridge, c, 0); });
    if (processor.abi().structuresInMemory) {
        bridge.addFunction("_objc_msgSend_stret", {libobjc},
                           [&](TrapContext &c) { sendMessage(bridge, c, 1); });
    }
    bridge.addFunction("_objc_getClass", {libobjc}, [&](TrapContext &c) {
        c.setResult(handles.emulated(objc_getClass(processor.readCString(c.argument(0)).c_str())));
    });
    bridge.addFunction("_sel_registerName", {libobjc}, [&](TrapContext &c) {
        c.setResult(handles.emulated(sel_registerName(processor.readCString(c.argument(0)).c_str()),
                                     Handles::Kind::selector));
    });
    bridge.addFunction("_NSClassFromString", {foundation}, [&](TrapContext &c) {
        c.setResult(handles.emulated(NSClassFromString(handles.native<PlatformObjectOpaque>(c.argument(0)))));
    });
    bridge.addFunction("_MSHookMessageEx", {substrateRootful, substrateRootless, substrateRoothide},
                       [&](TrapContext &c) { hookMessage(bridge, c); });
}

} // namespace emulator
