#include "ArchiveTestSupport.h"

#include "platform/files/ExtendedAttributes.h"
#include "platform/files/PosixFile.h"
#include "tests/support/AclText.h"
#include "tests/support/ReadOnlyTree.h"

#include <QFileInfo>
#include <QSet>
#include <QTemporaryDir>

#include <chrono>
#include <condition_variable>
#include <mutex>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace {

struct Switches
{
    bool encryptFiles = true;
    bool encryptDirectory = true;
    bool filesHmac = true;
    bool directoryHmac = true;
    bool compress = true;
    int bits = 128;
};

void apply(VLEncryptedArchive &archive, const Switches &s)
{
    archive.setEncryptFiles(s.encryptFiles);
    archive.setEncryptDirectory(s.encryptDirectory);
    archive.setCalculateFilesHmac(s.filesHmac);
    archive.setCalculateDirectoryHmac(s.directoryHmac);
    archive.setCompressFiles(s.compress);
    archive.setAESKeyBits(quint64(s.bits));
}

void setModificationTime(const QString &path, qint64 seconds, bool link = false)
{
    const timespec times[2] = {{seconds, 0}, {seconds, 250000000}};
    QCOMPARE(utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, link ? AT_SYMLINK_NOFOLLOW : 0), 0);
}

// Containers keep dates to the nearest millisecond.
qint64 modificationMs(const QString &path)
{
    struct stat info = {};
    if (lstat(QFile::encodeName(path).constData(), &info) != 0)
        return -1;
    return qint64(info.st_mtim.tv_sec) * 1000 + (info.st_mtim.tv_nsec + 500000) / 1000000;
}

unsigned permissionsOf(const QString &path)
{
    struct stat info = {};
    lstat(QFile::encodeName(path).constData(), &info);
    return info.st_mode & 07777;
}

QByteArray xattr(const QString &path, const char *name)
{
    char value[256];
    const ssize_t n = lgetxattr(QFile::encodeName(path).constData(), name, value, sizeof value);
    return n < 0 ? QByteArray() : QByteArray(value, n);
}

QStringList walk(const QString &root)
{
    QStringList paths{root};
    const QFileInfo info(root);
    if (info.isDir() && !info.isSymLink()) {
        for (const QString &child :
             QDir(root).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name))
            paths += walk(root + u'/' + child);
    }
    return paths;
}

} // namespace

Q_DECLARE_METATYPE(Switches)

