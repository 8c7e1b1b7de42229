#include "screens/VLFlowScreen.h"

#include "companion/SWAnalyticsTracker.h"
#include "windowing/navigation/VLNavigationController.h"

#include <QKeyEvent>
#include <QPointer>
#include <QTimer>

namespace {

QPointer<SWAnalyticsTracker> &trackerOverride()
{
    static QPointer<SWAnalyticsTracker> tracker;
    return tracker;
}

} // namespace

SWAnalyticsTracker &VLFlowScreen::tracker()
{
    if (SWAnalyticsTracker *tracker = trackerOverride())
        return *tracker;
    return SWAnalyticsTracker::defaultTracker();
}

void VLFlowScreen::setTracker(SWAnalyticsTracker *tracker)
{
    trackerOverride() = tracker;
}

void VLFlowScreen::navigateWhenPossible(VLViewController *screen, std::function<void(VLNavigationController *)> change)
{
    VLNavigationController *navigation = screen ? screen->navigationController() : nullptr;
    if (!navigation)
        return;
    if (navigation->canNavigate()) {
        change(navigation);
        return;
    }
    // The transition's end is a matter of frames: look again shortly.
    QTimer::singleShot(20, screen, [screen, change = std::move(change)]() mutable {
        navigateWhenPossible(screen, std::move(change));
    });
}

QLabel *VLFlowScreen::makeLabel(QWidget *parent, const QString &objectName, int pixelSize, bool bold)
{
    auto *label = new QLabel(parent);
    label->setObjectName(objectName);
    label->setAlignment(Qt::AlignCenter);
    label->setTextFormat(Qt::PlainText);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    label->setFont(font);
    return label;
}
