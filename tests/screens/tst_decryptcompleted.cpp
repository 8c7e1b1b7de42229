#include "controls/VLRoundedButton.h"
#include "platform/desktop/FileManager.h"
#include "screens/decrypt/VLDecryptCompletedCheckmarkView.h"
#include "screens/decrypt/VLDecryptCompletedViewController.h"
#include "tests/screens/FlowTestSupport.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QLabel>

using namespace Qt::StringLiterals;

// A file manager on the session bus that records what it was asked to show.
class RecordingFileManager final : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")

public:
    QList<QStringList> shown;

public slots:
    Q_SCRIPTABLE void ShowItems(const QStringList &uris, const QString &startupId)
    {
        Q_UNUSED(startupId)
        shown << uris;
    }
};

// Records the links and files the desktop was asked to open.
class OpenedURLs final : public QObject
{
    Q_OBJECT

public:
    OpenedURLs() { QDesktopServices::setUrlHandler(u"file"_s, this, "open"); }
    ~OpenedURLs() override { QDesktopServices::unsetUrlHandler(u"file"_s); }
    QList<QUrl> urls;

public slots:
    void open(const QUrl &url) { urls << url; }
};

class TestDecryptCompleted : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_file;
    QString m_folder;

private slots:
    void initTestCase()
    {
        m_folder = m_dir.filePath(u"Photos"_s);
        QVERIFY(QDir().mkpath(m_folder));
        m_file = m_dir.filePath(u"notes.txt"_s);
        QFile file(m_file);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("notes");
    }

    void titleNamesTheKindOfItem_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("title");
        QTest::newRow("file") << m_file << u"File Decrypted and Saved!"_s;
        QTest::newRow("folder") << m_folder << u"Folder Decrypted and Saved!"_s;
        QTest::newRow("gone") << m_dir.filePath(u"gone"_s) << u"File Decrypted and Saved!"_s;
    }

    void titleNamesTheKindOfItem()
    {
        QFETCH(QString, path);
        QFETCH(QString, title);
        FlowWindow window;
        auto screen = VLViewController::create<VLDecryptCompletedViewController>(QUrl::fromLocalFile(path), true);
        window.push(screen);
        auto *completed = window.topAs<VLDecryptCompletedViewController>();
        QVERIFY(completed);
        QCOMPARE(qobject_cast<QLabel *>(completed->titleLabel())->text(), title);
        QVERIFY(completed->openButton()->isVisible());
    }

    void checkmarkDrawsItselfAfterAppearing()
    {
        FlowWindow window;
        auto screen = VLViewController::create<VLDecryptCompletedViewController>(QUrl::fromLocalFile(m_file), true);
        auto *completed = static_cast<VLDecryptCompletedViewController *>(screen.get());
        completed->view();
        VLDecryptCompletedCheckmarkView *checkmark = completed->checkmarkView();
        // Nothing shows before the animation: no ring, a transparent check at double size.
        QCOMPARE(checkmark->progress(), 0.0);
        QCOMPARE(checkmark->checkmarkLayer()->opacity(), 0.0);
        QCOMPARE(checkmark->checkmarkLayer()->scale(), 2.0);

        window.navigation()->pushViewControllerAnimated(screen, false);
        QCoreApplication::processEvents();
        window.clock().advance(0.15, 9);
        QVERIFY(checkmark->progress() > 0.2 && checkmark->progress() < 0.9);
        QCOMPARE(checkmark->checkmarkLayer()->opacity(), 0.0);
        window.clock().advance(0.2, 12); // 0.35 s: the ring is whole, the check fades in
        QCOMPARE(checkmark->progress(), 1.0);
        QVERIFY(checkmark->checkmarkLayer()->opacity() > 0.0);
        QCOMPARE(checkmark->checkmarkLayer()->scale(), 2.0);
        window.clock().advance(0.4, 24);
        QCOMPARE(checkmark->checkmarkLayer()->opacity(), 1.0);
        QCOMPARE(checkmark->checkmarkLayer()->scale(), 1.0);
        // The ring is drawn: the grabbed view is no longer empty.
        const QImage drawn = checkmark->grab().toImage();
        bool painted = false;
        for (int y = 0; y < drawn.height() && !painted; ++y)
            for (int x = 0; x < drawn.width() && !painted; ++x)
                painted = qAlpha(drawn.pixel(x, y)) > 0;
        QVERIFY(painted);
    }

    void lostItemHidesOpenAndShowsItsFolder()
    {
        FlowAnalytics analytics;
        OpenedURLs opened;
        FlowWindow window;
        const QUrl folder = QUrl::fromLocalFile(m_folder);
        window.push(VLViewController::create<VLDecryptCompletedViewController>(folder, false));
        auto *completed = window.topAs<VLDecryptCompletedViewController>();
        QVERIFY(completed);
        QVERIFY(completed->openButton()->isHidden());
        QCOMPARE(qobject_cast<QLabel *>(completed->titleLabel())->text(), u"Folder Decrypted and Saved!"_s);
        // Return still opens: the folder, in the file manager.
        QTest::keyClick(window.window()->windowHandle(), Qt::Key_Return);
        QCOMPARE(opened.urls, QList<QUrl>{folder});
        QTRY_COMPARE(analytics.hits(), QStringList{u"view:Decryption Success"_s});
    }

    // The flow's buttons are the tinted, rounded buttons of the companion windows; Start Over
    // keeps a square edge against the window's side and rounds the other.
    void buttonsAreRoundedAndTinted()
    {
        FlowWindow window;
        window.push(VLViewController::create<VLDecryptCompletedViewController>(QUrl::fromLocalFile(m_file), true));
        auto *completed = window.topAs<VLDecryptCompletedViewController>();
        const auto drawn = [](QWidget *button) {
            QImage image(button->size(), QImage::Format_ARGB32_Premultiplied);
            image.fill(Qt::transparent);
            button->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
            return image;
        };
        const QImage startOver = drawn(completed->startOverButton());
        const int right = startOver.width() - 1;
        const int bottom = startOver.height() - 1;
        QCOMPARE(qAlpha(startOver.pixel(right, 0)), 0);
        QCOMPARE(qAlpha(startOver.pixel(right, bottom)), 0);
        QVERIFY(qAlpha(startOver.pixel(0, 0)) > 0);
        QVERIFY(qAlpha(startOver.pixel(0, bottom)) > 0);

        const QImage open = drawn(completed->openButton());
        QCOMPARE(qAlpha(open.pixel(0, 0)), 0);
        QCOMPARE(qAlpha(open.pixel(open.width() - 1, 0)), 0);
        // The main action carries the tint, not the palette's grey.
        const QColor middle = open.pixelColor(4 + open.height() / 2, open.height() / 2);
        QVERIFY2(middle.blue() > 200 && middle.red() < 120, qPrintable(middle.name()));
    }

    void lostItemWithoutAPlaceOffersNoFolder()
    {
        OpenedURLs opened;
        FlowWindow window;
        window.push(VLViewController::create<VLDecryptCompletedViewController>(QUrl(), false));
        auto *completed = window.topAs<VLDecryptCompletedViewController>();
        QVERIFY(completed);
        QCOMPARE(qobject_cast<QLabel *>(completed->titleLabel())->text(), u"Decrypted and Moved Out!"_s);
        QVERIFY(completed->openButton()->isHidden());
        QVERIFY(completed->revealButton()->isHidden());
        QVERIFY(completed->unknownPlaceLabel()->isVisible());
        QTest::keyClick(window.window()->windowHandle(), Qt::Key_Return);
        QCoreApplication::processEvents();
        QVERIFY(opened.urls.isEmpty());
    }

    void startOverLeavesTheFlow()
    {
        FlowAnalytics analytics;
        FlowWindow window;
        window.push(VLViewController::create<VLDecryptCompletedViewController>(QUrl::fromLocalFile(m_file), true));
        QCOMPARE(window.navigation()->viewControllers().size(), 2);
        QTest::keyClick(window.window()->windowHandle(), Qt::Key_Escape);
        window.settle();
        QCOMPARE(window.navigation()->viewControllers().size(), 1);
        QTRY_COMPARE(analytics.hits(),
                     (QStringList{u"view:Decryption Success"_s, u"Workflow/Start Over/After Decryption Save"_s}));
    }

    void revealAsksTheFileManagerOnTheSessionBus()
    {
        QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, u"file-manager"_s);
        QVERIFY2(bus.isConnected(), "run under dbus-run-session");
        RecordingFileManager fileManager;
        QVERIFY(bus.registerObject(u"/org/freedesktop/FileManager1"_s, &fileManager,
                                   QDBusConnection::ExportScriptableSlots));
        QVERIFY(bus.registerService(u"org.freedesktop.FileManager1"_s));

        FlowAnalytics analytics;
        OpenedURLs opened;
        FlowWindow window;
        window.push(VLViewController::create<VLDecryptCompletedViewController>(QUrl::fromLocalFile(m_file), true));
        auto *completed = window.topAs<VLDecryptCompletedViewController>();
        QCOMPARE(completed->revealButton()->title(), u"Show in File Manager"_s);
        QTest::mouseClick(completed->revealButton(), Qt::LeftButton);
        QTRY_COMPARE(fileManager.shown.size(), 1);
        QCOMPARE(fileManager.shown.first(), QStringList{QUrl::fromLocalFile(m_file).toString()});
        QVERIFY(opened.urls.isEmpty());
        QTRY_COMPARE(analytics.hits(), (QStringList{u"view:Decryption Success"_s, u"Workflow/Reveal in Finder"_s}));

        bus.unregisterService(u"org.freedesktop.FileManager1"_s);
        bus.unregisterObject(u"/org/freedesktop/FileManager1"_s);
        QDBusConnection::disconnectFromBus(u"file-manager"_s);
    }

    void revealWithoutFileManagerOpensTheFolder()
    {
        OpenedURLs opened;
        FlowWindow window;
        window.push(VLViewController::create<VLDecryptCompletedViewController>(QUrl::fromLocalFile(m_file), true));
        auto *completed = window.topAs<VLDecryptCompletedViewController>();
        QTest::mouseClick(completed->revealButton(), Qt::LeftButton);
        QTRY_COMPARE(opened.urls, QList<QUrl>{QUrl::fromLocalFile(m_dir.path())});
    }
};

QTEST_MAIN(TestDecryptCompleted)
#include "tst_decryptcompleted.moc"
