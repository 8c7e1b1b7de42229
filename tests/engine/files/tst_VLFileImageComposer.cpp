#include "engine/files/VLFileImageComposer.h"
#include "platform/files/ThemeIcons.h"

#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

namespace {

QImage solid(QSize size, QColor color)
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(color);
    return image;
}

QImage vaultReference(QSize size)
{
    QImageReader reader(VLFileImageComposer::vaultImageResource);
    reader.setScaledSize(size);
    return reader.read().convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

} // namespace

class tst_VLFileImageComposer : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void rectangles_data();
    void rectangles();
    void containerFileGetsTheContainerImage();
    void imageIsTwiceTheRequestedSize();
    void upToFourPicturesStackFirstInFront();
    void typeIconFlag_data();
    void typeIconFlag();
    void typeIconsComeFromTheTheme();
    void thumbnailKeepsItsProportions();
    void completionRunsInTheBackground();

private:
    QUrl url(const QString &name) const { return QUrl::fromLocalFile(m_dir->filePath(name)); }
    QUrl image(const QString &name, QColor color, QSize size = QSize(64, 64)) const
    {
        const QUrl location = url(name);
        solid(size, color).save(location.toLocalFile(), "PNG");
        return location;
    }

    std::unique_ptr<QTemporaryDir> m_dir;
};

void tst_VLFileImageComposer::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("folder")));
    QFile text(m_dir->filePath(QStringLiteral("notes.txt")));
    QVERIFY(text.open(QIODevice::WriteOnly));
    text.write("plain text, no picture\n");
}

void tst_VLFileImageComposer::rectangles_data()
{
    QTest::addColumn<qint64>("index");
    QTest::addColumn<QRectF>("rect");
    // Unrounded: (6.4, 0) 243.2 x 243.2; (19.2, 23.48) 217.6 x 222.72; (32, 46.96) 192 x 202.24;
    // (44.8, 69.44) 166.4 x 181.76 - each edge then moved inward to whole pixels.
    QTest::newRow("0") << qint64(0) << QRectF(7, 0, 242, 243);
    QTest::newRow("1") << qint64(1) << QRectF(20, 24, 216, 222);
    QTest::newRow("2") << qint64(2) << QRectF(32, 47, 192, 202);
    QTest::newRow("3") << qint64(3) << QRectF(45, 70, 166, 181);
}

void tst_VLFileImageComposer::rectangles()
{
    QFETCH(qint64, index);
    QFETCH(QRectF, rect);
    QCOMPARE(VLFileImageComposer::rectForIndexFromSize(index, QSizeF(256, 256)), rect);
}

void tst_VLFileImageComposer::containerFileGetsTheContainerImage()
{
    QFile::copy(m_dir->filePath(QStringLiteral("notes.txt")), m_dir->filePath(QStringLiteral("a.vault")));
    QFile::copy(m_dir->filePath(QStringLiteral("notes.txt")), m_dir->filePath(QStringLiteral("a.VAULT")));
    const QImage reference = vaultReference(QSize(256, 256));
    QVERIFY(!reference.isNull());

    bool flag = true;
    QCOMPARE(VLFileImageComposer::composeImageFromURLsWithImageSizeIsTypeIcon({url(QStringLiteral("a.vault"))},
                                                                              QSize(128, 128), &flag),
             reference);
    QVERIFY(flag); // left alone
    flag = false;
    VLFileImageComposer::composeImageFromURLsWithImageSizeIsTypeIcon({url(QStringLiteral("a.vault"))}, QSize(128, 128),
                                                                     &flag);
    QVERIFY(!flag);

    // Only the exact lower-case extension, and only a single item.
    const QImage upper = VLFileImageComposer::composeImageFromURLsWithImageSizeIsTypeIcon(
        {url(QStringLiteral("a.VAULT"))}, QSize(128, 128), &flag);
    QVERIFY(flag);
    QVERIFY(upper != reference);
    QVERIFY(VLFileImageComposer::composeImageFromURLsWithImageSize(
                {url(QStringLiteral("a.vault")), url(QStringLiteral("a.vault"))}, QSize(128, 128))
            != reference);
}

