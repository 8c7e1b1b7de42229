#include "app/shell/VLStartViewController.h"

#include <QFileInfo>
#include <QLabel>
#include <QVBoxLayout>
#include <QWidget>

VLStartViewController::VLStartViewController(QObject *parent)
    : QObject(parent)
{
}

VLStartViewController::~VLStartViewController()
{
    delete m_view;
}

QWidget *VLStartViewController::view()
{
    if (m_view)
        return m_view;
    m_view = new QWidget;
    m_view->setObjectName(QStringLiteral("startView"));
    m_titleLabel = new QLabel(tr("Vaultine"), m_view);
    m_titleLabel->setObjectName(QStringLiteral("titleLabel"));
    m_titleLabel->setAlignment(Qt::AlignCenter);
    QFont titleFont(QStringLiteral("DejaVu Sans"));
    titleFont.setPixelSize(28);
    m_titleLabel->setFont(titleFont);
    m_subtitleLabel = new QLabel(tr("Drop files here to encrypt them, or a .vault file to decrypt it."), m_view);
    m_subtitleLabel->setObjectName(QStringLiteral("subtitleLabel"));
    m_subtitleLabel->setAlignment(Qt::AlignCenter);
    m_subtitleLabel->setWordWrap(true);
    QFont subtitleFont(QStringLiteral("DejaVu Sans"));
    subtitleFont.setPixelSize(13);
    m_subtitleLabel->setFont(subtitleFont);
    m_subtitleLabel->setTextFormat(Qt::PlainText);
    auto *layout = new QVBoxLayout(m_view);
    layout->addStretch(2);
    layout->addWidget(m_titleLabel);
    layout->addSpacing(12);
    layout->addWidget(m_subtitleLabel);
    layout->addStretch(3);
    layout->setContentsMargins(32, 24, 32, 24);
    return m_view;
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
