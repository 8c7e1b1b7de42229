// Reads saved containers byte by byte with OpenSSL and zlib alone, never through the engine's
// reader, so that a writer and a reader that share one mistake cannot hide it.
#include "ArchiveTestSupport.h"

#include "engine/archive/VLArchiveBytes.h"
#include "engine/metadata/VLFileMetaData.h"
#include "tests/support/AclText.h"

#include <QTemporaryDir>

#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <zlib.h>

#include <sys/stat.h>

#include <map>

using namespace VLArchiveBytes;

namespace {

constexpr quint64 checkConstant = 0x3145565245534552ULL;

const EVP_CIPHER *aesFor(qsizetype keySize)
{
    return keySize == 16 ? EVP_aes_128_cbc() : keySize == 24 ? EVP_aes_192_cbc() : EVP_aes_256_cbc();
}

// AES-CBC over whole data; empty optional when OpenSSL refuses (bad padding, bad length).
std::optional<QByteArray> aes(bool encrypt, const QByteArray &key, const QByteArray &iv, const QByteArray &data,
                              bool padding)
{
    EVP_CIPHER_CTX *ctx = EVP_CIPHER_CTX_new();
    const QByteArray zero(16, '\0');
    const auto *ivBytes = reinterpret_cast<const unsigned char *>((iv.isEmpty() ? zero : iv).constData());
    QByteArray out(data.size() + 32, '\0');
    int n1 = 0;
    int n2 = 0;
    bool ok = EVP_CipherInit_ex(ctx, aesFor(key.size()), nullptr,
                                reinterpret_cast<const unsigned char *>(key.constData()), ivBytes, encrypt ? 1 : 0)
              == 1;
    ok = ok && EVP_CIPHER_CTX_set_padding(ctx, padding ? 1 : 0) == 1;
    ok = ok
         && EVP_CipherUpdate(ctx, reinterpret_cast<unsigned char *>(out.data()), &n1,
                             reinterpret_cast<const unsigned char *>(data.constData()), int(data.size()))
                == 1;
    ok = ok && EVP_CipherFinal_ex(ctx, reinterpret_cast<unsigned char *>(out.data()) + n1, &n2) == 1;
    EVP_CIPHER_CTX_free(ctx);
    if (!ok)
        return std::nullopt;
    out.truncate(n1 + n2);
    return out;
}

QByteArray hmacSha256(const QByteArray &key, const QByteArray &data)
{
    unsigned char digest[32];
    unsigned int length = 0;
    HMAC(EVP_sha256(), key.constData(), int(key.size()), reinterpret_cast<const unsigned char *>(data.constData()),
         std::size_t(data.size()), digest, &length);
    return QByteArray(reinterpret_cast<const char *>(digest), int(length));
}

QByteArray pbkdf2(const QByteArray &password, const QByteArray &salt, int keySize)
{
    QByteArray key(keySize, '\0');
    PKCS5_PBKDF2_HMAC(password.constData(), int(password.size()),
                      reinterpret_cast<const unsigned char *>(salt.constData()), int(salt.size()), 4096, EVP_sha256(),
                      keySize, reinterpret_cast<unsigned char *>(key.data()));
    return key;
}

std::optional<QByteArray> inflateWhole(const QByteArray &stream, bool *endedExactly)
{
    z_stream z{};
    if (inflateInit(&z) != Z_OK)
        return std::nullopt;
    QByteArray out;
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(stream.constData()));
    z.avail_in = uInt(stream.size());
    int result = Z_OK;
    char buffer[4096];
    while (result == Z_OK) {
        z.next_out = reinterpret_cast<Bytef *>(buffer);
        z.avail_out = sizeof buffer;
        result = inflate(&z, Z_NO_FLUSH);
        out.append(buffer, int(sizeof buffer - z.avail_out));
        if (result == Z_BUF_ERROR && z.avail_in == 0)
            break;
    }
    *endedExactly = result == Z_STREAM_END && z.avail_in == 0;
    inflateEnd(&z);
    return out;
}

