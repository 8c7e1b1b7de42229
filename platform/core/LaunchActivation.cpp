#include "platform/core/LaunchActivation.h"

namespace platform {

QString launchActivationToken()
{
    const QString wayland = qEnvironmentVariable("XDG_ACTIVATION_TOKEN");
    return wayland.isEmpty() ? qEnvironmentVariable("DESKTOP_STARTUP_ID") : wayland;
}

} // namespace platform
