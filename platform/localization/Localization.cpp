#include "platform/localization/Localization.h"

#include "platform/core/SystemInfo.h"

#include <QCoreApplication>
#include <QLocale>
#include <QTranslator>

#include <mutex>

namespace platform {

namespace {

// Texts looked up by keys made at run time, listed here so that lupdate keeps them in the tables.
[[maybe_unused]] constexpr const char *keyedTexts[] = {
    QT_TRANSLATE_NOOP("Localizable", "About %@"),
    QT_TRANSLATE_NOOP("Localizable", "PluralForm0_second"),
    QT_TRANSLATE_NOOP("Localizable", "PluralForm1_second"),
    QT_TRANSLATE_NOOP("Localizable", "PluralForm2_second"),
    QT_TRANSLATE_NOOP("Localizable", "PluralForm0_minute"),
    QT_TRANSLATE_NOOP("Localizable", "PluralForm1_minute"),
    QT_TRANSLATE_NOOP("Localizable", "PluralForm2_minute"),
    QT_TRANSLATE_NOOP("Localizable", "PluralForm0_hour"),
    QT_TRANSLATE_NOOP("Localizable", "PluralForm1_hour"),
    QT_TRANSLATE_NOOP("Localizable", "PluralForm2_hour"),
    QT_TRANSLATE_NOOP("Localizable", "PluralForm0_day"),
    QT_TRANSLATE_NOOP("Localizable", "PluralForm1_day"),
    QT_TRANSLATE_NOOP("Localizable", "PluralForm2_day"),
};

} // namespace

void installTranslations()
{
    static std::once_flag once;
    std::call_once(once, [] {
        QCoreApplication *app = QCoreApplication::instance();
        if (!app)
            return;
        // Lives for the whole run, as the application's tables do.
        auto *translator = new QTranslator(app);
        const QLocale locale(preferredLanguages().value(0, QStringLiteral("en")));
        const bool loaded = translator->load(locale, QStringLiteral("vaultine"), QStringLiteral("_"), QStringLiteral(":/i18n"))
            || translator->load(QStringLiteral("vaultine_en"), QStringLiteral(":/i18n"));
        if (loaded)
            QCoreApplication::installTranslator(translator);
        else
            delete translator;
    });
}

QString localizedString(const char *key, const char *table)
{
    installTranslations();
    return QCoreApplication::translate(table, key);
}

QString localizedString(const QString &key, const char *table)
{
    const QByteArray utf8 = key.toUtf8();
    return localizedString(utf8.constData(), table);
}

QString formatWithObjects(QString format, const QStringList &objects)
{
    qsizetype from = 0;
    for (const QString &object : objects) {
        const qsizetype at = format.indexOf(u"%@", from);
        if (at < 0)
            break;
        format.replace(at, 2, object);
        from = at + object.size();
    }
    return format;
}

} // namespace platform
