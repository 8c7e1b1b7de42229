#include "screens/VLEncryptedView.h"

#include "controls/VLDragSourceView.h"
#include "controls/VLStartOverButton.h"
#include "engine/files/VLFileImageComposer.h"
#include "platform/view/VLKeyBindings.h"
#include "screens/VLEncryptProgressImageView.h"
#include "screens/VLLayoutConstraint.h"
#include "screens/VLScreenStyle.h"
#include "screens/VLShareButton.h"
#include "windowing/navigation/VLViewHierarchy.h"

#include <QKeyEvent>
#include <QLabel>

namespace {

QFont dejaVu(int pixelSize, bool bold = false)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

} // namespace

VLEncryptedView::VLEncryptedView(QWidget *nameField, QWidget *nameEditor, QWidget *parent)
    : QWidget(parent)
    , m_nameField(nameField)
    , m_nameEditor(nameEditor)
{
    setObjectName(QStringLiteral("encryptedView"));
    // Keys that no control takes end here (Escape, Return, Space).
    setFocusPolicy(Qt::StrongFocus);
    resize(460, 500);

    m_titleLabel = new QLabel(tr("Your file is encrypted"), this);
    m_titleLabel->setObjectName(QStringLiteral("titleLabel"));
    m_titleLabel->setAlignment(Qt::AlignCenter);
    m_titleLabel->setFont(dejaVu(22));

    m_dragSourceView = new VLDragSourceView(this);
    m_dragSourceView->setObjectName(QStringLiteral("dragSourceView"));
    m_iconView = new VLEncryptProgressImageView(m_dragSourceView);
    m_iconView->setObjectName(QStringLiteral("iconView"));
    const QImage container(VLFileImageComposer::vaultImageResource);
    m_iconView->setTopImage(container);
    m_iconView->setBottomImage(container);
    m_iconView->setProgress(1.0);
    m_nameField->setParent(m_dragSourceView);
    m_nameField->setObjectName(QStringLiteral("fileNameField"));
    m_nameField->setFont(dejaVu(15, true));
    m_nameEditor->setParent(m_dragSourceView);
    m_sizeField = new QLabel(m_dragSourceView);
    m_sizeField->setObjectName(QStringLiteral("sizeField"));
    m_sizeField->setAlignment(Qt::AlignCenter);
    m_sizeField->setTextFormat(Qt::PlainText);
    m_sizeField->setFont(dejaVu(12));
    m_dragSourceView->setIconView(m_iconView);
    m_dragSourceView->setTitleView(m_nameField);
    m_dragSourceView->setSubtitleView(m_sizeField);

    m_shareButton = new VLShareButton(this);
    m_shareButton->setObjectName(QStringLiteral("shareButton"));
    m_shareButton->setTitle(tr("Share…"));
    m_saveAsButton = new VLRoundedButton(this);
    m_saveAsButton->setObjectName(QStringLiteral("saveAsButton"));
    m_saveAsButton->setTitle(tr("Save As…"));
    m_startOverButton = new VLStartOverButton(this);
    m_startOverButton->setObjectName(QStringLiteral("startOverButton"));
    m_startOverButton->setTitle(tr("Start Over"));

    m_topSpaceConstraint = new VLLayoutConstraint(arrivingIconTop, this);
    connect(m_topSpaceConstraint, &VLLayoutConstraint::constantChanged, this, &VLEncryptedView::layoutSubviews);
    layoutSubviews();
    VLScreenStyle::styleButton(m_shareButton, VLScreenStyle::ButtonRole::Secondary);
    VLScreenStyle::styleButton(m_saveAsButton, VLScreenStyle::ButtonRole::Primary);
    VLScreenStyle::styleButton(m_startOverButton, VLScreenStyle::ButtonRole::Secondary);
}

QRectF VLEncryptedView::iconFrameForTop(double top) const
{
    // In the drag area's coordinates; the area starts 60 points down.
    return QRectF((width() - iconSide) / 2.0, top - 60.0, iconSide, iconSide);
}

void VLEncryptedView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    layoutSubviews();
}

void VLEncryptedView::layoutSubviews()
{
    const double w = width();
    vlSetViewFrame(m_titleLabel, QRectF(20, 24, w - 40, 32));
    vlSetViewFrame(m_dragSourceView, QRectF(0, 60, w, 320));
    // The wiggle moves the icon itself; the layout leaves a running animation alone.
    if (!vlAutoLayoutDisabled(m_iconView))
        vlSetViewFrame(m_iconView, iconFrameForTop(m_topSpaceConstraint->constant()));
    const double iconBottom = m_topSpaceConstraint->constant() - 60.0 + iconSide;
    vlSetViewFrame(m_nameField, QRectF(40, iconBottom + 14, w - 80, 26));
    vlSetViewFrame(m_nameEditor, QRectF(40, iconBottom + 14, w - 80, 26));
    vlSetViewFrame(m_sizeField, QRectF(80, iconBottom + 42, w - 160, 18));
    const double buttonWidth = 150;
    vlSetViewFrame(m_shareButton, QRectF(w / 2 - buttonWidth - 6, 396, buttonWidth, VLScreenStyle::buttonHeight));
    vlSetViewFrame(m_saveAsButton, QRectF(w / 2 + 6, 396, buttonWidth, VLScreenStyle::buttonHeight));
    vlSetViewFrame(m_startOverButton, QRectF(0, 452, 120, VLScreenStyle::buttonHeight));
}

void VLEncryptedView::keyPressEvent(QKeyEvent *event)
{
    if (m_keyClient && platform::interpretKeyEvents(*event, *m_keyClient)) {
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}
