// A small demonstration window: titled screens pushed and popped through every transition, in
// a window arranged like the main one (content, overlay root, overlay panel). Run with
// VAULTINE_DEMO_INTERACTIVE=1 on a real display to click through it at real speed.

#include "NavigationTestSupport.h"

#include "app/navigation/VLFinishedScreenOverlayTransition.h"
#include "app/navigation/VLNavigationControllerDefaultTransition.h"
#include "app/navigation/VLNavigationTransitionGroup.h"
#include "app/navigation/VLOverlaySpringTransition.h"
#include "platform/animation/VLAnimationClock.h"

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTest>

namespace {

class DemoScreen final : public VLTitledViewController
{
    Q_OBJECT

public:
    DemoScreen(int number, QColor color, bool result)
        : m_number(number)
        , m_color(color)
        , m_result(result)
    {
        setObjectName(QStringLiteral("Screen %1").arg(number));
        setOverlayFrame(QRectF(0, 0, kVLViewNoIntrinsicMetric, 40 + 10 * number));
    }

    bool isResult() const { return m_result; }
    QColor color() const { return m_color; }
    QPushButton *continueButton() const { return m_continue; }
    QPushButton *backButton() const { return m_back; }
    QPushButton *startOverButton() const { return m_startOver; }

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

        contentTransitions.append([](bool push) { return VLNavigationControllerDefaultTransition::transitionWithPush(push); });

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

    // Each change uses the next content transition in turn, so a walk uses all of them.
    QList<ContentTransitionFactory> contentTransitions;
    int changes = 0;

    VLAnimatedTransitioningPtr navigationControllerAnimationControllerForOperationFromViewControllerToViewController(
        VLNavigationController *, VLNavigationControllerOperation operation, VLViewController *,
        VLViewController *to) override
    {
        const bool push = operation == VLNavigationControllerOperation::Push;
        const ContentTransitionFactory &content = contentTransitions.at(changes++ % contentTransitions.size());
        VLAnimatedTransitioningPtr overlay;
        if (static_cast<DemoScreen *>(to)->isResult())
            overlay = VLFinishedScreenOverlayTransition::transitionWithOverlayContainerViewOverlayRootView(m_panel, m_overlayRoot);
        else
            overlay = VLOverlaySpringTransition::transitionWithOverlayContainerViewOverlayRootView(m_panel, m_overlayRoot);
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
                                          QColor(150, 60, 120)};
        auto created = VLViewController::create<DemoScreen>(number, colors.at(number % colors.size()), number == 3);
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

        // Forward to the result screen, one push per content transition and then some.
        for (int step = 1; step <= 3; ++step) {
            DemoScreen *before = window.top();
            QTest::mouseClick(before->continueButton(), Qt::LeftButton);
            QVERIFY(!window.navigation()->canNavigate());
            // The outgoing screen is intact when the transition starts.
            QCOMPARE(window.grab().toImage().pixelColor(5, 5), before->color());
            // A second click while it runs is dropped.
            QTest::mouseClick(window.top()->continueButton(), Qt::LeftButton);
            settle(clock, window);
            QCOMPARE(window.navigation()->viewControllers().size(), step + 1);
            verifyShowsWhole(window, window.top());
        }
        // The result screen collapses the overlay panel to a line across its middle.
        QVERIFY(window.top()->isResult());
        QCOMPARE(vlViewFrame(window.panel()), QRectF(0, 160, 480, 0));

        QTest::mouseClick(window.top()->backButton(), Qt::LeftButton);
        settle(clock, window);
        QCOMPARE(window.top()->objectName(), QStringLiteral("Screen 2"));
        verifyShowsWhole(window, window.top());
        QCOMPARE(vlViewFrame(window.panel()), QRectF(0, 320 - 60, 480, 60));

        QTest::mouseClick(window.top()->startOverButton(), Qt::LeftButton);
        settle(clock, window);
        QCOMPARE(window.top(), root);
        verifyShowsWhole(window, root);
        QCOMPARE(window.navigation()->viewControllers().size(), 1);
        QVERIFY(window.changes >= window.contentTransitions.size());
    }

    void interactive()
    {
        if (qEnvironmentVariableIsEmpty("VAULTINE_DEMO_INTERACTIVE"))
            QSKIP("set VAULTINE_DEMO_INTERACTIVE=1 to click through the demonstration");
        DemoWindow window;
        window.show();
        while (window.isVisible())
            QTest::qWait(50);
    }
};

QTEST_MAIN(TestNavigationDemo)
#include "tst_navigationdemo.moc"
