#include "platform/localization/SWLocalizationHelper.h"

#include "platform/localization/Localization.h"

#include <array>

namespace {

// Rules by language index; 2, 3 and 7 are never chosen but keep their places.
constexpr std::array<qint64, 11> pluralRules = {1, 3, 3, 1, 1, 2, 1, 0, 2, 4, 0};

struct LanguageIndex
{
    const char16_t *name;
    quint64 index;
};

constexpr std::array<LanguageIndex, 9> languageIndexes = {{
    {u"en", 0},
    {u"ru", 1},
    {u"it", 4},
    {u"fr", 5},
    {u"es", 6},
    {u"de", 0},
    {u"pt-BR", 8},
    {u"pl", 9},
    {u"ja", 10},
}};

} // namespace

SWLocalizationHelper &SWLocalizationHelper::sharedInstance()
{
    static SWLocalizationHelper instance(platform::preferredLocalizations());
    return instance;
}

SWLocalizationHelper::SWLocalizationHelper(const QStringList &preferredLocalizations)
    : m_currentLanguage(languageIndexForLocalization(preferredLocalizations.value(0)))
{
}

quint64 SWLocalizationHelper::languageIndexForLocalization(const QString &localization)
{
    // The system names regions its own way ("pt_BR", "ru-RU"): match the whole name first, then
    // the language alone, so "pt-PT" is not Brazilian but "ru-RU" is Russian.
    const QString name = QString(localization).replace(u'_', u'-');
    for (const LanguageIndex &entry : languageIndexes) {
        if (name.compare(QStringView(entry.name), Qt::CaseInsensitive) == 0)
            return entry.index;
    }
    const QString language = name.section(u'-', 0, 0);
    for (const LanguageIndex &entry : languageIndexes) {
        if (language.compare(QStringView(entry.name), Qt::CaseInsensitive) == 0)
            return entry.index;
    }
    return 0;
}

qint64 SWLocalizationHelper::pluralRuleForLanguage(quint64 index)
{
    return index < pluralRules.size() ? pluralRules[index] : -1;
}

int SWLocalizationHelper::pluralFormFromCountRule(quint64 count, qint64 rule)
{
    switch (rule) {
    case 1:
        return count == 1 ? 0 : 1;
    case 2:
        return count <= 1 ? 0 : 1;
    case 3: {
        const quint64 ones = count % 10;
        const quint64 tens = count % 100;
        if (ones == 1 && tens != 11)
            return 0;
        if (ones >= 2 && ones <= 4 && (tens < 12 || tens > 14))
            return 1;
        return 2;
    }
    case 4:
        if (count == 1)
            return 0;
        if (count >= 2 && count <= 4)
            return 1;
        return 2;
    default:
        return 0;
    }
}

QString SWLocalizationHelper::formOfStringCount(const QString &word, quint64 count) const
{
    const int form = pluralFormFromCountRule(count, pluralRuleForLanguage(m_currentLanguage));
    return platform::localizedString(u"PluralForm" % QString::number(form) % u'_' % word);
}

QString SWLocalizationHelper::pluralFormFromStringCount(const QString &word, quint64 count) const
{
    return QString::number(count) % u' ' % formOfStringCount(word, count);
}

QString SWLocalizationHelper::smartFormFromStringCount(const QString &word, quint64 count) const
{
    return count > 1 ? pluralFormFromStringCount(word, count) : formOfStringCount(word, count);
}
