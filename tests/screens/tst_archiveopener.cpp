#include "screens/decrypt/VLArchiveOpener.h"
#include "windowing/windows/VLAlertHandler.h"

#include "engine/archive/VLEncryptedArchive.h"
#include "platform/dispatch/Dispatch.h"
#include "platform/files/ThemeIcons.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QMessageBox>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>
#include <QWidget>

namespace {

// Writes a container of the given sources with the writer the jobs use.
bool makeContainer(const QString &path, const QStringList &sources, const QString &password, const QString &hint,
                   const std::optional<QByteArray> &preview = std::nullopt)
{
    VLEncryptedArchive archive;
    archive.setPassword(password);
    archive.setPasswordHint(hint);
    if (preview)
        archive.setPreview(preview);
    for (const QString &source : sources)
        archive.addItemFromRoot(source);
    archive.save(path);
    return QFileInfo(path).size() > 0;
}

QString writeFile(const QString &path, const QByteArray &data)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.write(data);
    return path;
}

QByteArray pngOfSize(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(QColor(10, 120, 200));
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return data;
}

quint32 crc32(const QByteArray &data)
{
    quint32 crc = 0xffffffffu;
    for (const char byte : data) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

QByteArray chunk(const QByteArray &type, const QByteArray &body)
{
    QByteArray out;
    const quint32 length = quint32(body.size());
    for (int shift = 24; shift >= 0; shift -= 8)
        out.append(char((length >> shift) & 0xff));
    const quint32 crc = crc32(type + body);
    out += type + body;
    for (int shift = 24; shift >= 0; shift -= 8)
        out.append(char((crc >> shift) & 0xff));
    return out;
}

// A preview as Windows writes it: sRGB and gAMA colour chunks, no ICC profile.
QByteArray windowsStylePng()
{
    const QByteArray plain = pngOfSize(16, 16);
    const qsizetype afterHeader = 8 + 4 + 4 + 13 + 4; // signature, then the IHDR chunk
    return plain.left(afterHeader) + chunk("sRGB", QByteArray(1, '\0')) + chunk("gAMA", QByteArray::fromHex("0000b18f"))
           + plain.mid(afterHeader);
}

// The desktop's type icon of an item as it stands on disk, centred on a 128 x 128 image.
QImage desktopIconOf(const QString &path)
{
    QImage image(128, 128, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    const QString file = platform::typeIconFileForPath(path, 128);
    if (file.isEmpty())
        return {};
    QImageReader reader(file);
    reader.setScaledSize(reader.size().scaled(128, 128, Qt::KeepAspectRatio));
    const QImage icon = reader.read();
    QPainter painter(&image);
    painter.drawImage((128 - icon.width()) / 2, (128 - icon.height()) / 2, icon);
    return image;
}

} // namespace

class TestArchiveOpener : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_single;
    QString m_several;
    QString m_withPreview;

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        const QString source = writeFile(m_dir.filePath(QStringLiteral("notes.txt")), "some notes\n");
        const QString other = writeFile(m_dir.filePath(QStringLiteral("other.txt")), "more\n");
        m_single = m_dir.filePath(QStringLiteral("single.vault"));
        m_several = m_dir.filePath(QStringLiteral("several.vault"));
        m_withPreview = m_dir.filePath(QStringLiteral("preview.vault"));
        QVERIFY(makeContainer(m_single, {source}, QStringLiteral("right"), QStringLiteral("the usual one")));
        QVERIFY(makeContainer(m_several, {source, other}, QStringLiteral("right"), QString()));
        QVERIFY(
            makeContainer(m_withPreview, {source}, QStringLiteral("right"), QStringLiteral("h"), pngOfSize(40, 30)));
    }

    void init() { VLAlertHandler::clearLastAlert(); }

    void cleanup() { QTRY_COMPARE(VLArchiveOpener::runningBackgroundOpens(), 0); }

    void noPathNoOpener() { QVERIFY(!VLArchiveOpener::openerWithArchivePath(QString())); }

    void hintIsReadBeforeAnyCheck()
    {
        auto opener = VLArchiveOpener::openerWithArchivePath(m_single);
        QCOMPARE(opener->hint(), QStringLiteral("the usual one"));
        QCOMPARE(opener->backgroundOpenCount(), 0);
        QCOMPARE(VLArchiveOpener(m_several).hint(), QString());
        QCOMPARE(VLArchiveOpener(m_dir.filePath(QStringLiteral("missing.vault"))).hint(), QString());
    }

    void wrongThenRightUsesOneBackgroundOpen()
    {
        VLArchiveOpener opener(m_single);
        QVERIFY(!opener.checkPassword(QStringLiteral("wrong")));
        QVERIFY(opener.isOpenParked());
        // The parked open holds a thread of the default-priority queue, not of the jobs' one.
        QTRY_COMPARE(platform::globalQueue(platform::QueuePriority::Default).activeThreadCount(), 1);
        QCOMPARE(platform::globalQueue(platform::QueuePriority::Background).activeThreadCount(), 0);
        QVERIFY(!opener.checkPassword(QStringLiteral("also wrong")));
        QVERIFY(opener.checkPassword(QStringLiteral("right")));
        QVERIFY(opener.validationResult());
        QCOMPARE(opener.backgroundOpenCount(), 1);
        QVERIFY(!opener.isOpenParked());
        // A single item without a stored preview gets its type icon.
        const QImage preview = opener.preview();
        QCOMPARE(preview.size(), QSize(128, 128));
        QCOMPARE(opener.creatorSystem(), qint64(0));
        QVERIFY(!opener.containsApplication());
        // No wrong password is an error: nothing was shown.
        QTest::qWait(20);
        QVERIFY(!VLAlertHandler::lastAlert());

        // After a success, a further check opens afresh.
        QVERIFY(opener.checkPassword(QStringLiteral("right")));
        QCOMPARE(opener.backgroundOpenCount(), 2);
    }

    void previewIsTheStoredOneOrAFolderIcon()
    {
        VLArchiveOpener stored(m_withPreview);
        QVERIFY(stored.checkPassword(QStringLiteral("right")));
        QCOMPARE(stored.preview().size(), QSize(40, 30));
        QCOMPARE(stored.preview().pixelColor(5, 5), QColor(10, 120, 200));

        QCOMPARE(stored.creatorSystem(), qint64(0));

        const QString windows = m_dir.filePath(QStringLiteral("windows.vault"));
        QVERIFY(makeContainer(windows, {m_dir.filePath(QStringLiteral("notes.txt"))}, QStringLiteral("right"),
                              QString(), windowsStylePng()));
        VLArchiveOpener fromWindows(windows);
        QVERIFY(fromWindows.checkPassword(QStringLiteral("right")));
        QCOMPARE(fromWindows.creatorSystem(), qint64(1));
        QCOMPARE(fromWindows.preview().size(), QSize(16, 16));

        VLArchiveOpener several(m_several);
        QVERIFY(several.checkPassword(QStringLiteral("right")));
        QCOMPARE(several.preview().size(), QSize(128, 128));
    }

    // Without a stored preview, the preview is the icon the desktop shows for the item itself.
    void previewIsTheItemsTypeIcon_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::newRow("text") << QStringList{QStringLiteral("letter.txt")};
        QTest::newRow("web page") << QStringList{QStringLiteral("page.html")};
        QTest::newRow("picture") << QStringList{QStringLiteral("photo.png")};
        QTest::newRow("word document") << QStringList{QStringLiteral("report.docx")};
        QTest::newRow("spreadsheet") << QStringList{QStringLiteral("sums.xlsx")};
        QTest::newRow("folder") << QStringList{QStringLiteral("folder/")};
        QTest::newRow("several items") << QStringList{QStringLiteral("a.txt"), QStringLiteral("b.png")};
    }

    void previewIsTheItemsTypeIcon()
    {
        QFETCH(QStringList, names);
        QTemporaryDir dir;
        QStringList sources;
        for (const QString &name : names) {
            if (name.endsWith(u'/')) {
                QVERIFY(QDir(dir.path()).mkdir(name.chopped(1)));
                writeFile(dir.filePath(name + QStringLiteral("inside.txt")), "x");
                sources << dir.filePath(name.chopped(1));
            } else {
                sources << writeFile(dir.filePath(name), "content\n");
            }
        }
        const QImage expected = desktopIconOf(sources.size() == 1 ? sources.first() : dir.path());
        if (expected.isNull())
            QSKIP("no icon theme with type icons is installed");

        const QString container = dir.filePath(QStringLiteral("icon.vault"));
        QVERIFY(makeContainer(container, sources, QStringLiteral("pw"), QString()));
        VLArchiveOpener opener(container);
        QVERIFY(opener.checkPassword(QStringLiteral("pw")));
        QCOMPARE(opener.preview().size(), QSize(128, 128));
        QCOMPARE(opener.preview().convertToFormat(QImage::Format_ARGB32_Premultiplied), expected);
    }

    void damagedContainerShowsOneAlertThenOpensAfresh()
    {
        QFile::copy(m_single, m_dir.filePath(QStringLiteral("damaged.vault")));
        const QString damaged = m_dir.filePath(QStringLiteral("damaged.vault"));
        {
            // Cut the file short: the locator at its end is gone.
            QFile file(damaged);
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.resize(file.size() / 2));
        }
        QWidget window;
        window.resize(400, 300);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        VLArchiveOpener opener(damaged);
        opener.setWindow(&window);
        QVERIFY(!opener.checkPassword(QStringLiteral("right")));
        QVERIFY(!opener.isOpenParked());
        // The alert comes after the check has returned, on the opener's window.
        QMessageBox *box = nullptr;
        QTRY_VERIFY((box = VLAlertHandler::currentAlert(&window)));
        QVERIFY(box->text().contains(QStringLiteral("damaged.vault"))
                || box->informativeText().contains(QStringLiteral("damaged.vault")));
        QTest::keyClick(box, Qt::Key_Return);
        QTRY_VERIFY(!VLAlertHandler::isSheetOpen(&window));

        QVERIFY(!opener.checkPassword(QStringLiteral("right")));
        QCOMPARE(opener.backgroundOpenCount(), 2);
        QTRY_VERIFY((box = VLAlertHandler::currentAlert(&window)));
        box->reject();
    }

    void aWindowGoneBeforeTheAlertLeavesItToTheMainWindow()
    {
        const QString text = writeFile(m_dir.filePath(QStringLiteral("gone.vault")), QByteArray(4096, 'y'));
        QWidget mainWindow;
        mainWindow.show();
        VLAlertHandler::setMainWindow(&mainWindow);
        VLArchiveOpener opener(text);
        {
            auto screenWindow = std::make_unique<QWidget>();
            screenWindow->show();
            opener.setWindow(screenWindow.get());
            QVERIFY(!opener.checkPassword(QStringLiteral("any")));
            // The screen's window closes before the alert reaches the main thread.
        }
        QMessageBox *box = nullptr;
        QTRY_VERIFY((box = VLAlertHandler::currentAlert(&mainWindow)));
        QCOMPARE(box->parentWidget(), &mainWindow);
        box->reject();
        QTRY_VERIFY(!VLAlertHandler::isSheetOpen(&mainWindow));
        VLAlertHandler::setMainWindow(nullptr);
    }

    void notAContainer()
    {
        const QString text = writeFile(m_dir.filePath(QStringLiteral("plain.vault")), QByteArray(4096, 'x'));
        QWidget window;
        window.show();
        VLArchiveOpener opener(text);
        QCOMPARE(opener.hint(), QString());
        opener.setWindow(&window);
        QVERIFY(!opener.checkPassword(QStringLiteral("any")));
        QMessageBox *box = nullptr;
        QTRY_VERIFY((box = VLAlertHandler::currentAlert(&window)));
        QCOMPARE(box->text(), QStringLiteral("This file cannot be opened."));
        QCOMPARE(box->informativeText(),
                 QStringLiteral("\"plain.vault\" is not a .vault file and cannot be decrypted with Vaultine."));
        box->reject();
    }

    void discardingReleasesAParkedOpen()
    {
        {
            VLArchiveOpener opener(m_single);
            QVERIFY(!opener.checkPassword(QStringLiteral("wrong")));
            QVERIFY(opener.isOpenParked());
            QCOMPARE(VLArchiveOpener::runningBackgroundOpens(), 1);
        }
        // The parked thread is answered with cancel and ends; its failure is not shown.
        QTRY_COMPARE(VLArchiveOpener::runningBackgroundOpens(), 0);
        QTest::qWait(50);
        QVERIFY(!VLAlertHandler::lastAlert());
    }
};

QTEST_MAIN(TestArchiveOpener)
#include "tst_archiveopener.moc"
