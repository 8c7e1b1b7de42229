#include "platform/core/Library.h"
#include "platform/core/Log.h"
#include "platform/core/VLError.h"

#include <QFileInfo>
#include <QStandardPaths>
#include <QTest>

#include <cerrno>

class TestPlatformCore : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        platform::setApplicationIdentity();
    }

    void libraryFoldersArePrivate()
    {
        const QString temp = platform::libraryFolder(QStringLiteral("Temp"));
        QVERIFY(!temp.isEmpty());
        QVERIFY(temp.startsWith(platform::libraryPath()));
        const QFileInfo info(temp);
        QVERIFY(info.isDir());
        QCOMPARE(info.permissions() & ~(QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser),
                 QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }

    void logLinesReachTheSink()
    {
        QStringList lines;
        platform::setLogSink([&lines](const QString &line) { lines << line; });
        platform::log(QStringLiteral("Warning! something"));
        platform::setLogSink({});
        QCOMPARE(lines, QStringList{QStringLiteral("Warning! something")});
    }

    void errorsAreValues()
    {
        QVERIFY(VLError().isNull());
        const VLError error = VLError::posix(ENOENT);
        QVERIFY(error);
        QCOMPARE(error.domain(), VLError::posixDomain);
        QCOMPARE(error.code(), qint64(ENOENT));
        QVERIFY(error.description().contains(QStringLiteral("No such file")));
        const QVariant wrapped = QVariant::fromValue(error);
        QCOMPARE(wrapped.value<VLError>(), error);
    }
};

QTEST_GUILESS_MAIN(TestPlatformCore)
#include "tst_platformcore.moc"
