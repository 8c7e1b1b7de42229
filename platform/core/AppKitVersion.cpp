#include "platform/core/AppKitVersion.h"

#include <atomic>
#include <cmath>

namespace platform {
namespace {

std::atomic<double> &forcedVersion()
{
    static std::atomic<double> version{0.0};
    return version;
}

} // namespace

double appKitVersionNumber()
{
    const double forced = forcedVersion().load();
    return forced > 0.0 ? forced : appKitVersionModern;
}

bool isModernAppKit()
{
    return std::floor(appKitVersionNumber()) > appKitVersionLegacy;
}

void setAppKitVersionNumberForTesting(double version)
{
    forcedVersion().store(version);
}

} // namespace platform
