#include "controls/VLLinkRoundedButton.h"

VLLinkRoundedButton::VLLinkRoundedButton(QWidget *parent) : VLRoundedButton(parent)
{
    resetCursorRects();
}

void VLLinkRoundedButton::resetCursorRects()
{
    setCursor(Qt::PointingHandCursor); // over the whole bounds
}
