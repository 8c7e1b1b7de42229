#include "NavigationTestSupport.h"

#include "platform/animation/VLAnimationClock.h"
#include "platform/animation/VLAnimator.h"
#include "platform/animation/VLTimingFunction.h"
#include "platform/view/ViewAlpha.h"
#include "windowing/navigation/VLFinishedScreenOverlayTransition.h"
#include "windowing/navigation/VLNavigationControllerDefaultTransition.h"
#include "windowing/navigation/VLNavigationTransitionGroup.h"
#include "windowing/navigation/VLOverlaySpringTransition.h"
#include "windowing/navigation/VLWindowPresentation.h"

#include <QApplication>
#include <QImage>
#include <QPointer>
#include <QTest>

namespace {

const QColor kColorA(200, 40, 40);
const QColor kColorB(40, 160, 60);

// Forwards to a real transition and records the finished flag the navigation reports.
class EndRecorder final : public VLNavigationControllerAnimatedTransitioning
{
public:
    EndRecorder(VLAnimatedTransitioningPtr inner, QList<bool> *ends) : m_inner(std::move(inner)), m_ends(ends) {}
    double transitionDuration(const VLTransitionContextPtr &context) override
    {
        return m_inner->transitionDuration(context);
    }
    void animateTransition(const VLTransitionContextPtr &context) override { m_inner->animateTransition(context); }
    void animationEndedForContext(bool finished, const VLTransitionContextPtr &context) override
    {
        m_ends->append(finished);
        m_inner->animationEndedForContext(finished, context);
    }

private:
    VLAnimatedTransitioningPtr m_inner;
    QList<bool> *m_ends;
};

// A content change that shows the new screen at once, animated or not.
class InstantTransition final : public VLNavigationControllerAnimatedTransitioning
{
public:
    double transitionDuration(const VLTransitionContextPtr &) override { return 0.0; }
    void animateTransition(const VLTransitionContextPtr &context) override { vlPlaceToViewWithoutAnimation(context); }
};

// The main window's arrangement: the navigation view fills the content, and above it the
// overlay root view holds the overlay panel.
struct Stage
{
    VLManualClock clock;
    QStringList log;
    KeyLoopWindow window;
    RecordingDelegate delegate{&log};
    VLNavigationControllerPtr navigation = VLViewController::create<VLNavigationController>();
    QWidget *overlayRoot = new QWidget(&window);
    QWidget *panel = new QWidget(overlayRoot);
    QSharedPointer<RecordingScreen> a = VLViewController::create<RecordingScreen>(QStringLiteral("A"), &log, kColorA);
    QSharedPointer<RecordingScreen> b = VLViewController::create<RecordingScreen>(QStringLiteral("B"), &log, kColorB);
    QList<bool> ends;
    bool finishedOverlay = false;
    bool withOverlay = true;

    Stage()
    {
        window.resize(400, 300);
        delegate.factory = [this](VLNavigationControllerOperation operation, VLViewController *, VLViewController *) {
            QList<VLAnimatedTransitioningPtr> members{VLNavigationControllerDefaultTransition::transitionWithPush(
                operation == VLNavigationControllerOperation::Push)};
            if (withOverlay) {
                if (finishedOverlay)
                    members.append(VLFinishedScreenOverlayTransition::transitionWithOverlayContainerViewOverlayRootView(
                        panel, overlayRoot));
                else
                    members.append(VLOverlaySpringTransition::transitionWithOverlayContainerViewOverlayRootView(
                        panel, overlayRoot));
            }
            return std::make_shared<EndRecorder>(VLNavigationTransitionGroup::groupWithTransitions(members), &ends);
        };
        navigation->setDelegate(&delegate);
        navigation->setViewControllers({a});
        vlSetRootViewController(&window, navigation.data());
        a->setOverlayFrame(QRectF(0, 63, kVLViewNoIntrinsicMetric, 66));
        b->setOverlayFrame(QRectF(0, 20, kVLViewNoIntrinsicMetric, 100));
        overlayRoot->setGeometry(0, 0, 400, 300);
        overlayRoot->setAttribute(Qt::WA_TransparentForMouseEvents);
        QWidget *view = navigation->view();
        view->setGeometry(0, 0, 400, 300);
        vlAddSubview(&window, view);
        overlayRoot->raise();
        window.show();
        ends.clear();
        log.clear();
    }