void tst_VLFileImageComposer::imageIsTwiceTheRequestedSize()
{
    QCOMPARE(VLFileImageComposer::composeImageFromURLsWithImageSize({url(QStringLiteral("notes.txt"))}, QSize(128, 128))
                 .size(),
             QSize(256, 256));
    QCOMPARE(
        VLFileImageComposer::composeImageFromURLsWithImageSize({url(QStringLiteral("folder"))}, QSize(40, 30)).size(),
        QSize(80, 60));
}

void tst_VLFileImageComposer::upToFourPicturesStackFirstInFront()
{
    const QList<QUrl> urls = {image(QStringLiteral("1.png"), Qt::red),     image(QStringLiteral("2.png"), Qt::green),
                              image(QStringLiteral("3.png"), Qt::blue),    image(QStringLiteral("4.png"), Qt::yellow),
                              image(QStringLiteral("5.png"), Qt::magenta), image(QStringLiteral("6.png"), Qt::cyan)};
    bool typeIcon = true;
    const QImage composed = VLFileImageComposer::composeImageFromURLsWithImageSizeIsTypeIcon(urls, QSize(128, 128),
                                                                                             &typeIcon)
                                .convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(composed.size(), QSize(256, 256));
    QVERIFY(!typeIcon);

    // The first lies on top, whole.
    QCOMPARE(composed.pixelColor(128, 128), QColor(Qt::red));
    // Each later one lies behind and rises above the ones in front, fainter each time (rows
    // counted from the top of the canvas). Where it rises highest it is alone; further down the
    // one in front covers it with source-over.
    const auto over = [](double front, double behind) { return front + behind * (1 - front); };
    const auto check = [&](int y, int dominant, double alpha) {
        const QColor pixel = composed.pixelColor(100, y);
        QVERIFY2(qAbs(pixel.alpha() - qRound(alpha * 255)) <= 2, qPrintable(QString::number(pixel.alpha())));
        const int channels[] = {pixel.red(), pixel.green(), pixel.blue()};
        for (int channel = 0; channel < 3; ++channel) {
            if (channel != dominant)
                QVERIFY(channels[dominant] > channels[channel] + 100);
        }
    };
    const int red = 0, green = 1, blue = 2;
    const QColor fourth = composed.pixelColor(100, 5); // the fourth alone
    QCOMPARE(QColor(fourth.red(), fourth.green(), fourth.blue()), QColor(Qt::yellow));
    QVERIFY(qAbs(fourth.alpha() - qRound(0.7 * 255)) <= 2);
    check(8, blue, over(0.8, 0.7));
    check(11, green, over(0.9, over(0.8, 0.7)));
    check(14, red, 1.0);
    QCOMPARE(composed.pixelColor(100, 4).alpha(), 0);

    // The fifth and sixth are left out entirely.
    for (int y = 0; y < composed.height(); ++y) {
        for (int x = 0; x < composed.width(); ++x) {
            const QColor pixel = composed.pixelColor(x, y);
            QVERIFY(!(pixel.red() > 128 && pixel.blue() > 128));
            QVERIFY(!(pixel.green() > 128 && pixel.blue() > 128));
        }
    }
}

void tst_VLFileImageComposer::typeIconFlag_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<bool>("typeIcon");
    QTest::newRow("a plain folder") << QStringList{QStringLiteral("folder")} << true;
    QTest::newRow("a text file") << QStringList{QStringLiteral("notes.txt")} << true;
    QTest::newRow("an image") << QStringList{QStringLiteral("1.png")} << false;
    QTest::newRow("the last decides") << QStringList{QStringLiteral("1.png"), QStringLiteral("folder")} << true;
    QTest::newRow("the last decides, image last")
        << QStringList{QStringLiteral("folder"), QStringLiteral("1.png")} << false;
    QTest::newRow("a missing item is skipped")
        << QStringList{QStringLiteral("missing"), QStringLiteral("1.png")} << false;
    const QString png = QStringLiteral("1.png");
    const QString folder = QStringLiteral("folder");
    QTest::newRow("the last of six decides, past the four drawn")
        << QStringList{png, png, png, png, png, folder} << true;
    QTest::newRow("an image last of six") << QStringList{folder, folder, folder, folder, folder, png} << false;
}

