#include "ScreenTestSupport.h"

#include "controls/VLDropFilesButton.h"
#include "screens/VLDropBarView.h"
#include "screens/VLDropViewController.h"
#include "screens/VLEncryptViewController.h"
#include "screens/VLFilesOpenPanel.h"
#include "screens/decrypt/VLDecryptViewController.h"
#include "windowing/navigation/VLNavigationController.h"
#include "windowing/navigation/VLViewHierarchy.h"
#include "windowing/windows/VLWindow.h"

#include "platform/animation/VLAnimationClock.h"
#include "platform/animation/VLAnimator.h"
#include "platform/view/ViewAlpha.h"
#include "platform/view/ViewFrame.h"

#include <QCursor>
#include <QDragEnterEvent>
#include <QDragLeaveEvent>
#include <QDropEvent>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QStandardPaths>
#include <QWindow>

using namespace Qt::StringLiterals;

namespace {

// The bar's frames in the window: resting, and expanded (it grows downwards by 40).
const QRectF kRestingBar(0, 248, 460, 100);
const QRectF kExpandedBar(0, 228, 460, 140);
const QPoint kOverBar(230, 300);
const QPoint kOverTitle(230, 100);
const QPoint kOutside(230, 470);

// The main window with the drop screen at its root, on the manual clock.
struct DropStage
{
    VLManualClock clock;
    AnalyticsCollector analytics;
    VLContentWindowController controller;
    VLDropViewController *drop = nullptr;

    DropStage()
    {
        QCursor::setPos(QPoint(0, 0));
        controller.showWindow();
        // The bar follows the mouse only in the active application.
        controller.window()->activateWindow();
        [[maybe_unused]] const bool active = QTest::qWaitForWindowActive(controller.window());
        drop = qobject_cast<VLDropViewController *>(controller.navigationController()->rootViewController().get());
        settle();
    }

    ~DropStage()
    {
        // Qt remembers the widget that took a made-up drag until the drag ends.
        QDragLeaveEvent leave;
        QCoreApplication::sendEvent(handle(), &leave);
    }

    QWindow *handle() { return controller.window()->windowHandle(); }
    QWidget *bar() const { return controller.overlayContainerView(); }
    VLViewControllerPtr top() const { return controller.navigationController()->topViewController(); }
    void settle() { clock.advance(1.0, 60); }

    // Drag events as the platform hands them to the window.
    bool drag(QEvent &event)
    {
        QCoreApplication::sendEvent(handle(), &event);
        return event.isAccepted();
    }
    bool dropFiles(const QList<QUrl> &urls, QPoint at = kOverBar)
    {
        QMimeData data;
        data.setUrls(urls);
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        drag(enter);
        QDragMoveEvent move(at + QPoint(3, 2), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        drag(move);
        QDropEvent release(QPointF(at + QPoint(3, 2)), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        return this->drag(release);
    }
};

QList<QUrl> urlsOf(const QStringList &paths)
{
    QList<QUrl> urls;
    for (const QString &path : paths)
        urls << QUrl::fromLocalFile(path);
    return urls;
}

bool sameFrame(const QRectF &a, const QRectF &b)
{
    return std::abs(a.x() - b.x()) < 0.5 && std::abs(a.y() - b.y()) < 0.5 && std::abs(a.width() - b.width()) < 0.5
           && std::abs(a.height() - b.height()) < 0.5;
}

} // namespace

class TestDropScreen : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString path(const QString &name) const { return m_dir.filePath(name); }
    QStringList pathsOf(const QStringList &names) const
    {
        QStringList paths;
        for (const QString &name : names)
            paths << path(name);
        return paths;
    }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QVERIFY(m_dir.isValid());
        for (const QString &name : {u"Notes.txt"_s, u"Photo.png"_s, u"PHOTO.VAULT"_s, u"a.vault"_s, u"b.vault"_s})
            QVERIFY(writeFile(path(name), "contents"));
        QVERIFY(QDir(m_dir.path()).mkpath(u"Album"_s));
        QVERIFY(QDir(m_dir.path()).mkpath(u"Box.vault"_s));
        VLContentWindowController::setRootViewControllerFactory(
            [] { return VLViewControllerPtr(VLViewController::create<VLDropViewController>()); });
    }

