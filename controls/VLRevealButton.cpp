#include "controls/VLRevealButton.h"

#include "platform/localization/Localization.h"

#include <QApplication>

namespace {

QColor restingBorderColor()
{
    QColor colour(0, 0, 0);
    colour.setAlphaF(0.1f);
    return colour;
}

} // namespace

VLRevealButton::VLRevealButton(QWidget *parent) : VLRoundedButton(parent)
{
    viewLayer()->setBorderWidth(1.0);
    viewLayer()->setBorderColor(restingBorderColor());
    QFont label = QApplication::font();
    label.setPixelSize(9);
    setFont(label);
    setIsOn(false);
    updateContentsScale(); // again, now that the title is never drawn by the view
}

void VLRevealButton::setIsOn(bool on)
{
    m_isOn = on;
    setTitle(on ? platform::localizedString(QT_TRANSLATE_NOOP("Localizable", "Hide"))
                : platform::localizedString(QT_TRANSLATE_NOOP("Localizable", "Show")));
}

void VLRevealButton::trackingChanged(bool inside)
{
    if (inside) {
        viewLayer()->setBorderWidth(0.0);
        QColor fill(0, 0, 0);
        fill.setAlphaF(0.05f);
        viewLayer()->setBackgroundColor(fill);
    } else {
        viewLayer()->setBackgroundColor(Qt::transparent);
        viewLayer()->setBorderWidth(m_isOn ? 0.0 : 1.0);
    }
}

void VLRevealButton::trackingFinished(bool inside)
{
    QPointer<VLRevealButton> self(this);
    if (inside) {
        setIsOn(!m_isOn);
        sendAction();
    }
    if (!self)
        return;
    viewLayer()->setBorderWidth(1.0);
    viewLayer()->setBackgroundColor(Qt::transparent);
}
