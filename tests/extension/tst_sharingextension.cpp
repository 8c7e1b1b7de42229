#include "extension/VLExtensionContext.h"
#include "extension/VLSharingExtensionRequestHandler.h"
#include "extension/VLWorkspace.h"
#include "platform/channel/VLInstanceChannel.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <csignal>
#include <thread>

#include <sys/prctl.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

struct Message
{
    VLInstanceChannel::Kind kind;
    QStringList paths;
    QString activationToken;
};

// The running application's side: a real single-instance channel that records what it gets.
class Listener
{
public:
    Listener()
    {
        QObject::connect(&m_channel, &VLInstanceChannel::messageReceived, &m_channel,
                         [this](VLInstanceChannel::Kind kind, const QStringList &paths, const QString &token) {
                             m_messages << Message{kind, paths, token};
                         });
    }
    bool listen() { return m_channel.listen(); }
    const QList<Message> &messages() const { return m_messages; }

private:
    VLInstanceChannel m_channel;
    QList<Message> m_messages;
};

void writeFile(const QString &path, const QByteArray &contents, QFileDevice::Permissions permissions = {})
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(contents);
    file.close();
    if (permissions)
        QVERIFY(file.setPermissions(permissions));
}

constexpr QFileDevice::Permissions executable = QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                | QFileDevice::ExeOwner;

// A stand-in program named like the application: it leaves a mark when something starts it.
QString writeMarkingProgram(const QString &folder)
{
    const QString path = folder + QStringLiteral("/" VAULTINE_PROGRAM_NAME);
    writeFile(path, "#!/bin/sh\ntouch \"$0.started\"\n", executable);
    return path;
}

VLItemProviderPtr slowFileProvider(const QUrl &url, unsigned long delayMs, std::atomic_bool *delivered = nullptr)
{
    auto provider = std::make_shared<VLItemProvider>();
    provider->registerItemForTypeIdentifierLoadHandler(kUTTypeFileURL, [url, delayMs, delivered] {
        QThread::msleep(delayMs);
        if (delivered)
            *delivered = true;
        return QVariant(url);
    });
    return provider;
}

// Runs one request on its own thread, as the host does, so the listener keeps answering here.
void runRequest(VLSharingExtensionRequestHandler &handler, VLExtensionContext &context)
{
    std::atomic_bool finished = false;
    std::thread request([&] {
        handler.beginRequestWithExtensionContext(context);
        finished = true;
    });
    QTRY_VERIFY_WITH_TIMEOUT(finished, 30000);
    request.join();
}

} // namespace

class TestSharingExtension : public QObject
{
    Q_OBJECT

