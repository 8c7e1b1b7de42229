#pragma once

#include "companion/SWTrackingEnvironment.h"

// Fixed facts, so that every expected hit and link can be written out in full.
inline SWTrackingEnvironment testEnvironment(QStringList languages = {QStringLiteral("de-DE"), QStringLiteral("en")})
{
    SWTrackingEnvironment environment;
    environment.productName = QStringLiteral("Vaultine");
    environment.shortVersion = QStringLiteral("1.0.0");
    environment.buildVersion = QStringLiteral("100");
    environment.systemVersion = platform::SystemVersion{12, 4, 1};
    environment.preferredLanguages = std::move(languages);
    environment.hardwareUUID = QStringLiteral("12345678-90AB-CDEF-1234-567890ABCDEF");
    environment.serialNumber = QStringLiteral("C02ABCDEF123");
    environment.userName = QStringLiteral("alice");
    environment.appKitVersion = 1343.0;
    environment.trackingServer = QStringLiteral("http://tds.example.com/index.php?4");
    environment.linkSalt = QStringLiteral("saltsalt9");
    return environment;
}
