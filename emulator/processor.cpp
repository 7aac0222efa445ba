#include "emulator/processor.h"

#include <unicorn/unicorn.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <utility>

namespace emulator {
namespace {

// The emulator's own memory, below any address a slid image takes.
constexpr uint64_t runtimeBase = 0x01000000; // trampolines, stubs, then the traps
constexpr uint64_t runtimeSize = 0x10000;
constexpr uint64_t trapsOffset = 0x1000;
constexpr uint64_t stackBase = 0x02000000;
constexpr uint64_t stackSize = 0x100000;
// Below the caller's stack pointer, what a nested call leaves untouched (the arm64 red zone is 128).
constexpr uint64_t nestedCallGap = 512;

// A register as the slice holds it; written narrowed to the slice's word.
uint64_t readRegister(uc_engine *uc, const Abi &abi, int reg) {
    uint64_t value = 0;
    uc_reg_read(uc, reg, &value);
    return abi.word(value);
}

void writeRegister(uc_engine *uc, const Abi &abi, int reg, uint64_t value) {
    // Unicorn reads a register's own width from the value's start: the low word, little-endian.
    uint64_t narrow = abi.word(value);
    uc_reg_write(uc, reg, &narrow);
}

void check(uc_err error, const char *what) {
    if (error != UC_ERR_OK) {
        throw Limit(std::string(what) + ": " + uc_strerror(error));
    }
}

int uniformMask(unsigned protection) {
    int mask = UC_PROT_NONE;
    if (protection & protectionRead) {
        mask |= UC_PROT_READ;
    }
    if (protection & protectionWrite) {
        mask |= UC_PROT_WRITE;
    }
    if (protection & protectionExecute) {
        mask |= UC_PROT_EXEC;
    }
    return mask;
}

} // namespace

struct Processor::Engine {
    uc_engine *uc = nullptr;
    std::exception_ptr pending; // an error raised by a trap handler, rethrown after the run
    ~Engine() {
        if (uc) {
            uc_close(uc);
        }
    }
};

Processor::Processor(macho::Arch arch) : arch_(arch), abi_(abiOf(arch)) {
    std::random_device random;
    for (uint64_t &key : keys_) {
        key = uint64_t(random()) << 32 | random();
    }
    runtimeCode_ = map(runtimeBase, runtimeSize, protectionRead | protectionExecute);
    std::memcpy(runtimeCode_, abi_.runtimeCode, abi_.runtimeCodeWords * 4);
    for (uint64_t at = trapsOffset; at < runtimeSize; at += 4) {
        std::memcpy(runtimeCode_ + at, &abi_.returnInstruction, 4);
    }
    map(stackBase, stackSize, protectionRead | protectionWrite);
    stackTop_ = stackBase + stackSize;
}

Processor::~Processor() {
    engines_.clear(); // the engines map the regions' memory: they go first
    for (Region &region : regions_) {
        std::free(region.memory);
    }
}

uint8_t *Processor::map(uint64_t address, uint64_t size, uint32_t protection) {
    std::lock_guard guard(lock_);
    size = (size + 0xfff) & ~uint64_t(0xfff);
    auto *memory = static_cast<uint8_t *>(std::aligned_alloc(0x1000, size));
    if (!memory) {
        throw Limit("out of memory for the emulated image");
    }
    std::memset(memory, 0, size);
    regions_.push_back({address, size, protection, memory});
    for (auto &engine : engines_) {
        mapInto(*engine, regions_.back());
    }
    return memory;
}

void Processor::mapInto(Engine &engine, const Region &region) {
    check(
        uc_mem_map_ptr(engine.uc, region.address, region.size, uniformMask(region.protection), region.memory),
        "mapping emulated memory");
}

void Processor::read(uint64_t address, void *out, size_t size) const {
    for (const Region &region : regions_) {
        if (address >= region.address && address - region.address <= region.size &&
            size <= region.size - (address - region.address)) {
            std::memcpy(out, region.memory + (address - region.address), size);
            return;
        }
    }
    throw Fault("the library handed over an address no memory lies at: " + where(address));
}

void Processor::write(uint64_t address, const void *data, size_t size) {
    for (const Region &region : regions_) {
        if (address >= region.address && address - region.address <= region.size &&
            size <= region.size - (address - region.address)) {
            std::memcpy(region.memory + (address - region.address), data, size);
            return;
        }
    }
    throw Fault("the library handed over an address no memory lies at: " + where(address));
}

uint64_t Processor::readPointer(uint64_t address) const {
    uint64_t value = 0; // little-endian: the low word of a 32-bit slice's pointer comes first
    read(address, &value, abi_.pointerSize);
    return value;
}

void Processor::writePointer(uint64_t address, uint64_t value) {
    write(address, &value, abi_.pointerSize);
}

std::string Processor::readCString(uint64_t address) const {
    std::string text;
    for (;; ++address) {
        char c;
        read(address, &c, 1);
        if (c == '\0') {
            return text;
        }
        if (text.size() >= 0x10000) {
            throw Fault("a C string of the library has no end within 64 KiB");
        }
        text += c;
    }
}

uint64_t Processor::trapAddress(uint32_t trap) const {
    return runtimeBase + trapsOffset + 4 * uint64_t(trap);
}

uint32_t Processor::trapCount() const {
    return static_cast<uint32_t>((runtimeSize - trapsOffset) / 4);
}

std::string Processor::where(uint64_t pc) const {
    char text[96];
    if (pc >= imageBase_ && pc < imageEnd_) {
        std::snprintf(text, sizeof text, "library+0x%llx", static_cast<unsigned long long>(pc - imageBase_));
    } else {
        std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(pc));
    }
    return text;
}