    void cleanupTestCase() { VLContentWindowController::setRootViewControllerFactory({}); }

    void init() { VLAlertHandler::clearLastAlert(); }

    void theDropScreenIsTheRootAndReportsItsView()
    {
        DropStage stage;
        QVERIFY(stage.drop);
        QVERIFY(stage.drop->titleView() && stage.drop->subtitleView());
        QVERIFY(sameFrame(vlViewFrame(stage.bar()), kRestingBar));
        QVERIFY(!stage.drop->dropFilesButton()->iconIsPlus());
        QTRY_COMPARE(stage.analytics.views(), QStringList{u"Main View"_s});
    }

    void filesChooseTheirFlow_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<bool>("decrypt");
        QTest::newRow("one file") << QStringList{u"Notes.txt"_s} << false;
        QTest::newRow("a folder") << QStringList{u"Album"_s} << false;
        QTest::newRow("a container") << QStringList{u"a.vault"_s} << true;
        QTest::newRow("a container in capitals") << QStringList{u"PHOTO.VAULT"_s} << true;
        QTest::newRow("a folder named as a container") << QStringList{u"Box.vault"_s} << true;
        QTest::newRow("two containers") << QStringList{u"a.vault"_s, u"b.vault"_s} << false;
        QTest::newRow("a container and a file") << QStringList{u"a.vault"_s, u"Notes.txt"_s} << false;
    }

    void filesChooseTheirFlow()
    {
        QFETCH(QStringList, names);
        QFETCH(bool, decrypt);
        DropStage stage;
        const QStringList paths = pathsOf(names);

        // The program's own entry for files from the command line and later launches.
        stage.controller.processAddedFiles(paths);
        stage.settle();
        if (decrypt) {
            auto *password = qobject_cast<VLDecryptViewController *>(stage.top().get());
            QVERIFY(password);
            QCOMPARE(password->files(), urlsOf(paths));
        } else {
            auto *encrypt = qobject_cast<VLEncryptViewController *>(stage.top().get());
            QVERIFY(encrypt);
            QCOMPARE(encrypt->files(), urlsOf(paths));
            QVERIFY(!VLAlertHandler::lastAlert());
        }
    }

    void theTitleFliesToThePasswordScreenAndBack()
    {
        DropStage stage;
        QWidget *title = stage.drop->titleView();
        QWidget *subtitle = stage.drop->subtitleView();
        const QRectF home = vlFrame(title);
        const QRectF subtitleHome = vlFrame(subtitle);
        stage.controller.processAddedFiles(QStringList{path(u"Notes.txt"_s)});
        auto *encrypt = qobject_cast<VLEncryptViewController *>(stage.top().get());
        QVERIFY(encrypt);
        const QWidget *target = encrypt->titleView();
        const double targetY = target->mapTo(stage.controller.window(), QPoint(0, 0)).y()
                               - title->parentWidget()->mapTo(stage.controller.window(), QPoint(0, 0)).y();
        QVERIFY(targetY < home.y());

        stage.clock.advance(0.1, 6);
        QVERIFY(vlFrame(title).y() < home.y() && vlFrame(title).y() > targetY);
        QCOMPARE(vlAlphaValue(target), 0.0);
        stage.settle();
        QCOMPARE(vlAlphaValue(target), 1.0);
        // The drop screen, kept under the password screen, is ready to be shown again as it was.
        QCOMPARE(vlFrame(title), home);
        QCOMPARE(vlFrame(subtitle), subtitleHome);
        QCOMPARE(vlAlphaValue(title), 1.0);

        // Back: the title starts where the password screen's stands and lands at home.
        QTest::keyClick(stage.controller.window()->focusWidget(), Qt::Key_Escape);
        stage.clock.advance(0.02);
        QVERIFY(vlFrame(title).y() < (home.y() + targetY) * 0.5);
        stage.settle();
        QCOMPARE(stage.top().get(), stage.drop);
        QCOMPARE(vlFrame(title), home);
        QCOMPARE(vlAlphaValue(title), 1.0);
        QCOMPARE(vlAlphaValue(subtitle), 1.0);
    }

    void filesWaitForNoSheet()
    {
        DropStage stage;
        QWidget *window = stage.controller.window();
        VLAlertHandler::beginSheetModalForWindowWithAlertCompletionHandler(
            window, VLAlert::withMessageText(u"Busy"_s, u"OK"_s, {}, {}, {}), {});
        QTRY_VERIFY(VLAlertHandler::currentAlert(window));
        stage.controller.processAddedFiles(QStringList{path(u"Notes.txt"_s)});
        stage.settle();
        QCOMPARE(stage.top().get(), stage.drop); // refused, and not queued either

        VLAlertHandler::currentAlert(window)->buttons().first()->click();
        QTRY_VERIFY(!VLAlertHandler::isSheetOpen(window));
        stage.settle();
        QCOMPARE(stage.top().get(), stage.drop);
        stage.controller.processAddedFiles(QStringList{path(u"Notes.txt"_s)});
        stage.settle();
        QVERIFY(qobject_cast<VLEncryptViewController *>(stage.top().get()));
    }

    void dropsAreLabelledAndRouted_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QPoint>("at");
        QTest::addColumn<QString>("label");
        QTest::addColumn<bool>("decrypt");
        QTest::newRow("file on the bar") << QStringList{u"Notes.txt"_s} << kOverBar << u"Files – Drag and Drop"_s
                                         << false;
        QTest::newRow("file on the title")
            << QStringList{u"Notes.txt"_s} << kOverTitle << u"Files – Drag and Drop"_s << false;
        QTest::newRow("folder") << QStringList{u"Album"_s} << kOverBar << u"Folder – Drag and Drop"_s << false;
        QTest::newRow("container") << QStringList{u"a.vault"_s} << kOverBar << u"Decrypt – Drag and Drop"_s << true;
        // The label looks at the extension's case, the flow does not.
        QTest::newRow("container in capitals")
            << QStringList{u"PHOTO.VAULT"_s} << kOverBar << u"Files – Drag and Drop"_s << true;
        QTest::newRow("folder named as a container")
            << QStringList{u"Box.vault"_s} << kOverBar << u"Decrypt – Drag and Drop"_s << true;
        QTest::newRow("two files") << QStringList{u"Notes.txt"_s, u"Album"_s} << kOverBar << u"Files – Drag and Drop"_s
                                   << false;
    }

    void dropsAreLabelledAndRouted()
    {
        QFETCH(QStringList, names);
        QFETCH(QPoint, at);
        QFETCH(QString, label);
        QFETCH(bool, decrypt);
        DropStage stage;
        const QStringList paths = pathsOf(names);

        QVERIFY(stage.dropFiles(urlsOf(paths), at));
        stage.settle();
        QCOMPARE(qobject_cast<VLEncryptViewController *>(stage.top().get()) != nullptr, !decrypt);
        QCOMPARE(qobject_cast<VLDecryptViewController *>(stage.top().get()) != nullptr, decrypt);
        QTRY_COMPARE(stage.analytics.events(), (QList<SentHit>{eventHit(u"Workflow"_s, u"Add Items"_s, label)}));
        // The bar is back at rest under the next screen.
        QVERIFY(!stage.drop->dragInProgress());
    }

    void aDragWithoutFilesIsRefused()
    {
        DropStage stage;
        QMimeData text;
        text.setText(u"not a file"_s);
        QDragEnterEvent enter(kOverBar, Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
        QVERIFY(!stage.drag(enter));
        stage.settle();
        QVERIFY(sameFrame(vlViewFrame(stage.bar()), kRestingBar));
        QCOMPARE(stage.top().get(), stage.drop);
    }

    void theBarFollowsTheMouseAndDrags()
    {
        DropStage stage;
        VLDropFilesButton *button = stage.drop->dropFilesButton();
        auto *barView = qobject_cast<VLDropBarView *>(stage.drop->centerAlignmentConstraint());
        QVERIFY(barView);
        QVERIFY(!button->isEnabled());

        QTest::mouseMove(stage.controller.window(), kOverBar);
        stage.settle();
        QVERIFY(sameFrame(vlViewFrame(stage.bar()), kExpandedBar));
        QVERIFY(button->isEnabled());
        QVERIFY(button->iconIsPlus());
        QCOMPARE(barView->constant(), 0.0);

        QTest::mouseMove(stage.controller.window(), kOutside);
        stage.settle();
        QVERIFY(sameFrame(vlViewFrame(stage.bar()), kRestingBar));
        QVERIFY(!button->isEnabled());
        QVERIFY(!button->iconIsPlus());

        // A drag expands the bar and lowers its content; the mouse does not change that.
        QMimeData data;
        data.setUrls(urlsOf({path(u"Notes.txt"_s)}));
        QDragEnterEvent enter(kOverBar, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QVERIFY(stage.drag(enter));
        stage.settle();
        QVERIFY(sameFrame(vlViewFrame(stage.bar()), kExpandedBar));
        QCOMPARE(barView->constant(), -20.0);
        QCOMPARE(vlFrame(button).center().y(), 70.0 + 20.0);
        QVERIFY(!button->isEnabled());
        stage.drop->hoverViewMouseInside(nullptr, false);
        stage.drop->hoverViewMouseInside(nullptr, true);
        stage.settle();
        QCOMPARE(barView->constant(), -20.0);
        QVERIFY(!button->isEnabled());

        // Leaving rests the bar a moment later, so a drag that moves on to another target does
        // not make it bounce.
        QDragLeaveEvent leave;
        stage.drag(leave);
        QVERIFY(stage.drop->hasPendingRequests());
        stage.settle();
        QVERIFY(sameFrame(vlViewFrame(stage.bar()), kExpandedBar));
        QTRY_VERIFY(!stage.drop->hasPendingRequests());
        stage.settle();
        QVERIFY(sameFrame(vlViewFrame(stage.bar()), kRestingBar));
        QCOMPARE(barView->constant(), 0.0);
        QCOMPARE(stage.top().get(), stage.drop);
    }

    void theAddButtonOpensThePanel_data()
    {
        QTest::addColumn<bool>("byKey");
        QTest::newRow("click") << false;
        QTest::newRow("Return") << true;
    }

    void theAddButtonOpensThePanel()
    {
        QFETCH(bool, byKey);
        DropStage stage;
        VLFilesOpenPanel::setNextFileNames({path(u"Album"_s)});
        if (byKey) {
            QTRY_VERIFY(stage.controller.window()->focusWidget());
            QTest::keyClick(stage.controller.window()->focusWidget(), Qt::Key_Return);
        } else {
            QTest::mouseMove(stage.controller.window(), kOverBar);
            stage.settle();
            VLDropFilesButton *button = stage.drop->dropFilesButton();
            QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center());
        }
        QTRY_VERIFY(stage.drop->hasPendingRequests());
        QCOMPARE(stage.top().get(), stage.drop); // the files come 0.1 s after the panel
        QTRY_VERIFY(qobject_cast<VLEncryptViewController *>(stage.top().get()));
        auto *encrypt = qobject_cast<VLEncryptViewController *>(stage.top().get());
        QCOMPARE(encrypt->files(), urlsOf({path(u"Album"_s)}));
        QTRY_COMPARE(stage.analytics.events(),
                     (QList<SentHit>{eventHit(u"Workflow"_s, u"Add Items"_s, u"Folder – Add Button"_s)}));
    }

    void aCancelledPanelAddsNothing()
    {
        DropStage stage;
        VLFilesOpenPanel::setNextFileNames({});
        stage.drop->addFiles();
        // The panel's answer comes with the next turn of the event loop.
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        QCOMPARE(stage.top().get(), stage.drop);
        QVERIFY(!stage.drop->hasPendingRequests());
        QTRY_COMPARE(stage.analytics.views(), QStringList{u"Main View"_s});
        QVERIFY(stage.analytics.events().isEmpty());
    }

    void aDragRightAfterThePanelReplacesItsFiles()
    {
        DropStage stage;
        VLFilesOpenPanel::setNextFileNames({path(u"Album"_s)});
        stage.drop->addFiles();
        QTRY_VERIFY(stage.drop->hasPendingRequests());
        QVERIFY(stage.dropFiles(urlsOf({path(u"Notes.txt"_s)})));
        stage.settle();
        auto *encrypt = qobject_cast<VLEncryptViewController *>(stage.top().get());
        QVERIFY(encrypt);
        QCOMPARE(encrypt->files(), urlsOf({path(u"Notes.txt"_s)}));
        // The panel's entry is gone, not merely late.
        QVERIFY(!stage.drop->hasPendingRequests());
    }
};

QTEST_MAIN(TestDropScreen)
#include "tst_dropscreen.moc"
