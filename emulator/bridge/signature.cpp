#include "emulator/bridge/signature.h"

#include <cstdint>

#include "emulator/processor.h"

namespace emulator {
namespace {

ffi_type *rangeType() {
    static ffi_type *elements[] = {&ffi_type_uint64, &ffi_type_uint64, nullptr};
    static ffi_type range = {0, 0, FFI_TYPE_STRUCT, elements};
    return &range;
}

ffi_type *ffiType(char kind) {
    switch (kind) {
    case '@':
    case '#':
    case ':':
    case '*':
    case '^':
        return &ffi_type_pointer;
    case 'c':
        return &ffi_type_schar;
    case 'B':
        return &ffi_type_uint8;
    case 'i':
        return &ffi_type_sint32;
    case 'I':
        return &ffi_type_uint32;
    case 'q':
        return &ffi_type_sint64;
    case 'Q':
        return &ffi_type_uint64;
    case 'R':
        return rangeType();
    case 'v':
        return &ffi_type_void;
    }
    return nullptr;
}

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
    if (!ffiType(kind)) {
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
        types.push_back(ffiType(kind));
    }
    if (ffi_prep_cif(&cif, FFI_DEFAULT_ABI, static_cast<unsigned>(types.size()), ffiType(result),
                     types.data()) != FFI_OK) {
        throw Limit("libffi cannot call a function of type " + encoding);
    }
}

} // namespace emulator
