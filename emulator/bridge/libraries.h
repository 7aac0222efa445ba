// The install names of the libraries a device slice imports from.
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

} // namespace emulator
