#include "companion/SWTrackingEnvironment.h"

#include "platform/core/BundleInfo.h"
#include "platform/core/MachineIdentity.h"

#include <QLocale>

SWTrackingEnvironment SWTrackingEnvironment::current()
{
    SWTrackingEnvironment environment;
    environment.productName = QString::fromLatin1(platform::bundle::name);
    environment.shortVersion = QString::fromLatin1(platform::bundle::shortVersion);
    environment.buildVersion = QString::fromLatin1(platform::bundle::buildVersion);
    environment.systemVersion = platform::systemVersion();
    environment.preferredLanguages = platform::preferredLanguages();
    environment.hardwareUUID = platform::hardwareUUID();
    environment.serialNumber = platform::machineSerialNumber();
    environment.userName = platform::userName();
    environment.linkSalt = defaultLinkSalt();
    return environment;
}

QString SWTrackingEnvironment::defaultLinkSalt()
{
    // Assembled from single bytes so that the secret does not sit in the binary as one string.
    static constexpr char bytes[] = {0x4b, 0x37, 0x71, 0x21, 0x76, 0x4c, 0x39, 0x2e, 0x5a};
    return QString::fromLatin1(bytes, sizeof bytes);
}

QString SWQueryValueText(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    case QMetaType::Double:
    case QMetaType::Float:
        return QString::number(value.toDouble(), 'g', QLocale::FloatingPointShortest);
    case QMetaType::QStringList:
        return value.toStringList().join(u',');
    default:
        return value.toString();
    }
}
