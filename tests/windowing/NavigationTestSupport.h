#pragma once

#include "windowing/navigation/VLKeyViewLoop.h"
#include "windowing/navigation/VLNavigationController.h"
#include "windowing/navigation/VLTitledViewController.h"
#include "windowing/navigation/VLViewHierarchy.h"

#include <QColor>
#include <QLineEdit>
#include <QPalette>
#include <QStringList>
#include <QWidget>

#include <functional>

// A screen that records its hooks and shows a coloured block, optionally with text fields.
class RecordingScreen : public VLTitledViewController
{
    Q_OBJECT

public:
    RecordingScreen(QString name, QStringList *log, QColor color = Qt::gray, int fields = 0)
        : m_name(std::move(name))
        , m_log(log)
        , m_color(color)
        , m_fields(fields)
    {
        setObjectName(m_name);
    }

    QList<QLineEdit *> fields() const { return m_fieldWidgets; }
    QWidget *block() const { return m_block; }
    int didLoadCount() const { return m_didLoad; }

    void viewDidLoad() override { ++m_didLoad; }
    void viewWillAppear(bool animated) override { record(QStringLiteral("willAppear"), animated); }
    void viewDidAppear(bool animated) override { record(QStringLiteral("didAppear"), animated); }
    void viewWillDisappear(bool animated) override { record(QStringLiteral("willDisappear"), animated); }
    void viewDidDisappear(bool animated) override { record(QStringLiteral("didDisappear"), animated); }

protected:
    void loadView() override
    {
        auto *view = new QWidget;
        view->resize(400, 300);
        // The root paints nothing; the block inside it carries the colour.
        m_block = new QWidget(view);
        m_block->setGeometry(0, 0, 400, 300);
        m_block->setAutoFillBackground(true);
        QPalette palette = m_block->palette();
        palette.setColor(QPalette::Window, m_color);
        m_block->setPalette(palette);
        vlSetAutoresizingMask(m_block, VLViewWidthSizable | VLViewHeightSizable);
        for (int i = 0; i < m_fields; ++i) {
            auto *field = new QLineEdit(view);
            field->setObjectName(m_name + QStringLiteral(".field%1").arg(i));
            field->setGeometry(20, 20 + 40 * i, 200, 30);
            m_fieldWidgets.append(field);
        }
        if (!m_fieldWidgets.isEmpty())
            setInitialFirstResponder(m_fieldWidgets.first());
        setView(view);
    }

private:
    void record(const QString &hook, bool animated)
    {
        if (m_log)
            m_log->append(QStringLiteral("%1.%2(%3)").arg(m_name, hook).arg(animated ? 1 : 0));
    }

    QString m_name;
    QStringList *m_log;
    QColor m_color;
    int m_fields;
    int m_didLoad = 0;
    QWidget *m_block = nullptr;
    QList<QLineEdit *> m_fieldWidgets;
};

// Places the to-view at the container's bounds and completes only when told.
class ManualTransition final : public VLNavigationControllerAnimatedTransitioning
{
public:
    explicit ManualTransition(QStringList *log) : m_log(log) {}

    double transitionDuration(const VLTransitionContextPtr &) override { return 0.5; }
    void animateTransition(const VLTransitionContextPtr &context) override
    {
        m_log->append(QStringLiteral("transition.animate"));
        m_context = context;
        QWidget *toView = context->toViewController()->view();
        vlSetViewFrame(toView, vlViewBounds(context->containerView()));
        vlAddSubview(context->containerView(), toView);
    }
    void animationEndedForContext(bool finished, const VLTransitionContextPtr &) override
    {
        m_log->append(QStringLiteral("transition.ended(%1)").arg(finished ? 1 : 0));
    }

    bool isRunning() const { return m_context != nullptr; }
    void finish(bool finished = true)
    {
        const VLTransitionContextPtr context = std::exchange(m_context, nullptr);
        if (context)
            context->completeTransition(finished);
    }
    VLTransitionContextPtr context() const { return m_context; }

private:
    QStringList *m_log;
    VLTransitionContextPtr m_context;
};

class RecordingDelegate final : public QObject, public VLNavigationControllerDelegate
{
    Q_OBJECT

public:
    using Factory = std::function<VLAnimatedTransitioningPtr(VLNavigationControllerOperation, VLViewController *,
                                                             VLViewController *)>;

    explicit RecordingDelegate(QStringList *log) : m_log(log) {}

    Factory factory;

    void navigationControllerWillShowViewControllerAnimated(VLNavigationController *, VLViewController *viewController,
                                                            bool animated) override
    {
        m_log->append(
            QStringLiteral("delegate.willShow(%1,%2)").arg(viewController->objectName()).arg(animated ? 1 : 0));
    }
    void navigationControllerDidShowViewControllerAnimated(VLNavigationController *, VLViewController *viewController,
                                                           bool animated) override
    {
        m_log->append(
            QStringLiteral("delegate.didShow(%1,%2)").arg(viewController->objectName()).arg(animated ? 1 : 0));
    }
    VLAnimatedTransitioningPtr navigationControllerAnimationControllerForOperationFromViewControllerToViewController(
        VLNavigationController *, VLNavigationControllerOperation operation, VLViewController *from,
        VLViewController *to) override
    {
        m_log->append(QStringLiteral("delegate.transition(%1,%2,%3)")
                          .arg(int(operation))
                          .arg(from ? from->objectName() : QStringLiteral("-"), to->objectName()));
        return factory ? factory(operation, from, to) : nullptr;
    }

private:
    QStringList *m_log;
};

// A window whose Tab and Backtab run the key-view loop, as the application's windows do.
class KeyLoopWindow final : public QWidget
{
    Q_OBJECT

public:
    KeyLoopWindow() { resize(400, 300); }

protected:
    bool focusNextPrevChild(bool next) override
    {
        return vlSelectNextKeyView(this, next) || QWidget::focusNextPrevChild(next);
    }
};
