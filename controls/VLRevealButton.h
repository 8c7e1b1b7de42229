#pragma once

#include "controls/VLRoundedButton.h"

// The Show/Hide toggle beside a password field: a thin bordered button whose click flips isOn
// and retitles it, drawing its press as a light fill instead of the shade.
class VLRevealButton final : public VLRoundedButton
{
    Q_OBJECT
    Q_PROPERTY(bool isOn READ isOn WRITE setIsOn)
public:
    explicit VLRevealButton(QWidget *parent = nullptr);

    bool isOn() const { return m_isOn; }
    // "Hide" while on, "Show" while off.
    void setIsOn(bool on);

    bool shouldDrawManually() const override { return false; }

protected:
    void trackingChanged(bool inside) override;
    void trackingFinished(bool inside) override;

private:
    bool m_isOn = false;
};
