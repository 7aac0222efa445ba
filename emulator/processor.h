// The emulated processor that runs a device slice: Unicorn engines for one architecture, the
// memory they share, calls into emulated code by the slice's calling convention, traps that hand
// a call to native code, pointer authentication with keys of its own, and an exact count of the
// instructions the library executes.
//
// Every call into emulated code takes one lock (`lock()`); `read`, `write` and `readCString` take
// none, and rely on their callers: a trap handler runs under the lock of the call it interrupts,
// and code outside a call takes the lock itself. Native code reached from emulated code may call back
// into emulated code: that nested call runs on another engine that maps the same memory, since
// an engine cannot be re-entered from its own hooks.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "emulator/abi.h"
#include "emulator/failures.h"
#include "emulator/macho/image.h"

namespace emulator {

// The instructions one entry into emulated code may run before it counts as running without end:
// thousands of times what any of the library's calls takes.
constexpr uint64_t instructionBudget = 50'000'000;

constexpr uint32_t protectionRead = 1;
constexpr uint32_t protectionWrite = 2;
constexpr uint32_t protectionExecute = 4;

// Pointer-authentication keys, as the loader's records number them.
enum class Key : uint8_t { IA = 0, IB = 1, DA = 2, DB = 3 };

class Processor;

// The registers of the engine that reached a trap, read and written by the calling convention.
class TrapContext {
  public:
    // Integer or pointer argument `index`, from the registers and then the stack. With a
    // structure returned in memory (objc_msgSend_stret), the hidden pointer is argument 0.
    uint64_t argument(unsigned index) const;
    void setResult(uint64_t value);
    void setResults(uint64_t first, uint64_t second); // a 16-byte structure on arm64
    // Continues at `address` with every argument register untouched, as a tail call.
    void jump(uint64_t address);
    // Where the call that reached the trap returns to: the emulated code that made it.
    uint64_t returnAddress() const;

  private:
    friend class Processor;
    TrapContext(Processor &processor, void *engine) : processor_(processor), engine_(engine) {}
    Processor &processor_;
    void *engine_;
};

class Processor {
  public:
    using TrapHandler = std::function<void(TrapContext &, uint32_t trap)>;

    explicit Processor(macho::Arch arch);
    ~Processor();
    Processor(const Processor &) = delete;
    Processor &operator=(const Processor &) = delete;

    macho::Arch arch() const { return arch_; }
    unsigned pointerSize() const { return abi_.pointerSize; }
    const Abi &abi() const { return abi_; }
    bool authenticates() const { return arch_ == macho::Arch::arm64e; }

    // Zeroed memory at `address`, mapped into every engine; the native pointer stays valid.
    uint8_t *map(uint64_t address, uint64_t size, uint32_t protection);
    // Copies to and from emulated memory; an address outside every mapping is a Fault.
    void read(uint64_t address, void *out, size_t size) const;
    void write(uint64_t address, const void *data, size_t size);
    uint64_t readPointer(uint64_t address) const;
    void writePointer(uint64_t address, uint64_t value);
    std::string readCString(uint64_t address) const;

    // Code of the emulator's own, from which `trapAddress(n)` calls reach `handler` with n.
    void setTrapHandler(TrapHandler handler) { trapHandler_ = std::move(handler); }
    uint64_t trapAddress(uint32_t trap) const;
    uint32_t trapCount() const;

    // Calls emulated code with up to eight integer arguments and returns the first result
    // register. `signedTarget` branches with authentication (arm64e), as the platform calls a
    // signed function pointer. Holds the lock; callable from a trap handler.
    uint64_t call(uint64_t function, const std::vector<uint64_t> &arguments, bool signedTarget = false);

    // Counts every instruction executed in [begin, end), the library's code.
    void countInstructionsIn(uint64_t begin, uint64_t end);
    uint64_t instructions() const { return instructions_; }

    // Pointer authentication, computed by the emulated processor with this run's keys.
    uint64_t sign(uint64_t pointer, Key key, uint64_t discriminator);
    // Whether `pointer` carries a valid signature for `key` and `discriminator`.
    bool checkSignature(uint64_t pointer, Key key, uint64_t discriminator);
    uint64_t strip(uint64_t pointer);

    std::recursive_mutex &lock() { return lock_; }

    // Where the library's image is, for fault messages.
    void describeImage(uint64_t base, uint64_t end) {
        imageBase_ = base;
        imageEnd_ = end;
    }
    // An address as a fault message names it: its offset in the library's image, where it lies there.
    std::string where(uint64_t pc) const;
    bool inImage(uint64_t address) const { return address >= imageBase_ && address < imageEnd_; }

  private:
    friend class TrapContext;
    struct Engine;
    struct Region {
        uint64_t address;
        uint64_t size;
        uint32_t protection;
        uint8_t *memory;
    };

    Engine &engine(size_t depth);
    void mapInto(Engine &engine, const Region &region);
    void onTrap(void *engine, uint64_t address);
    void stopWith(Engine &running, std::exception_ptr failure);
    uint64_t runStub(uint64_t stub, uint64_t x0, uint64_t x1);

    macho::Arch arch_;
    const Abi &abi_;
    std::vector<Region> regions_;
    std::vector<std::unique_ptr<Engine>> engines_;
    size_t depth_ = 0;
    std::recursive_mutex lock_;
    TrapHandler trapHandler_;
    uint64_t countBegin_ = 0;
    uint64_t countEnd_ = 0;
    uint64_t instructions_ = 0;
    uint64_t keys_[8] = {};
    uint64_t imageBase_ = 0;
    uint64_t imageEnd_ = 0;
    uint8_t *runtimeCode_ = nullptr;
    uint64_t stackTop_ = 0;
};

} // namespace emulator
