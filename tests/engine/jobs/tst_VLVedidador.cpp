#include "JobRecorder.h"

#include "engine/archive/VLEncryptedArchive.h"
#include "engine/files/VLFileImageComposer.h"
#include "engine/files/VLTempCleaner.h"
#include "engine/metadata/VLPNGRepresentation.h"
#include "platform/core/BundleInfo.h"
#include "platform/core/Library.h"
#include "tests/support/UnprivilegedScope.h"

#include <QImage>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using Kind = JobRecorder::Kind;
using namespace JobFixtures;
using namespace std::chrono_literals;

namespace {

const QString bundleDomain = QString::fromLatin1(platform::bundle::identifier);

// Opens a written container for reading, or fails the test.
std::unique_ptr<VLEncryptedArchive> openContainer(const QString &path, const QString &password)
{
    auto archive = std::make_unique<VLEncryptedArchive>();
    archive->setPassword(password);
    archive->openArchive(path);
    return archive->isOpened() ? std::move(archive) : nullptr;
}

QStringList recordPaths(const VLEncryptedArchive &archive)
{
    QStringList paths;
    for (const auto &record : archive.fileRecords())
        paths << record->path();
    paths.sort();
    return paths;
}

} // namespace

class tst_VLVedidador : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void outputNames_data();
    void outputNames();
    void aJobNeedsSources();
    void singleFileEndToEnd();
    void severalSourcesKeepTheirLayout();
    void previews_data();
    void previews();
    void estimateArrivesOnTheGuiThreadOnceASecond();
    void cancelDuringTheWalk_data();
    void cancelDuringTheWalk();
    void cancelDuringSaving();
    void unreadableFileEndsWith1003();
    void sourceThatCannotBeWalkedFails();
    void itemThatCannotBeAddedEndsWith101();
    void containerErrorIsPassedOnWithItsItem();
    void missingWorkFolderFailsAtOnce();

private:
    QString path(const QString &name) const { return m_dir->filePath(name); }
    QUrl url(const QString &name) const { return QUrl::fromLocalFile(path(name)); }
    // Runs a job to its end and gives back its recorder.
    std::shared_ptr<VLVedidador> run(const QList<QUrl> &sources, JobRecorder &recorder,
                                     const QString &password = QStringLiteral("secret"), const QString &hint = {});

    std::unique_ptr<QTemporaryDir> m_dir;
};

void tst_VLVedidador::initTestCase()
{
    platform::setApplicationIdentity();
}

