#include "engine/files/KXAdditions.h"
#include "platform/core/Library.h"
#include "platform/dispatch/Dispatch.h"
#include "tests/support/ReadOnlyTree.h"
#include "tests/support/UnprivilegedScope.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>

#include <atomic>
#include <csignal>
#include <mutex>
#include <optional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

struct Report
{
    quint64 state = 0;
    bool hadCancel = false;
    QVariantMap information;
};

// Collects a transfer's reports; the transfer ends with a final report or, when cancelled, with
// the background queue running dry.
class TransferRecorder
{
public:
    KXAdditions::TransferHandler handler(std::function<bool(const Report &)> cancelWhen = {})
    {
        return [this, cancelWhen = std::move(cancelWhen)](quint64 state, bool *cancel, const QVariantMap &information) {
            Report report{state, cancel != nullptr, information};
            {
                const std::lock_guard lock(m_mutex);
                m_reports << report;
                m_threads << platform::isMainThread();
            }
            if (cancel && cancelWhen && cancelWhen(report))
                *cancel = true;
            if (state == KXAdditions::TransferFailed || state == KXAdditions::TransferFinished)
                m_final.signal();
        };
    }

    bool waitForFinal() { return m_final.waitFor(20s); }
    void waitForQueue() { QVERIFY(platform::globalQueue(platform::QueuePriority::Background).waitForDone(20000)); }

    QList<Report> reports() const
    {
        const std::lock_guard lock(m_mutex);
        return m_reports;
    }
    Report last() const { return reports().last(); }
    bool anyOnMain() const
    {
        const std::lock_guard lock(m_mutex);
        return m_threads.contains(true);
    }
    QList<quint64> states() const
    {
        QList<quint64> states;
        for (const Report &report : reports())
            states << report.state;
        return states;
    }

private:
    mutable std::mutex m_mutex;
    QList<Report> m_reports;
    QList<bool> m_threads;
    platform::Semaphore m_final;
};

void writeFile(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(content), content.size());
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// A small tree: files, an empty folder, a nested folder and a relative link.
void makeTree(const QString &root)
{
    writeFile(root + u"/a.txt"_qs, "alpha");
    writeFile(root + u"/sub/b.bin"_qs, QByteArray(70000, 'b'));
    writeFile(root + u"/sub/deeper/c.txt"_qs, "gamma");
    QDir().mkpath(root + u"/empty"_qs);
    QVERIFY(QFile::link(u"a.txt"_qs, root + u"/link"_qs));
}

QByteArray readLink(const QString &path)
{
    char buffer[4096];
    const ssize_t n = ::readlink(QFile::encodeName(path).constData(), buffer, sizeof buffer);
    return n < 0 ? QByteArray() : QByteArray(buffer, int(n));
}

// Relative path -> "F", "L:<target>" or the file's content.
QMap<QString, QByteArray> describe(const QString &root)
{
    QMap<QString, QByteArray> tree;
    const QFileInfo top(root);
    if (top.isSymLink()) {
        tree.insert(u"."_qs, "L:" + readLink(root));
        return tree;
    }
    if (top.isFile()) {
        tree.insert(u"."_qs, readFile(root));
        return tree;
    }
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info(path);
        const QString relative = path.mid(root.size() + 1);
        if (info.isSymLink())
            tree.insert(relative, "L:" + readLink(path));
        else if (info.isDir())
            tree.insert(relative, "F");
        else
            tree.insert(relative, readFile(path));
    }
    return tree;
}

mode_t modeOf(const QString &path)
{
    struct stat status
    {
    };
    ::lstat(QFile::encodeName(path).constData(), &status);
    return status.st_mode & 07777;
}

} // namespace

class TestKXAdditions : public QObject
{
    Q_OBJECT

private slots:
    void rootPaths_data()
    {
        QTest::addColumn<QStringList>("paths");
        QTest::addColumn<QString>("root");
        QTest::newRow("siblings") << QStringList{u"/A/B/x.txt"_qs, u"/A/C/y.txt"_qs} << u"/A"_qs;
        QTest::newRow("one") << QStringList{u"/A/B/x.txt"_qs} << u"/A/B"_qs;
        QTest::newRow("shared prefix is not a folder") << QStringList{u"/A/b/c.txt"_qs, u"/A/bc/d.txt"_qs} << u"/A"_qs;
        QTest::newRow("nothing shared") << QStringList{u"/x/1"_qs, u"/y/2"_qs} << u"/"_qs;
        QTest::newRow("never deeper than the first's parent") << QStringList{u"/A/B"_qs, u"/A/B/c"_qs} << u"/A"_qs;
        QTest::newRow("same folder") << QStringList{u"/A/B/x"_qs, u"/A/B/y"_qs, u"/A/B/z"_qs} << u"/A/B"_qs;
        QTest::newRow("top level") << QStringList{u"/x"_qs} << u"/"_qs;
        QTest::newRow("trailing slash") << QStringList{u"/A/B/"_qs, u"/A/C"_qs} << u"/A"_qs;
        QTest::newRow("none") << QStringList{} << QString();
    }

    void rootPaths()
    {
        QFETCH(QStringList, paths);
        QFETCH(QString, root);
        QList<QUrl> urls;
        for (const QString &path : paths)
            urls << QUrl::fromLocalFile(path);
        const QString result = KXAdditions::com_nimbrel_vaultine_rootPathForURLs(urls);
        QCOMPARE(result, root);
        QVERIFY(!result.isNull()); // "" rather than nothing
    }

