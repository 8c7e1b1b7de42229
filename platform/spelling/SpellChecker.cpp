#include "platform/spelling/SpellChecker.h"

#include "platform/core/SystemInfo.h"
#include "platform/settings/Defaults.h"
#include "platform/spelling/HunspellDictionary.h"

#include <QDir>
#include <QTextBoundaryFinder>

#include <algorithm>
#include <atomic>

namespace platform {

namespace {

constexpr qsizetype suggestionCacheLimit = 512;

std::atomic<qint64> lastSequenceNumber{0};

QString defaultsKey()
{
    return QString::fromLatin1(SpellChecker::automaticSpellingCorrectionKey);
}

bool hasLetter(QStringView text)
{
    for (const uint c : text.toUcs4()) {
        if (QChar::isLetter(char32_t(c)))
            return true;
    }
    return false;
}

bool hasDigit(QStringView text)
{
    for (const uint c : text.toUcs4()) {
        if (QChar::isDigit(char32_t(c)))
            return true;
    }
    return false;
}

// "de_DE" from "de-DE" or "de_DE"; the language alone from "de".
QString dictionaryStyleName(const QString &language)
{
    QString name = language;
    name.replace(u'-', u'_');
    const qsizetype regionAt = name.indexOf(u'_');
    if (regionAt < 0)
        return name.toLower();
    return name.left(regionAt).toLower() + u'_' + name.mid(regionAt + 1).section(u'_', 0, 0).toUpper();
}

// The installed dictionary for a language name ("de_CH" or "de"): the exact one, else the
// language's own region ("de_DE"), else the first of that language.
QString matchingDictionary(const QStringList &installed, const QString &wanted)
{
    if (installed.contains(wanted))
        return wanted;
    const QString language = wanted.section(u'_', 0, 0);
    const QString ownRegion = language + u'_' + language.toUpper();
    if (installed.contains(ownRegion))
        return ownRegion;
    for (const QString &name : installed) {
        if (name.section(u'_', 0, 0) == language)
            return name;
    }
    return {};
}

} // namespace

SpellChecker &SpellChecker::shared()
{
    static SpellChecker checker(systemDictionaryFolder(), preferredLanguages(), Defaults::standard());
    return checker;
}

SpellChecker::SpellChecker(const QString &dictionaryFolder, const QStringList &preferredLanguages, Defaults &defaults)
    : m_folder(dictionaryFolder)
    , m_languages(preferredLanguages)
    , m_defaults(defaults)
{
    m_defaults.registerDefaults({{defaultsKey(), true}});
    m_worker = std::thread([this] { run(); });
}

SpellChecker::~SpellChecker()
{
    {
        const std::lock_guard lock(m_queueMutex);
        m_stopping = true;
        m_queue.clear();
    }
    m_queueChanged.notify_all();
    m_worker.join();
}

QString SpellChecker::systemDictionaryFolder()
{
    return QStringLiteral("/usr/share/hunspell");
}

QString SpellChecker::dictionaryNameForLanguages(const QString &folder, const QStringList &preferredLanguages)
{
    QStringList installed;
    const QStringList affixFiles = QDir(folder).entryList({QStringLiteral("*.aff")}, QDir::Files | QDir::Readable,
                                                          QDir::Name);
    for (const QString &file : affixFiles) {
        const QString name = file.chopped(4);
        if (QFileInfo(QDir(folder).filePath(name + u".dic")).isReadable())
            installed << name;
    }
    for (const QString &language : preferredLanguages) {
        const QString match = matchingDictionary(installed, dictionaryStyleName(language));
        if (!match.isEmpty())
            return match;
    }
    return matchingDictionary(installed, QStringLiteral("en_US"));
}

QString SpellChecker::language()
{
    const std::lock_guard lock(m_dictionaryMutex);
    HunspellDictionary *loaded = dictionary();
    return loaded ? loaded->name() : QString();
}

bool SpellChecker::isAutomaticSpellingCorrectionEnabled() const
{
    return m_defaults.boolValue(defaultsKey());
}

void SpellChecker::setAutomaticSpellingCorrectionEnabled(bool enabled)
{
    m_defaults.setValue(defaultsKey(), enabled);
}

qint64 SpellChecker::requestChecking(const QString &text, qsizetype location, qsizetype length, TextCheckingTypes types,
                                     TextCheckingHandler handler)
{
    const qint64 sequenceNumber = ++lastSequenceNumber;
    {
        const std::lock_guard lock(m_queueMutex);
        m_queue.push_back({sequenceNumber, text, location, length, types, std::move(handler)});
    }
    m_queueChanged.notify_one();
    return sequenceNumber;
}

QStringList SpellChecker::guessesForWordRange(qsizetype location, qsizetype length, const QString &text)
{
    if (location < 0 || length <= 0 || location + length > text.size())
        return {};
    const QString word = text.mid(location, length);
    const std::lock_guard lock(m_dictionaryMutex);
    HunspellDictionary *loaded = dictionary();
    if (!loaded || loaded->spell(word))
        return {};
    return loaded->suggest(word);
}

void SpellChecker::run()
{
    for (;;) {
        Request request;
        {
            std::unique_lock lock(m_queueMutex);
            m_queueChanged.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
            if (m_stopping)
                return;
            request = std::move(m_queue.front());
            m_queue.pop_front();
        }
        int wordCount = 0;
        QList<TextCheckingResult> results;
        QString orthography;
        {
            const std::lock_guard lock(m_dictionaryMutex);
            results = check(request, wordCount);
            orthography = m_dictionary ? m_dictionary->name() : QString();
        }
        request.handler(request.sequenceNumber, results, orthography, wordCount);
    }
}

HunspellDictionary *SpellChecker::dictionary()
{
    if (!m_dictionaryLoaded) {
        m_dictionaryLoaded = true;
        const QString name = dictionaryNameForLanguages(m_folder, m_languages);
        if (!name.isEmpty())
            m_dictionary = HunspellDictionary::load(m_folder, name);
    }
    return m_dictionary.get();
}

QList<TextCheckingResult> SpellChecker::check(const Request &request, int &wordCount)
{
    QList<TextCheckingResult> results;
    const qsizetype from = std::clamp<qsizetype>(request.location, 0, request.text.size());
    const qsizetype to = std::clamp<qsizetype>(request.location + request.length, from, request.text.size());
    const TextCheckingTypes wanted = request.types & (TextCheckingType::Spelling | TextCheckingType::Correction);
    if (from == to || !wanted || !dictionary())
        return results;

    const QString part = request.text.mid(from, to - from);
    QTextBoundaryFinder finder(QTextBoundaryFinder::Word, part);
    qsizetype start = 0;
    for (qsizetype end = finder.toNextBoundary(); end != -1; start = end, end = finder.toNextBoundary()) {
        const QStringView word = QStringView(part).mid(start, end - start);
        if (!hasLetter(word))
            continue;
        ++wordCount;
        // Numbers, versions and names with digits ("file2") are not words a dictionary holds.
        if (hasDigit(word))
            continue;
        checkWord(part, start, end - start, wanted, results);
    }
    for (TextCheckingResult &result : results)
        result.location += from;
    return results;
}

void SpellChecker::checkWord(QStringView text, qsizetype location, qsizetype length, TextCheckingTypes types,
                             QList<TextCheckingResult> &results)
{
    const QString word = text.mid(location, length).toString();
    if (m_dictionary->spell(word))
        return;
    // Word breaking keeps "name.vault" and "e.g" together; a dotted word that is not a word of
    // its own is checked part by part, so a file name with its extension passes.
    if (word.contains(u'.')) {
        qsizetype partStart = 0;
        for (const QStringView piece : QStringView(word).split(u'.')) {
            if (hasLetter(piece))
                checkWord(text, location + partStart, piece.size(), types, results);
            partStart += piece.size() + 1;
        }
        return;
    }
    if (types.testFlag(TextCheckingType::Spelling))
        results.append({TextCheckingType::Spelling, location, length, {}});
    if (types.testFlag(TextCheckingType::Correction)) {
        const QString suggestion = firstSuggestion(word);
        if (!suggestion.isEmpty() && isOneEditOrTranspositionApart(word, suggestion))
            results.append({TextCheckingType::Correction, location, length, suggestion});
    }
}

QString SpellChecker::firstSuggestion(const QString &word)
{
    const auto cached = m_firstSuggestions.constFind(word);
    if (cached != m_firstSuggestions.cend())
        return *cached;
    if (m_firstSuggestions.size() >= suggestionCacheLimit)
        m_firstSuggestions.clear();
    const QString suggestion = m_dictionary->suggest(word).value(0);
    m_firstSuggestions.insert(word, suggestion);
    return suggestion;
}

bool isOneEditOrTranspositionApart(QStringView word, QStringView other)
{
    const QList<uint> a = word.toUcs4();
    const QList<uint> b = other.toUcs4();
    if (a == b)
        return false;
    const qsizetype shorter = std::min(a.size(), b.size());
    qsizetype prefix = 0;
    while (prefix < shorter && a[prefix] == b[prefix])
        ++prefix;
    qsizetype suffix = 0;
    while (suffix < shorter - prefix && a[a.size() - 1 - suffix] == b[b.size() - 1 - suffix])
        ++suffix;
    // What differs once the common ends are set aside.
    const qsizetype restA = a.size() - prefix - suffix;
    const qsizetype restB = b.size() - prefix - suffix;
    if (restA <= 1 && restB <= 1)
        return true;
    return restA == 2 && restB == 2 && a[prefix] == b[prefix + 1] && a[prefix + 1] == b[prefix];
}

} // namespace platform
