#include "companion/VLABTester.h"
#include "platform/settings/Defaults.h"

#include <QTemporaryDir>
#include <QTest>

using Steps = QList<QPair<unsigned, unsigned>>; // (option, case)

class TestVLABTester : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    int m_run = 0;

    std::unique_ptr<platform::Defaults> freshDefaults()
    {
        return std::make_unique<platform::Defaults>(m_dir.filePath(QStringLiteral("ab-%1.ini").arg(++m_run)));
    }

private slots:
    void table_data()
    {
        QTest::addColumn<Steps>("steps");
        QTest::addColumn<QString>("values");
        QTest::addColumn<QString>("case2");
        QTest::newRow("none") << Steps{} << QString() << QString();
        QTest::newRow("one") << Steps{{VLABTester::B, 2}} << QStringLiteral("2B") << QStringLiteral("2B");
        QTest::newRow("in case order") << Steps{{VLABTester::C, 7}, {VLABTester::A, 2}} << QStringLiteral("2A7C")
                                       << QStringLiteral("2A");
        QTest::newRow("case 0 is never kept") << Steps{{VLABTester::A, 0}} << QString() << QString();
        QTest::newRow("none removes") << Steps{{VLABTester::A, 2}, {VLABTester::None, 2}} << QString() << QString();
        QTest::newRow("out of range removes") << Steps{{VLABTester::A, 2}, {9, 2}} << QString() << QString();
        QTest::newRow("replaced") << Steps{{VLABTester::A, 2}, {VLABTester::C, 2}} << QStringLiteral("2C")
                                  << QStringLiteral("2C");
    }

    void table()
    {
        QFETCH(Steps, steps);
        QFETCH(QString, values);
        QFETCH(QString, case2);
        const auto defaults = freshDefaults();
        VLABTester tester(*defaults);
        for (const auto &[option, caseNumber] : steps)
            tester.setOptionForCase(option, caseNumber);
        QCOMPARE(tester.humanReadableValues(), values);
        QCOMPARE(tester.humanReadableValueForCase(2), case2);
        QCOMPARE(tester.humanReadableValueForCase(0), QString());
        QCOMPARE(tester.optionForCase(0), unsigned(VLABTester::None));
        QCOMPARE(defaults->stringValue(VLABTester::valuesDefaultsKey), values);
    }

    void letters_data()
    {
        QTest::addColumn<QString>("letter");
        QTest::addColumn<unsigned>("option");
        QTest::addColumn<QString>("back");
        QTest::newRow("A") << QStringLiteral("A") << 0u << QStringLiteral("A");
        QTest::newRow("B") << QStringLiteral("B") << 1u << QStringLiteral("B");
        QTest::newRow("C") << QStringLiteral("C") << 2u << QStringLiteral("C");
        QTest::newRow("lower case") << QStringLiteral("a") << 3u << QString();
        QTest::newRow("D") << QStringLiteral("D") << 3u << QString();
        QTest::newRow("empty") << QString() << 3u << QString();
    }

    void letters()
    {
        QFETCH(QString, letter);
        QFETCH(unsigned, option);
        QFETCH(QString, back);
        QCOMPARE(VLABTester::optionFromString(letter), option);
        QCOMPARE(VLABTester::humanReadableValueForOption(option), back);
    }

    void storedSummary()
    {
        const auto defaults = freshDefaults();
        QVERIFY(!defaults->contains(VLABTester::valuesDefaultsKey));
        {
            VLABTester tester(*defaults);
        }
        QVERIFY(defaults->contains(VLABTester::valuesDefaultsKey));
        QCOMPARE(defaults->stringValue(VLABTester::valuesDefaultsKey), QString());

        // A stored summary is left alone and brings back no options.
        defaults->setValue(VLABTester::valuesDefaultsKey, QStringLiteral("1B"));
        VLABTester tester(*defaults);
        QCOMPARE(defaults->stringValue(VLABTester::valuesDefaultsKey), QStringLiteral("1B"));
        QCOMPARE(tester.optionForCase(1), unsigned(VLABTester::None));

        tester.setOptionForCasePersist(VLABTester::A, 3, false);
        QCOMPARE(tester.humanReadableValues(), QStringLiteral("3A"));
        QCOMPARE(defaults->stringValue(VLABTester::valuesDefaultsKey), QStringLiteral("1B"));
    }

    void performCase()
    {
        const auto defaults = freshDefaults();
        VLABTester tester(*defaults);
        QStringList ran;
        const std::map<unsigned, std::function<void()>> options = {
            {VLABTester::A, [&ran] { ran << QStringLiteral("A"); }},
            {VLABTester::B, [&ran] { ran << QStringLiteral("B"); }}};
        tester.performCaseWithOptionsDefaultOption(4, options, VLABTester::B); // unset: default
        tester.setOptionForCase(VLABTester::A, 4);
        tester.performCaseWithOptionsDefaultOption(4, options, VLABTester::B);
        tester.setOptionForCase(VLABTester::C, 4); // no block for C: default
        tester.performCaseWithOptionsDefaultOption(4, options, VLABTester::B);
        tester.performCaseWithOptionsDefaultOption(4, options, VLABTester::C); // neither: nothing
        QCOMPARE(ran, QStringList({QStringLiteral("B"), QStringLiteral("A"), QStringLiteral("B")}));
    }
};

QTEST_GUILESS_MAIN(TestVLABTester)
#include "tst_vlabtester.moc"
