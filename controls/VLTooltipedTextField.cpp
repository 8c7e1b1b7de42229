#include "controls/VLTooltipedTextField.h"

#include <QEvent>
#include <QFontMetricsF>

VLTooltipedTextField::VLTooltipedTextField(QWidget *parent) : QLabel(parent)
{
}

void VLTooltipedTextField::setStringValue(const QString &value)
{
    setText(value);
    updateToolTip();
}

double VLTooltipedTextField::textWidth() const
{
    return QFontMetricsF(font()).horizontalAdvance(text());
}

void VLTooltipedTextField::updateToolTip()
{
    setToolTip(textWidth() > width() ? text() : QString());
}

// Layouts size a label after its text is set, and the letter spacing may come later too, so the
// rule is applied again whenever either changes.
void VLTooltipedTextField::resizeEvent(QResizeEvent *event)
{
    QLabel::resizeEvent(event);
    updateToolTip();
}

void VLTooltipedTextField::changeEvent(QEvent *event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        updateToolTip();
}
