#include "ArchiveTestSupport.h"

#include "engine/archive/VLArchiveBytes.h"
#include "engine/archive/VLArchiveReader.h"
#include "platform/crypto/AesCbcCipher.h"
#include "platform/crypto/CryptoFunctions.h"
#include "tests/support/SmallTmpfs.h"

#include <QFileInfo>
#include <QTemporaryDir>

#include <QScopeGuard>

#include <condition_variable>
#include <csignal>
#include <mutex>
#include <sys/resource.h>
#include <zlib.h>

using namespace VLArchiveBytes;

namespace {

struct Options
{
    bool encryptFiles = true;
    bool encryptDirectory = true;
    bool hmacs = true;
    bool compress = true;
};

// The offset of the n-th occurrence of a text in the bytes.
qsizetype find(const QByteArray &bytes, const char *text, int occurrence = 0)
{
    qsizetype at = -1;
    for (int i = 0; i <= occurrence; ++i) {
        at = bytes.indexOf(text, at + 1);
        if (at < 0)
            return -1;
    }
    return at;
}

void patchU32(QByteArray &bytes, qsizetype at, quint32 value)
{
    QByteArray field;
    putU32(field, value);
    bytes.replace(at, 4, field);
}

void patchU64(QByteArray &bytes, qsizetype at, quint64 value)
{
    QByteArray field;
    putU64(field, value);
    bytes.replace(at, 8, field);
}

// Writes past a few KiB fail while it lives, as on a full disk.
class FileSizeLimit final
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &m_old); }

private:
    rlimit m_old{};
};

qsizetype locatorStart(const QByteArray &bytes)
{
    return bytes.size() - qsizetype(getU32(bytes.constData() + bytes.size() - 4));
}

} // namespace

class TestArchiveErrors : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    int m_counter = 0;

    QString next(const QString &suffix = QStringLiteral(".vault"))
    {
        return m_dir.filePath(QStringLiteral("case%1%2").arg(++m_counter).arg(suffix));
    }

    // A container holding one file "/ab" with the given content.
    QByteArray container(const QByteArray &content, const Options &options,
                         const QString &password = QStringLiteral("pw"),
                         const std::optional<QByteArray> &preview = std::nullopt)
    {
        const QString folder = next(QStringLiteral("-src"));
        writeFile(folder + u"/ab", content);
        VLEncryptedArchive archive;
        archive.setEncryptFiles(options.encryptFiles);
        archive.setEncryptDirectory(options.encryptDirectory);
        archive.setCalculateFilesHmac(options.hmacs && options.encryptFiles);
        archive.setCalculateDirectoryHmac(options.hmacs && options.encryptDirectory);
        archive.setCompressFiles(options.compress);
        archive.setPassword(password);
        archive.setPreview(preview);
        RecordingDelegate delegate;
        archive.setDelegate(&delegate);
        archive.addItemFromRoot(folder + u"/ab", folder);
        const QString out = next();
        archive.save(out);
        if (!delegate.errors.isEmpty())
            qWarning() << "saving failed" << delegate.events;
        return readFile(out);
    }

    QByteArray plain(const QByteArray &content = "some content of the item", bool compress = false)
    {
        return container(content, Options{false, false, false, compress});
    }

    qint64 openError(const QByteArray &bytes, const QString &password = QStringLiteral("pw"),
                     RecordingDelegate *given = nullptr)
    {
        const QString path = next();
        if (!writeBytes(path, bytes))
            return -1;
        VLEncryptedArchive archive;
        RecordingDelegate local;
        RecordingDelegate &delegate = given ? *given : local;
        openWith(archive, delegate, path, password);
        if (delegate.lastError())
            [&] { QVERIFY(!archive.isOpened()); }();
        return delegate.lastError();
    }

    // Opens and extracts; returns the extraction's code and the item's own code.
    QPair<qint64, qint64> extractError(const QByteArray &bytes, const QString &destination = {},
                                       RecordingDelegate *given = nullptr)
    {
        const QString path = next();
        writeBytes(path, bytes);
        VLEncryptedArchive archive;
        RecordingDelegate local;
        RecordingDelegate &delegate = given ? *given : local;
        openWith(archive, delegate, path, QStringLiteral("pw"));
        if (delegate.lastError())
            return {-delegate.lastError(), 0};
        const QString out = destination.isEmpty() ? next(QStringLiteral("-out")) : destination;
        QDir().mkpath(out);
        archive.extractAllItems(out);
        return {delegate.lastError(), delegate.lastUnderlying().code()};
    }

