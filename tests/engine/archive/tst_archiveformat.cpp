#include "ArchiveTestSupport.h"

#include "engine/archive/VLArchiveBytes.h"
#include "engine/archive/VLHeaderRecords.h"
#include "platform/files/KeyedArchive.h"

#include <QTemporaryDir>

#include <atomic>
#include <thread>

using namespace VLArchiveBytes;

namespace {

QByteArray field(const char (&name)[5])
{
    QByteArray out;
    putTag(out, tag(name));
    return out;
}

// The locator of a container file, cut from its end.
QByteArray locatorOf(const QByteArray &container)
{
    const quint32 length = getU32(container.constData() + container.size() - 4);
    return container.right(length);
}

} // namespace

class TestArchiveFormat : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString saveOne(const QString &name, const QByteArray &content,
                    const std::function<void(VLEncryptedArchive &)> &setup)
    {
        const QString source = m_dir.filePath(name + u"/src/item.txt");
        writeFile(source, content);
        VLEncryptedArchive archive;
        RecordingDelegate delegate;
        archive.setDelegate(&delegate);
        setup(archive);
        archive.addItemFromRoot(source);
        const QString out = m_dir.filePath(name + u".vault");
        archive.save(out);
        if (!delegate.errors.isEmpty())
            qWarning() << delegate.events;
        return out;
    }

