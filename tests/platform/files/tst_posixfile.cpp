#include "platform/files/PosixFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using platform::PosixFile;

// Appending one file to another, as a section that waited in an unnamed file joins the container.
class TestPosixFile : public QObject
{
    Q_OBJECT

private:
    static QByteArray pattern(qsizetype size)
    {
        QByteArray bytes(size, Qt::Uninitialized);
        for (qsizetype i = 0; i < size; ++i)
            bytes[i] = char((i * 131 + i / 7) & 0xff);
        return bytes;
    }

    static dev_t deviceOf(const QString &path)
    {
        struct stat status = {};
        return ::stat(QFile::encodeName(path).constData(), &status) == 0 ? status.st_dev : dev_t(0);
    }

private slots:
    // In the kernel on one file system, by reading and writing between two; after what the
    // destination already holds, and with nothing left behind in the source's folder.
    void appendsAnUnnamedFileAfterWhatIsThere_data()
    {
        QTest::addColumn<bool>("otherFileSystem");
        QTest::newRow("same file system") << false;
        QTest::newRow("another file system") << true;
    }
    void appendsAnUnnamedFileAfterWhatIsThere()
    {
        QFETCH(bool, otherFileSystem);
        QTemporaryDir destinationFolder;
        // A folder of its own on the other file system: /dev/shm is shared with every process.
        QTemporaryDir spillFolder((otherFileSystem ? QStringLiteral("/dev/shm") : QDir::tempPath())
                                  + u"/vaultine-posixfile-XXXXXX");
        const QString sourceFolder = spillFolder.path();
        if (otherFileSystem && (!spillFolder.isValid() || deviceOf(sourceFolder) == deviceOf(destinationFolder.path())))
            QSKIP("no second file system to copy from");
        const QStringList before = QDir(sourceFolder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);

        PosixFile source = PosixFile::createAnonymousIn(sourceFolder);
        QVERIFY2(source.isOpen(), qPrintable(QString::number(source.lastError())));
        const QByteArray bytes = pattern(3 * 1024 * 1024 + 17);
        QVERIFY(source.writeAll(bytes.constData(), std::size_t(bytes.size())));

        const QString path = destinationFolder.filePath(QStringLiteral("joined"));
        PosixFile destination = PosixFile::createForWriting(path, 0600);
        QVERIFY(destination.writeAll("head", 4));
        int sourceError = -1;
        QVERIFY(destination.appendFrom(source, std::uint64_t(bytes.size()), &sourceError));
        QCOMPARE(sourceError, 0);
        QVERIFY(destination.close());
        QFile joined(path);
        QVERIFY(joined.open(QIODevice::ReadOnly));
        QCOMPARE(joined.readAll(), QByteArray("head") + bytes);

        source.close();
        QCOMPARE(QDir(sourceFolder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), before);
    }

    // A source shorter than asked for is a failure, not a success with fewer bytes.
    void aShortSourceFails()
    {
        QTemporaryDir folder;
        PosixFile source = PosixFile::createAnonymousIn(folder.path());
        QVERIFY(source.writeAll("abc", 3));
        PosixFile destination = PosixFile::createForWriting(folder.filePath(QStringLiteral("out")), 0600);
        int sourceError = -1;
        QVERIFY(!destination.appendFrom(source, 10, &sourceError));
        QCOMPARE(sourceError, 0);
        QCOMPARE(destination.lastError(), 0);
    }
};

QTEST_GUILESS_MAIN(TestPosixFile)
#include "tst_posixfile.moc"
