#include "engine/archive/VLEncryptedArchiveItem.h"
#include "engine/archive/VLTypeIdentifier.h"

#include <QFile>
#include <QMimeDatabase>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

namespace {

using Fields = VLEncryptedArchiveItem::Fields;

platform::FileAttributes someAttributes()
{
    platform::FileAttributes a;
    a.type = platform::FileType::Regular;
    a.size = 12;
    a.posixPermissions = 0644;
    a.ownerAccountID = 501;
    a.groupAccountID = 20;
    a.creationDate = QDateTime::fromMSecsSinceEpoch(1700000000123, Qt::UTC);
    a.modificationDate = QDateTime::fromMSecsSinceEpoch(1700000000456, Qt::UTC);
    a.referenceCount = 1;
    a.systemNumber = 2049;
    a.systemFileNumber = 77;
    return a;
}

// A value for every field, the rare ones included.
Fields everyField()
{
    Fields f;
    f.path = QStringLiteral("/tree/notes.txt");
    f.realPath = QStringLiteral("/source/tree/notes.txt");
    f.attributes = someAttributes();
    f.extendedAttributes = {{QStringLiteral("com.example.tag"), QByteArray("red")}};
    f.extendedSecurityOptions = QByteArray(4160, '\x01');
    f.uti = QStringLiteral("public.plain-text");
    f.linkDestination = QStringLiteral("../elsewhere");
    f.size = 12;
    f.localHeaderPosition = 1ULL << 40;
    f.fileDataPosition = 1ULL << 41;
    f.compressed = true;
    f.compressedSize = 9;
    f.hmac = QByteArray(32, 'h');
    return f;
}

void compareFields(const Fields &seen, const Fields &expected)
{
    QCOMPARE(seen.path, expected.path);
    QCOMPARE(seen.realPath, expected.realPath);
    QVERIFY(seen.attributes == expected.attributes);
    QCOMPARE(seen.extendedAttributes, expected.extendedAttributes);
    QCOMPARE(seen.extendedSecurityOptions, expected.extendedSecurityOptions);
    QCOMPARE(seen.extendedSecurityOptions.isNull(), expected.extendedSecurityOptions.isNull());
    QCOMPARE(seen.uti, expected.uti);
    QCOMPARE(seen.uti.isNull(), expected.uti.isNull());
    QCOMPARE(seen.linkDestination, expected.linkDestination);
    QCOMPARE(seen.size, expected.size);
    QCOMPARE(seen.localHeaderPosition, expected.localHeaderPosition);
    QCOMPARE(seen.fileDataPosition, expected.fileDataPosition);
    QCOMPARE(seen.compressed, expected.compressed);
    QCOMPARE(seen.compressedSize, expected.compressedSize);
    QCOMPARE(seen.hmac, expected.hmac);
}

void setEach(VLEncryptedArchiveItem &record, const Fields &f)
{
    record.setPath(f.path);
    record.setRealPath(f.realPath);
    record.setAttributes(f.attributes);
    record.setExtendedAttributes(f.extendedAttributes);
    record.setExtendedSecurityOptions(f.extendedSecurityOptions);
    record.setUTI(f.uti);
    record.setLinkDestination(f.linkDestination);
    record.setSize(f.size);
    record.setLocalHeaderPosition(f.localHeaderPosition);
    record.setFileDataPosition(f.fileDataPosition);
    record.setCompressed(f.compressed);
    record.setCompressedSize(f.compressedSize);
    record.setHmac(f.hmac);
}

} // namespace

Q_DECLARE_METATYPE(platform::FileAttributes)

// An item record keeps the fields most items never carry apart from the rest, and its type
// identifier in a table that all records share: what goes in comes back out, alone or together,
// from any thread.
class TestArchiveItem : public QObject
{
    Q_OBJECT

private slots:
    void everyFieldComesBack_data()
    {
        QTest::addColumn<bool>("throughUpdate");
        QTest::addColumn<bool>("rareFields");
        QTest::newRow("setters, every field") << false << true;
        QTest::newRow("update, every field") << true << true;
        QTest::newRow("setters, common fields") << false << false;
        QTest::newRow("update, common fields") << true << false;
    }

