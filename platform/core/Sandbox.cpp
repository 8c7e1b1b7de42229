#include "platform/core/Sandbox.h"

#include <QFileInfo>
#include <QtGlobal>

#include <atomic>

namespace platform {
namespace {

// -1: the platform's own answer; 0 or 1: forced.
std::atomic<int> forced{-1};

} // namespace

bool isSandboxed()
{
    if (const int value = forced.load(); value >= 0)
        return value == 1;
    static const bool flatpak = QFileInfo::exists(QStringLiteral("/.flatpak-info"))
                                || qEnvironmentVariableIsSet("FLATPAK_ID");
    return flatpak;
}

void setSandboxedForTesting(std::optional<bool> sandboxed)
{
    forced.store(sandboxed ? int(*sandboxed) : -1);
}

} // namespace platform