struct Field
{
    QByteArray tag;
    QByteArray value;
};

// Splits a record content into its fields by their known widths.
std::optional<QList<Field>> splitFields(const QByteArray &content)
{
    static const std::map<QByteArray, int> fixed{{"FTYP", 1}, {"FFLG", 4},  {"FSIZ", 8}, {"FPRM", 2},
                                                 {"FOWN", 2}, {"FGRP", 2},  {"FMCT", 8}, {"FMDT", 8},
                                                 {"FLCT", 8}, {"FHMC", 32}, {"FCSZ", 8}};
    static const QList<QByteArray> text16{"FUTI", "FPAT", "FLNK", "FPDN"};
    static const QList<QByteArray> data32{"FEXA", "FEXS"};
    QList<Field> fields;
    qsizetype at = 0;
    while (at < content.size()) {
        if (content.size() - at < 4)
            return std::nullopt;
        const QByteArray name = content.mid(at, 4);
        at += 4;
        qsizetype width = 0;
        qsizetype prefix = 0;
        if (auto it = fixed.find(name); it != fixed.end()) {
            width = it->second;
        } else if (text16.contains(name)) {
            if (content.size() - at < 2)
                return std::nullopt;
            prefix = 2;
            width = getU16(content.constData() + at);
        } else if (data32.contains(name)) {
            if (content.size() - at < 4)
                return std::nullopt;
            prefix = 4;
            width = getU32(content.constData() + at);
        } else {
            return std::nullopt;
        }
        if (content.size() - at - prefix < width)
            return std::nullopt;
        fields.append({name, content.mid(at + prefix, width)});
        at += prefix + width;
    }
    return fields;
}

QByteArray tagsOf(const QList<Field> &fields)
{
    QByteArray out;
    for (const Field &f : fields)
        out += f.tag + ' ';
    return out.trimmed();
}

const Field *find(const QList<Field> &fields, const char *name)
{
    for (const Field &f : fields) {
        if (f.tag == name)
            return &f;
    }
    return nullptr;
}

// The bytes of a record up to and including its path field: what both header kinds share.
QByteArray commonPart(const QByteArray &content)
{
    const qsizetype at = content.indexOf("FPAT");
    return at < 0 ? QByteArray() : content.left(at + 6 + getU16(content.constData() + at + 4));
}

QByteArray text16(const char *name, const QByteArray &utf8)
{
    return QByteArray(name) + u16(quint16(utf8.size())) + utf8;
}

// Appends the padding field that brings a record (content + 8) to a multiple of 16.
QByteArray padded(QByteArray content)
{
    const qsizetype total = content.size() + 8;
    if (total % 16 != 0) {
        const qsizetype n = 16 - (total + 6) % 16;
        content += QByteArray("FPDN") + u16(quint16(n)) + QByteArray(n, char(0xAB));
    }
    return content;
}

QByteArray record(const char *name, const QByteArray &content)
{
    return QByteArray(name) + u32(quint32(content.size())) + content;
}

} // namespace

