#include "engine/files/NBFileSizer.h"
#include "engine/files/VLFileNamer.h"
#include "platform/core/Log.h"
#include "platform/files/StatusWalk.h"
#include "tests/support/UnprivilegedScope.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTranslator>

#include <limits>
#include <mutex>

#include <sys/stat.h>
#include <unistd.h>

namespace {

QString nbsp(const char *number, const char *unit)
{
    return QString::fromLatin1(number) + QChar(0x00a0) + QString::fromLatin1(unit);
}

bool writeFile(const QString &path, qint64 size)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(QByteArray(size, 'v')) == size;
}

quint64 allocated(const QString &path)
{
    struct stat status
    {
    };
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0 ? quint64(status.st_blocks) * 512 : 0;
}

// Captures log lines for the length of a test.
class LogCapture
{
public:
    LogCapture()
    {
        platform::setLogSink([this](const QString &line) {
            std::lock_guard lock(m_mutex);
            m_lines.append(line);
        });
    }
    ~LogCapture() { platform::setLogSink({}); }
    QStringList lines() const
    {
        std::lock_guard lock(m_mutex);
        return m_lines;
    }

private:
    mutable std::mutex m_mutex;
    QStringList m_lines;
};

} // namespace

class tst_NBFileSizer : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void sizeTexts_data();
    void sizeTexts();
    void sizeTextParts();
    void sizeTextsFollowTheLocale();
    void sizeTextKeysAreShipped();
    void formatterRoundsHalfToEven_data();
    void formatterRoundsHalfToEven();
    void treeSizeIsTheSumOfAllocatedBlocks();
    void uncompressedSizeIsLogical();
    void singleEntryLeavesHardLinksOut();
    void missingAndEmptyPathsGiveZero();
    void unreadableFolderIsLoggedAndSkipped();
    void attributeSizeRoundsToIoBlocks();
    void stoppableScanStops();
    void fetchRunsInTheBackground();
    void titles_data();
    void titles();
    void sizeForURLs();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString path(const QString &name) const { return m_dir->filePath(name); }
};

void tst_NBFileSizer::init()
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    NBFileSizer::setReturnUncompressedFileSize(false);
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("tree/sub/deeper")));
    QVERIFY(writeFile(path(QStringLiteral("tree/a.bin")), 5000));
    QVERIFY(writeFile(path(QStringLiteral("tree/sub/b.bin")), 70000));
    QVERIFY(writeFile(path(QStringLiteral("tree/sub/deeper/c.bin")), 1));
    QVERIFY(writeFile(path(QStringLiteral("tree/empty.bin")), 0));
}

void tst_NBFileSizer::cleanup()
{
    NBFileSizer::setReturnUncompressedFileSize(false);
    NBFileSizer::restorePathsToBeStopped();
}

void tst_NBFileSizer::sizeTexts_data()
{
    QTest::addColumn<quint64>("size");
    QTest::addColumn<bool>("base2");
    QTest::addColumn<QString>("text");
    QTest::newRow("zero") << quint64(0) << false << QStringLiteral("Zero\u00a0KB");
    QTest::newRow("400 bytes") << quint64(400) << false << nbsp("0", "KB");
    QTest::newRow("half a kilobyte rounds to even") << quint64(500) << false << nbsp("0", "KB");
    QTest::newRow("999 bytes") << quint64(999) << false << nbsp("1", "KB");
    QTest::newRow("1500 bytes rounds to even") << quint64(1500) << false << nbsp("2", "KB");
    QTest::newRow("2500 bytes rounds to even") << quint64(2500) << false << nbsp("2", "KB");
    QTest::newRow("999999 bytes stays in KB") << quint64(999999) << false << nbsp("1000", "KB");
    QTest::newRow("1.5 MB") << quint64(1500000) << false << nbsp("1.5", "MB");
    QTest::newRow("1.05 MB rounds to even") << quint64(1050000) << false << nbsp("1", "MB");
    QTest::newRow("1.15 MB rounds to even") << quint64(1150000) << false << nbsp("1.2", "MB");
    QTest::newRow("2 GB without trailing zeros") << quint64(2000000000) << false << nbsp("2", "GB");
    QTest::newRow("1.23 GB") << quint64(1234567890) << false << nbsp("1.23", "GB");
    QTest::newRow("TB has three digits") << quint64(1234567890123) << false << nbsp("1.235", "TB");
    QTest::newRow("PB is the last unit") << quint64(1000000000000000000) << false << nbsp("1000", "PB");
    QTest::newRow("largest size") << std::numeric_limits<quint64>::max() << false << nbsp("18446.7441", "PB");
    QTest::newRow("binary MB") << quint64(1048576) << true << nbsp("1", "MB");
    QTest::newRow("binary 1023 bytes") << quint64(1023) << true << nbsp("1", "KB");
    QTest::newRow("binary 1.5 GiB") << quint64(1610612736) << true << nbsp("1.5", "GB");
}

