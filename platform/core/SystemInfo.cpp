#include "platform/core/SystemInfo.h"

#include <QLocale>
#include <QMutex>
#include <QSysInfo>
#include <QVersionNumber>

#include <pwd.h>
#include <unistd.h>

namespace platform {

namespace {

QMutex languagesMutex;
std::optional<QStringList> languagesOverride;

std::optional<SystemVersion> parsedVersion(const QString &text)
{
    const QVersionNumber number = QVersionNumber::fromString(text);
    if (number.isNull())
        return std::nullopt;
    return SystemVersion{number.majorVersion(), number.minorVersion(), number.microVersion()};
}

} // namespace

SystemVersion systemVersion()
{
    if (const auto product = parsedVersion(QSysInfo::productVersion()))
        return *product;
    return parsedVersion(QSysInfo::kernelVersion()).value_or(SystemVersion{});
}

QStringList preferredLanguages()
{
    {
        const QMutexLocker locker(&languagesMutex);
        if (languagesOverride)
            return *languagesOverride;
    }
    QStringList languages;
    for (const QString &language : QLocale::system().uiLanguages()) {
        // The C and POSIX locales name no language; they read as English.
        const QString name = (language == u"C" || language == u"POSIX") ? QStringLiteral("en") : language;
        if (!languages.contains(name))
            languages << name;
    }
    return languages;
}

void setPreferredLanguagesOverride(std::optional<QStringList> languages)
{
    const QMutexLocker locker(&languagesMutex);
    languagesOverride = std::move(languages);
}

QString userName()
{
    if (const passwd *entry = getpwuid(geteuid()); entry && entry->pw_name)
        return QString::fromLocal8Bit(entry->pw_name);
    return qEnvironmentVariable("USER");
}

bool runsAsSuperuser()
{
    return ::geteuid() == 0;
}

} // namespace platform
