// A small demonstration window: titled screens pushed and popped through every transition, in
// a window arranged like the main one (content, overlay root, overlay panel). Run with
// VAULTINE_DEMO_INTERACTIVE=1 on a real display to click through it at real speed.

#include "NavigationTestSupport.h"

#include "platform/animation/VLAnimationClock.h"
#include "platform/view/ViewAlpha.h"
#include "windowing/navigation/VLFinishedScreenOverlayTransition.h"
#include "windowing/navigation/VLNavigationControllerDefaultTransition.h"
#include "windowing/navigation/VLNavigationTransitionGroup.h"
#include "windowing/navigation/VLOverlaySpringTransition.h"
#include "windowing/transitions/VLContentFadeTransition.h"
#include "windowing/transitions/VLDecryptFinishedScreens.h"
#include "windowing/transitions/VLDecryptFinishedTransition.h"
#include "windowing/transitions/VLDropAnimationDestination.h"
#include "windowing/transitions/VLDropAnimationSource.h"
#include "windowing/transitions/VLDropContentTransition.h"
#include "windowing/transitions/VLPartialDissolveTransition.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTest>

namespace {

class DemoScreen : public VLTitledViewController
{
    Q_OBJECT

public:
    DemoScreen(int number, QColor color, bool result) : m_number(number), m_color(color), m_result(result)
    {
        setObjectName(QStringLiteral("Screen %1").arg(number));
        setOverlayFrame(QRectF(0, 0, kVLViewNoIntrinsicMetric, 40 + 10 * number));
    }

    bool isResult() const { return m_result; }
    QColor color() const { return m_color; }
    QPushButton *continueButton() const { return m_continue; }
    QPushButton *backButton() const { return m_back; }
    QPushButton *startOverButtonWidget() const { return m_startOver; }
    QWidget *subtitle() const { return m_subtitle; }
    QWidget *icon() const { return m_icon; }
    QWidget *title() const { return VLTitledViewController::titleView(); }

