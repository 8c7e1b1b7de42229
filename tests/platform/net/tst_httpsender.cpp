#include "platform/net/HttpSender.h"
#include "tests/companion/LocalHttpServer.h"

#include <QElapsedTimer>
#include <QTest>

using namespace std::chrono_literals;
using platform::HttpRequest;
using platform::HttpResponse;
using platform::HttpSender;

class TestHttpSender : public QObject
{
    Q_OBJECT

private slots:
    void asynchronousAnswersArriveOnTheContextThread()
    {
        LocalHttpServer server;
        server.setReply(LocalHttpServer::Reply::answer(201, "hello"));
        HttpSender sender;
        std::optional<HttpResponse> answer;
        QThread *answeredOn = nullptr;
        sender.send(HttpRequest(server.url(QStringLiteral("/a?x=%2B%23")), {{"User-Agent", "Test/1"}}), this,
                    [&](const HttpResponse &response) {
                        answer = response;
                        answeredOn = QThread::currentThread();
                    });
        QTRY_VERIFY(answer.has_value());
        QCOMPARE(answeredOn, QThread::currentThread());
        QVERIFY(answer->answered());
        QVERIFY(answer->succeeded());
        QCOMPARE(answer->statusCode, 201);
        QCOMPARE(answer->body, QByteArrayLiteral("hello"));
        QCOMPARE(server.requests().value(0).target, QByteArrayLiteral("/a?x=%2B%23"));
        QCOMPARE(server.requests().value(0).header("User-Agent"), QByteArrayLiteral("Test/1"));
    }

    void anAnswerForADestroyedContextIsDropped()
    {
        LocalHttpServer server;
        HttpSender sender;
        int completions = 0;
        // Answers reach the worker while the contexts are destroyed on this thread, before and
        // after the answer is posted.
        for (int i = 0; i < 20; ++i) {
            auto context = std::make_unique<QObject>();
            sender.send(HttpRequest(server.url(QStringLiteral("/%1").arg(i))), context.get(),
                        [&completions](const HttpResponse &) { ++completions; });
            // Wait without running this thread's events, so no answer can arrive while it lives.
            if (i % 2) {
                while (server.requestCount() < i + 1)
                    QThread::usleep(100);
            }
            QThread::usleep(500 * i);
        }
        const HttpResponse last = sender.sendSynchronously(HttpRequest(server.url(QStringLiteral("/last"))), 5s);
        QVERIFY(last.answered());
        QCoreApplication::processEvents();
        QCOMPARE(completions, 0);

        QObject kept;
        sender.send(HttpRequest(server.url(QStringLiteral("/kept"))), &kept,
                    [&completions](const HttpResponse &) { ++completions; });
        QTRY_COMPARE(completions, 1);
    }

    void oneRequestInFlightFirstInFirstOut()
    {
        LocalHttpServer server;
        server.setReply(LocalHttpServer::Reply::delayed(60ms));
        HttpSender sender;
        QList<int> completed;
        for (int i = 0; i < 5; ++i)
            sender.send(HttpRequest(server.url(QStringLiteral("/%1").arg(i))), this,
                        [&completed, i](const HttpResponse &) { completed << i; });
        QTRY_COMPARE_WITH_TIMEOUT(completed.size(), 5, 10000);
        QCOMPARE(completed, QList<int>({0, 1, 2, 3, 4}));
        QCOMPARE(server.maximumConcurrent(), 1);
        QList<QByteArray> paths;
        for (const auto &request : server.requests())
            paths << request.path;
        QCOMPARE(paths, QList<QByteArray>({"/0", "/1", "/2", "/3", "/4"}));
    }

    void synchronousSendBlocksWithoutAnEventLoop()
    {
        LocalHttpServer server;
        server.setReply(LocalHttpServer::Reply::answer(404, {}, 50ms));
        HttpSender sender;
        bool queuedEventRan = false;
        QMetaObject::invokeMethod(
            this, [&queuedEventRan] { queuedEventRan = true; }, Qt::QueuedConnection);
        const HttpResponse response = sender.sendSynchronously(HttpRequest(server.url(QStringLiteral("/sync"))), 5s);
        // A nested event loop would have run the queued call while waiting.
        QVERIFY(!queuedEventRan);
        QVERIFY(response.answered());
        QVERIFY(!response.succeeded());
        QCOMPARE(response.statusCode, 404);
        QCoreApplication::processEvents();
        QVERIFY(queuedEventRan);
    }

