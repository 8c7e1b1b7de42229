#include "engine/metadata/VLPreviewDiscriminator.h"

#include <QBuffer>
#include <QColorSpace>
#include <QImage>
#include <QTest>
#include <QtEndian>

#include <zlib.h>

namespace {

QByteArray chunk(const char *type, const QByteArray &data)
{
    QByteArray bytes(4, '\0');
    qToBigEndian(quint32(data.size()), bytes.data());
    const QByteArray body = QByteArray(type, 4) + data;
    bytes += body;
    QByteArray crc(4, '\0');
    qToBigEndian(quint32(crc32(0, reinterpret_cast<const Bytef *>(body.constData()), uInt(body.size()))), crc.data());
    return bytes + crc;
}

QByteArray be32(quint32 value)
{
    QByteArray bytes(4, '\0');
    qToBigEndian(value, bytes.data());
    return bytes;
}

const QByteArray signature = QByteArrayLiteral("\x89PNG\r\n\x1a\n");

QByteArray header()
{
    // 2 x 2, 8-bit RGB.
    return chunk("IHDR", be32(2) + be32(2) + QByteArrayLiteral("\x08\x02\x00\x00\x00"));
}

// A whole PNG with the given chunks between IHDR and IDAT.
QByteArray png(const QList<QByteArray> &colourChunks)
{
    QByteArray rows;
    for (int y = 0; y < 2; ++y)
        rows += QByteArray(1, '\0') + QByteArray(6, char(0x80));
    QByteArray result = signature + header();
    for (const QByteArray &c : colourChunks)
        result += c;
    return result + chunk("IDAT", qCompress(rows).mid(4)) + chunk("IEND", {});
}

const QByteArray sRGB = chunk("sRGB", QByteArray(1, '\0'));
const QByteArray gAMA = chunk("gAMA", be32(45455));
// The iCCP chunk Qt writes for an image with a colour space: a real profile that libpng accepts.
QByteArray qtColourProfileChunk()
{
    QImage image(2, 2, QImage::Format_RGB32);
    image.fill(Qt::blue);
    image.setColorSpace(QColorSpace(QColorSpace::AdobeRgb));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    for (qsizetype offset = 8; offset + 8 <= bytes.size();) {
        const quint32 length = qFromBigEndian<quint32>(bytes.constData() + offset);
        if (bytes.mid(offset + 4, 4) == "iCCP")
            return bytes.mid(offset, 12 + qsizetype(length));
        offset += 12 + qsizetype(length);
    }
    return {};
}

} // namespace

class TestPreviewDiscriminator : public QObject
{
    Q_OBJECT

private slots:
    void discriminates_data()
    {
        const QByteArray iCCP = qtColourProfileChunk();
        QVERIFY(!iCCP.isEmpty());

        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<int>("expected");

        QTest::newRow("sRGB and gAMA") << png({sRGB, gAMA}) << 1;
        QTest::newRow("gAMA then sRGB") << png({gAMA, sRGB}) << 1;
        QTest::newRow("iCCP, sRGB and gAMA") << png({iCCP, sRGB, gAMA}) << 2;
        QTest::newRow("sRGB and gAMA, then iCCP") << png({sRGB, gAMA, iCCP}) << 2;
        QTest::newRow("iCCP and gAMA") << png({iCCP, gAMA}) << 2;
        QTest::newRow("sRGB, gAMA and a text chunk")
            << png({chunk("tEXt", QByteArrayLiteral("Software\0Paint")), sRGB, gAMA}) << 1;
        QTest::newRow("iCCP alone") << png({iCCP}) << 2;
        QTest::newRow("sRGB without gAMA") << png({sRGB}) << 2;
        QTest::newRow("gAMA without sRGB") << png({gAMA}) << 2;
        QTest::newRow("no colour chunks") << png({}) << 2;
        QTest::newRow("empty") << QByteArray() << 0;
        QTest::newRow("signature only") << signature << 0;
        QTest::newRow("part of the signature") << signature.left(4) << 0;
        QTest::newRow("header chunk cut short") << QByteArray(signature + header()).left(20) << 0;
        QTest::newRow("ends before the image data") << QByteArray(signature + header() + sRGB + gAMA) << 0;
        QTest::newRow("damaged header checksum") << [] {
            QByteArray data = png({sRGB, gAMA});
            data[29] = char(data[29] ^ 1);
            return data;
        }() << 0;
        QTest::newRow("JPEG") << [] {
            QImage image(4, 4, QImage::Format_RGB32);
            image.fill(Qt::red);
            QByteArray bytes;
            QBuffer buffer(&bytes);
            buffer.open(QIODevice::WriteOnly);
            image.save(&buffer, "JPEG");
            return bytes;
        }() << 0;
    }

    void discriminates()
    {
        QFETCH(QByteArray, data);
        QFETCH(int, expected);
        QCOMPARE(VLPreviewDiscriminator::discriminatePreviewData(data), expected);
    }

    // A preview cut anywhere before its image data cannot be judged; libpng must not read past the end.
    void truncatedPreviewsAreUnreadable()
    {
        const QByteArray whole = png({sRGB, gAMA});
        const qsizetype imageData = whole.indexOf("IDAT") - 4;
        for (qsizetype length = 0; length < imageData + 8; ++length)
            QCOMPARE(VLPreviewDiscriminator::discriminatePreviewData(whole.left(length)), 0);
        QCOMPARE(VLPreviewDiscriminator::discriminatePreviewData(whole), 1);
    }

    void noData() { QCOMPARE(VLPreviewDiscriminator::discriminatePreviewData(std::nullopt), 0); }
};

QTEST_GUILESS_MAIN(TestPreviewDiscriminator)
#include "tst_previewdiscriminator.moc"
