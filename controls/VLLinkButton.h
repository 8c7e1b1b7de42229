#pragma once

#include <QPushButton>

// A plain push button that shows the pointing hand while the pointer is over it.
class VLLinkButton final : public QPushButton
{
    Q_OBJECT
public:
    explicit VLLinkButton(QWidget *parent = nullptr);

    void resetCursorRects();
};