    QColor pixel(int x, int y) { return window.grab().toImage().pixelColor(x, y); }
    // The colour every sampled point of the window shows, or an invalid colour when they differ.
    QColor uniformColor()
    {
        const QImage image = window.grab().toImage();
        const QColor first = image.pixelColor(1, 1);
        for (int x = 1; x < image.width(); x += 37) {
            for (int y = 1; y < image.height(); y += 29) {
                if (image.pixelColor(x, y) != first)
                    return {};
            }
        }
        return first;
    }
};

double easeIn(double fraction)
{
    return VLTimingFunction::functionWithName(VLTimingFunctionName::EaseIn).solve(fraction);
}

double easeOut(double fraction)
{
    return VLTimingFunction::functionWithName(VLTimingFunctionName::EaseOut).solve(fraction);
}

double easeInEaseOut(double fraction)
{
    return VLTimingFunction::functionWithName(VLTimingFunctionName::EaseInEaseOut).solve(fraction);
}

} // namespace

class TestTransitions : public QObject
{
    Q_OBJECT

private slots:
    void firstDisplayIsImmediate()
    {
        Stage stage;
        QCOMPARE(vlViewFrame(stage.a->view()), QRectF(0, 0, 400, 300));
        QVERIFY(stage.navigation->canNavigate());
        QCOMPARE(stage.ends, QList<bool>());
        // Not animated: the panel takes A's frame at once and A's overlay is linked to it.
        QCOMPARE(vlViewFrame(stage.panel), QRectF(0, 300 - 63 - 66, 400, 66));
        QCOMPARE(stage.a->overlayContainer(), stage.panel);
        QCOMPARE(vlSuperview(stage.a->overlayView()), stage.panel);
        QCOMPARE(vlViewFrame(stage.a->overlayView()), QRectF(0, 0, 400, 66));
        QCOMPARE(stage.uniformColor(), kColorA);
    }

    void slide_data()
    {
        QTest::addColumn<bool>("push");
        QTest::newRow("push") << true;
        QTest::newRow("pop") << false;
    }

    void slide()
    {
        QFETCH(bool, push);
        Stage stage;
        stage.withOverlay = false;
        if (!push)
            stage.navigation->pushViewControllerAnimated(stage.b, false);
        stage.ends.clear();
        const QSharedPointer<RecordingScreen> from = push ? stage.a : stage.b;
        const QSharedPointer<RecordingScreen> to = push ? stage.b : stage.a;
        if (push)
            stage.navigation->pushViewControllerAnimated(stage.b, true);
        else
            QVERIFY(stage.navigation->popViewControllerAnimated(true));
        // The outgoing screen is intact at the start: no flash of the new one.
        const double sign = push ? 1.0 : -1.0;
        QCOMPARE(vlViewFrame(to->view()), QRectF(sign * 400, 0, 400, 300));
        QCOMPARE(stage.uniformColor(), push ? kColorA : kColorB);

        stage.clock.advance(0.1);
        const double progress = push ? easeIn(0.5) : easeOut(0.5);
        QCOMPARE(vlViewFrame(to->view()).x(), sign * 400 * (1.0 - progress));
        QCOMPARE(vlViewFrame(from->view()).x(), -sign * 400 * progress);
        QVERIFY(vlAutoLayoutDisabled(to->view()));
        QVERIFY(!stage.navigation->canNavigate());

        stage.clock.advance(0.1);
        QCOMPARE(vlViewFrame(to->view()), QRectF(0, 0, 400, 300));
        QCOMPARE(stage.ends, QList<bool>{true});
        QVERIFY(stage.navigation->canNavigate());
        QVERIFY(!vlSuperview(from->view()));
        QVERIFY(!vlAutoLayoutDisabled(to->view()));
        QVERIFY(!vlAutoLayoutDisabled(from->view()));
        QCOMPARE(stage.uniformColor(), push ? kColorB : kColorA);
    }

