#include "app/shell/VLStartViewController.h"

#include "app/navigation/VLViewHierarchy.h"
#include "app/shell/VLContentWindowController.h"

#include <QFileInfo>
#include <QLabel>
#include <QWidget>

VLStartViewController::VLStartViewController(QObject *parent)
    : VLTitledViewController(parent)
{
    setObjectName(QStringLiteral("VLStartViewController"));
}

VLStartViewController::~VLStartViewController() = default;

void VLStartViewController::loadView()
{
    auto *view = new QWidget;
    view->setObjectName(QStringLiteral("startView"));
    // The root paints nothing: transitions stack screens over each other.
    auto *title = new QLabel(tr("Vaultine"), view);
    title->setObjectName(QStringLiteral("titleLabel"));
    title->setAlignment(Qt::AlignCenter);
    QFont titleFont(QStringLiteral("DejaVu Sans"));
    titleFont.setPixelSize(28);
    title->setFont(titleFont);
    m_subtitleLabel = new QLabel(tr("Drop files here to encrypt them, or a .vault file to decrypt it."), view);
    m_subtitleLabel->setObjectName(QStringLiteral("subtitleLabel"));
    m_subtitleLabel->setAlignment(Qt::AlignCenter);
    m_subtitleLabel->setWordWrap(true);
    m_subtitleLabel->setTextFormat(Qt::PlainText);
    QFont subtitleFont(QStringLiteral("DejaVu Sans"));
    subtitleFont.setPixelSize(13);
    m_subtitleLabel->setFont(subtitleFont);
    // Placed by frame and mask, not by a layout: transitions move and fade these views.
    const QSize size = VLContentWindowController::windowContentSize();
    view->resize(size);
    vlSetViewFrame(title, QRectF(24, 180, size.width() - 48, 40));
    vlSetViewFrame(m_subtitleLabel, QRectF(32, 232, size.width() - 64, 44));
    for (QWidget *label : {static_cast<QWidget *>(title), static_cast<QWidget *>(m_subtitleLabel.data())})
        vlSetAutoresizingMask(label, VLViewWidthSizable | VLViewMinYMargin | VLViewMaxYMargin);
    setTitleView(title);
    setView(view);
}

void VLStartViewController::proceedWithFiles(const QList<QUrl> &urls)
{
    m_receivedFiles = urls;
    if (m_subtitleLabel && !urls.isEmpty()) {
        const QString name = QFileInfo(urls.first().toLocalFile()).fileName();
        m_subtitleLabel->setText(urls.size() == 1 ? tr("Received “%1”.").arg(name)
                                                  : tr("Received %n items.", nullptr, int(urls.size())));
    }
    emit filesReceived(urls);
}
