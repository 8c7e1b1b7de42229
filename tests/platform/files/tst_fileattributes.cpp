#include "platform/core/Log.h"
#include "platform/files/FileAttributes.h"
#include "tests/support/UnprivilegedScope.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using platform::FileAttributes;
using platform::FileType;

class TestFileAttributes : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString makeFile(const QString &name, const QByteArray &content = "content")
    {
        const QString path = m_dir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
            return {};
        return path;
    }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void readsTypesWithoutFollowingLinks()
    {
        const QString file = makeFile(QStringLiteral("file"), "12345");
        const QString link = m_dir.filePath(QStringLiteral("link"));
        QVERIFY(QFile::link(file, link));

        const auto fileAttributes = platform::attributesOfItemAtPath(file);
        QVERIFY(fileAttributes);
        QCOMPARE(fileAttributes->type, FileType::Regular);
        QCOMPARE(fileAttributes->size, 5u);
        QCOMPARE(fileAttributes->ownerAccountID, quint32(::geteuid()));
        QCOMPARE(fileAttributes->groupAccountID, quint32(::getegid()));
        QVERIFY(fileAttributes->ownerAccountName && !fileAttributes->ownerAccountName->isEmpty());
        QVERIFY(fileAttributes->modificationDate && fileAttributes->modificationDate->isValid());
        QCOMPARE(fileAttributes->referenceCount, 1u);
        // Birth times come where the file system records them (ext4, btrfs, xfs, tmpfs do).
        if (fileAttributes->creationDate)
            QVERIFY(qAbs(fileAttributes->creationDate->secsTo(QDateTime::currentDateTimeUtc())) < 3600);
        QVERIFY(fileAttributes->systemFileNumber.value_or(0) != 0);

        const auto linkAttributes = platform::attributesOfItemAtPath(link);
        QVERIFY(linkAttributes);
        QCOMPARE(linkAttributes->type, FileType::SymbolicLink);
        QCOMPARE(linkAttributes->size, quint64(file.toUtf8().size()));
        QVERIFY(linkAttributes->systemFileNumber != fileAttributes->systemFileNumber);

        const auto folder = platform::attributesOfItemAtPath(m_dir.path());
        QVERIFY(folder);
        QCOMPARE(folder->type, FileType::Directory);
    }

    void missingItemGivesThePosixError()
    {
        VLError error;
        QVERIFY(!platform::attributesOfItemAtPath(m_dir.filePath(QStringLiteral("missing")), &error));
        QCOMPARE(error.domain(), VLError::posixDomain);
        QCOMPARE(error.code(), qint64(ENOENT));
    }

    void roundTripsPermissionsAndDates_data()
    {
        QTest::addColumn<quint16>("permissions");
        QTest::addColumn<qint64>("msecs");
        QTest::newRow("0600, milliseconds") << quint16(0600) << Q_INT64_C(1700000000123);
        QTest::newRow("0755, before 1970") << quint16(0755) << Q_INT64_C(-86400001);
        QTest::newRow("set-id and sticky") << quint16(07751) << Q_INT64_C(946684800999);
        QTest::newRow("no permissions") << quint16(0) << Q_INT64_C(0);
    }

    void roundTripsPermissionsAndDates()
    {
        QFETCH(quint16, permissions);
        QFETCH(qint64, msecs);
        const QString path = makeFile(QStringLiteral("dated-%1").arg(permissions, 0, 8));
        QVERIFY(!path.isEmpty());

        FileAttributes wanted;
        wanted.posixPermissions = permissions;
        wanted.modificationDate = QDateTime::fromMSecsSinceEpoch(msecs, QTimeZone::utc());
        QCOMPARE(platform::setAttributesOfItemAtPath(wanted, path), VLError());

        const auto read = platform::attributesOfItemAtPath(path);
        QVERIFY(read);
        QCOMPARE(read->posixPermissions, permissions);
        QCOMPARE(read->modificationDate->toMSecsSinceEpoch(), msecs);
    }

    void datesAreRoundedToTheNearestMillisecond_data()
    {
        QTest::addColumn<long>("nanoseconds");
        QTest::addColumn<qint64>("msecs");
        QTest::newRow("down") << 123499999L << Q_INT64_C(1600000000123);
        QTest::newRow("up") << 123500000L << Q_INT64_C(1600000000124);
        QTest::newRow("into the next second") << 999600000L << Q_INT64_C(1600000001000);
    }

    void datesAreRoundedToTheNearestMillisecond()
    {
        QFETCH(long, nanoseconds);
        QFETCH(qint64, msecs);
        const QString path = makeFile(QStringLiteral("fine-%1").arg(nanoseconds));
        QVERIFY(!path.isEmpty());
        struct timespec times[2] = {{1600000000, nanoseconds}, {1600000000, nanoseconds}};
        QVERIFY(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0) == 0);
        const auto read = platform::attributesOfItemAtPath(path);
        QVERIFY(read && read->modificationDate);
        QCOMPARE(read->modificationDate->toMSecsSinceEpoch(), msecs);
    }

    void appliesOnlyPresentFields()
    {
        const QString path = makeFile(QStringLiteral("partial"));
        QVERIFY(::chmod(QFile::encodeName(path).constData(), 0640) == 0);
        const auto before = platform::attributesOfItemAtPath(path);
        QVERIFY(before);

        FileAttributes wanted;
        wanted.modificationDate = QDateTime::fromMSecsSinceEpoch(Q_INT64_C(1600000000500), QTimeZone::utc());
        QCOMPARE(platform::setAttributesOfItemAtPath(wanted, path), VLError());
        const auto after = platform::attributesOfItemAtPath(path);
        QCOMPARE(after->posixPermissions, quint16(0640));
        QCOMPARE(after->ownerAccountID, before->ownerAccountID);
        QCOMPARE(after->modificationDate->toMSecsSinceEpoch(), Q_INT64_C(1600000000500));
    }

    void linksKeepTheirTargetUntouched()
    {
        const QString target = makeFile(QStringLiteral("target"));
        QVERIFY(::chmod(QFile::encodeName(target).constData(), 0644) == 0);
        const QString link = m_dir.filePath(QStringLiteral("target-link"));
        QVERIFY(QFile::link(target, link));
        const auto targetBefore = platform::attributesOfItemAtPath(target);

        FileAttributes wanted;
        wanted.posixPermissions = 0600;
        wanted.ownerAccountID = quint32(::geteuid());
        wanted.modificationDate = QDateTime::fromMSecsSinceEpoch(Q_INT64_C(1500000000250), QTimeZone::utc());
        QCOMPARE(platform::setAttributesOfItemAtPath(wanted, link), VLError());

        QCOMPARE(platform::attributesOfItemAtPath(link)->modificationDate->toMSecsSinceEpoch(),
                 Q_INT64_C(1500000000250));
        const auto targetAfter = platform::attributesOfItemAtPath(target);
        QCOMPARE(targetAfter->posixPermissions, quint16(0644));
        QCOMPARE(targetAfter->modificationDate, targetBefore->modificationDate);
    }

    void appliesOwnerAndGroup()
    {
        const QString path = makeFile(QStringLiteral("owned"));
        FileAttributes own;
        own.ownerAccountID = quint32(::geteuid());
        own.groupAccountID = quint32(::getegid());
        QCOMPARE(platform::setAttributesOfItemAtPath(own, path), VLError());

        // Root can give the file away; anyone else is refused.
        const quint32 otherID = ::geteuid() == 0 ? 65534 : 0;
        FileAttributes other;
        other.ownerAccountID = otherID;
        other.groupAccountID = otherID;
        other.posixPermissions = 04755;
        const VLError error = platform::setAttributesOfItemAtPath(other, path);
        const auto read = platform::attributesOfItemAtPath(path);
        if (::geteuid() == 0) {
            QCOMPARE(error, VLError());
            QCOMPARE(read->ownerAccountID, otherID);
            QCOMPARE(read->groupAccountID, otherID);
            // The permissions follow the owner change, so its clearing of set-id bits does not stick.
            QCOMPARE(read->posixPermissions, quint16(04755));
        } else {
            QCOMPARE(error, VLError::posix(EPERM));
            QCOMPARE(read->ownerAccountID, quint32(::geteuid()));
        }
    }

    // An ordinary user may not give an item away; its permissions and date are applied all the
    // same, and the refusal is logged.
    void aRefusedOwnerLeavesTheRestApplied()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("given"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        UnprivilegedScope unprivileged({dir.path()});
        if (!unprivileged.isEffective())
            QSKIP("the superuser could not step down to an ordinary user");
        QStringList lines;
        platform::setLogSink([&lines](const QString &line) { lines << line; });
        FileAttributes wanted;
        wanted.ownerAccountID = 0;
        wanted.groupAccountID = 0;
        wanted.posixPermissions = 0444;
        wanted.modificationDate = QDateTime::fromMSecsSinceEpoch(Q_INT64_C(1400000000500), QTimeZone::utc());
        const VLError error = platform::setAttributesOfItemAtPath(wanted, path);
        platform::setLogSink({});
        QCOMPARE(error, VLError::posix(EPERM));
        const auto read = platform::attributesOfItemAtPath(path);
        QVERIFY(read);
        QCOMPARE(read->ownerAccountID, quint32(::geteuid()));
        QCOMPARE(read->posixPermissions, quint16(0444));
        QCOMPARE(read->modificationDate, wanted.modificationDate);
        QCOMPARE(lines.size(), 1);
        QVERIFY2(lines.first().contains(QStringLiteral("can't set the owner of ") + path), qPrintable(lines.first()));
    }

    void missingItemFailsToApply()
    {
        FileAttributes wanted;
        wanted.posixPermissions = 0600;
        QCOMPARE(platform::setAttributesOfItemAtPath(wanted, m_dir.filePath(QStringLiteral("missing"))),
                 VLError::posix(ENOENT));
    }
};

QTEST_GUILESS_MAIN(TestFileAttributes)
#include "tst_fileattributes.moc"
