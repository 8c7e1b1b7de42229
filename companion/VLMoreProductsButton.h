#pragma once

#include "controls/VLLinkRoundedButton.h"

// The About window's button that reveals the further products: a click flips isOn, which turns
// its arrow upside down, and then sends the action. Its press shows no shade.
class VLMoreProductsButton final : public VLLinkRoundedButton
{
    Q_OBJECT
    Q_PROPERTY(bool isOn READ isOn WRITE setIsOn)

public:
    explicit VLMoreProductsButton(QWidget *parent = nullptr);

    bool isOn() const { return m_isOn; }
    void setIsOn(bool on);

    // Space toggles as a click does.
    void insertText(const QString &text) override;

    static inline const QString rotationAnimationKey = QStringLiteral("transform");

protected:
    void trackingChanged(bool inside) override;
    void trackingFinished(bool inside) override;

private:
    void toggle();

    bool m_isOn = false;
};