void tst_VLVedidador::init()
{
    QDir(platform::libraryPath() + QStringLiteral("/Temp")).removeRecursively();
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

std::shared_ptr<VLVedidador> tst_VLVedidador::run(const QList<QUrl> &sources, JobRecorder &recorder,
                                                  const QString &password, const QString &hint)
{
    auto job = VLVedidador::vedidadorWithSourceURLs(sources);
    if (!job)
        return nullptr;
    job->setDelegate(&recorder);
    job->encryptWithPasswordHint(password, hint);
    QElapsedTimer clock;
    clock.start();
    while (!recorder.ended() && clock.elapsed() < 60000)
        QTest::qWait(10);
    job->waitUntilStopped(10s);
    return job;
}

void tst_VLVedidador::outputNames_data()
{
    QTest::addColumn<QStringList>("sources");
    QTest::addColumn<QString>("name");
    QTest::newRow("file") << QStringList{QStringLiteral("/d/report.pdf")} << "report.vault";
    QTest::newRow("folder") << QStringList{QStringLiteral("/d/Photos")} << "Photos.vault";
    QTest::newRow("only the last extension goes") << QStringList{QStringLiteral("/d/data.tar.gz")} << "data.tar.vault";
    QTest::newRow("a container") << QStringList{QStringLiteral("/d/old.vault")} << "old.vault";
    QTest::newRow("two") << QStringList{QStringLiteral("/d/a"), QStringLiteral("/e/b")} << "Encrypted Archive.vault";
}

void tst_VLVedidador::outputNames()
{
    QFETCH(QStringList, sources);
    QFETCH(QString, name);
    QList<QUrl> urls;
    for (const QString &source : std::as_const(sources))
        urls << QUrl::fromLocalFile(source);
    QCOMPARE(VLVedidador::outputNameForSourceURLs(urls), name);
}

void tst_VLVedidador::aJobNeedsSources()
{
    QVERIFY(!VLVedidador::vedidadorWithSourceURLs({}));
    auto job = VLVedidador::vedidadorWithSourceURLs({url(QStringLiteral("x"))});
    QVERIFY(job);
    QVERIFY(!job->isCancelled());
    QVERIFY(!job->isRunning());
    QVERIFY(job->waitUntilStopped(0ms));
    QCOMPARE(job->archive()->delegate(), job.get());
}

void tst_VLVedidador::singleFileEndToEnd()
{
    const QByteArray content = noise(300 * 1024, 1);
    QVERIFY(writeFile(path(QStringLiteral("docs/report.pdf")), content));
    JobRecorder recorder;
    auto job = run({url(QStringLiteral("docs/report.pdf"))}, recorder, QStringLiteral("secret"),
                   QStringLiteral("the usual"));
    QVERIFY(job);

    const auto events = recorder.events();
    QVERIFY(!events.isEmpty());
    QCOMPARE(events.first().kind, Kind::Started);
    QCOMPARE(events.last().kind, Kind::Finished);
    QVERIFY(!recorder.has(Kind::Failed));
    float last = -1;
    for (const auto &event : events) {
        if (event.kind == Kind::Estimation) {
            QVERIFY(event.onGuiThread);
            continue;
        }
        QVERIFY(!event.onGuiThread);
        if (event.kind == Kind::Progress) {
            QVERIFY(event.progress >= last);
            QVERIFY(event.progress <= 100);
            last = event.progress;
        }
    }
    QCOMPARE(last, 100.0f);
    QCOMPARE(recorder.eventsOf(Kind::Finished).size(), 1);

    // The result lies in a fresh work folder of its own, private to the user.
    const QUrl result = recorder.eventsOf(Kind::Finished).first().url;
    QCOMPARE(result, job->destinationURL());
    const QFileInfo container(result.toLocalFile());
    QCOMPARE(container.fileName(), QStringLiteral("report.vault"));
    QCOMPARE(container.dir().absolutePath().section(u'/', 0, -2), platform::libraryFolder(QStringLiteral("Temp")));
    QCOMPARE(QFileInfo(container.path()).permissions() & 0x0077, QFileDevice::Permissions());
    QVERIFY(!job->isRunning());
    QVERIFY(!job->chronometer()->isMeasuring());

    const auto archive = openContainer(container.filePath(), QStringLiteral("secret"));
    QVERIFY(archive);
    QCOMPARE(recordPaths(*archive), QStringList{QStringLiteral("/report.pdf")});
    QCOMPARE(archive->passwordHint(), QStringLiteral("the usual"));
    QVERIFY(!archive->preview()); // a type icon only
    QVERIFY(!openContainer(container.filePath(), QStringLiteral("wrong")));
}

void tst_VLVedidador::severalSourcesKeepTheirLayout()
{
    QVERIFY(writeFile(path(QStringLiteral("A/B/x.txt")), "x"));
    QVERIFY(writeFile(path(QStringLiteral("A/B/z.txt")), "z"));
    QVERIFY(writeFile(path(QStringLiteral("A/C/y.txt")), "y"));
    JobRecorder recorder;
    auto job = run(
        {url(QStringLiteral("A/B/x.txt")), url(QStringLiteral("A/C/y.txt")), url(QStringLiteral("A/B/z.txt"))},
        recorder);
    QVERIFY(recorder.has(Kind::Finished));
    QCOMPARE(QFileInfo(job->destinationURL().toLocalFile()).fileName(), QStringLiteral("Encrypted Archive.vault"));

    const auto archive = openContainer(job->destinationURL().toLocalFile(), QStringLiteral("secret"));
    QVERIFY(archive);
    QCOMPARE(recordPaths(*archive),
             (QStringList{QStringLiteral("/B"), QStringLiteral("/B/x.txt"), QStringLiteral("/B/z.txt"),
                          QStringLiteral("/C"), QStringLiteral("/C/y.txt")}));
    // A folder shared by two sources enters once.
    QCOMPARE(archive->childRecordsAtPath(QStringLiteral("/")).size(), 2);
    QVERIFY(!archive->preview()); // several items never get one
}

void tst_VLVedidador::previews_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("expected"); // "none", "thumbnail", "icon" or "vault"
    QTest::newRow("a plain folder") << "Photos"
                                    << "none";
    QTest::newRow("an image") << "picture.png"
                              << "thumbnail";
    QTest::newRow("an application bundle") << "Tool.app"
                                           << "icon";
    QTest::newRow("a container") << "old.vault"
                                 << "vault";
}

