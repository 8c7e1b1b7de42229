#pragma once

#include "platform/animation/VLAnimationClock.h"
#include "platform/view/ViewAlpha.h"
#include "windowing/navigation/VLKeyViewLoop.h"
#include "windowing/navigation/VLNavigationController.h"
#include "windowing/navigation/VLTitledViewController.h"
#include "windowing/navigation/VLViewHierarchy.h"
#include "windowing/transitions/VLDecryptFinishedScreens.h"
#include "windowing/transitions/VLDropAnimationDestination.h"
#include "windowing/transitions/VLDropAnimationSource.h"

#include <QApplication>
#include <QColor>
#include <QPainter>
#include <QPalette>
#include <QWidget>

#include <functional>

// Small screens in the shape of the real ones: solid blocks that grabs can check by colour. The
// blocks paint their fill themselves, as views inside fading views must (see ViewAlpha.h).
class Block final : public QWidget
{
public:
    Block(QWidget *parent, const QColor &color) : QWidget(parent), m_color(color) {}

protected:
    void paintEvent(QPaintEvent *) override { QPainter(this).fillRect(rect(), m_color); }

private:
    QColor m_color;
};

inline QWidget *makeBlock(QWidget *parent, const QRect &frame, const QColor &color, const QString &name)
{
    auto *block = new Block(parent, color);
    block->setObjectName(name);
    block->setGeometry(frame);
    return block;
}

inline QWidget *makeRootView()
{
    auto *view = new QWidget;
    view->resize(400, 300);
    return view;
}

// The drop screen: an icon, a large title with a subtitle under it, and a half-transparent button.
class DropSourceScreen final : public VLViewController, public VLDropAnimationSource
{
    Q_OBJECT
public:
    explicit DropSourceScreen(bool withTitle = true) : m_withTitle(withTitle) { setObjectName(QStringLiteral("drop")); }

    QWidget *titleView() const override { return m_title; }
    QWidget *subtitleView() const override { return m_subtitle; }
    QWidget *icon = nullptr;
    QWidget *button = nullptr;

protected:
    void loadView() override
    {
        QWidget *view = makeRootView();
        icon = makeBlock(view, QRect(60, 40, 80, 80), Qt::green, QStringLiteral("icon"));
        if (m_withTitle)
            m_title = makeBlock(view, QRect(100, 130, 200, 30), Qt::blue, QStringLiteral("title"));
        m_subtitle = makeBlock(view, QRect(100, 170, 200, 20), Qt::darkBlue, QStringLiteral("subtitle"));
        button = makeBlock(view, QRect(150, 230, 100, 30), Qt::red, QStringLiteral("button"));
        setView(view);
        vlSetAlphaValue(button, 0.5);
    }

private:
    bool m_withTitle;
    QWidget *m_title = nullptr;
    QWidget *m_subtitle = nullptr;
};

// A password screen: its title sits in a header container beside a caption; a field, a hidden
// caps-lock badge and a partly transparent button below.
class PasswordScreen final : public VLTitledViewController, public VLDropAnimationDestination
{
    Q_OBJECT
public:
    explicit PasswordScreen(QString name, QColor titleColor = Qt::magenta, QColor fieldColor = Qt::yellow)
        : m_titleColor(titleColor)
        , m_fieldColor(fieldColor)
    {
        setObjectName(name);
    }

    QWidget *titleView() const override { return VLTitledViewController::titleView(); }
    QList<QWidget *> nonanimatableViews() const override { return {titleView()}; }
    QWidget *header = nullptr;
    QWidget *caption = nullptr;
    QWidget *field = nullptr;
    QWidget *badge = nullptr;
    QWidget *confirm = nullptr;
    int titleHeight = 30; // set before the view loads

protected:
    void loadView() override;

private:
    QColor m_titleColor;
    QColor m_fieldColor;
};

// A titled screen that keeps the base class's empty list of still views.
class PlainTitledScreen final : public VLTitledViewController
{
    Q_OBJECT
public:
    explicit PlainTitledScreen(QString name, QColor fieldColor) : m_fieldColor(fieldColor) { setObjectName(name); }
    QWidget *field = nullptr;

protected:
    void loadView() override;

private:
    QColor m_fieldColor;
};

// The decrypted result screen and the completed screen that follows it.
class DecryptedScreen final : public VLTitledViewController, public VLDecryptFinishedSourceScreen
{
    Q_OBJECT
public:
    DecryptedScreen() { setObjectName(QStringLiteral("decrypted")); }
    QWidget *startOverButton() const override { return m_startOver; }
    QWidget *titleView() const override { return VLTitledViewController::titleView(); }
    QWidget *iconView() const override { return m_icon; }
    QWidget *saveButton = nullptr;
    QWidget *label = nullptr;

protected:
    void loadView() override;

private:
    QWidget *m_startOver = nullptr;
    QWidget *m_icon = nullptr;
};

class CompletedScreen final : public VLTitledViewController, public VLDecryptFinishedDestinationScreen
{
    Q_OBJECT
public:
    CompletedScreen() { setObjectName(QStringLiteral("completed")); }
    QWidget *startOverButton() const override { return m_startOver; }
    QWidget *titleView() const override { return VLTitledViewController::titleView(); }
    QWidget *titleLabel() const override { return m_titleLabel; }
    QWidget *revealButton = nullptr;

protected:
    void loadView() override;

private:
    QWidget *m_startOver = nullptr;
    QWidget *m_titleLabel = nullptr;
};

// Answers whatever transition the test sets for the next navigation (the default slide if none).
class TransitionDelegate final : public VLNavigationControllerDelegate
{
public:
    std::function<VLAnimatedTransitioningPtr(bool push, VLViewController *from, VLViewController *to)> factory;

    VLAnimatedTransitioningPtr navigationControllerAnimationControllerForOperationFromViewControllerToViewController(
        VLNavigationController *, VLNavigationControllerOperation operation, VLViewController *from,
        VLViewController *to) override
    {
        return factory && from ? factory(operation == VLNavigationControllerOperation::Push, from, to) : nullptr;
    }
};

// A white window holding a navigation controller, on the manual animation clock.
struct TransitionHarness
{
    VLManualClock clock;
    QWidget window;
    TransitionDelegate delegate;
    VLNavigationControllerPtr navigation = VLViewController::create<VLNavigationController>();

    explicit TransitionHarness(const VLViewControllerPtr &root)
    {
        window.resize(400, 300);
        window.setAutoFillBackground(true);
        QPalette palette = window.palette();
        palette.setColor(QPalette::Window, Qt::white);
        window.setPalette(palette);
        navigation->setDelegate(&delegate);
        vlSetRootViewController(&window, navigation.data());
        navigation->setViewControllers({root});
        QWidget *view = navigation->view();
        view->setGeometry(0, 0, 400, 300);
        vlAddSubview(&window, view);
        window.show();
        QApplication::setActiveWindow(&window);
    }

    QImage grab() { return window.grab().toImage(); }
    QColor pixel(int x, int y) { return grab().pixelColor(x, y); }
};
