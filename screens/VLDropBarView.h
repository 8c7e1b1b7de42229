#pragma once

#include "screens/VLScreenView.h"

#include <QPointer>

class VLColoredView;
class VLDropDestinationView;
class VLDropFilesButton;
class VLDropHoverView;

// The drop screen's bar, its overlay view: an amber panel with the Add button in its middle, the
// area that follows the mouse, and a drop target over it all. The button stays centred and is
// shifted by `constant` (points, upwards positive as the layouts count), which an animation of
// the layout-constraint constant drives.
class VLDropBarView final : public VLScreenView
{
    Q_OBJECT
    Q_PROPERTY(double constant READ constant WRITE setConstant)

public:
    explicit VLDropBarView(platform::VLKeyBindingClient *client, QWidget *parent = nullptr);

    double constant() const { return m_constant; }
    void setConstant(double constant);

    VLDropFilesButton *dropFilesButton() const { return m_button; }
    VLDropHoverView *hoverView() const { return m_hover; }
    VLDropDestinationView *dropDestination() const { return m_destination; }

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void layoutContent();

    double m_constant = 0.0;
    VLColoredView *m_background = nullptr;
    VLDropHoverView *m_hover = nullptr;
    VLDropFilesButton *m_button = nullptr;
    VLDropDestinationView *m_destination = nullptr;
};
