#include "JobRecorder.h"

#include "engine/archive/VLEncryptedArchive.h"
#include "engine/archive/VLEncryptedArchiveConstants.h"
#include "engine/files/VLTempCleaner.h"
#include "platform/core/BundleInfo.h"
#include "platform/core/Library.h"
#include "platform/dispatch/RepeatingTimer.h"

#include <QTemporaryDir>
#include <QTest>

using Kind = JobRecorder::Kind;
using namespace JobFixtures;
using namespace std::chrono_literals;

namespace {

const QString fixtures = QStringLiteral(VAULTINE_TEST_DATA_DIR "/jobs");

bool waitForEnd(const JobRecorder &recorder)
{
    QElapsedTimer clock;
    clock.start();
    while (!recorder.ended() && clock.elapsed() < 60000)
        QTest::qWait(10);
    return recorder.ended();
}

} // namespace

class tst_VLDezerider : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void aJobNeedsAContainer();
    void restoresWhatWasEncrypted_data();
    void restoresWhatWasEncrypted();
    void overlappingSourcesRestoreOnce();
    void progressAndEstimate();
    void cancelDuringExtraction();
    void tamperedItemFailsTwice();
    void specialScenario_data();
    void specialScenario();
    void unopenableContainerFailsWith1201_data();
    void unopenableContainerFailsWith1201();
    void missingWorkFolderFailsAtOnce();

private:
    QString path(const QString &name) const { return m_dir->filePath(name); }
    QUrl url(const QString &name) const { return QUrl::fromLocalFile(path(name)); }
    // Encrypts the sources and moves the container to `name` in the test folder.
    QUrl encrypt(const QList<QUrl> &sources, const QString &name, const QString &hint = {});
    std::shared_ptr<VLDezerider> decrypt(const QUrl &container, JobRecorder &recorder,
                                         const QString &password = QStringLiteral("secret"));

    std::unique_ptr<QTemporaryDir> m_dir;
};

void tst_VLDezerider::initTestCase()
{
    platform::setApplicationIdentity();
}

