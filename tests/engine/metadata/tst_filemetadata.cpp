#include "engine/metadata/VLFileMetaData.h"
#include "platform/core/Log.h"
#include "platform/files/SecurityOptions.h"
#include "tests/support/AclText.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>
#include <QtEndian>

#include <cerrno>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace Security = platform::SecurityOptions;

namespace {

quint32 u32(const QByteArray &buffer, qsizetype offset)
{
    return qFromLittleEndian<quint32>(buffer.constData() + offset);
}

void putU32(QByteArray &buffer, qsizetype offset, quint32 value)
{
    qToLittleEndian(value, buffer.data() + offset);
}

QByteArray native(const QString &path)
{
    return QFile::encodeName(path);
}

bool setXattr(const QString &path, const char *name, const QByteArray &value)
{
    return ::lsetxattr(native(path).constData(), name, value.constData(), size_t(value.size()), 0) == 0;
}

QByteArray getXattr(const QString &path, const char *name)
{
    char buffer[512];
    const ssize_t size = ::lgetxattr(native(path).constData(), name, buffer, sizeof buffer);
    return size < 0 ? QByteArray("<missing>") : QByteArray(buffer, qsizetype(size));
}

// The compatibility owner and group prefixes ahead of an 8-digit big-endian ID.
const QByteArray userPrefix = QByteArray::fromHex("FFFFEEEEDDDDCCCCBBBBAAAA");
const QByteArray groupPrefix = QByteArray::fromHex("ABCDEFABCDEFABCDEFABCDEF");

QByteArray idBytes(quint32 id)
{
    QByteArray bytes(4, '\0');
    qToBigEndian(id, bytes.data());
    return bytes;
}

} // namespace