    void interruptedSlideStillCompletes()
    {
        Stage stage;
        stage.withOverlay = false;
        stage.navigation->pushViewControllerAnimated(stage.b, true);
        stage.clock.advance(0.05);
        VLAnimator::removeAnimationForKey(stage.b->view(), QStringLiteral("navAnimation"));
        stage.clock.advance(0.016);
        QCOMPARE(stage.ends, QList<bool>{true});
        QVERIFY(stage.navigation->canNavigate());
    }

    void notAnimatedTakesTheOldFrame()
    {
        Stage stage;
        stage.withOverlay = false;
        vlSetViewFrame(stage.a->view(), QRectF(0, 10, 400, 290));
        stage.navigation->pushViewControllerAnimated(stage.b, false);
        // Completed before the call returned.
        QCOMPARE(stage.ends, QList<bool>{true});
        QCOMPARE(vlViewFrame(stage.b->view()), QRectF(0, 10, 400, 290));
    }

    void overlayFrameTable_data()
    {
        QTest::addColumn<QRectF>("overlayFrame");
        QTest::addColumn<QRectF>("expected");
        const qreal m = kVLViewNoIntrinsicMetric;
        // Content 400 x 300; bottom-left frames, expected in top-left coordinates.
        QTest::newRow("full width band") << QRectF(0, 63, m, 66) << QRectF(0, 300 - 63 - 66, 400, 66);
        QTest::newRow("unset") << QRectF() << QRectF(0, 300, 0, 0);
        QTest::newRow("every marker") << QRectF(m, m, m, m) << QRectF(400, 300 - 300 - 300, 400, 300);
        QTest::newRow("height marker") << QRectF(10, 0, 50, m) << QRectF(10, 0, 50, 300);
        QTest::newRow("no marker") << QRectF(5, 6, 7, 8) << QRectF(5, 300 - 6 - 8, 7, 8);
    }

    void overlayFrameTable()
    {
        QFETCH(QRectF, overlayFrame);
        QFETCH(QRectF, expected);
        Stage stage;
        VLOverlaySpringTransition transition(stage.panel, stage.overlayRoot);
        VLViewController screen;
        screen.setOverlayFrame(overlayFrame);
        QCOMPARE(transition.overlayContainerFrameForController(&screen), expected);

        // A panel outside any window has nothing to take the markers from.
        QWidget loose;
        auto *loosePanel = new QWidget(&loose);
        VLOverlaySpringTransition looseTransition(loosePanel, &loose);
        const QRectF looseFrame = looseTransition.overlayContainerFrameForController(&screen);
        QVERIFY(looseFrame.width() != kVLViewNoIntrinsicMetric && looseFrame.height() != kVLViewNoIntrinsicMetric);
        QCOMPARE(VLOverlaySpringTransition(nullptr, nullptr).overlayContainerFrameForController(nullptr), QRectF());
    }

