#include "windowing/navigation/VLFinishedScreenOverlayTransition.h"
#include "windowing/navigation/VLNavigationTransitionGroup.h"
#include "windowing/navigation/VLOverlaySpringTransition.h"
#include "windowing/navigation/VLTitledViewController.h"
#include "windowing/transitions/VLContentFadeTransition.h"
#include "windowing/transitions/VLDecryptFinishedTransition.h"
#include "windowing/transitions/VLDropAnimationDestination.h"
#include "windowing/transitions/VLDropAnimationSource.h"
#include "windowing/transitions/VLDropContentTransition.h"
#include "windowing/transitions/VLPartialDissolveTransition.h"
#include "windowing/windows/VLAlertHandler.h"
#include "windowing/windows/VLContentWindowController.h"
#include "windowing/windows/VLErrorsHandler.h"
#include "windowing/windows/VLFilesDestination.h"
#include "windowing/windows/VLLegacyWindow.h"
#include "windowing/windows/VLModernWindow.h"
#include "windowing/windows/VLTerminator.h"
#include "windowing/windows/VLTerminatorProxy.h"

#include "platform/core/AppKitVersion.h"

#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>

using namespace Qt::StringLiterals;

// Stand-ins for the flow screens, named as the chooser knows them.
class PlainScreen : public VLViewController
{
    Q_OBJECT
};

class TitledScreen : public VLTitledViewController
{
    Q_OBJECT
};

class DropScreen : public VLViewController, public VLDropAnimationSource, public VLFilesDestination
{
    Q_OBJECT
public:
    QWidget *titleView() const override { return m_title; }
    QWidget *subtitleView() const override { return m_subtitle; }
    void proceedWithFiles(const QList<QUrl> &urls) override { received << urls; }
    QList<QList<QUrl>> received;

protected:
    void loadView() override
    {
        auto *view = new QWidget;
        m_title = new QLabel(u"Drop"_s, view);
        m_subtitle = new QLabel(u"files"_s, view);
        setView(view);
    }

private:
    QPointer<QWidget> m_title;
    QPointer<QWidget> m_subtitle;
};

class PasswordScreen : public VLTitledViewController, public VLDropAnimationDestination
{
    Q_OBJECT
public:
    QWidget *titleView() const override { return VLTitledViewController::titleView(); }

protected:
    void loadView() override
    {
        auto *view = new QWidget;
        auto *field = new QLineEdit(view);
        field->setObjectName(u"passwordField"_s);
        field->setGeometry(20, 100, 200, 30);
        auto *hint = new QLineEdit(view);
        hint->setObjectName(u"hintField"_s);
        hint->setGeometry(20, 140, 200, 30);
        setInitialFirstResponder(field);
        setView(view);
    }
};

class ProgressScreen : public VLTitledViewController, public VLTerminator
{
    Q_OBJECT
public:
    bool shouldDelayTerminationForTerminator(VLTerminatorProxy *) override { return true; }
};

class VLDecryptedViewController : public VLTitledViewController
{
    Q_OBJECT
};
class VLDecryptCompletedViewController : public VLTitledViewController
{
    Q_OBJECT
};
class VLEncryptedViewController : public VLTitledViewController
{
    Q_OBJECT
};
class VLSpecialCaseViewController : public VLTitledViewController
{
    Q_OBJECT
};

