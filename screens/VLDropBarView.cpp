#include "screens/VLDropBarView.h"

#include "controls/VLColoredView.h"
#include "controls/VLDropDestinationView.h"
#include "controls/VLDropFilesButton.h"
#include "controls/VLDropHoverView.h"
#include "screens/VLScreenStyle.h"

#include "platform/view/ViewFrame.h"

VLDropBarView::VLDropBarView(platform::VLKeyBindingClient *client, QWidget *parent)
    : VLScreenView(client, parent)
    , m_background(new VLColoredView(this))
    , m_hover(new VLDropHoverView(this))
    , m_button(new VLDropFilesButton(m_hover))
    , m_destination(new VLDropDestinationView(this))
{
    setObjectName(QStringLiteral("dropBar"));
    m_background->setObjectName(QStringLiteral("dropBarBackground"));
    m_background->setSolidColor(VLScreenStyle::panelColor());
    m_hover->setObjectName(QStringLiteral("dropHoverView"));
    m_button->setObjectName(QStringLiteral("dropFilesButton"));
    m_destination->setObjectName(QStringLiteral("dropDestination"));
    // The button lies inside the hover area, so that the mouse over it is over the area too;
    // the drop target lies above everything.
    m_destination->raise();
    layoutContent();
}

void VLDropBarView::setConstant(double constant)
{
    m_constant = constant;
    layoutContent();
}

void VLDropBarView::resizeEvent(QResizeEvent *event)
{
    VLScreenView::resizeEvent(event);
    layoutContent();
}

void VLDropBarView::layoutContent()
{
    const QRectF bounds(QPointF(0, 0), QSizeF(size()));
    m_background->setGeometry(rect());
    m_hover->setGeometry(rect());
    m_destination->setGeometry(rect());
    const double side = VLDropFilesButton::iconSide;
    vlSetFrame(m_button,
               QRectF((bounds.width() - side) * 0.5, (bounds.height() - side) * 0.5 - m_constant, side, side));
}
