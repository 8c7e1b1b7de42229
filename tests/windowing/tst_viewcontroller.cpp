#include "NavigationTestSupport.h"

#include "ui_FormScreen-Legacy.h"
#include "ui_FormScreen.h"
#include "windowing/navigation/VLInterfaceRegistry.h"

#include <QLabel>
#include <QPointer>
#include <QTest>

namespace {

// A titled screen whose interface file is a Designer form; legacy picks the "-Legacy" variant
// (the nib-name helper decides that in the application).
class FormScreen final : public VLTitledViewController
{
    Q_OBJECT

public:
    explicit FormScreen(bool legacy = false) : m_legacy(legacy) {}
    QString nibName() const override
    {
        return m_legacy ? QStringLiteral("FormScreen-Legacy") : QStringLiteral("FormScreen");
    }

private:
    bool m_legacy;
};

class PlainScreen final : public VLViewController
{
    Q_OBJECT

public:
    int loads = 0;
    void viewDidLoad() override { ++loads; }
};

} // namespace

class TestViewController : public QObject
{
    Q_OBJECT

private slots:
    void viewLoadsOnceWithBackLink()
    {
        PlainScreen screen;
        QVERIFY(!screen.isViewLoaded());
        QCOMPARE(screen.nibName(), QStringLiteral("PlainScreen"));
        QWidget *view = screen.view();
        QVERIFY(view);
        QVERIFY(screen.isViewLoaded());
        QCOMPARE(screen.view(), view);
        QCOMPARE(screen.loads, 1);
        QCOMPARE(VLViewController::viewController(view), &screen);

        auto *other = new QWidget;
        screen.setView(other);
        QCOMPARE(VLViewController::viewController(view), nullptr);
        QCOMPARE(VLViewController::viewController(other), &screen);
        delete view;
    }

    void controllerOwnsItsViews()
    {
        QPointer<QWidget> view;
        QPointer<QWidget> overlay;
        {
            PlainScreen screen;
            view = screen.view();
            overlay = new QWidget;
            screen.setOverlayView(overlay);
            QWidget parent;
            vlAddSubview(&parent, view);
            vlRemoveFromSuperview(view);
        }
        QVERIFY(!view);
        QVERIFY(!overlay);
    }

    void interfaceRegistryBuildsTheView()
    {
        VLInterfaceRegistry::registerInterface(QStringLiteral("PlainScreen"),
                                               [](QWidget *view, VLViewController *owner) {
                                                   auto *label = new QLabel(QStringLiteral("Title"), view);
                                                   label->setObjectName(QStringLiteral("titleLabel"));
                                                   owner->setInitialFirstResponder(label);
                                               });
        PlainScreen screen;
        QVERIFY(screen.view()->findChild<QLabel *>(QStringLiteral("titleLabel")));
        QCOMPARE(screen.loads, 1);
        VLInterfaceRegistry::unregisterInterface(QStringLiteral("PlainScreen"));
        QVERIFY(!VLInterfaceRegistry::contains(QStringLiteral("PlainScreen")));
        PlainScreen bare;
        QVERIFY(bare.view()->children().isEmpty());
    }

    void designerFormsByNibName()
    {
        VLInterfaceRegistry::registerForm<Ui::FormScreen>(QStringLiteral("FormScreen"),
                                                          [](Ui::FormScreen &form, VLViewController *owner) {
                                                              auto *screen = static_cast<FormScreen *>(owner);
                                                              screen->setTitleView(form.titleLabel);
                                                              screen->setInitialFirstResponder(form.passwordField);
                                                          });
        VLInterfaceRegistry::registerForm<Ui::FormScreenLegacy>(
            QStringLiteral("FormScreen-Legacy"), [](Ui::FormScreenLegacy &form, VLViewController *owner) {
                static_cast<FormScreen *>(owner)->setTitleView(form.titleLabel);
            });

        FormScreen modern;
        QWidget window;
        vlAddSubview(&window, modern.view());
        QCOMPARE(modern.view()->size(), QSize(400, 300));
        QCOMPARE(qobject_cast<QLabel *>(modern.titleView())->text(), QStringLiteral("Enter a password"));
        QCOMPARE(modern.firstValidResponder()->objectName(), QStringLiteral("passwordField"));

        FormScreen legacy(true);
        vlAddSubview(&window, legacy.view());
        QCOMPARE(vlViewFrame(legacy.titleView()), QRectF(10, 10, 380, 24));
        QVERIFY(!legacy.view()->findChild<QLineEdit *>());
        QCOMPARE(legacy.firstValidResponder(), legacy.view());
        VLInterfaceRegistry::unregisterInterface(QStringLiteral("FormScreen"));
        VLInterfaceRegistry::unregisterInterface(QStringLiteral("FormScreen-Legacy"));
    }

    void navigationLinkFallsBackOnTheParent()
    {
        VLNavigationController navigation;
        PlainScreen parent;
        PlainScreen child;
        parent.addChildViewController(&child);
        QCOMPARE(child.parentViewController(), &parent);
        QCOMPARE(child.navigationController(), nullptr);
        parent.setNavigationController(&navigation);
        QCOMPARE(child.navigationController(), &navigation);
        child.removeFromParentViewController();
        QCOMPARE(child.navigationController(), nullptr);
        QVERIFY(parent.childViewControllers().isEmpty());
    }

