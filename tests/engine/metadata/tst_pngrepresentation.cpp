#include "engine/metadata/VLPNGRepresentation.h"

#include <QImageWriter>
#include <QTest>

namespace {

// Every pixel names its own position, so a cut shows where it came from.
QImage positionImage(int width, int height, QImage::Format format = QImage::Format_RGB32)
{
    QImage image(width, height, format);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb(x, y, 200));
    return image;
}

} // namespace

class TestPNGRepresentation : public QObject
{
    Q_OBJECT

private slots:
    void pngRoundTrips()
    {
        const QImage image = positionImage(40, 30, QImage::Format_ARGB32);
        const QByteArray data = VLPNGRepresentation::PNGRepresentation(image);
        QVERIFY(data.startsWith("\x89PNG\r\n\x1a\n"));
        QImage read;
        QVERIFY(read.loadFromData(data, "PNG"));
        QCOMPARE(read.convertToFormat(QImage::Format_ARGB32), image);
        QVERIFY(VLPNGRepresentation::PNGRepresentation(QImage()).isEmpty());
    }

    void jpeg2000NeedsAWriter()
    {
        const QByteArray data = VLPNGRepresentation::JPEG2000Representation(positionImage(8, 8));
        if (QImageWriter::supportedImageFormats().contains("jp2"))
            QVERIFY(!data.isEmpty());
        else
            QVERIFY(data.isEmpty());
    }

    void cutsSpritesRowByRow_data()
    {
        QTest::addColumn<qreal>("scale");
        QTest::newRow("1x") << 1.0;
        QTest::newRow("2x") << 2.0;
    }

    void cutsSpritesRowByRow()
    {
        QFETCH(qreal, scale);
        QImage sheet = positionImage(qRound(100 * scale), qRound(50 * scale));
        sheet.setDevicePixelRatio(scale);

        const auto sprites = VLPNGRepresentation::spritesWithSpriteSize(sheet, QSize(30, 30));
        QVERIFY(sprites);
        QCOMPARE(sprites->size(), 8); // 4 columns, 2 rows
        const int side = qRound(30 * scale);
        for (const QImage &sprite : *sprites) {
            QCOMPARE(sprite.size(), QSize(side, side));
            QCOMPARE(sprite.devicePixelRatio(), scale);
        }
        // Row 1, column 1 starts at (30, 30) points of the sheet.
        QCOMPARE(QColor(sprites->at(5).pixel(0, 0)), QColor(qRgb(side, side, 200)));
        // The last column covers 10 points of the sheet, the last row 20; the rest is transparent.
        const QImage &corner = sprites->at(7);
        const int coveredWidth = qRound(10 * scale);
        const int coveredHeight = qRound(20 * scale);
        QCOMPARE(corner.pixel(coveredWidth - 1, coveredHeight - 1), qRgb(sheet.width() - 1, sheet.height() - 1, 200));
        QCOMPARE(qAlpha(corner.pixel(coveredWidth, 0)), 0);
        QCOMPARE(qAlpha(corner.pixel(0, coveredHeight)), 0);
        QCOMPARE(sprites->at(3).pixel(0, 0), qRgb(3 * side, 0, 200));
    }

    void zeroSizeGivesNone()
    {
        const QImage sheet = positionImage(10, 10);
        QVERIFY(!VLPNGRepresentation::spritesWithSpriteSize(sheet, QSize(0, 0)));
        QVERIFY(!VLPNGRepresentation::spritesWithSpriteSize(sheet, QSize(0, 5)));
        const auto exact = VLPNGRepresentation::spritesWithSpriteSize(sheet, QSize(5, 5));
        QCOMPARE(exact->size(), 4);
        QVERIFY(VLPNGRepresentation::spritesWithSpriteSize(QImage(), QSize(5, 5))->isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestPNGRepresentation)
#include "tst_pngrepresentation.moc"
