// A large item's blocks, compressed apart, join into one zlib stream that zlib itself reads back.
#include "ArchiveTestSupport.h"

#include "engine/archive/VLDeflate.h"

#include <QtTest>

#include <zlib.h>

namespace {

// Inflates a whole zlib stream with zlib, which also checks its Adler-32; empty when it fails.
std::optional<QByteArray> inflateWithZlib(const std::vector<std::uint8_t> &stream, qsizetype expected)
{
    QByteArray out(expected + 1, Qt::Uninitialized);
    uLongf length = uLongf(out.size());
    if (uncompress(reinterpret_cast<Bytef *>(out.data()), &length, stream.data(), uLong(stream.size())) != Z_OK)
        return std::nullopt;
    out.truncate(qsizetype(length));
    return out;
}

} // namespace

class TestDeflate : public QObject
{
    Q_OBJECT

private slots:
    void blocksJoinIntoOneStream_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<int>("blockSize");
        QTest::addColumn<int>("level");
        const QByteArray text = sampleText(700000, 3);
        const QByteArray noise = sampleNoise(300000, 11);
        QTest::newRow("text, level 6") << text << 128 * 1024 << 6;
        QTest::newRow("text, level 1") << text << 128 * 1024 << 1;
        QTest::newRow("text, level 9") << text << 100000 << 9;
        // Noise makes stored blocks, which end on a byte boundary of their own.
        QTest::newRow("noise") << noise << 128 * 1024 << 6;
        QTest::newRow("text and noise, uneven blocks") << text + noise + text.left(5000) << 77777 << 6;
        // Level 0 stores every block through zlib.
        QTest::newRow("level 0") << text.left(300000) << 128 * 1024 << 0;
        QTest::newRow("tiny blocks") << text.left(4000) << 7 << 6;
        // A file that ended at a block's boundary: the last block holds nothing.
        QTest::newRow("empty last block") << text.left(262144) << 131072 << 6;
    }

    void blocksJoinIntoOneStream()
    {
        QFETCH(QByteArray, data);
        QFETCH(int, blockSize);
        QFETCH(int, level);
        const auto *bytes = reinterpret_cast<const std::uint8_t *>(data.constData());
        const std::size_t size = std::size_t(data.size());
        const bool emptyLast = QByteArray(QTest::currentDataTag()) == "empty last block";
        std::vector<std::uint8_t> stream;
        VLDeflate::appendStreamHeader(stream, level);
        std::uint32_t adler = VLDeflate::adler32(nullptr, 0);
        std::size_t done = 0;
        bool ended = false;
        while (!ended) {
            const std::size_t piece = std::min<std::size_t>(std::size_t(blockSize), size - done);
            const bool last = emptyLast ? piece == 0 : done + piece == size;
            std::vector<std::uint8_t> block;
            QVERIFY(VLDeflate::compressBlock(bytes + done, piece, last, level, block));
            stream.insert(stream.end(), block.begin(), block.end());
            adler = VLDeflate::adler32Combine(adler, VLDeflate::adler32(bytes + done, piece), piece);
            done += piece;
            ended = last;
        }
        VLDeflate::appendStreamTrailer(stream, adler);
        const std::optional<QByteArray> restored = inflateWithZlib(stream, data.size());
        QVERIFY(restored);
        QCOMPARE(restored->size(), data.size());
        QVERIFY(*restored == data);
    }
};

QTEST_GUILESS_MAIN(TestDeflate)
#include "tst_deflate.moc"
