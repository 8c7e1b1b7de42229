#pragma once

namespace platform {

// The interface generation the layouts were written against, as the original's framework
// version numbers: 1265 and below is the older window and animation style ("-Legacy" interface
// files, no drop transition), above it the current one. This platform always reports the
// current style; tests force the older one.
inline constexpr double appKitVersionLegacy = 1265.0;
inline constexpr double appKitVersionModern = 1343.0;

double appKitVersionNumber();
// True when floor(appKitVersionNumber()) is above 1265.
bool isModernAppKit();

// Tests only: forces a version (0 restores the platform's own).
void setAppKitVersionNumberForTesting(double version);

} // namespace platform