    void deadlineEndsAStalledRequestAndTheQueueMovesOn()
    {
        LocalHttpServer server;
        server.setBehaviour([](int index, const LocalHttpServer::Request &) {
            return LocalHttpServer::Reply::delayed(index == 0 ? 5000ms : 0ms);
        });
        HttpSender sender;
        QElapsedTimer clock;
        clock.start();
        const HttpResponse stalled = sender.sendSynchronously(HttpRequest(server.url(QStringLiteral("/slow"))), 300ms);
        QCOMPARE(stalled.failure, HttpResponse::Failure::TimedOut);
        QVERIFY2(clock.elapsed() < 3000, "the caller waited past its deadline");
        const HttpResponse next = sender.sendSynchronously(HttpRequest(server.url(QStringLiteral("/next"))), 3s);
        QVERIFY(next.answered());
        QCOMPARE(server.requests().last().path, QByteArrayLiteral("/next"));
    }

    void aSynchronousSendGoesOutBesideTheQueue()
    {
        LocalHttpServer server;
        // Queued requests are held far past the synchronous one's deadline.
        server.setBehaviour([](int, const LocalHttpServer::Request &request) {
            return LocalHttpServer::Reply::delayed(request.path == "/sync" ? 0ms : 60000ms);
        });
        QList<QByteArray> completed;
        QObject context; // outlives the sender, whose end cancels the held requests
        HttpSender sender;
        for (int i = 0; i < 3; ++i)
            sender.send(HttpRequest(server.url(QStringLiteral("/queued%1").arg(i))), &context,
                        [&completed, i](const HttpResponse &) { completed << QByteArray::number(i); });
        QTRY_COMPARE(server.requestCount(), 1);
        const HttpResponse response = sender.sendSynchronously(HttpRequest(server.url(QStringLiteral("/sync"))), 2s);
        QVERIFY(response.succeeded());
        QList<QByteArray> paths;
        for (const auto &request : server.requests())
            paths << request.path;
        QCOMPARE(paths, QList<QByteArray>({"/queued0", "/sync"}));
        QCoreApplication::processEvents();
        QVERIFY(completed.isEmpty());
    }

    void failuresBelowHttp_data()
    {
        QTest::addColumn<bool>("refuse");
        QTest::addColumn<HttpResponse::Failure>("failure");
        QTest::newRow("refused") << true << HttpResponse::Failure::ConnectionRefused;
        QTest::newRow("closed without answer") << false << HttpResponse::Failure::Other;
    }

    void failuresBelowHttp()
    {
        QFETCH(bool, refuse);
        QFETCH(HttpResponse::Failure, failure);
        LocalHttpServer server;
        server.setReply(LocalHttpServer::Reply::dropped());
        if (refuse)
            server.setListening(false);
        HttpSender sender;
        const HttpResponse response = sender.sendSynchronously(HttpRequest(server.url(QStringLiteral("/x"))), 5s);
        QCOMPARE(response.failure, failure);
        QVERIFY(!response.answered());
        QVERIFY(!response.errorString.isEmpty());
    }

    void destroyingTheSenderCancelsWhatIsQueued()
    {
        LocalHttpServer server;
        server.setReply(LocalHttpServer::Reply::delayed(2000ms));
        int completions = 0;
        {
            HttpSender sender;
            for (int i = 0; i < 3; ++i)
                sender.send(HttpRequest(server.url(QStringLiteral("/q"))), this, [&completions](const HttpResponse &r) {
                    QCOMPARE(r.failure, HttpResponse::Failure::Cancelled);
                    ++completions;
                });
            QTRY_COMPARE(server.requestCount(), 1);
        }
        QTRY_COMPARE(completions, 3);
        QCOMPARE(server.requestCount(), 1);
    }
};

QTEST_GUILESS_MAIN(TestHttpSender)
#include "tst_httpsender.moc"
