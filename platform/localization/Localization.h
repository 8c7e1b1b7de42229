#pragma once

#include <QString>
#include <QStringList>

// Localised texts come from Qt Linguist translations compiled into the platform library
// (":/i18n/vaultine_<language>.qm"); English is the source language and always shipped.
namespace platform {

// The context that holds the keyed texts of the default table ("About %@", "PluralForm0_second").
inline constexpr const char *localizableContext = "Localizable";

// The localisations that ship with the application ("en", "ru", "pt-BR"), one per embedded
// translation.
QStringList shippedLocalizations();

// The shipped localisations in the order of the user's preferred languages, as the platform's
// bundle lookup orders them: a language matches its own localisation ("ru-RU" -> "ru"), a
// regional one when only that ships ("pt" -> "pt-BR"). English, the source language, when
// nothing matches. The first entry is the language the texts are shown in.
QStringList preferredLocalizations(const QStringList &shipped, const QStringList &preferred);
QStringList preferredLocalizations();

// Installs, once, the translation of the first preferred localisation for the interface's
// tr() texts. Does its work only on the main thread; localizedString() calls it on each use.
void installTranslations();

// The localised text for a key of a table (a translation context), from any thread. A key
// without a translation gives the key itself, as the platform's localised-string lookup does.
QString localizedString(const char *key, const char *table = localizableContext);
QString localizedString(const QString &key, const char *table = localizableContext);

// Fills the Objective-C style placeholders of a localised format: each "%@" in turn.
QString formatWithObjects(QString format, const QStringList &objects);

} // namespace platform
