#include "LocalHttpServer.h"

#include "companion/VLIssuesReporter.h"
#include "platform/core/CrashHandler.h"
#include "platform/settings/Defaults.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <unistd.h>

// Once set, any allocation ends the process with the status 99: the crash handler must not
// allocate, so a child that crashes after setting it must die of its signal, not of this.
namespace {
std::atomic<bool> g_forbidAllocation{false};

[[noreturn]] void allocationForbidden()
{
    static const char message[] = "allocation inside the crash handler\n";
    if (::write(2, message, sizeof message - 1) < 0)
        ::_exit(98);
    ::_exit(99);
}
} // namespace

extern "C" {
void *__libc_malloc(size_t size);
void *__libc_calloc(size_t count, size_t size);
void *__libc_realloc(void *pointer, size_t size);

void *malloc(size_t size)
{
    if (g_forbidAllocation.load(std::memory_order_relaxed))
        allocationForbidden();
    return __libc_malloc(size);
}

void *calloc(size_t count, size_t size)
{
    if (g_forbidAllocation.load(std::memory_order_relaxed))
        allocationForbidden();
    return __libc_calloc(count, size);
}

void *realloc(void *pointer, size_t size)
{
    if (g_forbidAllocation.load(std::memory_order_relaxed))
        allocationForbidden();
    return __libc_realloc(pointer, size);
}
}

namespace {

const QString publicKey = QStringLiteral("0123456789abcdef0123456789abcdef");
const char secretPassword[] = "correct horse battery staple";
const char secretHint[] = "the horse one";
const char secretContent[] = "PLAINTEXT-OF-A-SECRET-FILE";

// The child: installs the reporter, holds secrets in memory and crashes as asked.
int crashChild(const char *how, const char *folder, const char *settings)
{
    int argc = 1;
    char name[] = "crash-child";
    char *argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    platform::Defaults defaults(QString::fromLocal8Bit(settings));
    VLIssuesReporter reporter(QStringLiteral("http://%1@127.0.0.1:9/1234567").arg(publicKey),
                              {QString::fromLocal8Bit(folder), &defaults});
    if (!reporter.enableReporter())
        return 3;
    // Secrets the process handled, on the heap and on the stack.
    const std::string password(secretPassword);
    volatile char hint[sizeof secretHint];
    std::memcpy(const_cast<char *>(hint), secretHint, sizeof secretHint);
    const QByteArray content(secretContent);
    Q_UNUSED(password);
    Q_UNUSED(content);

    if (std::strcmp(how, "segv") == 0) {
        g_forbidAllocation = true;
        volatile int *nowhere = nullptr;
        *nowhere = 1;
    } else if (std::strcmp(how, "allocate") == 0) {
        g_forbidAllocation = true;
        volatile void *memory = std::malloc(16);
        Q_UNUSED(memory);
    } else if (std::strcmp(how, "exception") == 0) {
        throw std::runtime_error(secretPassword);
    }
    return 4;
}

QString settingsFile(const QTemporaryDir &dir, bool accepted)
{
    const QString path = dir.filePath(QStringLiteral("defaults.ini"));
    platform::Defaults defaults(path);
    defaults.setValue(VLIssuesReporter::privacyPolicyAcceptedKey, accepted);
    defaults.synchronize();
    return path;
}

QString runCrashingChild(const QString &how, const QString &folder, const QString &settings, int *exitCode)
{
    QProcess child;
    child.setProgram(QCoreApplication::applicationFilePath());
    child.setArguments({QStringLiteral("--crash"), how, folder, settings});
    child.setProcessChannelMode(QProcess::ForwardedOutputChannel);
    child.start();
    if (!child.waitForFinished(30000))
        return QStringLiteral("the child did not end");
    *exitCode = child.exitCode();
    return child.exitStatus() == QProcess::CrashExit ? QString() : QStringLiteral("the child exited normally");
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeReport(const QString &folder, qint64 seconds, const QByteArray &signal = "11 SIGSEGV")
{
    QFile file(QStringLiteral("%1/%2-1.crash").arg(folder).arg(seconds, 20, 10, QChar(u'0')));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("Vaultine crash report\nversion: 1.0.0 (100)\nsystem: debian 12\nsignal: " + signal + "\ntime: "
               + QByteArray::number(seconds) + "\nstack:\n/usr/bin/vaultine(main+0x1a) [0x55d1c0a0b1c2]\n");
}

// A launch of the reporter over a folder of reports, the service on a local server.
struct NextLaunch
{
    NextLaunch(const QTemporaryDir &dir, LocalHttpServer &server, bool accepted)
        : defaults(settingsFile(dir, accepted))
        , reporter(QStringLiteral("http://k@127.0.0.1:%1/7").arg(server.port()), {dir.path(), &defaults})
        , processed(&reporter, &VLIssuesReporter::pendingReportsProcessed)
    {
    }

    platform::Defaults defaults;
    VLIssuesReporter reporter;
    QSignalSpy processed;
};

} // namespace

class TestVLIssuesReporter : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { platform::uninstallCrashHandler(); }

