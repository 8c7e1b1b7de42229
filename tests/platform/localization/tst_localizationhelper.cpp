#include "platform/core/SystemInfo.h"
#include "platform/localization/Localization.h"
#include "platform/localization/SWLocalizationHelper.h"

#include <QTest>
#include <QThread>

class TestLocalizationHelper : public QObject
{
    Q_OBJECT

private slots:
    // First, so that nothing has looked a text up yet.
    void keyedTextsFromAWorkerThread()
    {
        QString text;
        QThread *worker = QThread::create([&text] { text = platform::localizedString("PluralForm1_minute"); });
        worker->start();
        QVERIFY(worker->wait(10000));
        delete worker;
        QCOMPARE(text, u"minutes"_qs);
        // The interface's table is installed by the main thread only.
        QCOMPARE(QCoreApplication::translate("Localizable", "PluralForm1_minute"), u"PluralForm1_minute"_qs);
        QCOMPARE(platform::localizedString("PluralForm1_minute"), u"minutes"_qs);
        QCOMPARE(QCoreApplication::translate("Localizable", "PluralForm1_minute"), u"minutes"_qs);
    }

    void languageTable_data()
    {
        QTest::addColumn<QString>("localization");
        QTest::addColumn<quint64>("index");
        QTest::addColumn<qint64>("rule");
        QTest::newRow("en") << u"en"_qs << quint64(0) << qint64(1);
        QTest::newRow("ru") << u"ru"_qs << quint64(1) << qint64(3);
        QTest::newRow("it") << u"it"_qs << quint64(4) << qint64(1);
        QTest::newRow("fr") << u"fr"_qs << quint64(5) << qint64(2);
        QTest::newRow("es") << u"es"_qs << quint64(6) << qint64(1);
        QTest::newRow("de") << u"de"_qs << quint64(0) << qint64(1);
        QTest::newRow("pt-BR") << u"pt-BR"_qs << quint64(8) << qint64(2);
        QTest::newRow("pl") << u"pl"_qs << quint64(9) << qint64(4);
        QTest::newRow("ja") << u"ja"_qs << quint64(10) << qint64(0);
        QTest::newRow("other") << u"nl"_qs << quint64(0) << qint64(1);
        QTest::newRow("empty") << QString() << quint64(0) << qint64(1);
        // The system's region-qualified names.
        QTest::newRow("ru-RU") << u"ru-RU"_qs << quint64(1) << qint64(3);
        QTest::newRow("pt_BR") << u"pt_BR"_qs << quint64(8) << qint64(2);
        QTest::newRow("pt-PT is not Brazilian") << u"pt-PT"_qs << quint64(0) << qint64(1);
        QTest::newRow("de-DE") << u"de-DE"_qs << quint64(0) << qint64(1);
    }

    void languageTable()
    {
        QFETCH(QString, localization);
        QFETCH(quint64, index);
        QFETCH(qint64, rule);
        const SWLocalizationHelper helper(QStringList{localization, u"ru"_qs});
        QCOMPARE(helper.currentLanguage(), index);
        QCOMPARE(SWLocalizationHelper::pluralRuleForLanguage(index), rule);
    }

    void ruleTable()
    {
        const QList<qint64> rules{1, 3, 3, 1, 1, 2, 1, 0, 2, 4, 0};
        for (quint64 index = 0; index < 11; ++index)
            QCOMPARE(SWLocalizationHelper::pluralRuleForLanguage(index), rules.at(qsizetype(index)));
        QCOMPARE(SWLocalizationHelper::pluralRuleForLanguage(11), qint64(-1));
        QCOMPARE(SWLocalizationHelper::pluralRuleForLanguage(quint64(-1)), qint64(-1));
    }

    void pluralForms_data()
    {
        QTest::addColumn<qint64>("rule");
        QTest::addColumn<QList<quint64>>("counts");
        QTest::addColumn<QList<int>>("forms");
        QTest::newRow("english") << qint64(1) << QList<quint64>{0, 1, 2, 5, 11, 21} << QList<int>{1, 0, 1, 1, 1, 1};
        QTest::newRow("russian") << qint64(3) << QList<quint64>{1, 3, 5, 11, 21, 22, 112, 0, 12, 14, 101, 104, 111}
                                 << QList<int>{0, 1, 2, 2, 0, 1, 2, 2, 2, 2, 0, 1, 2};
        QTest::newRow("french") << qint64(2) << QList<quint64>{0, 1, 2, 100} << QList<int>{0, 0, 1, 1};
        QTest::newRow("polish") << qint64(4) << QList<quint64>{1, 3, 22, 0, 2, 4, 5} << QList<int>{0, 1, 2, 2, 1, 1, 2};
        QTest::newRow("japanese") << qint64(0) << QList<quint64>{0, 1, 2, 21} << QList<int>{0, 0, 0, 0};
        QTest::newRow("beyond the table") << qint64(-1) << QList<quint64>{0, 1, 5} << QList<int>{0, 0, 0};
        QTest::newRow("unknown rule") << qint64(7) << QList<quint64>{1, 2} << QList<int>{0, 0};
    }