    void firstValidResponder()
    {
        QStringList log;
        RecordingScreen withField(QStringLiteral("F"), &log, Qt::gray, 1);
        RecordingScreen bare(QStringLiteral("N"), &log);
        QWidget window;
        vlAddSubview(&window, withField.view());
        QLineEdit *field = withField.fields().first();
        QCOMPARE(withField.firstValidResponder(), field);
        // The screen's view gives way to a valid initial responder.
        QVERIFY(!vlAcceptsFirstResponder(withField.view()));
        QVERIFY(!vlCanBecomeKeyView(withField.view()));
        field->hide();
        QCOMPARE(withField.firstValidResponder(), withField.view());
        QVERIFY(vlAcceptsFirstResponder(withField.view()));
        field->show();
        field->setFocusPolicy(Qt::NoFocus);
        QCOMPARE(withField.firstValidResponder(), withField.view());

        QCOMPARE(bare.firstValidResponder(), bare.view());
        QVERIFY(vlAcceptsFirstResponder(bare.view()));
        QVERIFY(vlCanBecomeKeyView(bare.view()));
        // Its own view as initial responder is the same as none (and does not ask in circles).
        bare.setInitialFirstResponder(bare.view());
        QCOMPARE(bare.firstValidResponder(), bare.view());
        QVERIFY(vlAcceptsFirstResponder(bare.view()));
        QVERIFY(vlCanBecomeKeyView(bare.view()));
        QLabel label;
        QVERIFY(!vlAcceptsFirstResponder(&label));
    }

    void responderChainPassesThroughTheController()
    {
        QStringList log;
        RecordingScreen screen(QStringLiteral("S"), &log, Qt::gray, 1);
        QWidget window;
        vlAddSubview(&window, screen.view());
        QLineEdit *field = screen.fields().first();
        QCOMPARE(vlResponderFollowing(field), screen.view());
        QCOMPARE(vlResponderFollowing(screen.view()), &screen);
        QCOMPARE(vlResponderFollowing(&screen), &window);
        QCOMPARE(vlResponderFollowing(&window), nullptr);
        // An explicit next responder wins (the overlay root hands on to the shown screen).
        QWidget overlayRoot(&window);
        vlSetNextResponder(&overlayRoot, &screen);
        QCOMPARE(vlResponderFollowing(&overlayRoot), &screen);
    }

    void autoresizing()
    {
        QWidget superview;
        superview.resize(400, 300);
        auto *sizable = new QWidget(&superview);
        sizable->setGeometry(10, 20, 380, 260);
        vlSetAutoresizingMask(sizable, VLViewWidthSizable | VLViewHeightSizable);
        auto *pinnedBottom = new QWidget(&superview);
        pinnedBottom->setGeometry(0, 250, 100, 50);
        vlSetAutoresizingMask(pinnedBottom, VLViewMaxYMargin); // flexible top margin
        auto *still = new QWidget(&superview);
        still->setGeometry(5, 5, 50, 50);
        vlSetAutoresizingMask(still, VLViewWidthSizable | VLViewHeightSizable);
        vlSetAutoLayoutDisabled(still, true);

        superview.show();
        superview.resize(500, 400);
        QCOMPARE(sizable->geometry(), QRect(10, 20, 480, 360));
        QCOMPARE(pinnedBottom->geometry(), QRect(0, 350, 100, 50));
        QCOMPARE(still->geometry(), QRect(5, 5, 50, 50));

        // A view moved into another superview follows that one.
        QWidget other;
        other.resize(200, 200);
        vlAddSubview(&other, sizable);
        sizable->setGeometry(0, 0, 200, 200);
        other.resize(300, 250); // hidden: Qt delivers the resize when it shows
        other.show();
        QCOMPARE(sizable->geometry(), QRect(0, 0, 300, 250));

        // A frame set against the new size while the resize is still pending is not moved again.
        QWidget hidden;
        hidden.resize(200, 100);
        auto *child = new QWidget(&hidden);
        vlSetAutoresizingMask(child, VLViewWidthSizable | VLViewHeightSizable);
        vlSetViewFrame(child, QRectF(0, 0, 200, 100));
        hidden.resize(400, 300);
        vlSetViewFrame(child, vlViewBounds(&hidden));
        hidden.show();
        QCOMPARE(child->geometry(), QRect(0, 0, 400, 300));
        hidden.resize(500, 300);
        QCOMPARE(child->geometry(), QRect(0, 0, 500, 300));
    }

    void titledScreenHasNoStillViews()
    {
        VLTitledViewController titled;
        QVERIFY(titled.nonanimatableViews().isEmpty());
        QLabel title;
        titled.setTitleView(&title);
        QCOMPARE(titled.titleView(), &title);
    }
};

QTEST_MAIN(TestViewController)
#include "tst_viewcontroller.moc"