namespace {

VLViewControllerPtr makeScreen(const QString &kind)
{
    if (kind == u"plain")
        return VLViewController::create<PlainScreen>();
    if (kind == u"titled")
        return VLViewController::create<TitledScreen>();
    if (kind == u"drop")
        return VLViewController::create<DropScreen>();
    if (kind == u"password")
        return VLViewController::create<PasswordScreen>();
    if (kind == u"progress")
        return VLViewController::create<ProgressScreen>();
    if (kind == u"decrypted")
        return VLViewController::create<VLDecryptedViewController>();
    if (kind == u"completed")
        return VLViewController::create<VLDecryptCompletedViewController>();
    if (kind == u"encrypted")
        return VLViewController::create<VLEncryptedViewController>();
    if (kind == u"special")
        return VLViewController::create<VLSpecialCaseViewController>();
    return {};
}

QString contentKind(const VLAnimatedTransitioningPtr &transition)
{
    if (auto drop = std::dynamic_pointer_cast<VLDropContentTransition>(transition))
        return drop->push() ? u"drop push"_s : u"drop pop"_s;
    if (std::dynamic_pointer_cast<VLDecryptFinishedTransition>(transition))
        return u"decrypt finished"_s;
    if (std::dynamic_pointer_cast<VLPartialDissolveTransition>(transition))
        return u"partial dissolve"_s;
    if (std::dynamic_pointer_cast<VLContentFadeTransition>(transition))
        return u"content fade"_s;
    return u"?"_s;
}

QString overlayKind(const VLAnimatedTransitioningPtr &transition)
{
    if (std::dynamic_pointer_cast<VLFinishedScreenOverlayTransition>(transition))
        return u"finished overlay"_s;
    if (std::dynamic_pointer_cast<VLOverlaySpringTransition>(transition))
        return u"spring"_s;
    return u"?"_s;
}

} // namespace

