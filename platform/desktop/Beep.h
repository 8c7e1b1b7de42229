#pragma once

#include <functional>

namespace platform {

// The system alert sound for a refused action (NSBeep). Tests observe it through a handler;
// passing an empty function restores the real sound.
void beep();

using BeepHandler = std::function<void()>;
void setBeepHandler(BeepHandler handler);

} // namespace platform
