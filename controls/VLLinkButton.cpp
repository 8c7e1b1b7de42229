#include "controls/VLLinkButton.h"

VLLinkButton::VLLinkButton(QWidget *parent) : QPushButton(parent)
{
    resetCursorRects();
}

void VLLinkButton::resetCursorRects()
{
    setCursor(Qt::PointingHandCursor);
}
