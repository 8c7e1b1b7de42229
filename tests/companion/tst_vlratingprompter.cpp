#include "companion/VLRatingPrompter.h"
#include "platform/settings/Defaults.h"
#include "windowing/windows/VLAlertHandler.h"

#include <QApplication>
#include <QDesktopServices>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <memory>

class TestVLRatingPrompter : public QObject
{
    Q_OBJECT

public slots:
    void openLink(const QUrl &url) { m_links << url; }

private:
    // A prompter set up as the application delegate sets it up, over fresh defaults.
    std::unique_ptr<VLRatingPrompter> makePrompter()
    {
        m_defaults = std::make_unique<platform::Defaults>(
            m_dir.filePath(QStringLiteral("rating-%1.ini").arg(++m_count)));
        auto prompter = std::make_unique<VLRatingPrompter>(*m_defaults);
        prompter->setOnlyPromptIfMainWindowIsAvailable(true);
        prompter->setRemindPeriod(2.0);
        prompter->setDaysUntilPrompt(0.0);
        prompter->setUsesUntilPrompt(2);
        prompter->setPromptAtLaunch(false);
        prompter->setAppStoreID(QStringLiteral("42"));
        prompter->setMainWindowProvider([this] { return &m_window; });
        return prompter;
    }

    QTemporaryDir m_dir;
    int m_count = 0;
    std::unique_ptr<platform::Defaults> m_defaults;
    QWidget m_window;
    QList<QUrl> m_links;

private slots:
    void initTestCase()
    {
        QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "openLink");
        m_window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&m_window));
    }

    void cleanupTestCase() { QDesktopServices::unsetUrlHandler(QStringLiteral("https")); }

    void init()
    {
        m_links.clear();
        VLAlertHandler::clearLastAlert();
        m_window.show();
    }

    void promptsFromTheSecondUse()
    {
        auto prompter = makePrompter();
        prompter->applicationLaunched();
        QVERIFY(!prompter->shouldPromptForRating());
        prompter->promptIfAllCriteriaMet();
        QVERIFY(!VLAlertHandler::lastAlert());
        prompter->applicationLaunched();
        QCOMPARE(prompter->usesCount(), 2);
        QVERIFY(prompter->shouldPromptForRating());
    }

    void theAnswerDecidesWhatFollows_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("opensLink");
        QTest::addColumn<bool>("asksAgainLater");
        QTest::newRow("rate") << VLRatingPrompter::rateReturn << true << false;
        QTest::newRow("remind me later") << VLRatingPrompter::remindReturn << false << false;
        QTest::newRow("no, thanks") << VLRatingPrompter::declineReturn << false << false;
    }

    void theAnswerDecidesWhatFollows()
    {
        QFETCH(int, answer);
        QFETCH(bool, opensLink);
        QFETCH(bool, asksAgainLater);
        auto prompter = makePrompter();
        prompter->applicationLaunched();
        prompter->applicationLaunched();
        VLAlertHandler::setNextAnswer(answer);
        prompter->promptIfAllCriteriaMet();
        QVERIFY(VLAlertHandler::lastAlert());
        QCOMPARE(VLAlertHandler::lastAlert()->messageText(), QStringLiteral("Rate Vaultine"));
        QTRY_VERIFY(!prompter->isPrompting());
        QCOMPARE(m_links.size(), opensLink ? 1 : 0);
        if (opensLink) {
            QCOMPARE(m_links.first().path(), QStringLiteral("/index.php"));
            QVERIFY(m_links.first().query().startsWith(QStringLiteral("4&action=rate&appid=42&product=")));
        }
        // Within the remind period, and for a rated or declined version, it does not ask again.
        QCOMPARE(prompter->shouldPromptForRating(), asksAgainLater);
        if (answer == VLRatingPrompter::remindReturn) {
            m_defaults->setValue(VLRatingPrompter::lastRemindedKey, QDateTime::currentDateTimeUtc().addDays(-3));
            QVERIFY(prompter->shouldPromptForRating());
        }
        // A new version asks again, whatever the answer was.
        prompter->setApplicationVersion(QStringLiteral("9.9"));
        m_defaults->remove(VLRatingPrompter::lastRemindedKey);
        QVERIFY(prompter->shouldPromptForRating());
    }

    void onlyWithTheMainWindowShown()
    {
        auto prompter = makePrompter();
        prompter->applicationLaunched();
        prompter->applicationLaunched();
        m_window.hide();
        prompter->promptIfAllCriteriaMet();
        QVERIFY(!VLAlertHandler::lastAlert());
        QVERIFY(!prompter->isPrompting());
    }
};

QTEST_MAIN(TestVLRatingPrompter)
#include "tst_vlratingprompter.moc"