class TestContainerBytes : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    int m_case = 0;

    struct Source
    {
        QByteArray content;
        char type = 0; // 0 file, 1 folder, 2 link
        QString linkTarget;
    };

    // Checks the tags of a record in their written order and its padding.
    void checkRecord(const QByteArray &content, bool local, bool encryptDirectory, bool filesHmac)
    {
        const std::optional<QList<Field>> fields = splitFields(content);
        QVERIFY2(fields, content.toHex().constData());
        const QList<QByteArray> order = local
                                            ? QList<QByteArray>{"FTYP", "FFLG", "FSIZ", "FPRM", "FOWN", "FGRP", "FMCT",
                                                                "FMDT", "FUTI", "FPAT", "FEXA", "FEXS", "FLNK", "FPDN"}
                                            : QList<QByteArray>{"FTYP", "FFLG", "FSIZ", "FPRM", "FOWN", "FGRP", "FMCT",
                                                                "FMDT", "FUTI", "FPAT", "FLCT", "FHMC", "FCSZ", "FPDN"};
        qsizetype last = -1;
        for (const Field &f : *fields) {
            const qsizetype index = order.indexOf(f.tag);
            QVERIFY2(index > last, tagsOf(*fields).constData());
            last = index;
        }
        for (const char *always : {"FFLG", "FSIZ", "FPRM", "FPAT"})
            QVERIFY2(find(*fields, always), always);
        if (!local) {
            QVERIFY(find(*fields, "FLCT"));
            QCOMPARE(find(*fields, "FHMC") != nullptr, filesHmac);
            const bool compressed = getU32(find(*fields, "FFLG")->value.constData()) == 16;
            QCOMPARE(find(*fields, "FCSZ") != nullptr, compressed);
        }
        const Field *padding = find(*fields, "FPDN");
        const qsizetype total = content.size() + 8;
        if (!encryptDirectory) {
            QVERIFY(!padding);
            return;
        }
        QCOMPARE(total % 16, 0);
        if (padding) {
            const qsizetype before = total - 6 - padding->value.size();
            QVERIFY(before % 16 != 0);
            QCOMPARE(padding->value.size(), 16 - (before + 6) % 16);
            QVERIFY(content.endsWith(padding->value));
        }
    }

    QString makeTree(const QString &root, const std::map<QString, Source> &tree)
    {
        for (const auto &[relative, source] : tree) {
            const QString path = root + relative;
            if (source.type == 1)
                QDir().mkpath(path);
            else if (source.type == 2)
                QFile::link(source.linkTarget, path);
            else
                writeFile(path, source.content);
        }
        return root;
    }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void savedBytes_data()
    {
        QTest::addColumn<int>("bits");
        QTest::addColumn<bool>("encryptFiles");
        QTest::addColumn<bool>("encryptDirectory");
        QTest::addColumn<bool>("filesHmac");
        QTest::addColumn<bool>("directoryHmac");
        QTest::addColumn<bool>("compress");
        QTest::addColumn<quint32>("flags");
        QTest::newRow("default") << 128 << true << true << true << true << true << quint32(0x11F);
        QTest::newRow("192 all on") << 192 << true << true << true << true << true << quint32(0x21F);
        QTest::newRow("256 all on") << 256 << true << true << true << true << true << quint32(0x31F);
        QTest::newRow("192 no hmac") << 192 << true << true << false << false << true << quint32(0x213);
        QTest::newRow("256 stored") << 256 << true << true << true << true << false << quint32(0x30F);
        QTest::newRow("files only") << 128 << true << false << true << false << true << quint32(0x115);
        QTest::newRow("directory only") << 128 << false << true << false << true << true << quint32(0x11A);
        QTest::newRow("plain compressed") << 128 << false << false << false << false << true << quint32(0x110);
        QTest::newRow("plain") << 128 << false << false << false << false << false << quint32(0x100);
    }

    void savedBytes()
    {
        QFETCH(int, bits);
        QFETCH(bool, encryptFiles);
        QFETCH(bool, encryptDirectory);
        QFETCH(bool, filesHmac);
        QFETCH(bool, directoryHmac);
        QFETCH(bool, compress);
        QFETCH(quint32, flags);
        const bool encrypted = encryptFiles || encryptDirectory;
        const int keySize = bits == 128 ? 16 : bits == 192 ? 24 : 32;
        const int slotSize = keySize == 16 ? 16 : 32;

        const QString base = m_dir.filePath(QStringLiteral("case%1").arg(++m_case));
        const std::map<QString, Source> tree{
            {QStringLiteral("/Folder"), {{}, 1, {}}},
            {QStringLiteral("/Folder/text.txt"), {sampleText(70000), 0, {}}},
            {QStringLiteral("/Folder/noise.bin"), {sampleNoise(40000), 0, {}}},
            // Large enough to be compressed in blocks on several workers and joined into one stream.
            {QStringLiteral("/Folder/large.txt"), {sampleText(3 * 1024 * 1024 + 12345), 0, {}}},
            {QStringLiteral("/Folder/empty"), {{}, 0, {}}},
            {QStringLiteral("/Folder/Sub"), {{}, 1, {}}},
            {QStringLiteral("/Folder/Sub/one"), {"1", 0, {}}},
            {QStringLiteral("/Folder/link"), {{}, 2, QStringLiteral("text.txt")}},
        };
        makeTree(base, tree);
        QVERIFY(VLFileMetaData::applyExtendedAttributesToFile({{QStringLiteral("colour"), QByteArray("blue")}},
                                                              base + u"/Folder/text.txt"));
        // Only an item with an access-control list carries its buffer; where the file system
        // takes no lists, no item does.
        const QString withList = QStringLiteral("/Folder/Sub/one");
        const bool listSet = AclText::set(base + withList,
                                          QStringLiteral("u::rw-,u:%1:r--,g::r--,m::r--,o::---").arg(::geteuid()));

        VLEncryptedArchive archive;
        RecordingDelegate delegate;
        archive.setDelegate(&delegate);
        archive.setAESKeyBits(quint64(bits));
        archive.setEncryptFiles(encryptFiles);
        archive.setEncryptDirectory(encryptDirectory);
        archive.setCalculateFilesHmac(filesHmac);
        archive.setCalculateDirectoryHmac(directoryHmac);
        archive.setCompressFiles(compress);
        archive.setPassword(QStringLiteral("pässword"));
        archive.setPasswordHint(QStringLiteral("hint"));
        const QByteArray image = sampleNoise(100, 3);
        archive.setPreview(image);
        QStringList paths;
        for (const auto &entry : tree)
            paths << base + entry.first;
        QCOMPARE(archive.addItemsFromRoot(paths, base).size(), qsizetype(tree.size()));
        const QString out = base + u".vault";
        archive.setWorkerCount(4);
        archive.save(out);
        QCOMPARE(delegate.lastError(), 0);
        const QByteArray file = readFile(out);

        // Magic and locator.
        QCOMPARE(file.left(4), QByteArray("NBV1"));
        QCOMPARE(file.right(8).left(4), QByteArray("DLSZ"));
        const quint32 locatorLength = getU32(file.constData() + file.size() - 4);
        const QByteArray locator = file.right(locatorLength);
        const char *l = locator.constData();
        QCOMPARE(locator.left(8), QByteArray("HLCTDLVR"));
        QCOMPARE(getU32(l + 8), quint32(256));
        QCOMPARE(locator.mid(12, 4), QByteArray("DLCT"));
        QCOMPARE(locator.mid(48, 4), QByteArray("DFLG"));
        QCOMPARE(getU32(l + 52), flags);
        qsizetype p = 56;
        QByteArray directoryMac;
        if (flags & 8) {
            QCOMPARE(locator.mid(p, 4), QByteArray("DHMC"));
            directoryMac = locator.mid(p + 4, 32);
            p += 36;
        }
        QByteArray salt;
        if (encrypted) {
            QCOMPARE(locator.mid(p, 4), QByteArray("MSLT"));
            salt = locator.mid(p + 4, 16);
            p += 20;
        }
        QCOMPARE(locator.mid(p, 4), QByteArray("PRWV"));
        const quint32 previewLength = getU32(l + p + 4);
        const QByteArray storedPreview = locator.mid(p + 8, previewLength);
        p += 8 + previewLength;
        QCOMPARE(locator.mid(p, 4), QByteArray("PSHN"));
        QCOMPARE(getU16(l + p + 4), quint16(4));
        QCOMPARE(locator.mid(p + 6, 4), QByteArray("hint"));
        p += 10;
        QCOMPARE(locator.mid(p, 4), QByteArray("DLSZ"));
        QCOMPARE(p + 8, qsizetype(locatorLength));

        const QByteArray masterKey = encrypted ? pbkdf2(QStringLiteral("pässword").toUtf8(), salt, keySize)
                                               : QByteArray();
        quint64 fields[4] = {getU64(l + 16), getU64(l + 24), getU64(l + 32), getU64(l + 40)};
        if (encrypted) {
            const int first = encryptDirectory ? 0 : 2;
            const std::optional<QByteArray> plain = aes(false, masterKey, {},
                                                        locator.mid(16 + 8 * first, 8 * (4 - first)), false);
            QVERIFY(plain);
            for (int i = first; i < 4; ++i)
                fields[i] = getU64(plain->constData() + 8 * (i - first));
            QCOMPARE(fields[2] ^ fields[3], checkConstant);
        } else {
            QCOMPARE(fields[2], quint64(0));
            QCOMPARE(fields[3], quint64(0));
        }
        if (encrypted) {
            QCOMPARE(qsizetype(previewLength), 112);
            const std::optional<QByteArray> plain = aes(false, masterKey, {}, storedPreview, false);
            QVERIFY(plain);
            QCOMPARE(plain->left(100), image);
            for (int i = 0; i < 12; ++i)
                QCOMPARE(int(plain->at(100 + i)), i);
        } else {
            QCOMPARE(storedPreview, image);
        }

        // A section: its key block (when enciphered), then its stream up to `end`.
        struct Section
        {
            QByteArray plain;
            QByteArray mac; // HMAC over IV, key slot and plain bytes, when the block has a key
        };
        auto readSection = [&](quint64 from, quint64 end, bool enciphered, bool withMac) -> std::optional<Section> {
            const QByteArray bytes = file.mid(qsizetype(from), qsizetype(end - from));
            if (!enciphered)
                return Section{bytes, {}};
            const int blockSize = (withMac ? 16 : 0) + 16 + slotSize;
            const std::optional<QByteArray> block = aes(false, masterKey, {}, bytes.left(blockSize), false);
            if (!block)
                return std::nullopt;
            const QByteArray macKey = withMac ? block->left(16) : QByteArray();
            const QByteArray ivAndSlot = block->mid(withMac ? 16 : 0);
            const std::optional<QByteArray> plain = aes(false, ivAndSlot.mid(16, keySize), ivAndSlot.left(16),
                                                        bytes.mid(blockSize), true);
            if (!plain)
                return std::nullopt;
            // PKCS#7 adds 1 to 16 bytes: the stream holds no block beyond the padded plain bytes.
            if (bytes.size() - blockSize != (plain->size() / 16 + 1) * 16)
                return std::nullopt;
            return Section{*plain, withMac ? hmacSha256(macKey, ivAndSlot + *plain) : QByteArray()};
        };

        // Directory section: from its position to the locator.
        const quint64 directoryPosition = fields[0];
        const quint64 directorySize = fields[1];
        const std::optional<Section> directory = readSection(directoryPosition, quint64(file.size()) - locatorLength,
                                                             encryptDirectory, flags & 8);
        QVERIFY(directory);
        QCOMPARE(quint64(directory->plain.size()), directorySize);
        if (flags & 8)
            QCOMPARE(directory->mac, directoryMac);

        struct Central
        {
            QByteArray content;
            QList<Field> fields;
        };
        QList<Central> centrals;
        for (qsizetype at = 0; at < directory->plain.size();) {
            QCOMPARE(directory->plain.mid(at, 4), QByteArray("HDDR"));
            const quint32 n = getU32(directory->plain.constData() + at + 4);
            const QByteArray content = directory->plain.mid(at + 8, n);
            checkRecord(content, false, encryptDirectory, filesHmac);
            centrals.append({content, *splitFields(content)});
            at += 8 + qsizetype(n);
        }
        QCOMPARE(centrals.size(), qsizetype(tree.size()));

        // Item sections lie back to back from byte 4 to the directory, in directory order.
        quint64 expectedPosition = 4;
        for (qsizetype i = 0; i < centrals.size(); ++i) {
            const Central &central = centrals.at(i);
            const quint64 position = getU64(find(central.fields, "FLCT")->value.constData());
            QCOMPARE(position, expectedPosition);
            const quint64 end = i + 1 < centrals.size()
                                    ? getU64(find(centrals.at(i + 1).fields, "FLCT")->value.constData())
                                    : directoryPosition;
            const std::optional<Section> section = readSection(position, end, encryptFiles, filesHmac);
            QVERIFY(section);
            expectedPosition = end;
            if (filesHmac)
                QCOMPARE(section->mac, find(central.fields, "FHMC")->value);

            QCOMPARE(section->plain.left(4), QByteArray("HDLC"));
            const quint32 n = getU32(section->plain.constData() + 4);
            const QByteArray local = section->plain.mid(8, n);
            checkRecord(local, true, encryptDirectory, filesHmac);
            QCOMPARE(commonPart(local), commonPart(central.content));
            const QList<Field> localFields = *splitFields(local);

            const QString path = QString::fromUtf8(find(localFields, "FPAT")->value);
            const auto source = tree.find(path);
            QVERIFY2(source != tree.end(), qPrintable(path));
            const QByteArray data = section->plain.mid(8 + n);
            struct stat st
            {
            };
            QCOMPARE(::lstat(QFile::encodeName(base + path).constData(), &st), 0);
            QCOMPARE(int(quint8(find(localFields, "FTYP")->value.at(0))), int(source->second.type));
            QCOMPARE(getU16(find(localFields, "FPRM")->value.constData()),
                     quint16(source->second.type == 2 ? 0 : st.st_mode & 07777));
            const quint32 itemFlags = getU32(find(localFields, "FFLG")->value.constData());
            QCOMPARE(itemFlags, quint32(compress && source->second.type == 0 ? 16 : 0));
            const quint64 size = getU64(find(localFields, "FSIZ")->value.constData());

            if (source->second.type == 2) {
                QCOMPARE(size, quint64(0));
                QCOMPARE(find(localFields, "FLNK")->value, source->second.linkTarget.toUtf8());
                for (const char *absent : {"FMCT", "FMDT", "FOWN", "FGRP", "FEXA", "FEXS"})
                    QVERIFY2(!find(localFields, absent), absent);
                QVERIFY(data.isEmpty());
                continue;
            }
            QCOMPARE(getU16(find(localFields, "FOWN")->value.constData()), quint16(st.st_uid & 0xffff));
            QCOMPARE(getU16(find(localFields, "FGRP")->value.constData()), quint16(st.st_gid & 0xffff));
            const qint64 mtime = qint64(st.st_mtim.tv_sec) * 1000 + (st.st_mtim.tv_nsec + 500000) / 1000000;
            QCOMPARE(getU64(find(localFields, "FMDT")->value.constData()), quint64(mtime));
            QCOMPARE(size, quint64(st.st_size));
            QVERIFY(!find(localFields, "FLNK"));
            const Field *security = find(localFields, "FEXS");
            QCOMPARE(security != nullptr, listSet && path == withList);
            if (security)
                QCOMPARE(security->value, *VLFileMetaData::extendedSecurityOptionsOfFile(base + path));
            if (source->second.type == 1) {
                QCOMPARE(find(localFields, "FUTI")->value, QByteArray("public.folder"));
                QVERIFY(data.isEmpty());
                continue;
            }
            if (path == u"/Folder/text.txt")
                QVERIFY(find(localFields, "FEXA"));
            if (itemFlags & 16) {
                const quint64 compressedSize = getU64(find(central.fields, "FCSZ")->value.constData());
                QCOMPARE(quint64(data.size()), compressedSize);
                if (size == 0) {
                    QVERIFY(data.isEmpty());
                    continue;
                }
                bool exact = false;
                const std::optional<QByteArray> inflated = inflateWhole(data, &exact);
                QVERIFY(inflated);
                QVERIFY(exact);
                QCOMPARE(*inflated, source->second.content);
            } else {
                QCOMPARE(data, source->second.content);
            }
        }
        QCOMPARE(expectedPosition, directoryPosition);
    }

    // No items: the directory section is its key block and one block of padding, and its HMAC
    // covers the IV and the key slot alone.
    void emptyContainerBytes()
    {
        VLEncryptedArchive archive;
        RecordingDelegate delegate;
        archive.setDelegate(&delegate);
        archive.setPassword(QStringLiteral("pw"));
        const QString out = m_dir.filePath(QStringLiteral("empty.vault"));
        archive.save(out);
        QCOMPARE(delegate.lastError(), 0);
        const QByteArray file = readFile(out);
        QCOMPARE(file.size(), 4 + 48 + 16 + 126);
        const QByteArray locator = file.right(126);
        QCOMPARE(getU32(locator.constData() + 52), quint32(0x11F));
        QCOMPARE(locator.mid(92, 4), QByteArray("MSLT"));
        const QByteArray key = pbkdf2("pw", locator.mid(96, 16), 16);
        const std::optional<QByteArray> check = aes(false, key, {}, locator.mid(16, 32), false);
        QVERIFY(check);
        QCOMPARE(getU64(check->constData()), quint64(4));
        QCOMPARE(getU64(check->constData() + 8), quint64(0));
        QCOMPARE(getU64(check->constData() + 16) ^ getU64(check->constData() + 24), checkConstant);
        const std::optional<QByteArray> block = aes(false, key, {}, file.mid(4, 48), false);
        QVERIFY(block);
        const std::optional<QByteArray> plain = aes(false, block->mid(32, 16), block->mid(16, 16), file.mid(52, 16),
                                                    true);
        QVERIFY(plain);
        QVERIFY(plain->isEmpty());
        QCOMPARE(locator.mid(56, 4), QByteArray("DHMC"));
        QCOMPARE(locator.mid(60, 32), hmacSha256(block->left(16), block->mid(16, 32)));
    }

    // A container put together here from the format alone, with OpenSSL and zlib, opens and
    // restores through the engine: a writer elsewhere that follows the format is understood.
    void independentlyWrittenContainerOpens_data()
    {
        QTest::addColumn<int>("keySize");
        QTest::newRow("128") << 16;
        QTest::newRow("192") << 24;
        QTest::newRow("256") << 32;
    }

    void independentlyWrittenContainerOpens()
    {
        QFETCH(int, keySize);
        const int slotSize = keySize == 16 ? 16 : 32;
        const QByteArray salt = sampleNoise(16, 11);
        const QByteArray masterKey = pbkdf2("secret", salt, keySize);
        int seed = 20;
        // One enciphered section with its HMAC: key block, then the PKCS#7 stream.
        auto section = [&](const QByteArray &plain, QByteArray *mac) -> QByteArray {
            const QByteArray macKey = sampleNoise(16, quint32(++seed));
            const QByteArray iv = sampleNoise(16, quint32(++seed));
            const QByteArray slot = sampleNoise(slotSize, quint32(++seed));
            const QByteArray block = *aes(true, masterKey, {}, macKey + iv + slot, false);
            *mac = hmacSha256(macKey, iv + slot + plain);
            return block + *aes(true, slot.left(keySize), iv, plain, true);
        };
        const qint64 mtime = Q_INT64_C(1500000000123);
        const QByteArray content = sampleText(60000, 5);
        QByteArray packed(qsizetype(compressBound(uLong(content.size()))), '\0');
        uLongf packedSize = uLongf(packed.size());
        QCOMPARE(compress2(reinterpret_cast<Bytef *>(packed.data()), &packedSize,
                           reinterpret_cast<const Bytef *>(content.constData()), uLong(content.size()), 6),
                 Z_OK);
        packed.truncate(qsizetype(packedSize));

        const QByteArray folderCommon = QByteArray("FTYP") + '\1' + "FFLG" + u32(0) + "FSIZ" + u64(4096) + "FPRM"
                                        + u16(0750) + "FMDT" + u64(quint64(mtime)) + text16("FUTI", "public.folder")
                                        + text16("FPAT", "/Docs");
        const QByteArray fileCommon = QByteArray("FTYP") + '\0' + "FFLG" + u32(16) + "FSIZ"
                                      + u64(quint64(content.size())) + "FPRM" + u16(0640) + "FMDT" + u64(quint64(mtime))
                                      + text16("FUTI", "public.plain-text") + text16("FPAT", "/Docs/a.txt");

        QByteArray file = "NBV1";
        QByteArray folderMac, fileMac;
        const quint64 folderPosition = quint64(file.size());
        file += section(record("HDLC", padded(folderCommon)), &folderMac);
        const quint64 filePosition = quint64(file.size());
        file += section(record("HDLC", padded(fileCommon)) + packed, &fileMac);

        const QByteArray directory = record("HDDR",
                                            padded(folderCommon + "FLCT" + u64(folderPosition) + "FHMC" + folderMac))
                                     + record("HDDR", padded(fileCommon + "FLCT" + u64(filePosition) + "FHMC" + fileMac
                                                             + "FCSZ" + u64(quint64(packed.size()))));
        const quint64 directoryPosition = quint64(file.size());
        QByteArray directoryMac;
        file += section(directory, &directoryMac);

        const quint64 r = 0x0123456789abcdefULL;
        const QByteArray check = *aes(
            true, masterKey, {},
            u64(directoryPosition) + u64(quint64(directory.size())) + u64(r ^ checkConstant) + u64(r), false);
        QByteArray image = sampleNoise(96, 13);
        QByteArray storedImage = image;
        for (int i = 0; i < 16; ++i)
            storedImage += char(i);
        storedImage = *aes(true, masterKey, {}, storedImage, false);
        const quint32 keyCode = keySize == 16 ? 1 : keySize == 24 ? 2 : 3;
        QByteArray locator = QByteArray("HLCTDLVR") + u32(256) + "DLCT" + check + "DFLG" + u32(0x1F | keyCode << 8)
                             + "DHMC" + directoryMac + "MSLT" + salt + "PRWV" + u32(quint32(storedImage.size()))
                             + storedImage + text16("PSHN", "the hint") + "DLSZ";
        locator += u32(quint32(locator.size() + 4));
        file += locator;
        const QString path = m_dir.filePath(QStringLiteral("independent%1.vault").arg(keySize));
        QVERIFY(writeBytes(path, file));

        VLEncryptedArchive archive;
        RecordingDelegate delegate;
        delegate.passwords = {QStringLiteral("secret")};
        archive.setDelegate(&delegate);
        archive.openArchive(path);
        QCOMPARE(delegate.lastError(), 0);
        QCOMPARE(delegate.passwordRequests, 1);
        QCOMPARE(archive.AESKeyBits(), quint64(keySize * 8));
        QCOMPARE(archive.passwordHint(), QStringLiteral("the hint"));
        QCOMPARE(archive.preview(), std::optional<QByteArray>(image + '\0'));
        QCOMPARE(archive.fileRecords().size(), 2);
        QTemporaryDir out;
        archive.extractAllItems(out.path());
        QCOMPARE(delegate.lastError(), 0);
        QCOMPARE(delegate.hmacMismatchCount, 0);
        QCOMPARE(readFile(out.filePath(QStringLiteral("Docs/a.txt"))), content);
        struct stat st
        {
        };
        QCOMPARE(::stat(QFile::encodeName(out.filePath(QStringLiteral("Docs/a.txt"))).constData(), &st), 0);
        QCOMPARE(st.st_mode & 07777, mode_t(0640));
        QCOMPARE(qint64(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000, mtime);
        QCOMPARE(::stat(QFile::encodeName(out.filePath(QStringLiteral("Docs"))).constData(), &st), 0);
        // Its date is not looked at: the folder's chain ends before the file is made inside it.
        QCOMPARE(st.st_mode & 07777, mode_t(0750));
    }
};

QTEST_GUILESS_MAIN(TestContainerBytes)
#include "tst_containerbytes.moc"