    void everyFieldComesBack()
    {
        QFETCH(bool, throughUpdate);
        QFETCH(bool, rareFields);
        Fields expected = everyField();
        if (!rareFields) {
            expected.extendedAttributes.clear();
            expected.extendedSecurityOptions = QByteArray();
            expected.linkDestination.reset();
            expected.fileDataPosition = 0;
        }
        VLEncryptedArchiveItem record;
        if (throughUpdate)
            record.update([&](Fields &f) { f = expected; });
        else
            setEach(record, expected);
        compareFields(record.fields(), expected);
        QCOMPARE(record.UTI(), expected.uti);
        QCOMPARE(record.linkDestination(), expected.linkDestination);
        QCOMPARE(record.extendedAttributes(), expected.extendedAttributes);
        QCOMPARE(record.fileDataPosition(), expected.fileDataPosition);
        QCOMPARE(record.fileType(), expected.attributes.type);
    }

    // A path comes back as it went in, whichever characters it holds, and the real path made of a
    // folder and the path with it.
    void everyPathComesBack_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("null") << QString();
        QTest::newRow("empty") << QString(u""_qs);
        QTest::newRow("plain") << u"/d0000/d000/f000000.txt"_qs;
        QTest::newRow("Latin-1") << u"/Bücher/ÿ-é.txt"_qs;
        QTest::newRow("starts with the last Latin-1 character") << u"ÿ/a"_qs;
        QTest::newRow("beyond Latin-1") << u"/日本語/файл.txt"_qs;
        QTest::newRow("surrogate pair") << u"/a/\U0001F600.png"_qs;
        QTest::newRow("lone surrogate") << u"/a/x"_qs + QChar(0xd800);
        QTest::newRow("a zero character") << u"/a"_qs + QChar(0) + u"b"_qs;
        QTest::newRow("long") << u"/"_qs + QString(5000, QChar(0xe9));
    }

    void everyPathComesBack()
    {
        QFETCH(QString, path);
        VLEncryptedArchiveItem record;
        record.setPath(path);
        QCOMPARE(record.path(), path);
        QCOMPARE(record.path().isNull(), path.isNull());
        QCOMPARE(record.fields().path, path);
        record.setRealPathBelowFolder(u"/tmp/wörk"_qs);
        QCOMPARE(record.realPath(), u"/tmp/wörk"_qs + path);
        QCOMPARE(record.path(), path);
    }

    // Sizes and positions are kept in 32 bits where they fit: every 64-bit value comes back, beside
    // the others, and a value that fits again after one that did not is kept as before.
    void widePositionsComeBack_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<quint64>("value");
        const char *names[] = {"size", "local header position", "compressed size"};
        for (int field = 0; field < 3; ++field) {
            for (const quint64 value :
                 {quint64(0), quint64(0xfffffffe), quint64(0xffffffff), quint64(1) << 32, ~quint64(0)})
                QTest::addRow("%s %llx", names[field], static_cast<unsigned long long>(value)) << field << value;
        }
    }

    void widePositionsComeBack()
    {
        QFETCH(int, field);
        QFETCH(quint64, value);
        const Fields expected = everyField();
        VLEncryptedArchiveItem record;
        setEach(record, expected);
        const auto set = [&](quint64 v) {
            if (field == 0)
                record.setSize(v);
            else if (field == 1)
                record.setLocalHeaderPosition(v);
            else
                record.setCompressedSize(v);
        };
        const auto get = [&] {
            return field == 0 ? record.size() : field == 1 ? record.localHeaderPosition() : record.compressedSize();
        };
        set(value);
        QCOMPARE(get(), value);
        Fields changed = expected;
        (field == 0 ? changed.size : field == 1 ? changed.localHeaderPosition : changed.compressedSize) = value;
        compareFields(record.fields(), changed);
        // The attributes keep their own size whatever the record's.
        QCOMPARE(record.attributes().size, expected.attributes.size);

        set(field == 0 ? expected.size : field == 1 ? expected.localHeaderPosition : expected.compressedSize);
        compareFields(record.fields(), expected);
        record.update([&](Fields &f) { f = changed; });
        compareFields(record.fields(), changed);
    }

    // Records below more folders than are numbered keep each real path of their own.
    void everyFolderKeepsItsRecords()
    {
        std::vector<std::unique_ptr<VLEncryptedArchiveItem>> records;
        for (int i = 0; i < 70000; ++i) {
            records.push_back(std::make_unique<VLEncryptedArchiveItem>());
            records.back()->setPathBelowFolder(u"/f.txt"_qs, u"/tmp/folder-"_qs + QString::number(i));
        }
        for (int i = 0; i < 70000; i += 997) {
            QCOMPARE(records[std::size_t(i)]->realPath(), u"/tmp/folder-"_qs + QString::number(i) + u"/f.txt"_qs);
            QCOMPARE(records[std::size_t(i)]->path(), u"/f.txt"_qs);
        }
        QCOMPARE(records.back()->realPath(), u"/tmp/folder-69999/f.txt"_qs);
        records.back()->setPath(u"/g.txt"_qs); // the real path stays
        QCOMPARE(records.back()->realPath(), u"/tmp/folder-69999/f.txt"_qs);
    }

    // A rare field set and cleared again, alone or beside another, leaves every other field as it
    // was; clearing one rare field keeps the other.
    void rareFieldComesAndGoes_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("withAnother");
        for (const char *name : {"extended attributes", "security", "link", "short hmac", "empty hmac", "long type",
                                 "file data position"}) {
            QTest::addRow("%s", name) << QString::fromLatin1(name) << false;
            QTest::addRow("%s beside a link", name) << QString::fromLatin1(name) << true;
        }
    }

    void rareFieldComesAndGoes()
    {
        QFETCH(QString, name);
        QFETCH(bool, withAnother);
        const QString longType = QStringLiteral("com.example.") + QString(300, u'x');
        const auto setRare = [&](VLEncryptedArchiveItem &r, bool on) {
            if (name == u"extended attributes")
                r.setExtendedAttributes(on ? everyField().extendedAttributes : VLExtendedAttributes());
            else if (name == u"security")
                r.setExtendedSecurityOptions(on ? everyField().extendedSecurityOptions : QByteArray());
            else if (name == u"link")
                r.setLinkDestination(on ? std::optional<QString>(QStringLiteral("target")) : std::nullopt);
            else if (name == u"short hmac")
                r.setHmac(on ? QByteArray(5, 's') : QByteArray(32, 'h'));
            else if (name == u"empty hmac")
                r.setHmac(on ? std::optional<QByteArray>(QByteArray())
                             : std::optional<QByteArray>(QByteArray(32, 'h')));
            else if (name == u"long type")
                r.setUTI(on ? longType : QStringLiteral("public.plain-text"));
            else
                r.setFileDataPosition(on ? 4096 : 0);
        };

        Fields expected = everyField();
        expected.extendedAttributes.clear();
        expected.extendedSecurityOptions = QByteArray();
        expected.fileDataPosition = 0;
        if (!withAnother || name == u"link")
            expected.linkDestination.reset();
        VLEncryptedArchiveItem record;
        setEach(record, expected);

        setRare(record, true);
        const Fields carrying = record.fields();
        if (name == u"extended attributes")
            QCOMPARE(carrying.extendedAttributes, everyField().extendedAttributes);
        else if (name == u"security")
            QCOMPARE(carrying.extendedSecurityOptions, everyField().extendedSecurityOptions);
        else if (name == u"link")
            QCOMPARE(carrying.linkDestination, std::optional<QString>(QStringLiteral("target")));
        else if (name == u"short hmac")
            QCOMPARE(carrying.hmac, std::optional<QByteArray>(QByteArray(5, 's')));
        else if (name == u"empty hmac")
            QCOMPARE(carrying.hmac, std::optional<QByteArray>(QByteArray()));
        else if (name == u"long type")
            QCOMPARE(carrying.uti, longType);
        else
            QCOMPARE(carrying.fileDataPosition, quint64(4096));
        QCOMPARE(carrying.path, expected.path);
        QCOMPARE(carrying.size, expected.size);
        QVERIFY(carrying.attributes == expected.attributes);
        if (withAnother && name != u"link")
            QCOMPARE(carrying.linkDestination, expected.linkDestination);

        setRare(record, false);
        compareFields(record.fields(), expected);
    }

    // Every value the attributes can hold comes back, each field also absent on its own.
    void attributesComeBack_data()
    {
        QTest::addColumn<platform::FileAttributes>("attributes");
        QTest::newRow("none") << platform::FileAttributes();
        QTest::newRow("a file's") << someAttributes();
        platform::FileAttributes widest;
        widest.type = platform::FileType::Unknown;
        widest.size = ~0ULL;
        widest.posixPermissions = 0xffff;
        widest.ownerAccountID = 0xffffffffU;
        widest.groupAccountID = 0xfffffffeU;
        widest.creationDate = QDateTime::fromMSecsSinceEpoch(-62135596800000LL, Qt::UTC); // year 1
        widest.modificationDate = QDateTime::fromMSecsSinceEpoch(253402300799999LL, Qt::UTC);
        widest.referenceCount = ~0ULL - 1;
        widest.systemNumber = 0x8000000000000001ULL;
        widest.systemFileNumber = ~0ULL;
        QTest::newRow("widest values") << widest;
        QTest::newRow("before the epoch") << [] {
            platform::FileAttributes a = someAttributes();
            a.modificationDate = QDateTime::fromMSecsSinceEpoch(-1, Qt::UTC);
            return a;
        }();
        const auto without = [](void (*drop)(platform::FileAttributes &)) {
            platform::FileAttributes a = someAttributes();
            drop(a);
            return a;
        };
        QTest::newRow("no type") << without([](platform::FileAttributes &a) { a.type.reset(); });
        QTest::newRow("no size") << without([](platform::FileAttributes &a) { a.size.reset(); });
        QTest::newRow("no permissions") << without([](platform::FileAttributes &a) { a.posixPermissions.reset(); });
        QTest::newRow("no owner") << without([](platform::FileAttributes &a) { a.ownerAccountID.reset(); });
        QTest::newRow("no group") << without([](platform::FileAttributes &a) { a.groupAccountID.reset(); });
        QTest::newRow("no creation") << without([](platform::FileAttributes &a) { a.creationDate.reset(); });
        QTest::newRow("no modification") << without([](platform::FileAttributes &a) { a.modificationDate.reset(); });
        QTest::newRow("no references") << without([](platform::FileAttributes &a) { a.referenceCount.reset(); });
        QTest::newRow("no device") << without([](platform::FileAttributes &a) { a.systemNumber.reset(); });
        QTest::newRow("no inode") << without([](platform::FileAttributes &a) { a.systemFileNumber.reset(); });
        for (const platform::FileType type :
             {platform::FileType::Directory, platform::FileType::SymbolicLink, platform::FileType::Fifo}) {
            platform::FileAttributes a = someAttributes();
            a.type = type;
            QTest::addRow("type %d", int(type)) << a;
        }
    }

    void attributesComeBack()
    {
        QFETCH(platform::FileAttributes, attributes);
        VLEncryptedArchiveItem record;
        record.setAttributes(attributes);
        const platform::FileAttributes back = record.attributes();
        QCOMPARE(back.type, attributes.type);
        QCOMPARE(back.size, attributes.size);
        QCOMPARE(back.posixPermissions, attributes.posixPermissions);
        QCOMPARE(back.ownerAccountID, attributes.ownerAccountID);
        QCOMPARE(back.groupAccountID, attributes.groupAccountID);
        QCOMPARE(back.creationDate, attributes.creationDate);
        QCOMPARE(back.modificationDate, attributes.modificationDate);
        QCOMPARE(back.referenceCount, attributes.referenceCount);
        QCOMPARE(back.systemNumber, attributes.systemNumber);
        QCOMPARE(back.systemFileNumber, attributes.systemFileNumber);
        QCOMPARE(record.fileType(), attributes.type);
    }

    // The attributes' size and the record's are two fields, mostly equal: changing either keeps
    // the other, whichever order they come in.
    void attributeSizeIsItsOwn()
    {
        VLEncryptedArchiveItem record;
        record.setAttributes(someAttributes()); // size 12
        record.setSize(12);
        record.setSize(20); // the file grew while it was read
        QCOMPARE(record.size(), quint64(20));
        QCOMPARE(record.attributes().size, std::optional<quint64>(12));
        record.setSize(12);
        QCOMPARE(record.attributes().size, std::optional<quint64>(12));

        record.update([](Fields &f) {
            f.size = 30;
            f.attributes.size = 31;
        });
        QCOMPARE(record.fields().size, quint64(30));
        QCOMPARE(record.fields().attributes.size, std::optional<quint64>(31));
        record.update([](Fields &f) { f.size = 31; });
        QCOMPARE(record.attributes().size, std::optional<quint64>(31));
        record.update([](Fields &f) { f.attributes.size.reset(); });
        QCOMPARE(record.attributes().size, std::nullopt);
        QCOMPARE(record.size(), quint64(31));
        record.setSize(0);
        QCOMPARE(record.attributes().size, std::nullopt);

        platform::FileAttributes empty = someAttributes();
        empty.size = 0;
        record.setAttributes(empty);
        QCOMPARE(record.attributes().size, std::optional<quint64>(0));
        record.setSize(5);
        QCOMPARE(record.attributes().size, std::optional<quint64>(0));
    }

    void attributesDropWhatIsNotKept()
    {
        platform::FileAttributes a = someAttributes();
        a.ownerAccountName = QStringLiteral("someone");
        a.groupOwnerAccountName = QStringLiteral("staff");
        a.creationDate = QDateTime();
        VLEncryptedArchiveItem record;
        record.setAttributes(a);
        const platform::FileAttributes back = record.attributes();
        QVERIFY(!back.ownerAccountName);
        QVERIFY(!back.groupOwnerAccountName);
        QVERIFY(!back.creationDate);
        QCOMPARE(back.modificationDate, a.modificationDate);
    }

    void typeIdentifierTexts_data()
    {
        QTest::addColumn<QString>("uti");
        QTest::newRow("null") << QString();
        QTest::newRow("empty") << QStringLiteral("");
        QTest::newRow("a public one") << QStringLiteral("public.jpeg");
        QTest::newRow("longer than the table keeps") << QString(129, u'u');
        QTest::newRow("not ASCII") << QStringLiteral("com.example.\u00e9t\u00e9");
    }

    void typeIdentifierTexts()
    {
        QFETCH(QString, uti);
        VLEncryptedArchiveItem record;
        record.setUTI(QStringLiteral("public.data"));
        record.setUTI(uti);
        QCOMPARE(record.UTI(), uti);
        QCOMPARE(record.UTI().isNull(), uti.isNull());
        QCOMPARE(record.fields().uti, uti);
        QCOMPARE(record.fields().uti.isNull(), uti.isNull());
    }

    // Records of a tree made and read on several threads at once: types derived from the names
    // on first read, rare fields set and cleared while other threads read whole snapshots.
    void recordsReadAndChangedFromSeveralThreads()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QList<std::pair<QString, QString>> named = {
            {QStringLiteral("a.txt"), QStringLiteral("public.plain-text")},
            {QStringLiteral("b.png"), QStringLiteral("public.png")},
            {QStringLiteral("c.pdf"), QStringLiteral("com.adobe.pdf")},
            {QStringLiteral("d.zqx"), QStringLiteral("zqx")},
            {QStringLiteral("e"), QString()}};
        std::vector<VLEncryptedArchiveItemPtr> records;
        for (int copy = 0; copy < 40; ++copy) {
            for (const auto &[name, uti] : named) {
                QFile file(dir.filePath(name));
                QVERIFY(file.open(QIODevice::WriteOnly));
                file.close();
                records.push_back(VLEncryptedArchiveItem::itemFromPathError(dir.filePath(name)));
                QVERIFY(records.back());
            }
        }

        std::atomic<bool> wrong = false;
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t) {
            threads.emplace_back([&, t] {
                for (std::size_t i = 0; i < records.size(); ++i) {
                    const std::size_t at = (i + std::size_t(t) * 37) % records.size();
                    if (records[at]->UTI() != named.at(qsizetype(at % std::size_t(named.size()))).second)
                        wrong = true;
                }
            });
        }
        // The rare fields come and go together: no snapshot holds one without the other.
        const VLEncryptedArchiveItemPtr changing = records.front();
        threads.emplace_back([&] {
            for (int i = 0; i < 5000; ++i) {
                const Fields seen = changing->fields();
                if (seen.linkDestination.has_value() != !seen.extendedAttributes.isEmpty()
                    || seen.hmac.has_value() != seen.linkDestination.has_value())
                    wrong = true;
            }
        });
        for (int i = 0; i < 5000; ++i) {
            changing->update([i](Fields &f) {
                const bool on = i % 2 == 0;
                f.linkDestination = on ? std::optional<QString>(QStringLiteral("t")) : std::nullopt;
                f.extendedAttributes = on ? VLExtendedAttributes{{QStringLiteral("k"), QByteArray("v")}}
                                          : VLExtendedAttributes();
                f.hmac = on ? std::optional<QByteArray>(QByteArray(i % 4 == 0 ? 32 : 3, 'h')) : std::nullopt;
            });
        }
        for (std::thread &thread : threads)
            thread.join();
        QVERIFY(!wrong);
    }

    // Each thread keeps the type of an extension once met; a name that a pattern other than its
    // extension's could match (a double extension, a whole name, a prefix, a numbered suffix)
    // still gets its own type, whichever names came first. Every name is checked against its
    // answer on a thread that has met no other.
    void typeIdentifiersDoNotDependOnTheNamesMetBefore()
    {
        QStringList names = {QStringLiteral("x.gz"),       QStringLiteral("archive.tar.gz"),
                             QStringLiteral("a.txt"),      QStringLiteral("CMakeLists.txt"),
                             QStringLiteral("README.txt"), QStringLiteral("readme.md"),
                             QStringLiteral("a.am"),       QStringLiteral("Makefile.am"),
                             QStringLiteral("a.1"),        QStringLiteral("libfoo.so.1"),
                             QStringLiteral("file.c"),     QStringLiteral("file.C"),
                             QStringLiteral("notes.txt~"), QStringLiteral(".bashrc"),
                             QStringLiteral("a.vdr"),      QStringLiteral("001.vdr"),
                             QStringLiteral("x.json"),     QStringLiteral("map.geo.json"),
                             QStringLiteral("photo.JPG"),  QStringLiteral("photo.jpg"),
                             QStringLiteral("Photo.jpeg"), QStringLiteral("plain"),
                             QStringLiteral("a.v"),        QStringLiteral("a.c,v")};
        // A name for each of the database's own patterns, and one of its extension beside it.
        for (const QMimeType &type : QMimeDatabase().allMimeTypes()) {
            for (QString pattern : type.globPatterns()) {
                pattern.replace(QRegularExpression(QStringLiteral("\\[(.)[^]]*\\]")), QStringLiteral("\\1"));
                pattern.replace(u'?', u'a');
                names << QString(pattern).replace(u'*', QStringLiteral("name"));
                const qsizetype dot = pattern.lastIndexOf(u'.');
                if (dot >= 0)
                    names << QStringLiteral("other") + pattern.mid(dot);
            }
        }
        names.removeDuplicates();
        QVERIFY(names.size() > 500);

        QStringList alone;
        for (const QString &name : std::as_const(names)) {
            QString type;
            std::thread([&] { type = VLTypeIdentifierForPath(u"/folder/" + name, false); }).join();
            alone << type;
        }
        for (const bool reversed : {false, true}) {
            QStringList inTurn(names.size());
            std::thread([&] {
                for (qsizetype k = 0; k < names.size(); ++k) {
                    const qsizetype i = reversed ? names.size() - 1 - k : k;
                    inTurn[i] = VLTypeIdentifierForPath(u"/folder/" + names[i], false);
                }
            }).join();
            for (qsizetype i = 0; i < names.size(); ++i)
                QVERIFY2(inTurn[i] == alone[i], qPrintable(names[i] + u": " + inTurn[i] + u" / " + alone[i]));
        }
        QCOMPARE(VLTypeIdentifierForPath(QStringLiteral("/f/archive.tar.gz"), false),
                 alone[names.indexOf(QStringLiteral("archive.tar.gz"))]);
        QVERIFY(alone[names.indexOf(QStringLiteral("x.gz"))] != alone[names.indexOf(QStringLiteral("archive.tar.gz"))]);
    }

    // Once the shared table is full, further identifiers are still kept, each by its record.
    void moreTypeIdentifiersThanTheTableKeeps()
    {
        std::vector<std::unique_ptr<VLEncryptedArchiveItem>> records;
        for (int i = 0; i < 1500; ++i) {
            records.push_back(std::make_unique<VLEncryptedArchiveItem>());
            records.back()->setUTI(QStringLiteral("com.example.kind%1").arg(i));
        }
        for (int i = 0; i < 1500; ++i)
            QCOMPARE(records[std::size_t(i)]->UTI(), QStringLiteral("com.example.kind%1").arg(i));
    }
};

QTEST_GUILESS_MAIN(TestArchiveItem)
#include "tst_archiveitem.moc"
