#include "platform/settings/Defaults.h"
#include "platform/spelling/HunspellDictionary.h"
#include "platform/spelling/SpellChecker.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <future>
#include <thread>

using platform::Defaults;
using platform::SpellChecker;
using platform::TextCheckingResult;
using platform::TextCheckingType;
using platform::TextCheckingTypes;

Q_DECLARE_METATYPE(TextCheckingTypes)

namespace {

constexpr auto spelling = TextCheckingTypes(TextCheckingType::Spelling);
constexpr auto correction = TextCheckingTypes(TextCheckingType::Correction);
constexpr auto both = TextCheckingType::Spelling | TextCheckingType::Correction;

struct Answer
{
    qint64 sequenceNumber = 0;
    QList<TextCheckingResult> results;
    QString orthography;
    int wordCount = 0;
    std::thread::id thread;
};

// Asks the checker and waits, with a deadline, for its answer.
Answer checkAndWait(SpellChecker &checker, const QString &text, TextCheckingTypes types, qsizetype location = 0,
                    qsizetype length = -1)
{
    auto promise = std::make_shared<std::promise<Answer>>();
    std::future<Answer> answer = promise->get_future();
    const qint64 asked = checker.requestChecking(
        text, location, length < 0 ? text.size() : length, types,
        [promise](qint64 number, const QList<TextCheckingResult> &results, const QString &orthography, int words) {
            promise->set_value({number, results, orthography, words, std::this_thread::get_id()});
        });
    if (answer.wait_for(std::chrono::seconds(20)) != std::future_status::ready)
        return {};
    Answer received = answer.get();
    if (received.sequenceNumber != asked)
        received.sequenceNumber = -1;
    return received;
}

// "S 10+4; C 0+3 the": kind, location, length and replacement of each result.
QString describe(const QList<TextCheckingResult> &results)
{
    QStringList parts;
    for (const TextCheckingResult &result : results) {
        QString part = result.resultType == TextCheckingType::Spelling     ? QStringLiteral("S")
                       : result.resultType == TextCheckingType::Correction ? QStringLiteral("C")
                                                                           : QStringLiteral("R");
        part += u' ' + QString::number(result.location) + u'+' + QString::number(result.length);
        if (!result.replacementString.isEmpty())
            part += u' ' + result.replacementString;
        parts << part;
    }
    return parts.join(u"; ");
}

void writeFile(const QString &path, const QByteArray &contents)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(contents), contents.size());
}

} // namespace

