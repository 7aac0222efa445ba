// The emulated processor itself, on code of a few instructions: calls back into emulated code from
// a trap, Thumb interworking, exact counts, and pointer authentication with this run's keys.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "emulator/processor.h"

namespace {

using emulator::Key;
using emulator::Processor;

constexpr uint64_t code = 0x10000000;

void place(Processor &processor, const std::vector<uint32_t> &words) {
    uint8_t *memory = processor.map(code, 0x1000, emulator::protectionRead | emulator::protectionExecute);
    std::memcpy(memory, words.data(), words.size() * 4);
}

// outer(f): calls f(x0) through x16 and adds 1; inner(x): adds 100.
const std::vector<uint32_t> arm64Code = {
    0xa9bf7bfd, 0xaa0003f0, 0xd63f0200, 0x91000400, 0xa8c17bfd, 0xd65f03c0, // outer, at 0x00
    0x91019000, 0xd65f03c0,                                                 // inner, at 0x18
};

TEST(Processor, ATrapMayCallBackIntoEmulatedCodeAndEveryInstructionIsCounted) {
    for (auto arch : {emulator::macho::Arch::arm64, emulator::macho::Arch::arm64e}) {
        Processor processor(arch);
        place(processor, arm64Code);
        processor.countInstructionsIn(code, code + 0x1000);
        processor.setTrapHandler([&](emulator::TrapContext &context, uint32_t trap) {
            ASSERT_EQ(trap, 0u);
            context.setResult(processor.call(code + 0x18, {context.argument(0)}));
        });
        uint64_t trap = processor.trapAddress(0);
        EXPECT_EQ(processor.call(code, {trap}), trap + 101);
        EXPECT_EQ(processor.instructions(), 8u); // six of outer, two of inner; none of the trap
        EXPECT_EQ(processor.call(code, {trap}), trap + 101);
        EXPECT_EQ(processor.instructions(), 16u);
    }
}

TEST(Processor, ThumbCodeRunsAndReturnsThroughArmTraps) {
    Processor processor(emulator::macho::Arch::armv7);
    // At 0: push {lr}; blx r1; adds r0, #1; pop {pc}, all Thumb.
    place(processor, {0x4788b500, 0xbd003001});
    processor.setTrapHandler(
        [](emulator::TrapContext &context, uint32_t) { context.setResult(context.argument(0) * 2); });
    EXPECT_EQ(processor.call(code | 1, {10, processor.trapAddress(0)}), 21u);
}

TEST(Processor, PointersAreSignedWithThisRunsKeysAndABadSignatureFaults) {
    Processor processor(emulator::macho::Arch::arm64e);
    place(processor, arm64Code);
    uint64_t inner = code + 0x18;
    uint64_t signedInner = processor.sign(inner, Key::IA, 0);
    EXPECT_NE(signedInner, inner);
    EXPECT_EQ(processor.strip(signedInner), inner);
    EXPECT_TRUE(processor.checkSignature(signedInner, Key::IA, 0));
    EXPECT_FALSE(processor.checkSignature(signedInner, Key::IA, 1));
    EXPECT_FALSE(processor.checkSignature(signedInner, Key::IB, 0));
    EXPECT_NE(processor.sign(inner, Key::DA, 0), signedInner);

    EXPECT_EQ(processor.call(signedInner, {1}, true), 101u);
    EXPECT_THROW(processor.call(inner, {1}, true), emulator::Fault);
    EXPECT_THROW(processor.call(processor.sign(inner, Key::IA, 7), {1}, true), emulator::Fault);

    Processor other(emulator::macho::Arch::arm64e); // another run, other keys
    EXPECT_FALSE(other.checkSignature(signedInner, Key::IA, 0));
}

} // namespace