    // Where each screen goes next; set by the window.
    std::function<VLViewControllerPtr(int)> makeNext;

protected:
    void loadView() override
    {
        auto *view = new QWidget;
        view->resize(480, 320);
        auto *block = new QWidget(view);
        block->setGeometry(0, 0, 480, 320);
        block->setAutoFillBackground(true);
        QPalette palette = block->palette();
        palette.setColor(QPalette::Window, m_color);
        block->setPalette(palette);
        vlSetAutoresizingMask(block, VLViewWidthSizable | VLViewHeightSizable);

        auto *title = new QLabel(objectName(), view);
        title->setGeometry(20, 20, 300, 30);
        setTitleView(title);
        m_subtitle = new QLabel(QStringLiteral("Drop files here"), view);
        m_subtitle->setGeometry(20, 50, 300, 20);
        m_icon = new QLabel(QStringLiteral("[]"), view);
        m_icon->setGeometry(400, 20, 40, 40);
        m_continue = new QPushButton(QStringLiteral("Continue"), view);
        m_continue->setGeometry(20, 80, 120, 30);
        m_back = new QPushButton(QStringLiteral("Back"), view);
        m_back->setGeometry(150, 80, 120, 30);
        m_startOver = new QPushButton(QStringLiteral("Start Over"), view);
        m_startOver->setGeometry(280, 80, 120, 30);
        setInitialFirstResponder(m_continue);

        connect(m_continue, &QPushButton::clicked, this, [this] {
            if (VLNavigationController *navigation = navigationController())
                navigation->pushViewControllerAnimated(makeNext(m_number + 1), true);
        });
        connect(m_back, &QPushButton::clicked, this, [this] {
            if (VLNavigationController *navigation = navigationController())
                navigation->popViewControllerAnimated(true);
        });
        connect(m_startOver, &QPushButton::clicked, this, [this] {
            if (VLNavigationController *navigation = navigationController())
                navigation->popToRootViewControllerAnimated(true);
        });

        auto *overlay = new QWidget;
        overlay->setAutoFillBackground(true);
        QPalette overlayPalette = overlay->palette();
        overlayPalette.setColor(QPalette::Window, m_color.darker(150));
        overlay->setPalette(overlayPalette);
        setOverlayView(overlay);
        setView(view);
    }

private:
    int m_number;
    QColor m_color;
    bool m_result;
    QPushButton *m_continue = nullptr;
    QPushButton *m_back = nullptr;
    QPushButton *m_startOver = nullptr;
    QWidget *m_subtitle = nullptr;
    QWidget *m_icon = nullptr;
};

// The roles the content transitions look for, as the drop, password, result and completed
// screens will adopt them.
class DropSourceScreen final : public DemoScreen, public VLDropAnimationSource
{
public:
    using DemoScreen::DemoScreen;
    QWidget *titleView() const override { return title(); }
    QWidget *subtitleView() const override { return subtitle(); }
};

class DropDestinationScreen final : public DemoScreen, public VLDropAnimationDestination
{
public:
    using DemoScreen::DemoScreen;
    QWidget *titleView() const override { return title(); }
};

class FinishedSourceScreen final : public DemoScreen, public VLDecryptFinishedSourceScreen
{
public:
    using DemoScreen::DemoScreen;
    QWidget *startOverButton() const override { return startOverButtonWidget(); }
    QWidget *titleView() const override { return title(); }
    QWidget *iconView() const override { return icon(); }
};

class FinishedDestinationScreen final : public DemoScreen, public VLDecryptFinishedDestinationScreen
{
public:
    using DemoScreen::DemoScreen;
    QWidget *startOverButton() const override { return startOverButtonWidget(); }
    QWidget *titleView() const override { return title(); }
    QWidget *titleLabel() const override { return title(); }
};

class DemoWindow final : public QWidget, public VLNavigationControllerDelegate
{
    Q_OBJECT

public:
    using ContentTransitionFactory = std::function<VLAnimatedTransitioningPtr(bool push)>;

    DemoWindow()
    {
        setWindowTitle(QStringLiteral("Navigation"));
        resize(480, 320);
        m_content = new QWidget(this);
        m_content->setGeometry(0, 0, 480, 320);
        vlSetAutoresizingMask(m_content, VLViewWidthSizable | VLViewHeightSizable);
        m_overlayRoot = new QWidget(this);
        m_overlayRoot->setGeometry(0, 0, 480, 320);
        m_overlayRoot->setAttribute(Qt::WA_TransparentForMouseEvents);
        vlSetAutoresizingMask(m_overlayRoot, VLViewWidthSizable | VLViewHeightSizable);
        m_panel = new QWidget(m_overlayRoot);

        contentTransitions.append([](bool) { return VLPartialDissolveTransition::transition(); });
        contentTransitions.append([](bool) { return VLContentFadeTransition::transition(); });
        contentTransitions.append(
            [](bool push) { return VLNavigationControllerDefaultTransition::transitionWithPush(push); });

        m_navigation->setDelegate(this);
        vlSetRootViewController(this, m_navigation.data());
        m_navigation->setViewControllers({screen(0)});
        QWidget *view = m_navigation->view();
        vlSetAutoresizingMask(view, VLViewWidthSizable | VLViewHeightSizable);
        view->setGeometry(0, 0, 480, 320);
        vlAddSubview(m_content, view);
    }

    VLNavigationController *navigation() const { return m_navigation.data(); }
    QWidget *panel() const { return m_panel; }
    DemoScreen *top() const { return static_cast<DemoScreen *>(m_navigation->topViewController().data()); }

    // The drop and decrypt-finished pairs get their own transitions; other changes take the next
    // of these in turn, so a walk uses all of them.
    QList<ContentTransitionFactory> contentTransitions;
    int changes = 0;
    QStringList used;