class TestFileMetaData : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QStringList m_log;
    bool m_userXattrs = false;
    bool m_acls = false;
    int m_counter = 0;

    QString makeFile(const QByteArray &content = "content")
    {
        const QString path = m_dir.filePath(QStringLiteral("file-%1").arg(++m_counter));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
            return {};
        return path;
    }

    QString makeFolder()
    {
        const QString path = m_dir.filePath(QStringLiteral("folder-%1").arg(++m_counter));
        return QDir().mkdir(path) ? path : QString();
    }

    bool logContains(const QString &text) const
    {
        return std::any_of(m_log.cbegin(), m_log.cend(), [&](const QString &line) { return line.contains(text); });
    }

    // A 4160-byte buffer with an access-control list of the given entries (UUID, flags, rights).
    static QByteArray bufferWithEntries(const QList<std::tuple<QByteArray, quint32, quint32>> &entries,
                                        const QByteArray &owner = {}, const QByteArray &group = {})
    {
        QByteArray buffer(Security::bufferSize, '\0');
        putU32(buffer, 4, Security::requestedCommonAttributes);
        putU32(buffer, 24, 40);
        putU32(buffer, 28, quint32(44 + 24 * entries.size()));
        putU32(buffer, 0, quint32(64 + 44 + 24 * entries.size()));
        buffer.replace(32, 16, owner.isEmpty() ? userPrefix + idBytes(::geteuid()) : owner);
        buffer.replace(48, 16, group.isEmpty() ? groupPrefix + idBytes(::getegid()) : group);
        putU32(buffer, 64, 0x012cc16d);
        putU32(buffer, 64 + 36, quint32(entries.size()));
        qsizetype offset = 64 + 44;
        for (const auto &[uuid, flags, rights] : entries) {
            buffer.replace(offset, 16, uuid);
            putU32(buffer, offset + 16, flags);
            putU32(buffer, offset + 20, rights);
            offset += 24;
        }
        return buffer;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        platform::setLogSink([this](const QString &line) { m_log << line; });
        const QString probe = makeFile();
        m_userXattrs = setXattr(probe, "user.probe", "1");
        m_acls = AclText::set(probe, QStringLiteral("u::rw-,u:%1:r--,g::r--,m::r--,o::---").arg(::geteuid()));
    }

    void cleanupTestCase() { platform::setLogSink({}); }

    void init() { m_log.clear(); }

    void metadataOfFile()
    {
        QVERIFY(!VLFileMetaData::metadataOfFile(QString()));

        const auto missing = VLFileMetaData::metadataOfFile(m_dir.filePath(QStringLiteral("missing")));
        QVERIFY(missing);
        QVERIFY(!missing->attributes());
        QVERIFY(!missing->extendedAttributes());
        QVERIFY(!missing->extendedSecurityOptions());
        QVERIFY(logContains(QStringLiteral("Error getting extended security options for path %1 errno %2")
                                .arg(m_dir.filePath(QStringLiteral("missing")))
                                .arg(ENOENT)));

        const QString path = makeFile("12345");
        const auto metadata = VLFileMetaData::metadataOfFile(path);
        QVERIFY(metadata);
        QCOMPARE(metadata->attributes()->size, 5u);
        QVERIFY(metadata->extendedAttributes());
        QVERIFY(metadata->extendedAttributes()->isEmpty());
        QCOMPARE(metadata->extendedSecurityOptions()->size(), 4160);
    }

    void capturesUserExtendedAttributes()
    {
        if (!m_userXattrs)
            QSKIP("the temporary folder's file system has no user extended attributes");
        const QString path = makeFile();
        QVERIFY(setXattr(path, "user.com.apple.quarantine", "0081;5e0cbbd4;Safari;"));
        QVERIFY(setXattr(path, "user.com.apple.quarantined", "kept"));
        QVERIFY(setXattr(path, "user.com.apple.FinderInfo", QByteArray(32, '\x01')));
        QVERIFY(setXattr(path, "user.empty", QByteArray()));
        QVERIFY(setXattr(path, "user.binary", QByteArrayLiteral("\0\xff\0")));

        const auto attributes = VLFileMetaData::extendedAttributesOfFile(path);
        QVERIFY(attributes);
        const VLExtendedAttributes expected{{QStringLiteral("com.apple.quarantined"), "kept"},
                                            {QStringLiteral("com.apple.FinderInfo"), QByteArray(32, '\x01')},
                                            {QStringLiteral("binary"), QByteArrayLiteral("\0\xff\0")}};
        QCOMPARE(*attributes, expected);

        QVERIFY(!VLFileMetaData::extendedAttributesOfFile(m_dir.filePath(QStringLiteral("missing"))));
    }

    void appliesExtendedAttributes()
    {
        if (!m_userXattrs)
            QSKIP("the temporary folder's file system has no user extended attributes");
        const QString path = makeFile();
        QVERIFY(VLFileMetaData::applyExtendedAttributesToFile({}, path));
        QVERIFY(VLFileMetaData::applyExtendedAttributesToFile(
            {{QStringLiteral("com.apple.FinderInfo"), "info"}, {QStringLiteral("empty"), QByteArray()}}, path));
        QCOMPARE(getXattr(path, "user.com.apple.FinderInfo"), QByteArray("info"));
        QCOMPARE(getXattr(path, "user.empty"), QByteArray());
        QVERIFY(m_log.isEmpty());
    }

    void refusedExtendedAttributesAreLoggedAndSkipped()
    {
        if (!m_userXattrs)
            QSKIP("the temporary folder's file system has no user extended attributes");
        const QString path = makeFile();
        const VLExtendedAttributes attributes{{QStringLiteral("a-huge"), QByteArray(1 << 20, 'x')},
                                              {QStringLiteral("b-small"), "fits"},
                                              {QString(), "nameless"},
                                              {QStringLiteral("b-small\0trap"), "cut"}};
        QVERIFY(!VLFileMetaData::applyExtendedAttributesToFile(attributes, path));
        QCOMPARE(getXattr(path, "user.b-small"), QByteArray("fits"));
        QVERIFY(
            logContains(QStringLiteral("[File Metadata]: can't set extended attribute a-huge for file %1").arg(path)));
        QCOMPARE(m_log.size(), 3);

        // User attributes cannot live on a link; the link's target stays untouched.
        const QString target = makeFile();
        const QString link = m_dir.filePath(QStringLiteral("xattr-link"));
        QVERIFY(QFile::link(target, link));
        QVERIFY(!VLFileMetaData::applyExtendedAttributesToFile({{QStringLiteral("x"), "y"}}, link));
        QCOMPARE(getXattr(target, "user.x"), QByteArray("<missing>"));
    }

    void securityOptionsWithoutNamedEntries()
    {
        const QString path = makeFile();
        const auto options = VLFileMetaData::extendedSecurityOptionsOfFile(path);
        QVERIFY(options);
        QCOMPARE(options->size(), 4160);
        QCOMPARE(u32(*options, 0), 64u);
        QCOMPARE(u32(*options, 4), 0x81C00000u);
        for (qsizetype offset : {8, 12, 16, 20})
            QCOMPARE(u32(*options, offset), 0u);
        QCOMPARE(u32(*options, 24), 40u);
        QCOMPARE(u32(*options, 28), 0u);
        QCOMPARE(options->mid(32, 16), userPrefix + idBytes(::geteuid()));
        QCOMPARE(options->mid(48, 16), groupPrefix + idBytes(::getegid()));
        QCOMPARE(options->mid(64), QByteArray(4160 - 64, '\0'));

        // Readers apply an empty list as nothing.
        const QString other = makeFile();
        const QString before = AclText::of(other);
        QVERIFY(VLFileMetaData::applyExtendedSecurityOptionsToFile(*options, other));
        QCOMPARE(AclText::of(other), before);
        QVERIFY(m_log.isEmpty());
    }

    void securityOptionsWithNamedEntries()
    {
        if (!m_acls)
            QSKIP("the temporary folder's file system has no POSIX ACLs");
        const quint32 uid = ::geteuid();
        const quint32 gid = ::getegid();
        const QString path = makeFile();
        // The mask takes write from the user entry, as the kernel would.
        QVERIFY(AclText::set(path, QStringLiteral("u::rw-,u:%1:rwx,g::r--,g:%2:r--,m::r-x,o::---").arg(uid).arg(gid)));

        const auto options = VLFileMetaData::extendedSecurityOptionsOfFile(path);
        QVERIFY(options);
        QCOMPARE(u32(*options, 0), 64u + 44 + 3 * 24);
        QCOMPARE(u32(*options, 24), 40u);
        QCOMPARE(u32(*options, 28), 44u + 3 * 24);
        QCOMPARE(u32(*options, 64), 0x012cc16du);
        QCOMPARE(options->mid(68, 32), QByteArray(32, '\0'));
        QCOMPARE(u32(*options, 100), 3u);
        QCOMPARE(u32(*options, 104), 0u);
        // Allow entries: read data, attributes, extended attributes, security (+ execute).
        QCOMPARE(options->mid(108, 16), userPrefix + idBytes(uid));
        QCOMPARE(u32(*options, 124), 1u);
        QCOMPARE(u32(*options, 128), 0x0A8Au);
        QCOMPARE(options->mid(132, 16), groupPrefix + idBytes(gid));
        QCOMPARE(u32(*options, 148), 1u);
        QCOMPARE(u32(*options, 152), 0x0A82u);
        // The mask grants execute, the owning group's own entry does not: a deny entry keeps that.
        QCOMPARE(options->mid(156, 16), groupPrefix + idBytes(gid));
        QCOMPARE(u32(*options, 172), 2u);
        QCOMPARE(u32(*options, 176), 0x8u);
        QCOMPARE(options->mid(180), QByteArray(4160 - 180, '\0'));

        const QString copy = makeFile();
        QVERIFY(::chmod(native(copy).constData(), 0650) == 0);
        QVERIFY(VLFileMetaData::applyExtendedSecurityOptionsToFile(*options, copy));
        QCOMPARE(AclText::of(copy), QStringLiteral("u::rw-,u:%1:r-x,g::r--,g:%2:r--,m::r-x,o::---").arg(uid).arg(gid));
        QVERIFY(m_log.isEmpty());
    }

    void folderDefaultsBecomeInheritedEntries()
    {
        if (!m_acls)
            QSKIP("the temporary folder's file system has no POSIX ACLs");
        const quint32 uid = ::geteuid();
        const QString folder = makeFolder();
        QVERIFY(
            AclText::set(folder, QStringLiteral("u::rwx,g::r-x,o::---,u:%1:rw-,m::rwx").arg(uid), ACL_TYPE_DEFAULT));

        const auto options = VLFileMetaData::extendedSecurityOptionsOfFile(folder);
        QVERIFY(options);
        QCOMPARE(u32(*options, 100), 1u);
        QCOMPARE(options->mid(108, 16), userPrefix + idBytes(uid));
        QCOMPARE(u32(*options, 124), 1u | 0x20 | 0x40 | 0x100); // allow, file and folder inherit, inherit only
        QCOMPARE(u32(*options, 128), 0x0FE6u);                  // read and write, with delete child for folders

        const QString copy = makeFolder();
        QVERIFY(::chmod(native(copy).constData(), 0750) == 0);
        QVERIFY(VLFileMetaData::applyExtendedSecurityOptionsToFile(*options, copy));
        QCOMPARE(AclText::of(copy, ACL_TYPE_DEFAULT), QStringLiteral("u::rwx,u:%1:rw-,g::r-x,m::rwx,o::---").arg(uid));
        QCOMPARE(AclText::of(copy), QStringLiteral("u::rwx,g::r-x,o::---"));

        // A file cannot hold inherit-only entries: logged and skipped.
        const QString file = makeFile();
        QVERIFY(VLFileMetaData::applyExtendedSecurityOptionsToFile(*options, file));
        QVERIFY(logContains(QStringLiteral("inherit-only on a file")));
    }

    void unmappableEntriesAreLoggedAndSkipped()
    {
        if (!m_acls)
            QSKIP("the temporary folder's file system has no POSIX ACLs");
        const quint32 uid = ::geteuid();
        const QByteArray directoryUUID = QByteArray::fromHex("5B8B1A3C7C2F4E7E9D6A2B1C3D4E5F60");
        const QByteArray options = bufferWithEntries({{userPrefix + idBytes(uid), 2, 0x10}, // deny delete
                                                      {directoryUUID, 1, 0x2},
                                                      {userPrefix + idBytes(uid), 1, 0x2 | 0x4}},
                                                     directoryUUID, directoryUUID);
        const QString path = makeFile();
        QVERIFY(::chmod(native(path).constData(), 0600) == 0);
        QVERIFY(VLFileMetaData::applyExtendedSecurityOptionsToFile(options, path));
        QCOMPARE(AclText::of(path), QStringLiteral("u::rw-,u:%1:rw-,g::---,m::rw-,o::---").arg(uid));
        QVERIFY(logContains(QStringLiteral("it is not an allow entry")));
        QVERIFY(logContains(QStringLiteral("5B8B1A3C-7C2F-4E7E-9D6A-2B1C3D4E5F60")));
        QVERIFY(logContains(QStringLiteral("owner UUID 5B8B1A3C-7C2F-4E7E-9D6A-2B1C3D4E5F60")));
        QVERIFY(logContains(QStringLiteral("group UUID 5B8B1A3C-7C2F-4E7E-9D6A-2B1C3D4E5F60")));
        QCOMPARE(m_log.size(), 4);
    }

    void securityOptionsSizesAndDamage_data()
    {
        QTest::addColumn<QByteArray>("options");
        QTest::addColumn<bool>("result");
        QTest::addColumn<QString>("logged");

        QByteArray header(32, '\0');
        putU32(header, 4, Security::requestedCommonAttributes);
        putU32(header, 24, 40);
        QByteArray notReturned = bufferWithEntries({{userPrefix + idBytes(0), 1, 2}});
        putU32(notReturned, 4, Security::ownerUUIDBit);
        QByteArray outside = bufferWithEntries({});
        putU32(outside, 24, 4150);
        QByteArray negative = bufferWithEntries({});
        putU32(negative, 24, quint32(-24));
        QByteArray tooManyEntries = bufferWithEntries({});
        putU32(tooManyEntries, 100, 1000);
        QByteArray wrongMagic = bufferWithEntries({});
        putU32(wrongMagic, 64, 0x6dc12c01);

        const QString damaged = QStringLiteral("Error setting extended security options for path");
        QTest::newRow("0 bytes") << QByteArray() << false << QString();
        QTest::newRow("31 bytes") << header.left(31) << false << QString();
        QTest::newRow("4161 bytes") << QByteArray(4161, '\0') << false << QString();
        QTest::newRow("32-byte header, empty list") << header << true << QString();
        QTest::newRow("list not returned") << notReturned << true << QString();
        QTest::newRow("list outside the buffer") << outside << false << damaged;
        QTest::newRow("list before the buffer") << negative << false << damaged;
        QTest::newRow("more entries than the list holds") << tooManyEntries << false << damaged;
        QTest::newRow("wrong magic") << wrongMagic << false << damaged;
    }

    void securityOptionsSizesAndDamage()
    {
        QFETCH(QByteArray, options);
        QFETCH(bool, result);
        QFETCH(QString, logged);
        const QString path = makeFile();
        const QString before = AclText::of(path);
        QCOMPARE(VLFileMetaData::applyExtendedSecurityOptionsToFile(options, path), result);
        QCOMPARE(AclText::of(path), before);
        if (logged.isEmpty())
            QVERIFY(m_log.isEmpty());
        else
            QVERIFY(logContains(logged + u' ' + path + QStringLiteral(" errno %1").arg(EINVAL)));
    }

    void ownerUUIDIsAppliedWithTheList()
    {
        if (!m_acls)
            QSKIP("the temporary folder's file system has no POSIX ACLs");
        const quint32 otherID = ::geteuid() == 0 ? 65534 : 0;
        const QByteArray options = bufferWithEntries({{userPrefix + idBytes(::geteuid()), 1, 0x2}},
                                                     userPrefix + idBytes(otherID), groupPrefix + idBytes(otherID));
        const QString path = makeFile();
        const bool applied = VLFileMetaData::applyExtendedSecurityOptionsToFile(options, path);
        struct stat st = {};
        QVERIFY(::lstat(native(path).constData(), &st) == 0);
        if (::geteuid() == 0) {
            QVERIFY(applied);
            QCOMPARE(st.st_uid, uid_t(otherID));
            QCOMPARE(st.st_gid, gid_t(otherID));
        } else {
            QVERIFY(!applied);
            QVERIFY(logContains(QStringLiteral("Error setting owner UUID for path %1 errno %2").arg(path).arg(EPERM)));
            QCOMPARE(st.st_uid, ::geteuid());
        }
    }

    void neverWritesThroughALink()
    {
        if (!m_acls)
            QSKIP("the temporary folder's file system has no POSIX ACLs");
        const QString target = makeFile();
        const QString link = m_dir.filePath(QStringLiteral("acl-link"));
        QVERIFY(QFile::link(target, link));
        const QString before = AclText::of(target);
        const QByteArray options = bufferWithEntries({{userPrefix + idBytes(::geteuid()), 1, 0x2}});
        QVERIFY(VLFileMetaData::applyExtendedSecurityOptionsToFile(options, link));
        QCOMPARE(AclText::of(target), before);
        QVERIFY(logContains(QStringLiteral("not applied to the symbolic link")));
    }

    // Metadata captured from a link and applied to another link dates the link itself and
    // leaves what it points to alone.
    void linksAreRestoredAsLinks()
    {
        const QString target = makeFile();
        QVERIFY(::chmod(native(target).constData(), 0640) == 0);
        if (m_acls)
            QVERIFY(AclText::set(target, QStringLiteral("u::rw-,u:%1:r--,g::r--,m::r--,o::---").arg(::geteuid())));
        const QString source = m_dir.filePath(QStringLiteral("source-link"));
        QVERIFY(QFile::link(target, source));
        platform::FileAttributes dated;
        dated.modificationDate = QDateTime::fromMSecsSinceEpoch(Q_INT64_C(1111111111111), QTimeZone::utc());
        QCOMPARE(platform::setAttributesOfItemAtPath(dated, source), VLError());

        const auto metadata = VLFileMetaData::metadataOfFile(source);
        QVERIFY(metadata);
        QCOMPARE(metadata->attributes()->type, platform::FileType::SymbolicLink);
        QVERIFY(metadata->extendedAttributes() && metadata->extendedAttributes()->isEmpty());

        const QString other = makeFile();
        const QString copy = m_dir.filePath(QStringLiteral("copied-link"));
        QVERIFY(QFile::link(other, copy));
        const auto otherBefore = platform::attributesOfItemAtPath(other);
        const QString otherACL = AclText::of(other);
        metadata->applyToFileAtPath(copy);

        QCOMPARE(platform::attributesOfItemAtPath(copy)->modificationDate->toMSecsSinceEpoch(),
                 Q_INT64_C(1111111111111));
        const auto otherAfter = platform::attributesOfItemAtPath(other);
        QCOMPARE(otherAfter->posixPermissions, otherBefore->posixPermissions);
        QCOMPARE(otherAfter->modificationDate, otherBefore->modificationDate);
        QCOMPARE(AclText::of(other), otherACL);
    }

    void appliesEverythingInOrder()
    {
        const QString source = makeFile();
        QVERIFY(::chmod(native(source).constData(), 0604) == 0);
        if (m_userXattrs)
            QVERIFY(setXattr(source, "user.note", "hello"));
        if (m_acls)
            QVERIFY(AclText::set(source, QStringLiteral("u::rw-,u:%1:r--,g::---,m::r--,o::r--").arg(::geteuid())));
        platform::FileAttributes dated = *platform::attributesOfItemAtPath(source);
        dated.modificationDate = QDateTime::fromMSecsSinceEpoch(Q_INT64_C(1234567890123), QTimeZone::utc());
        QCOMPARE(platform::setAttributesOfItemAtPath(dated, source), VLError());

        const auto metadata = VLFileMetaData::metadataOfFile(source);
        QVERIFY(metadata);
        const QString copy = makeFile();
        metadata->applyToFileAtPath(copy);

        const auto attributes = platform::attributesOfItemAtPath(copy);
        QCOMPARE(attributes->posixPermissions, quint16(m_acls ? 0644 : 0604)); // the mask shows as group bits
        QCOMPARE(attributes->modificationDate->toMSecsSinceEpoch(), Q_INT64_C(1234567890123));
        if (m_userXattrs)
            QCOMPARE(getXattr(copy, "user.note"), QByteArray("hello"));
        if (m_acls)
            QCOMPARE(AclText::of(copy), AclText::of(source));
    }
};

QTEST_GUILESS_MAIN(TestFileMetaData)
#include "tst_filemetadata.moc"
