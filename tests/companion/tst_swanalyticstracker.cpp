#include "companion/SWAnalyticsTracker.h"
#include "companion/VLABTester.h"
#include "platform/settings/Defaults.h"
#include "platform/view/DisplayMetrics.h"
#include "tests/companion/LocalHttpServer.h"
#include "tests/companion/TestEnvironment.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUrlQuery>
#include <QWidget>

using namespace std::chrono_literals;

namespace {

const QString propertyId = QStringLiteral("UA-12345678-9");
// md5("C02ABCDEF123" "alice")
const QByteArray clientId = "eae10d53956974bdae09063a883cdc73";

QByteArray screenPart()
{
    const QSize size = QGuiApplication::primaryScreen()->geometry().size();
    return "&sr=" + QByteArray::number(size.width()) + 'x' + QByteArray::number(size.height());
}

// The query value of a key as sent (still escaped).
QByteArray rawValue(const QByteArray &query, const QByteArray &key)
{
    for (const QByteArray &pair : query.split('&')) {
        if (pair.startsWith(QByteArray(key + '=')))
            return pair.mid(key.size() + 1);
    }
    return {};
}

} // namespace

class TestSWAnalyticsTracker : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<platform::Defaults> m_defaults;
    std::unique_ptr<VLABTester> m_tester;
    std::unique_ptr<LocalHttpServer> m_server;

    std::unique_ptr<SWAnalyticsTracker> makeTracker(std::chrono::milliseconds deadline = 1500ms)
    {
        SWAnalyticsTracker::Configuration configuration;
        configuration.collectEndpoint = m_server->url(QStringLiteral("/collect"));
        configuration.propertyIdentifier = propertyId;
        configuration.defaults = m_defaults.get();
        configuration.abTester = m_tester.get();
        configuration.environment = testEnvironment();
        configuration.synchronousDeadline = deadline;
        return std::make_unique<SWAnalyticsTracker>(configuration);
    }

    QList<QByteArray> sentValues(const QByteArray &key) const
    {
        QList<QByteArray> values;
        for (const auto &request : m_server->requests())
            values << rawValue(request.query, key);
        return values;
    }