void tst_VLVedidador::previews()
{
    QFETCH(QString, source);
    QFETCH(QString, expected);
    if (expected == u"vault" && !QFile::exists(VLFileImageComposer::vaultImageResource))
        QSKIP("built without the application's resources");
    QVERIFY(writeFile(path(QStringLiteral("Photos/one.txt")), "1"));
    QVERIFY(writeFile(path(QStringLiteral("Tool.app/Contents/Info.plist")), "<plist/>"));
    QVERIFY(writeFile(path(QStringLiteral("old.vault")), noise(100, 3)));
    QImage picture(64, 48, QImage::Format_ARGB32);
    picture.fill(Qt::darkGreen);
    QVERIFY(picture.save(path(QStringLiteral("picture.png"))));

    JobRecorder recorder;
    auto job = run({url(source)}, recorder);
    QVERIFY(recorder.has(Kind::Finished));
    const auto archive = openContainer(job->destinationURL().toLocalFile(), QStringLiteral("secret"));
    QVERIFY(archive);
    const std::optional<QByteArray> preview = archive->preview();
    if (expected == u"none") {
        QVERIFY(!preview);
        return;
    }
    QVERIFY(preview);
    const QImage image = QImage::fromData(*preview, "PNG");
    QCOMPARE(image.size(), QSize(256, 256));
    if (expected == u"thumbnail")
        QCOMPARE(image.pixelColor(128, 128), QColor(Qt::darkGreen));
    if (expected == u"vault") {
        const QImage vault = VLFileImageComposer::composeImageFromURLsWithImageSize({url(source)}, QSize(128, 128));
        QCOMPARE(image.convertToFormat(QImage::Format_ARGB32), vault.convertToFormat(QImage::Format_ARGB32));
    }
}

void tst_VLVedidador::estimateArrivesOnTheGuiThreadOnceASecond()
{
    QVERIFY(writeFile(path(QStringLiteral("big.bin")), noise(2 * 1024 * 1024, 7)));
    JobRecorder recorder;
    // About a hundred progress reports, slowed down so that saving lasts a few seconds.
    recorder.onProgress = [](float) { QThread::msleep(50); };
    auto job = run({url(QStringLiteral("big.bin"))}, recorder);
    QVERIFY(recorder.has(Kind::Finished));

    const auto all = recorder.events();
    const qint64 started = recorder.eventsOf(Kind::Started).first().atMs;
    const qint64 finished = recorder.eventsOf(Kind::Finished).first().atMs;
    const auto estimates = recorder.eventsOf(Kind::Estimation);
    QVERIFY2(finished - started > 2500, qPrintable(QString::number(finished - started)));
    QVERIFY(!estimates.isEmpty());
    const qint64 seconds = (finished - started) / 1000;
    QVERIFY2(estimates.size() >= seconds - 1 && estimates.size() <= seconds + 1,
             qPrintable(QString::number(estimates.size())));
    qint64 previous = started;
    for (const auto &estimate : estimates) {
        QVERIFY(estimate.onGuiThread);
        QVERIFY(estimate.text.startsWith(QStringLiteral("About ")));
        // Ticks a second apart: a busy GUI thread can take one late and the next on time, but
        // never two in a row as progress reports would come.
        QVERIFY2(estimate.atMs - previous >= 250, qPrintable(QString::number(estimate.atMs - previous)));
        QVERIFY(estimate.atMs <= finished);
        previous = estimate.atMs;
    }
    // Nothing before saving began, and the first estimate only after a second of it.
    QCOMPARE(all.first().kind, Kind::Started);
    QVERIFY(estimates.first().atMs - started >= 900);
    QTest::qWait(1300);
    QCOMPARE(recorder.eventsOf(Kind::Estimation).size(), estimates.size());
}

void tst_VLVedidador::cancelDuringTheWalk_data()
{
    QTest::addColumn<int>("afterRecords");
    QTest::newRow("at once, while the tree is checked") << 0;
    QTest::newRow("while items are added") << 20;
}

