#pragma once

#include "app/shell/VLWindow.h"

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

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void repositionContentView();

    QString m_windowTitle;
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