private slots:
    void init()
    {
        static int run = 0;
        m_defaults = std::make_unique<platform::Defaults>(m_dir.filePath(QStringLiteral("defaults-%1.ini").arg(++run)));
        m_tester = std::make_unique<VLABTester>(*m_defaults);
        m_server = std::make_unique<LocalHttpServer>();
        platform::setMainWindow(nullptr);
    }

    void cleanup()
    {
        m_server.reset();
        m_tester.reset();
        m_defaults.reset();
    }

    void eventHitIsSentExactly_data()
    {
        QTest::addColumn<QVariant>("label");
        QTest::addColumn<QByteArray>("sent"); // empty: no "el" at all
        QTest::newRow("plain") << QVariant(QStringLiteral("Launch")) << QByteArray("&el=Launch");
        QTest::newRow("blank") << QVariant(QStringLiteral("a b")) << QByteArray("&el=a%20b");
        QTest::newRow("empty") << QVariant(QStringLiteral("")) << QByteArray("&el=");
        QTest::newRow("en dash") << QVariant(QStringLiteral("Files \u2013 Icon Drag"))
                                 << QByteArray("&el=Files%20%E2%80%93%20Icon%20Drag");
        QTest::newRow("ampersand") << QVariant(QStringLiteral("a&b")) << QByteArray("&el=a%26b");
        QTest::newRow("plus") << QVariant(QStringLiteral("1+1")) << QByteArray("&el=1%2B1");
        QTest::newRow("hash") << QVariant(QStringLiteral("#2")) << QByteArray("&el=%232");
        QTest::newRow("equals") << QVariant(QStringLiteral("k=v")) << QByteArray("&el=k%3Dv");
        QTest::newRow("missing value") << QVariant() << QByteArray();
        QTest::newRow("null object") << QVariant::fromValue(nullptr) << QByteArray();
    }

    void eventHitIsSentExactly()
    {
        QFETCH(QVariant, label);
        QFETCH(QByteArray, sent);
        m_defaults->setValue(SWAnalyticsTrackAppKey, true);
        const auto tracker = makeTracker();
        QSignalSpy announced(&SWAnalyticsEvents::center(), &SWAnalyticsEvents::analyticsEvent);

        tracker->trackEventWithParameters({{QStringLiteral("ec"), QStringLiteral("Workflow")},
                                           {QStringLiteral("ea"), QStringLiteral("Add Items")},
                                           {QStringLiteral("el"), label},
                                           {QStringLiteral("ev"), 1}});
        QTRY_COMPARE(m_server->requestCount(), 1);
        const LocalHttpServer::Request request = m_server->requests().first();
        QCOMPARE(request.method, QByteArrayLiteral("GET"));
        QCOMPARE(request.target, "/collect?v=1&tid=UA-12345678-9&an=Vaultine&av=1.0.0-&cid=" + clientId
                                     + "&ea=Add%20Items&ec=Workflow" + sent + "&ev=1&t=event" + screenPart()
                                     + "&vp=0x0&ul=de-DE");
        QCOMPARE(request.header("User-Agent"), QByteArrayLiteral("Vaultine/1.0.0- (Macintosh; Intel Mac OS X 12_4_1)"));

        QCOMPARE(announced.size(), 1);
        const QVariantMap userInfo = announced.first().first().toMap();
        QCOMPARE(userInfo.value(QStringLiteral("gaid")).toString(), propertyId);
        QCOMPARE(userInfo.value(QStringLiteral("postponed")), QVariant(false));
        QCOMPARE(userInfo.value(QStringLiteral("t")).toString(), QStringLiteral("event"));
        QCOMPARE(userInfo.contains(QStringLiteral("el")), !sent.isEmpty());
    }

    void screenViewsNameTheScreenOfLaterEvents()
    {
        m_defaults->setValue(SWAnalyticsTrackAppKey, true);
        const auto tracker = makeTracker();
        QWidget window;
        window.resize(420, 310);
        window.show();
        platform::setMainWindow(&window);
        const QSize frame = window.frameGeometry().size();
        const QByteArray viewport = QByteArray::number(frame.width()) + 'x' + QByteArray::number(frame.height());

        QSignalSpy announced(&SWAnalyticsEvents::center(), &SWAnalyticsEvents::analyticsEvent);
        tracker->trackView(QStringLiteral("Drop Files"));
        tracker->trackEvent(QStringLiteral("Workflow"), QStringLiteral("Encrypt"));
        tracker->trackView(QString());
        tracker->trackEvent(QStringLiteral("Workflow"), QStringLiteral("Decrypt"));
        QTRY_COMPARE(m_server->requestCount(), 4);
        QCOMPARE(announced.size(), 2); // screen views are not announced
        QVERIFY(tracker->currentScreen().isNull());

        const QList<LocalHttpServer::Request> requests = m_server->requests();
        QCOMPARE(requests.at(0).target, "/collect?v=1&tid=UA-12345678-9&an=Vaultine&av=1.0.0-&cid=" + clientId
                                            + "&cd=Drop%20Files&t=appview" + screenPart() + "&vp=" + viewport
                                            + "&ul=de-DE");
        QCOMPARE(rawValue(requests.at(1).query, "cd"), QByteArrayLiteral("Drop%20Files"));
        QVERIFY(requests.at(2).query.contains("&cd=&t=appview"));
        QVERIFY(!requests.at(3).query.contains("cd="));
        platform::setMainWindow(nullptr);
    }

    void negativeValuesAreNeitherSentNorAnnounced()
    {
        m_defaults->setValue(SWAnalyticsTrackAppKey, true);
        const auto tracker = makeTracker();
        QSignalSpy announced(&SWAnalyticsEvents::center(), &SWAnalyticsEvents::analyticsEvent);
        tracker->trackEvent(QStringLiteral("Statistics"), QStringLiteral("Negative"), QString(), -1);
        tracker->trackEventWithParameters({{QStringLiteral("ec"), QStringLiteral("Statistics")},
                                           {QStringLiteral("ea"), QStringLiteral("Text")},
                                           {QStringLiteral("ev"), QStringLiteral("-3")}});
        tracker->trackSynchronouslyEvent(QStringLiteral("Statistics"), QStringLiteral("Quit"), QString(), -1);
        tracker->trackEvent(QStringLiteral("Statistics"), QStringLiteral("Positive"));
        QTRY_COMPARE(m_server->requestCount(), 1);
        QTest::qWait(100);
        QCOMPARE(m_server->requestCount(), 1);
        QCOMPARE(sentValues("ea"), QList<QByteArray>{"Positive"});
        QCOMPARE(announced.size(), 1);
    }

    void nothingIsSentWhileOffOnceDecided()
    {
        m_defaults->setValue(SWAnalyticsTrackAppKey, false);
        const auto tracker = makeTracker();
        QVERIFY(tracker->hasDecided());
        QVERIFY(!tracker->isEnabled());
        QVERIFY(!tracker->hasPostponed());
        QSignalSpy announced(&SWAnalyticsEvents::center(), &SWAnalyticsEvents::analyticsEvent);
        tracker->trackEvent(QStringLiteral("Statistics"), QStringLiteral("Launch"));
        tracker->trackView(QStringLiteral("Drop Files"));
        tracker->trackSynchronouslyEvent(QStringLiteral("Statistics"), QStringLiteral("App Quit"));
        QTest::qWait(150);
        QCOMPARE(m_server->requestCount(), 0);
        QCOMPARE(announced.size(), 0);
        QCOMPARE(tracker->postponedCount(), 0);
    }

    void heldHitsAreSentInOrderWithTheirAgeBeforeEnablingReturns()
    {
        const auto tracker = makeTracker();
        QVERIFY(!tracker->hasDecided());
        QVERIFY(tracker->hasPostponed());
        QSignalSpy announced(&SWAnalyticsEvents::center(), &SWAnalyticsEvents::analyticsEvent);

        QList<QElapsedTimer> ages;
        for (const char *action : {"Launch", "First Launch", "OS"}) {
            QElapsedTimer age;
            age.start();
            ages << age;
            tracker->trackEvent(QStringLiteral("Statistics"), QString::fromLatin1(action));
            QTest::qWait(40);
        }
        tracker->trackView(QStringLiteral("Drop Files"));
        QCOMPARE(announced.size(), 3);
        for (const auto &arguments : announced)
            QCOMPARE(arguments.first().toMap().value(QStringLiteral("postponed")), QVariant(true));
        QTest::qWait(100);
        QCOMPARE(m_server->requestCount(), 0);
        QCOMPARE(tracker->postponedCount(), 4);

        QList<qint64> agesBefore;
        for (const auto &age : ages)
            agesBefore << age.elapsed();
        tracker->setEnabled(true);
        QList<qint64> agesAfter;
        for (const auto &age : ages)
            agesAfter << age.elapsed();

        // Sent synchronously: all four are at the server when setEnabled returns.
        QCOMPARE(m_server->requestCount(), 4);
        QCOMPARE(sentValues("ea"), QList<QByteArray>({"Launch", "First%20Launch", "OS", ""}));
        QCOMPARE(sentValues("t"), QList<QByteArray>({"event", "event", "event", "appview"}));
        for (int i = 0; i < 3; ++i) {
            const QByteArray query = m_server->requests().at(i).query;
            QVERIFY2(query.contains("&ul=de-DE&qt="), query.constData());
            const qint64 qt = rawValue(query, "qt").toLongLong();
            QVERIFY2(qt >= agesBefore.at(i) - 1 && qt <= agesAfter.at(i), query.constData());
        }
        QVERIFY(tracker->isEnabled());
        QVERIFY(!tracker->hasPostponed());
        QCOMPARE(tracker->postponedCount(), 0);
        QVERIFY(m_defaults->boolValue(SWAnalyticsTrackAppKey));

        // Later hits go straight out, without an age.
        tracker->trackEvent(QStringLiteral("Statistics"), QStringLiteral("Later"));
        QTRY_COMPARE(m_server->requestCount(), 5);
        QVERIFY(!m_server->requests().last().query.contains("qt="));
    }

    void hitsAfterAnExplicitNoAreNotKept()
    {
        const auto tracker = makeTracker();
        tracker->trackEvent(QStringLiteral("Statistics"), QStringLiteral("Before"));
        tracker->setEnabled(false); // the quit-time question answered "off"
        QVERIFY(tracker->hasDecided());
        QSignalSpy announced(&SWAnalyticsEvents::center(), &SWAnalyticsEvents::analyticsEvent);
        tracker->trackEvent(QStringLiteral("Statistics"), QStringLiteral("After"));
        tracker->trackView(QStringLiteral("About"));
        QCOMPARE(announced.size(), 0);
        QCOMPARE(tracker->postponedCount(), 1);
        QCOMPARE(m_server->requestCount(), 0);

        // Turning it on in the same run still sends what was held before the answer.
        tracker->setEnabled(true);
        QCOMPARE(m_server->requestCount(), 1);
        QCOMPARE(sentValues("ea"), QList<QByteArray>{"Before"});
    }

    void flushingStopsAtTheFirstFailure_data()
    {
        QTest::addColumn<bool>("refuse");
        QTest::addColumn<int>("reached");
        QTest::newRow("second stalls") << false << 2;
        QTest::newRow("refused") << true << 0;
    }

    void flushingStopsAtTheFirstFailure()
    {
        QFETCH(bool, refuse);
        QFETCH(int, reached);
        const auto tracker = makeTracker(400ms);
        for (int i = 0; i < 4; ++i)
            tracker->trackEvent(QStringLiteral("Statistics"), QString::number(i));
        m_server->setBehaviour([](int index, const LocalHttpServer::Request &) {
            return LocalHttpServer::Reply::delayed(index == 1 ? 10000ms : 0ms);
        });
        if (refuse)
            m_server->setListening(false);

        QElapsedTimer clock;
        clock.start();
        tracker->setEnabled(true);
        QVERIFY2(clock.elapsed() < 2000, "enabling waited out every held hit");
        QTest::qWait(600);
        QCOMPARE(m_server->requestCount(), reached);
        QCOMPARE(tracker->postponedCount(), 0);
        QVERIFY(!tracker->hasPostponed());

        // The dropped hits are not sent again with the next one.
        if (refuse)
            m_server->setListening(true);
        m_server->setBehaviour({});
        tracker->trackEvent(QStringLiteral("Statistics"), QStringLiteral("Next"));
        QTRY_COMPARE(m_server->requestCount(), reached + 1);
        QCOMPARE(sentValues("ea").last(), QByteArrayLiteral("Next"));
    }

    void quitHitIsSentBeforeTheCallReturns_data()
    {
        QTest::addColumn<int>("mode"); // 0 answered, 1 refused, 2 stalled
        QTest::newRow("answered") << 0;
        QTest::newRow("refused") << 1;
        QTest::newRow("stalled") << 2;
    }

    void quitHitIsSentBeforeTheCallReturns()
    {
        QFETCH(int, mode);
        m_defaults->setValue(SWAnalyticsTrackAppKey, true);
        const auto tracker = makeTracker(500ms);
        tracker->duplicateEventsForCategoryToGAID(QStringLiteral("Statistics"), QStringLiteral("UA-87654321-1"));
        if (mode == 1)
            m_server->setListening(false);
        if (mode == 2)
            m_server->setReply(LocalHttpServer::Reply::delayed(10000ms));

        QElapsedTimer clock;
        clock.start();
        tracker->trackSynchronouslyEvent(QStringLiteral("Statistics"), QStringLiteral("App Quit"));
        QVERIFY2(clock.elapsed() < 1500, "the quit hit waited past its deadline");
        if (mode == 0) {
            QCOMPARE(m_server->requestCount(), 2);
            QCOMPARE(sentValues("ea"), QList<QByteArray>({"App%20Quit", "App%20Quit"}));
            QCOMPARE(sentValues("tid"), QList<QByteArray>({"UA-12345678-9", "UA-87654321-1"}));
        } else {
            // The second property's copy is not tried after the first one failed.
            QTest::qWait(300);
            QCOMPARE(m_server->requestCount(), mode == 1 ? 0 : 1);
        }
    }

    void oneRequestIsInFlightAtATime()
    {
        m_defaults->setValue(SWAnalyticsTrackAppKey, true);
        const auto tracker = makeTracker();
        m_server->setReply(LocalHttpServer::Reply::delayed(50ms));
        for (int i = 0; i < 6; ++i)
            tracker->trackEvent(QStringLiteral("Workflow"), QString::number(i));
        QTRY_COMPARE_WITH_TIMEOUT(m_server->requestCount(), 6, 10000);
        QCOMPARE(m_server->maximumConcurrent(), 1);
        QCOMPARE(sentValues("ea"), QList<QByteArray>({"0", "1", "2", "3", "4", "5"}));
    }

    void quitHitIsSentWithinItsDeadlineWhateverIsQueued()
    {
        m_defaults->setValue(SWAnalyticsTrackAppKey, true);
        const auto tracker = makeTracker(1500ms);
        // The service holds every queued hit far past the quit hit's deadline.
        m_server->setBehaviour([](int, const LocalHttpServer::Request &request) {
            return LocalHttpServer::Reply::delayed(request.query.contains("&ea=App%20Quit") ? 0ms : 60000ms);
        });
        for (int i = 0; i < 3; ++i)
            tracker->trackEvent(QStringLiteral("Workflow"), QString::number(i));
        QTRY_COMPARE(m_server->requestCount(), 1);

        tracker->trackSynchronouslyEvent(QStringLiteral("Statistics"), QStringLiteral("App Quit"));
        // At the service when the call returns, beside the held hit; the queue keeps its order.
        QCOMPARE(sentValues("ea"), QList<QByteArray>({"0", "App%20Quit"}));
        QCOMPARE(m_server->maximumConcurrent(), 2);
    }

    void extraPropertiesGetCopies()
    {
        m_defaults->setValue(SWAnalyticsTrackAppKey, true);
        const auto tracker = makeTracker();
        QSignalSpy announced(&SWAnalyticsEvents::center(), &SWAnalyticsEvents::analyticsEvent);
        tracker->duplicateEventsForCategoryToGAID(QStringLiteral("Workflow"), QStringLiteral("UA-11111111-1"));
        tracker->duplicateViewsToGAID(QStringLiteral("UA-22222222-2"));
        tracker->duplicateEventsForCategoryToGAID(QString(), QStringLiteral("UA-33333333-3")); // ignored

        tracker->trackEvent(QStringLiteral("Workflow"), QStringLiteral("Encrypt"));
        tracker->trackEvent(QStringLiteral("Statistics"), QStringLiteral("Launch"));
        tracker->trackView(QStringLiteral("About"));
        tracker->stopDuplicatingEventsForCategory(QStringLiteral("Workflow"));
        tracker->stopDuplicatingViews();
        tracker->trackEvent(QStringLiteral("Workflow"), QStringLiteral("Decrypt"));
        tracker->trackView(QStringLiteral("Preferences"));

        QTRY_COMPARE(m_server->requestCount(), 7);
        QCOMPARE(sentValues("tid"),
                 QList<QByteArray>({"UA-12345678-9", "UA-11111111-1", "UA-12345678-9", "UA-12345678-9", "UA-22222222-2",
                                    "UA-12345678-9", "UA-12345678-9"}));
        QStringList announcedIds;
        for (const auto &arguments : announced)
            announcedIds << arguments.first().toMap().value(QStringLiteral("gaid")).toString();
        QCOMPARE(announcedIds, QStringList({QStringLiteral("UA-12345678-9"), QStringLiteral("UA-11111111-1"),
                                            QStringLiteral("UA-12345678-9"), QStringLiteral("UA-12345678-9")}));
    }

    void applicationVersionFollowsTheABTester()
    {
        m_defaults->setValue(SWAnalyticsTrackAppKey, true);
        const auto tracker = makeTracker();
        QCOMPARE(tracker->applicationVersion(), QStringLiteral("1.0.0-"));
        m_tester->setOptionForCase(VLABTester::B, 2);
        QCOMPARE(tracker->applicationVersion(), QStringLiteral("1.0.0-2B"));
        tracker->trackEvent(QStringLiteral("Statistics"), QStringLiteral("Launch"));
        QTRY_COMPARE(m_server->requestCount(), 1);
        QCOMPARE(sentValues("av"), QList<QByteArray>{"1.0.0-2B"});
        QCOMPARE(m_server->requests().first().header("User-Agent"),
                 QByteArrayLiteral("Vaultine/1.0.0-2B (Macintosh; Intel Mac OS X 12_4_1)"));
    }

    void storedDecisionIsApplied()
    {
        const auto tracker = makeTracker();
        tracker->trackEvent(QStringLiteral("Statistics"), QStringLiteral("Launch"));
        // Another part of the application stores the decision directly.
        m_defaults->setValue(SWAnalyticsTrackAppKey, true);
        QVERIFY(tracker->isEnabled());
        QCOMPARE(m_server->requestCount(), 1);
        m_defaults->remove(SWAnalyticsTrackAppKey);
        QVERIFY(!tracker->isEnabled());
    }

    void fullScreenIsAnInteraction()
    {
        m_defaults->setValue(SWAnalyticsTrackAppKey, true);
        const auto tracker = makeTracker();
        QWidget window;
        window.show();
        // The platform reports each change back later; let it settle between the steps.
        window.setWindowState(Qt::WindowFullScreen);
        QTest::qWait(50);
        tracker->trackView(QStringLiteral("Encrypt Password"));
        window.setWindowState(Qt::WindowNoState);
        QTest::qWait(50);
        window.setWindowState(Qt::WindowFullScreen);
        QTest::qWait(50);
        QTRY_COMPARE(m_server->requestCount(), 3);
        QCOMPARE(sentValues("ea"), QList<QByteArray>({"Full%20Screen", "", "Full%20Screen"}));
        QCOMPARE(sentValues("ec"), QList<QByteArray>({"Interaction", "", "Interaction"}));
        QCOMPARE(sentValues("el"), QList<QByteArray>({"", "", "Encrypt%20Password"}));
        QTest::qWait(100);
        QCOMPARE(m_server->requestCount(), 3);
        QVERIFY(!m_server->requests().first().query.contains("el="));
    }

    void clientIdentifier()
    {
        QCOMPARE(makeTracker()->cid(), QString::fromLatin1(clientId));
        // Without a serial number the text for a missing object takes its place.
        SWTrackingEnvironment environment = testEnvironment();
        environment.serialNumber.reset();
        SWAnalyticsTracker::Configuration configuration;
        configuration.collectEndpoint = m_server->url(QStringLiteral("/collect"));
        configuration.defaults = m_defaults.get();
        configuration.abTester = m_tester.get();
        configuration.environment = environment;
        const SWAnalyticsTracker tracker(configuration);
        QCOMPARE(tracker.cid(), QStringLiteral("d724ab89cd4d42afa711a2749f2bee3e")); // md5("(null)alice")
        QCOMPARE(tracker.analyticsGAID(), QStringLiteral("UA-27182818-4"));
        QCOMPARE(SWAnalyticsTracker::productionCollectEndpoint.scheme(), QStringLiteral("https"));
        QCOMPARE(SWAnalyticsTracker::productionCollectEndpoint.path(), QStringLiteral("/collect"));
    }

    void modalScreensNameTheirEvents()
    {
        m_defaults->setValue(SWAnalyticsTrackAppKey, true);
        const auto tracker = makeTracker();
        tracker->trackView(QStringLiteral("Main"));
        tracker->trackModalView(QStringLiteral("Sheet"));
        tracker->trackModalView(QStringLiteral("Sheet")); // already shown: no second hit
        tracker->trackEvent(QStringLiteral("Workflow"), QStringLiteral("InSheet"));
        tracker->switchToModalView(QStringLiteral("Other")); // no hit
        QCOMPARE(tracker->modalScreens(), QStringList{QStringLiteral("Other")});
        tracker->trackEvent(QStringLiteral("Workflow"), QStringLiteral("InOther"));
        tracker->stopTrackingModalView(); // none left: the current screen again
        QVERIFY(tracker->modalScreens().isEmpty());
        tracker->trackEvent(QStringLiteral("Workflow"), QStringLiteral("Back"));
        tracker->trackEventWithParameters({{QStringLiteral("ec"), QStringLiteral("Workflow")},
                                           {QStringLiteral("ea"), QStringLiteral("Own")},
                                           {QStringLiteral("cd"), QStringLiteral("Given")}});
        tracker->trackTimingWithParameters(
            {{QStringLiteral("utc"), QStringLiteral("Jobs")}, {QStringLiteral("utt"), 1200}});

        QTRY_COMPARE(m_server->requestCount(), 8);
        QCOMPARE(sentValues("t"),
                 QList<QByteArray>({"appview", "appview", "event", "event", "appview", "event", "event", "timing"}));
        QCOMPARE(sentValues("cd"), QList<QByteArray>({"Main", "Sheet", "Sheet", "Other", "Main", "Main", "Given", ""}));
        const QByteArray timing = m_server->requests().last().query;
        QVERIFY2(!timing.contains("&cd=") && timing.contains("&t=timing&utc=Jobs&utt=1200&sr="), timing.constData());
    }

    void purchaseHits()
    {
        m_defaults->setValue(SWAnalyticsTrackAppKey, true);
        const auto tracker = makeTracker();
        tracker->trackPurchase();
        QTRY_COMPARE(m_server->requestCount(), 2);
        QCOMPARE(sentValues("t"), QList<QByteArray>({"transaction", "item"}));
        QCOMPARE(sentValues("tr").first(), QByteArrayLiteral("39.95"));
        QCOMPARE(sentValues("ip").last(), QByteArrayLiteral("39.95"));
        QCOMPARE(sentValues("iq").last(), QByteArrayLiteral("1"));
        QVERIFY(sentValues("ti").first().endsWith(clientId));
    }
};

QTEST_MAIN(TestSWAnalyticsTracker)
#include "tst_swanalyticstracker.moc"
