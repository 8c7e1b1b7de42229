#pragma once

#include <QString>
#include <QStringList>

#include <QtGlobal>

// The plural form of a word for a count in the user's language. The forms themselves live in
// the localisation tables under "PluralForm<form>_<word>" (forms 0, 1 and 2 for every word).
class SWLocalizationHelper final
{
public:
    // The one instance, its language chosen at first use from the first of the preferred
    // localisations that ship, so that rules and texts are of one language.
    static SWLocalizationHelper &sharedInstance();

    // A helper for the first of the given localisations (tests make their own).
    explicit SWLocalizationHelper(const QStringList &preferredLocalizations);
    Q_DISABLE_COPY_MOVE(SWLocalizationHelper)

    // The index into the plural-rule table for a localisation name ("ru", "pt-BR", "de-DE").
    static quint64 languageIndexForLocalization(const QString &localization);

    quint64 currentLanguage() const { return m_currentLanguage; }
    void setCurrentLanguage(quint64 index) { m_currentLanguage = index; }

    // The rule of a table index; -1 above the table.
    static qint64 pluralRuleForLanguage(quint64 index);
    // The form 0, 1 or 2 of a count under a rule.
    static int pluralFormFromCountRule(quint64 count, qint64 rule);

    // The localised form of the word for the count in the current language.
    QString formOfStringCount(const QString &word, quint64 count) const;
    // "<count> <form>".
    QString pluralFormFromStringCount(const QString &word, quint64 count) const;
    // "<count> <form>" for a count above 1, the form alone otherwise.
    QString smartFormFromStringCount(const QString &word, quint64 count) const;

private:
    quint64 m_currentLanguage = 0;
};
