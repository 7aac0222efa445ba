#include "emulator/abi.h"

#include <climits>
#include <string>

#include "emulator/abi/processors.h"
#include "emulator/processor.h"

namespace emulator {

void checkEngine(uc_err error, const char *what) {
    if (error != UC_ERR_OK) {
        throw Limit(std::string(what) + ": " + uc_strerror(error));
    }
}

const Abi &abiOf(macho::Arch arch) {
    return macho::is64Bit(arch) ? arm64Abi() : armAbi();
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
