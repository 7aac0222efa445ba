// The record of the platform calls the library makes, for the simulator's trace.
#include <cstdio>
#include <mutex>

#include "platform/model/foundation_kinds.h"

namespace model::trace {
namespace {

std::atomic<bool> on{false};

struct Record {
    std::mutex lock;
    std::vector<std::string> calls;
};

Record &calls() {
    static Record *instance = new Record; // the notify centre's thread may record during exit
    return *instance;
}

} // namespace

void enable(bool enabled) {
    on.store(enabled, std::memory_order_relaxed);
}

bool enabled() {
    return on.load(std::memory_order_relaxed);
}

void record(std::string call) {
    std::lock_guard guard(calls().lock);
    calls().calls.push_back(std::move(call));
}

std::vector<std::string> take() {
    std::lock_guard guard(calls().lock);
    return std::exchange(calls().calls, {});
}

std::string object(PlatformId id) {
    if (!id) {
        return "nil";
    }
    if (std::optional<std::string> text = stringValue(id)) {
        return quoteText(*text);
    }
    return model::object(id)->describe();
}

std::string selector(PlatformSel sel) {
    return std::string("@selector(") + selectorName(sel) + ")";
}

std::string call(const char *function, const std::vector<std::string> &arguments) {
    std::string out = std::string(function) + "(";
    for (size_t i = 0; i < arguments.size(); ++i) {
        out += (i ? ", " : "") + arguments[i];
    }
    return out + ")";
}

std::string message(PlatformId receiver, PlatformSel sel, const std::vector<std::string> &arguments) {
    std::string kind = "-[nil ";
    if (receiver) {
        Class *isa = model::object(receiver)->isa();
        kind = (isa->isMetaclass() ? "+[" : "-[") + isa->name() + " ";
    }
    // Each argument follows the part of the selector that names it: -[d objectForKey:"k"].
    std::string name = selectorName(sel);
    std::string out = kind;
    size_t start = 0;
    for (const std::string &argument : arguments) {
        size_t colon = name.find(':', start);
        if (colon == std::string::npos) {
            break;
        }
        out += (start ? " " : "") + name.substr(start, colon + 1 - start) + argument;
        start = colon + 1;
    }
    return out + (arguments.empty() ? name : "") + "]";
}

} // namespace model::trace