private slots:
    void openingErrors_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<qint64>("code");
        const QByteArray good = plain();
        const qsizetype locator = locatorStart(good);

        QTest::newRow("not a container") << QByteArray("hello world, this is not a container") << qint64(1102);
        QTest::newRow("empty file") << QByteArray() << qint64(1102);
        QTest::newRow("shorter than 8 bytes") << QByteArray("NBV1abc") << qint64(1103);
        QByteArray noTail = good;
        noTail[noTail.size() - 8] = 'X';
        QTest::newRow("no DLSZ") << noTail << qint64(1103);
        QByteArray longLocator = good;
        patchU32(longLocator, longLocator.size() - 4, quint32(good.size()));
        QTest::newRow("locator longer than the file") << longLocator << qint64(1103);
        QByteArray badLocator = good;
        badLocator[locator] = 'X';
        QTest::newRow("locator damaged") << badLocator << qint64(1104);
        QByteArray farDirectory = good;
        patchU64(farDirectory, locator + 24, quint64(good.size()));
        QTest::newRow("directory past the end") << farDirectory << qint64(1104);
        QByteArray newer = good;
        patchU32(newer, locator + 8, 257);
        QTest::newRow("version 257") << newer << qint64(1105);
        QByteArray badRecord = good;
        badRecord[find(good, "HDDR")] = 'X';
        QTest::newRow("not HDDR") << badRecord << qint64(1106);
        QByteArray zeroPosition = good;
        patchU64(zeroPosition, find(good, "FLCT") + 4, 0);
        QTest::newRow("local header position 0") << zeroPosition << qint64(1106);
        QByteArray unknownField = good;
        unknownField.replace(find(good, "FPRM", 1), 4, "FXXX");
        QTest::newRow("unknown field") << unknownField << qint64(1106);
        QByteArray keyCode = good;
        keyCode[locator + 53] = 4;
        QTest::newRow("key code 4") << keyCode << qint64(1107);
    }

    void openingErrors()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(qint64, code);
        RecordingDelegate delegate;
        QCOMPARE(openError(bytes, QStringLiteral("pw"), &delegate), code);
        QCOMPARE(delegate.errors.size(), 1);
        QCOMPARE(delegate.events.first(), QStringLiteral("started EncryptedArchiveOperationOpening"));
        QVERIFY(!delegate.events.contains(QStringLiteral("finished EncryptedArchiveOperationOpening")));
        QCOMPARE(delegate.errors.first().value(VLEncryptedArchiveConstants::keyOperation).toString(),
                 VLEncryptedArchiveConstants::operationOpening);
    }

    void missingFileAndAcceptedVersions()
    {
        RecordingDelegate delegate;
        VLEncryptedArchive archive;
        openWith(archive, delegate, m_dir.filePath(QStringLiteral("missing.vault")), QStringLiteral("pw"));
        QCOMPARE(delegate.lastError(), VLArchiveErrorOpenArchive);
        QCOMPARE(delegate.lastUnderlying(), VLError::posix(ENOENT));
        QCOMPARE(delegate.events.first(), QStringLiteral("started EncryptedArchiveOperationOpening"));

        QByteArray old = plain();
        patchU32(old, locatorStart(old) + 8, 0);
        QCOMPARE(openError(old), 0);
        QCOMPARE(openError(plain()), 0);
    }

    void passwordErrors()
    {
        const QByteArray bytes = container("secret", Options{});
        const QString path = next();
        writeBytes(path, bytes);
        {
            VLEncryptedArchive archive;
            archive.setPassword(QString());
            archive.openArchive(path); // no delegate: the caller only sees the closed state
            QVERIFY(!archive.isOpened());
        }
        RecordingDelegate none;
        none.answered = VLEncryptedArchiveDelegate::Callback::OperationError;
        QCOMPARE(openError(bytes, QString(), &none), qint64(VLArchiveErrorPasswordNeeded));
        RecordingDelegate wrong;
        wrong.answered = VLEncryptedArchiveDelegate::Callback::OperationError;
        QCOMPARE(openError(bytes, QStringLiteral("nope"), &wrong), qint64(VLArchiveErrorWrongPassword));
        RecordingDelegate cancels;
        QCOMPARE(openError(bytes, QString(), &cancels), qint64(VLArchiveErrorPasswordNeeded));
        QCOMPARE(cancels.passwordRequests, 1);
        // A plain container needs no password at all.
        RecordingDelegate plainDelegate;
        QCOMPARE(openError(plain(), QString(), &plainDelegate), 0);
        QCOMPARE(plainDelegate.passwordRequests, 0);
    }

    void directoryHmacMismatch()
    {
        QByteArray bytes = container("content", Options{});
        const qsizetype hmac = find(bytes, "DHMC", 0);
        QVERIFY(hmac > locatorStart(bytes));
        bytes[hmac + 10] = char(bytes[hmac + 10] ^ 1);
        RecordingDelegate fails;
        QCOMPARE(openError(bytes, QStringLiteral("pw"), &fails), qint64(VLArchiveErrorDirectoryHmac));
        QCOMPARE(fails.hmacMismatchCount, 1);
        QVERIFY(!fails.mismatches.first());
        RecordingDelegate goesOn;
        goesOn.hmacAction = 0;
        QCOMPARE(openError(bytes, QStringLiteral("pw"), &goesOn), 0);
        QCOMPARE(goesOn.hmacMismatchCount, 1);
        // Without a delegate answer the mismatch is an error.
        RecordingDelegate silent;
        silent.answered = VLEncryptedArchiveDelegate::Callback::OperationError;
        QCOMPARE(openError(bytes, QStringLiteral("pw"), &silent), qint64(VLArchiveErrorDirectoryHmac));
    }

    void previewThatDoesNotDecipher()
    {
        // Re-seal the preview under the master key with a last byte above 16.
        QByteArray bytes = container("content", Options{}, QStringLiteral("pw"), QByteArray(40, 'p'));
        const qsizetype locator = locatorStart(bytes);
        const QByteArray salt = bytes.mid(find(bytes, "MSLT", 0) + 4, 16);
        QVERIFY(find(bytes, "MSLT") > locator);
        platform::crypto::SecureBytes key(16);
        QCOMPARE(platform::crypto::pbkdf2HmacSha256(platform::crypto::SecureBytes(QByteArray("pw")), salt, 4096, key),
                 platform::crypto::CryptoStatus::Success);
        QByteArray sealed(48, 'x');
        sealed[47] = 32;
        QCOMPARE(platform::crypto::AesCbcCipher::cryptBlocks(platform::crypto::AesCbcCipher::Direction::Encrypt, key,
                                                             nullptr, reinterpret_cast<std::uint8_t *>(sealed.data()),
                                                             std::size_t(sealed.size())),
                 platform::crypto::CryptoStatus::Success);
        const qsizetype preview = find(bytes, "PRWV", 0);
        QVERIFY(preview > locator);
        QCOMPARE(getU32(bytes.constData() + preview + 4), quint32(48));
        bytes.replace(preview + 8, 48, sealed);
        QCOMPARE(openError(bytes), qint64(VLArchiveErrorDecipher));
    }

    void extractionNeedsAnOpenContainerAndAFolder()
    {
        VLEncryptedArchive archive;
        RecordingDelegate delegate;
        archive.setDelegate(&delegate);
        archive.extractAllItems(m_dir.path());
        QCOMPARE(delegate.events, QStringList({QStringLiteral("started EncryptedArchiveOperationExtraction"),
                                               QStringLiteral("error 1201")}));

        // After a failed opening, too.
        const QString broken = next();
        writeBytes(broken, "NBV1 and nothing else");
        archive.openArchive(broken);
        archive.extractAllItems(m_dir.path());
        QCOMPARE(delegate.lastError(), VLArchiveErrorNotOpen);

        const QString path = next();
        writeBytes(path, plain());
        VLEncryptedArchive opened;
        RecordingDelegate reading;
        openWith(opened, reading, path, QStringLiteral("pw"));
        opened.extractAllItems(m_dir.filePath(QStringLiteral("no/such/folder")));
        QCOMPARE(reading.lastError(), VLArchiveErrorDestination);
        opened.extractAllItems(path);
        QCOMPARE(reading.lastError(), VLArchiveErrorDestination);
    }

    void itemErrors_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<qint64>("itemCode");
        const QByteArray good = plain();

        QByteArray notLocal = good;
        notLocal[find(good, "HDLC")] = 'X';
        QTest::newRow("not HDLC") << notLocal << qint64(1206);
        QByteArray badField = good;
        badField.replace(find(good, "FPRM", 0), 4, "FXXX");
        QTest::newRow("local field unknown") << badField << qint64(1206);
        QByteArray escapes = good;
        escapes.replace(find(good, "/ab", 0), 3, "/..");
        QTest::newRow("local path leaves the destination") << escapes << qint64(1206);
        QByteArray longHeader = good;
        patchU32(longHeader, find(good, "HDLC") + 4, quint32(good.size() - 4));
        QTest::newRow("local header runs past the data") << longHeader << qint64(1205);
        QByteArray pastEnd = good;
        patchU32(pastEnd, find(good, "HDLC") + 4, quint32(good.size()));
        QTest::newRow("local header past the end") << pastEnd << qint64(1206);
        QByteArray shortData = good;
        patchU64(shortData, find(good, "FSIZ", 0) + 4, 1 << 20);
        QTest::newRow("data cut short") << shortData << qint64(1207);

        const QByteArray packed = plain(sampleText(50000), true);
        QByteArray cut = packed;
        patchU64(cut, find(packed, "FCSZ", 0) + 4, getU64(packed.constData() + find(packed, "FCSZ", 0) + 4) / 2);
        QTest::newRow("compressed stream cut") << cut << qint64(1211);
        QByteArray garbled = packed;
        const qsizetype data = find(packed, "HDLC") + 8
                               + qsizetype(getU32(packed.constData() + find(packed, "HDLC") + 4));
        for (qsizetype i = 0; i < 64; ++i)
            garbled[data + 100 + i] = char(0xA5);
        QTest::newRow("compressed stream garbled") << garbled << qint64(1211);
        // An enciphered section whose recorded stream is longer than any file.
        const QByteArray sealed = container(sampleText(200000), Options{true, false, true, true});
        QByteArray endless = sealed;
        patchU64(endless, find(sealed, "FCSZ", 0) + 4, ~quint64(0));
        QTest::newRow("stream longer than the file") << endless << qint64(1207);
    }

    void itemErrors()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(qint64, itemCode);
        RecordingDelegate delegate;
        const auto [code, inner] = extractError(bytes, {}, &delegate);
        QCOMPARE(code, qint64(VLArchiveErrorExtractItem));
        QCOMPARE(inner, itemCode);
        QCOMPARE(delegate.lastUnderlying().domain(), VLEncryptedArchiveConstants::errorDomain);
        QCOMPARE(delegate.lastErrorItem()->path(), QStringLiteral("/ab"));
        QCOMPARE(delegate.errors.last().value(VLEncryptedArchiveConstants::keyOperation).toString(),
                 VLEncryptedArchiveConstants::operationExtraction);
    }

    void keyBlockThatCannotBeRead()
    {
        // Items enciphered, directory plain: point the item at the last bytes of the file.
        QByteArray bytes = container("content", Options{true, false, true, true});
        patchU64(bytes, find(bytes, "FLCT") + 4, quint64(bytes.size() - 20));
        QCOMPARE(extractError(bytes), qMakePair(qint64(VLArchiveErrorExtractItem), qint64(VLArchiveErrorDecipher)));
    }

    void itemWithoutAType()
    {
        auto record = std::make_shared<VLEncryptedArchiveItem>();
        record->setPath(QStringLiteral("/odd"));
        VLEncryptedArchive archive;
        archive.addToDirectory(record);
        archive.setPassword(QStringLiteral("pw"));
        const QString path = next();
        archive.save(path);
        QCOMPARE(extractError(readFile(path)),
                 qMakePair(qint64(VLArchiveErrorExtractItem), qint64(VLArchiveErrorItemType)));
    }

    void fileThatCannotBeCreated()
    {
        const QString out = next(QStringLiteral("-out"));
        QVERIFY(QDir().mkpath(out + u"/ab"));
        QCOMPARE(extractError(plain(), out),
                 qMakePair(qint64(VLArchiveErrorExtractItem), qint64(VLArchiveErrorCreateItem)));
    }

    void itemHmacMismatch_data()
    {
        QTest::addColumn<int>("size");
        QTest::newRow("read in place") << 40000;
        QTest::newRow("read ahead") << 300000; // long enough for the read-ahead thread
    }

    void itemHmacMismatch()
    {
        QFETCH(int, size);
        // Uncompressed, so a flipped byte changes data and not the stream's structure.
        QByteArray bytes = container(sampleText(size), Options{true, false, true, false});
        const qsizetype directory = qsizetype(getU64(bytes.constData() + locatorStart(bytes) + 16));
        bytes[directory - 40] = char(bytes[directory - 40] ^ 0x10);

        RecordingDelegate fails;
        QCOMPARE(extractError(bytes, {}, &fails),
                 qMakePair(qint64(VLArchiveErrorExtractItem), qint64(VLArchiveErrorItemHmac)));
        QCOMPARE(fails.hmacMismatchCount, 1);
        QCOMPARE(fails.mismatches.first()->path(), QStringLiteral("/ab"));

        RecordingDelegate goesOn;
        goesOn.hmacAction = 0;
        const QString out = next(QStringLiteral("-out"));
        QCOMPARE(extractError(bytes, out, &goesOn), qMakePair(qint64(0), qint64(0)));
        QCOMPARE(goesOn.events.last(), QStringLiteral("finished EncryptedArchiveOperationExtraction"));
        QCOMPARE(QFileInfo(out + u"/ab").size(), size);
        QVERIFY(readFile(out + u"/ab") != sampleText(size));
    }

    // Record paths that would leave the destination are damaged records.
    void badRecordPaths_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("parent") << QStringLiteral("/../outside");
        QTest::newRow("nested parent") << QStringLiteral("/a/../../outside");
        QTest::newRow("dot") << QStringLiteral("/./a");
        QTest::newRow("empty component") << QStringLiteral("/a//b");
        QTest::newRow("trailing slash") << QStringLiteral("/a/");
        QTest::newRow("relative") << QStringLiteral("a");
        QTest::newRow("root") << QStringLiteral("/");
    }

    void badRecordPaths()
    {
        QFETCH(QString, path);
        const QString source = next(QStringLiteral("-file"));
        writeFile(source, "x");
        VLEncryptedArchiveItemPtr record = VLEncryptedArchiveItem::itemFromPathError(source);
        record->setPath(path);
        VLEncryptedArchive archive;
        archive.addToDirectory(record);
        archive.setPassword(QStringLiteral("pw"));
        const QString container = next();
        archive.save(container);
        QCOMPARE(extractError(readFile(container)).first, -qint64(VLArchiveErrorDirectoryRecord));
    }

    // A link followed by a file inside it must not write through the link.
    void noWritingThroughLinks()
    {
        const QString outside = next(QStringLiteral("-outside"));
        QVERIFY(QDir().mkpath(outside));
        const QString sources = next(QStringLiteral("-src"));
        writeFile(sources + u"/x", "payload");
        QVERIFY(QFile::link(outside, sources + u"/a"));

        VLEncryptedArchive archive;
        VLEncryptedArchiveItemPtr link = VLEncryptedArchiveItem::itemFromPathError(sources + u"/a");
        link->setPath(QStringLiteral("/a"));
        VLEncryptedArchiveItemPtr file = VLEncryptedArchiveItem::itemFromPathError(sources + u"/x");
        file->setPath(QStringLiteral("/a/x"));
        archive.addToDirectory(link);
        archive.addToDirectory(file);
        archive.setPassword(QStringLiteral("pw"));
        const QString container = next();
        archive.save(container);

        const QString out = next(QStringLiteral("-out"));
        RecordingDelegate delegate;
        QCOMPARE(extractError(readFile(container), out, &delegate),
                 qMakePair(qint64(VLArchiveErrorExtractItem), qint64(VLArchiveErrorCreateItem)));
        QCOMPARE(delegate.lastErrorItem()->path(), QStringLiteral("/a/x"));
        QVERIFY(QFileInfo(out + u"/a").isSymLink());
        QVERIFY(QDir(outside).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));

        // Neither through a link that stood in the destination before.
        const QString prepared = next(QStringLiteral("-out"));
        QVERIFY(QDir().mkpath(prepared));
        const QString folderSource = next(QStringLiteral("-src"));
        writeFile(folderSource + u"/d/y", "y");
        VLEncryptedArchive nested;
        nested.addItemsFromRoot({folderSource + u"/d/y"}, folderSource);
        nested.setPassword(QStringLiteral("pw"));
        const QString second = next();
        nested.save(second);
        QVERIFY(QFile::link(outside, prepared + u"/d"));
        RecordingDelegate again;
        const auto result = extractError(readFile(second), prepared, &again);
        QCOMPARE(result.first, qint64(VLArchiveErrorExtractItem));
        QVERIFY(QDir(outside).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
    }

    void inflatingPastTheRecordedSize()
    {
        const QString source = next(QStringLiteral("-file"));
        writeFile(source, sampleText(100000));
        VLEncryptedArchiveItemPtr record = VLEncryptedArchiveItem::itemFromPathError(source);
        record->setPath(QStringLiteral("/big"));
        record->setCompressed(true);
        record->setSize(1000); // the data holds 100000 bytes
        VLEncryptedArchive archive;
        archive.addToDirectory(record);
        archive.setPassword(QStringLiteral("pw"));
        const QString container = next();
        archive.save(container);
        const QString out = next(QStringLiteral("-out"));
        QCOMPARE(extractError(readFile(container), out),
                 qMakePair(qint64(VLArchiveErrorExtractItem), qint64(VLArchiveErrorInflate)));
        QVERIFY(QFileInfo(out + u"/big").size() <= 1000);
    }

    // The log lines that recoverable problems leave, word for word.
    void warningTexts()
    {
        LogCapture log;
        const QString source = next(QStringLiteral("-file"));
        writeFile(source, sampleText(5000));
        auto save = [&](const std::function<void(VLEncryptedArchive &)> &setup) {
            VLEncryptedArchive archive;
            RecordingDelegate delegate;
            archive.setDelegate(&delegate);
            archive.addItemFromRoot(source);
            archive.setPassword(QStringLiteral("pw"));
            setup(archive);
            archive.save(next());
        };
        save([](VLEncryptedArchive &a) { a.setEncryptFiles(false); });
        QVERIFY(log.lines.contains(QStringLiteral("Warning! Invalid HMAC calculated.")));
        save([](VLEncryptedArchive &a) { a.setCompressionLevel(10); });
        QVERIFY(log.lines.contains(QStringLiteral("Warning! deflateInit failed. Error %1").arg(Z_STREAM_ERROR)));

        // A size larger than the stream inflates to is logged, and the item is still restored.
        const QByteArray packed = plain(sampleText(3000), true);
        QByteArray longer = packed;
        patchU64(longer, find(packed, "FSIZ", 0) + 4, 3010);
        QCOMPARE(extractError(longer), qMakePair(qint64(0), qint64(0)));
        QVERIFY(log.lines.contains(QStringLiteral("Warning! Processed size differs from item size for file /ab.")));

        QByteArray garbled = packed;
        const qsizetype data = find(packed, "HDLC") + 8
                               + qsizetype(getU32(packed.constData() + find(packed, "HDLC") + 4));
        for (qsizetype i = 0; i < 64; ++i)
            garbled[data + 10 + i] = char(0xA5);
        QCOMPARE(extractError(garbled).second, qint64(VLArchiveErrorInflate));
        QVERIFY(log.lines.contains(QStringLiteral("Warning! inflate failed. Error %1").arg(Z_DATA_ERROR)));

        // A record whose parent folder has no record.
        VLEncryptedArchiveItemPtr orphan = VLEncryptedArchiveItem::itemFromPathError(source);
        orphan->setPath(QStringLiteral("/missing/file"));
        VLEncryptedArchive archive;
        archive.addToDirectory(orphan);
        archive.setPassword(QStringLiteral("pw"));
        const QString container = next();
        archive.save(container);
        QCOMPARE(extractError(readFile(container)).first, qint64(VLArchiveErrorExtractItem));
        QVERIFY(log.lines.contains(
            QStringLiteral("Warning! Archive error : invalid tree structure, no parent folder for /missing/file")));
    }

    void savingErrors()
    {
        const QString source = next(QStringLiteral("-file"));
        writeFile(source, sampleText(5000));
        auto attempt = [&](const std::function<void(VLEncryptedArchive &)> &setup, qint64 code, bool withItem,
                           VLError *underlying = nullptr) {
            VLEncryptedArchive archive;
            RecordingDelegate delegate;
            archive.setDelegate(&delegate);
            archive.addItemFromRoot(source);
            archive.setPassword(QStringLiteral("pw"));
            setup(archive);
            const QString out = next();
            archive.save(out);
            QCOMPARE(delegate.lastError(), code);
            QCOMPARE(delegate.errors.size(), 1);
            QCOMPARE(bool(delegate.lastErrorItem()), withItem);
            QVERIFY(!QFileInfo::exists(out));
            QVERIFY(!delegate.events.contains(QStringLiteral("finished EncryptedArchiveOperationSaving")));
            if (underlying)
                *underlying = delegate.lastUnderlying();
        };
        const QString moved = source + u".moved";
        VLError missing;
        attempt([&](VLEncryptedArchive &) { QFile::rename(source, moved); }, VLArchiveErrorOpenSource, true, &missing);
        QFile::rename(moved, source);
        QCOMPARE(missing, VLError::posix(ENOENT));
        VLError readError;
        attempt([&](VLEncryptedArchive &a) { a.fileRecords().first()->setRealPath(m_dir.path()); },
                VLArchiveErrorReadSource, true, &readError);
        QCOMPARE(readError, VLError::posix(EISDIR));
        attempt([](VLEncryptedArchive &a) { a.fileRecords().first()->setPath({}); }, VLArchiveErrorLocalHeader, true);
        attempt([](VLEncryptedArchive &a) { a.setEncryptFiles(false); }, VLArchiveErrorCentralHeader, true);
        attempt([](VLEncryptedArchive &a) { a.setCompressionLevel(10); }, VLArchiveErrorCompression, true);

        VLEncryptedArchive archive;
        RecordingDelegate delegate;
        archive.setDelegate(&delegate);
        archive.save(m_dir.filePath(QStringLiteral("no/such/folder/out.vault")));
        QCOMPARE(delegate.events, QStringList{QStringLiteral("error 1001")});
        QCOMPARE(delegate.lastUnderlying(), VLError::posix(ENOENT));
    }

    // A container saved onto a disk that fills up, while a large file's section is made on a
    // worker and small ones are written beside it: the full disk is the reported cause, no part
    // of the container is left and the sources are untouched.
    void aFullDiskFailsTheSavingAsAFullDisk()
    {
        const QString diskFolder = next(QStringLiteral("-disk"));
        SmallTmpfs disk(diskFolder, 512 * 1024);
        if (!disk.isMounted())
            QSKIP(qPrintable(disk.reason()));
        const QString src = next(QStringLiteral("-src"));
        const QByteArray large = sampleNoise(3 << 20, 11);
        writeFile(src + u"/large.bin", large);
        for (int i = 0; i < 40; ++i)
            writeFile(src + QStringLiteral("/small-%1.bin").arg(i), sampleNoise(20000, quint32(i)));
        VLEncryptedArchive archive;
        RecordingDelegate delegate;
        archive.setDelegate(&delegate);
        archive.setPassword(QStringLiteral("pw"));
        QVERIFY(archive.addItemFromRoot(src + u"/large.bin", src));
        for (int i = 0; i < 40; ++i)
            QVERIFY(archive.addItemFromRoot(src + QStringLiteral("/small-%1.bin").arg(i), src));
        const QString out = diskFolder + u"/full.vault";
        archive.save(out);
        QCOMPARE(delegate.lastError(), VLArchiveErrorCreateArchive);
        QCOMPARE(delegate.lastUnderlying(), VLError::posix(ENOSPC));
        QCOMPARE(delegate.errors.size(), 1);
        QVERIFY(!delegate.events.contains(QStringLiteral("finished EncryptedArchiveOperationSaving")));
        QVERIFY(QDir(diskFolder).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System));
        QCOMPARE(readFile(src + u"/large.bin"), large);
    }

    void failedWritesAreNotSuccess()
    {
        const QString source = next(QStringLiteral("-file"));
        writeFile(source, sampleNoise(200000));
        VLEncryptedArchive archive;
        RecordingDelegate delegate;
        archive.setDelegate(&delegate);
        archive.addItemFromRoot(source);
        archive.setPassword(QStringLiteral("pw"));
        const QString out = next();
        {
            LogCapture log;
            FileSizeLimit limit(8192);
            archive.save(out);
            QVERIFY(log.contains(QStringLiteral("Warning! Writing to archive file failed. Error %1").arg(EFBIG)));
        }
        // Whichever step notices it, the failed write is the cause, with the system's reason.
        QCOMPARE(delegate.lastError(), VLArchiveErrorCreateArchive);
        QCOMPARE(delegate.lastUnderlying(), VLError::posix(EFBIG));
        QCOMPARE(delegate.errors.size(), 1);
        QVERIFY(!QFileInfo::exists(out));

        VLEncryptedArchive whole;
        whole.addItemFromRoot(source);
        whole.setPassword(QStringLiteral("pw"));
        const QString container = next();
        whole.save(container);
        const qint64 size = QFileInfo(container).size();

        // Only the locator, written last, falls past the limit: still a failure.
        VLEncryptedArchive almost;
        RecordingDelegate almostDelegate;
        almost.setDelegate(&almostDelegate);
        almost.addItemFromRoot(source);
        almost.setPassword(QStringLiteral("pw"));
        const QString cut = next();
        {
            FileSizeLimit limit(rlim_t(size - 10));
            almost.save(cut);
        }
        QCOMPARE(almostDelegate.lastError(), VLArchiveErrorCreateArchive);
        QCOMPARE(almostDelegate.lastUnderlying(), VLError::posix(EFBIG));
        QVERIFY(!almostDelegate.events.contains(QStringLiteral("finished EncryptedArchiveOperationSaving")));
        QVERIFY(!QFileInfo::exists(cut));

        // Restoring: the file that cannot be written whole fails its item.
        VLEncryptedArchive reader;
        RecordingDelegate reading;
        openWith(reader, reading, container, QStringLiteral("pw"));
        const QString destination = next(QStringLiteral("-out"));
        QDir().mkpath(destination);
        {
            FileSizeLimit limit(8192);
            reader.extractAllItems(destination);
        }
        QCOMPARE(reading.lastError(), VLArchiveErrorExtractItem);
        QCOMPARE(reading.lastUnderlying().code(), VLArchiveErrorCreateItem);
        QCOMPARE(
            reading.lastUnderlying().userInfo().value(VLEncryptedArchiveConstants::keyUnderlyingError).value<VLError>(),
            VLError::posix(EFBIG));
        QVERIFY(!reading.events.contains(QStringLiteral("finished EncryptedArchiveOperationExtraction")));
    }

    // An extraction that fails or is stopped while workers restore later items reports it only
    // once they have stopped writing: its owner may empty the destination at once.
    void endReportedAfterWorkersStopped_data()
    {
        QTest::addColumn<bool>("cancel");
        QTest::newRow("damaged item") << false;
        QTest::newRow("stopped") << true;
    }

    void endReportedAfterWorkersStopped()
    {
        QFETCH(bool, cancel);
        const QString sources = next(QStringLiteral("-src"));
        writeFile(sources + u"/a", sampleText(400 * 1024, 3));
        writeFile(sources + u"/b", sampleText(2 * 1024 * 1024, 4));
        VLEncryptedArchive writer;
        writer.setCompressFiles(false);
        writer.setPassword(QStringLiteral("pw"));
        writer.addItemFromRoot(sources + u"/a", sources);
        writer.addItemFromRoot(sources + u"/b", sources);
        const QString path = next();
        writer.save(path);
        if (!cancel) {
            // A flipped byte inside the data of "/a", the first item.
            QByteArray bytes = readFile(path);
            bytes[100000] = char(bytes[100000] ^ 0x01);
            QVERIFY(writeBytes(path, bytes));
        }

        // The worker of "/b" holds at its first piece until the end is reported (or a few seconds
        // have passed); "/a" goes on only once "/b" holds.
        std::mutex mutex;
        std::condition_variable changed;
        bool bHolding = false;
        bool ended = false;
        VLArchiveReader::setRestoreWriteHook([&](const QString &item, quint64 written) {
            std::unique_lock lock(mutex);
            if (item == u"/b" && written == 0) {
                bHolding = true;
                changed.notify_all();
                changed.wait_for(lock, std::chrono::seconds(3), [&] { return ended; });
                bHolding = false;
            } else if (item == u"/a" && written == 0) {
                changed.wait_for(lock, std::chrono::seconds(20), [&] { return bHolding; });
            }
        });
        const auto clearHook = qScopeGuard([] { VLArchiveReader::setRestoreWriteHook({}); });

        const QString destination = next(QStringLiteral("-out"));
        QVERIFY(QDir().mkpath(destination));
        RecordingDelegate delegate;
        if (cancel) {
            delegate.stopWhen = [](const QVariantMap &info) {
                const auto item = info.value(VLEncryptedArchiveConstants::keyItem).value<VLEncryptedArchiveItemPtr>();
                return item && item->path() == u"/a";
            };
        }
        bool heldAtEnd = true;
        qint64 sizeAtEnd = -1;
        delegate.whenError = [&] {
            const std::lock_guard lock(mutex);
            heldAtEnd = bHolding;
            sizeAtEnd = QFileInfo(destination + u"/b").size();
            ended = true;
            changed.notify_all();
        };

        VLEncryptedArchive reader;
        reader.setWorkerCount(2);
        reader.setPassword(QStringLiteral("pw"));
        reader.setDelegate(&delegate);
        reader.openArchive(path);
        QVERIFY(reader.isOpened());
        reader.extractAllItems(destination);
        QCOMPARE(delegate.lastError(), cancel ? VLArchiveErrorStopped : VLArchiveErrorExtractItem);
        QCOMPARE(delegate.errors.size(), 1);
        QVERIFY(!heldAtEnd);
        // Nothing was written after the report.
        QCOMPARE(QFileInfo(destination + u"/b").size(), sizeAtEnd);
    }
};

QTEST_GUILESS_MAIN(TestArchiveErrors)
#include "tst_archiveerrors.moc"
