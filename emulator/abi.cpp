#include "emulator/abi.h"

#include <unicorn/unicorn.h>

#include <climits>

#include "emulator/processor.h"

namespace emulator {
namespace {

// AAPCS as Apple uses it on 32-bit ARM.
const Abi arm{4,
              4,
              UC_ARCH_ARM,
              UC_CPU_ARM_CORTEX_A15,
              UC_ARM_REG_R0,
              UC_ARM_REG_R1,
              UC_ARM_REG_SP,
              UC_ARM_REG_PC,
              UC_ARM_REG_LR,
              UC_ARM_REG_R12,
              true};

// Darwin's arm64 convention.
const Abi arm64{8,
                8,
                UC_ARCH_ARM64,
                UC_CPU_ARM64_MAX,
                UC_ARM64_REG_X0,
                UC_ARM64_REG_X1,
                UC_ARM64_REG_SP,
                UC_ARM64_REG_PC,
                UC_ARM64_REG_X30,
                UC_ARM64_REG_X16,
                false};

} // namespace

const Abi &abiOf(macho::Arch arch) {
    return macho::is64Bit(arch) ? arm64 : arm;
}

uint64_t Abi::word(uint64_t value) const {
    return pointerSize == 8 ? value : static_cast<uint32_t>(value);
}

int64_t Abi::signedInteger(uint64_t raw) const {
    return pointerSize == 8 ? static_cast<int64_t>(raw) : static_cast<int32_t>(raw);
}

uint64_t Abi::fromNativeInteger(uint64_t value) const {
    if (pointerSize == 8) {
        return value;
    }
    if (value == static_cast<uint64_t>(LONG_MAX)) {
        return INT32_MAX;
    }
    if (value > UINT32_MAX && value < ~uint64_t(UINT32_MAX)) {
        throw Fault("a native integer does not fit the 32-bit slice's NSInteger");
    }
    return value & UINT32_MAX;
}

} // namespace emulator