    void pluralForms()
    {
        QFETCH(qint64, rule);
        QFETCH(QList<quint64>, counts);
        QFETCH(QList<int>, forms);
        for (qsizetype i = 0; i < counts.size(); ++i) {
            QVERIFY2(SWLocalizationHelper::pluralFormFromCountRule(counts[i], rule) == forms[i],
                     qPrintable(u"count "_qs + QString::number(counts[i])));
        }
    }

    void shippedEnglishForms_data()
    {
        QTest::addColumn<QString>("word");
        QTest::addColumn<QString>("singular");
        QTest::addColumn<QString>("plural");
        QTest::newRow("second") << u"second"_qs << u"second"_qs << u"seconds"_qs;
        QTest::newRow("minute") << u"minute"_qs << u"minute"_qs << u"minutes"_qs;
        QTest::newRow("hour") << u"hour"_qs << u"hour"_qs << u"hours"_qs;
        QTest::newRow("day") << u"day"_qs << u"day"_qs << u"days"_qs;
    }

    void shippedEnglishForms()
    {
        QFETCH(QString, word);
        QFETCH(QString, singular);
        QFETCH(QString, plural);
        // Every form key of every word is in the shipped table.
        for (int form = 0; form < 3; ++form) {
            const QString key = u"PluralForm"_qs + QString::number(form) + u'_' + word;
            QCOMPARE(platform::localizedString(key), form == 0 ? singular : plural);
        }
        const SWLocalizationHelper english(QStringList{u"en"_qs});
        QCOMPARE(english.formOfStringCount(word, 1), singular);
        QCOMPARE(english.formOfStringCount(word, 0), plural);
        QCOMPARE(english.pluralFormFromStringCount(word, 11), u"11 "_qs + plural);
        QCOMPARE(english.pluralFormFromStringCount(word, 1), u"1 "_qs + singular);
        QCOMPARE(english.smartFormFromStringCount(word, 1), singular);
        QCOMPARE(english.smartFormFromStringCount(word, 0), plural);
        QCOMPARE(english.smartFormFromStringCount(word, 3), u"3 "_qs + plural);

        // Russian counts pick the third form, which the English table spells as the plural.
        const SWLocalizationHelper russian(QStringList{u"ru"_qs});
        QCOMPARE(russian.formOfStringCount(word, 21), singular);
        QCOMPARE(russian.formOfStringCount(word, 5), plural);
    }

    void missingKeysAndFormats()
    {
        QCOMPARE(platform::localizedString("PluralForm0_fortnight"), u"PluralForm0_fortnight"_qs);
        QCOMPARE(platform::localizedString("About %@"), u"About %@"_qs);
        QCOMPARE(platform::formatWithObjects(u"About %@"_qs, {u"5 minutes"_qs}), u"About 5 minutes"_qs);
        QCOMPARE(platform::formatWithObjects(u"%@ of %@"_qs, {u"%@"_qs, u"b"_qs}), u"%@ of b"_qs);
        QCOMPARE(platform::formatWithObjects(u"%@ and %@"_qs, {u"a"_qs}), u"a and %@"_qs);
    }

    void preferredLocalizations_data()
    {
        QTest::addColumn<QStringList>("shipped");
        QTest::addColumn<QStringList>("preferred");
        QTest::addColumn<QStringList>("localizations");
        const QStringList english{u"en"_qs};
        const QStringList several{u"en"_qs, u"ru"_qs, u"pt-BR"_qs, u"pl"_qs};
        QTest::newRow("only English ships") << english << QStringList{u"ru-RU"_qs, u"pl"_qs} << english;
        QTest::newRow("nothing preferred") << several << QStringList{} << english;
        QTest::newRow("region to language") << several << QStringList{u"ru-RU"_qs} << QStringList{u"ru"_qs};
        QTest::newRow("in the user's order")
            << several << QStringList{u"nl"_qs, u"pl-PL"_qs, u"en-GB"_qs} << QStringList{u"pl"_qs, u"en"_qs};
        QTest::newRow("language to its region") << several << QStringList{u"pt"_qs} << QStringList{u"pt-BR"_qs};
        QTest::newRow("system spelling") << several << QStringList{u"pt_BR"_qs} << QStringList{u"pt-BR"_qs};
    }

    void preferredLocalizations()
    {
        QFETCH(QStringList, shipped);
        QFETCH(QStringList, preferred);
        QFETCH(QStringList, localizations);
        QCOMPARE(platform::preferredLocalizations(shipped, preferred), localizations);
    }

    void sharedInstanceFollowsTheShippedLanguage()
    {
        QCOMPARE(platform::shippedLocalizations(), QStringList{u"en"_qs});
        // A Russian user sees the English tables, so the English rule must pick their forms:
        // 21 is "seconds", not the Russian singular form.
        platform::setPreferredLanguagesOverride(QStringList{u"ru-RU"_qs, u"pl"_qs});
        const SWLocalizationHelper &shared = SWLocalizationHelper::sharedInstance();
        QCOMPARE(shared.currentLanguage(), quint64(0));
        QCOMPARE(shared.pluralFormFromStringCount(u"second"_qs, 21), u"21 seconds"_qs);
        QCOMPARE(&SWLocalizationHelper::sharedInstance(), &shared);
        platform::setPreferredLanguagesOverride(std::nullopt);
    }
};

QTEST_GUILESS_MAIN(TestLocalizationHelper)
#include "tst_localizationhelper.moc"
