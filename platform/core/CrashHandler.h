#pragma once

#include <QByteArray>
#include <QString>

namespace platform {

// Catches fatal signals (SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT, SIGTRAP) and std::terminate,
// writes one report file into the folder and lets the process end with the signal. The report
// holds the given header lines, the signal, for an uncaught exception its type, the time and the
// stack, nothing else. The handler only calls functions that are safe in a signal handler: it
// allocates nothing and takes no lock (everything it needs is prepared here). Reports are named
// "<seconds since 1970, 20 digits>-<pid>.crash", so their names sort by age; a report being
// written carries ".tmp" at the end until it is complete.
// Installing again replaces the folder and header. False when the folder path is too long.
bool installCrashHandler(const QString &folder, const QByteArray &headerLines);

// Puts the handlers of the process back as they were before the install.
void uninstallCrashHandler();

} // namespace platform