Processor::Engine &Processor::engine(size_t depth) {
    while (engines_.size() <= depth) {
        auto made = std::make_unique<Engine>();
        check(uc_open(static_cast<uc_arch>(abi_.engineArchitecture), UC_MODE_ARM, &made->uc),
              "opening the emulator");
        check(uc_ctl_set_cpu_model(made->uc, abi_.engineModel), "choosing the processor");
        for (const Region &region : regions_) {
            mapInto(*made, region);
        }
        uc_hook hook;
        auto onTrap = +[](uc_engine *uc, uint64_t address, uint32_t, void *self) {
            static_cast<Processor *>(self)->onTrap(uc, address);
        };
        check(uc_hook_add(made->uc, &hook, UC_HOOK_CODE, reinterpret_cast<void *>(onTrap), this,
                          runtimeBase + trapsOffset, runtimeBase + runtimeSize - 1),
              "adding the trap hook");
        if (countEnd_ > countBegin_) {
            auto count = +[](uc_engine *, uint64_t, uint32_t, void *self) {
                ++static_cast<Processor *>(self)->instructions_;
            };
            check(uc_hook_add(made->uc, &hook, UC_HOOK_CODE, reinterpret_cast<void *>(count), this,
                              countBegin_, countEnd_ - 1),
                  "adding the instruction counter");
        }
        abi_.prepareEngine(made->uc, keys_);
        if (authenticates()) {
            // The enable bits must be set by executed code: a register write leaves the
            // translator's cached state behind and the PAC instructions would do nothing.
            uint64_t stop = runtimeBase + abi_.stubs.plainEntry + 4;
            writeRegister(made->uc, abi_, abi_.linkRegister, stop);
            check(uc_emu_start(made->uc, runtimeBase + abi_.stubs.boot, stop, 0, 0),
                  "switching pointer authentication on");
        }
        engines_.push_back(std::move(made));
    }
    return *engines_[depth];
}

void Processor::countInstructionsIn(uint64_t begin, uint64_t end) {
    std::lock_guard guard(lock_);
    if (!engines_.empty()) {
        throw Fault("instructions are counted from the first engine on");
    }
    countBegin_ = begin;
    countEnd_ = end;
}

