#include "platform/core/MachineIdentity.h"
#include "platform/core/SystemInfo.h"

#include <QRegularExpression>
#include <QTest>

class TestSystemInfo : public QObject
{
    Q_OBJECT

private slots:
    void identityIsDerivedAndNeverTheRawId()
    {
        const QByteArray id = "0123456789abcdef0123456789abcdef";
        const QString serial = platform::serialNumberForMachineId(id);
        const QString uuid = platform::hardwareUUIDForMachineId(id);
        QVERIFY(QRegularExpression(QStringLiteral("\\A[0-9A-F]{12}\\z")).match(serial).hasMatch());
        QVERIFY(QRegularExpression(QStringLiteral("\\A[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\z"))
                    .match(uuid)
                    .hasMatch());
        QVERIFY(!QString(uuid).remove(u'-').contains(QString::fromLatin1(id).toUpper().left(8)));
        QCOMPARE(platform::serialNumberForMachineId(id), serial);
        QVERIFY(platform::serialNumberForMachineId("another id") != serial);
        // The two identifiers use different labels, so one does not reveal the other.
        QVERIFY(!platform::hardwareUUIDForMachineId(id).remove(u'-').startsWith(serial));

        const auto machine = platform::machineId();
        QCOMPARE(platform::hardwareUUID().has_value(), machine.has_value());
        if (machine)
            QCOMPARE(*platform::hardwareUUID(), platform::hardwareUUIDForMachineId(*machine));
    }

    void systemVersionAndLanguages()
    {
        const platform::SystemVersion version = platform::systemVersion();
        QVERIFY(version.major > 0);
        QVERIFY(!platform::preferredLanguages().isEmpty());
        platform::setPreferredLanguagesOverride(QStringList{QStringLiteral("de-DE"), QStringLiteral("fr")});
        QCOMPARE(platform::preferredLanguages(), QStringList({QStringLiteral("de-DE"), QStringLiteral("fr")}));
        platform::setPreferredLanguagesOverride(std::nullopt);
        QVERIFY(!platform::preferredLanguages().contains(QStringLiteral("C")));
        QVERIFY(!platform::userName().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestSystemInfo)
#include "tst_systeminfo.moc"
