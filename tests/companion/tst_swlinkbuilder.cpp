#include "companion/SWLinkBuilder.h"
#include "tests/companion/TestEnvironment.h"

#include <QTest>

namespace {

QStringList languages(int count)
{
    const QStringList all = {QStringLiteral("de-DE"), QStringLiteral("en"), QStringLiteral("fr"), QStringLiteral("it"),
                             QStringLiteral("ja")};
    return all.mid(0, count);
}

} // namespace

class TestSWLinkBuilder : public QObject
{
    Q_OBJECT

private slots:
    void helpLinks_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("languageCount");
        QTest::addColumn<QString>("lang");
        QTest::newRow("faq, one language") << QStringLiteral("faq") << 1 << QStringLiteral("de-DE");
        QTest::newRow("suggestfeature, three")
            << QStringLiteral("suggestfeature") << 3 << QStringLiteral("de-DE%2Cen%2Cfr");
        QTest::newRow("feedback, four") << QStringLiteral("feedback") << 4 << QStringLiteral("de-DE%2Cen%2Cfr");
        QTest::newRow("support, five") << QStringLiteral("support") << 5 << QStringLiteral("de-DE%2Cen%2Cfr");
        QTest::newRow("faq, none") << QStringLiteral("faq") << 0 << QString();
    }

    void helpLinks()
    {
        QFETCH(QString, action);
        QFETCH(int, languageCount);
        QFETCH(QString, lang);
        const SWTrackingEnvironment environment = testEnvironment(languages(languageCount));
        const QUrl link = SWLinkBuilder::standartTdsURLWithAction(action, environment);
        QVERIFY(link.isValid());
        QCOMPARE(QString::fromLatin1(link.toEncoded()),
                 QStringLiteral("http://tds.example.com/index.php?4&action=") + action
                     + QStringLiteral("&product=Vaultine&version=100&os=12.4.1&lang=") + lang);
        QCOMPARE(Registration::vl_preferredLanguages(environment),
                 languages(languageCount >= 4 ? 3 : languageCount).join(u','));
    }

    void parameterValuesAreEscapedByteExactly()
    {
        const QUrl link = SWLinkBuilder::tdsURLWithActionParams(
            QStringLiteral("productpage"),
            {{QStringLiteral("name"), QStringLiteral("a b&c+d#e=f\u2013")}, {QStringLiteral("id"), 7}},
            testEnvironment());
        QCOMPARE(link.toEncoded(), QByteArrayLiteral("http://tds.example.com/index.php?4&action=productpage&id=7"
                                                     "&name=a%20b%26c%2Bd%23e%3Df%E2%80%93"));
        QCOMPARE(SWLinkBuilder::tdsURLWithAction(QStringLiteral("nimbrelsite"), testEnvironment()).toEncoded(),
                 QByteArrayLiteral("http://tds.example.com/index.php?4&action=nimbrelsite"));

        SWTrackingEnvironment odd = testEnvironment({QStringLiteral("en&x=1")});
        odd.productName = QStringLiteral("Vault+ine");
        QCOMPARE(SWLinkBuilder::standardParameters(odd),
                 QStringLiteral("product=Vault%2Bine&version=100&os=12.4.1&lang=en%26x%3D1"));
    }

    void giveAwayIdentifier()
    {
        const SWTrackingEnvironment environment = testEnvironment();
        // Base64 of "<uuid>|" + md5("<uuid>saltsalt9").
        const QString expected = QStringLiteral(
            "MTIzNDU2NzgtOTBBQi1DREVGLTEyMzQtNTY3ODkwQUJDREVGfGM1YWRiMWY4OTNjMzZjYjRlNjMxNTg3MzQ4YzcxMGU1");
        QCOMPARE(SWLinkBuilder::CLHParam(environment), expected);
        QCOMPARE(QString::fromLatin1(QByteArray::fromBase64(expected.toLatin1())),
                 QStringLiteral("12345678-90AB-CDEF-1234-567890ABCDEF|c5adb1f893c36cb4e631587348c710e5"));
        QCOMPARE(SWLinkBuilder::tdsURLGiveAwayAction(environment).toEncoded(),
                 QByteArrayLiteral("http://tds.example.com/index.php?4&action=giveaway&product=Vaultine&version=100"
                                   "&os=12.4.1&lang=de-DE%2Cen&giveawayID=")
                     + expected.toLatin1());

        SWTrackingEnvironment otherSalt = environment;
        otherSalt.linkSalt = QStringLiteral("pepper123");
        QVERIFY(SWLinkBuilder::CLHParam(otherSalt) != expected);

        // The machine's own identifier is the same on every call.
        QCOMPARE(SWLinkBuilder::CLHParam(), SWLinkBuilder::CLHParam());
        QCOMPARE(SWTrackingEnvironment::defaultLinkSalt().size(), 9);
    }

    void missingFacts()
    {
        SWTrackingEnvironment environment = testEnvironment();
        environment.hardwareUUID.reset();
        environment.systemVersion.reset();
        QCOMPARE(SWLinkBuilder::hardwareUUID(environment), std::nullopt);
        QCOMPARE(SWLinkBuilder::osVersion(environment), std::nullopt);
        QVERIFY(SWLinkBuilder::standardParameters(environment).contains(QStringLiteral("&os=%28null%29&")));
        QVERIFY(QString::fromLatin1(QByteArray::fromBase64(SWLinkBuilder::CLHParam(environment).toLatin1()))
                    .startsWith(QStringLiteral("(null)|")));
        QVERIFY(SWLinkBuilder::tdsURLGiveAwayAction(environment).isValid());

        environment.trackingServer = QStringLiteral("http://bad host/index.php?4");
        QVERIFY(!SWLinkBuilder::tdsURLWithAction(QStringLiteral("faq"), environment).isValid());
    }

    void registrationDictionary()
    {
        const QVariantMap parameters = Registration::vl_defaultTrackingParameters(testEnvironment());
        QCOMPARE(parameters.keys(),
                 QStringList({QStringLiteral("OS"), QStringLiteral("lang"), QStringLiteral("product"),
                              QStringLiteral("user"), QStringLiteral("version")}));
        QCOMPARE(parameters.value(QStringLiteral("product")).toString(), QStringLiteral("Vaultine"));
        QCOMPARE(parameters.value(QStringLiteral("version")).toString(), QStringLiteral("1.0.0"));
        QCOMPARE(parameters.value(QStringLiteral("user")).toString(), QStringLiteral("alice"));
        QCOMPARE(parameters.value(QStringLiteral("OS")).typeId(), QMetaType::Double);
        QCOMPARE(parameters.value(QStringLiteral("lang")).toString(), QStringLiteral("de-DE,en"));
    }
};

QTEST_GUILESS_MAIN(TestSWLinkBuilder)
#include "tst_swlinkbuilder.moc"