    void overlaySpring()
    {
        Stage stage;
        auto *background = new QWidget;
        stage.b->setOverlayBackgroundView(background);
        QWidget *fromOverlay = stage.a->overlayView();
        stage.navigation->pushViewControllerAnimated(stage.b, true);
        QWidget *toOverlay = stage.b->overlayView();
        QVERIFY(toOverlay); // made for the screen that had none
        QCOMPARE(vlSuperview(toOverlay), stage.panel);
        QCOMPARE(vlSuperview(background), stage.overlayRoot);
        QCOMPARE(vlAlphaValue(toOverlay), 0.0);
        QCOMPARE(vlAlphaValue(background), 0.0);
        QCOMPARE(vlViewFrame(background), QRectF(0, 0, 400, 300));
        QCOMPARE(vlNextResponder(stage.overlayRoot), stage.b.data());
        QCOMPARE(stage.a->overlayContainer(), nullptr);
        QCOMPARE(stage.b->overlayContainer(), nullptr);

        // Half-way through the fades: out and in run side by side.
        stage.clock.advance(0.075);
        QCOMPARE(vlAlphaValue(fromOverlay), 1.0 - easeInEaseOut(0.5));
        QCOMPARE(vlAlphaValue(toOverlay), easeInEaseOut(0.5));
        QCOMPARE(vlAlphaValue(background), easeInEaseOut(0.5));

        stage.clock.advance(0.075);
        stage.clock.advance(0.016);
        QVERIFY(!vlSuperview(fromOverlay));
        QCOMPARE(vlAlphaValue(fromOverlay), 1.0);
        QCOMPARE(vlAlphaValue(toOverlay), 1.0);
        QCOMPARE(stage.b->overlayContainer(), stage.panel);

        // The spring settles exactly on B's panel frame and then ends the navigation.
        const QRectF target(0, 300 - 20 - 100, 400, 100);
        bool overshot = false;
        for (int i = 0; i < 300 && !stage.navigation->canNavigate(); ++i) {
            stage.clock.advance(1.0 / 60.0);
            if (vlViewFrame(stage.panel).height() > 100.5)
                overshot = true;
        }
        QVERIFY(stage.navigation->canNavigate());
        QVERIFY(overshot); // it is a spring
        QCOMPARE(vlViewFrame(stage.panel), target);
        QCOMPARE(stage.ends, QList<bool>{true});
        QCOMPARE(vlViewFrame(toOverlay), QRectF(0, 0, 400, 100)); // it follows the panel
        QCOMPARE(vlAutoresizingMask(toOverlay), VLViewWidthSizable | VLViewHeightSizable);

        // Going back reuses A's overlay view.
        stage.navigation->popViewControllerAnimated(true);
        for (int i = 0; i < 300 && !stage.navigation->canNavigate(); ++i)
            stage.clock.advance(1.0 / 60.0);
        QCOMPARE(stage.a->overlayView(), fromOverlay);
        QCOMPARE(vlSuperview(fromOverlay), stage.panel);
        QCOMPARE(vlAlphaValue(fromOverlay), 1.0);
        QVERIFY(!vlSuperview(toOverlay));
        QVERIFY(!vlSuperview(background));
        QCOMPARE(vlAlphaValue(background), 1.0);
        QCOMPARE(vlViewFrame(stage.panel), QRectF(0, 300 - 63 - 66, 400, 66));
    }

    void overlayFadesOutlastingTheSpring()
    {
        // Equal panel frames: the spring is at rest at once and, beside a content change that
        // shows at once, ends the navigation on the first frame while the overlay fades still run.
        Stage stage;
        stage.b->setOverlayFrame(stage.a->overlayFrame());
        stage.delegate.factory = [&stage](VLNavigationControllerOperation, VLViewController *, VLViewController *) {
            return VLNavigationTransitionGroup::groupWithTransitions(
                {std::make_shared<InstantTransition>(),
                 VLOverlaySpringTransition::transitionWithOverlayContainerViewOverlayRootView(stage.panel,
                                                                                              stage.overlayRoot)});
        };
        QWidget *aOverlay = stage.a->overlayView();
        stage.navigation->pushViewControllerAnimated(stage.b, true);
        stage.clock.advance(0.016);
        QVERIFY(stage.navigation->canNavigate());
        QWidget *bOverlay = stage.b->overlayView();

        // Straight back, animated: B's cut-short fade-in does not link the screen just left.
        stage.navigation->popViewControllerAnimated(true);
        stage.clock.advance(0.3, 20);
        QVERIFY(stage.navigation->canNavigate());
        QCOMPARE(stage.b->overlayContainer(), nullptr);
        QCOMPARE(stage.a->overlayContainer(), stage.panel);
        QCOMPARE(vlSuperview(aOverlay), stage.panel);
        QCOMPARE(vlAlphaValue(aOverlay), 1.0);
        QVERIFY(!vlSuperview(bOverlay));
        QCOMPARE(vlAlphaValue(bOverlay), 1.0);

        // Forth, then back without animation while the fades run: A's overlay stays shown.
        stage.navigation->pushViewControllerAnimated(stage.b, true);
        stage.clock.advance(0.016);
        QVERIFY(stage.navigation->canNavigate());
        stage.navigation->popViewControllerAnimated(false);
        stage.clock.advance(0.3, 20);
        QCOMPARE(vlSuperview(aOverlay), stage.panel);
        QCOMPARE(vlAlphaValue(aOverlay), 1.0);
        QCOMPARE(stage.a->overlayContainer(), stage.panel);
        QVERIFY(!vlSuperview(bOverlay));
        QCOMPARE(vlAlphaValue(bOverlay), 1.0);
        QCOMPARE(stage.b->overlayContainer(), nullptr);
    }

