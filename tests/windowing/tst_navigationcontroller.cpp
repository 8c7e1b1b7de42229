#include "NavigationTestSupport.h"

#include "platform/desktop/Beep.h"
#include "windowing/navigation/VLNavigationTransitionGroup.h"

#include <QApplication>
#include <QPointer>
#include <QPushButton>
#include <QStyleHints>
#include <QTest>

namespace {

// One window with a navigation controller whose delegate hands out manual transitions.
struct Harness
{
    QStringList log;
    KeyLoopWindow window;
    RecordingDelegate delegate{&log};
    VLNavigationControllerPtr navigation = VLViewController::create<VLNavigationController>();
    QSharedPointer<RecordingScreen> a = screen(QStringLiteral("A"), 1);
    QSharedPointer<RecordingScreen> b = screen(QStringLiteral("B"), 2);
    QSharedPointer<RecordingScreen> c = screen(QStringLiteral("C"));
    QSharedPointer<RecordingScreen> d = screen(QStringLiteral("D"), 1);
    std::shared_ptr<ManualTransition> transition;

    Harness()
    {
        delegate.factory = [this](VLNavigationControllerOperation, VLViewController *, VLViewController *) {
            transition = std::make_shared<ManualTransition>(&log);
            return transition;
        };
        navigation->setDelegate(&delegate);
        vlSetRootViewController(&window, navigation.data());
        navigation->setViewControllers({a});
    }

    QSharedPointer<RecordingScreen> screen(const QString &name, int fields = 0)
    {
        return VLViewController::create<RecordingScreen>(name, &log, Qt::gray, fields);
    }

    // Places the navigation view in the shown window and completes the first display.
    void place()
    {
        QWidget *view = navigation->view();
        view->setGeometry(0, 0, 400, 300);
        vlAddSubview(&window, view);
        window.show();
        QApplication::setActiveWindow(&window);
        finish();
        log.clear();
    }

    void finish(bool finished = true)
    {
        if (transition)
            transition->finish(finished);
    }

    void stack(std::initializer_list<VLViewControllerPtr> screens)
    {
        for (const VLViewControllerPtr &screen : screens) {
            if (screen != navigation->topViewController()) {
                navigation->pushViewControllerAnimated(screen, false);
                finish();
            }
        }
        log.clear();
    }
};

// A screen that may offer the transition away from itself.
class OfferingScreen final : public RecordingScreen
{
public:
    using RecordingScreen::RecordingScreen;
    std::function<VLAnimatedTransitioningPtr(VLNavigationControllerOperation, VLViewController *)> offer;

    VLAnimatedTransitioningPtr navigationControllerAnimationControllerForOperationToViewController(
        VLNavigationController *, VLNavigationControllerOperation operation, VLViewController *to) override
    {
        return offer ? offer(operation, to) : nullptr;
    }
};

QStringList names(const QList<VLViewControllerPtr> &controllers)
{
    QStringList result;
    for (const VLViewControllerPtr &controller : controllers)
        result.append(controller->objectName());
    return result;
}

} // namespace

class TestNavigationController : public QObject
{
    Q_OBJECT

private slots:
    void init() { QGuiApplication::styleHints()->setTabFocusBehavior(Qt::TabFocusTextControls); }