    void freeNames_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<quint64>("n");
        QTest::addColumn<QString>("candidate");
        QTest::newRow("file") << u"/d/report.vault"_qs << quint64(2) << u"/d/report 2.vault"_qs;
        QTest::newRow("third") << u"/d/report.vault"_qs << quint64(3) << u"/d/report 3.vault"_qs;
        QTest::newRow("folder") << u"/d/Photos"_qs << quint64(2) << u"/d/Photos 2"_qs;
        QTest::newRow("two dots") << u"/d/a.tar.gz"_qs << quint64(2) << u"/d/a.tar 2.gz"_qs;
        QTest::newRow("hidden") << u"/d/.profile"_qs << quint64(2) << u"/d/.profile 2"_qs;
        QTest::newRow("dotted folder") << u"/d.x/Photos"_qs << quint64(2) << u"/d.x/Photos 2"_qs;
    }

    void freeNames()
    {
        QFETCH(QString, path);
        QFETCH(quint64, n);
        QFETCH(QString, candidate);
        QCOMPARE(KXAdditions::freeNameCandidate(path, n), candidate);
    }

    void walk()
    {
        QTemporaryDir dir;
        const QString root = dir.path() + u"/tree"_qs;
        makeTree(root);
        QStringList seen;
        QList<bool> roots;
        QMap<QString, qint64> sizes;
        QVERIFY(KXAdditions::com_nimbrel_vaultine_FTSWalkAtPathHandler(
            root, [&](const QString &path, bool isRoot, qint64 size, bool &) {
                seen << path.mid(root.size());
                roots << isRoot;
                sizes.insert(path.mid(root.size()), size);
            }));
        QCOMPARE(seen.first(), QString());
        QCOMPARE(roots.count(true), 1);
        QVERIFY(roots.first());
        QStringList sorted = seen;
        sorted.sort();
        QCOMPARE(sorted, QStringList({u""_qs, u"/a.txt"_qs, u"/empty"_qs, u"/link"_qs, u"/sub"_qs, u"/sub/b.bin"_qs,
                                      u"/sub/deeper"_qs, u"/sub/deeper/c.txt"_qs}));
        // Pre-order: a folder comes before its content.
        QVERIFY(seen.indexOf(u"/sub"_qs) < seen.indexOf(u"/sub/b.bin"_qs));
        QCOMPARE(sizes.value(u"/sub/b.bin"_qs), qint64(70000));
        QCOMPARE(sizes.value(u"/link"_qs), qint64(5)); // the link's own size, not followed

        int calls = 0;
        QVERIFY(KXAdditions::com_nimbrel_vaultine_FTSWalkAtPathHandler(root,
                                                                       [&](const QString &, bool, qint64, bool &stop) {
                                                                           ++calls;
                                                                           stop = true;
                                                                       }));
        QCOMPARE(calls, 1);
        QVERIFY(KXAdditions::com_nimbrel_vaultine_FTSWalkAtPathHandler(root, {}));
        QVERIFY(!KXAdditions::com_nimbrel_vaultine_FTSWalkAtPathHandler(QString(), {}));
        QVERIFY(!KXAdditions::com_nimbrel_vaultine_FTSWalkAtPathHandler(dir.path() + u"/missing"_qs, {}));

        // A single file is a walk of one entry.
        seen.clear();
        QVERIFY(KXAdditions::com_nimbrel_vaultine_FTSWalkAtPathHandler(
            root + u"/a.txt"_qs, [&](const QString &path, bool, qint64, bool &) { seen << path; }));
        QCOMPARE(seen, QStringList{root + u"/a.txt"_qs});
    }

    void readability()
    {
        QTemporaryDir dir;
        const QString root = dir.path() + u"/tree"_qs;
        makeTree(root);
        QVERIFY(QFile::link(u"/nonexistent/target"_qs, root + u"/dangling"_qs));
        QString failed = u"unchanged"_qs;
        QVERIFY(KXAdditions::vl_checkSourceReadabilityFailedFile(QUrl::fromLocalFile(root), &failed));
        QCOMPARE(failed, QString());
        QVERIFY(
            !KXAdditions::vl_checkSourceReadabilityFailedFile(QUrl::fromLocalFile(dir.path() + u"/gone"_qs), &failed));
        QCOMPARE(failed, dir.path() + u"/gone"_qs);

        QVERIFY(::chmod(QFile::encodeName(root + u"/sub/b.bin"_qs).constData(), 0) == 0);
        UnprivilegedScope unprivileged({dir.path()});
        if (!unprivileged.isEffective())
            QSKIP("cannot step down from the superuser");
        QVERIFY(!KXAdditions::vl_checkSourceReadabilityFailedFile(QUrl::fromLocalFile(root), &failed));
        QCOMPARE(failed, root + u"/sub/b.bin"_qs);
        QVERIFY(!KXAdditions::vl_checkSourceReadabilityFailedFile(QUrl::fromLocalFile(root), nullptr));
    }

    void unreadableFolders()
    {
        QTemporaryDir dir;
        const QString root = dir.path() + u"/tree"_qs;
        writeFile(root + u"/locked/inside.txt"_qs, "hidden");
        writeFile(root + u"/open.txt"_qs, "open");
        QVERIFY(::chmod(QFile::encodeName(root + u"/locked"_qs).constData(), 0) == 0);
        const auto unlock = qScopeGuard([&] { ::chmod(QFile::encodeName(root + u"/locked"_qs).constData(), 0755); });
        QDir().mkpath(dir.path() + u"/out"_qs);
        UnprivilegedScope unprivileged({dir.path()});
        if (!unprivileged.isEffective())
            QSKIP("cannot step down from the superuser");

        // The walk gives the folder once, as any entry, and is not ended by it.
        QStringList seen;
        QVERIFY(KXAdditions::com_nimbrel_vaultine_FTSWalkAtPathHandler(
            root, [&](const QString &path, bool, qint64, bool &) { seen << path.mid(root.size()); }));
        seen.sort();
        QCOMPARE(seen, QStringList({u""_qs, u"/locked"_qs, u"/open.txt"_qs}));

        // A transfer cannot carry it over, so it fails and leaves nothing behind.
        for (const quint64 type : {quint64(1), quint64(2), quint64(4)}) {
            TransferRecorder recorder;
            KXAdditions::vl_transferItemFromURLToURLModeTypeHandler(QUrl::fromLocalFile(root),
                                                                    QUrl::fromLocalFile(dir.path() + u"/out/tree"_qs),
                                                                    0, type, recorder.handler());
            QVERIFY(recorder.waitForFinal());
            QCOMPARE(recorder.states(), QList<quint64>{KXAdditions::TransferFailed});
            const VLError error = recorder.last().information.value(KXAdditions::errorKey).value<VLError>();
            QCOMPARE(error.domain(), VLError::posixDomain);
            QCOMPARE(error.code(), qint64(EACCES));
            QVERIFY(!QFileInfo::exists(dir.path() + u"/out/tree"_qs));
            QCOMPARE(readFile(root + u"/open.txt"_qs), QByteArray("open"));
        }
    }

    void libraryPathsAndWorkFolders()
    {
        const QUrl library = KXAdditions::com_nimbrel_vaultine_userLibraryURL();
        QCOMPARE(library.toLocalFile(), platform::libraryPath());
        QCOMPARE(KXAdditions::vl_tempDirectory().toLocalFile(), platform::libraryPath() + u"/Temp/"_qs);

        const QString first = KXAdditions::com_nimbrel_vaultine_createUniqueDirectoryAtTempPath();
        const QString second = KXAdditions::com_nimbrel_vaultine_createUniqueDirectoryAtTempPath();
        QVERIFY(!first.isEmpty());
        QVERIFY(first != second);
        QCOMPARE(QFileInfo(first).path(), platform::libraryPath() + u"/Temp"_qs);
        const QRegularExpression uuid(u"\\A[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\z"_qs);
        QVERIFY(uuid.match(QFileInfo(first).fileName()).hasMatch());
        QCOMPARE(modeOf(first), mode_t(0700));
        QCOMPARE(modeOf(QFileInfo(first).path()), mode_t(0700));
        QVERIFY(QDir(first).isEmpty());
        QDir(first).removeRecursively();
        QDir(second).removeRecursively();

        const QString home = KXAdditions::com_nimbrel_vaultine_homeDir();
        QVERIFY(!home.isEmpty());
        QVERIFY(QFileInfo(home).isAbsolute());
        QCOMPARE(KXAdditions::com_nimbrel_vaultine_homeDir(), home);
    }

    void fileCopy()
    {
        QTemporaryDir dir;
        const QString source = dir.path() + u"/source.bin"_qs;
        QByteArray content(3 * 1024 * 1024 + 17, '\0');
        for (qsizetype i = 0; i < content.size(); ++i)
            content[i] = char(i * 31 % 251);
        writeFile(source, content);
        QVERIFY(::chmod(QFile::encodeName(source).constData(), 0640) == 0);

        QList<qint64> chunks;
        VLError error;
        const QString copy = dir.path() + u"/copy.bin"_qs;
        QVERIFY(KXAdditions::vl_atomicFileCopyAtPathToPathErrorProgressHandler(
            source, copy, &error, [&](qint64 written, bool &) { chunks << written; }));
        QCOMPARE(readFile(copy), content);
        QCOMPARE(chunks, QList<qint64>({1048576, 1048576, 1048576, 17}));
        QCOMPARE(modeOf(copy), mode_t(0640)); // metadata carried along

        // Over a longer file nothing of the old tail stays.
        const QString longer = dir.path() + u"/longer.bin"_qs;
        writeFile(longer, QByteArray(5 * 1024 * 1024, 'x'));
        writeFile(dir.path() + u"/short"_qs, "short");
        QVERIFY(KXAdditions::vl_atomicFileCopyAtPathToPathErrorProgressHandler(dir.path() + u"/short"_qs, longer,
                                                                               &error, {}));
        QCOMPARE(readFile(longer), QByteArray("short"));

        // Stopping still counts as success, with what was written so far.
        const QString stopped = dir.path() + u"/stopped.bin"_qs;
        QVERIFY(KXAdditions::vl_atomicFileCopyAtPathToPathErrorProgressHandler(
            source, stopped, &error, [](qint64, bool &stop) { stop = true; }));
        QCOMPARE(QFileInfo(stopped).size(), qint64(1048576));

        QVERIFY(!KXAdditions::vl_atomicFileCopyAtPathToPathErrorProgressHandler(dir.path() + u"/missing"_qs, copy,
                                                                                &error, {}));
        QCOMPARE(error.domain(), VLError::posixDomain);
        QCOMPARE(error.code(), qint64(ENOENT));
    }

    void fileCopyOntoAFullDevice()
    {
        if (!QFileInfo::exists(u"/dev/full"_qs))
            QSKIP("no /dev/full");
        QTemporaryDir dir;
        writeFile(dir.path() + u"/source"_qs, QByteArray(4096, 's'));
        VLError error;
        QVERIFY(!KXAdditions::vl_atomicFileCopyAtPathToPathErrorProgressHandler(dir.path() + u"/source"_qs,
                                                                                u"/dev/full"_qs, &error, {}));
        QCOMPARE(error.domain(), VLError::posixDomain);
        QCOMPARE(error.code(), qint64(ENOSPC));
    }

    void transferTypes_data()
    {
        QTest::addColumn<quint64>("type");
        QTest::addColumn<bool>("folder");
        QTest::addColumn<bool>("keepsSource");
        for (const bool folder : {false, true}) {
            const char *kind = folder ? "folder" : "file";
            QTest::addRow("move, %s", kind) << quint64(0) << folder << false;
            QTest::addRow("copy, %s", kind) << quint64(1) << folder << true;
            QTest::addRow("move entries, %s", kind) << quint64(2) << folder << false;
            QTest::addRow("move across volumes, %s", kind) << quint64(3) << folder << false;
            QTest::addRow("copy with progress, %s", kind) << quint64(4) << folder << true;
        }
    }

    void transferTypes()
    {
        QFETCH(quint64, type);
        QFETCH(bool, folder);
        QFETCH(bool, keepsSource);
        QTemporaryDir dir;
        const QString source = dir.path() + (folder ? u"/Photos"_qs : u"/report.vault"_qs);
        if (folder)
            makeTree(source);
        else
            writeFile(source, "container bytes");
        QVERIFY(::chmod(QFile::encodeName(source).constData(), folder ? 0750 : 0604) == 0);
        const auto expected = describe(source);
        QDir().mkpath(dir.path() + u"/out"_qs);
        const QString destination = dir.path() + u"/out/"_qs + QFileInfo(source).fileName();

        TransferRecorder recorder;
        KXAdditions::vl_transferItemFromURLToURLModeTypeHandler(
            QUrl::fromLocalFile(source), QUrl::fromLocalFile(destination), 0, type, recorder.handler());
        QVERIFY(recorder.waitForFinal());
        // One final report; a slow machine may add the progress reports of a longer transfer before it.
        const QList<quint64> states = recorder.states();
        QCOMPARE(states.count(KXAdditions::TransferFinished), 1);
        QCOMPARE(states.last(), quint64(KXAdditions::TransferFinished));
        for (qsizetype i = 0; i + 1 < states.size(); ++i)
            QVERIFY(states[i] == KXAdditions::TransferStarted || states[i] == KXAdditions::TransferProgress);
        QCOMPARE(recorder.last().information.value(KXAdditions::destinationURLKey).toUrl(),
                 QUrl::fromLocalFile(destination));
        QVERIFY(!recorder.anyOnMain());
        QCOMPARE(describe(destination), expected);
        QCOMPARE(modeOf(destination), mode_t(folder ? 0750 : 0604));
        QCOMPARE(QFileInfo::exists(source), keepsSource);
        if (keepsSource)
            QCOMPARE(describe(source), expected);
        if (folder)
            QVERIFY(QFileInfo(destination + u"/link"_qs).isSymLink());
    }

    void freeNameMode_data()
    {
        QTest::addColumn<quint64>("type");
        for (quint64 type = 0; type <= 4; ++type)
            QTest::addRow("type %llu", type) << type;
    }

    void freeNameMode()
    {
        QFETCH(quint64, type);
        QTemporaryDir dir;
        const QString source = dir.path() + u"/in/report.vault"_qs;
        writeFile(source, "new");
        writeFile(dir.path() + u"/out/report.vault"_qs, "first");
        writeFile(dir.path() + u"/out/report 2.vault"_qs, "second");
        TransferRecorder recorder;
        KXAdditions::vl_transferItemFromURLToURLModeTypeHandler(
            QUrl::fromLocalFile(source), QUrl::fromLocalFile(dir.path() + u"/out/report.vault"_qs),
            KXAdditions::TransferFreeName, type, recorder.handler());
        QVERIFY(recorder.waitForFinal());
        QCOMPARE(recorder.last().state, quint64(KXAdditions::TransferFinished));
        QCOMPARE(recorder.last().information.value(KXAdditions::destinationURLKey).toUrl(),
                 QUrl::fromLocalFile(dir.path() + u"/out/report 3.vault"_qs));
        QCOMPARE(readFile(dir.path() + u"/out/report 3.vault"_qs), QByteArray("new"));
        QCOMPARE(readFile(dir.path() + u"/out/report.vault"_qs), QByteArray("first"));
        QCOMPARE(readFile(dir.path() + u"/out/report 2.vault"_qs), QByteArray("second"));
    }

    void freeNamesAreTakenWithoutARace()
    {
        // Many transfers to one name at once: each gets its own name, none is written over.
        QTemporaryDir dir;
        constexpr int count = 12;
        QList<std::shared_ptr<TransferRecorder>> recorders;
        for (int i = 0; i < count; ++i) {
            writeFile(dir.path() + u"/in/"_qs + QString::number(i), QByteArray::number(i));
            recorders << std::make_shared<TransferRecorder>();
        }
        QDir().mkpath(dir.path() + u"/out"_qs);
        platform::DispatchGroup group;
        for (int i = 0; i < count; ++i) {
            group.async(platform::QueuePriority::Default, [&, i] {
                KXAdditions::vl_transferItemFromURLToURLModeTypeHandler(
                    QUrl::fromLocalFile(dir.path() + u"/in/"_qs + QString::number(i)),
                    QUrl::fromLocalFile(dir.path() + u"/out/item.txt"_qs), KXAdditions::TransferFreeName,
                    i % 2 ? KXAdditions::TransferCopy : KXAdditions::TransferMove, recorders[i]->handler());
            });
        }
        group.wait();
        QSet<QString> names;
        QSet<QByteArray> contents;
        for (int i = 0; i < count; ++i) {
            QVERIFY(recorders[i]->waitForFinal());
            QCOMPARE(recorders[i]->last().state, quint64(KXAdditions::TransferFinished));
            const QString path =
                recorders[i]->last().information.value(KXAdditions::destinationURLKey).toUrl().toLocalFile();
            names << path;
            QCOMPARE(readFile(path), QByteArray::number(i));
            contents << readFile(path);
        }
        QCOMPARE(names.size(), count);
        QCOMPARE(QDir(dir.path() + u"/out"_qs).entryList(QDir::Files).size(), count);
    }

    void replaceAndRefuse()
    {
        QTemporaryDir dir;
        writeFile(dir.path() + u"/in/a.txt"_qs, "new");
        writeFile(dir.path() + u"/out/a.txt"_qs, "old");
        const QUrl source = QUrl::fromLocalFile(dir.path() + u"/in/a.txt"_qs);
        const QUrl destination = QUrl::fromLocalFile(dir.path() + u"/out/a.txt"_qs);

        // Neither replace nor free name: an existing destination fails and stays as it was.
        for (const quint64 type : {quint64(0), quint64(1), quint64(4)}) {
            TransferRecorder refused;
            KXAdditions::vl_transferItemFromURLToURLModeTypeHandler(source, destination, 0, type, refused.handler());
            QVERIFY(refused.waitForFinal());
            QCOMPARE(refused.last().state, quint64(KXAdditions::TransferFailed));
            QCOMPARE(refused.last().information.value(KXAdditions::errorKey).value<VLError>().code(), qint64(EEXIST));
            QCOMPARE(readFile(destination.toLocalFile()), QByteArray("old"));
            QVERIFY(QFileInfo::exists(source.toLocalFile()));
        }

        // Replace a folder by a file.
        writeFile(dir.path() + u"/out/folder/inner"_qs, "inner");
        TransferRecorder replaced;
        KXAdditions::vl_transferItemFromURLToURLModeTypeHandler(
            source, QUrl::fromLocalFile(dir.path() + u"/out/folder"_qs), KXAdditions::TransferReplace,
            KXAdditions::TransferCopyWithProgress, replaced.handler());
        QVERIFY(replaced.waitForFinal());
        QCOMPARE(replaced.last().state, quint64(KXAdditions::TransferFinished));
        QCOMPARE(readFile(dir.path() + u"/out/folder"_qs), QByteArray("new"));

        TransferRecorder moved;
        KXAdditions::vl_transferItemFromURLToURLModeTypeHandler(source, destination, KXAdditions::TransferReplace,
                                                                KXAdditions::TransferMove, moved.handler());
        QVERIFY(moved.waitForFinal());
        QCOMPARE(moved.last().state, quint64(KXAdditions::TransferFinished));
        QCOMPARE(readFile(destination.toLocalFile()), QByteArray("new"));
        QVERIFY(!QFileInfo::exists(source.toLocalFile()));

        // Unknown types only report the end.
        TransferRecorder unknown;
        KXAdditions::vl_transferItemFromURLToURLModeTypeHandler(destination, QUrl::fromLocalFile(dir.path() + u"/x"_qs),
                                                                KXAdditions::TransferReplace, 9, unknown.handler());
        QCOMPARE(unknown.states(), QList<quint64>{KXAdditions::TransferFinished});
        QVERIFY(QFileInfo::exists(destination.toLocalFile()));
        QVERIFY(!QFileInfo::exists(dir.path() + u"/x"_qs));
    }

    void replaceThatFailsOrIsCancelledKeepsTheOldItem_data()
    {
        QTest::addColumn<quint64>("type");
        QTest::addColumn<bool>("cancel");
        QTest::newRow("copy with progress, cancelled") << quint64(4) << true;
        QTest::newRow("move across volumes, cancelled") << quint64(3) << true;
        QTest::newRow("copy with progress, full target") << quint64(4) << false;
        QTest::newRow("plain copy, full target") << quint64(1) << false;
    }

    void replaceThatFailsOrIsCancelledKeepsTheOldItem()
    {
        QFETCH(quint64, type);
        QFETCH(bool, cancel);
        QTemporaryDir dir;
        const QString source = dir.path() + u"/in/big.bin"_qs;
        writeFile(source, QByteArray(8 * 1024 * 1024, 'n'));
        writeFile(dir.path() + u"/out/big.bin"_qs, "old");
        writeFile(dir.path() + u"/out/tree/inner.txt"_qs, "old tree");

        // Slow enough that progress reports (after their 0.25 s delay) arrive mid-copy.
        KXAdditions::setCopyChunkHook([](const QString &, quint64) { std::this_thread::sleep_for(60ms); });
        const auto clearHook = qScopeGuard([] { KXAdditions::setCopyChunkHook({}); });
        rlimit previous{};
        QVERIFY(::getrlimit(RLIMIT_FSIZE, &previous) == 0);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        if (!cancel) {
            rlimit limited = previous;
            limited.rlim_cur = 1024 * 1024;
            QVERIFY(::setrlimit(RLIMIT_FSIZE, &limited) == 0);
        }
        const auto restoreLimit = qScopeGuard([&] {
            ::setrlimit(RLIMIT_FSIZE, &previous);
            std::signal(SIGXFSZ, oldHandler);
        });

        for (const QString &name : {u"big.bin"_qs, u"tree"_qs}) {
            const auto before = describe(dir.path() + u"/out"_qs);
            TransferRecorder recorder;
            KXAdditions::vl_transferItemFromURLToURLModeTypeHandler(
                QUrl::fromLocalFile(source), QUrl::fromLocalFile(dir.path() + u"/out/"_qs + name),
                KXAdditions::TransferReplace, type, recorder.handler([cancel](const Report &) { return cancel; }));
            recorder.waitForQueue();
            const QList<quint64> states = recorder.states();
            QVERIFY(!states.contains(KXAdditions::TransferFinished));
            QCOMPARE(states.contains(KXAdditions::TransferFailed), !cancel);
            if (cancel)
                QVERIFY(states.contains(KXAdditions::TransferProgress));
            // The old item is back under its name, and nothing else is left in the folder.
            QCOMPARE(describe(dir.path() + u"/out"_qs), before);
            QCOMPARE(QDir(dir.path() + u"/out"_qs).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                     QStringList({u"big.bin"_qs, u"tree"_qs}));
            QCOMPARE(QFileInfo(source).size(), qint64(8 * 1024 * 1024));
        }
    }

    void replaceRemovesTheOldItemOnlyWhenDone()
    {
        QTemporaryDir dir;
        writeFile(dir.path() + u"/in/a.txt"_qs, "new");
        writeFile(dir.path() + u"/out/a/inner.txt"_qs, "old");
        TransferRecorder recorder;
        KXAdditions::vl_transferItemFromURLToURLModeTypeHandler(
            QUrl::fromLocalFile(dir.path() + u"/in/a.txt"_qs), QUrl::fromLocalFile(dir.path() + u"/out/a"_qs),
            KXAdditions::TransferReplace, KXAdditions::TransferMoveAcrossVolumes, recorder.handler());
        QVERIFY(recorder.waitForFinal());
        QCOMPARE(recorder.last().state, quint64(KXAdditions::TransferFinished));
        QCOMPARE(recorder.last().information.value(KXAdditions::destinationURLKey).toUrl(),
                 QUrl::fromLocalFile(dir.path() + u"/out/a"_qs));
        QCOMPARE(readFile(dir.path() + u"/out/a"_qs), QByteArray("new"));
        QCOMPARE(QDir(dir.path() + u"/out"_qs).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{u"a"_qs});
        QVERIFY(!QFileInfo::exists(dir.path() + u"/in/a.txt"_qs));

        // A name as long as the file system allows can still be replaced.
        const QString longName = QString(251, u'l') + u".txt"_qs;
        writeFile(dir.path() + u"/in/"_qs + longName, "new");
        writeFile(dir.path() + u"/out/"_qs + longName, "old");
        TransferRecorder longRecorder;
        KXAdditions::vl_transferItemFromURLToURLModeTypeHandler(
            QUrl::fromLocalFile(dir.path() + u"/in/"_qs + longName),
            QUrl::fromLocalFile(dir.path() + u"/out/"_qs + longName), KXAdditions::TransferReplace,
            KXAdditions::TransferCopy, longRecorder.handler());
        QVERIFY(longRecorder.waitForFinal());
        QCOMPARE(longRecorder.last().state, quint64(KXAdditions::TransferFinished));
        QCOMPARE(readFile(dir.path() + u"/out/"_qs + longName), QByteArray("new"));
    }

    // A restored tree keeps its read-only folders; replacing it removes it whole, and nothing of
    // it stays behind under a hidden name.
    void replaceRemovesAReadOnlyTreeWhole_data()
    {
        QTest::addColumn<quint64>("type");
        QTest::addColumn<bool>("unprivileged");
        for (const bool unprivileged : {false, true}) {
            const char *who = unprivileged ? "as a user" : "as it runs";
            QTest::addRow("move, %s", who) << quint64(KXAdditions::TransferMove) << unprivileged;
            QTest::addRow("copy, %s", who) << quint64(KXAdditions::TransferCopy) << unprivileged;
            QTest::addRow("copy with progress, %s", who)
                << quint64(KXAdditions::TransferCopyWithProgress) << unprivileged;
        }
    }

    void replaceRemovesAReadOnlyTreeWhole()
    {
        QFETCH(quint64, type);
        QFETCH(bool, unprivileged);
        QTemporaryDir dir;
        writeFile(dir.path() + u"/in/Photos/new.txt"_qs, "new");
        const QString old = dir.path() + u"/out/Photos"_qs;
        writeFile(old + u"/sub/deeper/old.txt"_qs, "old");
        writeFile(old + u"/top.txt"_qs, "old");
        for (const QString &folder : QStringList{old + u"/sub/deeper"_qs, old + u"/sub"_qs, old})
            QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0555) == 0);
        QVERIFY(::chmod(QFile::encodeName(old + u"/top.txt"_qs).constData(), 0444) == 0);
        std::optional<UnprivilegedScope> scope;
        if (unprivileged) {
            scope.emplace(QStringList{dir.path()});
            if (!scope->isEffective())
                QSKIP("cannot step down from the superuser");
        }
        TransferRecorder recorder;
        KXAdditions::vl_transferItemFromURLToURLModeTypeHandler(QUrl::fromLocalFile(dir.path() + u"/in/Photos"_qs),
                                                                QUrl::fromLocalFile(old), KXAdditions::TransferReplace,
                                                                type, recorder.handler());
        QVERIFY(recorder.waitForFinal());
        recorder.waitForQueue();
        QCOMPARE(recorder.last().state, quint64(KXAdditions::TransferFinished));
        QCOMPARE(readFile(old + u"/new.txt"_qs), QByteArray("new"));
        QCOMPARE(QDir(old).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{u"new.txt"_qs});
        QCOMPARE(QDir(dir.path() + u"/out"_qs).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{u"Photos"_qs});
    }

    // A folder of another owner inside the old tree cannot be opened up: what is left of the old
    // item stays in sight beside the new one, never under the hidden name.
    void replaceLeavesNothingHidden()
    {
        if (::geteuid() != 0)
            QSKIP("needs the superuser to leave a folder of another owner in the old item");
        QTemporaryDir dir;
        writeFile(dir.path() + u"/in/Photos/new.txt"_qs, "new");
        const QString old = dir.path() + u"/out/Photos"_qs;
        writeFile(old + u"/theirs/old.txt"_qs, "old");
        QVERIFY(::chmod(QFile::encodeName(old + u"/theirs"_qs).constData(), 0555) == 0);
        UnprivilegedScope unprivileged({dir.path()}, {old + u"/theirs"_qs});
        if (!unprivileged.isEffective())
            QSKIP("cannot step down from the superuser");
        TransferRecorder recorder;
        KXAdditions::vl_transferItemFromURLToURLModeTypeHandler(QUrl::fromLocalFile(dir.path() + u"/in/Photos"_qs),
                                                                QUrl::fromLocalFile(old), KXAdditions::TransferReplace,
                                                                KXAdditions::TransferMove, recorder.handler());
        QVERIFY(recorder.waitForFinal());
        recorder.waitForQueue();
        QCOMPARE(recorder.last().state, quint64(KXAdditions::TransferFinished));
        QCOMPARE(readFile(old + u"/new.txt"_qs), QByteArray("new"));
        QCOMPARE(QDir(dir.path() + u"/out"_qs).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList({u"Photos"_qs, u"Photos 2"_qs}));
        QCOMPARE(readFile(dir.path() + u"/out/Photos 2/theirs/old.txt"_qs), QByteArray("old"));
    }

    void replaceThatCannotRemove()
    {
        QTemporaryDir dir;
        writeFile(dir.path() + u"/in/a.txt"_qs, "new");
        writeFile(dir.path() + u"/locked/a.txt"_qs, "old");
        QVERIFY(::chmod(QFile::encodeName(dir.path() + u"/locked"_qs).constData(), 0555) == 0);
        UnprivilegedScope unprivileged({dir.path()});
        if (!unprivileged.isEffective())
            QSKIP("cannot step down from the superuser");
        TransferRecorder recorder;
        KXAdditions::vl_transferItemFromURLToURLModeTypeHandler(
            QUrl::fromLocalFile(dir.path() + u"/in/a.txt"_qs), QUrl::fromLocalFile(dir.path() + u"/locked/a.txt"_qs),
            KXAdditions::TransferReplace, KXAdditions::TransferCopy, recorder.handler());
        QCOMPARE(recorder.states(), QList<quint64>{KXAdditions::TransferFailed}); // on the calling thread
        const VLError error = recorder.last().information.value(KXAdditions::errorKey).value<VLError>();
        QCOMPARE(error.domain(), VLError::posixDomain);
        QCOMPARE(error.code(), qint64(EACCES));
        QCOMPARE(readFile(dir.path() + u"/locked/a.txt"_qs), QByteArray("old"));
    }

    void progressReports_data()
    {
        QTest::addColumn<quint64>("type");
        QTest::newRow("move entries") << quint64(2);
        QTest::newRow("move across volumes") << quint64(3);
        QTest::newRow("copy") << quint64(4);
    }

    void progressReports()
    {
        QFETCH(quint64, type);
        QTemporaryDir dir;
        const QString source = dir.path() + u"/tree"_qs;
        makeTree(source);
        writeFile(source + u"/big.bin"_qs, QByteArray(2 * 1024 * 1024 + 5, 'z'));
        const auto expected = describe(source);
        const QString destination = dir.path() + u"/copy"_qs;
        TransferRecorder recorder;
        KXAdditions::vl_ftsTransferItemFromURLToURLTransferTypeHandlerLatenessHandler(
            QUrl::fromLocalFile(source), QUrl::fromLocalFile(destination), type, 0.0, recorder.handler());
        QVERIFY(recorder.waitForFinal());
        const QList<Report> reports = recorder.reports();
        QCOMPARE(reports.first().state, quint64(KXAdditions::TransferStarted));
        QCOMPARE(reports.first().information.value(KXAdditions::destinationURLKey).toUrl(),
                 QUrl::fromLocalFile(destination));
        QCOMPARE(reports.last().state, quint64(KXAdditions::TransferFinished));
        quint64 previous = 0;
        int progress = 0;
        for (const Report &report : reports) {
            QCOMPARE(report.hadCancel, report.state == KXAdditions::TransferProgress);
            if (report.state != KXAdditions::TransferProgress)
                continue;
            ++progress;
            const quint64 bytes = report.information.value(KXAdditions::bytesMovedKey).toULongLong();
            QVERIFY(bytes >= previous);
            previous = bytes;
        }
        QVERIFY(progress >= 3);
        // The whole content counted: 5 + 70000 + 5 + the big file (links are not counted by copies).
        const quint64 content = 5 + 70000 + 5 + 2 * 1024 * 1024 + 5;
        QVERIFY2(previous == content || previous == content + 5, qPrintable(QString::number(previous)));
        QCOMPARE(describe(destination), expected);
        QCOMPARE(QFileInfo::exists(source), type == 4);
    }

    void cancelledTransfers_data()
    {
        QTest::addColumn<quint64>("type");
        QTest::newRow("move entries") << quint64(2);
        QTest::newRow("move across volumes") << quint64(3);
        QTest::newRow("copy") << quint64(4);
    }

    void cancelledTransfers()
    {
        QFETCH(quint64, type);
        QTemporaryDir dir;
        const QString source = dir.path() + u"/tree"_qs;
        makeTree(source);
        writeFile(source + u"/sub/big.bin"_qs, QByteArray(3 * 1024 * 1024, 'q'));
        const auto expected = describe(source);
        const QString destination = dir.path() + u"/copy"_qs;
        TransferRecorder recorder;
        int progressSeen = 0;
        KXAdditions::vl_ftsTransferItemFromURLToURLTransferTypeHandlerLatenessHandler(
            QUrl::fromLocalFile(source), QUrl::fromLocalFile(destination), type, 0.0,
            recorder.handler([&](const Report &) { return ++progressSeen == 2; }));
        recorder.waitForQueue();
        const QList<quint64> states = recorder.states();
        QVERIFY(!states.contains(KXAdditions::TransferFinished));
        QVERIFY(!states.contains(KXAdditions::TransferFailed));
        QCOMPARE(progressSeen, 2);
        QVERIFY(!QFileInfo::exists(destination));
        QCOMPARE(describe(source), expected); // a cancelled move puts everything back
    }

    void cancelledTransferLeavesWhatWasThere()
    {
        // The transfer removes only what it made: a replaced name that it reserved, never a
        // neighbour with the name it would have taken.
        QTemporaryDir dir;
        writeFile(dir.path() + u"/big.bin"_qs, QByteArray(3 * 1024 * 1024, 'q'));
        writeFile(dir.path() + u"/out/big.bin"_qs, "keep me");
        TransferRecorder recorder;
        KXAdditions::vl_ftsTransferItemFromURLToURLTransferTypeHandlerLatenessHandler(
            QUrl::fromLocalFile(dir.path() + u"/big.bin"_qs), QUrl::fromLocalFile(dir.path() + u"/out/big.bin"_qs), 4,
            0.0, recorder.handler());
        QVERIFY(recorder.waitForFinal());
        QCOMPARE(recorder.last().state, quint64(KXAdditions::TransferFailed));
        QCOMPARE(recorder.last().information.value(KXAdditions::errorKey).value<VLError>().code(), qint64(EEXIST));
        QCOMPARE(readFile(dir.path() + u"/out/big.bin"_qs), QByteArray("keep me"));
    }

    void fullTarget_data()
    {
        QTest::addColumn<quint64>("type");
        QTest::newRow("copy") << quint64(1);
        QTest::newRow("move across volumes") << quint64(3);
        QTest::newRow("copy with progress") << quint64(4);
    }

    void fullTarget()
    {
        QFETCH(quint64, type);
        QTemporaryDir dir;
        const QString source = dir.path() + u"/tree"_qs;
        makeTree(source);
        writeFile(source + u"/sub/big.bin"_qs, QByteArray(2 * 1024 * 1024, 'f'));
        const auto expected = describe(source);
        const QString destination = dir.path() + u"/copy"_qs;

        // No file may grow past 1 MiB while the transfer runs: the target is "full".
        rlimit previous{};
        QVERIFY(::getrlimit(RLIMIT_FSIZE, &previous) == 0);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limited = previous;
        limited.rlim_cur = 1024 * 1024;
        QVERIFY(::setrlimit(RLIMIT_FSIZE, &limited) == 0);
        TransferRecorder recorder;
        KXAdditions::vl_transferItemFromURLToURLModeTypeHandler(
            QUrl::fromLocalFile(source), QUrl::fromLocalFile(destination), 0, type, recorder.handler());
        const bool ended = recorder.waitForFinal();
        ::setrlimit(RLIMIT_FSIZE, &previous);
        std::signal(SIGXFSZ, oldHandler);
        QVERIFY(ended);
        QCOMPARE(recorder.last().state, quint64(KXAdditions::TransferFailed));
        const VLError error = recorder.last().information.value(KXAdditions::errorKey).value<VLError>();
        QCOMPARE(error.domain(), VLError::posixDomain);
        QCOMPARE(error.code(), qint64(EFBIG));
        QVERIFY(!QFileInfo::exists(destination));
        QCOMPARE(describe(source), expected); // a failed move across volumes leaves the source
    }

    void foldersGetTheirAttributesAfterTheirContent()
    {
        QTemporaryDir dir;
        const QString source = dir.path() + u"/readonly"_qs;
        writeFile(source + u"/inner/file.txt"_qs, "content");
        QVERIFY(::chmod(QFile::encodeName(source + u"/inner"_qs).constData(), 0555) == 0);
        QVERIFY(::chmod(QFile::encodeName(source).constData(), 0555) == 0);
        QVERIFY(QDir().mkpath(dir.path() + u"/out"_qs));
        UnprivilegedScope unprivileged({dir.path()});
        TransferRecorder recorder;
        KXAdditions::vl_transferItemFromURLToURLModeTypeHandler(
            QUrl::fromLocalFile(source), QUrl::fromLocalFile(dir.path() + u"/out/readonly"_qs), 0,
            KXAdditions::TransferCopyWithProgress, recorder.handler());
        QVERIFY(recorder.waitForFinal());
        QCOMPARE(recorder.last().state, quint64(KXAdditions::TransferFinished));
        QCOMPARE(readFile(dir.path() + u"/out/readonly/inner/file.txt"_qs), QByteArray("content"));
        QCOMPARE(modeOf(dir.path() + u"/out/readonly"_qs), mode_t(0555));
        QCOMPARE(modeOf(dir.path() + u"/out/readonly/inner"_qs), mode_t(0555));
        // Writable again so the temporary folder can go.
        ::chmod(QFile::encodeName(dir.path() + u"/out/readonly/inner"_qs).constData(), 0755);
        ::chmod(QFile::encodeName(dir.path() + u"/out/readonly"_qs).constData(), 0755);
        ::chmod(QFile::encodeName(source + u"/inner"_qs).constData(), 0755);
        ::chmod(QFile::encodeName(source).constData(), 0755);
    }

    // An ordinary user's copy of read-only files and folders keeps their extended attributes,
    // permissions and dates.
    void readOnlyItemsAreCopiedWhole()
    {
        const ReadOnlyTree::Workspace workspace;
        if (workspace.skipReason())
            QSKIP(workspace.skipReason());
        const QString copy = workspace.path(u"out/Locked"_qs);
        QVERIFY(QDir().mkpath(workspace.path(u"out"_qs)));
        TransferRecorder recorder;
        KXAdditions::vl_transferItemFromURLToURLModeTypeHandler(
            QUrl::fromLocalFile(workspace.source()), QUrl::fromLocalFile(copy), 0,
            KXAdditions::TransferCopyWithProgress, recorder.handler());
        QVERIFY(recorder.waitForFinal());
        QCOMPARE(recorder.last().state, quint64(KXAdditions::TransferFinished));
        QCOMPARE(ReadOnlyTree::differences(workspace.source(), copy), QStringList());
    }

    // Copying a file of another owner: the copy cannot be given to that owner, and still takes
    // the file's permissions and date.
    void aCopyOfAnotherOwnersFileTakesItsPermissionsAndDate()
    {
        QTemporaryDir dir;
        const QString source = dir.path() + u"/theirs.txt"_qs;
        writeFile(source, "not mine");
        QVERIFY(::chmod(QFile::encodeName(source).constData(), 0444) == 0);
        QVERIFY(ReadOnlyTree::setModified(source, 1450000000));
        // The source stays the superuser's; an ordinary user's pass takes a file of the system.
        QString theirs = source;
        if (::geteuid() != 0) {
            theirs = u"/etc/passwd"_qs;
            struct stat status
            {
            };
            if (::stat("/etc/passwd", &status) != 0 || status.st_uid == ::geteuid())
                QSKIP("no file of another owner to copy");
        }
        UnprivilegedScope unprivileged({dir.path()}, {source});
        if (!unprivileged.isEffective())
            QSKIP("the superuser could not step down to an ordinary user");
        const QString copy = dir.path() + u"/copy.txt"_qs;
        VLError error;
        QVERIFY(KXAdditions::vl_atomicFileCopyAtPathToPathErrorProgressHandler(theirs, copy, &error, {}));
        QCOMPARE(readFile(copy), readFile(theirs));
        struct stat original
        {
        }, copied{};
        QCOMPARE(::stat(QFile::encodeName(theirs).constData(), &original), 0);
        QCOMPARE(::stat(QFile::encodeName(copy).constData(), &copied), 0);
        QCOMPARE(copied.st_uid, ::geteuid());
        QCOMPARE(copied.st_mode & 07777, original.st_mode & 07777);
        QCOMPARE(copied.st_mtim.tv_sec, original.st_mtim.tv_sec);
    }

    void movesToAnotherVolume_data()
    {
        QTest::addColumn<quint64>("type");
        QTest::newRow("move") << quint64(0);
        QTest::newRow("move across volumes") << quint64(3);
    }

    void movesToAnotherVolume()
    {
        QFETCH(quint64, type);
        QTemporaryDir other(u"/dev/shm/vaultine-test-XXXXXX"_qs);
        QTemporaryDir here;
        struct stat a
        {
        }, b{};
        if (!other.isValid() || ::stat(QFile::encodeName(other.path()).constData(), &a) != 0
            || ::stat(QFile::encodeName(here.path()).constData(), &b) != 0 || a.st_dev == b.st_dev)
            QSKIP("no second file system to move to");
        const QString source = other.path() + u"/tree"_qs;
        makeTree(source);
        const auto expected = describe(source);
        TransferRecorder recorder;
        KXAdditions::vl_transferItemFromURLToURLModeTypeHandler(
            QUrl::fromLocalFile(source), QUrl::fromLocalFile(here.path() + u"/tree"_qs), 0, type, recorder.handler());
        QVERIFY(recorder.waitForFinal());
        QCOMPARE(recorder.last().state, quint64(KXAdditions::TransferFinished));
        QCOMPARE(describe(here.path() + u"/tree"_qs), expected);
        QVERIFY(QFileInfo(here.path() + u"/tree/link"_qs).isSymLink());
        QVERIFY(!QFileInfo::exists(source));
    }

    void failedTransfers()
    {
        QTemporaryDir dir;
        writeFile(dir.path() + u"/a.txt"_qs, "a");
        TransferRecorder missing;
        KXAdditions::vl_transferItemFromURLToURLModeTypeHandler(QUrl::fromLocalFile(dir.path() + u"/none"_qs),
                                                                QUrl::fromLocalFile(dir.path() + u"/b"_qs), 0, 4,
                                                                missing.handler());
        QCOMPARE(missing.states(), QList<quint64>{KXAdditions::TransferFailed});
        QCOMPARE(missing.last().information.value(KXAdditions::errorKey).value<VLError>().code(), qint64(ENOENT));

        // A folder never goes into itself.
        writeFile(dir.path() + u"/folder/x"_qs, "x");
        TransferRecorder inside;
        KXAdditions::vl_transferItemFromURLToURLModeTypeHandler(QUrl::fromLocalFile(dir.path() + u"/folder"_qs),
                                                                QUrl::fromLocalFile(dir.path() + u"/folder/sub"_qs), 0,
                                                                4, inside.handler());
        QCOMPARE(inside.states(), QList<quint64>{KXAdditions::TransferFailed});
        QCOMPARE(readFile(dir.path() + u"/folder/x"_qs), QByteArray("x"));

        // Nor does the file-system root, which holds every destination.
        TransferRecorder everything;
        KXAdditions::vl_transferItemFromURLToURLModeTypeHandler(
            QUrl::fromLocalFile(u"/"_qs), QUrl::fromLocalFile(dir.path() + u"/root"_qs), 0, 4, everything.handler());
        QCOMPARE(everything.states(), QList<quint64>{KXAdditions::TransferFailed});
        QVERIFY(!QFileInfo::exists(dir.path() + u"/root"_qs));

        // Replacing must never remove the source itself, or the folder that holds it.
        for (const QString &target : QStringList{dir.path() + u"/folder"_qs, dir.path()}) {
            TransferRecorder replacing;
            KXAdditions::vl_transferItemFromURLToURLModeTypeHandler(
                QUrl::fromLocalFile(dir.path() + u"/folder"_qs), QUrl::fromLocalFile(target),
                KXAdditions::TransferReplace, 1, replacing.handler());
            QCOMPARE(replacing.states(), QList<quint64>{KXAdditions::TransferFailed});
            QCOMPARE(readFile(dir.path() + u"/folder/x"_qs), QByteArray("x"));
        }
        // Nor through a linked folder that leads back to the source.
        QVERIFY(QFile::link(dir.path(), dir.path() + u"/alias"_qs));
        TransferRecorder replacingThroughLink;
        KXAdditions::vl_transferItemFromURLToURLModeTypeHandler(
            QUrl::fromLocalFile(dir.path() + u"/folder"_qs), QUrl::fromLocalFile(dir.path() + u"/alias/folder"_qs),
            KXAdditions::TransferReplace, 4, replacingThroughLink.handler());
        QVERIFY(replacingThroughLink.waitForFinal());
        QCOMPARE(replacingThroughLink.states(), QList<quint64>{KXAdditions::TransferFailed});
        QCOMPARE(readFile(dir.path() + u"/folder/x"_qs), QByteArray("x"));
        TransferRecorder linkedInside;
        KXAdditions::vl_transferItemFromURLToURLModeTypeHandler(
            QUrl::fromLocalFile(dir.path() + u"/folder"_qs), QUrl::fromLocalFile(dir.path() + u"/alias/folder/sub"_qs),
            0, 4, linkedInside.handler());
        QVERIFY(linkedInside.waitForFinal());
        QCOMPARE(linkedInside.states(), QList<quint64>{KXAdditions::TransferFailed});
        QVERIFY(!QFileInfo::exists(dir.path() + u"/folder/sub"_qs));
        QVERIFY(QFile::remove(dir.path() + u"/alias"_qs));

        // Nor does a replace from a missing source remove the destination.
        TransferRecorder fromNothing;
        KXAdditions::vl_transferItemFromURLToURLModeTypeHandler(QUrl::fromLocalFile(dir.path() + u"/none"_qs),
                                                                QUrl::fromLocalFile(dir.path() + u"/a.txt"_qs),
                                                                KXAdditions::TransferReplace, 0, fromNothing.handler());
        QCOMPARE(fromNothing.states(), QList<quint64>{KXAdditions::TransferFailed});
        QCOMPARE(readFile(dir.path() + u"/a.txt"_qs), QByteArray("a"));

        // A free name beside the source itself makes a duplicate.
        TransferRecorder duplicate;
        KXAdditions::vl_transferItemFromURLToURLModeTypeHandler(QUrl::fromLocalFile(dir.path() + u"/a.txt"_qs),
                                                                QUrl::fromLocalFile(dir.path() + u"/a.txt"_qs),
                                                                KXAdditions::TransferFreeName, 1, duplicate.handler());
        QVERIFY(duplicate.waitForFinal());
        QCOMPARE(duplicate.last().information.value(KXAdditions::destinationURLKey).toUrl(),
                 QUrl::fromLocalFile(dir.path() + u"/a 2.txt"_qs));
        QCOMPARE(readFile(dir.path() + u"/a 2.txt"_qs), QByteArray("a"));

        // A missing destination folder.
        TransferRecorder nowhere;
        KXAdditions::vl_transferItemFromURLToURLModeTypeHandler(QUrl::fromLocalFile(dir.path() + u"/a.txt"_qs),
                                                                QUrl::fromLocalFile(dir.path() + u"/no/such/a.txt"_qs),
                                                                0, 4, nowhere.handler());
        QCOMPARE(nowhere.states(), QList<quint64>{KXAdditions::TransferFailed});
        QVERIFY(QFileInfo::exists(dir.path() + u"/a.txt"_qs));
    }
};

QTEST_GUILESS_MAIN(TestKXAdditions)
#include "tst_kxadditions.moc"
