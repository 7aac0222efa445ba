// A processor's calling convention and layouts, chosen once per slice: where arguments live, how
// a result comes back, whether a structure comes back in memory, how wide an integer is, and how
// the interface list is laid out. The processor and the bridge ask it and never test the word
// size themselves.
#pragma once

#include <cstddef>
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

    // The emulator's own code at the start of its runtime page, as words of machine code, and
    // where each piece of it lies there (the offsets follow from the layouts in abi.cpp).
    const uint32_t *runtimeCode;
    size_t runtimeCodeWords;
    uint32_t returnInstruction; // what every trap address holds: the handler runs, then this returns
    struct Stubs {
        uint64_t plainEntry;   // calls the call target, then the stop address
        uint64_t signedEntry;  // the same through an authenticated branch (arm64)
        uint64_t sign;         // pac{ia,ib,da,db} x0, x1; ret, 8 bytes each (arm64)
        uint64_t authenticate; // aut{ia,ib,da,db} x0, x1; ret
        uint64_t strip;        // xpaci x0; ret
        uint64_t boot;         // switches the instruction and data keys on
    } stubs;
    // Sets an engine's system registers up as the processor needs them: on arm64 pointer
    // authentication allowed at every level, with the run's keys; on ARM the floating point on.
    void (*prepareEngine)(void *engine, const uint64_t *keys);

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
