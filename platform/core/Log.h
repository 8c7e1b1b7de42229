#pragma once

#include <QString>

#include <functional>

namespace platform {

// Writes one line to standard error in the shape of the platform log:
// "2026-12-10 08:14:22.123 Vaultine[pid:tid] message". Lines carry no levels; callers put
// their own bracketed tag ("[Drop]: ") or "Warning! " in front. Safe from any thread.
void log(const QString &message);

// Tests observe log lines through a sink; passing an empty function restores standard error.
using LogSink = std::function<void(const QString &message)>;
void setLogSink(LogSink sink);

} // namespace platform
