// arm64: Darwin's convention, the emulator's own code for it, and the system registers that let
// pointer authentication run with the run's keys.
#include "emulator/abi/processors.h"

#include <cstddef>

namespace emulator {
namespace {

// The emulator's own arm64 code, in the order it lies at the start of the runtime page.
struct Arm64Runtime {
    uint32_t plainEntry[2];  // blr x16; nop (the stop address)
    uint32_t signedEntry[2]; // blraaz x16; nop
    uint32_t unused[12];
    uint32_t sign[4][2];         // pacia, pacib, pacda, pacdb x0, x1; ret
    uint32_t authenticate[4][2]; // autia, autib, autda, autdb x0, x1; ret
    uint32_t strip[4];           // xpaci x0; ret
    // mrs x0, sctlr_el1; orr EnIA, EnIB, EnDA, EnDB; msr sctlr_el1, x0; isb; ret
    uint32_t boot[8];
};
constexpr uint32_t arm64Ret = 0xd65f03c0;
constexpr Arm64Runtime arm64Runtime = {
    {0xd63f0200, 0xd503201f},
    {0xd63f0a1f, 0xd503201f},
    {},
    {{0xdac10020, arm64Ret}, {0xdac10420, arm64Ret}, {0xdac10820, arm64Ret}, {0xdac10c20, arm64Ret}},
    {{0xdac11020, arm64Ret}, {0xdac11420, arm64Ret}, {0xdac11820, arm64Ret}, {0xdac11c20, arm64Ret}},
    {0xdac143e0, arm64Ret, 0, 0},
    {0xd5381000, 0xb2610000, 0xb2620000, 0xb2650000, 0xb2730000, 0xd5181000, 0xd5033fdf, arm64Ret},
};
// Each stub is one instruction and a return, which the sign, authenticate and strip calls count on.
static_assert(sizeof arm64Runtime.sign[0] == 8 && sizeof arm64Runtime.authenticate[0] == 8);

// System registers, by their encoding (op0, op1, CRn, CRm, op2), and the bits set in them.
struct SystemRegister {
    uint32_t op0, op1, crn, crm, op2;
};
constexpr SystemRegister scrEL3{3, 6, 1, 1, 0};
constexpr SystemRegister hcrEL2{3, 4, 1, 1, 0};
constexpr uint64_t scrNonSecure = 1ull << 0, scrLowerLevelsAre64Bit = 1ull << 10, scrAllowKeys = 1ull << 16,
                   scrAllowAuthentication = 1ull << 17;
constexpr uint64_t hcrAllowKeys = 1ull << 40, hcrAllowAuthentication = 1ull << 41;
// APIAKey_EL1 and its neighbours: the instruction keys (IA, IB) at CRm 1, the data keys at CRm 2,
// each a low and a high half at op2 0 and 1, then 2 and 3.
constexpr SystemRegister instructionKeys{3, 0, 2, 1, 0};
constexpr SystemRegister dataKeys{3, 0, 2, 2, 0};

void writeSystemRegister(uc_engine *uc, SystemRegister reg, uint32_t op2Offset, uint64_t value) {
    uc_arm64_cp_reg cp{reg.crn, reg.crm, reg.op0, reg.op1, reg.op2 + op2Offset, value};
    checkEngine(uc_reg_write(uc, UC_ARM64_REG_CP_REG, &cp), "setting a system register");
}

// Pointer authentication is implemented but trapped until the higher levels allow it.
void prepareArm64(void *engine, const uint64_t *keys) {
    auto *uc = static_cast<uc_engine *>(engine);
    writeSystemRegister(uc, scrEL3, 0,
                        scrAllowAuthentication | scrAllowKeys | scrLowerLevelsAre64Bit | scrNonSecure);
    writeSystemRegister(uc, hcrEL2, 0, hcrAllowAuthentication | hcrAllowKeys);
    for (uint32_t half = 0; half < 4; ++half) {
        writeSystemRegister(uc, instructionKeys, half, keys[half]);
        writeSystemRegister(uc, dataKeys, half, keys[4 + half]);
    }
}

} // namespace

// Darwin's arm64 convention.
const Abi &arm64Abi() {
    static const Abi abi{8,
                         8,
                         UC_ARCH_ARM64,
                         UC_CPU_ARM64_MAX,
                         UC_ARM64_REG_X0,
                         UC_ARM64_REG_X1,
                         UC_ARM64_REG_SP,
                         UC_ARM64_REG_PC,
                         UC_ARM64_REG_X30,
                         UC_ARM64_REG_X16,
                         false,
                         reinterpret_cast<const uint32_t *>(&arm64Runtime),
                         sizeof arm64Runtime / 4,
                         arm64Ret,
                         {offsetof(Arm64Runtime, plainEntry), offsetof(Arm64Runtime, signedEntry),
                          offsetof(Arm64Runtime, sign), offsetof(Arm64Runtime, authenticate),
                          offsetof(Arm64Runtime, strip), offsetof(Arm64Runtime, boot)},
                         &prepareArm64};
    return abi;
}

} // namespace emulator
