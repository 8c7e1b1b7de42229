#include "controls/VLStartOverButton.h"

VLStartOverButton::VLStartOverButton(QWidget *parent) : VLRoundedButton(parent)
{
    m_maskLayer = new VLLayer;
    m_maskLayer->setBackgroundColor(Qt::black);
    m_maskLayer->setFrame(QRectF(rect()));
    viewLayer()->setMask(m_maskLayer);
    resizeLayers();
}

double VLStartOverButton::cornerRadius() const
{
    return m_maskLayer ? m_maskLayer->cornerRadius() : 0.0;
}

void VLStartOverButton::setCornerRadius(double radius)
{
    m_maskLayer->setCornerRadius(radius);
    resizeLayers();
    update();
}

void VLStartOverButton::resizeLayers()
{
    VLRoundedButton::resizeLayers();
    if (!m_maskLayer)
        return; // the base lays out before the mask exists
    const double r = m_maskLayer->cornerRadius();
    m_maskLayer->setFrame(QRectF(-r, 0, width() + r, height()));
}
