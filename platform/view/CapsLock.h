#pragma once

#include <optional>

namespace platform {

// Whether Caps Lock is on. Qt reports no Caps Lock state, so on X11 the keyboard extension is
// asked; elsewhere the state is followed from the Caps Lock presses the application receives
// (starting as off).
bool isCapsLockOn();

// For tests: a fixed answer instead of the keyboard's; nullopt gives the keyboard back.
void setCapsLockOverride(std::optional<bool> on);

} // namespace platform