void tst_NBFileSizer::sizeTexts()
{
    QFETCH(quint64, size);
    QFETCH(bool, base2);
    QFETCH(QString, text);
    QCOMPARE(NBFileSizer::displayItemSizeFromSizeBase2Localized(size, base2, true), text);
    QCOMPARE(NBFileSizer::displayItemSizeFromSizeBase2Localized(size, base2, false), text);
    QCOMPARE(base2 ? NBFileSizer::displayItemSizeFromSizeInBase2(size) : NBFileSizer::displayItemSizeFromSize(size),
             text);
}

void tst_NBFileSizer::sizeTextParts()
{
    QCOMPARE(NBFileSizer::displayItemSizeNumberFromSize(1500000), QStringLiteral("1.5"));
    QCOMPARE(NBFileSizer::displayItemSizeDimensionFromSize(1500000), QStringLiteral("MB"));
    QCOMPARE(NBFileSizer::displayItemSizeNumberFromSize(0), QStringLiteral("Zero\u00a0KB"));
    QCOMPARE(NBFileSizer::displayItemSizeDimensionFromSize(0), QString());
    QCOMPARE(NBFileSizer::nonLocalizedDisplayItemSizeFromSize(3000000000000), nbsp("3", "TB"));
}

void tst_NBFileSizer::sizeTextsFollowTheLocale()
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    QCOMPARE(NBFileSizer::displayItemSizeFromSize(1500000), nbsp("1,5", "MB"));
    // No grouping, whatever the locale's habit.
    QCOMPARE(NBFileSizer::displayItemSizeFromSize(999999), nbsp("1000", "KB"));
    QCOMPARE(NBFileSizer::defaultSizeFormatter().stringFromNumber(1234.5), QStringLiteral("1234,5"));
}

void tst_NBFileSizer::sizeTextKeysAreShipped()
{
    // Other languages translate the size texts from the English table's keys.
    QTranslator english;
    QVERIFY(english.load(QStringLiteral(":/i18n/vaultine_en.qm")));
    for (const char *key : {"Zero\u00a0KB", "Zero", "KB", "MB", "GB", "TB", "PB"})
        QCOMPARE(english.translate("Localizable", key), QString::fromUtf8(key));
}

void tst_NBFileSizer::formatterRoundsHalfToEven_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("whole") << 3.0 << "3";
    QTest::newRow("one digit") << 2.5 << "2.5";
    QTest::newRow("exact tie down") << 0.125 << "0.12";
    QTest::newRow("exact tie up") << 0.375 << "0.38";
    QTest::newRow("no tie") << 1.006 << "1.01";
    QTest::newRow("trailing zero dropped") << 1.102 << "1.1";
    QTest::newRow("negative zero") << -0.001 << "0";
}

void tst_NBFileSizer::formatterRoundsHalfToEven()
{
    QFETCH(double, value);
    QFETCH(QString, text);
    const NBSizeFormatter formatter = NBFileSizer::defaultSizeFormatter();
    QCOMPARE(formatter.maximumFractionDigits(), 2);
    QCOMPARE(formatter.stringFromNumber(value), text);
    QVERIFY(formatter.stringFromNumber(qInf()).isNull());
    QVERIFY(formatter.stringFromFraction(1, 0).isNull());
}

void tst_NBFileSizer::treeSizeIsTheSumOfAllocatedBlocks()
{
    // A hard-linked file counts fully under each name; a link counts its own blocks only.
    QVERIFY(::link(QFile::encodeName(path(QStringLiteral("tree/sub/b.bin"))).constData(),
                   QFile::encodeName(path(QStringLiteral("tree/b-link.bin"))).constData())
            == 0);
    QVERIFY(QFile::link(path(QStringLiteral("tree/sub/b.bin")), path(QStringLiteral("tree/symlink"))));

    quint64 expected = 0;
    for (const char *name :
         {"tree/a.bin", "tree/sub/b.bin", "tree/sub/deeper/c.bin", "tree/empty.bin", "tree/b-link.bin", "tree/symlink"})
        expected += allocated(path(QString::fromLatin1(name)));
    QVERIFY(expected >= 3 * 4096);
    QCOMPARE(NBFileSizer::itemSizeAtPath(path(QStringLiteral("tree"))), expected);
    QCOMPARE(NBFileSizer::itemSizeAtURL(QUrl::fromLocalFile(path(QStringLiteral("tree")))), expected);
    QCOMPARE(NBFileSizer::originalItemSizeAtPath(path(QStringLiteral("tree/a.bin"))),
             allocated(path(QStringLiteral("tree/a.bin"))));
    QCOMPARE(NBFileSizer::displayItemSizeAtPath(path(QStringLiteral("tree"))),
             NBFileSizer::displayItemSizeFromSize(expected));
}