void tst_VLFileImageComposer::typeIconFlag()
{
    QFETCH(QStringList, names);
    QFETCH(bool, typeIcon);
    image(QStringLiteral("1.png"), Qt::red);
    QList<QUrl> urls;
    for (const QString &name : std::as_const(names))
        urls << url(name);
    bool flag = !typeIcon;
    const QImage composed = VLFileImageComposer::composeImageFromURLsWithImageSizeIsTypeIcon(urls, QSize(64, 64),
                                                                                             &flag);
    QCOMPARE(flag, typeIcon);
    // Whatever was found is drawn in front, where the first picture goes.
    QVERIFY(composed.pixelColor(64, 64).alpha() > 0);
    if (names.contains(QStringLiteral("missing")))
        QCOMPARE(composed.pixelColor(64, 64), QColor(Qt::red));
}

void tst_VLFileImageComposer::typeIconsComeFromTheTheme()
{
    const QString folderIcon = platform::typeIconFileForPath(m_dir->filePath(QStringLiteral("folder")), 256);
    if (folderIcon.isEmpty())
        QSKIP("no icon theme installed");
    QVERIFY2(folderIcon.contains(QStringLiteral("folder")), qPrintable(folderIcon));
    const QString textIcon = platform::typeIconFileForPath(m_dir->filePath(QStringLiteral("notes.txt")), 256);
    QVERIFY2(textIcon.contains(QStringLiteral("text")), qPrintable(textIcon));
    QVERIFY(platform::typeIconFileForPath(m_dir->filePath(QStringLiteral("missing")), 256).isEmpty());
    // Large icons are taken from large sizes, not blown up from small ones.
    QImageReader reader(folderIcon);
    QVERIFY(reader.size().width() >= 256 || folderIcon.endsWith(QStringLiteral(".svg")));
}

void tst_VLFileImageComposer::thumbnailKeepsItsProportions()
{
    const QUrl wide = image(QStringLiteral("wide.png"), Qt::blue, QSize(200, 100));
    const QImage plain = VLFileImageComposer::imageWithPreviewOfURLOfSizeAsIcon(wide, QSize(256, 256), false);
    QCOMPARE(plain.size(), QSize(256, 128));
    const QImage icon = VLFileImageComposer::imageWithPreviewOfURLOfSizeAsIcon(wide, QSize(256, 256), true);
    QCOMPARE(icon.size(), QSize(256, 256));
    QCOMPARE(icon.pixelColor(128, 10).alpha(), 0);
    QCOMPARE(icon.pixelColor(128, 128), QColor(Qt::blue));
    QVERIFY(
        VLFileImageComposer::imageWithPreviewOfURLOfSizeAsIcon(url(QStringLiteral("notes.txt")), QSize(256, 256), true)
            .isNull());
    QVERIFY(VLFileImageComposer::imageWithPreviewOfURLOfSizeAsIcon(url(QStringLiteral("folder")), QSize(256, 256), true)
                .isNull());
}

void tst_VLFileImageComposer::completionRunsInTheBackground()
{
    QSemaphore done;
    QImage result;
    QThread *thread = nullptr;
    VLFileImageComposer::composeImageFromURLsWithImageSizeCompletionBlock({image(QStringLiteral("1.png"), Qt::red)},
                                                                          QSize(32, 32), [&](const QImage &composed) {
                                                                              result = composed;
                                                                              thread = QThread::currentThread();
                                                                              done.release();
                                                                          });
    QVERIFY(done.tryAcquire(1, 10000));
    QCOMPARE(result.size(), QSize(64, 64));
    QVERIFY(thread != QThread::currentThread());
}

QTEST_MAIN(tst_VLFileImageComposer)
#include "tst_VLFileImageComposer.moc"
