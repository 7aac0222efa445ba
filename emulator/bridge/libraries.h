// The install names of the libraries a device slice imports from. With the addFunction calls that
// name them (objc_imports.cpp, system_imports.cpp) this is the emulator's one import table. The
// device build's own (IMPORTS in device_build/build_device.py) is kept apart on purpose: a slice that
// imports what this table does not answer fails its bind in the tests, which is how a wrong entry
// on either side shows.
#pragma once

namespace emulator {

inline constexpr const char *libobjc = "/usr/lib/libobjc.A.dylib";
inline constexpr const char *libSystem = "/usr/lib/libSystem.B.dylib";
inline constexpr const char *libcxx = "/usr/lib/libc++.1.dylib";
inline constexpr const char *foundation = "/System/Library/Frameworks/Foundation.framework/Foundation";
inline constexpr const char *coreFoundation =
    "/System/Library/Frameworks/CoreFoundation.framework/CoreFoundation";
inline constexpr const char *substrateRootful = "/Library/Frameworks/CydiaSubstrate.framework/CydiaSubstrate";
inline constexpr const char *substrateRootless = "/var/jb/usr/lib/libsubstrate.dylib";
// roothide's: its jailbreak's libraries are reached through a link beside the loading library.
inline constexpr const char *substrateRoothide = "@loader_path/.jbroot/usr/lib/libsubstrate.dylib";

} // namespace emulator
