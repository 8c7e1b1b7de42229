#pragma once

#include "windowing/windows/VLWindow.h"

// A window that draws its own chrome for older systems: no standard title bar, a clear frame
// and a dark content area with rounded corners (radius 4) covering the whole window, title
// area included. Its title is kept for the window list but never drawn.
class VLLegacyWindow : public VLWindow
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(VLLegacyWindow)

public:
    explicit VLLegacyWindow(QWidget *parent = nullptr);
    ~VLLegacyWindow() override;

    // The content covers the whole window.
    void setContentView(QWidget *view);
    QWidget *contentView() const;
    QRect contentViewFrame() const;

    // Always empty: nothing shows in the frame.
    QString title() const;
    // Stores the title for the window list (the task bar here).
    void setTitle(const QString &title);
    QString windowTitleText() const { return m_windowTitle; }

    static QColor contentColor();

    // Without a title bar the window moves by its background: presses that no control takes
    // reach the window and drag it.
    bool mouseDownCanMoveWindow() const { return true; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void repositionContentView();

    QString m_windowTitle;
    bool m_dragging = false;
    QPoint m_dragOrigin;
    QPoint m_pressPosition;
};

// The main window on older systems: closing it is a quit request, as for VLModernWindow.
class VLMainLegacyWindow final : public VLLegacyWindow
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(VLMainLegacyWindow)

public:
    explicit VLMainLegacyWindow(QWidget *parent = nullptr);
    ~VLMainLegacyWindow() override;

protected:
    void closeEvent(QCloseEvent *event) override;
};
