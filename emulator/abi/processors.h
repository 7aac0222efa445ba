// The two processors' halves of the ABI: each convention with the code the emulator places for it.
#pragma once

#include <unicorn/unicorn.h>

#include "emulator/abi.h"

namespace emulator {

const Abi &armAbi();   // 32-bit ARM: armv7 and armv7s
const Abi &arm64Abi(); // arm64 and arm64e

// Throws Limit, naming `what`, where the engine refused.
void checkEngine(uc_err error, const char *what);

} // namespace emulator
