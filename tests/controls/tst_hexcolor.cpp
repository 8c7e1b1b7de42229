#include "controls/VLHexColor.h"

#include <QTest>

// Components as whole bytes, the way the layouts give them.
static QString bytes(const QColor &color)
{
    return QStringLiteral("%1 %2 %3 %4")
        .arg(qRound(color.redF() * 255))
        .arg(qRound(color.greenF() * 255))
        .arg(qRound(color.blueF() * 255))
        .arg(qRound(color.alphaF() * 255));
}

class TestHexColor : public QObject
{
    Q_OBJECT

private slots:
    void colorFromHex_data()
    {
        QTest::addColumn<QString>("hex");
        QTest::addColumn<QString>("expected");
        QTest::newRow("six digits") << QStringLiteral("5A3C00") << QStringLiteral("90 60 0 255");
        QTest::newRow("leading #") << QStringLiteral("#5A3C00") << QStringLiteral("90 60 0 255");
        QTest::newRow("lower case") << QStringLiteral("#5a3c00") << QStringLiteral("90 60 0 255");
        QTest::newRow("white") << QStringLiteral("ffffff") << QStringLiteral("255 255 255 255");
        // Three digits are one number, not the short form of "#ffffff".
        QTest::newRow("three digits") << QStringLiteral("#fff") << QStringLiteral("0 15 255 255");
        QTest::newRow("no digits") << QStringLiteral("#zzzzzz") << QStringLiteral("0 0 0 255");
        QTest::newRow("empty") << QString() << QStringLiteral("0 0 0 255");
        QTest::newRow("digits stop at the first other character")
            << QStringLiteral("12 34 56") << QStringLiteral("0 0 18 255");
        QTest::newRow("0x prefix") << QStringLiteral("0x00ff00") << QStringLiteral("0 255 0 255");
        QTest::newRow("eight digits keep the low three bytes")
            << QStringLiteral("11223344") << QStringLiteral("34 51 68 255");
        QTest::newRow("overflow reads as all ones")
            << QStringLiteral("123456789ab") << QStringLiteral("255 255 255 255");
    }

    void colorFromHex()
    {
        QFETCH(QString, hex);
        QFETCH(QString, expected);
        QCOMPARE(bytes(VLHexColor::vl_colorFromHex(hex)), expected);
    }

    void hexValue_data()
    {
        QTest::addColumn<QColor>("color");
        QTest::addColumn<QString>("expected");
        QTest::newRow("white") << QColor(Qt::white) << QStringLiteral("#ffffff");
        QTest::newRow("black") << QColor(Qt::black) << QStringLiteral("#000000");
        QTest::newRow("round trip") << VLHexColor::vl_colorFromHex(QStringLiteral("#5A3C00"))
                                    << QStringLiteral("#5a3c00");
        // Just under a half truncates to 127 (0x7f), where rounding would give 128.
        QTest::newRow("truncated, not rounded")
            << QColor(QColor::fromRgba64(0x7fff, 0x3fff, 0xffff)) << QStringLiteral("#7f3fff");
        QTest::newRow("from HSV") << QColor::fromHsv(0, 255, 255) << QStringLiteral("#ff0000");
        QTest::newRow("alpha is left out") << QColor(1, 2, 3, 4) << QStringLiteral("#010203");
    }

    void hexValue()
    {
        QFETCH(QColor, color);
        QFETCH(QString, expected);
        const std::optional<QString> value = VLHexColor::vl_hexValue(color);
        QVERIFY(value);
        QCOMPARE(*value, expected);
    }

    void hexValueOfInvalidColourIsNone() { QVERIFY(!VLHexColor::vl_hexValue(QColor())); }

    void numbers_data()
    {
        QTest::addColumn<QColor>("color");
        QTest::addColumn<QString>("expected");
        QTest::newRow("RGBA order") << VLHexColor::colorWithRGBAHex(0x11223380) << QStringLiteral("17 34 51 128");
        QTest::newRow("RGB is opaque") << VLHexColor::colorWithRGBHex(0x112233) << QStringLiteral("17 34 51 255");
        QTest::newRow("sRGB") << VLHexColor::colorWithSRGBHex(0xa0b0c0) << QStringLiteral("160 176 192 255");
        QTest::newRow("no colour space") << VLHexColor::colorWithRGBAHexColorSpace(0x000000ff, std::nullopt)
                                         << QStringLiteral("0 0 0 255");
    }

    void numbers()
    {
        QFETCH(QColor, color);
        QFETCH(QString, expected);
        QCOMPARE(bytes(color), expected);
    }

    void rgbIsRgbaShiftedWithOpaqueAlpha_data()
    {
        QTest::addColumn<quint32>("hex");
        QTest::newRow("zero") << 0x000000u;
        QTest::newRow("colour") << 0x5a3c00u;
        QTest::newRow("white") << 0xffffffu;
        QTest::newRow("high byte ignored") << 0xff123456u;
    }

    void rgbIsRgbaShiftedWithOpaqueAlpha()
    {
        QFETCH(quint32, hex);
        QCOMPARE(VLHexColor::colorWithRGBHex(hex), VLHexColor::colorWithRGBAHex((hex << 8) | 0xff));
        const QColorSpace linear(QColorSpace::SRgbLinear);
        QCOMPARE(VLHexColor::colorWithRGBHexColorSpace(hex, linear),
                 VLHexColor::colorWithRGBAHexColorSpace((hex << 8) | 0xff, linear));
    }

    void otherColourSpaceIsConvertedToSRgb()
    {
        // Linear mid grey is lighter in sRGB; black and white stay.
        const QColorSpace linear(QColorSpace::SRgbLinear);
        const QColor grey = VLHexColor::colorWithRGBHexColorSpace(0x808080, linear);
        QVERIFY2(grey.redF() > 0.7f, qPrintable(bytes(grey)));
        QCOMPARE(bytes(VLHexColor::colorWithRGBHexColorSpace(0xffffff, linear)), QStringLiteral("255 255 255 255"));
        QCOMPARE(bytes(VLHexColor::colorWithRGBHexColorSpace(0x000000, linear)), QStringLiteral("0 0 0 255"));
    }
};

QTEST_APPLESS_MAIN(TestHexColor)
#include "tst_hexcolor.moc"