    void beforePlacementNothingNavigates()
    {
        Harness h;
        QVERIFY(!h.navigation->isViewCreated());
        h.navigation->pushViewControllerAnimated(h.b, true);
        QCOMPARE(names(h.navigation->viewControllers()), QStringList{QStringLiteral("A")});
        QVERIFY(h.log.isEmpty());

        // Replacing the stack takes effect; a pop answers the top without removing it.
        h.navigation->setViewControllers({h.a, h.b});
        QCOMPARE(h.navigation->popViewControllerAnimated(true), VLViewControllerPtr(h.b));
        QCOMPARE(names(h.navigation->viewControllers()), (QStringList{QStringLiteral("A"), QStringLiteral("B")}));
        QVERIFY(h.log.isEmpty());
        QVERIFY(h.navigation->canNavigate());

        // The first placement shows the root, not the top, without animation.
        QWidget *view = h.navigation->view();
        vlAddSubview(&h.window, view);
        QCOMPARE(h.log,
                 (QStringList{QStringLiteral("delegate.willShow(A,0)"), QStringLiteral("A.willAppear(0)"),
                              QStringLiteral("delegate.transition(0,-,A)"), QStringLiteral("transition.animate")}));
        QVERIFY(h.navigation->isViewCreated());
        QVERIFY(!h.navigation->canNavigate());
        h.finish();
        QVERIFY(h.navigation->canNavigate());
        QCOMPARE(h.a->navigationController(), h.navigation.data());
        QCOMPARE(vlSuperview(h.a->view()), view);
        QVERIFY(!h.b->isViewLoaded());

        // Later placements change nothing.
        h.log.clear();
        vlRemoveFromSuperview(view);
        vlAddSubview(&h.window, view);
        QVERIFY(h.log.isEmpty());
    }

    void hookOrder_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<bool>("animated");
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QStringList>("after");
        QTest::addColumn<QStringList>("stack");