void tst_VLVedidador::cancelDuringTheWalk()
{
    QFETCH(int, afterRecords);
    for (int folder = 0; folder < 30; ++folder) {
        for (int file = 0; file < 100; ++file)
            QVERIFY(writeFile(path(QStringLiteral("tree/%1/%2.txt").arg(folder).arg(file)), "content"));
    }
    JobRecorder recorder;
    auto job = VLVedidador::vedidadorWithSourceURLs({url(QStringLiteral("tree")), url(QStringLiteral("tree/0/0.txt"))});
    job->setDelegate(&recorder);
    job->encryptWithPasswordHint(QStringLiteral("secret"), {});
    QElapsedTimer clock;
    clock.start();
    while (job->archive()->fileRecords().size() < afterRecords && clock.elapsed() < 10000)
        QThread::usleep(200);
    job->cancel();
    QVERIFY(job->isCancelled());
    QVERIFY(job->waitUntilStopped(10s));
    QVERIFY(!job->isRunning());
    QVERIFY(job->archive()->fileRecords().size() < 3000);
    QTest::qWait(300);
    QCOMPARE(recorder.count(), 0);
    QVERIFY(!QFileInfo::exists(job->destinationURL().toLocalFile()));
    // The work folder stays for the owner to empty.
    QVERIFY(QFileInfo(job->destinationURL().toLocalFile()).dir().exists());
}

void tst_VLVedidador::cancelDuringSaving()
{
    QVERIFY(writeFile(path(QStringLiteral("big.bin")), noise(2 * 1024 * 1024, 9)));
    JobRecorder recorder;
    recorder.onProgress = [](float) { QThread::msleep(20); };
    auto job = VLVedidador::vedidadorWithSourceURLs({url(QStringLiteral("big.bin"))});
    job->setDelegate(&recorder);
    job->encryptWithPasswordHint(QStringLiteral("secret"), {});
    QTRY_VERIFY_WITH_TIMEOUT(recorder.eventsOf(Kind::Progress).size() >= 5, 20000);
    job->cancel();
    const int seen = recorder.count();
    QVERIFY(job->waitUntilStopped(10s));
    QVERIFY(!job->chronometer()->isMeasuring());
    QTest::qWait(1300);
    // Not a single callback after cancel: no progress, no cancel error, no estimate.
    QCOMPARE(recorder.count(), seen);
    QVERIFY(!recorder.ended());
    QVERIFY(recorder.eventsOf(Kind::Progress).last().progress < 100);

    // Once the worker has stopped, emptying the work folders leaves nothing behind for good.
    VLTempCleaner::sharedInstance().sync_clean();
    QTest::qWait(200);
    QVERIFY(QDir(VLTempCleaner::workFolderArea()).isEmpty());
}

void tst_VLVedidador::unreadableFileEndsWith1003()
{
    QVERIFY(writeFile(path(QStringLiteral("Folder/open.txt")), "open"));
    QVERIFY(writeFile(path(QStringLiteral("Folder/deep/er/locked.txt")), "locked"));
    QVERIFY(QFile::setPermissions(path(QStringLiteral("Folder/deep/er/locked.txt")), QFileDevice::WriteOwner));
    JobRecorder recorder;
    std::shared_ptr<VLVedidador> job;
    {
        UnprivilegedScope scope({m_dir->path(), platform::libraryPath()});
        if (!scope.isEffective())
            QSKIP("cannot step down from the superuser");
        job = run({url(QStringLiteral("Folder"))}, recorder);
    }
    const auto events = recorder.events();
    QCOMPARE(events.size(), 1);
    QCOMPARE(events.first().kind, Kind::Failed);
    QCOMPARE(events.first().error.domain(), bundleDomain);
    QCOMPARE(events.first().error.code(), 1003);
    const auto item = events.first().error.userInfo().value(QStringLiteral("item")).value<VLEncryptedArchiveItemPtr>();
    QVERIFY(item);
    QCOMPARE(item->path(), path(QStringLiteral("Folder/deep/er/locked.txt")));
    QVERIFY(!QFileInfo::exists(job->destinationURL().toLocalFile()));
}

