#pragma once

#include <QString>

namespace platform {

// The token the launcher gave this process for bringing a window forward: Wayland's
// XDG_ACTIVATION_TOKEN, else X11's startup notification id (DESKTOP_STARTUP_ID); empty when
// the process was started without one.
QString launchActivationToken();

} // namespace platform
