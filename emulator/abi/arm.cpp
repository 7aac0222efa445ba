// 32-bit ARM: AAPCS as Apple uses it, and the emulator's own code for it.
#include "emulator/abi/processors.h"

#include <cstddef>

namespace emulator {
namespace {

struct ArmRuntime {
    uint32_t plainEntry[2]; // blx r12; nop (the stop address)
};
constexpr ArmRuntime armRuntime = {{0xe12fff3c, 0xe320f000}};

void prepareArm(void *engine, const uint64_t *) {
    auto *uc = static_cast<uc_engine *>(engine);
    uint32_t enableFloatingPoint = 0x40000000; // FPEXC.EN
    uint32_t fullAccess = 0xf00000;            // CPACR: cp10 and cp11 for every level
    checkEngine(uc_reg_write(uc, UC_ARM_REG_FPEXC, &enableFloatingPoint), "enabling VFP");
    checkEngine(uc_reg_write(uc, UC_ARM_REG_C1_C0_2, &fullAccess), "enabling VFP");
}

} // namespace

// AAPCS as Apple uses it on 32-bit ARM.
const Abi &armAbi() {
    static const Abi abi{4,
                         4,
                         UC_ARCH_ARM,
                         UC_CPU_ARM_CORTEX_A15,
                         UC_ARM_REG_R0,
                         UC_ARM_REG_R1,
                         UC_ARM_REG_SP,
                         UC_ARM_REG_PC,
                         UC_ARM_REG_LR,
                         UC_ARM_REG_R12,
                         true,
                         reinterpret_cast<const uint32_t *>(&armRuntime),
                         sizeof armRuntime / 4,
                         0xe12fff1e, // bx lr
                         {offsetof(ArmRuntime, plainEntry), 0, 0, 0, 0, 0},
                         &prepareArm};
    return abi;
}

} // namespace emulator
