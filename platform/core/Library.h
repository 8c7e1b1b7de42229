#pragma once

#include <QString>

namespace platform {

// The user's Library folder of this application: the root that holds "Logs/", "Temp/" and
// "Preferences/". It is QStandardPaths' application data folder, created on first use.
QString libraryPath();

// A folder inside the Library ("Logs", "Temp", "Preferences"), created (0700) when missing.
// Returns an empty string when it cannot be created.
QString libraryFolder(const QString &name);

// Sets the organisation and application names that the Library and the settings derive from.
// Called once by every executable before anything else touches the Library.
void setApplicationIdentity();

} // namespace platform
