#pragma once

#include <QPointer>
#include <QWidget>

class VLNavigationControllerView;

// Told when the navigation view moves between superviews and windows. Qt does not announce the
// new parent ahead of the move, so the will-calls carry the current superview and window.
class VLNavigationControllerViewDelegate
{
public:
    virtual ~VLNavigationControllerViewDelegate() = default;

    virtual void controllerViewWillMoveToSuperview(VLNavigationControllerView *view, QWidget *superview)
    {
        Q_UNUSED(view)
        Q_UNUSED(superview)
    }
    virtual void controllerViewDidMoveToSuperview(VLNavigationControllerView *view, QWidget *superview)
    {
        Q_UNUSED(view)
        Q_UNUSED(superview)
    }
    virtual void controllerViewWillMoveToWindow(VLNavigationControllerView *view, QWidget *window)
    {
        Q_UNUSED(view)
        Q_UNUSED(window)
    }
    virtual void controllerViewDidMoveToWindow(VLNavigationControllerView *view, QWidget *window)
    {
        Q_UNUSED(view)
        Q_UNUSED(window)
    }
};

// The container of the screens' views. It is in a window once it has a superview; a parentless
// widget counts as no window.
class VLNavigationControllerView final : public QWidget
{
    Q_OBJECT

public:
    explicit VLNavigationControllerView(QWidget *parent = nullptr);
    // Hands the screens' views back to their controllers instead of deleting them.
    ~VLNavigationControllerView() override;

    VLNavigationControllerViewDelegate *delegate() const { return m_delegate; }
    void setDelegate(VLNavigationControllerViewDelegate *delegate) { m_delegate = delegate; }

    // The window the view is in, or null.
    QWidget *hostWindow() const;

    // The key view after this one: the top screen's firstValidResponder.
    QWidget *nextKeyView() const { return m_nextKeyView; }
    void setNextKeyView(QWidget *view) { m_nextKeyView = view; }

protected:
    bool event(QEvent *event) override;

private:
    VLNavigationControllerViewDelegate *m_delegate = nullptr;
    QPointer<QWidget> m_nextKeyView;
};
