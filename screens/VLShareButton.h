#pragma once

#include "controls/VLRoundedButton.h"

class QMenu;

// The rounded button that opens the share menu. A click or Space sends its single-click action
// to its target on the next turn of the event loop, without the press tracking of other buttons;
// while the menu it opened is up, the button stays shaded as if pressed.
class VLShareButton final : public VLRoundedButton
{
    Q_OBJECT
    // The name of a method of the target taking the sender (QObject *).
    Q_PROPERTY(QString singleClickSelector READ singleClickSelector WRITE setSingleClickSelector)

public:
    explicit VLShareButton(QWidget *parent = nullptr);

    QString singleClickSelector() const { return m_singleClickSelector; }
    void setSingleClickSelector(const QString &selector) { m_singleClickSelector = selector; }

    // Makes the button the delegate of a menu it opens: shaded from menuWillOpen to menuDidClose.
    void setMenuDelegateOf(QMenu *menu);
    void menuWillOpen();
    void menuDidClose();

    // Space opens the menu; any other text beeps.
    void insertText(const QString &text) override;

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void performSingleClick();

    QString m_singleClickSelector;
};
