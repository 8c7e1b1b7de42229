#pragma once

#include "platform/core/SystemInfo.h"

#include <QSize>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <optional>

// The facts that analytics hits, tracking links and the newsletter sign-up report about this
// copy of the application and its machine, and the services they go to. current() reads them
// from the system; tests build their own.
struct SWTrackingEnvironment
{
    static inline const QString productionTrackingServer = QStringLiteral("https://tds.nimbrel.com/index.php?4");

    QString productName;  // the bundle name
    QString shortVersion; // the bundle's short version
    QString buildVersion; // the bundle's build version
    std::optional<platform::SystemVersion> systemVersion;
    QStringList preferredLanguages;
    std::optional<QString> hardwareUUID;
    std::optional<QString> serialNumber;
    QString userName;
    // The toolkit version the tracking server expects ("OS" of the sign-up); the modern platform.
    double appKitVersion = 1343.0;
    QString trackingServer = productionTrackingServer;
    QString linkSalt;

    static SWTrackingEnvironment current();
    // The nine-character secret mixed into the give-away identifier.
    static QString defaultLinkSalt();
};

// How a parameter value is written into a query before escaping: numbers in their shortest form,
// booleans as 1 and 0, texts as they are.
QString SWQueryValueText(const QVariant &value);

// The text the original platform writes for a missing object inside a formatted link.
inline const QString SWNilText = QStringLiteral("(null)");
