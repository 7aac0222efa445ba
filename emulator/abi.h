// A processor's calling convention and layouts, chosen once per slice: where arguments live, how
// a result comes back, whether a structure comes back in memory, how wide an integer is, and how
// the interface list is laid out. The processor and the bridge ask it and never test the word
// size themselves.
#pragma once

#include <cstdint>

#include "emulator/macho/image.h"

namespace emulator {

struct Abi {
    unsigned pointerSize;
    unsigned argumentRegisters; // integer and pointer arguments in registers, the rest on the stack
    // Unicorn's numbers for the engine and the registers the convention uses.
    int engineArchitecture;
    int engineModel;
    int firstArgument; // the argument registers follow it in order; the first is also the result
    int secondResult;  // the result's second word: a 16-byte structure on arm64, a long long on ARM
    int stackPointer;
    int programCounter;
    int linkRegister;
    int callTarget; // what the entry stub branches to: x16 on arm64, r12 on ARM
    // A structure (NSRange) comes back through a hidden first argument, and objc_msgSend_stret
    // sends such messages, on 32-bit ARM; in registers on arm64.
    bool structuresInMemory;

    // A register's or a word's value as the slice holds it: 32 bits on ARM.
    uint64_t word(uint64_t value) const;
    // An NSInteger argument as the slice passes it: sign-extended from 32 bits on ARM.
    int64_t signedInteger(uint64_t raw) const;
    // A native NSInteger or NSUInteger as the slice holds it: NSNotFound is each width's largest
    // signed value. Throws Fault for a value that does not fit.
    uint64_t fromNativeInteger(uint64_t value) const;

    // struct ifaddrs: six pointers and the flags word, as wide as a pointer.
    uint64_t interfaceEntrySize() const { return 7 * pointerSize; }
    enum InterfaceField {
        next = 0,
        name = 1,
        flags = 2,
        address = 3,
        netmask = 4,
        destination = 5,
        data = 6
    };
    uint64_t interfaceField(InterfaceField field) const { return field * pointerSize; }
};

const Abi &abiOf(macho::Arch arch);

} // namespace emulator
