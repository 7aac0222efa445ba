// Inside the host: the runtime it was installed into, the card it holds, and messages its own code
// sends, as compiled code sends them. For the host's own files alone.
#pragma once

#include <string>
#include <type_traits>

#include "springboard/springboard.h"

namespace springboard {

const Runtime &hostRuntime();
SimCard currentCard();
// [NSBundle bundleForClass:<the status-bar data provider's class>]: where its texts are.
PlatformId dataProviderBundle();

// A message the host's own code sends, through the runtime, as compiled code sends it.
template <typename R, typename... A>
R call(PlatformImp imp, PlatformId receiver, PlatformSel selector, A... arguments) {
    auto typed = reinterpret_cast<R (*)(PlatformId, PlatformSel, A...)>(imp);
    void (*rethrow)() = hostRuntime().rethrowDeferred;
    if constexpr (std::is_void_v<R>) {
        typed(receiver, selector, arguments...);
        if (rethrow) {
            rethrow();
        }
    } else {
        R result = typed(receiver, selector, arguments...);
        if (rethrow) {
            rethrow();
        }
        return result;
    }
}

// As a compiled message send: nil answers zero; a method the receiver lacks raises, as the runtime
// raises on an unrecognized selector.
template <typename R, typename... A> R message(PlatformId receiver, const char *name, A... arguments) {
    if (!receiver) {
        return R();
    }
    const Runtime &runtime = hostRuntime();
    PlatformSel selector = runtime.selector(name);
    PlatformImp imp = runtime.lookUp(receiver, selector);
    if (!imp) {
        runtime.raise(std::string(name) + ": unrecognized selector sent to " + runtime.describe(receiver));
    }
    return call<R>(imp, receiver, selector, arguments...);
}

} // namespace springboard