    VLAnimatedTransitioningPtr navigationControllerAnimationControllerForOperationFromViewControllerToViewController(
        VLNavigationController *, VLNavigationControllerOperation operation, VLViewController *from,
        VLViewController *to) override
    {
        const bool push = operation == VLNavigationControllerOperation::Push;
        const bool dropPair = (dynamic_cast<VLDropAnimationSource *>(to)
                               && dynamic_cast<VLDropAnimationDestination *>(from))
                              || (dynamic_cast<VLDropAnimationDestination *>(to)
                                  && dynamic_cast<VLDropAnimationSource *>(from));
        const bool finishedPair = dynamic_cast<VLDecryptFinishedSourceScreen *>(from)
                                  && dynamic_cast<VLDecryptFinishedDestinationScreen *>(to);
        ContentTransitionFactory content;
        if (dropPair) {
            content = [](bool forward) { return VLDropContentTransition::transitionWithPush(forward); };
            used.append(QStringLiteral("drop"));
        } else if (finishedPair) {
            content = [](bool) { return VLDecryptFinishedTransition::transition(); };
            used.append(QStringLiteral("decrypt-finished"));
        } else {
            const int index = changes++ % contentTransitions.size();
            content = contentTransitions.at(index);
            used.append(
                QStringList{QStringLiteral("dissolve"), QStringLiteral("fade"), QStringLiteral("slide")}.value(index));
        }
        VLAnimatedTransitioningPtr overlay;
        if (static_cast<DemoScreen *>(to)->isResult())
            overlay = VLFinishedScreenOverlayTransition::transitionWithOverlayContainerViewOverlayRootView(
                m_panel, m_overlayRoot);
        else
            overlay = VLOverlaySpringTransition::transitionWithOverlayContainerViewOverlayRootView(m_panel,
                                                                                                   m_overlayRoot);
        return VLNavigationTransitionGroup::groupWithTransitions({content(push), overlay});
    }

protected:
    bool focusNextPrevChild(bool next) override
    {
        return vlSelectNextKeyView(this, next) || QWidget::focusNextPrevChild(next);
    }

private:
    VLViewControllerPtr screen(int number)
    {
        static const QList<QColor> colors{QColor(70, 90, 160), QColor(60, 140, 90), QColor(170, 120, 50),
                                          QColor(150, 60, 120), QColor(90, 90, 90)};
        const QColor color = colors.at(number % colors.size());
        QSharedPointer<DemoScreen> created;
        switch (number) {
        case 0:
            created = VLViewController::create<DropSourceScreen>(number, color, false);
            break;
        case 1:
            created = VLViewController::create<DropDestinationScreen>(number, color, false);
            break;
        case 3:
            created = VLViewController::create<FinishedSourceScreen>(number, color, true);
            break;
        case 4:
            created = VLViewController::create<FinishedDestinationScreen>(number, color, false);
            break;
        default:
            created = VLViewController::create<DemoScreen>(number, color, false);
            break;
        }
        created->makeNext = [this](int next) { return screen(next); };
        return created;
    }

    QWidget *m_content;
    QWidget *m_overlayRoot;
    QWidget *m_panel;
    VLNavigationControllerPtr m_navigation = VLViewController::create<VLNavigationController>();
};

} // namespace

class TestNavigationDemo : public QObject
{
    Q_OBJECT

private:
    // Runs the clock until the navigation accepts requests again.
    static void settle(VLManualClock &clock, DemoWindow &window)
    {
        for (int i = 0; i < 600 && !window.navigation()->canNavigate(); ++i)
            clock.advance(1.0 / 60.0);
        clock.advance(1.0 / 60.0);
    }

