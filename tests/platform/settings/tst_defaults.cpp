#include "platform/settings/Defaults.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using platform::Defaults;

class TestDefaults : public QObject
{
    Q_OBJECT

private slots:
    void registeredValuesAnswerUntilAValueIsStored()
    {
        QTemporaryDir dir;
        Defaults defaults(dir.filePath(QStringLiteral("d.ini")));
        defaults.registerDefaults(
            {{QStringLiteral("NBPrivacyPolicyAccepted"), false}, {QStringLiteral("QuennetLaunchCount"), 0}});
        QCOMPARE(defaults.value(QStringLiteral("NBPrivacyPolicyAccepted")), QVariant(false));
        QVERIFY(!defaults.contains(QStringLiteral("NBPrivacyPolicyAccepted")));
        QVERIFY(!defaults.value(QStringLiteral("Unknown")).isValid());

        defaults.setValue(QStringLiteral("NBPrivacyPolicyAccepted"), true);
        QVERIFY(defaults.contains(QStringLiteral("NBPrivacyPolicyAccepted")));
        QVERIFY(defaults.boolValue(QStringLiteral("NBPrivacyPolicyAccepted")));
        defaults.remove(QStringLiteral("NBPrivacyPolicyAccepted"));
        QVERIFY(!defaults.contains(QStringLiteral("NBPrivacyPolicyAccepted")));
        QVERIFY(!defaults.boolValue(QStringLiteral("NBPrivacyPolicyAccepted")));
    }

    void valuesSurviveAReload()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("d.ini"));
        {
            Defaults defaults(file);
            defaults.setValue(QStringLiteral("VLTrackApp"), false);
            defaults.setValue(QStringLiteral("QuennetLaunchCount"), 3);
            defaults.setValue(QStringLiteral("ABTesterValues"), QString());
            defaults.synchronize();
        }
        Defaults reloaded(file);
        QVERIFY(reloaded.contains(QStringLiteral("VLTrackApp")));
        QVERIFY(!reloaded.boolValue(QStringLiteral("VLTrackApp")));
        QCOMPARE(reloaded.integerValue(QStringLiteral("QuennetLaunchCount")), 3);
        QVERIFY(reloaded.contains(QStringLiteral("ABTesterValues")));
        QCOMPARE(reloaded.stringValue(QStringLiteral("ABTesterValues")), QString());
    }

    void everyChangeIsAnnounced()
    {
        QTemporaryDir dir;
        Defaults defaults(dir.filePath(QStringLiteral("d.ini")));
        QSignalSpy spy(&defaults, &Defaults::changed);
        bool valueInPlace = false;
        connect(&defaults, &Defaults::changed, this,
                [&](const QString &key) { valueInPlace = key == u"VLTrackApp" && defaults.boolValue(key); });
        defaults.setValue(QStringLiteral("VLTrackApp"), true);
        QVERIFY(valueInPlace);
        defaults.remove(QStringLiteral("VLTrackApp"));
        QCOMPARE(spy.size(), 2);
        QCOMPARE(spy.at(0).at(0).toString(), QStringLiteral("VLTrackApp"));
        QCOMPARE(spy.at(1).at(0).toString(), QStringLiteral("VLTrackApp"));
    }

    void standardDefaultsLiveInTheUserConfiguration()
    {
        Defaults::standard().setValue(QStringLiteral("ShowDebugMenu"), true);
        Defaults::standard().synchronize();
        const QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
        if (config.isEmpty())
            QSKIP("runs under ctest, which points XDG_CONFIG_HOME at the build tree");
        QVERIFY(QFile::exists(config + QStringLiteral("/nimbrel/Vaultine.conf")));
        Defaults::standard().remove(QStringLiteral("ShowDebugMenu"));
    }
};

QTEST_GUILESS_MAIN(TestDefaults)
#include "tst_defaults.moc"
