#pragma once

#include <QString>

// Localised texts come from Qt Linguist translations compiled into the platform library
// (":/i18n/vaultine_<language>.qm"); English is the source language and always shipped.
namespace platform {

// The context that holds the keyed texts of the default table ("About %@", "PluralForm0_second").
inline constexpr const char *localizableContext = "Localizable";

// Installs, once, the shipped translation that best matches the preferred languages, falling
// back to English. Safe from any thread; localizedString() calls it on first use.
void installTranslations();

// The localised text for a key of a table (a translation context). A key without a translation
// gives the key itself, as the platform's localised-string lookup does.
QString localizedString(const char *key, const char *table = localizableContext);
QString localizedString(const QString &key, const char *table = localizableContext);

// Fills the Objective-C style placeholders of a localised format: each "%@" in turn.
QString formatWithObjects(QString format, const QStringList &objects);

} // namespace platform