    // The screen is shown whole: its colour fills the window outside its controls and overlay.
    static void verifyShowsWhole(DemoWindow &window, DemoScreen *screen)
    {
        const QImage image = window.grab().toImage();
        for (const QPoint &point : {QPoint(5, 5), QPoint(470, 5), QPoint(240, 150), QPoint(470, 130), QPoint(5, 140)})
            QCOMPARE(image.pixelColor(point), screen->color());
        QCOMPARE(QApplication::focusWidget(), screen->continueButton());
    }

private slots:
    void walkThroughEveryTransition()
    {
        VLManualClock clock;
        DemoWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        DemoScreen *root = window.top();
        QCOMPARE(root->objectName(), QStringLiteral("Screen 0"));
        verifyShowsWhole(window, root);
        window.used.clear(); // the first display
        window.changes = 0;

        enum Action { Continue, Back, StartOver };
        const QList<std::pair<Action, int>> walk{
            {Continue, 1}, {Back, 0},     {Continue, 1}, {Continue, 2},
            {Continue, 3}, {Continue, 4}, {Back, 3},     {StartOver, 0},
        };
        for (const auto &[action, expected] : walk) {
            DemoScreen *before = window.top();
            QPushButton *button = action == Continue ? before->continueButton()
                                  : action == Back   ? before->backButton()
                                                     : before->startOverButtonWidget();
            QTest::mouseClick(button, Qt::LeftButton);
            // The outgoing screen is intact when the transition starts (no flash of the new one);
            // the decrypt-finished hand-over alone shows the new screen at once.
            QVERIFY(!window.navigation()->canNavigate());
            if (window.used.last() != u"decrypt-finished") {
                QCOMPARE(window.grab().toImage().pixelColor(5, 5), before->color());
                // A second click while it runs is dropped.
                QTest::mouseClick(window.top()->continueButton(), Qt::LeftButton);
            }
            settle(clock, window);
            QCOMPARE(window.top()->objectName(), QStringLiteral("Screen %1").arg(expected));
            verifyShowsWhole(window, window.top());
            // Every view of the shown screen is opaque again.
            for (QWidget *view : window.top()->view()->findChildren<QWidget *>())
                QCOMPARE(vlAlphaValue(view), 1.0);
            QCOMPARE(vlAlphaValue(window.top()->view()), 1.0);
            if (window.top()->isResult())
                QCOMPARE(vlViewFrame(window.panel()), QRectF(0, 160, 480, 0)); // collapsed
            else
                QCOMPARE(vlViewFrame(window.panel()), QRectF(0, 320 - 40 - 10 * expected, 480, 40 + 10 * expected));
        }
        QCOMPARE(window.navigation()->viewControllers().size(), 1);
        QCOMPARE(window.used,
                 (QStringList{QStringLiteral("drop"), QStringLiteral("drop"), QStringLiteral("drop"),
                              QStringLiteral("dissolve"), QStringLiteral("fade"), QStringLiteral("decrypt-finished"),
                              QStringLiteral("slide"), QStringLiteral("dissolve")}));
    }

    void onTheRealFrameClock()
    {
        DemoWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        for (int expected : {1, 2}) {
            QTest::mouseClick(window.top()->continueButton(), Qt::LeftButton);
            QTRY_VERIFY_WITH_TIMEOUT(window.navigation()->canNavigate(), 5000);
            QCOMPARE(window.top()->objectName(), QStringLiteral("Screen %1").arg(expected));
            verifyShowsWhole(window, window.top());
        }
        QTest::mouseClick(window.top()->startOverButtonWidget(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(window.navigation()->canNavigate(), 5000);
        QCOMPARE(window.navigation()->viewControllers().size(), 1);
    }

    void interactive()
    {
        if (qEnvironmentVariableIsEmpty("VAULTINE_DEMO_INTERACTIVE"))
            QSKIP("set VAULTINE_DEMO_INTERACTIVE=1 to click through the demonstration");
        DemoWindow window;
        window.show();
        QDeadlineTimer deadline(std::chrono::minutes(10));
        while (window.isVisible() && !deadline.hasExpired())
            QTest::qWait(50);
    }
};

QTEST_MAIN(TestNavigationDemo)
#include "tst_navigationdemo.moc"
