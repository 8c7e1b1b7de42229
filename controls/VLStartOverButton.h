#pragma once

#include "controls/VLRoundedButton.h"

// A rounded button whose left edge is square: a mask wider than the button by the corner
// radius on the left rounds only the right-hand corners.
class VLStartOverButton final : public VLRoundedButton
{
    Q_OBJECT
public:
    explicit VLStartOverButton(QWidget *parent = nullptr);

    VLLayer *maskLayer() const { return m_maskLayer; }

    double cornerRadius() const override;
    void setCornerRadius(double radius) override;

protected:
    void resizeLayers() override;

private:
    VLLayer *m_maskLayer = nullptr;
};
