// The kinds of value that cross between emulated code and the platform, one row each: its letter
// in the platform's type encoding, libffi's type for it, and how it goes each way. The signature
// reader and the bridge both read this one table.
#pragma once

#include <ffi.h>

#include <cstdint>
#include <string>

namespace emulator {

class Bridge;

// One native value as libffi passes it.
union NativeValue {
    void *pointer;
    signed char character;
    uint8_t boolean;
    int32_t int32;
    uint32_t uint32;
    int64_t int64;
    uint64_t uint64;
};

struct Kind {
    char code; // '@' object, '#' class, ':' selector, '*' C string, '^' opaque pointer, 'c' signed
               // char, 'B' bool, 'i'/'I' 32-bit integers, 'q'/'Q' native integers (long), 'R' NSRange,
               // 'v' nothing
    ffi_type *type;
    // An emulated argument register as the native function takes it; `text` holds what a C string
    // points at while the call lasts. Null: the bridge passes no such argument (it throws Limit).
    void (*toNative)(Bridge &bridge, uint64_t raw, NativeValue &value, std::string &text);
    // A native value (an argument of a native caller, or a native result) as emulated code takes it.
    uint64_t (*toEmulated)(Bridge &bridge, const void *value);
    // An emulated function's result as its native caller takes it, into libffi's result buffer.
    void (*toNativeResult)(Bridge &bridge, uint64_t returned, void *result);
    // How an argument reads in a trace.
    std::string (*describe)(Bridge &bridge, uint64_t raw);
};

// The kind of a letter, or null for one the bridge cannot pass.
const Kind *kindOf(char code);

} // namespace emulator