        const auto list = [](std::initializer_list<const char *> items) {
            QStringList result;
            for (const char *item : items)
                result.append(QString::fromLatin1(item));
            return result;
        };
        QTest::newRow("push") << QStringLiteral("push") << true
                              << list({"delegate.willShow(C,1)", "C.willAppear(1)", "B.willDisappear(1)",
                                       "delegate.transition(0,B,C)", "transition.animate"})
                              << list({"transition.ended(1)", "delegate.didShow(C,1)", "C.didAppear(1)",
                                       "B.didDisappear(1)"})
                              << list({"A", "B", "C"});
        QTest::newRow("pop") << QStringLiteral("pop") << true
                             << list({"delegate.willShow(A,1)", "A.willAppear(1)", "B.willDisappear(1)",
                                      "delegate.transition(1,B,A)", "transition.animate"})
                             << list({"transition.ended(1)", "delegate.didShow(A,1)", "A.didAppear(1)",
                                      "B.didDisappear(1)"})
                             << list({"A"});
        QTest::newRow("pop not animated")
            << QStringLiteral("pop") << false
            << list({"delegate.willShow(A,0)", "A.willAppear(0)", "B.willDisappear(0)", "delegate.transition(1,B,A)",
                     "transition.animate"})
            << list({"transition.ended(1)", "delegate.didShow(A,0)", "A.didAppear(0)", "B.didDisappear(0)"})
            << list({"A"});
        QTest::newRow("pop to root") << QStringLiteral("popToRoot") << true
                                     << list({"delegate.willShow(A,1)", "A.willAppear(1)", "B.willDisappear(1)",
                                              "delegate.transition(1,B,A)", "transition.animate"})
                                     << list({"transition.ended(1)", "delegate.didShow(A,1)", "A.didAppear(1)",
                                              "B.didDisappear(1)"})
                                     << list({"A"});
        QTest::newRow("set new top") << QStringLiteral("setNew") << true
                                     << list({"delegate.willShow(D,1)", "D.willAppear(1)", "B.willDisappear(1)",
                                              "delegate.transition(0,B,D)", "transition.animate"})
                                     << list({"transition.ended(1)", "delegate.didShow(D,1)", "D.didAppear(1)",
                                              "B.didDisappear(1)"})
                                     << list({"A", "D"});
        QTest::newRow("set known top") << QStringLiteral("setKnown") << true
                                       << list({"delegate.willShow(A,1)", "A.willAppear(1)", "B.willDisappear(1)",
                                                "delegate.transition(1,B,A)", "transition.animate"})
                                       << list({"transition.ended(1)", "delegate.didShow(A,1)", "A.didAppear(1)",
                                                "B.didDisappear(1)"})
                                       << list({"A"});
    }

    void hookOrder()
    {
        QFETCH(QString, operation);
        QFETCH(bool, animated);
        QFETCH(QStringList, before);
        QFETCH(QStringList, after);
        QFETCH(QStringList, stack);

        Harness h;
        h.place();
        h.stack({h.a, h.b});

        if (operation == u"push") {
            h.navigation->pushViewControllerAnimated(h.c, animated);
        } else if (operation == u"pop") {
            QCOMPARE(h.navigation->popViewControllerAnimated(animated), VLViewControllerPtr(h.b));
        } else if (operation == u"popToRoot") {
            const auto removed = h.navigation->popToRootViewControllerAnimated(animated);
            QVERIFY(removed);
            QCOMPARE(names(*removed), QStringList{QStringLiteral("B")});
        } else if (operation == u"setNew") {
            h.navigation->setViewControllersAnimated({h.a, h.d}, animated);
        } else if (operation == u"setKnown") {
            h.navigation->setViewControllersAnimated({h.a}, animated);
        }
        QCOMPARE(h.log, before);
        QCOMPARE(names(h.navigation->viewControllers()), stack);
        QVERIFY(!h.navigation->canNavigate());

        h.log.clear();
        h.finish();
        QCOMPARE(h.log, after);
        QVERIFY(h.navigation->canNavigate());
        // Only the new top's view is left in the container.
        QCOMPARE(vlSubviews(h.navigation->navigationView()),
                 QList<QWidget *>{h.navigation->topViewController()->view()});
    }

    void requestsDuringTransitionAreDropped()
    {
        Harness h;
        h.place();
        h.stack({h.a, h.b});
        h.navigation->pushViewControllerAnimated(h.c, true);
        const std::shared_ptr<ManualTransition> running = h.transition;
        h.log.clear();

        h.navigation->pushViewControllerAnimated(h.d, true);
        QCOMPARE(h.navigation->popViewControllerAnimated(true), VLViewControllerPtr());
        QCOMPARE(h.navigation->popToRootViewControllerAnimated(true), std::nullopt);
        QCOMPARE(h.navigation->popToViewControllerAnimated(h.a, true), std::nullopt);
        QVERIFY(h.log.isEmpty());
        QCOMPARE(h.transition, running);
        QCOMPARE(names(h.navigation->viewControllers()),
                 (QStringList{QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")}));
        QVERIFY(!h.d->isViewLoaded());

        h.finish();
        QVERIFY(h.navigation->canNavigate());
        h.navigation->pushViewControllerAnimated(h.d, true);
        QCOMPARE(h.navigation->topViewController(), VLViewControllerPtr(h.d));
        h.finish();
    }

    void stackEdges()
    {
        Harness h;
        h.place();
        QCOMPARE(h.navigation->popViewControllerAnimated(true), VLViewControllerPtr());
        const auto emptyRoot = h.navigation->popToRootViewControllerAnimated(true);
        QVERIFY(emptyRoot && emptyRoot->isEmpty());
        h.stack({h.a, h.b, h.c});
        const auto toTop = h.navigation->popToViewControllerAnimated(h.c, true);
        QVERIFY(toTop && toTop->isEmpty());
        const auto notInStack = h.navigation->popToViewControllerAnimated(h.d, true);
        QVERIFY(notInStack && notInStack->isEmpty());
        QVERIFY(h.log.isEmpty());

        const auto removed = h.navigation->popToViewControllerAnimated(h.b, true);
        QVERIFY(removed);
        QCOMPARE(names(*removed), QStringList{QStringLiteral("C")});
        QVERIFY(h.log.contains(QStringLiteral("delegate.transition(1,C,B)")));
        h.finish();

        // An empty list leaves one blank screen of the navigation view's size.
        h.log.clear();
        h.navigation->setViewControllersAnimated({}, false);
        h.finish();
        QCOMPARE(h.navigation->viewControllers().size(), 1);
        QCOMPARE(vlViewFrame(h.navigation->topViewController()->view()), QRectF(0, 0, 400, 300));
        QCOMPARE(vlSubviews(h.navigation->navigationView()),
                 QList<QWidget *>{h.navigation->topViewController()->view()});
    }

    void replacingTheTopWithItselfKeepsItsView()
    {
        Harness h;
        h.place();
        h.navigation->setViewControllersAnimated({h.a}, true);
        QVERIFY(h.log.contains(QStringLiteral("delegate.transition(1,A,A)")));
        h.finish();
        QCOMPARE(vlSuperview(h.a->view()), h.navigation->navigationView());
        QVERIFY(h.a->view()->isVisible());
    }

    void poppedScreenLivesUntilCompletion()
    {
        Harness h;
        h.place();
        h.stack({h.a, h.c});
        QPointer<RecordingScreen> popped = h.c.data();
        h.c.reset();
        QVERIFY(h.navigation->popViewControllerAnimated(true));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(popped);
        QVERIFY(popped->view()->isVisible());
        h.finish();
        h.transition.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!popped);
    }

    void completionFlagsAndGroups()
    {
        Harness h;
        h.place();
        // A group of one finishing and one unfinished member: the navigation completes with NO,
        // and did-show still carries the request's animated flag.
        std::shared_ptr<ManualTransition> first;
        std::shared_ptr<ManualTransition> second;
        h.delegate.factory = [&](VLNavigationControllerOperation, VLViewController *, VLViewController *) {
            first = std::make_shared<ManualTransition>(&h.log);
            second = std::make_shared<ManualTransition>(&h.log);
            return VLNavigationTransitionGroup::groupWithTransitions({first, second});
        };
        h.navigation->pushViewControllerAnimated(h.b, true);
        QCOMPARE(h.log.count(QStringLiteral("transition.animate")), 2);
        first->finish(true);
        QVERIFY(!h.navigation->canNavigate());
        h.log.clear();
        second->finish(false);
        QCOMPARE(h.log, (QStringList{QStringLiteral("transition.ended(0)"), QStringLiteral("transition.ended(0)"),
                                     QStringLiteral("delegate.didShow(B,1)"), QStringLiteral("B.didAppear(1)"),
                                     QStringLiteral("A.didDisappear(1)")}));
        QVERIFY(h.navigation->canNavigate());

        // An empty group completes at once instead of locking the navigation.
        h.delegate.factory = [](VLNavigationControllerOperation, VLViewController *, VLViewController *) {
            return VLNavigationTransitionGroup::groupWithTransitions({});
        };
        h.log.clear();
        QVERIFY(h.navigation->popViewControllerAnimated(true));
        QVERIFY(h.log.contains(QStringLiteral("A.didAppear(1)")));
        QVERIFY(h.navigation->canNavigate());
        QCOMPARE(VLNavigationTransitionGroup({}).transitionDuration(nullptr), 0.0);
    }

    void secondCompletionIsIgnored()
    {
        Harness h;
        h.place();
        VLTransitionContextPtr context;
        h.delegate.factory = [&](VLNavigationControllerOperation, VLViewController *, VLViewController *) {
            auto transition = std::make_shared<ManualTransition>(&h.log);
            h.transition = transition;
            return transition;
        };
        h.navigation->pushViewControllerAnimated(h.b, true);
        context = h.transition->context();
        h.finish();
        h.navigation->pushViewControllerAnimated(h.c, true);
        h.log.clear();
        // A stale completion from the earlier navigation must not end the running one.
        context->completeTransition(true);
        QVERIFY(h.log.isEmpty());
        QVERIFY(!h.navigation->canNavigate());
        h.finish();
        QVERIFY(h.navigation->canNavigate());
    }

    void transitionChoice()
    {
        // Without a delegate transition the default one shows the screen and completes.
        Harness h;
        h.delegate.factory = nullptr;
        h.place();
        h.navigation->pushViewControllerAnimated(h.b, false);
        QVERIFY(h.navigation->canNavigate());
        QCOMPARE(vlSuperview(h.b->view()), h.navigation->navigationView());
        QCOMPARE(vlViewFrame(h.b->view()), vlViewFrame(h.a->view()));
        QVERIFY(!vlSuperview(h.a->view()));
    }

    void leavingScreenOffersTheTransitionFirst()
    {
        Harness h;
        auto offering = VLViewController::create<OfferingScreen>(QStringLiteral("O"), &h.log);
        std::shared_ptr<ManualTransition> offered;
        offering->offer = [&](VLNavigationControllerOperation operation,
                              VLViewController *to) -> VLAnimatedTransitioningPtr {
            h.log.append(QStringLiteral("screen.transition(%1,%2)").arg(int(operation)).arg(to->objectName()));
            if (to != h.b.data())
                return nullptr; // left to the delegate
            offered = std::make_shared<ManualTransition>(&h.log);
            return offered;
        };
        h.place();
        h.stack({h.a, offering});

        // The screen's answer wins; the delegate is not asked.
        h.navigation->pushViewControllerAnimated(h.b, true);
        QCOMPARE(h.log, (QStringList{QStringLiteral("delegate.willShow(B,1)"), QStringLiteral("B.willAppear(1)"),
                                     QStringLiteral("O.willDisappear(1)"), QStringLiteral("screen.transition(0,B)"),
                                     QStringLiteral("transition.animate")}));
        QVERIFY(offered);
        offered->finish();
        QVERIFY(h.navigation->canNavigate());
        QVERIFY(h.navigation->popViewControllerAnimated(true));
        h.finish();

        // No answer from the screen: the delegate decides.
        h.log.clear();
        h.navigation->pushViewControllerAnimated(h.c, true);
        const QStringList asked = h.log.filter(QStringLiteral(".transition("));
        QCOMPARE(asked,
                 (QStringList{QStringLiteral("screen.transition(0,C)"), QStringLiteral("delegate.transition(0,O,C)")}));
        h.finish();
        QCOMPARE(h.navigation->topViewController(), VLViewControllerPtr(h.c));
    }

    void focusAfterEveryNavigation()
    {
        Harness h;
        h.place();
        QVERIFY(QTest::qWaitForWindowActive(&h.window));
        // A: one field; B: two; C: none; D: one.
        QCOMPARE(h.window.focusWidget(), h.a->fields().first());
        h.navigation->pushViewControllerAnimated(h.b, true);
        QCOMPARE(h.navigation->navigationView()->nextKeyView(), h.b->fields().first());
        h.finish();
        QCOMPARE(QApplication::focusWidget(), h.b->fields().first());
        h.navigation->pushViewControllerAnimated(h.c, true);
        QCOMPARE(h.navigation->navigationView()->nextKeyView(), h.c->view());
        h.finish();
        QCOMPARE(QApplication::focusWidget(), h.c->view());
        QCOMPARE(h.navigation->firstValidResponder(), h.c->view());
        QCOMPARE(h.navigation->initialFirstResponder(), h.c->view());
        h.navigation->popViewControllerAnimated(true);
        QCOMPARE(h.navigation->navigationView()->nextKeyView(), h.b->fields().first());
        h.finish();
        QCOMPARE(QApplication::focusWidget(), h.b->fields().first());
        h.navigation->popToRootViewControllerAnimated(true);
        QCOMPARE(h.navigation->navigationView()->nextKeyView(), h.a->fields().first());
        h.finish();
        QCOMPARE(QApplication::focusWidget(), h.a->fields().first());
        h.navigation->setViewControllersAnimated({h.a, h.d}, true);
        QCOMPARE(h.navigation->navigationView()->nextKeyView(), h.d->fields().first());
        h.finish();
        QCOMPARE(QApplication::focusWidget(), h.d->fields().first());

        // A disabled initial responder is not valid: the view gets the focus.
        h.b->fields().first()->setEnabled(false);
        h.navigation->pushViewControllerAnimated(h.b, true);
        h.finish();
        QCOMPARE(QApplication::focusWidget(), h.b->view());
    }

    void editingEndsBeforeTheTransition()
    {
        Harness h;
        h.place();
        QVERIFY(QTest::qWaitForWindowActive(&h.window));
        QLineEdit *field = h.a->fields().first();
        QCOMPARE(QApplication::focusWidget(), field);
        h.navigation->pushViewControllerAnimated(h.c, true);
        QVERIFY(!field->hasFocus());
        QCOMPARE(QApplication::focusWidget(), &h.window);
        h.finish();
    }

    void keyViewLoop()
    {
        Harness h;
        auto *overlay = new QWidget;
        auto *overlayField = new QLineEdit(overlay);
        h.b->setOverlayView(overlay);
        auto *button = new QPushButton(QStringLiteral("Go"));
        button->setFocusPolicy(Qt::TabFocus);
        h.place();
        QVERIFY(QTest::qWaitForWindowActive(&h.window));
        h.stack({h.a, h.b});
        button->setParent(h.b->view());
        button->show();
        vlAddSubview(&h.window, overlay);
        overlay->setGeometry(0, 250, 400, 50);

        QLineEdit *first = h.b->fields().at(0);
        QLineEdit *second = h.b->fields().at(1);
        QCOMPARE(QApplication::focusWidget(), first);
        QTest::keyClick(first, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), second);
        QTest::keyClick(second, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), overlayField);
        QTest::keyClick(overlayField, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), first); // wrapped to the first valid responder
        QTest::keyClick(first, Qt::Key_Backtab);
        QCOMPARE(QApplication::focusWidget(), overlayField);

        // Full keyboard access brings the button into the loop.
        QGuiApplication::styleHints()->setTabFocusBehavior(Qt::TabFocusAllControls);
        second->setFocus();
        QTest::keyClick(second, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), button);
    }

    void tabOnScreenWithoutControlsBeeps()
    {
        int beeps = 0;
        platform::setBeepHandler([&beeps] { ++beeps; });
        Harness h;
        h.place();
        QVERIFY(QTest::qWaitForWindowActive(&h.window));
        h.stack({h.a, h.c});
        QCOMPARE(QApplication::focusWidget(), h.c->view());
        QTest::keyClick(h.c->view(), Qt::Key_Tab);
        QCOMPARE(beeps, 1);
        QCOMPARE(QApplication::focusWidget(), h.c->view());

        h.c->insertTab();
        QCOMPARE(beeps, 2);
        h.navigation->popViewControllerAnimated(false);
        h.finish();
        h.a->insertTab();
        QCOMPARE(beeps, 2);
        QCOMPARE(QApplication::focusWidget(), h.a->fields().first());
        platform::setBeepHandler({});
    }

    void screensKeepTheirViewsWhenTheWindowGoes()
    {
        QStringList log;
        auto navigation = VLViewController::create<VLNavigationController>();
        auto a = VLViewController::create<RecordingScreen>(QStringLiteral("A"), &log);
        auto b = VLViewController::create<RecordingScreen>(QStringLiteral("B"), &log, Qt::gray, 1);
        auto c = VLViewController::create<RecordingScreen>(QStringLiteral("C"), &log);
        navigation->setViewControllers({a});
        auto window = std::make_unique<QWidget>();
        window->resize(400, 300);
        vlAddSubview(window.get(), navigation->view());
        navigation->pushViewControllerAnimated(b, false);
        QPointer<QWidget> shown = b->view();
        QPointer<QLineEdit> field = b->fields().first();
        QCOMPARE(vlSuperview(shown), navigation->navigationView());

        window.reset();
        QVERIFY(shown && field);
        QVERIFY(!shown->parentWidget());
        QCOMPARE(b->view(), shown.data());
        QVERIFY(!navigation->navigationView());
        // Nowhere to show a screen: requests change nothing on screen and leave navigation free.
        navigation->pushViewControllerAnimated(c, true);
        QVERIFY(navigation->canNavigate());
        QVERIFY(!c->isViewLoaded());
        QVERIFY(log.filter(QStringLiteral("C.")).isEmpty());
    }

    void delegateIsWeak()
    {
        Harness h;
        auto *other = new RecordingDelegate(&h.log);
        h.navigation->setDelegate(other);
        QCOMPARE(h.navigation->delegate(), other);
        delete other;
        QCOMPARE(h.navigation->delegate(), nullptr);
        h.place(); // falls back on the default transition
        QVERIFY(h.navigation->canNavigate());
        QCOMPARE(vlSuperview(h.a->view()), h.navigation->navigationView());
    }
};

QTEST_MAIN(TestNavigationController)
#include "tst_navigationcontroller.moc"