class TestSpellChecker : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::unique_ptr<Defaults> m_defaults;
    std::unique_ptr<SpellChecker> m_checker;

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_defaults = std::make_unique<Defaults>(m_dir.filePath(QStringLiteral("defaults.ini")));
        m_checker = std::make_unique<SpellChecker>(SpellChecker::systemDictionaryFolder(),
                                                   QStringList{QStringLiteral("en-US")}, *m_defaults);
        QCOMPARE(m_checker->language(), QStringLiteral("en_US"));
    }

    void findsMisspellingsAndCorrections_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<TextCheckingTypes>("types");
        QTest::addColumn<QString>("expected");

        QTest::newRow("known words") << u"hello there, world"_qs << both << QString();
        QTest::newRow("a misspelling") << u"the quick brwn fox"_qs << spelling << u"S 10+4"_qs;
        QTest::newRow("punctuation is not part of the word") << u"(brwn), fox."_qs << spelling << u"S 1+4"_qs;
        QTest::newRow("transposition is corrected") << u"teh cat"_qs << both << u"S 0+3; C 0+3 the"_qs;
        QTest::newRow("one insertion is corrected") << u"alot"_qs << both << u"S 0+4; C 0+4 a lot"_qs;
        QTest::newRow("two edits away is only marked") << u"helo"_qs << both << u"S 0+4"_qs;
        QTest::newRow("corrections alone") << u"teh cat"_qs << correction << u"C 0+3 the"_qs;
        QTest::newRow("no suggestion, no correction") << u"qzxjkvw"_qs << both << u"S 0+7"_qs;
        QTest::newRow("no replacements on this desktop")
            << u"teh"_qs << TextCheckingTypes(TextCheckingType::Replacement) << QString();
        QTest::newRow("a file name with its extension") << u"secret.vault"_qs << spelling << QString();
        QTest::newRow("a misspelled part of a dotted name") << u"secrt.vault"_qs << spelling << u"S 0+5"_qs;
        QTest::newRow("apostrophes, straight and curly") << u"don't won\u2019t"_qs << spelling << QString();
        QTest::newRow("words with digits") << u"file2 abc123 2024"_qs << spelling << QString();
        QTest::newRow("UTF-16 units after an emoji") << u"\U0001F600 brwn"_qs << spelling << u"S 3+4"_qs;
        QTest::newRow("in order") << u"brwn fox teh"_qs << both << u"S 0+4; C 0+4 brawn; S 9+3; C 9+3 the"_qs;
    }

    void findsMisspellingsAndCorrections()
    {
        QFETCH(QString, text);
        QFETCH(TextCheckingTypes, types);
        QFETCH(QString, expected);
        const Answer answer = checkAndWait(*m_checker, text, types);
        QVERIFY(answer.sequenceNumber > 0);
        QCOMPARE(describe(answer.results), expected);
    }

    void checksOnlyTheRange()
    {
        const Answer answer = checkAndWait(*m_checker, u"brwn brwn brwn"_qs, spelling, 5, 4);
        QCOMPARE(describe(answer.results), u"S 5+4"_qs);
        QCOMPARE(answer.wordCount, 1);
    }

    void answersOnItsOwnThreadWithTheRequestsNumber()
    {
        const Answer first = checkAndWait(*m_checker, u"one two three"_qs, spelling);
        const Answer second = checkAndWait(*m_checker, u"one two"_qs, spelling);
        QVERIFY(first.sequenceNumber > 0);
        QVERIFY(second.sequenceNumber > first.sequenceNumber);
        QVERIFY(first.thread != std::this_thread::get_id());
        QCOMPARE(first.orthography, u"en_US"_qs);
        QCOMPARE(first.wordCount, 3);
    }

    void answersEveryRequestOnceInOrder()
    {
        std::mutex mutex;
        QList<qint64> asked;
        QList<qint64> answered;
        for (int i = 0; i < 20; ++i) {
            asked << m_checker->requestChecking(
                u"brwn fox"_qs, 0, 8, both,
                [&](qint64 number, const QList<TextCheckingResult> &, const QString &, int) {
                    const std::lock_guard lock(mutex);
                    answered << number;
                });
        }
        QTRY_VERIFY_WITH_TIMEOUT(([&] {
                                     const std::lock_guard lock(mutex);
                                     return answered.size() == asked.size();
                                 }()),
                                 20000);
        const std::lock_guard lock(mutex);
        QCOMPARE(answered, asked);
    }

    void guessesForAWord()
    {
        const QString text = u"hello wrld"_qs;
        QVERIFY(m_checker->guessesForWordRange(6, 4, text).contains(u"world"_qs));
        QVERIFY(m_checker->guessesForWordRange(0, 5, text).isEmpty());
        QVERIFY(m_checker->guessesForWordRange(0, 7, u"qzxjkvw"_qs).isEmpty());
        QVERIFY(m_checker->guessesForWordRange(8, 4, text).isEmpty());
    }

    void automaticCorrectionIsOnUntilSwitchedOff()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("d.ini"));
        {
            Defaults defaults(file);
            SpellChecker checker(SpellChecker::systemDictionaryFolder(), {}, defaults);
            QVERIFY(checker.isAutomaticSpellingCorrectionEnabled());
            QVERIFY(!checker.isAutomaticTextReplacementEnabled());
            checker.setAutomaticSpellingCorrectionEnabled(false);
            defaults.synchronize();
        }
        Defaults reloaded(file);
        SpellChecker checker(SpellChecker::systemDictionaryFolder(), {}, reloaded);
        QVERIFY(!checker.isAutomaticSpellingCorrectionEnabled());
        QVERIFY(!reloaded.boolValue(QString::fromLatin1(SpellChecker::automaticSpellingCorrectionKey)));
    }

    void choosesTheDictionary_data()
    {
        QTest::addColumn<QStringList>("installed");
        QTest::addColumn<QStringList>("preferred");
        QTest::addColumn<QString>("expected");

        const QStringList german{u"de_AT"_qs, u"de_DE"_qs, u"en_US"_qs};
        QTest::newRow("language and region") << german << QStringList{u"de-AT"_qs} << u"de_AT"_qs;
        QTest::newRow("the language's own region") << german << QStringList{u"de-CH"_qs, u"en"_qs} << u"de_DE"_qs;
        QTest::newRow("the only region of a language")
            << QStringList{u"pt_BR"_qs, u"en_US"_qs} << QStringList{u"pt"_qs} << u"pt_BR"_qs;
        QTest::newRow("a later preference") << german << QStringList{u"fr-FR"_qs, u"de"_qs} << u"de_DE"_qs;
        QTest::newRow("English otherwise") << german << QStringList{u"fr-FR"_qs} << u"en_US"_qs;
        QTest::newRow("any English") << QStringList{u"en_GB"_qs} << QStringList{} << u"en_GB"_qs;
        QTest::newRow("nothing to use") << QStringList{u"de_DE"_qs} << QStringList{u"fr"_qs} << QString();
        QTest::newRow("an affix file without its words")
            << QStringList{u"fr_FR.aff"_qs, u"en_US"_qs} << QStringList{u"fr"_qs} << u"en_US"_qs;
    }

    void choosesTheDictionary()
    {
        QFETCH(QStringList, installed);
        QFETCH(QStringList, preferred);
        QFETCH(QString, expected);
        QTemporaryDir folder;
        for (const QString &name : installed) {
            if (name.endsWith(u".aff")) {
                writeFile(folder.filePath(name), {});
                continue;
            }
            writeFile(folder.filePath(name + u".aff"), {});
            writeFile(folder.filePath(name + u".dic"), {});
        }
        QCOMPARE(SpellChecker::dictionaryNameForLanguages(folder.path(), preferred), expected);
    }

    void fallsBackToEnglishWhenNoPreferredLanguageIsInstalled()
    {
        QTemporaryDir dir;
        Defaults defaults(dir.filePath(QStringLiteral("d.ini")));
        SpellChecker checker(SpellChecker::systemDictionaryFolder(), {u"xx-YY"_qs}, defaults);
        QCOMPARE(checker.language(), u"en_US"_qs);
        QCOMPARE(describe(checkAndWait(checker, u"teh"_qs, spelling).results), u"S 0+3"_qs);
    }

    void withoutADictionaryNothingIsReported()
    {
        QTemporaryDir folder;
        Defaults defaults(folder.filePath(QStringLiteral("d.ini")));
        SpellChecker checker(folder.path(), {u"en"_qs}, defaults);
        QCOMPARE(checker.language(), QString());
        const Answer answer = checkAndWait(checker, u"teh brwn"_qs, both);
        QVERIFY(answer.sequenceNumber > 0);
        QVERIFY(answer.results.isEmpty());
        QVERIFY(checker.guessesForWordRange(0, 3, u"teh"_qs).isEmpty());
    }

    // A dictionary in a legacy encoding gets and gives words in that encoding.
    void speaksTheDictionarysEncoding()
    {
        QTemporaryDir folder;
        writeFile(folder.filePath(u"fr_FR.aff"_qs), "SET ISO8859-1\nTRY a\xe9\xe8\xefnvcfi\n");
        writeFile(folder.filePath(u"fr_FR.dic"_qs), "2\ncaf\xe9\nna\xefve\n");
        Defaults defaults(folder.filePath(QStringLiteral("d.ini")));
        SpellChecker checker(folder.path(), {u"fr-FR"_qs}, defaults);
        QCOMPARE(checker.language(), u"fr_FR"_qs);
        QCOMPARE(describe(checkAndWait(checker, u"caf\u00e9 na\u00efve caf\u00e8 \u0436\u0443\u043a"_qs, both).results),
                 u"S 11+4; C 11+4 caf\u00e9"_qs);
        QCOMPARE(checker.guessesForWordRange(0, 4, u"caf\u00e8"_qs).value(0), u"caf\u00e9"_qs);
    }

    void goesAwayWithRequestsPending()
    {
        QTemporaryDir dir;
        Defaults defaults(dir.filePath(QStringLiteral("d.ini")));
        std::atomic<int> answered{0};
        {
            SpellChecker checker(SpellChecker::systemDictionaryFolder(), {u"en"_qs}, defaults);
            for (int i = 0; i < 50; ++i) {
                checker.requestChecking(
                    u"brwn teh alot"_qs, 0, 13, both,
                    [&](qint64, const QList<TextCheckingResult> &, const QString &, int) { ++answered; });
            }
        }
        QVERIFY(answered < 50);
    }

    void editDistance_data()
    {
        QTest::addColumn<QString>("word");
        QTest::addColumn<QString>("other");
        QTest::addColumn<bool>("oneApart");

        QTest::newRow("same") << u"word"_qs << u"word"_qs << false;
        QTest::newRow("substitution") << u"wrld"_qs << u"weld"_qs << true;
        QTest::newRow("insertion") << u"alot"_qs << u"a lot"_qs << true;
        QTest::newRow("deletion at the end") << u"catt"_qs << u"cat"_qs << true;
        QTest::newRow("deletion in a run") << u"aaa"_qs << u"aa"_qs << true;
        QTest::newRow("transposition") << u"teh"_qs << u"the"_qs << true;
        QTest::newRow("transposition at the start") << u"ab"_qs << u"ba"_qs << true;
        QTest::newRow("two substitutions") << u"helo"_qs << u"hole"_qs << false;
        QTest::newRow("distant transposition") << u"abc"_qs << u"cba"_qs << false;
        QTest::newRow("two insertions") << u"ab"_qs << u"abcd"_qs << false;
        QTest::newRow("one character outside the BMP") << u"a\U0001F600b"_qs << u"a\U0001F601b"_qs << true;
    }

    void editDistance()
    {
        QFETCH(QString, word);
        QFETCH(QString, other);
        QFETCH(bool, oneApart);
        QCOMPARE(platform::isOneEditOrTranspositionApart(word, other), oneApart);
        QCOMPARE(platform::isOneEditOrTranspositionApart(other, word), oneApart);
    }
};

QTEST_GUILESS_MAIN(TestSpellChecker)
#include "tst_spellchecker.moc"
