#include "platform/core/BundleInfo.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>

using namespace Qt::StringLiterals;

namespace {

// One run of the real program with its own XDG folders, headless.
class Program
{
public:
    explicit Program(const QTemporaryDir &root) : m_root(root.path())
    {
        QDir(m_root).mkpath(QStringLiteral("data"));
        QDir(m_root).mkpath(QStringLiteral("config"));
        QDir(m_root).mkpath(QStringLiteral("runtime"));
        QFile::setPermissions(m_root + QStringLiteral("/runtime"),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QDir(m_root).mkpath(QStringLiteral("work"));
        // A user who has accepted the privacy policy and skipped the newsletter: the program
        // starts straight into its main window.
        setDefaults({{QStringLiteral("NBPrivacyPolicyAccepted"), true},
                     {QStringLiteral("kVLEmailSubscriberHasSkippedSubscription"), true}});
    }

    // Replaces the user defaults the next start reads.
    void setDefaults(const QVariantMap &values) const
    {
        QSettings settings(m_root + QStringLiteral("/config/nimbrel/Vaultine.conf"), QSettings::IniFormat);
        settings.clear();
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            settings.setValue(it.key(), it.value());
    }

    QProcess *start(const QStringList &arguments)
    {
        auto *process = new QProcess;
        m_processes.emplace_back(process);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), m_root + QStringLiteral("/data"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_root + QStringLiteral("/config"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_root + QStringLiteral("/runtime"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        // The tutorial's web engine, headless and possibly as root: no sandbox and no GPU.
        env.insert(QStringLiteral("QTWEBENGINE_CHROMIUM_FLAGS"), QStringLiteral("--no-sandbox --disable-gpu"));
        if (m_adjustEnvironment)
            m_adjustEnvironment(env);
        process->setProcessEnvironment(env);
        process->setWorkingDirectory(workFolder());
        process->setProgram(QStringLiteral(VAULTINE_EXECUTABLE));
        process->setArguments(arguments);
        process->start();
        return process;
    }

    void setEnvironmentAdjustment(std::function<void(QProcessEnvironment &)> adjust)
    {
        m_adjustEnvironment = std::move(adjust);
    }

    QString workFolder() const { return m_root + QStringLiteral("/work"); }
    QString logsFolder() const { return m_root + QStringLiteral("/data/nimbrel/Vaultine/Logs"); }
    QString logPath() const { return logsFolder() + QStringLiteral("/vaultine.log"); }
    QString socketPath() const { return m_root + QStringLiteral("/runtime/com.nimbrel.Vaultine.instance"); }

    QString log() const
    {
        QFile file(logPath());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(file.readAll());
    }

    ~Program()
    {
        for (auto &process : m_processes) {
            if (process->state() != QProcess::NotRunning) {
                process->kill();
                process->waitForFinished(5000);
            }
        }
    }

private:
    QString m_root;
    std::vector<std::unique_ptr<QProcess>> m_processes;
    std::function<void(QProcessEnvironment &)> m_adjustEnvironment;
};

int countOf(const QString &text, const QString &part)
{
    return int(text.count(part));
}

} // namespace

class TestVaultineProgram : public QObject
{
    Q_OBJECT

private slots:
    void desktopEntryOpensVaultFiles()
    {
        const QString desktopDir = QStringLiteral(VAULTINE_SOURCE_DIR "/app/desktop");
        QFile entry(desktopDir + QStringLiteral("/com.nimbrel.Vaultine.desktop"));
        QVERIFY(entry.open(QIODevice::ReadOnly | QIODevice::Text));
        const QString text = QString::fromUtf8(entry.readAll());
        QVERIFY(text.startsWith(QStringLiteral("[Desktop Entry]\n")));
        QVERIFY(text.contains(QStringLiteral("\nExec=vaultine %F\n")));
        QVERIFY(text.contains(QStringLiteral("\nActions=Encrypt;\n")));
        QVERIFY(text.contains(
            QStringLiteral("[Desktop Action Encrypt]\nName=Encrypt with Vaultine\nExec=vaultine --service %F\n")));
        const QRegularExpressionMatch mime = QRegularExpression(QStringLiteral("\nMimeType=([^;\n]+);\n")).match(text);
        QVERIFY(mime.hasMatch());

        // The type the entry opens is the one the shared-mime-info file defines for ".vault",
        // in any letter case.
        QTemporaryDir data;
        QVERIFY(QDir().mkpath(data.filePath(QStringLiteral("mime/packages"))));
        QVERIFY(QFile::copy(desktopDir + QStringLiteral("/com.nimbrel.Vaultine.xml"),
                            data.filePath(QStringLiteral("mime/packages/com.nimbrel.Vaultine.xml"))));
        QProcess update;
        update.start(QStringLiteral("update-mime-database"), {data.filePath(QStringLiteral("mime"))});
        if (!update.waitForFinished(20000) || update.exitCode() != 0)
            QSKIP("update-mime-database is not available");
        QFile globs(data.filePath(QStringLiteral("mime/globs2")));
        QVERIFY(globs.open(QIODevice::ReadOnly | QIODevice::Text));
        const QString globText = QString::fromUtf8(globs.readAll());
        QVERIFY2(globText.contains(mime.captured(1) + QStringLiteral(":*.vault")), qPrintable(globText));
    }

    void logStartsWithTheStartLines()
    {
        QTemporaryDir root;
        Program program(root);
        QVERIFY(!QFileInfo::exists(program.logsFolder()));
        QProcess *process = program.start({QStringLiteral("first arg"), QStringLiteral("x.vault")});
        QVERIFY(process->waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(program.log().contains(u')'), 10000);

        const QString log = program.log();
        QVERIFY2(log.startsWith(QStringLiteral("\n\n")), qPrintable(log));
        const QStringList lines = log.mid(2).split(u'\n');
        const QString prefix = QStringLiteral(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} Vaultine\[\d+:[0-9a-f]+\] )");
        QVERIFY2(QRegularExpression(prefix + QString(62, u'=') + u'$').match(lines.at(0)).hasMatch(),
                 qPrintable(lines.at(0)));
        QVERIFY2(QRegularExpression(prefix
                                    + QStringLiteral("Vaultine v. %1 started with arguments \\($")
                                          .arg(QString::fromLatin1(platform::bundle::buildVersion)))
                     .match(lines.at(1))
                     .hasMatch(),
                 qPrintable(lines.at(1)));
        QCOMPARE(lines.at(2), QStringLiteral("    \"%1\",").arg(QStringLiteral(VAULTINE_EXECUTABLE)));
        QCOMPARE(lines.at(3), QStringLiteral("    \"first arg\","));
        QCOMPARE(lines.at(4), QStringLiteral("    \"x.vault\""));
        QCOMPARE(lines.at(5), QStringLiteral(")"));

        // The folder and the file are the user's alone.
        struct stat info
        {
        };
        QCOMPARE(::stat(QFile::encodeName(program.logPath()).constData(), &info), 0);
        QCOMPARE(info.st_mode & 0777, mode_t(0600));
        QCOMPARE(::stat(QFile::encodeName(program.logsFolder()).constData(), &info), 0);
        QCOMPARE(info.st_mode & 0777, mode_t(0700));
    }

    void laterRunsAppendAndTightenTheLog()
    {
        QTemporaryDir root;
        Program program(root);
        QDir().mkpath(program.logsFolder());
        {
            QFile old(program.logPath());
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("earlier run\n");
        }
        QFile::setPermissions(program.logPath(), QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                     | QFileDevice::ReadGroup | QFileDevice::ReadOther);
        QProcess *process = program.start({});
        QVERIFY(process->waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(program.log().contains(QStringLiteral("started with arguments")), 10000);
        QVERIFY(program.log().startsWith(QStringLiteral("earlier run\n\n\n")));
        QCOMPARE(QFileInfo(program.logPath()).permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther),
                 QFileDevice::Permissions());
    }

    void theLaunchShowsWindowsByTheUsersDecisions_data()
    {
        QTest::addColumn<QVariantMap>("defaults");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QStringList>("windows");
        QTest::addColumn<bool>("debugMenu");
        const QString accepted = QStringLiteral("NBPrivacyPolicyAccepted");
        const QString skipped = QStringLiteral("kVLEmailSubscriberHasSkippedSubscription");
        const QString subscribed = QStringLiteral("kVLEmailSubscriberHasSubscribed");
        QTest::newRow("consent missing") << QVariantMap{} << QStringList{}
                                         << QStringList{QStringLiteral("consent window")} << false;
        QTest::newRow("tutorial pending")
            << QVariantMap{{accepted, true}} << QStringList{} << QStringList{QStringLiteral("tutorial")} << false;
        QTest::newRow("tutorial pending, files queued")
            << QVariantMap{{accepted, true}} << QStringList{QStringLiteral("a.txt")}
            << QStringList{QStringLiteral("main window"), QStringLiteral("tutorial")} << false;
        QTest::newRow("newsletter skipped") << QVariantMap{{accepted, true}, {skipped, true}} << QStringList{}
                                            << QStringList{QStringLiteral("main window")} << false;
        QTest::newRow("subscribed, debug menu")
            << QVariantMap{{accepted, true}, {subscribed, true}, {QStringLiteral("ShowDebugMenu"), true}}
            << QStringList{} << QStringList{QStringLiteral("main window")} << true;
    }

    void theLaunchShowsWindowsByTheUsersDecisions()
    {
        QFETCH(QVariantMap, defaults);
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, windows);
        QFETCH(bool, debugMenu);
        QTemporaryDir root;
        Program program(root);
        program.setDefaults(defaults);
        QProcess *process = program.start(arguments);
        QVERIFY(process->waitForStarted());
        const bool waitsForConsent = windows == QStringList{QStringLiteral("consent window")};
        const QString last = waitsForConsent ? QStringLiteral("[Launch]: showing the consent window")
                                             : QStringLiteral("[Launch]: finished launching");
        QTRY_VERIFY_WITH_TIMEOUT(program.log().contains(last), 30000);
        if (waitsForConsent)
            QTest::qWait(300); // nothing else may follow while the consent window waits

        static const QRegularExpression shown(QStringLiteral("\\[Launch\\]: showing the (.*)$"),
                                              QRegularExpression::MultilineOption);
        QStringList order;
        for (auto it = shown.globalMatch(program.log()); it.hasNext();)
            order << it.next().captured(1);
        QCOMPARE(order, windows);
        QCOMPARE(program.log().contains(QStringLiteral("[Launch]: added the Debug menu")), debugMenu);
        QCOMPARE(process->state(), QProcess::Running);
    }

    void secondLaunchHandsItsPathsOver()
    {
        QTemporaryDir root;
        Program program(root);
        QProcess *first = program.start({});
        QVERIFY(first->waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(program.socketPath()), 10000);
        struct stat info
        {
        };
        QCOMPARE(::stat(QFile::encodeName(program.socketPath()).constData(), &info), 0);
        QCOMPARE(info.st_mode & 0077, mode_t(0));

        // Relative paths are made absolute in the second launch's working folder.
        QProcess *second = program.start({QStringLiteral("a.txt"), QStringLiteral("sub/b c.vault")});
        QVERIFY(second->waitForFinished(10000));
        QCOMPARE(second->exitStatus(), QProcess::NormalExit);
        QCOMPARE(second->exitCode(), 0);
        const QString work = program.workFolder();
        QTRY_VERIFY_WITH_TIMEOUT(
            program.log().contains(
                QStringLiteral("[Launch]: files from another launch: %1/a.txt, %1/sub/b c.vault").arg(work)),
            5000);

        QProcess *service = program.start({QStringLiteral("--service"), work + QStringLiteral("/d")});
        QVERIFY(service->waitForFinished(10000));
        QCOMPARE(service->exitCode(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(
            program.log().contains(QStringLiteral("[Launch]: service files from another launch: %1/d").arg(work)),
            5000);

        // A plain second launch hands nothing over and exits too.
        QProcess *plain = program.start({});
        QVERIFY(plain->waitForFinished(10000));
        QCOMPARE(plain->exitCode(), 0);

        // Only the first instance wrote start lines.
        QCOMPARE(countOf(program.log(), QStringLiteral("started with arguments")), 1);
        QCOMPARE(first->state(), QProcess::Running);
    }

    void aStaleChannelIsTakenOver()
    {
        QTemporaryDir root;
        Program program(root);
        QProcess *first = program.start({});
        QVERIFY(first->waitForStarted());
        // The channel listens before the start lines are written: wait for both, so the
        // second start line below can only come from the next instance.
        QTRY_COMPARE_WITH_TIMEOUT(countOf(program.log(), QStringLiteral("started with arguments")), 1, 10000);
        QVERIFY(QFileInfo::exists(program.socketPath()));
        first->kill(); // leaves its socket behind
        QVERIFY(first->waitForFinished(5000));
        QVERIFY(QFileInfo::exists(program.socketPath()));

        QProcess *next = program.start({});
        QVERIFY(next->waitForStarted());
        QTRY_COMPARE_WITH_TIMEOUT(countOf(program.log(), QStringLiteral("started with arguments")), 2, 10000);
        QTest::qWait(300);
        QCOMPARE(next->state(), QProcess::Running);

        QProcess *handOver = program.start({QStringLiteral("/tmp/z")});
        QVERIFY(handOver->waitForFinished(40000));
        QCOMPARE(handOver->exitCode(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(program.log().contains(QStringLiteral("files from another launch: /tmp/z")), 5000);
    }

    void aBusyInstanceStillTakesTheFiles()
    {
        QTemporaryDir root;
        Program program(root);
        QProcess *first = program.start({});
        QVERIFY(first->waitForStarted());
        QTRY_COMPARE_WITH_TIMEOUT(countOf(program.log(), QStringLiteral("started with arguments")), 1, 10000);
        const pid_t pid = pid_t(first->processId());

        // An instance too busy to answer for longer than a launch waits to connect: the
        // launch must wait for it rather than start a second instance.
        QCOMPARE(::kill(pid, SIGSTOP), 0);
        QProcess *handOver = program.start({QStringLiteral("/tmp/y")});
        QVERIFY(handOver->waitForStarted());
        QTest::qWait(4500);
        QCOMPARE(handOver->state(), QProcess::Running);
        QCOMPARE(::kill(pid, SIGCONT), 0);

        QVERIFY(handOver->waitForFinished(40000));
        QCOMPARE(handOver->exitCode(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(program.log().contains(QStringLiteral("files from another launch: /tmp/y")), 5000);
        QCOMPARE(countOf(program.log(), QStringLiteral("started with arguments")), 1);
    }

    void withoutARuntimeFolderTheChannelStaysPrivate()
    {
        QTemporaryDir root;
        Program program(root);
        const QString temp = root.filePath(QStringLiteral("tmp"));
        QVERIFY(QDir().mkpath(temp));
        // A temporary folder that every user may write to, as /tmp is.
        QVERIFY(::chmod(QFile::encodeName(temp).constData(), 01777) == 0);
        program.setEnvironmentAdjustment([temp](QProcessEnvironment &env) {
            env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
            env.insert(QStringLiteral("TMPDIR"), temp);
        });
        QProcess *first = program.start({});
        QVERIFY(first->waitForStarted());
        QTRY_COMPARE_WITH_TIMEOUT(countOf(program.log(), QStringLiteral("started with arguments")), 1, 10000);

        // The socket sits in a folder of this user alone, never directly in the shared one.
        QString socket;
        QTRY_VERIFY_WITH_TIMEOUT(
            !(socket =
                  [&temp] {
                      for (const QFileInfo &folder : QDir(temp).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot)) {
                          const QString candidate = folder.filePath()
                                                    + QStringLiteral("/com.nimbrel.Vaultine.instance");
                          if (QFileInfo::exists(candidate))
                              return candidate;
                      }
                      return QString();
                  }())
                 .isEmpty(),
            10000);
        QCOMPARE(QDir(temp).entryList(QDir::System | QDir::Files | QDir::NoDotAndDotDot), QStringList());
        struct stat info
        {
        };
        QCOMPARE(::stat(QFile::encodeName(QFileInfo(socket).path()).constData(), &info), 0);
        QCOMPARE(info.st_mode & 0777, mode_t(0700));
        QCOMPARE(info.st_uid, ::geteuid());

        QProcess *second = program.start({QStringLiteral("/tmp/y")});
        QVERIFY(second->waitForFinished(10000));
        QCOMPARE(second->exitCode(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(program.log().contains(QStringLiteral("files from another launch: /tmp/y")), 5000);
        QCOMPARE(countOf(program.log(), QStringLiteral("started with arguments")), 1);
    }

    void aMessageClaimingHugeListsIsRefused()
    {
        QTemporaryDir root;
        Program program(root);
        QProcess *first = program.start({});
        QVERIFY(first->waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(program.socketPath()), 10000);

        // A well-framed message whose path list claims nearly 2^32 entries.
        QByteArray body;
        {
            QDataStream stream(&body, QIODevice::WriteOnly);
            stream.setVersion(QDataStream::Qt_6_4);
            stream << quint32(0x564c5431) << quint8(1) << quint32(0xfffffff0u);
        }
        QByteArray framed;
        {
            QDataStream frame(&framed, QIODevice::WriteOnly);
            frame.setVersion(QDataStream::Qt_6_4);
            frame << quint32(body.size());
        }
        QLocalSocket socket;
        socket.connectToServer(program.socketPath());
        QVERIFY(socket.waitForConnected(5000));
        socket.write(framed + body);
        QVERIFY(socket.waitForBytesWritten(5000));
        // Refused without an answer, and the program keeps running and listening.
        QTRY_COMPARE_WITH_TIMEOUT(socket.state(), QLocalSocket::UnconnectedState, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(program.log().contains(QStringLiteral("[Launch]: ignored a malformed message")), 5000);
        QCOMPARE(first->state(), QProcess::Running);

        QProcess *handOver = program.start({QStringLiteral("/tmp/w")});
        QVERIFY(handOver->waitForFinished(10000));
        QCOMPARE(handOver->exitCode(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(program.log().contains(QStringLiteral("files from another launch: /tmp/w")), 5000);
    }
};

QTEST_GUILESS_MAIN(TestVaultineProgram)
#include "tst_vaultineprogram.moc"