    void theServiceAddressIsTakenApart_data()
    {
        QTest::addColumn<QString>("dsn");
        QTest::addColumn<QString>("store");
        QTest::addColumn<QString>("key");
        QTest::newRow("production") << VLIssuesReporter::productionDSN
                                    << QStringLiteral("https://sentry.io/api/1384620/store/")
                                    << QStringLiteral("5f0e3c7a9b1d4e2f8a6c0b3d7e9f1a2c");
        QTest::newRow("port and path") << QStringLiteral("http://abc@127.0.0.1:8080/sub/42")
                                       << QStringLiteral("http://127.0.0.1:8080/sub/api/42/store/")
                                       << QStringLiteral("abc");
        QTest::newRow("no key") << QStringLiteral("https://sentry.io/1384620") << QString() << QString();
        QTest::newRow("no project") << QStringLiteral("https://abc@sentry.io/") << QString() << QString();
        QTest::newRow("not an address") << QStringLiteral("nonsense") << QString() << QString();
    }

    void theServiceAddressIsTakenApart()
    {
        QFETCH(QString, dsn);
        QFETCH(QString, store);
        QFETCH(QString, key);
        const auto address = VLIssuesReporter::ServiceAddress::fromDSN(dsn);
        QCOMPARE(address.has_value(), !store.isEmpty());
        if (address) {
            QCOMPARE(address->storeEndpoint.toString(), store);
            QCOMPARE(address->publicKey, key);
        }
        QCOMPARE(VLIssuesReporter(dsn, {QDir::tempPath() + QStringLiteral("/unused"), nullptr}).hasClient(),
                 !store.isEmpty());
    }

    // The guard the crash tests rely on: an allocation after the flag ends the child with 99.
    void theAllocationGuardCatchesAnAllocation()
    {
        QTemporaryDir dir;
        int exitCode = 0;
        const QString failure = runCrashingChild(QStringLiteral("allocate"), dir.path(), settingsFile(dir, false),
                                                 &exitCode);
        QCOMPARE(failure, QStringLiteral("the child exited normally"));
        QCOMPARE(exitCode, 99);
    }