    QTemporaryDir m_runtime;
    QTemporaryDir m_dataDirs;

private slots:
    void initTestCase()
    {
        QVERIFY(m_runtime.isValid());
        // The channel's socket lives here; no installed Vaultine is found through the system's
        // data folders.
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime.path()));
        qputenv("XDG_DATA_DIRS", QFile::encodeName(m_dataDirs.path()));
        QVERIFY(VLInstanceChannel::serverPath().startsWith(m_runtime.path()));
        // The application that the helper launches detached becomes our child once the helper
        // is gone, so the test can end and reap it.
        QCOMPARE(::prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0), 0);
    }

    void theFilesOfOneRequestReachTheRunningApplicationInOneMessage()
    {
        Listener listener;
        QVERIFY(listener.listen());
        QTemporaryDir folder;
        const QString program = writeMarkingProgram(folder.path());
        VLWorkspace workspace({{folder.path()}});
        VLSharingExtensionRequestHandler handler(&workspace);

        const QString a = folder.filePath(QStringLiteral("a.txt"));
        const QString b = folder.filePath(QStringLiteral("b c.pdf"));
        const QString c = folder.filePath(QStringLiteral("Notes.vault"));
        // The first item answers last; the files still arrive in the order they were shared.
        // An item offered as a file URL that is not a URL is dropped.
        auto notAURL = std::make_shared<VLItemProvider>();
        notAURL->registerItemForTypeIdentifierLoadHandler(kUTTypeFileURL,
                                                          [] { return QVariant(QStringLiteral("/x")); });
        VLExtensionContext context({
            {{slowFileProvider(QUrl::fromLocalFile(a), 300), notAURL}},
            {{VLItemProvider::itemProviderWithContentsOfURL(QUrl::fromLocalFile(b)),
              VLItemProvider::itemProviderWithText(QStringLiteral("a caption"))}},
            {{VLItemProvider::itemProviderWithContentsOfURL(QUrl::fromLocalFile(c))}},
        });
        runRequest(handler, context);

        QTRY_COMPARE(listener.messages().size(), 1);
        QCOMPARE(listener.messages().first().kind, VLInstanceChannel::Kind::OpenFiles);
        QCOMPARE(listener.messages().first().paths, (QStringList{a, b, c}));
        QVERIFY(context.isCompleted());
        QVERIFY(context.returnedItems().isEmpty());
        // The running application was reused, not started again.
        QVERIFY(!QFileInfo::exists(program + QStringLiteral(".started")));
    }

    void withoutFileURLsTheApplicationGetsAnEmptyList()
    {
        Listener listener;
        QVERIFY(listener.listen());
        QTemporaryDir folder;
        writeMarkingProgram(folder.path());
        VLWorkspace workspace({{folder.path()}});
        VLSharingExtensionRequestHandler handler(&workspace);
        // Text and a web page, as a browser shares them.
        const std::unique_ptr<VLExtensionContext> context = VLExtensionContext::contextFromArguments(
            {QStringLiteral("Have a look at this"), QStringLiteral("https://example.com/page?x=1")});
        runRequest(handler, *context);

        QTRY_COMPARE(listener.messages().size(), 1);
        QCOMPARE(listener.messages().first().kind, VLInstanceChannel::Kind::OpenFiles);
        QCOMPARE(listener.messages().first().paths, QStringList());
        QVERIFY(context->isCompleted());
    }

    void anItemLaterThanFiveSecondsIsLeftOut()
    {
        Listener listener;
        QVERIFY(listener.listen());
        QTemporaryDir folder;
        writeMarkingProgram(folder.path());
        VLWorkspace workspace({{folder.path()}});
        VLSharingExtensionRequestHandler handler(&workspace);
        const QString quick = folder.filePath(QStringLiteral("quick.txt"));
        const QString late = folder.filePath(QStringLiteral("late.txt"));
        std::atomic_bool lateDelivered = false;
        VLExtensionContext context({
            {{slowFileProvider(QUrl::fromLocalFile(late), 6500, &lateDelivered)}},
            {{VLItemProvider::itemProviderWithContentsOfURL(QUrl::fromLocalFile(quick))}},
        });
        runRequest(handler, context);

        // Handed over before the late item came, without it.
        QVERIFY(!lateDelivered);
        QTRY_COMPARE(listener.messages().size(), 1);
        QCOMPARE(listener.messages().first().paths, QStringList{quick});
        QVERIFY(context.isCompleted());
        // Its completion arrives after the request is over and changes nothing.
        QTRY_VERIFY_WITH_TIMEOUT(lateDelivered, 10000);
        QTest::qWait(100);
        QCOMPARE(handler.handedOverURLs(), QList<QUrl>{QUrl::fromLocalFile(quick)});
        QCOMPARE(listener.messages().size(), 1);
    }

    void aMissingApplicationPassesSilently()
    {
        Listener listener;
        QVERIFY(listener.listen());
        QTemporaryDir empty;
        VLWorkspace workspace({{empty.path()}});
        VLSharingExtensionRequestHandler handler(&workspace);
        VLExtensionContext context(
            {{{VLItemProvider::itemProviderWithContentsOfURL(QUrl::fromLocalFile(QStringLiteral("/tmp/a")))}}});
        runRequest(handler, context);
        QVERIFY(context.isCompleted());
        QTest::qWait(200);
        QCOMPARE(listener.messages().size(), 0);
    }

    void theApplicationIsFoundByItsIdentifier_data()
    {
        QTest::addColumn<QString>("beside");    // "exec", "plain" (not executable) or ""
        QTest::addColumn<QString>("entryExec"); // the desktop entry's Exec line, "" for no entry
        QTest::addColumn<QString>("expected");  // "beside", "installed", "onPath" or ""
        QTest::newRow("beside the helper") << "exec"
                                           << ""
                                           << "beside";
        QTest::newRow("beside wins over the entry") << "exec"
                                                    << "\"@INSTALLED@\" %F"
                                                    << "beside";
        QTest::newRow("not executable beside") << "plain"
                                               << ""
                                               << "";
        QTest::newRow("entry with a quoted path") << ""
                                                  << "\"@INSTALLED@\" %F"
                                                  << "installed";
        QTest::newRow("entry naming a program on PATH") << ""
                                                        << "vaultine-on-path %F"
                                                        << "onPath";
        QTest::newRow("entry with a wrapper and TryExec")
            << ""
            << "env QT_SCALE_FACTOR=1 vaultine-on-path %F\nTryExec=vaultine-on-path"
            << "onPath";
        QTest::newRow("entry naming a missing program") << ""
                                                        << "/nowhere/vaultine %F"
                                                        << "";
        QTest::newRow("nothing") << ""
                                 << ""
                                 << "";
    }

    void theApplicationIsFoundByItsIdentifier()
    {
        QFETCH(QString, beside);
        QFETCH(QString, entryExec);
        QFETCH(QString, expected);
        QTemporaryDir root;
        const QString besideFolder = root.filePath(QStringLiteral("bin"));
        const QString installed = root.filePath(QStringLiteral("my apps/vaultine"));
        const QString onPath = root.filePath(QStringLiteral("path/vaultine-on-path"));
        writeFile(installed, "#!/bin/sh\n", executable);
        writeFile(onPath, "#!/bin/sh\n", executable);
        if (beside == u"exec")
            writeMarkingProgram(besideFolder);
        else if (beside == u"plain")
            writeFile(besideFolder + QStringLiteral("/" VAULTINE_PROGRAM_NAME), "#!/bin/sh\n",
                      QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        const QString data = root.filePath(QStringLiteral("data"));
        if (!entryExec.isEmpty()) {
            writeFile(data + QStringLiteral("/applications/com.nimbrel.Vaultine.desktop"),
                      "[Desktop Entry]\nType=Application\nName=Vaultine\nExec="
                          + entryExec.replace(QStringLiteral("@INSTALLED@"), installed).toUtf8()
                          + "\n\n[Desktop Action Encrypt]\nExec=/nowhere/else %F\n");
        }
        const QByteArray savedData = qgetenv("XDG_DATA_HOME");
        const QByteArray savedPath = qgetenv("PATH");
        qputenv("XDG_DATA_HOME", QFile::encodeName(data));
        qputenv("PATH", QFile::encodeName(QFileInfo(onPath).path()) + ':' + savedPath);
        const QUrl url =
            VLWorkspace({{besideFolder}}).URLForApplicationWithBundleIdentifier(QStringLiteral("com.nimbrel.Vaultine"));
        qputenv("XDG_DATA_HOME", savedData);
        qputenv("PATH", savedPath);

        const QString expectedPath = expected == u"beside" ? besideFolder + QStringLiteral("/" VAULTINE_PROGRAM_NAME)
                                     : expected == u"installed" ? installed
                                     : expected == u"onPath"    ? onPath
                                                                : QString();
        QCOMPARE(url.toLocalFile(), expectedPath);
        // Other applications are found only through their desktop entries.
        QCOMPARE(
            VLWorkspace({{besideFolder}}).URLForApplicationWithBundleIdentifier(QStringLiteral("org.example.Other")),
            QUrl());
    }

    void theDesktopEntryStartsTheHelperWithTheSharedFiles()
    {
        QFile entry(
            QStringLiteral(VAULTINE_SOURCE_DIR "/extension/desktop/com.nimbrel.Vaultine.SharingExtension.desktop"));
        QVERIFY(entry.open(QIODevice::ReadOnly | QIODevice::Text));
        const QString text = QString::fromUtf8(entry.readAll());
        QVERIFY(text.startsWith(QStringLiteral("[Desktop Entry]\n")));
        // Local paths, which the desktop gives also for files on remote mounts; "--" keeps a file
        // named like an option from being read as one.
        QVERIFY(text.contains(
            QStringLiteral("\nExec=%1 -- %F\n").arg(QFileInfo(QStringLiteral(VAULTINE_SHARE_EXECUTABLE)).fileName())));
        // Listed among all applications, so that "Open With" offers it, and started with a token
        // that lets the application's window come forward.
        QVERIFY(!text.contains(QStringLiteral("NoDisplay=true")));
        QVERIFY(text.contains(QStringLiteral("\nStartupNotify=true\n")));
    }

    void theLaunchersTokenReachesTheRunningApplication_data()
    {
        QTest::addColumn<QString>("variable");
        QTest::addColumn<QString>("token");
        QTest::newRow("wayland") << u"XDG_ACTIVATION_TOKEN"_s << u"wayland-token-1"_s;
        QTest::newRow("x11") << u"DESKTOP_STARTUP_ID"_s << u"nautilus-1234-host-vaultine-share-0_TIME42"_s;
        QTest::newRow("none") << QString() << QString();
    }

    // The real helper, started by the desktop with a token, hands the running application its
    // files together with the token, which lets the application's window come forward.
    void theLaunchersTokenReachesTheRunningApplication()
    {
        QFETCH(QString, variable);
        QFETCH(QString, token);
        Listener listener;
        QVERIFY(listener.listen());
        QTemporaryDir folder;
        const QString file = folder.filePath(QStringLiteral("shared.txt"));
        writeFile(file, "x");
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("XDG_ACTIVATION_TOKEN"));
        env.remove(QStringLiteral("DESKTOP_STARTUP_ID"));
        if (!variable.isEmpty())
            env.insert(variable, token);
        QProcess helper;
        helper.setProcessEnvironment(env);
        helper.start(QStringLiteral(VAULTINE_SHARE_EXECUTABLE), {QStringLiteral("--"), file});
        QTRY_COMPARE_WITH_TIMEOUT(listener.messages().size(), 1, 30000);
        QTRY_COMPARE_WITH_TIMEOUT(helper.state(), QProcess::NotRunning, 30000);
        QCOMPARE(helper.exitCode(), 0);
        QCOMPARE(listener.messages().first().paths, QStringList{file});
        QCOMPARE(listener.messages().first().activationToken, token);
    }

    // Installed into a prefix of its own, on a desktop that names no default applications: no
    // folder, text or other file opens with the helper, while ".vault" files open with Vaultine.
    void installingTheHelperMakesItNobodysDefault()
    {
        QTemporaryDir root;
        const QString prefix = root.filePath(QStringLiteral("prefix"));
        QProcess install;
        install.start(QStringLiteral("cmake"), {QStringLiteral("--install"), QStringLiteral(VAULTINE_BINARY_DIR),
                                                QStringLiteral("--prefix"), prefix});
        QVERIFY(install.waitForFinished(120000));
        QVERIFY2(install.exitCode() == 0, install.readAllStandardError().constData());
        const QString applications = prefix + QStringLiteral("/share/applications");
        QVERIFY(QFile::exists(applications + QStringLiteral("/com.nimbrel.Vaultine.SharingExtension.desktop")));
        const QFileInfo serviceMenu(
            prefix + QStringLiteral("/share/kio/servicemenus/com.nimbrel.Vaultine.SharingExtension.desktop"));
        QVERIFY(serviceMenu.exists());
        QVERIFY(serviceMenu.isExecutable());
        if (!QFile::exists(applications + QStringLiteral("/mimeinfo.cache")))
            QSKIP("update-desktop-database is not installed");

        for (const char *name : {"data", "config", "etc"})
            QVERIFY(QDir(root.path()).mkpath(QString::fromLatin1(name)));
        QProcessEnvironment env;
        env.insert(QStringLiteral("PATH"), qEnvironmentVariable("PATH"));
        env.insert(QStringLiteral("HOME"), root.path());
        env.insert(QStringLiteral("XDG_DATA_HOME"), root.filePath(QStringLiteral("data")));
        env.insert(QStringLiteral("XDG_DATA_DIRS"), prefix + QStringLiteral("/share"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), root.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_CONFIG_DIRS"), root.filePath(QStringLiteral("etc")));
        const auto defaultFor = [&env](const QString &type) -> std::optional<QString> {
            QProcess query;
            query.setProcessEnvironment(env);
            query.start(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"), type});
            if (!query.waitForFinished(20000) || query.exitStatus() != QProcess::NormalExit)
                return std::nullopt;
            return QString::fromUtf8(query.readAllStandardOutput()).trimmed();
        };
        const std::optional<QString> vault = defaultFor(QStringLiteral("application/x-vaultine-vault"));
        if (!vault)
            QSKIP("xdg-mime is not installed");
        QCOMPARE(*vault, QStringLiteral("com.nimbrel.Vaultine.desktop"));
        for (const char *type : {"inode/directory", "text/plain", "application/octet-stream", "image/png"})
            QCOMPARE(defaultFor(QString::fromLatin1(type)).value_or(QStringLiteral("?")), QString());
    }

    // The real helper and the real application, as the desktop runs them: nothing runs yet, so
    // the helper starts Vaultine with "VLExtensionLaunch" set and hands it the files.
    void theHelperLaunchesTheApplicationWhenNoneRuns()
    {
        QTemporaryDir root;
        for (const char *name : {"data", "config", "runtime", "files"})
            QVERIFY(QDir(root.path()).mkpath(QString::fromLatin1(name)));
        QVERIFY(QFile::setPermissions(root.filePath(QStringLiteral("runtime")), executable));
        const QString a = root.filePath(QStringLiteral("files/a.txt"));
        const QString b = root.filePath(QStringLiteral("files/Second File.png"));
        writeFile(a, "a");
        writeFile(b, "b");

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), root.filePath(QStringLiteral("data")));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), root.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), root.filePath(QStringLiteral("runtime")));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.remove(QStringLiteral("VLExtensionLaunch"));
        QProcess helper;
        helper.setProcessEnvironment(env);
        helper.start(
            QStringLiteral(VAULTINE_SHARE_EXECUTABLE),
            {QStringLiteral("--"), QUrl::fromLocalFile(a).toString(), b, QStringLiteral("https://example.com/")});
        QVERIFY(helper.waitForFinished(60000));
        QCOMPARE(helper.exitStatus(), QProcess::NormalExit);
        QCOMPARE(helper.exitCode(), 0);

        const QString logPath = root.filePath(QStringLiteral("data/nimbrel/Vaultine/Logs/vaultine.log"));
        auto log = [&logPath] {
            QFile file(logPath);
            return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
        };
        QTRY_VERIFY_WITH_TIMEOUT(
            log().contains(QStringLiteral("[Launch]: files from another launch: %1, %2").arg(a, b)), 10000);
        const QRegularExpressionMatch started =
            QRegularExpression(QStringLiteral(R"(Vaultine\[(\d+):[0-9a-f]+\] Vaultine v\. .* started with)"))
                .match(log());
        QVERIFY2(started.hasMatch(), qPrintable(log()));
        const pid_t application = pid_t(started.captured(1).toLongLong());
        QVERIFY(application > 0);

        QFile environment(QStringLiteral("/proc/%1/environ").arg(application));
        QVERIFY(environment.open(QIODevice::ReadOnly));
        const QList<QByteArray> variables = environment.readAll().split('\0');
        environment.close();
        const bool marked = variables.contains(QByteArrayLiteral("VLExtensionLaunch=YES"));

        // The application the helper started for this test is ended by its id.
        QCOMPARE(::kill(application, SIGTERM), 0);
        int status = 0;
        QCOMPARE(::waitpid(application, &status, 0), application);
        QVERIFY(marked);
        QCOMPARE(QString(log()).count(QStringLiteral("started with arguments")), 1);
    }
};

QTEST_GUILESS_MAIN(TestSharingExtension)
#include "tst_sharingextension.moc"
