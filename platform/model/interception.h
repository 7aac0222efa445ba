// What the interception facility and the class lookup saw, and the hooks a bridge to emulated code
// uses to hook on a slot it names itself.
#pragma once

#include <string>
#include <vector>

#include "platform/objects.h"

namespace model {

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

} // namespace model