void tst_VLDezerider::init()
{
    QDir(platform::libraryPath() + QStringLiteral("/Temp")).removeRecursively();
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

QUrl tst_VLDezerider::encrypt(const QList<QUrl> &sources, const QString &name, const QString &hint)
{
    JobRecorder recorder;
    auto job = VLVedidador::vedidadorWithSourceURLs(sources);
    job->setDelegate(&recorder);
    job->encryptWithPasswordHint(QStringLiteral("secret"), hint);
    if (!waitForEnd(recorder) || !recorder.has(Kind::Finished))
        return {};
    job->waitUntilStopped(10s);
    const QString target = path(name);
    if (!QFile::rename(job->destinationURL().toLocalFile(), target))
        return {};
    return QUrl::fromLocalFile(target);
}

std::shared_ptr<VLDezerider> tst_VLDezerider::decrypt(const QUrl &container, JobRecorder &recorder,
                                                      const QString &password)
{
    auto job = VLDezerider::dezeriderWithArchiveURL(container);
    job->setDelegate(&recorder);
    job->decryptWithPassword(password);
    waitForEnd(recorder);
    job->waitUntilStopped(10s);
    return job;
}

void tst_VLDezerider::aJobNeedsAContainer()
{
    QVERIFY(!VLDezerider::dezeriderWithArchiveURL(QUrl()));
    auto job = VLDezerider::dezeriderWithArchiveURL(url(QStringLiteral("a.vault")));
    QVERIFY(job);
    QVERIFY(!job->specialScenario());
    QVERIFY(!job->isCancelled());
    QVERIFY(job->waitUntilStopped(0ms));
    QVERIFY(!job->archive()->delegate());
}

void tst_VLDezerider::restoresWhatWasEncrypted_data()
{
    QTest::addColumn<QStringList>("sources");
    QTest::addColumn<QString>("container");
    QTest::addColumn<QString>("rootName");
    QTest::addColumn<QString>("result"); // the result's name inside the work folder
    QTest::newRow("one file") << QStringList{QStringLiteral("in/a.txt")} << "a.vault"
                              << "a.txt"
                              << "a.txt";
    QTest::newRow("one folder tree") << QStringList{QStringLiteral("in/Tree")} << "Tree.vault"
                                     << "Tree"
                                     << "Tree";
    QTest::newRow("two items") << QStringList{QStringLiteral("in/a.txt"), QStringLiteral("in/Tree")} << "Holiday.vault"
                               << "Holiday.vault"
                               << "Holiday";
}

void tst_VLDezerider::restoresWhatWasEncrypted()
{
    QFETCH(QStringList, sources);
    QFETCH(QString, container);
    QFETCH(QString, rootName);
    QFETCH(QString, result);

    QVERIFY(writeFile(path(QStringLiteral("in/a.txt")), "alpha\n"));
    QVERIFY(writeFile(path(QStringLiteral("in/Tree/big.bin")), noise(700 * 1024, 5)));
    QVERIFY(writeFile(path(QStringLiteral("in/Tree/empty.txt")), {}));
    QVERIFY(writeFile(path(QStringLiteral("in/Tree/sub/deeper/note.md")), "# note\n"));
    QVERIFY(writeFile(path(QStringLiteral("in/Tree/sub/run.sh")), "#!/bin/sh\necho hi\n"));
    QVERIFY(QFile::setPermissions(path(QStringLiteral("in/Tree/sub/run.sh")),
                                  QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                                      | QFileDevice::ReadGroup | QFileDevice::ExeGroup));
    QVERIFY(QDir().mkpath(path(QStringLiteral("in/Tree/empty folder"))));
    QVERIFY(QFile::link(QStringLiteral("sub/deeper/note.md"), path(QStringLiteral("in/Tree/link to note"))));

    QList<QUrl> urls;
    for (const QString &source : std::as_const(sources))
        urls << url(source);
    const QUrl archive = encrypt(urls, container, QStringLiteral("a hint"));
    QVERIFY(archive.isValid());

    JobRecorder recorder;
    auto job = decrypt(archive, recorder);
    QVERIFY(recorder.has(Kind::Finished));
    QVERIFY(!recorder.has(Kind::Failed));
    QCOMPARE(job->rootName(), rootName);
    QCOMPARE(job->hint(), QStringLiteral("a hint"));
    QVERIFY(!job->specialScenario());
    const QString destination = job->destinationURL().toLocalFile();
    QCOMPARE(recorder.eventsOf(Kind::Finished).first().url, job->destinationURL());
    QCOMPARE(QFileInfo(destination).fileName(), result);
    QCOMPARE(QFileInfo(destination).path().section(u'/', 0, -2), platform::libraryFolder(QStringLiteral("Temp")));

    // The restored tree is the tree that was encrypted.
    if (sources.size() == 1) {
        const QString original = path(sources.first());
        if (QFileInfo(original).isDir())
            QCOMPARE(describeTree(destination), describeTree(original));
        else
            QCOMPARE(describeTree(QFileInfo(destination).path()),
                     describeTree(QFileInfo(original).path()).filter(u"/a.txt "));
    } else {
        QCOMPARE(describeTree(destination), describeTree(path(QStringLiteral("in"))));
    }
}

void tst_VLDezerider::overlappingSourcesRestoreOnce()
{
    // A folder dropped together with items inside it, one of them twice: every item is stored
    // and restored once, and the folder stays the single result.
    QVERIFY(writeFile(path(QStringLiteral("in/Tree/sub/deeper/note.md")), "# note\n"));
    QVERIFY(writeFile(path(QStringLiteral("in/Tree/top.txt")), "top"));
    const QList<QUrl> sources = {url(QStringLiteral("in/Tree")), url(QStringLiteral("in/Tree/sub/deeper/note.md")),
                                 url(QStringLiteral("in/Tree/sub/deeper/note.md")), url(QStringLiteral("in/Tree/sub"))};
    const QUrl archive = encrypt(sources, QStringLiteral("Overlap.vault"));
    QVERIFY(archive.isValid());

    VLEncryptedArchive reader;
    reader.setPassword(QStringLiteral("secret"));
    reader.openArchive(archive.toLocalFile());
    QVERIFY(reader.isOpened());
    QStringList paths;
    for (const auto &record : reader.fileRecords())
        paths << record->path();
    paths.sort();
    QCOMPARE(paths,
             (QStringList{QStringLiteral("/Tree"), QStringLiteral("/Tree/sub"), QStringLiteral("/Tree/sub/deeper"),
                          QStringLiteral("/Tree/sub/deeper/note.md"), QStringLiteral("/Tree/top.txt")}));
    QCOMPARE(reader.childRecordsAtPath(QStringLiteral("/")).size(), 1);
    reader.closeArchive();

    JobRecorder recorder;
    auto job = decrypt(archive, recorder);
    QVERIFY(recorder.has(Kind::Finished));
    QVERIFY(!recorder.has(Kind::Failed));
    QCOMPARE(job->rootName(), QStringLiteral("Tree"));
    QCOMPARE(describeTree(job->destinationURL().toLocalFile()), describeTree(path(QStringLiteral("in/Tree"))));
}

void tst_VLDezerider::progressAndEstimate()
{
    QVERIFY(writeFile(path(QStringLiteral("big.bin")), noise(2 * 1024 * 1024, 11)));
    const QUrl archive = encrypt({url(QStringLiteral("big.bin"))}, QStringLiteral("big.vault"));
    QVERIFY(archive.isValid());

    JobRecorder recorder;
    recorder.onProgress = [](float) { QThread::msleep(30); };
    auto job = decrypt(archive, recorder);
    QVERIFY(recorder.has(Kind::Finished));

    const auto events = recorder.events();
    QCOMPARE(events.first().kind, Kind::Started);
    QCOMPARE(events.first().url, archive);
    QCOMPARE(events.last().kind, Kind::Finished);
    float last = -1;
    int estimates = 0;
    for (const auto &event : events) {
        if (event.kind == Kind::Estimation) {
            QVERIFY(event.onGuiThread);
            QVERIFY(event.text.startsWith(QStringLiteral("About ")));
            ++estimates;
            continue;
        }
        QVERIFY(!event.onGuiThread);
        if (event.kind == Kind::Progress) {
            QVERIFY(event.progress >= last);
            last = event.progress;
        }
    }
    QCOMPARE(last, 100.0f);
    const qint64 seconds = (events.last().atMs - events.first().atMs) / 1000;
    QVERIFY2(seconds >= 2, qPrintable(QString::number(seconds)));
    QVERIFY2(estimates >= seconds - 1 && estimates <= seconds + 1, qPrintable(QString::number(estimates)));
    QCOMPARE(QFile(job->destinationURL().toLocalFile()).size(), qint64(2 * 1024 * 1024));
}

void tst_VLDezerider::cancelDuringExtraction()
{
    QVERIFY(writeFile(path(QStringLiteral("big.bin")), noise(2 * 1024 * 1024, 13)));
    const QUrl archive = encrypt({url(QStringLiteral("big.bin"))}, QStringLiteral("big.vault"));
    QVERIFY(archive.isValid());

    platform::ManualTimers time; // the job's remaining-time estimate follows it
    JobRecorder recorder;
    recorder.onProgress = [](float) { QThread::msleep(10); };
    auto job = VLDezerider::dezeriderWithArchiveURL(archive);
    job->setDelegate(&recorder);
    job->decryptWithPassword(QStringLiteral("secret"));
    QTRY_VERIFY_WITH_TIMEOUT(recorder.eventsOf(Kind::Progress).size() >= 5, 20000);
    job->cancel();
    const int seen = recorder.count();
    QVERIFY(job->waitUntilStopped(10s));
    QVERIFY(!job->isRunning());
    QTest::qWait(100); // anything already queued for the main thread
    time.advance(3s);
    QCOMPARE(recorder.count(), seen);
    QVERIFY(!recorder.ended());
    QVERIFY(!job->chronometer()->isMeasuring());

    // Once the worker has stopped, emptying the work folders leaves nothing behind for good.
    VLTempCleaner::sharedInstance().sync_clean();
    QTest::qWait(200);
    QVERIFY(QDir(VLTempCleaner::workFolderArea()).isEmpty());
}

void tst_VLDezerider::tamperedItemFailsTwice()
{
    JobRecorder recorder;
    auto job = decrypt(QUrl::fromLocalFile(fixtures + QStringLiteral("/record-hmac-tampered.vault")), recorder,
                       QStringLiteral("gift"));
    QTest::qWait(200);
    QList<JobRecorder::Event> events;
    for (const auto &event : recorder.events()) {
        if (event.kind != Kind::Progress)
            events.append(event);
    }
    QCOMPARE(events.size(), 3);
    QCOMPARE(events.at(0).kind, Kind::Started);
    QCOMPARE(events.at(1).kind, Kind::Failed);
    QCOMPARE(events.at(1).error.domain(), VLEncryptedArchiveConstants::errorDomain);
    QCOMPARE(events.at(1).error.code(), 1009);
    QVERIFY(events.at(1).error.userInfo().isEmpty());
    QCOMPARE(events.at(2).kind, Kind::Failed);
    QCOMPARE(events.at(2).error.code(), 1207);
    const auto item = events.at(2).error.userInfo().value(QStringLiteral("item")).value<VLEncryptedArchiveItemPtr>();
    QVERIFY(item);
    QCOMPARE(item->path(), QStringLiteral("/giveaway.txt"));
    QVERIFY(!job->specialScenario());
    QCOMPARE(job->hint(), QStringLiteral("what it is"));
    QVERIFY(!job->chronometer()->isMeasuring());
}

void tst_VLDezerider::specialScenario_data()
{
    QTest::addColumn<QString>("container");
    QTest::addColumn<bool>("special");
    QTest::newRow("the marked item") << fixtures + QStringLiteral("/record-hmac-special.vault") << true;
    QTest::newRow("another HMAC") << fixtures + QStringLiteral("/record-hmac-tampered.vault") << false;
}

void tst_VLDezerider::specialScenario()
{
    QFETCH(QString, container);
    QFETCH(bool, special);
    JobRecorder recorder;
    auto job = decrypt(QUrl::fromLocalFile(container), recorder, QStringLiteral("gift"));
    QCOMPARE(job->specialScenario(), special);
    QCOMPARE(job->rootName(), QStringLiteral("giveaway.txt"));
}

void tst_VLDezerider::unopenableContainerFailsWith1201_data()
{
    QTest::addColumn<QString>("container");
    QTest::addColumn<QString>("password");
    QTest::newRow("wrong password") << fixtures + QStringLiteral("/record-hmac-special.vault") << "wrong";
    QTest::newRow("not a container") << QStringLiteral(VAULTINE_TEST_DATA_DIR "/jobs/../jobs") << "gift";
    QTest::newRow("missing") << fixtures + QStringLiteral("/missing.vault") << "gift";
}

void tst_VLDezerider::unopenableContainerFailsWith1201()
{
    QFETCH(QString, container);
    QFETCH(QString, password);
    JobRecorder recorder;
    auto job = decrypt(QUrl::fromLocalFile(container), recorder, password);
    const auto events = recorder.events();
    QCOMPARE(events.size(), 2);
    QCOMPARE(events.at(0).kind, Kind::Started);
    QCOMPARE(events.at(1).kind, Kind::Failed);
    QCOMPARE(events.at(1).error.code(), 1201);
    QVERIFY(!job->specialScenario());
}

void tst_VLDezerider::missingWorkFolderFailsAtOnce()
{
    const QString temp = platform::libraryPath() + QStringLiteral("/Temp");
    QVERIFY(QDir(temp).removeRecursively());
    QVERIFY(writeFile(temp, "in the way"));
    JobRecorder recorder;
    auto job = VLDezerider::dezeriderWithArchiveURL(
        QUrl::fromLocalFile(fixtures + QStringLiteral("/record-hmac-special.vault")));
    job->setDelegate(&recorder);
    job->decryptWithPassword(QStringLiteral("gift"));
    const auto events = recorder.events();
    QFile::remove(temp);
    QCOMPARE(events.size(), 1);
    QCOMPARE(events.first().kind, Kind::Failed);
    QVERIFY(events.first().onGuiThread);
    QCOMPARE(events.first().error.domain(), QString::fromLatin1(platform::bundle::identifier));
    QCOMPARE(events.first().error.code(), 0);
    QVERIFY(!job->isRunning());
}

QTEST_MAIN(tst_VLDezerider)
#include "tst_VLDezerider.moc"
