#include "platform/localization/Localization.h"

#include "platform/core/SystemInfo.h"

#include <QCoreApplication>
#include <QDir>
#include <QThread>
#include <QTranslator>

#include <mutex>

namespace platform {

namespace {

// Texts looked up by keys made at run time, listed here so that lupdate keeps them in the tables.
[[maybe_unused]] constexpr const char *keyedTexts[] = {
    QT_TRANSLATE_NOOP("Localizable", "About %@"),           QT_TRANSLATE_NOOP("Localizable", "PluralForm0_second"),
    QT_TRANSLATE_NOOP("Localizable", "PluralForm1_second"), QT_TRANSLATE_NOOP("Localizable", "PluralForm2_second"),
    QT_TRANSLATE_NOOP("Localizable", "PluralForm0_minute"), QT_TRANSLATE_NOOP("Localizable", "PluralForm1_minute"),
    QT_TRANSLATE_NOOP("Localizable", "PluralForm2_minute"), QT_TRANSLATE_NOOP("Localizable", "PluralForm0_hour"),
    QT_TRANSLATE_NOOP("Localizable", "PluralForm1_hour"),   QT_TRANSLATE_NOOP("Localizable", "PluralForm2_hour"),
    QT_TRANSLATE_NOOP("Localizable", "PluralForm0_day"),    QT_TRANSLATE_NOOP("Localizable", "PluralForm1_day"),
    QT_TRANSLATE_NOOP("Localizable", "PluralForm2_day"),
};

constexpr QStringView translationPrefix = u"vaultine_";
constexpr QStringView translationSuffix = u".qm";

QString normalized(const QString &localization)
{
    return QString(localization).replace(u'_', u'-');
}

QString languageOf(const QString &localization)
{
    return localization.section(u'-', 0, 0);
}

} // namespace

QStringList shippedLocalizations()
{
    QStringList shipped;
    const QStringList files = QDir(QStringLiteral(":/i18n")).entryList({u"vaultine_*.qm"_qs}, QDir::Files);
    for (const QString &file : files) {
        const QString name = file.mid(translationPrefix.size(),
                                      file.size() - translationPrefix.size() - translationSuffix.size());
        if (!name.isEmpty())
            shipped << normalized(name);
    }
    return shipped;
}

QStringList preferredLocalizations(const QStringList &shipped, const QStringList &preferred)
{
    const auto matches = [](const QString &a, const QString &b) { return a.compare(b, Qt::CaseInsensitive) == 0; };
    QStringList result;
    const auto add = [&result](const QString &localization) {
        if (!result.contains(localization))
            result << localization;
    };
    for (const QString &language : preferred) {
        const QString wanted = normalized(language);
        QString found;
        for (const QString &candidate : shipped) {
            if (matches(candidate, wanted)) {
                found = candidate;
                break;
            }
        }
        for (qsizetype i = 0; found.isEmpty() && i < shipped.size(); ++i) {
            if (matches(shipped[i], languageOf(wanted)))
                found = shipped[i];
        }
        for (qsizetype i = 0; found.isEmpty() && i < shipped.size(); ++i) {
            if (matches(languageOf(shipped[i]), languageOf(wanted)))
                found = shipped[i];
        }
        if (!found.isEmpty())
            add(found);
    }
    if (result.isEmpty())
        result << QStringLiteral("en");
    return result;
}

QStringList preferredLocalizations()
{
    return preferredLocalizations(shippedLocalizations(), preferredLanguages());
}

namespace {

// The shipped table of the shown language, loaded once on whichever thread asks first and never
// destroyed (lookups may come from work still running while the process ends).
const QTranslator *shownTable()
{
    static const QTranslator *const table = [] {
        auto *translator = new QTranslator;
        // The texts and the plural rules follow one language: the first shipped localisation.
        const QString localization = preferredLocalizations().value(0, QStringLiteral("en"));
        if (translator->load(u"vaultine_"_qs + QString(localization).replace(u'-', u'_'), QStringLiteral(":/i18n"))
            || translator->load(QStringLiteral("vaultine_en"), QStringLiteral(":/i18n")))
            return static_cast<const QTranslator *>(translator);
        delete translator;
        return static_cast<const QTranslator *>(nullptr);
    }();
    return table;
}

} // namespace

void installTranslations()
{
    // Installing tells every window of the change, which only the main thread may do; keyed
    // lookups on other threads read the table directly.
    const QCoreApplication *app = QCoreApplication::instance();
    if (!app || QThread::currentThread() != app->thread())
        return;
    static std::once_flag once;
    std::call_once(once, [] {
        if (const QTranslator *table = shownTable())
            QCoreApplication::installTranslator(const_cast<QTranslator *>(table));
    });
}

QString localizedString(const char *key, const char *table)
{
    installTranslations();
    if (const QTranslator *shown = shownTable()) {
        const QString text = shown->translate(table, key);
        if (!text.isEmpty())
            return text;
    }
    return QString::fromUtf8(key);
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
