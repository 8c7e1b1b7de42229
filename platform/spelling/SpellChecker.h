#pragma once

#include "platform/spelling/TextChecking.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

namespace platform {

class Defaults;
class HunspellDictionary;

// The spell checker of the text fields, over a Hunspell dictionary. Checks are answered on a
// worker thread of the checker's own, one at a time and in the order they were asked for; each
// request gets a sequence number that comes back with its answer, so that a caller can drop the
// answer to an older text. Guesses are answered at once, on the caller's thread.
//
// The dictionary follows the user's preferred languages where one is installed, English
// otherwise, and is loaded on first use. Hunspell does not decide on automatic corrections, so
// the checker does: a misspelled word is corrected only when the dictionary's first suggestion
// is one edit (an insertion, a deletion or a substitution) or one transposition away. This
// desktop keeps no list of text replacements, so replacements are never reported.
class SpellChecker final
{
public:
    static constexpr const char *automaticSpellingCorrectionKey = "NSAutomaticSpellingCorrectionEnabled";

    // The process-wide checker: the installed dictionaries, the user's languages and defaults.
    static SpellChecker &shared();

    // A checker over the dictionaries of a folder, for languages in order of preference; the
    // switch for automatic correction is kept in the defaults, which must outlive the checker.
    SpellChecker(const QString &dictionaryFolder, const QStringList &preferredLanguages, Defaults &defaults);
    // Stops the worker; requests not yet answered are never answered.
    ~SpellChecker();
    Q_DISABLE_COPY_MOVE(SpellChecker)

    // Where the system's Hunspell dictionaries are installed.
    static QString systemDictionaryFolder();
    // The dictionary ("de_DE") for the first preferred language ("de-CH", "de") that has one in the
    // folder, matched by language and region, then by language; English when none has; empty
    // when the folder holds no English dictionary either.
    static QString dictionaryNameForLanguages(const QString &folder, const QStringList &preferredLanguages);

    // The dictionary in use ("en_US"); empty when none could be loaded. Loads it.
    QString language();

    bool isAutomaticTextReplacementEnabled() const { return false; }
    bool isAutomaticSpellingCorrectionEnabled() const;
    void setAutomaticSpellingCorrectionEnabled(bool enabled);

    // Checks the range of the text for the types; the handler is called once, on the checker's
    // thread, with the returned sequence number. Numbers rise with every request of the process.
    qint64 requestChecking(const QString &text, qsizetype location, qsizetype length, TextCheckingTypes types,
                           TextCheckingHandler handler);

    // The guesses for a word of the text, best first; none for a word the dictionary knows.
    QStringList guessesForWordRange(qsizetype location, qsizetype length, const QString &text);

private:
    struct Request
    {
        qint64 sequenceNumber = 0;
        QString text;
        qsizetype location = 0;
        qsizetype length = 0;
        TextCheckingTypes types;
        TextCheckingHandler handler;
    };

    void run();
    // Needs m_dictionaryMutex.
    HunspellDictionary *dictionary();
    QList<TextCheckingResult> check(const Request &request, int &wordCount);
    void checkWord(QStringView text, qsizetype location, qsizetype length, TextCheckingTypes types,
                   QList<TextCheckingResult> &results);
    QString firstSuggestion(const QString &word);

    QString m_folder;
    QStringList m_languages;
    Defaults &m_defaults;

    std::mutex m_dictionaryMutex;
    bool m_dictionaryLoaded = false;
    std::unique_ptr<HunspellDictionary> m_dictionary;
    // Suggestions cost tens of milliseconds and the same misspelled word is checked again at
    // every keystroke, so its first suggestion is kept.
    QHash<QString, QString> m_firstSuggestions;

    std::mutex m_queueMutex;
    std::condition_variable m_queueChanged;
    std::deque<Request> m_queue;
    bool m_stopping = false;
    std::thread m_worker;
};

// Whether two different words are one insertion, deletion, substitution or transposition of
// neighbours apart (counted in characters, not UTF-16 units).
bool isOneEditOrTranspositionApart(QStringView word, QStringView other);

} // namespace platform
