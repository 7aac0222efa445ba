#include "emulator/bridge/signature.h"

#include <cstdint>

#include "emulator/bridge/kinds.h"
#include "emulator/failures.h"

namespace emulator {
namespace {

// Reads one kind from the encoding at `at`, skipping qualifiers and frame offsets.
char readKind(const std::string &encoding, size_t &at) {
    while (at < encoding.size() && std::string("rnNoORV").find(encoding[at]) != std::string::npos) {
        ++at;
    }
    if (at >= encoding.size()) {
        throw Fault("the type encoding " + encoding + " ends early");
    }
    char kind = encoding[at++];
    if (kind == '^') {
        if (at < encoding.size() && encoding[at] == 'v') {
            ++at;
        }
    } else if (kind == '{') {
        size_t close = encoding.find('}', at);
        if (close == std::string::npos || encoding.compare(at, 8, "_NSRange") != 0) {
            throw Limit("the bridge passes no structure but NSRange: " + encoding);
        }
        at = close + 1;
        kind = 'R';
    }
    while (at < encoding.size() && encoding[at] >= '0' && encoding[at] <= '9') {
        ++at;
    }
    if (!kindOf(kind)) {
        throw Limit(std::string("the bridge cannot pass a value of kind '") + kind + "' (" + encoding + ")");
    }
    return kind;
}

} // namespace

Signature::Signature(const std::string &text) : encoding(text) {
    size_t at = 0;
    result = readKind(encoding, at);
    while (at < encoding.size()) {
        arguments.push_back(readKind(encoding, at));
    }
    for (char kind : arguments) {
        types.push_back(kindOf(kind)->type);
    }
    if (ffi_prep_cif(&cif, FFI_DEFAULT_ABI, static_cast<unsigned>(types.size()), kindOf(result)->type,
                     types.data()) != FFI_OK) {
        throw Limit("libffi cannot call a function of type " + encoding);
    }
}

} // namespace emulator
