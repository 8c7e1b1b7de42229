#include "screens/VLPreviewWindow.h"

#include "engine/files/VLFileNamer.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

class TestPreviewWindow : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QUrl writeFile(const QString &name, const QByteArray &content)
    {
        QFile file(m_dir.filePath(name));
        if (!file.open(QIODevice::WriteOnly))
            return {};
        file.write(content);
        return QUrl::fromLocalFile(file.fileName());
    }

private slots:
    void cleanup() { VLPreviewWindow::closeSharedPreviewWindow(); }

    // A picture shows its own thumbnail; a container its container picture; both with name and size.
    void showsPictureNameAndSize_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("image");
        QTest::newRow("picture") << QStringLiteral("Red square.png") << true;
        QTest::newRow("container") << QStringLiteral("Taxes <2024>.vault") << false;
    }

    void showsPictureNameAndSize()
    {
        QFETCH(QString, name);
        QFETCH(bool, image);
        QByteArray content(40000, 'x');
        if (image) {
            QImage red(120, 80, QImage::Format_RGB32);
            red.fill(Qt::red);
            QVERIFY(red.save(m_dir.filePath(name)));
        }
        const QUrl url = image ? QUrl::fromLocalFile(m_dir.filePath(name)) : writeFile(name, content);
        QVERIFY(!url.isEmpty());

        VLPreviewWindow window;
        window.setPreviewItemURL(url);
        QCOMPARE(window.windowTitle(), QStringLiteral("Preview"));
        QCOMPARE(window.nameText(), name); // plain text, markup-like characters and all
        QTRY_COMPARE(window.sizeText(), VLFileNamer::sizeForURLs({url}));
        QVERIFY(window.pageText().isEmpty());
        QVERIFY(window.nextButton()->isHidden());
        QVERIFY(!window.sizeText().isEmpty());
        QVERIFY(!window.previewImage().isNull());
        if (image) {
            const QImage shown = window.previewImage();
            const QColor centre = shown.pixelColor(shown.width() / 2, shown.height() / 2);
            QVERIFY2(centre.red() > 200 && centre.green() < 60, qPrintable(centre.name()));
        }
    }

    // Several dropped items are each shown, one page at a time; a folder's size arrives from the
    // background sizer, never from a walk inside the call that shows it.
    void severalItemsArePagedThrough()
    {
        const QUrl note = writeFile(QStringLiteral("Note.txt"), "a note");
        QDir(m_dir.path()).mkpath(QStringLiteral("Album/2024"));
        for (int i = 0; i < 20; ++i)
            QVERIFY(!writeFile(QStringLiteral("Album/2024/photo-%1.raw").arg(i), QByteArray(9000, 'p')).isEmpty());
        const QUrl folder = QUrl::fromLocalFile(m_dir.filePath(QStringLiteral("Album")));
        const QUrl container = writeFile(QStringLiteral("Old.vault"), "container");
        const QList<QUrl> items{note, folder, container};

        QWidget host;
        host.resize(460, 500);
        host.show();
        QVERIFY(QTest::qWaitForWindowExposed(&host));
        VLPreviewWindow::toggleSharedPreviewWindowForURLs(items, &host);
        VLPreviewWindow *window = VLPreviewWindow::sharedPreviewWindow();
        QVERIFY(window->isVisible());
        QCOMPARE(window->previewItemURLs(), items);
        QCOMPARE(window->nameText(), QStringLiteral("Note.txt"));
        QCOMPARE(window->pageText(), QStringLiteral("1 of 3"));
        QVERIFY(!window->previousButton()->isEnabled());
        QTRY_COMPARE(window->sizeText(), VLFileNamer::sizeForURLs({note}));

        QTest::keyClick(window, Qt::Key_Right);
        QCOMPARE(window->previewItemURL(), folder);
        QCOMPARE(window->nameText(), QStringLiteral("Album"));
        QCOMPARE(window->pageText(), QStringLiteral("2 of 3"));
        QCOMPARE(window->sizeText(), QStringLiteral("Calculating Size..."));
        QTRY_COMPARE(window->sizeText(), VLFileNamer::sizeForURLs({folder}));
        QVERIFY(!window->previewImage().isNull());

        QTest::mouseClick(window->nextButton(), Qt::LeftButton);
        QCOMPARE(window->nameText(), QStringLiteral("Old.vault"));
        QCOMPARE(window->pageText(), QStringLiteral("3 of 3"));
        QVERIFY(!window->nextButton()->isEnabled());
        // Past the last item nothing changes.
        QTest::keyClick(window, Qt::Key_Right);
        QCOMPARE(window->currentPreviewItemIndex(), 2);

        // Back to the folder: its size, once known, shows at once.
        QTest::mouseClick(window->previousButton(), Qt::LeftButton);
        QCOMPARE(window->sizeText(), VLFileNamer::sizeForURLs({folder}));
        QTest::keyClick(window, Qt::Key_Space);
        QVERIFY(!window->isVisible());
    }

    void toggleAndKeysCloseTheSharedWindow_data()
    {
        QTest::addColumn<int>("key");
        QTest::newRow("space") << int(Qt::Key_Space);
        QTest::newRow("escape") << int(Qt::Key_Escape);
    }

    void toggleAndKeysCloseTheSharedWindow()
    {
        QFETCH(int, key);
        const QUrl url = writeFile(QStringLiteral("Notes.vault"), "container");
        QWidget host;
        host.resize(460, 500);
        host.show();
        QVERIFY(QTest::qWaitForWindowExposed(&host));

        VLPreviewWindow::toggleSharedPreviewWindowForURL(url, &host);
        VLPreviewWindow *shared = VLPreviewWindow::sharedPreviewWindow();
        QVERIFY(shared->isVisible());
        QCOMPARE(shared->previewItemURL(), url);
        VLPreviewWindow::toggleSharedPreviewWindowForURL(url, &host);
        QVERIFY(!shared->isVisible());

        VLPreviewWindow::toggleSharedPreviewWindowForURL(url, &host);
        QVERIFY(shared->isVisible());
        QTest::keyClick(shared, Qt::Key(key));
        QVERIFY(!shared->isVisible());
        QCOMPARE(VLPreviewWindow::sharedPreviewWindow(), shared);
    }
};

QTEST_MAIN(TestPreviewWindow)
#include "tst_previewwindow.moc"