void tst_NBFileSizer::uncompressedSizeIsLogical()
{
    // A sparse file takes almost no space but reads large.
    {
        QFile sparse(path(QStringLiteral("tree/sparse.bin")));
        QVERIFY(sparse.open(QIODevice::WriteOnly));
        QVERIFY(sparse.seek(10 * 1024 * 1024));
        QVERIFY(sparse.write("x", 1) == 1);
    }
    const QString sparsePath = path(QStringLiteral("tree/sparse.bin"));
    QVERIFY(NBFileSizer::itemSizeAtPath(sparsePath) < 1024 * 1024);

    NBFileSizer::setReturnUncompressedFileSize(true);
    struct stat status
    {
    };
    QCOMPARE(::stat(QFile::encodeName(sparsePath).constData(), &status), 0);
    const auto roundUp = [&](quint64 size) {
        const quint64 block = quint64(status.st_blksize);
        return (size + block - 1) / block * block;
    };
    QCOMPARE(NBFileSizer::itemSizeAtPath(sparsePath), roundUp(10 * 1024 * 1024 + 1));
    const quint64 tree = roundUp(5000) + roundUp(70000) + roundUp(1) + roundUp(10 * 1024 * 1024 + 1);
    QCOMPARE(NBFileSizer::itemSizeAtPath(path(QStringLiteral("tree"))), tree);
}

void tst_NBFileSizer::singleEntryLeavesHardLinksOut()
{
    const QString file = path(QStringLiteral("tree/a.bin"));
    const auto sizeOfRoot = [](const QString &root) {
        quint64 size = std::numeric_limits<quint64>::max();
        platform::StatusWalk::walk(root, false, [&size](const platform::StatusWalk::Entry &entry) {
            size = NBFileSizer::itemSizeWithFTSEntry(entry);
            return false;
        });
        return size;
    };
    QCOMPARE(sizeOfRoot(file), allocated(file));
    QVERIFY(::link(QFile::encodeName(file).constData(), QFile::encodeName(path(QStringLiteral("a-link"))).constData())
            == 0);
    QCOMPARE(sizeOfRoot(file), quint64(0));
}

void tst_NBFileSizer::missingAndEmptyPathsGiveZero()
{
    LogCapture capture;
    QCOMPARE(NBFileSizer::itemSizeAtPath(path(QStringLiteral("missing"))), quint64(0));
    QCOMPARE(NBFileSizer::itemSizeAtPath(QString()), quint64(0));
    QCOMPARE(NBFileSizer::itemSizeAtPathAbleToStop(QString()), quint64(0));
    QCOMPARE(capture.lines(), QStringList());
}

void tst_NBFileSizer::unreadableFolderIsLoggedAndSkipped()
{
    const QString locked = path(QStringLiteral("tree/sub"));
    const quint64 outside = allocated(path(QStringLiteral("tree/a.bin")));
    QVERIFY(QFile::setPermissions(locked, QFileDevice::WriteOwner));
    LogCapture capture;
    quint64 size = 0;
    {
        UnprivilegedScope scope({m_dir->path()});
        if (!scope.isEffective())
            QSKIP("cannot step down from the superuser");
        size = NBFileSizer::itemSizeAtPath(path(QStringLiteral("tree")));
    }
    QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QCOMPARE(size, outside);
    QCOMPARE(capture.lines().size(), 1);
    QVERIFY(capture.lines().first().startsWith(locked + u": "));
}

void tst_NBFileSizer::attributeSizeRoundsToIoBlocks()
{
    struct stat status
    {
    };
    QCOMPARE(::stat(QFile::encodeName(path(QStringLiteral("tree/a.bin"))).constData(), &status), 0);
    const quint64 block = quint64(status.st_blksize);
    const auto roundUp = [block](quint64 size) { return (size + block - 1) / block * block; };
    QCOMPARE(NBFileSizer::alternativeItemSizeAtPath(path(QStringLiteral("tree/a.bin"))), roundUp(5000));
    QCOMPARE(NBFileSizer::alternativeItemSizeAtPath(path(QStringLiteral("tree"))),
             roundUp(5000) + roundUp(70000) + roundUp(1));
    LogCapture capture;
    QCOMPARE(NBFileSizer::alternativeItemSizeAtPath(path(QStringLiteral("missing"))), quint64(0));
    QCOMPARE(capture.lines().size(), 1);
    QVERIFY(capture.lines().first().startsWith(QStringLiteral("Attribute getting error: ")));
}

