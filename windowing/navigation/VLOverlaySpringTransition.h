#pragma once

#include "windowing/navigation/VLNavigationControllerTransitioning.h"

#include <QPointer>
#include <QRectF>

// Runs beside the content transition: the old screen's overlay views fade out, the new screen's
// fade in, and the overlay panel springs to the new screen's overlay frame.
class VLOverlaySpringTransition : public VLNavigationControllerAnimatedTransitioning
{
public:
    VLOverlaySpringTransition(QWidget *overlayContainerView, QWidget *overlayRootView);
    static std::shared_ptr<VLOverlaySpringTransition> transitionWithOverlayContainerViewOverlayRootView(
        QWidget *overlayContainerView, QWidget *overlayRootView);

    double transitionDuration(const VLTransitionContextPtr &context) override;
    void animateTransition(const VLTransitionContextPtr &context) override;
    void animationEndedForContext(bool finished, const VLTransitionContextPtr &context) override;

    // The panel's frame for a screen, in the panel's superview: the screen's overlay frame with
    // every -1 component taken from the window content (x and width from its width, y and height
    // from its height), turned from bottom-left into top-left coordinates. Not made integral.
    QRectF overlayContainerFrameForController(VLViewController *controller) const;

    QWidget *overlayContainerView() const { return m_overlayContainerView; }
    void setOverlayContainerView(QWidget *view) { m_overlayContainerView = view; }
    QWidget *overlayRootView() const { return m_overlayRootView; }
    void setOverlayRootView(QWidget *view) { m_overlayRootView = view; }

private:
    void animate(const VLTransitionContextPtr &context, VLViewController *from, VLViewController *to);
    void place(const VLTransitionContextPtr &context, VLViewController *from, VLViewController *to);

    QPointer<QWidget> m_overlayContainerView;
    QPointer<QWidget> m_overlayRootView;
};

// The window content a top-level widget shows: a main window's central widget, else the window.
QWidget *vlWindowContentView(QWidget *window);
