#include "TransitionTestScreens.h"

#include "platform/animation/VLAnimator.h"
#include "platform/view/ViewFrame.h"
#include "windowing/navigation/VLNavigationTransitionGroup.h"
#include "windowing/transitions/VLContentFadeTransition.h"
#include "windowing/transitions/VLDecryptFinishedTransition.h"
#include "windowing/transitions/VLDropContentTransition.h"
#include "windowing/transitions/VLPartialDissolveTransition.h"

#include <QTest>

#include <cmath>

namespace {

// Core Animation's curves at a quarter, a half and three quarters of their time.
constexpr double kEaseIn25 = 0.093465;
constexpr double kEaseIn50 = 0.315357;
constexpr double kEaseIn75 = 0.621862;
constexpr double kEaseOut25 = 0.378138;
constexpr double kEaseOut50 = 0.684643;

bool near(double actual, double expected, double epsilon = 1e-3)
{
    return std::abs(actual - expected) < epsilon;
}

#define VERIFY_NEAR(actual, expected)                                                                                  \
    QVERIFY2(                                                                                                          \
        near((actual), (expected)),                                                                                    \
        qPrintable(QStringLiteral("%1 is %2, expected %3").arg(QStringLiteral(#actual)).arg(actual).arg(expected)))

// The drop screen's layout and where the password screen's title stands.
const QRectF kTitleStart(100, 130, 200, 30);
const QRectF kTitleTarget(100, 15, 200, 30);
const QRectF kSubtitleStart(100, 170, 200, 20);
const QRectF kSubtitleTarget(100, 55, 200, 20); // moved by the title's dy of -115
constexpr double kSubtitleDistance = 110.0;     // to 5 pixels below the target: |55 + 5 - 170|

double subtitleAlpha(double y)
{
    return std::clamp(1.0 - std::abs(y - kSubtitleStart.y()) / kSubtitleDistance, 0.0, 1.0);
}

bool inContainer(const TransitionHarness &h, VLViewController *controller)
{
    return controller->isViewLoaded() && controller->view()->parentWidget() == h.navigation->navigationView();
}

// Completes only when told: stands in for an overlay transition that is still running.
class HeldTransition final : public VLNavigationControllerAnimatedTransitioning
{
public:
    double transitionDuration(const VLTransitionContextPtr &) override { return 0.3; }
    void animateTransition(const VLTransitionContextPtr &context) override { m_context = context; }
    void finish()
    {
        if (VLTransitionContextPtr context = std::exchange(m_context, nullptr))
            context->completeTransition(true);
    }

private:
    VLTransitionContextPtr m_context;
};

} // namespace

class TestContentTransitions : public QObject
{
    Q_OBJECT

private slots:
    void dropPushFlight();
    void dropPopFlight();
    void dropSubtitleKeepsItsGapUnderTheTitle_data();
    void dropSubtitleKeepsItsGapUnderTheTitle();
    void dropToAScreenWithoutTitle();
    void dropWithoutSourceTitleCompletesAtOnce();
    void dropWithoutAnimation();
    void partialDissolve();
    void partialDissolveWithoutStillViewsFadesEveryView();
    void contentFadeAndBack();
    void decryptFinishedShowsAtOnce();
    void decryptFinishedRestoresAlphasToTheSameViews();
    void tourThroughEveryTransition();
};

void TestContentTransitions::dropPushFlight()
{
    auto drop = VLViewController::create<DropSourceScreen>();
    auto password = VLViewController::create<PasswordScreen>(QStringLiteral("password"));
    TransitionHarness h(drop);
    std::shared_ptr<VLDropContentTransition> transition;
    h.delegate.factory = [&](bool push, VLViewController *, VLViewController *) {
        transition = VLDropContentTransition::transitionWithPush(push);
        return transition;
    };
    QWidget *title = drop->titleView();
    QWidget *subtitle = drop->subtitleView();
    const QImage before = h.grab();

    h.navigation->pushViewControllerAnimated(password, true);
    QVERIFY(transition && transition->push());
    QVERIFY(!h.navigation->canNavigate());
    QCOMPARE(transition->transitionDuration(nullptr), 0.2);
    // The outgoing screen is intact at the start: nothing of the new one shows yet.
    QCOMPARE(h.grab(), before);
    for (QWidget *view :
         {password->titleView(), password->caption, password->field, password->confirm, password->badge})
        QCOMPARE(vlAlphaValue(view), 0.0);
    QCOMPARE(vlAlphaValue(password->view()), 1.0);
    QCOMPARE(vlAlphaValue(password->header), 1.0); // holds the title: split, not faded
    QCOMPARE(transition->fromControllerAlphaValues(), (QList<double>{1.0, 0.5}));
    QCOMPARE(transition->originalSourceTitleRect(), kTitleStart);
    QCOMPARE(transition->originalSourceSubtitleRect(), kSubtitleStart);

    // First half: only the title and subtitle move.
    h.clock.advance(0.05);
    VERIFY_NEAR(vlFrame(title).y(), 130.0 - 115.0 * kEaseIn25);
    QCOMPARE(vlFrame(title).x(), 100.0);
    VERIFY_NEAR(vlFrame(subtitle).y(), 170.0 - 115.0 * kEaseIn25);
    VERIFY_NEAR(vlAlphaValue(subtitle), subtitleAlpha(vlFrame(subtitle).y()));
    QCOMPARE(vlAlphaValue(drop->icon), 1.0);
    QCOMPARE(vlAlphaValue(password->field), 0.0);

    // Second half: the cross-fade, halfway through at 0.15 s.
    h.clock.advance(0.1);
    VERIFY_NEAR(vlFrame(title).y(), 130.0 - 115.0 * kEaseIn75);
    VERIFY_NEAR(vlFrame(subtitle).y(), 170.0 - 115.0 * kEaseIn75);
    VERIFY_NEAR(vlAlphaValue(subtitle), subtitleAlpha(vlFrame(subtitle).y()));
    VERIFY_NEAR(vlAlphaValue(password->field), kEaseIn50);
    VERIFY_NEAR(vlAlphaValue(password->caption), kEaseIn50);
    VERIFY_NEAR(vlAlphaValue(password->confirm), 0.8 * kEaseIn50);
    QCOMPARE(vlAlphaValue(password->badge), 0.0); // hidden before, gets no fade-in
    VERIFY_NEAR(vlAlphaValue(drop->icon), 1.0 - kEaseIn50);
    QCOMPARE(vlAlphaValue(password->titleView()), 0.0);
    QVERIFY(!h.navigation->canNavigate());

    h.clock.advance(0.05);
    QVERIFY(h.navigation->canNavigate());
    QCOMPARE(h.navigation->topViewController(), password);
    QVERIFY(!inContainer(h, drop.data()));
    // The password screen is whole: its title swapped in, its views at their own alphas.
    QCOMPARE(vlAlphaValue(password->titleView()), 1.0);
    QCOMPARE(vlAlphaValue(password->field), 1.0);
    QCOMPARE(vlAlphaValue(password->caption), 1.0);
    QCOMPARE(vlAlphaValue(password->confirm), 0.8);
    QCOMPARE(vlAlphaValue(password->badge), 0.0);
    const QImage after = h.grab();
    QCOMPARE(after.pixelColor(200, 30), QColor(Qt::magenta));
    QCOMPARE(after.pixelColor(200, 115), QColor(Qt::yellow));
    QCOMPARE(after.pixelColor(370, 115), QColor(Qt::white));
    QCOMPARE(after.pixelColor(100, 80), QColor(Qt::white)); // nothing left of the drop screen
    QCOMPARE(after.pixelColor(200, 180), QColor(Qt::white));
    // The drop screen, kept under it, is ready to be shown again exactly as before.
    QCOMPARE(vlFrame(title), kTitleStart);
    QCOMPARE(vlFrame(subtitle), kSubtitleStart);
    QCOMPARE(vlAlphaValue(title), 1.0);
    QCOMPARE(vlAlphaValue(subtitle), 1.0);
    QCOMPARE(vlAlphaValue(drop->icon), 1.0);
    QCOMPARE(vlAlphaValue(drop->button), 0.5);
    QVERIFY(!vlAutoLayoutDisabled(title));
    QVERIFY(!vlAutoLayoutDisabled(subtitle));
    QCOMPARE(VLAnimator::instance()->runningAnimationCount(), 0);
}

void TestContentTransitions::dropPopFlight()
{
    auto drop = VLViewController::create<DropSourceScreen>();
    auto password = VLViewController::create<PasswordScreen>(QStringLiteral("password"));
    TransitionHarness h(drop);
    h.delegate.factory = [](bool push, VLViewController *, VLViewController *) {
        return VLDropContentTransition::transitionWithPush(push);
    };
    h.navigation->pushViewControllerAnimated(password, false);
    QCOMPARE(h.navigation->topViewController(), password);
    QWidget *title = drop->titleView();
    QWidget *subtitle = drop->subtitleView();

    h.navigation->popViewControllerAnimated(true);
    // The flight back starts where the password screen's title stands; the subtitle, shifted by
    // the same distance, starts as transparent as the flight makes it there.
    QCOMPARE(vlFrame(title), kTitleTarget);
    QCOMPARE(vlFrame(subtitle), kSubtitleTarget);
    QCOMPARE(vlAlphaValue(subtitle), 0.0);
    QCOMPARE(vlAlphaValue(password->titleView()), 0.0);
    QCOMPARE(vlAlphaValue(drop->icon), 0.0);
    QCOMPARE(vlAlphaValue(password->field), 1.0);
    const QImage start = h.grab();
    QCOMPARE(start.pixelColor(200, 30), QColor(Qt::blue));
    QCOMPARE(start.pixelColor(200, 115), QColor(Qt::yellow));
    QCOMPARE(start.pixelColor(200, 65), QColor(Qt::white)); // no subtitle flash
    QCOMPARE(start.pixelColor(100, 80), QColor(Qt::white));

    // Both fades run during the first 0.1 s, with ease-out.
    h.clock.advance(0.05);
    VERIFY_NEAR(vlFrame(title).y(), 15.0 + 115.0 * kEaseOut25);
    VERIFY_NEAR(vlFrame(subtitle).y(), 55.0 + 115.0 * kEaseOut25);
    VERIFY_NEAR(vlAlphaValue(subtitle), subtitleAlpha(vlFrame(subtitle).y()));
    VERIFY_NEAR(vlAlphaValue(drop->icon), kEaseOut50);
    VERIFY_NEAR(vlAlphaValue(drop->button), 0.5 * kEaseOut50);
    VERIFY_NEAR(vlAlphaValue(password->field), 1.0 - kEaseOut50);
    QCOMPARE(vlAlphaValue(password->badge), 0.0); // hidden views stay hidden through the fade-out
    h.clock.advance(0.05);
    QCOMPARE(vlAlphaValue(drop->icon), 1.0);
    QCOMPARE(vlAlphaValue(password->field), 0.0);
    QVERIFY(!h.navigation->canNavigate());

    h.clock.advance(0.1);
    QVERIFY(h.navigation->canNavigate());
    QCOMPARE(h.navigation->topViewController(), drop);
    QCOMPARE(vlFrame(title), kTitleStart);
    QCOMPARE(vlFrame(subtitle), kSubtitleStart);
    QCOMPARE(vlAlphaValue(title), 1.0);
    QCOMPARE(vlAlphaValue(subtitle), 1.0); // back at full opacity on arrival
    QCOMPARE(vlAlphaValue(drop->button), 0.5);
    // The popped password screen got its alphas back.
    QCOMPARE(vlAlphaValue(password->titleView()), 1.0);
    QCOMPARE(vlAlphaValue(password->field), 1.0);
    QCOMPARE(vlAlphaValue(password->confirm), 0.8);
    QCOMPARE(vlAlphaValue(password->badge), 0.0);
    const QImage end = h.grab();
    QCOMPARE(end.pixelColor(200, 145), QColor(Qt::blue));
    QCOMPARE(end.pixelColor(200, 180), QColor(Qt::darkBlue));
    QCOMPARE(end.pixelColor(100, 80), QColor(Qt::green));
    QCOMPARE(end.pixelColor(200, 115), QColor(Qt::white));
}

void TestContentTransitions::dropSubtitleKeepsItsGapUnderTheTitle_data()
{
    QTest::addColumn<bool>("push");
    QTest::newRow("push") << true;
    QTest::newRow("pop") << false;
}

void TestContentTransitions::dropSubtitleKeepsItsGapUnderTheTitle()
{
    // The password screen's title is taller than the drop screen's: the subtitle travels with the
    // title's bottom edge, so it stays 10 pixels under the title all the way.
    QFETCH(bool, push);
    auto drop = VLViewController::create<DropSourceScreen>();
    auto password = VLViewController::create<PasswordScreen>(QStringLiteral("password"));
    password->titleHeight = 44;
    TransitionHarness h(drop);
    h.delegate.factory = [](bool pushing, VLViewController *, VLViewController *) {
        return VLDropContentTransition::transitionWithPush(pushing);
    };
    QWidget *title = drop->titleView();
    QWidget *subtitle = drop->subtitleView();
    if (push) {
        h.navigation->pushViewControllerAnimated(password, true);
    } else {
        h.navigation->pushViewControllerAnimated(password, false);
        QVERIFY(h.navigation->popViewControllerAnimated(true));
        QCOMPARE(vlFrame(title), QRectF(100, 15, 200, 44));
        QCOMPARE(vlFrame(subtitle), QRectF(100, 69, 200, 20));
    }
    for (int i = 0; i < 3; ++i) {
        h.clock.advance(0.05);
        VERIFY_NEAR(vlFrame(subtitle).y() - vlFrame(title).bottom(), 10.0);
    }
    h.clock.advance(0.05);
    QVERIFY(h.navigation->canNavigate());
    QCOMPARE(vlFrame(title), kTitleStart);
    QCOMPARE(vlFrame(subtitle), kSubtitleStart);
}

void TestContentTransitions::dropToAScreenWithoutTitle()
{
    // With no destination title the title flies to the window's bottom-left corner, an empty
    // rectangle, and the navigation still completes.
    auto drop = VLViewController::create<DropSourceScreen>();
    auto password = VLViewController::create<PasswordScreen>(QStringLiteral("password"));
    password->view();
    password->setTitleView(nullptr);
    TransitionHarness h(drop);
    h.delegate.factory = [](bool pushing, VLViewController *, VLViewController *) {
        return VLDropContentTransition::transitionWithPush(pushing);
    };
    QWidget *title = drop->titleView();
    h.navigation->pushViewControllerAnimated(password, true);
    h.clock.advance(0.1);
    const QRectF midway = vlFrame(title);
    VERIFY_NEAR(midway.x(), 100.0 - 100.0 * kEaseIn50);
    VERIFY_NEAR(midway.y(), 130.0 + 170.0 * kEaseIn50);
    VERIFY_NEAR(midway.width(), 200.0 - 200.0 * kEaseIn50);
    VERIFY_NEAR(midway.height(), 30.0 - 30.0 * kEaseIn50);
    h.clock.advance(0.1);
    QVERIFY(h.navigation->canNavigate());
    QCOMPARE(h.navigation->topViewController(), password);
    QCOMPARE(vlFrame(title), kTitleStart);
    QCOMPARE(vlAlphaValue(title), 1.0);
}

void TestContentTransitions::dropWithoutSourceTitleCompletesAtOnce()
{
    auto drop = VLViewController::create<DropSourceScreen>(false);
    auto password = VLViewController::create<PasswordScreen>(QStringLiteral("password"));
    TransitionHarness h(drop);
    h.delegate.factory = [](bool push, VLViewController *, VLViewController *) {
        return VLDropContentTransition::transitionWithPush(push);
    };
    h.navigation->pushViewControllerAnimated(password, true);
    QVERIFY(h.navigation->canNavigate());
    QCOMPARE(h.navigation->topViewController(), password);
    QCOMPARE(vlFrame(password->view()), vlFrame(drop->view()));
    QCOMPARE(vlAlphaValue(password->field), 1.0);
    QCOMPARE(vlAlphaValue(drop->subtitleView()), 1.0);
    QCOMPARE(VLAnimator::instance()->runningAnimationCount(), 0);
    QVERIFY(h.navigation->popViewControllerAnimated(true));
    QVERIFY(h.navigation->canNavigate());
    QCOMPARE(h.navigation->topViewController(), drop);
}

void TestContentTransitions::dropWithoutAnimation()
{
    auto drop = VLViewController::create<DropSourceScreen>();
    auto password = VLViewController::create<PasswordScreen>(QStringLiteral("password"));
    TransitionHarness h(drop);
    h.delegate.factory = [](bool push, VLViewController *, VLViewController *) {
        return VLDropContentTransition::transitionWithPush(push);
    };
    vlSetAlphaValue(drop->titleView(), 0.7); // not the flight's business: left as it is
    h.navigation->pushViewControllerAnimated(password, false);
    QVERIFY(h.navigation->canNavigate());
    QCOMPARE(vlFrame(password->view()), QRectF(0, 0, 400, 300));
    QCOMPARE(vlAlphaValue(drop->titleView()), 0.7);
    QCOMPARE(vlFrame(drop->titleView()), kTitleStart);
    QCOMPARE(vlAlphaValue(password->confirm), 0.8);
    QCOMPARE(vlAlphaValue(password->titleView()), 1.0);
    QCOMPARE(h.grab().pixelColor(200, 115), QColor(Qt::yellow));
}

void TestContentTransitions::partialDissolve()
{
    auto first = VLViewController::create<PasswordScreen>(QStringLiteral("first"));
    auto second = VLViewController::create<PasswordScreen>(QStringLiteral("second"), Qt::darkRed, Qt::darkCyan);
    TransitionHarness h(first);
    h.delegate.factory = [](bool, VLViewController *, VLViewController *) {
        return VLPartialDissolveTransition::transition();
    };
    vlSetAlphaValue(first->confirm, 0.4);

    h.navigation->pushViewControllerAnimated(second, true);
    // The still views change over at once; the others wait for the cross-fade.
    QCOMPARE(vlAlphaValue(second->titleView()), 1.0);
    QCOMPARE(vlAlphaValue(first->titleView()), 0.0);
    QCOMPARE(vlAlphaValue(second->field), 0.0);
    QCOMPARE(vlAlphaValue(first->field), 1.0);
    QImage image = h.grab();
    QCOMPARE(image.pixelColor(200, 30), QColor(Qt::darkRed));
    QCOMPARE(image.pixelColor(200, 115), QColor(Qt::yellow));

    h.clock.advance(0.075);
    VERIFY_NEAR(vlAlphaValue(second->field), 0.5);
    VERIFY_NEAR(vlAlphaValue(second->confirm), 0.4);
    VERIFY_NEAR(vlAlphaValue(first->field), 0.5);
    QCOMPARE(vlAlphaValue(second->badge), 0.0);
    QCOMPARE(vlAlphaValue(first->badge), 0.0);

    h.clock.advance(0.075); // the dissolve takes half the 0.3 s it reports
    QVERIFY(h.navigation->canNavigate());
    QCOMPARE(h.navigation->topViewController(), second);
    QCOMPARE(vlAlphaValue(second->field), 1.0);
    QCOMPARE(vlAlphaValue(second->confirm), 0.8);
    QCOMPARE(vlAlphaValue(second->badge), 0.0); // hidden before, hidden after
    // The screen left behind is fully opaque again, its still views too.
    for (QWidget *view : {first->titleView(), first->field, first->confirm, first->caption})
        QCOMPARE(vlAlphaValue(view), 1.0);
    image = h.grab();
    QCOMPARE(image.pixelColor(200, 115), QColor(Qt::darkCyan));
    QCOMPARE(image.pixelColor(200, 30), QColor(Qt::darkRed));
}

void TestContentTransitions::partialDissolveWithoutStillViewsFadesEveryView()
{
    auto first = VLViewController::create<PlainTitledScreen>(QStringLiteral("first"), Qt::yellow);
    auto second = VLViewController::create<PlainTitledScreen>(QStringLiteral("second"), Qt::darkCyan);
    TransitionHarness h(first);
    h.delegate.factory = [](bool, VLViewController *, VLViewController *) {
        return VLPartialDissolveTransition::transition();
    };
    h.navigation->pushViewControllerAnimated(second, true);
    // The titles are not still views here: they cross-fade with everything else.
    QCOMPARE(vlAlphaValue(second->titleView()), 0.0);
    QCOMPARE(vlAlphaValue(first->titleView()), 1.0);
    h.clock.advance(0.075);
    for (QWidget *view : {second->titleView(), second->field, first->titleView(), first->field})
        VERIFY_NEAR(vlAlphaValue(view), 0.5);
    h.clock.advance(0.075);
    QVERIFY(h.navigation->canNavigate());
    for (QWidget *view : {second->titleView(), second->field, first->titleView(), first->field})
        QCOMPARE(vlAlphaValue(view), 1.0);
    QCOMPARE(h.grab().pixelColor(200, 115), QColor(Qt::darkCyan));
}

void TestContentTransitions::contentFadeAndBack()
{
    auto drop = VLViewController::create<DropSourceScreen>();
    auto titled = VLViewController::create<PasswordScreen>(QStringLiteral("titled"));
    TransitionHarness h(drop);
    h.delegate.factory = [](bool, VLViewController *, VLViewController *) {
        return VLContentFadeTransition::transition();
    };
    const QImage before = h.grab();
    h.navigation->pushViewControllerAnimated(titled, true);
    QCOMPARE(h.grab(), before);
    h.clock.advance(0.15);
    VERIFY_NEAR(vlAlphaValue(titled->view()), 0.5);
    VERIFY_NEAR(vlAlphaValue(drop->view()), 0.5);
    // Both screens show half faded over the window: green and yellow blocks blended with white.
    const QImage midway = h.grab();
    QVERIFY(near(midway.pixelColor(100, 80).redF(), 0.5, 0.02) && midway.pixelColor(100, 80).greenF() == 1.0);
    QVERIFY(near(midway.pixelColor(200, 115).blueF(), 0.5, 0.02) && midway.pixelColor(200, 115).redF() == 1.0);
    h.clock.advance(0.15);
    QVERIFY(h.navigation->canNavigate());
    QCOMPARE(vlAlphaValue(titled->view()), 1.0);
    QCOMPARE(vlAlphaValue(drop->view()), 0.0); // left transparent until shown again
    QCOMPARE(h.grab().pixelColor(200, 115), QColor(Qt::yellow));

    h.navigation->popViewControllerAnimated(true);
    QCOMPARE(vlAlphaValue(drop->view()), 0.0);
    h.clock.advance(0.3);
    QVERIFY(h.navigation->canNavigate());
    QCOMPARE(vlAlphaValue(drop->view()), 1.0);
    QCOMPARE(h.grab().pixelColor(100, 80), QColor(Qt::green));
}

void TestContentTransitions::decryptFinishedShowsAtOnce()
{
    auto decrypted = VLViewController::create<DecryptedScreen>();
    auto completed = VLViewController::create<CompletedScreen>();
    TransitionHarness h(decrypted);
    std::shared_ptr<VLDecryptFinishedTransition> transition;
    h.delegate.factory = [&](bool, VLViewController *, VLViewController *) {
        transition = VLDecryptFinishedTransition::transition();
        return transition;
    };
    h.navigation->pushViewControllerAnimated(completed, true);
    QVERIFY(h.navigation->canNavigate()); // completed before the push returned
    QCOMPARE(transition->transitionDuration(nullptr), 0.4);
    QCOMPARE(vlFrame(completed->view()), QRectF(0, 0, 400, 300));
    QCOMPARE(h.grab().pixelColor(100, 215), QColor(Qt::yellow));
    // The decrypted screen's views other than the six still ones, in search order.
    QCOMPARE(transition->fromControllerAlphaValues(), (QList<double>{1.0, 0.6}));
}

void TestContentTransitions::decryptFinishedRestoresAlphasToTheSameViews()
{
    auto decrypted = VLViewController::create<DecryptedScreen>();
    auto completed = VLViewController::create<CompletedScreen>();
    TransitionHarness h(decrypted);
    auto overlay = std::make_shared<HeldTransition>();
    h.delegate.factory = [&](bool, VLViewController *, VLViewController *) {
        return VLNavigationTransitionGroup::groupWithTransitions({VLDecryptFinishedTransition::transition(), overlay});
    };
    h.navigation->pushViewControllerAnimated(completed, true);
    QVERIFY(!h.navigation->canNavigate()); // the overlay still runs
    QVERIFY(inContainer(h, completed.data()));

    // Meanwhile the old screen changes: its views fade and a new view comes in front of them in
    // the list, so restoring by position would hit the wrong views.
    QWidget *view = decrypted->view();
    auto *newcomer = makeBlock(view, QRect(0, 0, 10, 10), Qt::black, QStringLiteral("newcomer"));
    newcomer->lower();
    vlSetAlphaValue(newcomer, 0.3);
    for (QWidget *faded :
         {decrypted->saveButton, decrypted->label, decrypted->titleView(), decrypted->startOverButton()})
        vlSetAlphaValue(faded, 0.1);
    vlSetAlphaValue(decrypted->iconView(), 0.2);

    overlay->finish();
    QVERIFY(h.navigation->canNavigate());
    QCOMPARE(vlAlphaValue(decrypted->saveButton), 1.0);
    QCOMPARE(vlAlphaValue(decrypted->label), 0.6);
    QCOMPARE(vlAlphaValue(newcomer), 0.3);
    QCOMPARE(vlAlphaValue(decrypted->titleView()), 1.0);
    QCOMPARE(vlAlphaValue(decrypted->startOverButton()), 1.0);
    QCOMPARE(vlAlphaValue(decrypted->iconView()), 0.2); // a still view, not the transition's to restore
}

void TestContentTransitions::tourThroughEveryTransition()
{
    // The choice the main window makes: decrypt-finished, drop, dissolve, else a fade.
    auto drop = VLViewController::create<DropSourceScreen>();
    auto password = VLViewController::create<PasswordScreen>(QStringLiteral("password"));
    auto decrypted = VLViewController::create<DecryptedScreen>();
    auto completed = VLViewController::create<CompletedScreen>();
    TransitionHarness h(drop);
    QStringList used;
    h.delegate.factory = [&](bool push, VLViewController *from, VLViewController *to) -> VLAnimatedTransitioningPtr {
        if (qobject_cast<DecryptedScreen *>(from) && qobject_cast<CompletedScreen *>(to)) {
            used << QStringLiteral("decryptFinished");
            return VLDecryptFinishedTransition::transition();
        }
        const bool dropPair = (dynamic_cast<VLDropAnimationSource *>(from)
                               && dynamic_cast<VLDropAnimationDestination *>(to))
                              || (dynamic_cast<VLDropAnimationDestination *>(from)
                                  && dynamic_cast<VLDropAnimationSource *>(to));
        if (dropPair) {
            used << QStringLiteral("drop");
            return VLDropContentTransition::transitionWithPush(push);
        }
        if (qobject_cast<VLTitledViewController *>(from) && qobject_cast<VLTitledViewController *>(to)) {
            used << QStringLiteral("dissolve");
            return VLPartialDissolveTransition::transition();
        }
        used << QStringLiteral("fade");
        return VLContentFadeTransition::transition();
    };
    auto settle = [&](const VLViewControllerPtr &top) {
        h.clock.advance(0.5, 30);
        QVERIFY(h.navigation->canNavigate());
        QCOMPARE(h.navigation->topViewController(), top);
        const QList<QWidget *> shown = vlSubviews(h.navigation->navigationView());
        QCOMPARE(shown, QList<QWidget *>{top->view()});
        QCOMPARE(vlAlphaValue(top->view()), 1.0);
    };

    h.navigation->pushViewControllerAnimated(password, true);
    settle(password);
    h.navigation->pushViewControllerAnimated(decrypted, true);
    settle(decrypted);
    h.navigation->pushViewControllerAnimated(completed, true);
    settle(completed);
    QCOMPARE(h.grab().pixelColor(200, 60), QColor(Qt::darkMagenta));
    h.navigation->popToRootViewControllerAnimated(true);
    settle(drop);
    QCOMPARE(h.grab().pixelColor(100, 80), QColor(Qt::green));
    h.navigation->pushViewControllerAnimated(password, true);
    settle(password);
    h.navigation->popViewControllerAnimated(true);
    settle(drop);
    QCOMPARE(used, (QStringList{QStringLiteral("drop"), QStringLiteral("dissolve"), QStringLiteral("decryptFinished"),
                                QStringLiteral("fade"), QStringLiteral("drop"), QStringLiteral("drop")}));
    const QImage home = h.grab();
    QCOMPARE(home.pixelColor(200, 145), QColor(Qt::blue));
    QCOMPARE(home.pixelColor(200, 180), QColor(Qt::darkBlue));
}

QTEST_MAIN(TestContentTransitions)
#include "tst_contenttransitions.moc"
