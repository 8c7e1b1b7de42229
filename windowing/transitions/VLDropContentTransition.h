#pragma once

#include "windowing/navigation/VLNavigationControllerTransitioning.h"
#include "windowing/transitions/VLRecordedAlphas.h"

#include <QObject>
#include <QPointer>
#include <QRectF>

#include <memory>

// Between the drop screen (a VLDropAnimationSource) and a password screen (a
// VLDropAnimationDestination): the drop screen's title flies to the password screen's title and
// its subtitle travels along, fading, while all other views of both screens cross-fade. A pop runs
// the flight back. The drop screen is left exactly as it was (frames and alphas), since it stays
// on the stack to be shown again.
class VLDropContentTransition final : public QObject, public VLNavigationControllerAnimatedTransitioning
{
    Q_OBJECT
public:
    explicit VLDropContentTransition(bool push);
    static std::shared_ptr<VLDropContentTransition> transitionWithPush(bool push);

    double transitionDuration(const VLTransitionContextPtr &context) override;
    void animateTransition(const VLTransitionContextPtr &context) override;
    void animationEndedForContext(bool finished, const VLTransitionContextPtr &context) override;

    bool push() const { return m_push; }
    // The from-screen's fading views and their alphas, as recorded at the start.
    const VLRecordedAlphas &fromControllerAlphas() const { return m_fromAlphas; }
    QList<double> fromControllerAlphaValues() const { return m_fromAlphas.values(); }
    QRectF originalSourceTitleRect() const { return m_originalSourceTitleRect; }
    void setOriginalSourceTitleRect(const QRectF &rect) { m_originalSourceTitleRect = rect; }
    QRectF originalSourceSubtitleRect() const { return m_originalSourceSubtitleRect; }
    void setOriginalSourceSubtitleRect(const QRectF &rect) { m_originalSourceSubtitleRect = rect; }

private:
    struct Roles
    {
        QWidget *sourceTitle = nullptr;
        QWidget *sourceSubtitle = nullptr;
        QWidget *destinationTitle = nullptr;
        QList<QWidget *> excepted() const { return {sourceTitle, sourceSubtitle, destinationTitle}; }
    };
    Roles rolesFor(const VLTransitionContextPtr &context) const;

    bool m_push;
    bool m_animated = false; // the flight ran, so there is state to put back
    VLRecordedAlphas m_fromAlphas;
    QRectF m_originalSourceTitleRect;
    QRectF m_originalSourceSubtitleRect;
};