class TestTransitionChooser : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QApplication::setQuitOnLastWindowClosed(false);
        VLTerminatorProxy::sharedInstance()->setExitHandler([] {});
    }

    void cleanup()
    {
        platform::setAppKitVersionNumberForTesting(0);
        VLContentWindowController::setRootViewControllerFactory({});
        VLTerminatorProxy::sharedInstance()->setTerminator(nullptr);
        VLTerminatorProxy::sharedInstance()->setState(0);
    }

    void chooser_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<bool>("push");
        QTest::addColumn<bool>("legacy");
        QTest::addColumn<QString>("content");
        QTest::addColumn<QString>("overlay");

        QTest::newRow("drop to password") << "drop"
                                          << "password" << true << false << "drop push"
                                          << "spring";
        QTest::newRow("password back to drop") << "password"
                                               << "drop" << false << false << "drop pop"
                                               << "spring";
        QTest::newRow("legacy: drop to password fades") << "drop"
                                                        << "password" << true << true << "content fade"
                                                        << "spring";
        QTest::newRow("legacy: password to drop fades") << "password"
                                                        << "drop" << false << true << "content fade"
                                                        << "spring";
        QTest::newRow("decrypted to completed") << "decrypted"
                                                << "completed" << true << false << "decrypt finished"
                                                << "spring";
        QTest::newRow("completed back to decrypted") << "completed"
                                                     << "decrypted" << false << false << "partial dissolve"
                                                     << "finished overlay";
        QTest::newRow("password to progress") << "password"
                                              << "progress" << true << false << "partial dissolve"
                                              << "spring";
        QTest::newRow("progress to encrypted") << "progress"
                                               << "encrypted" << true << false << "partial dissolve"
                                               << "finished overlay";
        QTest::newRow("progress to decrypted") << "progress"
                                               << "decrypted" << true << false << "partial dissolve"
                                               << "finished overlay";
        QTest::newRow("progress to special case") << "progress"
                                                  << "special" << true << false << "partial dissolve"
                                                  << "finished overlay";
        QTest::newRow("encrypted back to drop") << "encrypted"
                                                << "drop" << false << false << "content fade"
                                                << "spring";
        QTest::newRow("first screen, no from") << ""
                                               << "drop" << true << false << "content fade"
                                               << "spring";
        QTest::newRow("plain to titled") << "plain"
                                         << "titled" << true << false << "content fade"
                                         << "spring";
        QTest::newRow("drop to drop is no drop pair") << "drop"
                                                      << "drop" << true << false << "content fade"
                                                      << "spring";
    }

    void chooser()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(bool, push);
        QFETCH(bool, legacy);
        QFETCH(QString, content);
        QFETCH(QString, overlay);

        if (legacy)
            platform::setAppKitVersionNumberForTesting(platform::appKitVersionLegacy);
        VLContentWindowController controller;
        controller.window();
        const VLViewControllerPtr fromScreen = from.isEmpty() ? VLViewControllerPtr() : makeScreen(from);
        const VLViewControllerPtr toScreen = makeScreen(to);
        const VLAnimatedTransitioningPtr chosen =
            controller.navigationControllerAnimationControllerForOperationFromViewControllerToViewController(
                controller.navigationController(),
                push ? VLNavigationControllerOperation::Push : VLNavigationControllerOperation::Pop, fromScreen.get(),
                toScreen.get());
        const auto group = std::dynamic_pointer_cast<VLNavigationTransitionGroup>(chosen);
        QVERIFY(group);
        QCOMPARE(group->transitions().size(), 2);
        QCOMPARE(contentKind(group->transitions().at(0)), content);
        QCOMPARE(overlayKind(group->transitions().at(1)), overlay);
        auto spring = std::dynamic_pointer_cast<VLOverlaySpringTransition>(group->transitions().at(1));
        QCOMPARE(spring->overlayContainerView(), controller.overlayContainerView());
        QCOMPARE(spring->overlayRootView(), controller.overlayRootView());
    }

    void legacyGateChoosesTheWindowAndSheetPlace_data()
    {
        QTest::addColumn<bool>("legacy");
        QTest::newRow("modern") << false;
        QTest::newRow("legacy") << true;
    }

    void legacyGateChoosesTheWindowAndSheetPlace()
    {
        QFETCH(bool, legacy);
        if (legacy)
            platform::setAppKitVersionNumberForTesting(platform::appKitVersionLegacy);
        VLContentWindowController controller;
        VLWindow *window = controller.window();
        QCOMPARE(qobject_cast<VLMainLegacyWindow *>(window) != nullptr, legacy);
        QCOMPARE(qobject_cast<VLModernWindow *>(window) != nullptr, !legacy);
        const QRect proposed(10, 20, 300, 100);
        QCOMPARE(controller.windowWillPositionSheetUsingRect(proposed), legacy ? proposed : proposed.translated(0, 23));

        // A sheet shown on the window really hangs there.
        controller.showWindow();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        VLAlertHandler::beginSheetModalForWindowWithAlertCompletionHandler(
            window, VLErrorsHandler::alertForError(VLError(), QString()), {});
        QMessageBox *sheet = VLAlertHandler::currentAlert(window);
        QVERIFY(sheet);
        QCOMPARE(sheet->pos().y(), window->geometry().y() + (legacy ? 0 : 23));
        sheet->reject();
        QTRY_VERIFY(!VLAlertHandler::isSheetOpen(window));
    }

    void rootScreenTakesFilesOnlyWhileOnTop()
    {
        QPointer<DropScreen> drop;
        VLContentWindowController::setRootViewControllerFactory([&drop] {
            auto screen = VLViewController::create<DropScreen>();
            drop = screen.get();
            return screen;
        });
        VLContentWindowController controller;
        controller.showWindow();
        QVERIFY(QTest::qWaitForWindowExposed(controller.window()));
        VLNavigationController *navigation = controller.navigationController();
        QTRY_VERIFY(navigation->isViewCreated() && navigation->canNavigate());
        QVERIFY(drop);
        QCOMPARE(navigation->rootViewController().get(), drop.data());
        QVERIFY(controller.canProcessNewFiles());

        const QUrl a = QUrl::fromLocalFile(u"/tmp/a.txt"_s);
        const QUrl b(u"file:///tmp/b.vault"_s);
        controller.processAddedFiles(QVariantList{u"/tmp/a.txt"_s, 5, b, QVariant(QSize(1, 1))});
        QCOMPARE(drop->received, (QList<QList<QUrl>>{{a, b}}));
        // A list with nothing usable starts nothing.
        controller.processAddedFiles(QVariantList{7, QVariant()});
        QCOMPARE(drop->received.size(), 1);

        navigation->pushViewControllerAnimated(VLViewController::create<PasswordScreen>(), false);
        QTRY_VERIFY(navigation->canNavigate());
        QVERIFY(!controller.canProcessNewFiles());
        controller.processAddedFiles(QStringList{u"/tmp/ignored"_s});
        QCOMPARE(drop->received.size(), 1);

        navigation->popViewControllerAnimated(false);
        QTRY_VERIFY(navigation->canNavigate());
        QVERIFY(controller.canProcessNewFiles());
        controller.processAddedFiles(QStringList{u"/tmp/c"_s});
        QCOMPARE(drop->received.size(), 2);
    }

    void theRootComesFromTheFactoryAndTakesFiles()
    {
        VLContentWindowController::setRootViewControllerFactory(
            [] { return VLViewControllerPtr(VLViewController::create<DropScreen>()); });
        VLContentWindowController controller;
        controller.showWindow();
        QVERIFY(QTest::qWaitForWindowExposed(controller.window()));
        VLContentWindowController::setRootViewControllerFactory({});
        auto *drop = qobject_cast<DropScreen *>(controller.navigationController()->rootViewController().get());
        QVERIFY(drop);
        QVERIFY(controller.isAppStoreReviewPending());
        controller.processAddedFiles(QStringList{u"/tmp/x.vault"_s});
        QCOMPARE(drop->received, QList<QList<QUrl>>{{QUrl::fromLocalFile(u"/tmp/x.vault"_s)}});
        // Files arriving within 0.4 s of showing stop the rating prompt.
        QVERIFY(!controller.isAppStoreReviewPending());
    }

    void theScreenOnTopBecomesTheTerminator()
    {
        VLContentWindowController controller;
        controller.showWindow();
        QVERIFY(QTest::qWaitForWindowExposed(controller.window()));
        VLNavigationController *navigation = controller.navigationController();
        QTRY_VERIFY(navigation->isViewCreated() && navigation->canNavigate());
        VLTerminatorProxy *proxy = VLTerminatorProxy::sharedInstance();
        QCOMPARE(proxy->terminator(), nullptr);

        const VLViewControllerPtr progress = VLViewController::create<ProgressScreen>();
        navigation->pushViewControllerAnimated(progress, false);
        QTRY_VERIFY(navigation->canNavigate());
        QCOMPARE(proxy->terminator(), progress.get());
        // The progress screen holds the quit; cancelled, then the user goes back to the start.
        proxy->terminate();
        QCOMPARE(proxy->state(), qint64(VLTerminatorProxy::VLTerminationStateDelayedByTerminator));

        navigation->pushViewControllerAnimated(VLViewController::create<TitledScreen>(), false);
        QTRY_VERIFY(navigation->canNavigate());
        QCOMPARE(proxy->terminator(), nullptr);
        QCOMPARE(proxy->state(), qint64(VLTerminatorProxy::VLTerminationStateUndetermined));
    }

    void tabStaysInsideTheScreen()
    {
        VLContentWindowController controller;
        controller.showWindow();
        VLWindow *window = controller.window();
        QVERIFY(QTest::qWaitForWindowActive(window));
        VLNavigationController *navigation = controller.navigationController();
        QTRY_VERIFY(navigation->isViewCreated() && navigation->canNavigate());
        navigation->pushViewControllerAnimated(VLViewController::create<PasswordScreen>(), false);
        QTRY_VERIFY(navigation->canNavigate());
        auto *password = window->findChild<QLineEdit *>(u"passwordField"_s);
        auto *hint = window->findChild<QLineEdit *>(u"hintField"_s);
        QVERIFY(password && hint);
        QTRY_COMPARE(QApplication::focusWidget(), password);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), hint);
        // Past the last control the loop returns to the screen's first valid responder.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), password);
    }
};

QTEST_MAIN(TestTransitionChooser)
#include "tst_transitionchooser.moc"