void tst_NBFileSizer::stoppableScanStops()
{
    const QString tree = path(QStringLiteral("tree"));
    const quint64 full = NBFileSizer::itemSizeAtPath(tree);
    QCOMPARE(NBFileSizer::itemSizeAtPathAbleToStop(tree), full);
    NBFileSizer::stopScanningForPath(tree);
    NBFileSizer::stopScanningForPath(tree);
    QCOMPARE(NBFileSizer::itemSizeAtPathAbleToStop(tree), quint64(0));
    // The request was listed once and is used up by the scan it stopped.
    QCOMPARE(NBFileSizer::itemSizeAtPathAbleToStop(tree), full);

    NBFileSizer::stopScanningForPath(tree);
    NBFileSizer::restorePathsToBeStopped();
    QCOMPARE(NBFileSizer::itemSizeAtPathAbleToStop(tree), full);
}

void tst_NBFileSizer::fetchRunsInTheBackground()
{
    const QUrl tree = QUrl::fromLocalFile(path(QStringLiteral("tree")));
    QSemaphore done;
    quint64 size = 0;
    QThread *thread = nullptr;
    NBFileSizer::fetchItemSizeAtURLCompletionBlock(tree, [&](quint64 result) {
        size = result;
        thread = QThread::currentThread();
        done.release();
    });
    QVERIFY(done.tryAcquire(1, 10000));
    QCOMPARE(size, NBFileSizer::itemSizeAtURL(tree));
    QVERIFY(thread != QThread::currentThread());

    QString text;
    VLFileNamer::sizeForURLsCompletionBlock({tree}, [&](const QString &result) {
        text = result;
        thread = QThread::currentThread();
        done.release();
    });
    QVERIFY(done.tryAcquire(1, 10000));
    QCOMPARE(text, NBFileSizer::displayItemSizeFromSize(size));
    QVERIFY(thread != QThread::currentThread());
}

void tst_NBFileSizer::titles_data()
{
    QTest::addColumn<QStringList>("paths");
    QTest::addColumn<QString>("title");
    QTest::newRow("one file") << QStringList{QStringLiteral("/docs/report.pdf")} << "report";
    QTest::newRow("only the last extension") << QStringList{QStringLiteral("/docs/data.tar.gz")} << "data.tar";
    QTest::newRow("folder") << QStringList{QStringLiteral("/docs/Photos/")} << "Photos";
    QTest::newRow("hidden file keeps its name") << QStringList{QStringLiteral("/home/.profile")} << ".profile";
    QTest::newRow("a container") << QStringList{QStringLiteral("/x/Holiday.vault")} << "Holiday";
    QTest::newRow("two") << QStringList{QStringLiteral("/a"), QStringLiteral("/b.txt")} << "2 items";
    QTest::newRow("none") << QStringList{} << "0 items";
}

void tst_NBFileSizer::titles()
{
    QFETCH(QStringList, paths);
    QFETCH(QString, title);
    QList<QUrl> urls;
    for (const QString &p : std::as_const(paths))
        urls.append(QUrl::fromLocalFile(p));
    QCOMPARE(VLFileNamer::titleForURLs(urls), title);
}

void tst_NBFileSizer::sizeForURLs()
{
    const QList<QUrl> urls = {QUrl::fromLocalFile(path(QStringLiteral("tree/a.bin"))),
                              QUrl::fromLocalFile(path(QStringLiteral("tree/sub"))),
                              QUrl::fromLocalFile(path(QStringLiteral("missing")))};
    const quint64 total = NBFileSizer::itemSizeAtPath(path(QStringLiteral("tree/a.bin")))
                          + NBFileSizer::itemSizeAtPath(path(QStringLiteral("tree/sub")));
    QCOMPARE(VLFileNamer::sizeForURLs(urls), NBFileSizer::displayItemSizeFromSize(total));
    QCOMPARE(VLFileNamer::sizeForURLs({}), QStringLiteral("Zero\u00a0KB"));
}

QTEST_GUILESS_MAIN(tst_NBFileSizer)
#include "tst_NBFileSizer.moc"