void tst_VLVedidador::sourceThatCannotBeWalkedFails()
{
    // Nothing of such a source could enter the container: the job fails instead of saving the
    // other sources as if they were all.
    QVERIFY(writeFile(path(QStringLiteral("fine.txt")), "fine"));
    JobRecorder recorder;
    auto job = run({url(QStringLiteral("fine.txt")), QUrl(QStringLiteral("https://example.org/remote.txt"))}, recorder);
    const auto events = recorder.events();
    QCOMPARE(events.size(), 1);
    QCOMPARE(events.first().kind, Kind::Failed);
    QCOMPARE(events.first().error.domain(), bundleDomain);
    QCOMPARE(events.first().error.code(), 1003);
    QVERIFY(!QFileInfo::exists(job->destinationURL().toLocalFile()));
}

void tst_VLVedidador::itemThatCannotBeAddedEndsWith101()
{
    // A named pipe can be read, but a container holds only files, folders and links.
    QVERIFY(writeFile(path(QStringLiteral("Folder/a.txt")), "a"));
    QCOMPARE(::mkfifo(QFile::encodeName(path(QStringLiteral("Folder/pipe"))).constData(), 0600), 0);
    QVERIFY(writeFile(path(QStringLiteral("Folder/z.txt")), "z"));
    JobRecorder recorder;
    auto job = run({url(QStringLiteral("Folder"))}, recorder);
    const auto events = recorder.events();
    QCOMPARE(events.size(), 1);
    QCOMPARE(events.first().kind, Kind::Failed);
    QVERIFY(!events.first().onGuiThread);
    QCOMPARE(events.first().error.domain(), bundleDomain);
    QCOMPARE(events.first().error.code(), 101);
    QVERIFY(events.first().error.userInfo().isEmpty());
    QVERIFY(!QFileInfo::exists(job->destinationURL().toLocalFile()));
}

void tst_VLVedidador::containerErrorIsPassedOnWithItsItem()
{
    // The source goes away once saving has begun: the container cannot open it.
    QVERIFY(writeFile(path(QStringLiteral("docs/a.txt")), "a"));
    QVERIFY(writeFile(path(QStringLiteral("docs/b.txt")), "b"));
    JobRecorder recorder;
    recorder.onStarted = [this] { QFile::remove(path(QStringLiteral("docs/b.txt"))); };
    auto job = run({url(QStringLiteral("docs/a.txt")), url(QStringLiteral("docs/b.txt"))}, recorder);
    const auto events = recorder.events();
    QVERIFY(!events.isEmpty());
    QCOMPARE(events.first().kind, Kind::Started);
    QCOMPARE(events.last().kind, Kind::Failed);
    QVERIFY(!recorder.has(Kind::Finished));
    const VLError error = events.last().error;
    QCOMPARE(error.domain(), QStringLiteral("VLEncryptedArchiveErrorDomain"));
    QCOMPARE(error.code(), 1002);
    const auto item = error.userInfo().value(QStringLiteral("item")).value<VLEncryptedArchiveItemPtr>();
    QVERIFY(item);
    QCOMPARE(item->path(), QStringLiteral("/b.txt"));
    QVERIFY(!events.last().onGuiThread);
    QVERIFY(!job->chronometer()->isMeasuring());
}

void tst_VLVedidador::missingWorkFolderFailsAtOnce()
{
    const QString temp = platform::libraryPath() + QStringLiteral("/Temp");
    QVERIFY(QDir(temp).removeRecursively());
    QVERIFY(writeFile(temp, "in the way"));
    QVERIFY(writeFile(path(QStringLiteral("a.txt")), "a"));

    JobRecorder recorder;
    auto job = VLVedidador::vedidadorWithSourceURLs({url(QStringLiteral("a.txt"))});
    job->setDelegate(&recorder);
    job->encryptWithPasswordHint(QStringLiteral("secret"), {});
    const auto events = recorder.events(); // before any event loop turn
    QFile::remove(temp);
    QCOMPARE(events.size(), 1);
    QCOMPARE(events.first().kind, Kind::Failed);
    QVERIFY(events.first().onGuiThread);
    QCOMPARE(events.first().error.domain(), bundleDomain);
    QCOMPARE(events.first().error.code(), 101);
    QVERIFY(!job->isRunning());
}

QTEST_MAIN(tst_VLVedidador)
#include "tst_VLVedidador.moc"