    void aCrashIsReportedOnTheNextLaunch_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("signal");
        QTest::addColumn<bool>("exception");
        QTest::newRow("segmentation fault") << QStringLiteral("segv") << QStringLiteral("SIGSEGV") << false;
        QTest::newRow("uncaught exception") << QStringLiteral("exception") << QStringLiteral("SIGABRT") << true;
    }

    void aCrashIsReportedOnTheNextLaunch()
    {
        QFETCH(QString, how);
        QFETCH(QString, signal);
        QFETCH(bool, exception);
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("reports"));
        QVERIFY(QDir().mkpath(folder));
        int exitCode = 0;
        const QString failure = runCrashingChild(how, folder, settingsFile(dir, false), &exitCode);
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        QVERIFY(exitCode != 99); // the handler allocated nothing

        const QStringList reports = QDir(folder).entryList(QDir::Files);
        QCOMPARE(reports.size(), 1);
        QVERIFY(QRegularExpression(QStringLiteral("^\\d{20}-\\d+\\.crash$")).match(reports.first()).hasMatch());
        const QByteArray report = readFile(QDir(folder).filePath(reports.first()));
        QVERIFY2(report.startsWith("Vaultine crash report\nversion: "), report.constData());
        QVERIFY(report.contains("\nsignal: "));
        QVERIFY(report.contains(signal.toLatin1()));
        QCOMPARE(report.contains("\nexception: St13runtime_error\n"), exception);
        QVERIFY(report.contains("\nstack:\n"));
        QVERIFY(report.split('\n').size() > 8); // the frames
        // Only the signal, the stack, the version and the system.
        QVERIFY(!report.contains(secretPassword));
        QVERIFY(!report.contains(secretHint));
        QVERIFY(!report.contains(secretContent));
        for (const QByteArray &line : report.left(report.indexOf("\nstack:\n")).split('\n').mid(1)) {
            const QByteArray key = line.left(line.indexOf(':'));
            QVERIFY2(QByteArrayList({"version", "system", "kernel", "architecture", "signal", "exception", "time"})
                         .contains(key),
                     line.constData());
        }

        // The next launch sends it in the service's format and removes it.
        LocalHttpServer server;
        const QString dsn = QStringLiteral("http://%1@127.0.0.1:%2/1234567").arg(publicKey).arg(server.port());
        platform::Defaults defaults(settingsFile(dir, true));
        VLIssuesReporter reporter(dsn, {folder, &defaults});
        QSignalSpy processed(&reporter, &VLIssuesReporter::pendingReportsProcessed);
        QVERIFY(reporter.enableReporter());
        QTRY_COMPARE_WITH_TIMEOUT(processed.size(), 1, 10000);
        QCOMPARE(server.requestCount(), 1);
        const LocalHttpServer::Request request = server.requests().first();
        QCOMPARE(request.method, QByteArray("POST"));
        QCOMPARE(request.path, QByteArray("/api/1234567/store/"));
        QCOMPARE(request.header("content-type"), QByteArray("application/json"));
        QVERIFY2(QRegularExpression(QStringLiteral("^Sentry sentry_version=7, sentry_client=vaultine/[0-9.]+, "
                                                   "sentry_timestamp=\\d+, sentry_key=%1$")
                                        .arg(publicKey))
                     .match(QString::fromLatin1(request.header("x-sentry-auth")))
                     .hasMatch(),
                 request.header("x-sentry-auth").constData());
        QJsonParseError error{};
        const QJsonObject event = QJsonDocument::fromJson(request.body, &error).object();
        QCOMPARE(error.error, QJsonParseError::NoError);
        QVERIFY(QRegularExpression(QStringLiteral("^[0-9a-f]{32}$"))
                    .match(event.value(QStringLiteral("event_id")).toString())
                    .hasMatch());
        QCOMPARE(event.value(QStringLiteral("level")).toString(), QStringLiteral("fatal"));
        QCOMPARE(event.value(QStringLiteral("platform")).toString(), QStringLiteral("native"));
        QVERIFY(event.value(QStringLiteral("timestamp")).toDouble() > 1.6e9);
        const QJsonObject thrown = event.value(QStringLiteral("exception"))
                                       .toObject()
                                       .value(QStringLiteral("values"))
                                       .toArray()
                                       .first()
                                       .toObject();
        QCOMPARE(thrown.value(QStringLiteral("type")).toString(), signal);
        QCOMPARE(thrown.value(QStringLiteral("value")).toString().contains(u"runtime_error"), exception);
        const QJsonArray frames =
            thrown.value(QStringLiteral("stacktrace")).toObject().value(QStringLiteral("frames")).toArray();
        QVERIFY(frames.size() > 3);
        QVERIFY(frames.last().toObject().value(QStringLiteral("instruction_addr")).toString().startsWith(u"0x"));
        QVERIFY(!request.body.contains(secretPassword));
        QTRY_VERIFY(QDir(folder).entryList(QDir::Files).isEmpty());
    }

    void nothingIsSentBeforeThePolicyIsAccepted()
    {
        QTemporaryDir dir;
        writeReport(dir.path(), 1700000000);
        LocalHttpServer server;
        NextLaunch launch(dir, server, false);
        QVERIFY(launch.reporter.enableReporter());
        QTRY_COMPARE(launch.processed.size(), 1);
        QCOMPARE(server.requestCount(), 0);
        QCOMPARE(launch.reporter.pendingReports().size(), 1);
    }

    void aReportThatCannotBeSentStays_data()
    {
        QTest::addColumn<bool>("refused");
        QTest::newRow("server error") << false;
        QTest::newRow("no server") << true;
    }

    void aReportThatCannotBeSentStays()
    {
        QFETCH(bool, refused);
        QTemporaryDir dir;
        writeReport(dir.path(), 1700000000);
        LocalHttpServer server;
        server.setReply(LocalHttpServer::Reply::answer(500));
        if (refused)
            server.setListening(false);
        NextLaunch launch(dir, server, true);
        QVERIFY(launch.reporter.enableReporter());
        QTRY_COMPARE_WITH_TIMEOUT(launch.processed.size(), 1, 10000);
        QCOMPARE(server.requestCount(), refused ? 0 : 1);
        QCOMPARE(launch.reporter.pendingReports().size(), 1);

        // The next launch sends it.
        server.setListening(true);
        server.setReply(LocalHttpServer::Reply::answer(200));
        NextLaunch next(dir, server, true);
        QVERIFY(next.reporter.enableReporter());
        QTRY_COMPARE_WITH_TIMEOUT(next.processed.size(), 1, 10000);
        QVERIFY(next.reporter.pendingReports().isEmpty());
    }

    void atMostAHandfulAreKeptOldestDroppedFirst()
    {
        QTemporaryDir dir;
        for (qint64 seconds = 1700000001; seconds <= 1700000008; ++seconds)
            writeReport(dir.path(), seconds);
        QFile unfinished(dir.filePath(QStringLiteral("00000000001700000009-1.crash.tmp")));
        QVERIFY(unfinished.open(QIODevice::WriteOnly));
        unfinished.close();
        LocalHttpServer server;
        server.setListening(false);
        NextLaunch launch(dir, server, true);
        QVERIFY(launch.reporter.enableReporter());
        QTRY_COMPARE_WITH_TIMEOUT(launch.processed.size(), 1, 10000);
        QStringList names;
        for (const QString &path : launch.reporter.pendingReports())
            names << QFileInfo(path).fileName().left(20).right(2);
        QCOMPARE(names, (QStringList{QStringLiteral("04"), QStringLiteral("05"), QStringLiteral("06"),
                                     QStringLiteral("07"), QStringLiteral("08")}));
        QVERIFY(!unfinished.exists());
    }
};

int main(int argc, char **argv)
{
    if (argc == 5 && std::strcmp(argv[1], "--crash") == 0)
        return crashChild(argv[2], argv[3], argv[4]);
    QCoreApplication app(argc, argv);
    TestVLIssuesReporter test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_vlissuesreporter.moc"