class TestArchiveRoundTrip : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_tree;
    bool m_xattrs = false;

    // A source tree with every kind of item and metadata the container keeps.
    void buildTree()
    {
        m_tree = m_dir.filePath(QStringLiteral("src/Folder"));
        writeFile(m_tree + u"/notes.txt", sampleText(100000));
        writeFile(m_tree + u"/noise.bin", sampleNoise(70000));
        writeFile(m_tree + u"/empty", {});
        writeFile(m_tree + u"/Nested/Deeper/leaf.md", "leaf\n");
        // Large enough for many buffers in every stage; mixed so both stored and packed blocks occur.
        writeFile(m_tree + u"/Nested/large.dat",
                  sampleText(3 << 20, 9) + sampleNoise(2 << 20, 5) + sampleText(1 << 20, 4));
        QVERIFY(QFile::link(QStringLiteral("notes.txt"), m_tree + u"/link-to-notes"));
        QVERIFY(QFile::link(QStringLiteral("/nowhere/at/all"), m_tree + u"/Nested/dangling"));
        QCOMPARE(chmod(QFile::encodeName(m_tree + u"/notes.txt").constData(), 0640), 0);
        QCOMPARE(chmod(QFile::encodeName(m_tree + u"/Nested/Deeper").constData(), 0750), 0);
        m_xattrs = lsetxattr(QFile::encodeName(m_tree + u"/notes.txt").constData(), "user.colour", "blue", 4, 0) == 0;
        if (m_xattrs)
            lsetxattr(QFile::encodeName(m_tree + u"/Nested").constData(), "user.kind", "folder", 6, 0);
        setModificationTime(m_tree + u"/notes.txt", 1600000000);
        setModificationTime(m_tree + u"/Nested/large.dat", 1500000000);
        setModificationTime(m_tree + u"/Nested/Deeper", 1400000000);
        setModificationTime(m_tree + u"/Nested", 1300000000);
    }

    // The restored tree holds what the source tree holds: types, links, permissions, dates, bytes.
    void compareWithSource(const QString &restored)
    {
        for (const QString &source : walk(m_tree)) {
            const QString copy = restored + source.mid(m_tree.size());
            const QFileInfo a(source), b(copy);
            QVERIFY2(b.exists() || b.isSymLink(), qPrintable(copy));
            QCOMPARE(b.isSymLink(), a.isSymLink());
            if (a.isSymLink()) {
                QCOMPARE(*platform::destinationOfSymbolicLinkAtPath(copy),
                         *platform::destinationOfSymbolicLinkAtPath(source));
                continue;
            }
            QCOMPARE(b.isDir(), a.isDir());
            QCOMPARE(permissionsOf(copy), permissionsOf(source));
            // Folders get their dates after everything inside them is restored.
            QCOMPARE(modificationMs(copy), modificationMs(source));
            if (a.isFile())
                QCOMPARE(readFile(copy), readFile(source));
        }
    }

    // Steps a test takes while saving: before the items are added, and after.
    struct SavingSteps
    {
        std::function<void(VLEncryptedArchive &)> beforeAdding;
        std::function<void(VLEncryptedArchive &)> afterAdding;
    };

    // Saves the items at paths (relative to root) and restores them into the new folder out,
    // leaving `archive` open on the container; an error of either operation fails the test.
    void saveAndRestore(const QStringList &paths, const QString &root, const QString &out, const SavingSteps &steps,
                        VLEncryptedArchive &archive)
    {
        VLEncryptedArchive saving;
        RecordingDelegate saved;
        saving.setDelegate(&saved);
        if (steps.beforeAdding)
            steps.beforeAdding(saving);
        for (const QString &path : paths)
            QVERIFY(saving.addItemFromRoot(path, root));
        if (steps.afterAdding)
            steps.afterAdding(saving);
        saving.setPassword(QStringLiteral("pw"));
        const QString container = out + u".vault";
        saving.save(container);
        QCOMPARE(saved.errors.size(), 0);

        RecordingDelegate reading;
        openWith(archive, reading, container, QStringLiteral("pw"));
        QVERIFY(QDir().mkpath(out));
        archive.extractAllItems(out);
        archive.setDelegate(nullptr);
        QCOMPARE(reading.errors.size(), 0);
    }

    QString saveTree(const QString &name, const Switches &s, RecordingDelegate &delegate,
                     const QString &password = QStringLiteral("correct horse"))
    {
        VLEncryptedArchive archive;
        apply(archive, s);
        archive.setDelegate(&delegate);
        for (const QString &path : walk(m_tree))
            archive.addItemFromRoot(path, m_dir.filePath(QStringLiteral("src")));
        archive.setPassword(password);
        archive.setPasswordHint(QStringLiteral("a horse"));
        const QString out = m_dir.filePath(name + u".vault");
        archive.save(out);
        return out;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        buildTree();
    }

    void roundTrip_data()
    {
        QTest::addColumn<Switches>("switches");
        QTest::newRow("default") << Switches{};
        QTest::newRow("192-bit") << Switches{true, true, true, true, true, 192};
        QTest::newRow("256-bit") << Switches{true, true, true, true, true, 256};
        QTest::newRow("uncompressed") << Switches{true, true, true, true, false, 128};
        QTest::newRow("no hmacs") << Switches{true, true, false, false, true, 128};
        QTest::newRow("files only") << Switches{true, false, true, false, true, 128};
        // A directory HMAC needs an enciphered directory to carry its key: none is claimed then.
        QTest::newRow("files only, directory hmac asked") << Switches{true, false, true, true, true, 128};
        QTest::newRow("directory only") << Switches{false, true, false, true, true, 256};
        QTest::newRow("plain") << Switches{false, false, false, false, true, 128};
        QTest::newRow("plain uncompressed") << Switches{false, false, false, false, false, 128};
    }

    void roundTrip()
    {
        QFETCH(Switches, switches);
        RecordingDelegate saving;
        const QString container = saveTree(QString::fromLatin1(QTest::currentDataTag()), switches, saving);
        QCOMPARE(saving.errors.size(), 0);
        QCOMPARE(saving.events.first(), QStringLiteral("started EncryptedArchiveOperationSaving"));
        QCOMPARE(saving.events.last(), QStringLiteral("finished EncryptedArchiveOperationSaving"));
        QCOMPARE(permissionsOf(container), 0600u);

        VLEncryptedArchive archive;
        RecordingDelegate reading;
        openWith(archive, reading, container, QStringLiteral("correct horse"));
        QCOMPARE(reading.events, QStringList({QStringLiteral("started EncryptedArchiveOperationOpening"),
                                              QStringLiteral("finished EncryptedArchiveOperationOpening")}));
        QCOMPARE(reading.passwordRequests, 0);
        QCOMPARE(archive.passwordHint(), QStringLiteral("a horse"));
        QCOMPARE(archive.AESKeyBits(), quint64(switches.bits));
        QCOMPARE(archive.encryptFiles(), switches.encryptFiles);
        QCOMPARE(archive.compressFiles(), switches.compress);
        QCOMPARE(archive.fileRecords().size(), walk(m_tree).size());
        QCOMPARE(archive.childRecordsAtPath().size(), 1);

        QTemporaryDir out;
        reading.events.clear();
        archive.extractAllItems(out.path());
        QCOMPARE(reading.errors.size(), 0);
        QCOMPARE(reading.events.last(), QStringLiteral("finished EncryptedArchiveOperationExtraction"));
        const QString restored = out.filePath(QStringLiteral("Folder"));
        compareWithSource(restored);
        if (m_xattrs) {
            QCOMPARE(xattr(restored + u"/notes.txt", "user.colour"), QByteArray("blue"));
            QCOMPARE(xattr(restored + u"/Nested", "user.kind"), QByteArray("folder"));
        }
        // realPath follows each record to its restored place.
        QCOMPARE(archive.recordAtPath(QStringLiteral("/Folder/notes.txt"))->realPath(), restored + u"/notes.txt");
        archive.closeArchive();
        QVERIFY(archive.fileRecords().isEmpty());
        QVERIFY(archive.childRecordsAtPath().isEmpty());
        QVERIFY(!archive.recordAtPath(QStringLiteral("/Folder/notes.txt")));
    }

    // A folder's access list is applied after its contents are restored, from the compact form
    // the folder's record keeps until then.
    void aFoldersAccessListComesBack()
    {
        const QString root = m_dir.filePath(QStringLiteral("acl"));
        const QString folder = root + u"/Shared";
        writeFile(folder + u"/inside.txt", "inside\n");
        const QString acl = QStringLiteral("u::rwx,u:%1:r-x,g::r-x,m::r-x,o::---").arg(::geteuid());
        if (!AclText::set(folder, acl))
            QSKIP("the temporary folder's file system has no POSIX ACLs");
        VLEncryptedArchive saving;
        for (const QString &path : walk(folder))
            saving.addItemFromRoot(path, root);
        saving.setPassword(QStringLiteral("pw"));
        const QString container = m_dir.filePath(QStringLiteral("acl.vault"));
        saving.save(container);

        VLEncryptedArchive archive;
        RecordingDelegate reading;
        openWith(archive, reading, container, QStringLiteral("pw"));
        QTemporaryDir out;
        archive.extractAllItems(out.path());
        QCOMPARE(reading.errors.size(), 0);
        QCOMPARE(AclText::of(out.filePath(QStringLiteral("Shared"))), acl);
        QCOMPARE(readFile(out.filePath(QStringLiteral("Shared/inside.txt"))), QByteArray("inside\n"));
    }

    // Read-only files and folders with extended attributes come back whole for an ordinary user.
    void readOnlyItemsComeBackWhole_data()
    {
        QTest::addColumn<bool>("compress");
        QTest::newRow("compressed") << true;
        QTest::newRow("uncompressed") << false;
    }

    void readOnlyItemsComeBackWhole()
    {
        QFETCH(bool, compress);
        const ReadOnlyTree::Workspace workspace;
        if (workspace.skipReason())
            QSKIP(workspace.skipReason());
        LogCapture log;
        VLEncryptedArchive archive;
        saveAndRestore(walk(workspace.source()), workspace.path(QStringLiteral("src")),
                       workspace.path(QStringLiteral("out")),
                       {[compress](VLEncryptedArchive &saving) { saving.setCompressFiles(compress); }, {}}, archive);
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(ReadOnlyTree::differences(workspace.source(), workspace.path(QStringLiteral("out/Locked"))),
                 QStringList());
        QVERIFY(!log.contains(QStringLiteral("can't set extended attribute")));
    }

    // A file that changes size between being added and being saved is stored with the bytes
    // read, never with a size its section does not hold; the item after it stays intact.
    void filesChangingSizeBeforeTheyAreSaved_data()
    {
        QTest::addColumn<qsizetype>("addedSize");
        QTest::addColumn<qsizetype>("savedSize");
        QTest::addColumn<bool>("filesHmac");
        QTest::newRow("small, grows") << qsizetype(5000) << qsizetype(9000) << true;
        QTest::newRow("small, shrinks") << qsizetype(9000) << qsizetype(5000) << true;
        QTest::newRow("small, shrinks, no hmacs") << qsizetype(9000) << qsizetype(5000) << false;
        QTest::newRow("small, emptied") << qsizetype(9000) << qsizetype(0) << true;
        QTest::newRow("large, grows") << qsizetype(3 << 20) << qsizetype(4 << 20) << true;
        QTest::newRow("large, shrinks") << qsizetype(3 << 20) << qsizetype(2 << 20) << true;
        QTest::newRow("large, shrinks, no hmacs") << qsizetype(3 << 20) << qsizetype((2 << 20) + 5) << false;
    }

    void filesChangingSizeBeforeTheyAreSaved()
    {
        QFETCH(qsizetype, addedSize);
        QFETCH(qsizetype, savedSize);
        QFETCH(bool, filesHmac);
        QTemporaryDir dir;
        const QString changing = dir.filePath(QStringLiteral("src/changing.bin"));
        const QString after = dir.filePath(QStringLiteral("src/zz-after.txt"));
        const QByteArray saved = sampleNoise(savedSize, 3);
        writeFile(changing, saved.left(addedSize) + QByteArray(std::max<qsizetype>(0, addedSize - savedSize), 'x'));
        writeFile(after, sampleText(20000, 2));

        LogCapture log;
        VLEncryptedArchive archive;
        const QString out = dir.filePath(QStringLiteral("out"));
        saveAndRestore({changing, after}, dir.filePath(QStringLiteral("src")), out,
                       {[filesHmac](VLEncryptedArchive &saving) {
                            saving.setCompressFiles(false);
                            saving.setCalculateFilesHmac(filesHmac);
                        },
                        [&](VLEncryptedArchive &) { QVERIFY(writeBytes(changing, saved)); }},
                       archive);
        if (QTest::currentTestFailed())
            return;
        // A file that grew is stored as it was added; one that shrank as it is now.
        QCOMPARE(readFile(out + u"/changing.bin"), saved.left(std::min(addedSize, savedSize)));
        QCOMPARE(archive.recordAtPath(QStringLiteral("/changing.bin"))->size(),
                 quint64(std::min(addedSize, savedSize)));
        QCOMPARE(readFile(out + u"/zz-after.txt"), sampleText(20000, 2));
        QVERIFY(!log.contains(QStringLiteral("Processed size differs")));
    }

    // A large file without compression has its size written before its bytes: one that gets
    // shorter while it is read fails the saving with the item, and leaves no container.
    // A large file that takes long does not hold back the small items behind it: they are
    // written while it is still being read, the directory lists the sections in the order they
    // were written, a folder before its contents, and everything comes back whole.
    void smallItemsAreNotHeldBehindALargeOne()
    {
        QTemporaryDir dir;
        const QString src = dir.filePath(QStringLiteral("src"));
        writeFile(src + u"/large.bin", sampleNoise(3 << 20, 5));
        for (int i = 0; i < 12; ++i)
            writeFile(src + QStringLiteral("/sub/small-%1.txt").arg(i), sampleText(3000 + i, quint32(i + 1)));
        VLEncryptedArchive saving;
        saving.setCompressFiles(false);
        saving.setWorkerCount(4);
        saving.setPassword(QStringLiteral("pw"));
        QVERIFY(saving.addItemFromRoot(src + u"/large.bin", src));
        QVERIFY(saving.addItemFromRoot(src + u"/sub", src));
        for (int i = 0; i < 12; ++i)
            QVERIFY(saving.addItemFromRoot(src + QStringLiteral("/sub/small-%1.txt").arg(i), src));

        // The large file's first piece waits until every small file is written (or gives up).
        std::mutex mutex;
        std::condition_variable changed;
        QSet<QString> smallWritten;
        bool waitedInVain = false;
        RecordingDelegate delegate;
        delegate.stopWhen = [&](const QVariantMap &info) {
            const auto item = info.value(VLEncryptedArchiveConstants::keyItem).value<VLEncryptedArchiveItemPtr>();
            if (item && item->path().contains(u"small-")
                && info.value(VLEncryptedArchiveConstants::keyProgress).toDouble() == 100.0) {
                std::lock_guard lock(mutex);
                smallWritten.insert(item->path());
                changed.notify_all();
            }
            return false;
        };
        saving.setDelegate(&delegate);
        saving.setReadPieceHook([&](const VLEncryptedArchiveItemPtr &record, quint64 done) {
            if (!record->path().endsWith(u"large.bin") || done > 256 * 1024)
                return;
            std::unique_lock lock(mutex);
            waitedInVain = !changed.wait_for(lock, std::chrono::seconds(20), [&] { return smallWritten.size() == 12; });
        });
        const QString container = dir.filePath(QStringLiteral("order.vault"));
        saving.save(container);
        QCOMPARE(delegate.lastError(), 0);
        QVERIFY(!waitedInVain);

        VLEncryptedArchive reader;
        RecordingDelegate reading;
        openWith(reader, reading, container, QStringLiteral("pw"));
        QCOMPARE(reading.lastError(), 0);
        QStringList order;
        for (const VLEncryptedArchiveItemPtr &record : reader.fileRecords())
            order << record->path();
        QCOMPARE(order.size(), 14);
        QCOMPARE(order.last(), QStringLiteral("/large.bin"));
        QCOMPARE(order.first(), QStringLiteral("/sub"));
        const QString out = dir.filePath(QStringLiteral("out"));
        QVERIFY(QDir().mkpath(out));
        reader.extractAllItems(out);
        QCOMPARE(reading.lastError(), 0);
        QCOMPARE(readFile(out + u"/large.bin"), readFile(src + u"/large.bin"));
        for (int i = 0; i < 12; ++i) {
            const QString name = QStringLiteral("/sub/small-%1.txt").arg(i);
            QCOMPARE(readFile(out + name), readFile(src + name));
        }
    }

    // A large file that comes after more small files than are made ahead is started at once, not
    // left to be the last work of the saving: the first small file is written while it is read.
    // So is one deep in a folder that comes after them, its folders made before it; the
    // directory still lists every folder before its contents.
    void aLargeFileMetLateIsStartedEarly_data()
    {
        QTest::addColumn<QStringList>("laterFolders");
        QTest::addColumn<QString>("large");
        QTest::newRow("beside the small files") << QStringList() << QStringLiteral("/sub/zz-large.bin");
        QTest::newRow("deep in a later folder") << QStringList{QStringLiteral("/later"), QStringLiteral("/later/deep")}
                                                << QStringLiteral("/later/deep/zz-large.bin");
    }

    void aLargeFileMetLateIsStartedEarly()
    {
        QFETCH(QStringList, laterFolders);
        QFETCH(QString, large);
        QTemporaryDir dir;
        const QString src = dir.filePath(QStringLiteral("src"));
        constexpr int smallCount = 200; // 8 MB, more than the saving makes ahead
        for (int i = 0; i < smallCount; ++i)
            writeFile(src + QStringLiteral("/sub/small-%1.bin").arg(i, 3, 10, QChar(u'0')),
                      sampleNoise(40000, quint32(i)));
        writeFile(src + large, sampleNoise(3 << 20, 7));
        VLEncryptedArchive saving;
        saving.setCompressFiles(false);
        saving.setWorkerCount(4);
        saving.setPassword(QStringLiteral("pw"));
        QVERIFY(saving.addItemFromRoot(src + u"/sub", src));
        for (int i = 0; i < smallCount; ++i)
            QVERIFY(saving.addItemFromRoot(src + QStringLiteral("/sub/small-%1.bin").arg(i, 3, 10, QChar(u'0')), src));
        for (const QString &folder : laterFolders)
            QVERIFY(saving.addItemFromRoot(src + folder, src));
        QVERIFY(saving.addItemFromRoot(src + large, src));

        std::mutex mutex;
        std::condition_variable changed;
        bool largeStarted = false;
        bool firstSmallSeen = false;
        bool waitedInVain = false;
        saving.setReadPieceHook([&](const VLEncryptedArchiveItemPtr &record, quint64) {
            if (record->path() != large)
                return;
            std::lock_guard lock(mutex);
            largeStarted = true;
            changed.notify_all();
        });
        RecordingDelegate delegate;
        delegate.stopWhen = [&](const QVariantMap &info) {
            const auto item = info.value(VLEncryptedArchiveConstants::keyItem).value<VLEncryptedArchiveItemPtr>();
            if (firstSmallSeen || !item || !item->path().contains(u"small-")
                || info.value(VLEncryptedArchiveConstants::keyProgress).toDouble() != 100.0)
                return false;
            firstSmallSeen = true;
            std::unique_lock lock(mutex);
            waitedInVain = !changed.wait_for(lock, std::chrono::seconds(20), [&] { return largeStarted; });
            return false;
        };
        saving.setDelegate(&delegate);
        const QString container = dir.filePath(QStringLiteral("late.vault"));
        saving.save(container);
        QCOMPARE(delegate.lastError(), 0);
        QVERIFY(firstSmallSeen);
        QVERIFY(!waitedInVain);

        VLEncryptedArchive reader;
        RecordingDelegate reading;
        openWith(reader, reading, container, QStringLiteral("pw"));
        QCOMPARE(reader.fileRecords().size(), smallCount + 2 + laterFolders.size());
        QSet<QString> listed;
        for (const VLEncryptedArchiveItemPtr &record : reader.fileRecords()) {
            const QString path = record->path();
            const QString parent = path.left(path.lastIndexOf(u'/'));
            QVERIFY2(parent.isEmpty() || listed.contains(parent), qPrintable(path));
            listed.insert(path);
        }
        const QString out = dir.filePath(QStringLiteral("out"));
        QVERIFY(QDir().mkpath(out));
        reader.extractAllItems(out);
        QCOMPARE(reading.lastError(), 0);
        QCOMPARE(readFile(out + large), readFile(src + large));
        QCOMPARE(readFile(out + u"/sub/small-123.bin"), readFile(src + u"/sub/small-123.bin"));
    }

    void aFileShrinkingWhileItIsReadFailsTheSaving()
    {
        QTemporaryDir dir;
        const QString changing = dir.filePath(QStringLiteral("src/changing.bin"));
        writeFile(changing, sampleNoise(3 << 20, 3));
        VLEncryptedArchive saving;
        RecordingDelegate delegate;
        saving.setDelegate(&delegate);
        saving.setCompressFiles(false);
        QVERIFY(saving.addItemFromRoot(changing, dir.filePath(QStringLiteral("src"))));
        saving.setReadPieceHook(
            [&](const VLEncryptedArchiveItemPtr &, quint64) { QFile::resize(changing, 300 * 1024); });
        saving.setPassword(QStringLiteral("pw"));
        const QString container = dir.filePath(QStringLiteral("changing.vault"));
        LogCapture log;
        saving.save(container);
        QCOMPARE(delegate.lastError(), qint64(VLArchiveErrorReadSource));
        QCOMPARE(delegate.lastErrorItem()->path(), QStringLiteral("/changing.bin"));
        QVERIFY(log.contains(QStringLiteral("got shorter while it was read")));
        QVERIFY(!QFileInfo::exists(container));
    }

    // A file's access list comes back with the owning group's entry it had: the list is applied
    // after the permissions, not built on the mode the new file was made with.
    // However its section is made, a file keeps its access list (with the owning group's entry)
    // and extended attributes, and nothing made on the way stays beside the container.
    void aFilesAccessListKeepsTheOwningGroupsEntry_data()
    {
        QTest::addColumn<qsizetype>("size");
        QTest::newRow("made whole") << qsizetype(7);
        QTest::newRow("streamed on a worker") << qsizetype(2 << 20);
        QTest::newRow("streamed at its turn") << qsizetype(33 << 20);
    }

    void aFilesAccessListKeepsTheOwningGroupsEntry()
    {
        QFETCH(qsizetype, size);
        const QString root = m_dir.filePath(QStringLiteral("fileacl-%1").arg(size));
        const QString file = root + u"/shared.txt";
        const QByteArray bytes = size < 64 ? QByteArray("shared\n") : sampleText(size, 3);
        writeFile(file, bytes);
        const QString acl = QStringLiteral("u::rw-,u:%1:r--,g::r--,m::r--,o::r--").arg(::geteuid());
        if (!AclText::set(file, acl))
            QSKIP("the temporary folder's file system has no POSIX ACLs");
        const bool xattrs = lsetxattr(QFile::encodeName(file).constData(), "user.colour", "blue", 4, 0) == 0;
        QTemporaryDir folder;
        const QString container = folder.filePath(QStringLiteral("acl.vault"));
        VLEncryptedArchive saving;
        RecordingDelegate saved;
        saving.setDelegate(&saved);
        QVERIFY(saving.addItemFromRoot(file, root));
        saving.setPassword(QStringLiteral("pw"));
        saving.save(container);
        QCOMPARE(saved.errors.size(), 0);
        QCOMPARE(QDir(folder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System),
                 QStringList{QStringLiteral("acl.vault")});

        VLEncryptedArchive archive;
        RecordingDelegate reading;
        openWith(archive, reading, container, QStringLiteral("pw"));
        const QString out = folder.filePath(QStringLiteral("out"));
        QVERIFY(QDir().mkpath(out));
        archive.extractAllItems(out);
        QCOMPARE(reading.errors.size(), 0);
        QCOMPARE(AclText::of(out + u"/shared.txt"), acl);
        QCOMPARE(permissionsOf(out + u"/shared.txt"), 0644u);
        if (xattrs)
            QCOMPARE(xattr(out + u"/shared.txt", "user.colour"), QByteArray("blue"));
        QCOMPARE(readFile(out + u"/shared.txt"), bytes);
    }

    // A file's type comes from the name it was added with, even when asked for after its real
    // path changed.
    void theTypeFollowsTheAddedName()
    {
        const QString text = m_dir.filePath(QStringLiteral("typed/readme.txt"));
        writeFile(text, "words\n");
        VLEncryptedArchive archive;
        const VLEncryptedArchiveItemPtr record = archive.addItemFromRoot(text);
        QVERIFY(record);
        record->setRealPath(m_dir.filePath(QStringLiteral("typed/picture.png")));
        QCOMPARE(record->UTI(), QStringLiteral("public.plain-text"));
        record->setUTI(QStringLiteral("public.data"));
        QCOMPARE(record->UTI(), QStringLiteral("public.data"));
    }

    // Any number of workers, saving or extracting, gives the same tree back.
    void workerCountsRestoreTheSameTree_data()
    {
        QTest::addColumn<int>("savingWorkers");
        QTest::addColumn<int>("extractingWorkers");
        QTest::newRow("1 and 8") << 1 << 8;
        QTest::newRow("2 and 2") << 2 << 2;
        QTest::newRow("8 and 1") << 8 << 1;
    }

    void workerCountsRestoreTheSameTree()
    {
        QFETCH(int, savingWorkers);
        QFETCH(int, extractingWorkers);
        VLEncryptedArchive archive;
        RecordingDelegate saving;
        archive.setDelegate(&saving);
        archive.setWorkerCount(savingWorkers);
        for (const QString &path : walk(m_tree))
            archive.addItemFromRoot(path, m_dir.filePath(QStringLiteral("src")));
        archive.setPassword(QStringLiteral("pw"));
        const QString container = m_dir.filePath(QStringLiteral("workers%1.vault").arg(savingWorkers));
        archive.save(container);
        QCOMPARE(saving.errors.size(), 0);

        VLEncryptedArchive reader;
        RecordingDelegate reading;
        reader.setWorkerCount(extractingWorkers);
        openWith(reader, reading, container, QStringLiteral("pw"));
        QTemporaryDir out;
        reading.progress.clear();
        reader.extractAllItems(out.path());
        QCOMPARE(reading.errors.size(), 0);
        compareWithSource(out.filePath(QStringLiteral("Folder")));
        // Progress stays ordered however the workers finish.
        double last = -1;
        for (const QVariantMap &info : reading.progress) {
            const double total = info.value(VLEncryptedArchiveConstants::keyTotalProgress).toDouble();
            QVERIFY(total >= last);
            last = total;
        }
    }

    void progressIsOrderedAndBounded()
    {
        RecordingDelegate saving;
        saveTree(QStringLiteral("progress"), Switches{}, saving);
        double last = -1;
        for (const QVariantMap &info : saving.progress) {
            QCOMPARE(info.value(VLEncryptedArchiveConstants::keyOperation).toString(),
                     VLEncryptedArchiveConstants::operationSaving);
            const double total = info.value(VLEncryptedArchiveConstants::keyTotalProgress).toDouble();
            QVERIFY(total >= last && total <= 100.0);
            last = total;
            QVERIFY(info.value(VLEncryptedArchiveConstants::keyItem).value<VLEncryptedArchiveItemPtr>());
        }
        QCOMPARE(last, 100.0);
        // The large file reports about once per percent (whole 16 KiB pieces), plus its start and end.
        const auto large = std::count_if(saving.progress.cbegin(), saving.progress.cend(), [](const QVariantMap &info) {
            return info.value(VLEncryptedArchiveConstants::keyItem)
                .value<VLEncryptedArchiveItemPtr>()
                ->path()
                .endsWith(u"large.dat");
        });
        QVERIFY2(large >= 90 && large <= 110, qPrintable(QString::number(large)));

        VLEncryptedArchive archive;
        RecordingDelegate reading;
        openWith(archive, reading, m_dir.filePath(QStringLiteral("progress.vault")), QStringLiteral("correct horse"));
        reading.progress.clear();
        QTemporaryDir out;
        archive.extractAllItems(out.path());
        QCOMPARE(reading.progress.first().value(VLEncryptedArchiveConstants::keyTotalProgress).toDouble(), 0.0);
        QCOMPARE(reading.progress.last().value(VLEncryptedArchiveConstants::keyTotalProgress).toDouble(), 100.0);
        QCOMPARE(reading.progress.last().value(VLEncryptedArchiveConstants::keyProgress).toDouble(), 100.0);
        last = -1;
        for (const QVariantMap &info : reading.progress) {
            const double total = info.value(VLEncryptedArchiveConstants::keyTotalProgress).toDouble();
            QVERIFY(total >= last - 1e-9 && total <= 100.0);
            last = total;
        }
    }

    void addingFollowsTheRoot()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath(QStringLiteral("Desktop/Folder/a.txt")), "a");
        writeFile(dir.filePath(QStringLiteral("Desktop/Folder/B.txt")), "b");
        writeFile(dir.filePath(QStringLiteral("Elsewhere/c.txt")), "c");
        const QString root = dir.filePath(QStringLiteral("Desktop"));
        VLEncryptedArchive archive;
        const auto folder = archive.addItemFromRoot(root + u"/Folder", root);
        QVERIFY(folder);
        QCOMPARE(folder->path(), QStringLiteral("/Folder"));
        QCOMPARE(folder->UTI(), QStringLiteral("public.folder"));
        const auto added = archive.addItemsFromRoot(
            {root + u"/Folder/a.txt", dir.filePath(QStringLiteral("Elsewhere/c.txt")), root + u"/Folder/B.txt"}, root);
        QCOMPARE(added.size(), 2);
        QCOMPARE(added[0]->path(), QStringLiteral("/Folder/a.txt"));
        QVERIFY(added[0]->compressed());
        QVERIFY(!folder->compressed());
        QCOMPARE(archive.childRecordsAtPath().size(), 1);
        QCOMPARE(archive.childRecordsAtPath(QStringLiteral("/folder")).size(), 2);
        QCOMPARE(archive.childRecords(folder).size(), 2);
        QCOMPARE(archive.recordAtPath(QStringLiteral("/FOLDER/A.TXT")), added[0]);
        QVERIFY(archive.childRecordsAtPath(QStringLiteral("/Folder/a.txt")).isEmpty());
        // Without a root, or with the path itself, the parent folder is the root.
        QCOMPARE(archive.addItemFromRoot(root + u"/Folder/a.txt")->path(), QStringLiteral("/a.txt"));
        // A root that is only a prefix of a name is not a folder of the path.
        QVERIFY(!archive.addItemFromRoot(root + u"/Folder/a.txt", root + u"/Fold"));
        QVERIFY(!archive.addItemFromRoot(dir.filePath(QStringLiteral("missing")), root));

        const QString fifo = dir.filePath(QStringLiteral("Desktop/pipe"));
        QCOMPARE(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        QVERIFY(!archive.addItemFromRoot(fifo, root));
    }

    void applicationsAreNoticed()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath(QStringLiteral("Tool.APP/x")), "x");
        writeFile(dir.filePath(QStringLiteral("Editor.app/x")), "x");
        VLEncryptedArchive archive;
        archive.addItemFromRoot(dir.filePath(QStringLiteral("Tool.APP")), dir.path());
        QVERIFY(!archive.includeApplications());
        archive.addItemFromRoot(dir.filePath(QStringLiteral("Editor.app")), dir.path());
        QVERIFY(archive.includeApplications());

        RecordingDelegate delegate;
        archive.setDelegate(&delegate);
        archive.setPassword(QStringLiteral("p"));
        archive.save(dir.filePath(QStringLiteral("apps.vault")));
        VLEncryptedArchive reader;
        openWith(reader, delegate, dir.filePath(QStringLiteral("apps.vault")), QStringLiteral("p"));
        QVERIFY(reader.includeApplications());
    }

    // Paths differing only in case are two items here: both are written and restored.
    void caseDifferingPathsAreBothKept()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath(QStringLiteral("Dir/File.txt")), "upper");
        writeFile(dir.filePath(QStringLiteral("Dir/file.txt")), "lower");
        VLEncryptedArchive archive;
        RecordingDelegate delegate;
        archive.setDelegate(&delegate);
        archive.addItemsFromRoot({dir.filePath(QStringLiteral("Dir")), dir.filePath(QStringLiteral("Dir/File.txt")),
                                  dir.filePath(QStringLiteral("Dir/file.txt"))},
                                 dir.path());
        QCOMPARE(archive.fileRecords().size(), 3);
        QCOMPARE(archive.childRecordsAtPath(QStringLiteral("/dir")).size(), 2);
        archive.setPassword(QStringLiteral("p"));
        archive.save(dir.filePath(QStringLiteral("case.vault")));

        VLEncryptedArchive reader;
        openWith(reader, delegate, dir.filePath(QStringLiteral("case.vault")), QStringLiteral("p"));
        QCOMPARE(reader.fileRecords().size(), 3);
        QTemporaryDir out;
        reader.extractAllItems(out.path());
        QCOMPARE(delegate.errors.size(), 0);
        QCOMPARE(readFile(out.filePath(QStringLiteral("Dir/File.txt"))), QByteArray("upper"));
        QCOMPARE(readFile(out.filePath(QStringLiteral("Dir/file.txt"))), QByteArray("lower"));
    }

    void passwordLoop()
    {
        RecordingDelegate saving;
        const QString container = saveTree(QStringLiteral("loop"), Switches{}, saving, QStringLiteral("right"));
        {
            VLEncryptedArchive archive;
            RecordingDelegate delegate;
            delegate.passwords = {QStringLiteral("wrong"), QStringLiteral("still wrong"), QStringLiteral("right")};
            archive.setDelegate(&delegate);
            archive.openArchive(container);
            QCOMPARE(delegate.passwordRequests, 3); // none set, then two wrong ones
            QCOMPARE(delegate.lastError(), 0);
            QVERIFY(archive.isOpened());
            QCOMPARE(archive.password(), QStringLiteral("right"));
            QCOMPARE(archive.passwordHint(), QStringLiteral("a horse"));
        }
        {
            VLEncryptedArchive archive;
            RecordingDelegate delegate;
            delegate.passwords = {QStringLiteral("wrong")};
            openWith(archive, delegate, container, QStringLiteral("also wrong"));
            QCOMPARE(delegate.passwordRequests, 2);
            QCOMPARE(delegate.lastError(), VLArchiveErrorWrongPassword);
            QVERIFY(!archive.isOpened());
        }
        {
            // An unanswered request ends the opening at once.
            VLEncryptedArchive archive;
            RecordingDelegate delegate;
            delegate.answered &= ~VLEncryptedArchiveDelegate::Callbacks(
                VLEncryptedArchiveDelegate::Callback::PasswordNeeded);
            openWith(archive, delegate, container, QString());
            QCOMPARE(delegate.passwordRequests, 0);
            QCOMPARE(delegate.lastError(), VLArchiveErrorPasswordNeeded);
        }
    }

    void stopWhileSaving()
    {
        RecordingDelegate delegate;
        delegate.stopWhen = [](const QVariantMap &info) {
            const auto item = info.value(VLEncryptedArchiveConstants::keyItem).value<VLEncryptedArchiveItemPtr>();
            return item && item->path().endsWith(u"large.dat")
                   && info.value(VLEncryptedArchiveConstants::keyProgress).toDouble() > 10;
        };
        const QString container = saveTree(QStringLiteral("stopped"), Switches{}, delegate);
        QCOMPARE(delegate.lastError(), VLArchiveErrorStopped);
        QVERIFY(delegate.lastErrorItem()->path().endsWith(u"large.dat"));
        QVERIFY(!QFileInfo::exists(container));
        QVERIFY(!delegate.events.contains(QStringLiteral("finished EncryptedArchiveOperationSaving")));
    }

    void stopInTheLastCallbackIsNotActedUpon()
    {
        // Empty files: each item reports only its start (0) and its end (100). Sections are
        // written as they are done, so the items are told apart by the order of their ends.
        QTemporaryDir dir;
        writeFile(dir.filePath(QStringLiteral("a.txt")), {});
        writeFile(dir.filePath(QStringLiteral("b.txt")), {});
        const QStringList items{dir.filePath(QStringLiteral("a.txt")), dir.filePath(QStringLiteral("b.txt"))};
        auto stopAtTheEndOf = [](int nth) {
            auto ends = std::make_shared<QStringList>();
            return std::pair{ends, [ends, nth](const QVariantMap &info) {
                                 if (info.value(VLEncryptedArchiveConstants::keyProgress).toDouble() != 100.0)
                                     return false;
                                 const auto item = info.value(VLEncryptedArchiveConstants::keyItem)
                                                       .value<VLEncryptedArchiveItemPtr>();
                                 *ends << item->path();
                                 return ends->size() == nth;
                             }};
        };
        VLEncryptedArchive archive;
        archive.addItemsFromRoot(items, dir.path());
        RecordingDelegate delegate;
        const auto [ended, atTheLast] = stopAtTheEndOf(2);
        delegate.stopWhen = atTheLast;
        archive.setDelegate(&delegate);
        archive.save(dir.filePath(QStringLiteral("done.vault")));
        QCOMPARE(delegate.errors.size(), 0);
        QCOMPARE(ended->size(), 2);
        QCOMPARE(delegate.events.last(), QStringLiteral("finished EncryptedArchiveOperationSaving"));

        // A stop at the end of the first item is acted upon before the second begins.
        VLEncryptedArchive second;
        second.addItemsFromRoot(items, dir.path());
        RecordingDelegate stopper;
        const auto [firstEnded, atTheFirst] = stopAtTheEndOf(1);
        stopper.stopWhen = atTheFirst;
        second.setDelegate(&stopper);
        second.save(dir.filePath(QStringLiteral("stopped.vault")));
        QCOMPARE(stopper.lastError(), VLArchiveErrorStopped);
        QCOMPARE(firstEnded->size(), 1);
        QVERIFY(stopper.lastErrorItem()->path() != firstEnded->first());
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("stopped.vault"))));
    }

    void stopWhileOpeningAndExtracting()
    {
        RecordingDelegate saving;
        const QString container = saveTree(QStringLiteral("stops"), Switches{}, saving);
        {
            VLEncryptedArchive archive;
            RecordingDelegate delegate;
            delegate.stopWhen = [](const QVariantMap &) { return true; };
            openWith(archive, delegate, container, QStringLiteral("correct horse"));
            QCOMPARE(delegate.lastError(), VLArchiveErrorStopped);
            QVERIFY(!archive.isOpened());
        }
        {
            VLEncryptedArchive archive;
            RecordingDelegate delegate;
            openWith(archive, delegate, container, QStringLiteral("correct horse"));
            QVERIFY(archive.isOpened());
            delegate.stopWhen = [](const QVariantMap &info) {
                const auto item = info.value(VLEncryptedArchiveConstants::keyItem).value<VLEncryptedArchiveItemPtr>();
                return item && item->path().endsWith(u"large.dat");
            };
            QTemporaryDir out;
            archive.extractAllItems(out.path());
            QCOMPARE(delegate.lastError(), VLArchiveErrorStopped);
            QVERIFY(!delegate.lastUnderlying());
            QVERIFY(delegate.lastErrorItem()->path().endsWith(u"large.dat"));
            QVERIFY(!delegate.events.contains(QStringLiteral("finished EncryptedArchiveOperationExtraction")));
        }
    }

    void parentsComeBeforeChildren()
    {
        // Records entered child first: the chain creates A, then B, then the file.
        QTemporaryDir dir;
        writeFile(dir.filePath(QStringLiteral("A/B/c.txt")), "c");
        setModificationTime(dir.filePath(QStringLiteral("A/B")), 1200000000);
        setModificationTime(dir.filePath(QStringLiteral("A")), 1100000000);
        VLEncryptedArchive archive;
        archive.addItemsFromRoot({dir.filePath(QStringLiteral("A/B/c.txt")), dir.filePath(QStringLiteral("A/B")),
                                  dir.filePath(QStringLiteral("A"))},
                                 dir.path());
        RecordingDelegate delegate;
        archive.setDelegate(&delegate);
        archive.setPassword(QStringLiteral("p"));
        archive.save(dir.filePath(QStringLiteral("tree.vault")));
        VLEncryptedArchive reader;
        openWith(reader, delegate, dir.filePath(QStringLiteral("tree.vault")), QStringLiteral("p"));
        QTemporaryDir out;
        delegate.progress.clear();
        reader.extractAllItems(out.path());
        QCOMPARE(delegate.errors.size(), 0);
        QCOMPARE(readFile(out.filePath(QStringLiteral("A/B/c.txt"))), QByteArray("c"));
        QStringList finished;
        for (const QVariantMap &info : delegate.progress) {
            const auto item = info.value(VLEncryptedArchiveConstants::keyItem).value<VLEncryptedArchiveItemPtr>();
            // A one-byte file's only piece already reports 100 before its end.
            if (item && info.value(VLEncryptedArchiveConstants::keyProgress).toDouble() == 100.0
                && (finished.isEmpty() || finished.last() != item->path()))
                finished << item->path();
        }
        QCOMPARE(finished, QStringList({QStringLiteral("/A"), QStringLiteral("/A/B"), QStringLiteral("/A/B/c.txt")}));
        // Folder dates are applied after their contents, innermost first.
        QCOMPARE(modificationMs(out.filePath(QStringLiteral("A/B"))), qint64(1200000000) * 1000 + 250);
        QCOMPARE(modificationMs(out.filePath(QStringLiteral("A"))), qint64(1100000000) * 1000 + 250);
    }

    // Every progress callback of a small container, value by value: the start and end of each
    // item, one report per 16 KiB piece (the last, 100-byte piece stays under the throttle), and
    // the totals over all items.
    void progressSequenceIsExact()
    {
        QTemporaryDir dir;
        const qint64 size = 5 * 16384 + 100;
        writeFile(dir.filePath(QStringLiteral("src/a")), sampleNoise(size));
        writeFile(dir.filePath(QStringLiteral("src/b")), {});
        VLEncryptedArchive archive;
        archive.setCompressFiles(false);
        // Sections are written as they are done; one worker makes them in turn.
        archive.setWorkerCount(1);
        RecordingDelegate saving;
        archive.setDelegate(&saving);
        archive.setPassword(QStringLiteral("pw"));
        archive.addItemFromRoot(dir.filePath(QStringLiteral("src/a")));
        archive.addItemFromRoot(dir.filePath(QStringLiteral("src/b")));
        const QString container = dir.filePath(QStringLiteral("p.vault"));
        archive.save(container);
        QCOMPARE(saving.lastError(), 0);

        using namespace VLEncryptedArchiveConstants;
        auto describe = [](const QList<QVariantMap> &list) {
            QStringList out;
            for (const QVariantMap &info : list) {
                const auto item = info.value(keyItem).value<VLEncryptedArchiveItemPtr>();
                out << QStringLiteral("%1 %2 %3")
                           .arg(item ? item->path() : QStringLiteral("-"),
                                info.contains(keyProgress) ? QString::number(info.value(keyProgress).toDouble(), 'f', 3)
                                                           : QStringLiteral("-"),
                                QString::number(info.value(keyTotalProgress).toDouble(), 'f', 3));
            }
            return out;
        };
        QStringList expected{QStringLiteral("/a 0.000 0.000")};
        for (qint64 done : {16384, 32768, 49152, 65536, 81920}) {
            const QString percent = QString::number(double(done) * 100.0 / double(size), 'f', 3);
            expected << QStringLiteral("/a %1 %1").arg(percent);
        }
        expected << QStringLiteral("/a 100.000 100.000") << QStringLiteral("/b 0.000 100.000")
                 << QStringLiteral("/b 100.000 100.000");
        QCOMPARE(describe(saving.progress), expected);

        VLEncryptedArchive reader;
        RecordingDelegate reading;
        openWith(reader, reading, container, QStringLiteral("pw"));
        QCOMPARE(reading.lastError(), 0);
        // Opening reports the share of the directory read before each record, then 100, never an item's progress.
        QCOMPARE(reading.progress.size(), 3);
        QCOMPARE(reading.progress.at(0).value(keyTotalProgress).toDouble(), 0.0);
        QVERIFY(reading.progress.at(1).value(keyTotalProgress).toDouble() > 0.0);
        QVERIFY(reading.progress.at(1).value(keyTotalProgress).toDouble() < 100.0);
        QCOMPARE(reading.progress.at(2).value(keyTotalProgress).toDouble(), 100.0);
        for (const QVariantMap &info : reading.progress) {
            QVERIFY(!info.contains(keyProgress));
            QVERIFY(!info.contains(keyItem));
            QCOMPARE(info.value(keyOperation).toString(), operationOpening);
        }
        reading.progress.clear();
        QTemporaryDir out;
        reader.extractAllItems(out.path());
        QCOMPARE(reading.lastError(), 0);
        expected = QStringList{QStringLiteral("- 0.000 0.000")};
        for (qint64 done : {16384, 32768, 49152, 65536, 81920}) {
            const QString percent = QString::number(double(done) * 100.0 / double(size), 'f', 3);
            expected << QStringLiteral("/a %1 %1").arg(percent);
        }
        expected << QStringLiteral("/a 100.000 100.000") << QStringLiteral("/b 100.000 100.000")
                 << QStringLiteral("- 100.000 100.000");
        QCOMPARE(describe(reading.progress), expected);
    }

    // Saving reports once per hundredth of a file, extraction once per two-hundredth.
    void progressThrottling()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath(QStringLiteral("src/big")), sampleNoise(4 << 20));
        VLEncryptedArchive archive;
        archive.setCompressFiles(false);
        RecordingDelegate saving;
        archive.setDelegate(&saving);
        archive.setPassword(QStringLiteral("pw"));
        archive.addItemFromRoot(dir.filePath(QStringLiteral("src/big")));
        archive.save(dir.filePath(QStringLiteral("t.vault")));
        QCOMPARE(saving.lastError(), 0);
        // 256 pieces of 16 KiB; 1% is 41943 bytes, reached every third piece: 85 reports, plus start and end.
        QCOMPARE(saving.progress.size(), 87);

        VLEncryptedArchive reader;
        RecordingDelegate reading;
        openWith(reader, reading, dir.filePath(QStringLiteral("t.vault")), QStringLiteral("pw"));
        reading.progress.clear();
        QTemporaryDir out;
        reader.extractAllItems(out.path());
        QCOMPARE(reading.lastError(), 0);
        // 0.5% is 20971 bytes, reached every second piece: 128 reports, plus the item's end and the two of the operation.
        QCOMPARE(reading.progress.size(), 131);
    }

    void emptyContainerOpensAndExtractsNothing()
    {
        QTemporaryDir dir;
        VLEncryptedArchive archive;
        RecordingDelegate delegate;
        archive.setDelegate(&delegate);
        archive.save(dir.filePath(QStringLiteral("empty.vault")));
        QCOMPARE(delegate.errors.size(), 0);
        VLEncryptedArchive reader;
        // Saved with no password: the empty password opens it, and asking for one is not needed.
        reader.setDelegate(&delegate);
        delegate.passwords = {QString()};
        reader.openArchive(dir.filePath(QStringLiteral("empty.vault")));
        QCOMPARE(delegate.lastError(), 0);
        QVERIFY(reader.fileRecords().isEmpty());
        reader.extractAllItems(dir.path());
        QCOMPARE(delegate.events.last(), QStringLiteral("finished EncryptedArchiveOperationExtraction"));
    }
};

QTEST_GUILESS_MAIN(TestArchiveRoundTrip)
#include "tst_archiveroundtrip.moc"