uint64_t Processor::call(uint64_t function, const std::vector<uint64_t> &arguments, bool signedTarget) {
    std::lock_guard guard(lock_);
    size_t depth = depth_;
    Engine &outer = engine(depth > 0 ? depth - 1 : 0);
    Engine &e = engine(depth);
    uc_engine *uc = e.uc;

    // A nested call starts below the stack of the run that reached the trap.
    uint64_t sp = stackTop_;
    if (depth > 0) {
        sp = readRegister(outer.uc, abi_, abi_.stackPointer) - nestedCallGap;
    }
    unsigned inRegisters = abi_.argumentRegisters;
    size_t onStack = arguments.size() > inRegisters ? arguments.size() - inRegisters : 0;
    // Checked before anything is written: a stack pointer the library wound down (or wrapped
    // round) leaves no room for the call.
    uint64_t needed = stackBase + 0x1000 + onStack * pointerSize() + 15;
    if (sp < needed || sp > stackTop_) {
        throw Fault("the emulated stack is exhausted");
    }
    sp = (sp - onStack * pointerSize()) & ~uint64_t(15);
    for (size_t i = 0; i < onStack; ++i) {
        writePointer(sp + i * pointerSize(), arguments[inRegisters + i]);
    }

    uint64_t entry = runtimeBase + (signedTarget ? abi_.stubs.signedEntry : abi_.stubs.plainEntry);
    for (size_t i = 0; i < arguments.size() && i < inRegisters; ++i) {
        writeRegister(uc, abi_, abi_.firstArgument + static_cast<int>(i), arguments[i]);
    }
    writeRegister(uc, abi_, abi_.callTarget, function);
    writeRegister(uc, abi_, abi_.stackPointer, sp);

    ++depth_;
    uc_err error = uc_emu_start(uc, entry, entry + 4, 0, instructionBudget);
    --depth_;
    if (e.pending) {
        std::rethrow_exception(std::exchange(e.pending, nullptr));
    }
    uint64_t pc = readRegister(uc, abi_, abi_.programCounter);
    if (error != UC_ERR_OK) {
        throw Fault(std::string("the library faulted at ") + where(pc) + ": " + uc_strerror(error));
    }
    // Unicorn stops quietly when the budget runs out: short of the return, the call never ended.
    if (pc != entry + 4) {
        throw Fault("the library ran " + std::to_string(instructionBudget) +
                    " instructions in one call without returning, and was at " + where(pc));
    }
    return readRegister(uc, abi_, abi_.firstArgument);
}

void Processor::onTrap(void *uc, uint64_t address) {
    Engine *running = nullptr;
    for (auto &engine : engines_) {
        if (engine->uc == uc) {
            running = engine.get();
        }
    }
    try {
        TrapContext context(*this, uc);
        trapHandler_(context, static_cast<uint32_t>((address - runtimeBase - trapsOffset) / 4));
    } catch (const Fault &) {
        stopWith(*running, std::current_exception());
    } catch (const Limit &) {
        stopWith(*running, std::current_exception());
    } catch (const std::exception &raised) {
        // Raised by native code the library called, it would unwind through the library's frames,
        // which only a device's unwinder can do.
        stopWith(*running, std::make_exception_ptr(Limit(
                               std::string("an exception would unwind through the library's emulated code, "
                                           "which emulation cannot do: ") +
                               raised.what())));
    } catch (...) {
        stopWith(*running, std::current_exception());
    }
}

// Nothing may unwind through the emulator's C frames: stop, and rethrow after the run.
void Processor::stopWith(Engine &running, std::exception_ptr failure) {
    running.pending = std::move(failure);
    uc_emu_stop(running.uc);
}

uint64_t Processor::runStub(uint64_t stub, uint64_t x0, uint64_t x1) {
    return call(runtimeBase + stub, {x0, x1});
}

uint64_t Processor::sign(uint64_t pointer, Key key, uint64_t discriminator) {
    return runStub(abi_.stubs.sign + 8 * static_cast<uint64_t>(key), pointer, discriminator);
}

bool Processor::checkSignature(uint64_t pointer, Key key, uint64_t discriminator) {
    return runStub(abi_.stubs.authenticate + 8 * static_cast<uint64_t>(key), pointer, discriminator) ==
           strip(pointer);
}

uint64_t Processor::strip(uint64_t pointer) {
    return runStub(abi_.stubs.strip, pointer, 0);
}

uint64_t TrapContext::argument(unsigned index) const {
    auto *uc = static_cast<uc_engine *>(engine_);
    const Abi &abi = processor_.abi_;
    if (index < abi.argumentRegisters) {
        return readRegister(uc, abi, abi.firstArgument + static_cast<int>(index));
    }
    uint64_t sp = readRegister(uc, abi, abi.stackPointer);
    return processor_.readPointer(sp + (index - abi.argumentRegisters) * abi.pointerSize);
}

void TrapContext::setResult(uint64_t value) {
    writeRegister(static_cast<uc_engine *>(engine_), processor_.abi_, processor_.abi_.firstArgument, value);
}

void TrapContext::setResults(uint64_t first, uint64_t second) {
    setResult(first);
    writeRegister(static_cast<uc_engine *>(engine_), processor_.abi_, processor_.abi_.secondResult, second);
}

uint64_t TrapContext::returnAddress() const {
    return readRegister(static_cast<uc_engine *>(engine_), processor_.abi_, processor_.abi_.linkRegister);
}

void TrapContext::jump(uint64_t address) {
    // On ARM the low bit selects Thumb, as a branch's would.
    writeRegister(static_cast<uc_engine *>(engine_), processor_.abi_, processor_.abi_.programCounter,
                  address);
}

} // namespace emulator