    void navigationGoesMidTransition()
    {
        Stage stage;
        QPointer<RecordingScreen> b = stage.b.data();
        stage.navigation->pushViewControllerAnimated(stage.b, true);
        stage.clock.advance(0.05);
        QPointer<VLNavigationController> navigation = stage.navigation.data();
        stage.navigation.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!navigation);
        // The slide and the spring run out with nobody left to tell.
        stage.clock.advance(1.0, 60);
        QCOMPARE(VLAnimator::instance()->runningAnimationCount(), 0);
        QVERIFY(b && b->view());
        QVERIFY(!b->view()->parentWidget()); // handed back to its screen, not deleted
    }

    void finishedScreenCollapsesThePanel()
    {
        Stage stage;
        stage.finishedOverlay = true;
        stage.navigation->pushViewControllerAnimated(stage.b, true);
        // One frame: both the fade-in and the spring end in the same tick.
        stage.clock.advance(5.0);
        stage.clock.advance(0.016);
        QVERIFY(stage.navigation->canNavigate());
        QCOMPARE(vlViewFrame(stage.panel), QRectF(0, 150, 400, 0));

        // Not animated, the same.
        stage.navigation->popViewControllerAnimated(false);
        QCOMPARE(vlViewFrame(stage.panel), QRectF(0, 150, 400, 0));
        QCOMPARE(stage.a->overlayContainer(), stage.panel);
    }

    void presentation()
    {
        Stage stage;
        QVERIFY(QTest::qWaitForWindowActive(&stage.window));
        auto sheet = VLViewController::create<RecordingScreen>(QStringLiteral("P"), &stage.log, kColorB, 1);
        auto second = VLViewController::create<RecordingScreen>(QStringLiteral("Q"), &stage.log, kColorB);
        vlSetViewFrame(sheet->view(), QRectF(0, 0, 400, 300));

        vlPresentViewControllerAnimated(&stage.window, sheet, true);
        QCOMPARE(vlViewFrame(sheet->view()), QRectF(0, 300, 400, 300));
        QCOMPARE(sheet->presentingWindow(), &stage.window);
        vlPresentViewControllerAnimated(&stage.window, second, true);
        vlPresentViewControllerAnimated(&stage.window, sheet, true);
        QCOMPARE(vlPresentedViewControllers(&stage.window), QList<VLViewControllerPtr>{sheet});
        QVERIFY(!second->isViewLoaded());

        for (int i = 0;
             i < 600 && VLAnimator::animationForKey(sheet->view(), QStringLiteral("overlayPresentingAnimation")); ++i)
            stage.clock.advance(1.0 / 60.0);
        stage.clock.advance(0.016);
        QCOMPARE(vlViewFrame(sheet->view()), QRectF(0, 0, 400, 300));
        QCOMPARE(QApplication::focusWidget(), sheet->fields().first());
        // Tab stays inside the presented controller.
        QTest::keyClick(sheet->fields().first(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), sheet->fields().first());

        vlDismissViewControllerAnimated(&stage.window, second.data(), true); // not presented: nothing
        QVERIFY(!VLAnimator::animationForKey(sheet->view(), QStringLiteral("overlayPresentingAnimation")));
        vlDismissViewControllerAnimated(&stage.window, sheet.data(), true);
        for (int i = 0;
             i < 600 && VLAnimator::animationForKey(sheet->view(), QStringLiteral("overlayPresentingAnimation")); ++i)
            stage.clock.advance(1.0 / 60.0);
        stage.clock.advance(0.016);
        QVERIFY(vlPresentedViewControllers(&stage.window).isEmpty());
        QVERIFY(!vlSuperview(sheet->view()));
        QCOMPARE(vlViewFrame(sheet->view()), QRectF(0, 300, 400, 300));
        QCOMPARE(stage.uniformColor(), kColorA);
        QCOMPARE(QApplication::focusWidget(), stage.a->view()); // the window's first key view

        // Free again for the next one.
        vlPresentViewControllerAnimated(&stage.window, second, true);
        QCOMPARE(vlPresentedViewControllers(&stage.window), QList<VLViewControllerPtr>{second});
    }
};

QTEST_MAIN(TestTransitions)
#include "tst_transitions.moc"
