#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace platform {

struct SystemVersion
{
    int major = 0;
    int minor = 0;
    int patch = 0;
    friend bool operator==(const SystemVersion &, const SystemVersion &) = default;
};

// The operating system's version from QSysInfo (Debian "12" reads 12.0.0), the kernel's as fallback.
SystemVersion systemVersion();

// The user's preferred interface languages, most preferred first ("de-DE", "en"), from the
// system locale (which follows LANGUAGE and LANG). Tests fix them with the override.
QStringList preferredLanguages();
void setPreferredLanguagesOverride(std::optional<QStringList> languages);

// The login name of the user running the application.
QString userName();

// Whether the process runs with the superuser's rights (as in many containers).
bool runsAsSuperuser();

} // namespace platform