private slots:
    void locatorRoundTripAndSizes()
    {
        VLEncryptedArchiveDirectoryLocator plain;
        plain.setFlags(0x110);
        plain.setDirectoryPosition(4);
        plain.setDirectorySize(123);
        plain.setPasswordHint(QStringLiteral("héllo"));
        QByteArray bytes = plain.save();
        QCOMPARE(bytes.size(), 70 + QStringLiteral("héllo").toUtf8().size());
        QCOMPARE(bytes.left(8), QByteArray("HLCTDLVR"));
        QCOMPARE(getU32(bytes.constData() + 8), quint32(256));
        QCOMPARE(bytes.right(8).left(4), QByteArray("DLSZ"));
        QCOMPARE(getU32(bytes.constData() + bytes.size() - 4), quint32(bytes.size()));

        VLEncryptedArchiveDirectoryLocator full;
        full.setFlags(0x11F);
        full.setHmac(QByteArray(32, 'h'));
        full.setSalt(QByteArray(16, 's'));
        full.setPreview(QByteArray(20, 'p'));
        full.setPasswordHint({});
        bytes = full.save();
        QCOMPARE(bytes.size(), 126 + 8 + 20);

        VLEncryptedArchiveDirectoryLocator read;
        QVERIFY(read.load(bytes));
        QCOMPARE(read.flags(), quint32(0x11F));
        QCOMPARE(read.hmac(), QByteArray(32, 'h'));
        QCOMPARE(read.salt(), QByteArray(16, 's'));
        QCOMPARE(read.preview(), QByteArray(20, 'p'));
        QCOMPARE(read.passwordHint(), QString());
        QVERIFY(read.load(plain.save()));
        QCOMPARE(read.directorySize(), quint64(123));
        QCOMPARE(read.passwordHint(), QStringLiteral("héllo"));
        QVERIFY(read.salt().isEmpty());
    }

    void locatorRefusals_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        VLEncryptedArchiveDirectoryLocator good;
        good.setFlags(0x11F);
        good.setHmac(QByteArray(32, 'h'));
        good.setSalt(QByteArray(16, 's'));
        const QByteArray valid = good.save();

        QTest::newRow("short") << valid.left(11);
        QByteArray wrongTag = valid;
        wrongTag[0] = 'X';
        QTest::newRow("no HLCT") << wrongTag;
        QTest::newRow("cut before flags") << valid.left(50);
        VLEncryptedArchiveDirectoryLocator noHmac;
        noHmac.setFlags(0x11F);
        noHmac.setSalt(QByteArray(16, 's'));
        QTest::newRow("bit 3 without DHMC") << noHmac.save();
        VLEncryptedArchiveDirectoryLocator noSalt;
        noSalt.setFlags(0x101);
        QTest::newRow("encrypted without MSLT") << noSalt.save();
        QTest::newRow("hint cut") << valid.left(valid.size() - 9);
        VLEncryptedArchiveDirectoryLocator badHint;
        badHint.setFlags(0x100);
        QByteArray badUtf8 = badHint.save();
        badUtf8.insert(badUtf8.size() - 8, "\xc3");
        badUtf8[badUtf8.size() - 8 - 3] = 1; // hint length 1
        QTest::newRow("hint not UTF-8") << badUtf8;
    }

    void locatorRefusals()
    {
        QFETCH(QByteArray, bytes);
        VLEncryptedArchiveDirectoryLocator locator;
        QVERIFY(!locator.load(bytes));
    }

    void plainLocatorNeedsNoSalt()
    {
        VLEncryptedArchiveDirectoryLocator locator;
        locator.setFlags(0x110);
        VLEncryptedArchiveDirectoryLocator read;
        QVERIFY(read.load(locator.save()));
    }

    void defaultContainerLayout()
    {
        const QString path = saveOne(QStringLiteral("default"), "content",
                                     [](VLEncryptedArchive &archive) { archive.setPassword(QStringLiteral("pw")); });
        const QByteArray bytes = readFile(path);
        QCOMPARE(bytes.left(4), QByteArray("NBV1"));
        VLEncryptedArchiveDirectoryLocator locator;
        QVERIFY(locator.load(locatorOf(bytes)));
        QCOMPARE(locator.flags(), quint32(0x11F));
        QCOMPARE(locator.version(), quint32(256));
        QCOMPARE(bytes.right(8).left(4), QByteArray("DLSZ"));
        QCOMPARE(locator.salt().size(), 16);
        QCOMPARE(locator.hmac().size(), 32);
        // The check values are sealed: no plain "RESERVE1" relation is visible.
        QVERIFY((locator.reserved1() ^ locator.reserved2()) != 0x3145565245534552ULL);
    }

    void keyBlockSizes_data()
    {
        QTest::addColumn<int>("bits");
        QTest::addColumn<bool>("hmac");
        QTest::addColumn<int>("keyBlock");
        QTest::addColumn<quint32>("keyCode");
        QTest::newRow("128 hmac") << 128 << true << 48 << quint32(1);
        QTest::newRow("128 plain") << 128 << false << 32 << quint32(1);
        QTest::newRow("192 hmac") << 192 << true << 64 << quint32(2);
        QTest::newRow("192 plain") << 192 << false << 48 << quint32(2);
        QTest::newRow("256 hmac") << 256 << true << 64 << quint32(3);
        QTest::newRow("256 plain") << 256 << false << 48 << quint32(3);
    }

    void keyBlockSizes()
    {
        QFETCH(int, bits);
        QFETCH(bool, hmac);
        QFETCH(int, keyBlock);
        QFETCH(quint32, keyCode);
        // Without any encryption the directory position tells the plain section's length.
        const QString plainPath = saveOne(QStringLiteral("plain%1%2").arg(bits).arg(hmac), {},
                                          [](VLEncryptedArchive &a) {
                                              a.setEncryptFiles(false);
                                              a.setEncryptDirectory(false);
                                              a.setCalculateFilesHmac(false);
                                              a.setCalculateDirectoryHmac(false);
                                          });
        VLEncryptedArchiveDirectoryLocator plain;
        QVERIFY(plain.load(locatorOf(readFile(plainPath))));
        const quint64 record = plain.directoryPosition() - 4;

        // Enciphered items only: the directory position stays plain.
        const QString path = saveOne(QStringLiteral("files%1%2").arg(bits).arg(hmac), {}, [=](VLEncryptedArchive &a) {
            a.setEncryptDirectory(false);
            a.setCalculateDirectoryHmac(false);
            a.setCalculateFilesHmac(hmac);
            a.setAESKeyBits(quint64(bits));
            a.setPassword(QStringLiteral("pw"));
        });
        VLEncryptedArchiveDirectoryLocator locator;
        QVERIFY(locator.load(locatorOf(readFile(path))));
        QCOMPARE((locator.flags() >> 8) & 0xff, keyCode);
        // An empty compressed file: the header record alone, padded by PKCS#7 (a whole block when aligned).
        const quint64 stream = (record / 16 + 1) * 16;
        QCOMPARE(locator.directoryPosition(), 4 + quint64(keyBlock) + stream);
    }

    void paddingField()
    {
        for (quint64 size = 1; size <= 48; ++size) {
            const QByteArray padding = VLHeaderRecords::paddingField(size);
            if (size % 16 == 0) {
                QVERIFY(padding.isEmpty());
                continue;
            }
            QCOMPARE((size + quint64(padding.size())) % 16, quint64(0));
            QCOMPARE(padding.left(4), QByteArray("FPDN"));
            QCOMPARE(quint64(getU16(padding.constData() + 4)), quint64(padding.size() - 6));
            QVERIFY(padding.size() >= 7 && padding.size() <= 22);
        }
        QCOMPARE(VLHeaderRecords::paddingField(26).size(), 22); // n = 16
    }

    void previewPadding_data()
    {
        QTest::addColumn<int>("length");
        QTest::addColumn<bool>("encrypted");
        QTest::addColumn<int>("stored");
        QTest::addColumn<int>("readBack");
        QTest::newRow("100") << 100 << true << 112 << 101;
        QTest::newRow("96") << 96 << true << 112 << 97;
        QTest::newRow("1") << 1 << true << 16 << 2;
        QTest::newRow("plain") << 100 << false << 100 << 100;
    }

    void previewPadding()
    {
        QFETCH(int, length);
        QFETCH(bool, encrypted);
        QFETCH(int, stored);
        QFETCH(int, readBack);
        const QByteArray image = sampleNoise(length, 3);
        const QString path = saveOne(QStringLiteral("preview%1%2").arg(length).arg(encrypted), "x",
                                     [&](VLEncryptedArchive &a) {
                                         a.setPreview(image);
                                         a.setPassword(QStringLiteral("pw"));
                                         if (!encrypted) {
                                             a.setEncryptFiles(false);
                                             a.setEncryptDirectory(false);
                                             a.setCalculateFilesHmac(false);
                                             a.setCalculateDirectoryHmac(false);
                                         }
                                     });
        VLEncryptedArchiveDirectoryLocator locator;
        QVERIFY(locator.load(locatorOf(readFile(path))));
        QCOMPARE(locator.preview().size(), stored);

        VLEncryptedArchive archive;
        RecordingDelegate delegate;
        openWith(archive, delegate, path, QStringLiteral("pw"));
        QCOMPARE(delegate.lastError(), 0);
        QVERIFY(archive.preview());
        QCOMPARE(archive.preview()->size(), readBack);
        QCOMPARE(archive.preview()->left(length), image);
        if (readBack > length)
            QCOMPARE(archive.preview()->back(), '\0');
    }

    void recordParsing_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("empty") << QByteArray() << true;
        QTest::newRow("two bytes") << QByteArray("FT") << false;
        QTest::newRow("unknown tag") << field("XXXX") + u32(1) << false;
        QTest::newRow("type 3") << field("FTYP") + QByteArray(1, '\3') << false;
        QTest::newRow("type 2") << field("FTYP") + QByteArray(1, '\2') << true;
        QTest::newRow("value past end") << field("FSIZ") + u32(1) << false;
        QTest::newRow("stray bytes") << field("FPRM") + u16(0644) + QByteArray(3, 'x') << false;
        QTest::newRow("path not UTF-8") << field("FPAT") + u16(2) + QByteArray("\xff\xfe") << false;
        QTest::newRow("text past end") << field("FPAT") + u16(9) + QByteArray("/a") << false;
        QTest::newRow("padding") << field("FPDN") + u16(3) + QByteArray("abc") << true;
        QTest::newRow("FEXA not an archive") << field("FEXA") + u32(3) + QByteArray("abc") << false;
        QTest::newRow("hmac short") << field("FHMC") + QByteArray(31, 'h') << false;
    }

    void recordParsing()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, accepted);
        auto record = std::make_shared<VLEncryptedArchiveItem>();
        QCOMPARE(VLHeaderRecords::load(record, content), accepted);
    }

    void recordFieldsOverrideAndMerge()
    {
        auto record = std::make_shared<VLEncryptedArchiveItem>();
        const QByteArray first = platform::KeyedArchive::archivedDataWithRootObject({{QStringLiteral("a"), "1"}});
        QVERIFY(VLHeaderRecords::load(record, field("FPAT") + u16(2) + "/a" + field("FSIZ") + u64(5) + field("FEXA")
                                                  + u32(quint32(first.size())) + first));
        const QByteArray second = platform::KeyedArchive::archivedDataWithRootObject({{QStringLiteral("b"), "2"}});
        QVERIFY(VLHeaderRecords::load(record, field("FPAT") + u16(2) + "/b" + field("FFLG") + u32(16) + field("FCSZ")
                                                  + u64(3) + field("FMDT") + u64(1500) + field("FEXA")
                                                  + u32(quint32(second.size())) + second));
        QCOMPARE(record->path(), QStringLiteral("/b"));
        QCOMPARE(record->size(), quint64(5));
        QVERIFY(record->compressed());
        QCOMPARE(record->compressedSize(), quint64(3));
        QCOMPARE(record->attributes().modificationDate->toMSecsSinceEpoch(), qint64(1500));
        QCOMPARE(record->extendedAttributes().size(), 2);
    }

    // A path is found in its exact spelling first, then as the first record entered under any
    // spelling of it, whichever of the two spellings came first.
    void recordLookupByCase_data()
    {
        QTest::addColumn<QStringList>("entered");
        QTest::addColumn<QString>("asked");
        QTest::addColumn<int>("found"); // index into entered, -1 for none
        const QStringList lowerFirst{QStringLiteral("/a/b.txt"), QStringLiteral("/A/b.txt")};
        const QStringList upperFirst{QStringLiteral("/A/b.txt"), QStringLiteral("/a/b.txt")};
        QTest::newRow("lower first, exact lower") << lowerFirst << QStringLiteral("/a/b.txt") << 0;
        QTest::newRow("lower first, exact upper") << lowerFirst << QStringLiteral("/A/b.txt") << 1;
        QTest::newRow("lower first, other case") << lowerFirst << QStringLiteral("/A/B.TXT") << 0;
        QTest::newRow("upper first, other case") << upperFirst << QStringLiteral("/A/B.TXT") << 0;
        QTest::newRow("upper first, exact lower") << upperFirst << QStringLiteral("/a/b.txt") << 1;
        QTest::newRow("lower only, other case") << QStringList{QStringLiteral("/a")} << QStringLiteral("/A") << 0;
        QTest::newRow("upper only, lower asked") << QStringList{QStringLiteral("/Ab")} << QStringLiteral("/ab") << 0;
        QTest::newRow("none") << lowerFirst << QStringLiteral("/a/c.txt") << -1;
        QTest::newRow("Latin-1, other case") << QStringList{u"/Ärger/Éa"_qs} << u"/äRGER/éA"_qs << 0;
        QTest::newRow("Greek, other case") << QStringList{u"/ΣΟΦΙΑ"_qs} << u"/σοφια"_qs << 0;
        // Beyond the first plane a character and its other case are each a surrogate pair.
        QTest::newRow("Deseret, other case") << QStringList{u"/\U00010400x"_qs} << u"/\U00010428X"_qs << 0;
        QTest::newRow("upper first, then another upper spelling")
            << QStringList{u"/Dir/F"_qs, u"/DIR/f"_qs} << u"/dir/f"_qs << 0;
        QTest::newRow("second upper spelling, exact") << QStringList{u"/Dir/F"_qs, u"/DIR/f"_qs} << u"/DIR/f"_qs << 1;
    }

    void recordLookupByCase()
    {
        QFETCH(QStringList, entered);
        QFETCH(QString, asked);
        QFETCH(int, found);
        VLEncryptedArchive archive;
        QList<VLEncryptedArchiveItemPtr> records;
        for (const QString &path : entered) {
            records.append(std::make_shared<VLEncryptedArchiveItem>());
            records.last()->setPath(path);
            archive.addToDirectory(records.last());
        }
        QCOMPARE(archive.recordAtPath(asked), found < 0 ? nullptr : records.at(found));
    }

    // Every one of many paths finds its own record; a path entered again replaces its record in
    // its place, and its folder lists both.
    void recordsAreFoundAmongManyAndReplacedInPlace()
    {
        VLEncryptedArchive archive;
        QList<VLEncryptedArchiveItemPtr> records;
        for (int i = 0; i < 5000; ++i) {
            records.append(std::make_shared<VLEncryptedArchiveItem>());
            records.last()->setPath(QStringLiteral("/d%1/%2%3.txt")
                                        .arg(QString::number(i / 100),
                                             i % 2 ? QStringLiteral("F") : QStringLiteral("f"), QString::number(i)));
            archive.addToDirectory(records.last());
        }
        auto again = std::make_shared<VLEncryptedArchiveItem>();
        again->setPath(records.at(1234)->path());
        archive.addToDirectory(again);
        records[1234] = again;
        QCOMPARE(archive.fileRecords(), records);
        for (int i = 0; i < records.size(); ++i) {
            QCOMPARE(archive.recordAtPath(records.at(i)->path()), records.at(i));
            QCOMPARE(archive.recordAtPath(records.at(i)->path().toUpper()), records.at(i));
        }
        QVERIFY(!archive.recordAtPath(QStringLiteral("/d1/f5000.txt")));
        QCOMPARE(archive.childRecordsAtPath(QStringLiteral("/D12")).size(), 101);
    }

    void recordKeepsItsHmac_data()
    {
        QTest::addColumn<bool>("present");
        QTest::addColumn<QByteArray>("hmac");
        QTest::newRow("none") << false << QByteArray();
        QTest::newRow("a section's") << true << sampleNoise(32);
        QTest::newRow("shorter") << true << QByteArray(5, 'h');
        QTest::newRow("empty") << true << QByteArray();
    }

    void recordKeepsItsHmac()
    {
        QFETCH(bool, present);
        QFETCH(QByteArray, hmac);
        const std::optional<QByteArray> value = present ? std::optional<QByteArray>(hmac) : std::nullopt;
        VLEncryptedArchiveItem record;
        record.setHmac(QByteArray(32, 'x'));
        record.setHmac(value);
        QCOMPARE(record.hmac().has_value(), present);
        QCOMPARE(record.hmac().value_or(QByteArray()), hmac);
    }

    void recordFieldsChangeTogether()
    {
        VLEncryptedArchiveItem record;
        record.setRealPath(QStringLiteral("/source/tree"));
        record.setPath(QStringLiteral("/tree"));
        record.setRealPathBelowFolder(QStringLiteral("/source"));
        record.update([](VLEncryptedArchiveItem::Fields &fields) {
            fields.path = QStringLiteral("/renamed");
            fields.hmac = QByteArray(32, 'h');
        });
        const VLEncryptedArchiveItem::Fields fields = record.fields();
        QCOMPARE(fields.path, QStringLiteral("/renamed"));
        QCOMPARE(fields.realPath, QStringLiteral("/source/tree"));
        QCOMPARE(fields.hmac, std::optional<QByteArray>(QByteArray(32, 'h')));

        // A reader never sees the size of one update with the compressed size of another.
        std::atomic<bool> torn = false;
        std::thread reader([&] {
            for (int i = 0; i < 20000; ++i) {
                const VLEncryptedArchiveItem::Fields seen = record.fields();
                if (seen.size != seen.compressedSize)
                    torn = true;
            }
        });
        for (quint64 i = 0; i < 20000; ++i)
            record.update([i](VLEncryptedArchiveItem::Fields &changed) {
                changed.size = i;
                changed.compressedSize = i;
            });
        reader.join();
        QVERIFY(!torn);

        VLEncryptedArchiveDirectoryLocator locator;
        locator.update([](VLEncryptedArchiveDirectoryLocator::Fields &changed) {
            changed.directoryPosition = 7;
            changed.directorySize = 9;
        });
        QCOMPARE(locator.fields().directoryPosition, quint64(7));
        QCOMPARE(locator.directorySize(), quint64(9));
    }

    void commonFieldsOfALink()
    {
        const QString target = m_dir.filePath(QStringLiteral("linkdir/target"));
        writeFile(target, "t");
        const QString link = m_dir.filePath(QStringLiteral("linkdir/link"));
        QVERIFY(QFile::link(QStringLiteral("target"), link));
        const VLEncryptedArchiveItemPtr item = VLEncryptedArchiveItem::itemFromPathError(link);
        QVERIFY(item);
        QCOMPARE(item->linkDestination(), std::optional<QString>(QStringLiteral("target")));
        item->setPath(QStringLiteral("/link"));
        const QByteArray fields = *VLHeaderRecords::commonFields(item);
        QVERIFY(fields.startsWith(QByteArray(field("FTYP") + QByteArray(1, '\2'))));
        QVERIFY(fields.contains(QByteArray(field("FSIZ") + u64(0))));
        QVERIFY(fields.contains(QByteArray(field("FPRM") + u16(0))));
        QVERIFY(!fields.contains("FMDT"));
        QVERIFY(!fields.contains("FMCT"));
        QVERIFY(!fields.contains("FOWN"));
        QVERIFY(!fields.contains("FGRP"));
        QVERIFY(fields.endsWith(QByteArray(field("FPAT") + u16(5) + "/link")));
        item->setPath({});
        QVERIFY(!VLHeaderRecords::commonFields(item));
    }

    void longTextsAreCutAtACharacterBoundary()
    {
        const QString text = QString(32767, u'a') + QStringLiteral("ééé");
        const QByteArray cut = utf8Cut(text, 65535);
        QVERIFY(cut.size() <= 65535);
        QVERIFY(decodeUtf8(cut.constData(), cut.size()));
    }

    void emptyCompressedFileHasNoData()
    {
        const QString path = saveOne(QStringLiteral("empty"), {},
                                     [](VLEncryptedArchive &a) { a.setPassword(QStringLiteral("pw")); });
        VLEncryptedArchive archive;
        RecordingDelegate delegate;
        openWith(archive, delegate, path, QStringLiteral("pw"));
        QCOMPARE(archive.fileRecords().size(), 1);
        const VLEncryptedArchiveItemPtr record = archive.fileRecords().first();
        QVERIFY(record->compressed());
        QCOMPARE(record->compressedSize(), quint64(0));
        QCOMPARE(record->UTI(), QStringLiteral("public.plain-text"));
    }

    // A container kept from an earlier build: the format must keep reading it.
    void storedContainerStillReads()
    {
        const QString fixture = QStringLiteral(VAULTINE_TEST_DATA_DIR "/archive/greetings.vault");
        VLEncryptedArchive archive;
        RecordingDelegate delegate;
        openWith(archive, delegate, fixture, QStringLiteral("vaultine"));
        QCOMPARE(delegate.events.last(), QStringLiteral("finished EncryptedArchiveOperationOpening"));
        QCOMPARE(archive.passwordHint(), QStringLiteral("the usual"));
        QCOMPARE(archive.childRecordsAtPath().size(), 1);
        QVERIFY(archive.recordAtPath(QStringLiteral("/greetings/hello.txt")));
        QTemporaryDir out;
        archive.extractAllItems(out.path());
        QCOMPARE(delegate.lastError(), 0);
        QCOMPARE(readFile(out.filePath(QStringLiteral("Greetings/hello.txt"))), QByteArray("Hello, Vaultine!\n"));
        QCOMPARE(QFile::symLinkTarget(out.filePath(QStringLiteral("Greetings/link"))),
                 out.filePath(QStringLiteral("Greetings/hello.txt")));
    }
};

QTEST_GUILESS_MAIN(TestArchiveFormat)
#include "tst_archiveformat.moc"
