#pragma once

#include <optional>

namespace platform {

// True only inside a Flatpak sandbox, where folders outside the application's own need a grant
// from the user. Tests force either answer; std::nullopt restores the platform's own.
bool isSandboxed();
void setSandboxedForTesting(std::optional<bool> sandboxed);

} // namespace platform
