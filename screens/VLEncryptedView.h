#pragma once

#include <QPointer>
#include <QWidget>

class QLabel;
class VLDragSourceView;
class VLEncryptProgressImageView;
class VLLayoutConstraint;
class VLRoundedButton;
class VLShareButton;
class VLStartOverButton;
namespace platform {
class VLKeyBindingClient;
}

// The encrypted result screen's view: the title, the drag area with the container's icon, name
// and size, and the Share, Save As and Start Over buttons. It lays its subviews out itself (the
// icon's top distance is animated) and hands key presses to its screen.
class VLEncryptedView final : public QWidget
{
    Q_OBJECT

public:
    // The icon's top distance once it has slid into place, and where it starts.
    static constexpr double restingIconTop = 106.0;
    static constexpr double arrivingIconTop = 150.0;
    static constexpr double iconSide = 128.0;

    explicit VLEncryptedView(QWidget *nameField, QWidget *parent = nullptr);

    void setKeyClient(platform::VLKeyBindingClient *client) { m_keyClient = client; }

    QLabel *titleLabel() const { return m_titleLabel; }
    VLDragSourceView *dragSourceView() const { return m_dragSourceView; }
    VLEncryptProgressImageView *iconView() const { return m_iconView; }
    QWidget *nameField() const { return m_nameField; }
    QLabel *sizeField() const { return m_sizeField; }
    VLShareButton *shareButton() const { return m_shareButton; }
    VLRoundedButton *saveAsButton() const { return m_saveAsButton; }
    VLStartOverButton *startOverButton() const { return m_startOverButton; }
    VLLayoutConstraint *topSpaceConstraint() const { return m_topSpaceConstraint; }

    // The icon's frame for a top distance.
    QRectF iconFrameForTop(double top) const;

protected:
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void layoutSubviews();

    platform::VLKeyBindingClient *m_keyClient = nullptr;
    QLabel *m_titleLabel = nullptr;
    VLDragSourceView *m_dragSourceView = nullptr;
    VLEncryptProgressImageView *m_iconView = nullptr;
    QPointer<QWidget> m_nameField;
    QLabel *m_sizeField = nullptr;
    VLShareButton *m_shareButton = nullptr;
    VLRoundedButton *m_saveAsButton = nullptr;
    VLStartOverButton *m_startOverButton = nullptr;
    VLLayoutConstraint *m_topSpaceConstraint = nullptr;
};
