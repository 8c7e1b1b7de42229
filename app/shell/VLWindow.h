#pragma once

#include <QMainWindow>

#include <functional>

// What the application's windows share: the keyboard loop stays inside the screen on top.
// Tabbing past the last control (or back past the first) of the window's content moves focus
// to the root controller's first valid responder instead of leaving the screen.
class VLWindow : public QMainWindow
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(VLWindow)

public:
    explicit VLWindow(QWidget *parent = nullptr, Qt::WindowFlags flags = {});
    ~VLWindow() override;

    // The control that ends the keyboard loop: the root view controller's first valid
    // responder, asked each time (the screen on top changes).
    using FirstValidResponderProvider = std::function<QWidget *()>;
    void setRootFirstValidResponder(FirstValidResponderProvider provider);
    QWidget *rootFirstValidResponder() const;

    // Focus moves to the next (previous) control of the content, or to the first valid
    // responder when the given control has none.
    void selectKeyViewFollowingView(QWidget *view);
    void selectKeyViewPrecedingView(QWidget *view);

protected:
    bool focusNextPrevChild(bool next) override;

private:
    QList<QWidget *> keyViewLoop() const;

    FirstValidResponderProvider m_firstValidResponder;
};
