#pragma once

#include "controls/VLRoundedButton.h"

// A rounded button that shows the pointing hand while the pointer is over it.
class VLLinkRoundedButton : public VLRoundedButton
{
    Q_OBJECT
public:
    explicit VLLinkRoundedButton(QWidget *parent = nullptr);

    void resetCursorRects();
};
