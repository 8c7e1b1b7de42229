#include "companion/VLEmailSubscriber.h"
#include "platform/settings/Defaults.h"
#include "tests/companion/LocalHttpServer.h"
#include "tests/companion/TestEnvironment.h"

#include <QTest>

class TestVLEmailSubscriber : public QObject
{
    Q_OBJECT

    struct Outcome
    {
        bool called = false;
        bool success = false;
        VLError error;
        QThread *thread = nullptr;
    };

    Outcome subscribe(LocalHttpServer &server, const QString &email)
    {
        VLEmailSubscriber subscriber(server.url(QStringLiteral("/backend")), testEnvironment());
        Outcome outcome;
        subscriber.subscribeMailWithCompletion(email, [&outcome](bool success, const VLError &error) {
            outcome = {true, success, error, QThread::currentThread()};
        });
        [&] { QTRY_VERIFY_WITH_TIMEOUT(outcome.called, 10000); }();
        return outcome;
    }

private slots:
    void signUpRequest()
    {
        LocalHttpServer server;
        const Outcome outcome = subscribe(server, QStringLiteral("a+b@example.com"));
        QVERIFY(outcome.success);
        QVERIFY(outcome.error.isNull());
        QCOMPARE(outcome.thread, QThread::currentThread());
        QCOMPARE(server.requestCount(), 1);
        const LocalHttpServer::Request request = server.requests().first();
        QCOMPARE(request.method, QByteArrayLiteral("GET"));
        QCOMPARE(request.target, QByteArrayLiteral("/backend/vaultinesignup?OS=1343&email=a%2Bb%40example.com"
                                                   "&lang=de-DE%2Cen&product=Vaultine&user=alice&version=1.0.0"));
    }

    void answers_data()
    {
        QTest::addColumn<int>("status"); // 0: connection refused
        QTest::addColumn<bool>("success");
        QTest::addColumn<QString>("domain");
        QTest::addColumn<qint64>("code");
        QTest::newRow("200") << 200 << true << QString() << qint64(0);
        QTest::newRow("204") << 204 << true << QString() << qint64(0);
        QTest::newRow("404") << 404 << false << VLEmailSubscriber::responseErrorDomain << qint64(-1011);
        QTest::newRow("500") << 500 << false << VLEmailSubscriber::responseErrorDomain << qint64(-1011);
        QTest::newRow("refused") << 0 << false << VLEmailSubscriber::urlErrorDomain << qint64(-1004);
    }

    void answers()
    {
        QFETCH(int, status);
        QFETCH(bool, success);
        QFETCH(QString, domain);
        QFETCH(qint64, code);
        LocalHttpServer server;
        if (status == 0)
            server.setListening(false);
        else
            server.setReply(LocalHttpServer::Reply::answer(status, "ignored body"));
        const Outcome outcome = subscribe(server, QStringLiteral("user@example.com"));
        QCOMPARE(outcome.success, success);
        QCOMPARE(outcome.error.domain(), domain);
        QCOMPARE(outcome.error.code(), code);
        if (!success)
            QVERIFY(!outcome.error.userInfo().value(QStringLiteral("NSLocalizedDescription")).toString().isEmpty());
        if (status == 404)
            QCOMPARE(outcome.error.userInfo().value(QStringLiteral("NSLocalizedDescription")).toString(),
                     QStringLiteral("Request failed: not found (404)"));
    }

    void missingCompletionIsSkipped()
    {
        LocalHttpServer server;
        {
            VLEmailSubscriber subscriber(server.url(QStringLiteral("/backend")), testEnvironment());
            subscriber.subscribeMailWithCompletion(QStringLiteral("user@example.com"), {});
            QTRY_COMPARE(server.requestCount(), 1);
        }
        QCoreApplication::processEvents();
    }

    void flags()
    {
        platform::Defaults &defaults = platform::Defaults::standard();
        defaults.remove(VLEmailSubscriber::hasSubscribedKey);
        defaults.remove(VLEmailSubscriber::hasSkippedSubscriptionKey);
        QVERIFY(!VLEmailSubscriber::hasSubscribed());
        QVERIFY(!VLEmailSubscriber::hasSkippedSubscription());
        VLEmailSubscriber::setSubscribed(true);
        VLEmailSubscriber::setSkippedSubscription(true);
        QVERIFY(VLEmailSubscriber::hasSubscribed());
        QVERIFY(VLEmailSubscriber::hasSkippedSubscription());
        QVERIFY(defaults.contains(QStringLiteral("kVLEmailSubscriberHasSubscribed")));
        VLEmailSubscriber::setSkippedSubscription(false);
        QVERIFY(!VLEmailSubscriber::hasSkippedSubscription());
    }

    void productionAddress()
    {
        VLEmailSubscriber subscriber;
        const QUrl url = subscriber.signUpURL(QStringLiteral("x@example.com"));
        QCOMPARE(url.scheme(), QStringLiteral("https"));
        QCOMPARE(url.path(), QStringLiteral("/backend/vaultinesignup"));
    }
};

QTEST_GUILESS_MAIN(TestVLEmailSubscriber)
#include "tst_vlemailsubscriber.moc"
