#include "screens/VLPreviewWindow.h"

#include "engine/files/VLFileImageComposer.h"
#include "engine/files/VLFileNamer.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPixmap>
#include <QScreen>
#include <QVBoxLayout>

namespace {

QPointer<VLPreviewWindow> &sharedWindow()
{
    static QPointer<VLPreviewWindow> window;
    return window;
}

} // namespace

VLPreviewWindow *VLPreviewWindow::sharedPreviewWindow()
{
    QPointer<VLPreviewWindow> &window = sharedWindow();
    if (!window) {
        window = new VLPreviewWindow;
        // Gone with the application, like the platform's shared panel.
        QObject::connect(qApp, &QCoreApplication::aboutToQuit, window, &QObject::deleteLater);
    }
    return window;
}

bool VLPreviewWindow::sharedPreviewWindowExists()
{
    return !sharedWindow().isNull();
}

void VLPreviewWindow::closeSharedPreviewWindow()
{
    if (VLPreviewWindow *window = sharedWindow(); window && window->isVisible())
        window->close();
}

void VLPreviewWindow::toggleSharedPreviewWindowForURL(const QUrl &url, QWidget *window)
{
    if (sharedPreviewWindowExists() && sharedWindow()->isVisible()) {
        sharedWindow()->close();
        return;
    }
    VLPreviewWindow *preview = sharedPreviewWindow();
    preview->setPreviewItemURL(url);
    preview->makeKeyAndOrderFront(window);
}

VLPreviewWindow::VLPreviewWindow(QWidget *parent)
    : QWidget(parent, Qt::Tool)
{
    setObjectName(QStringLiteral("previewWindow"));
    setWindowTitle(tr("Preview"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    setFocusPolicy(Qt::StrongFocus);

    m_imageLabel = new QLabel(this);
    m_imageLabel->setObjectName(QStringLiteral("previewImage"));
    m_imageLabel->setAlignment(Qt::AlignCenter);
    m_imageLabel->setMinimumSize(imageSide, imageSide);
    m_nameLabel = new QLabel(this);
    m_nameLabel->setObjectName(QStringLiteral("previewName"));
    m_nameLabel->setAlignment(Qt::AlignCenter);
    // Names come from the file system and must not be read as markup.
    m_nameLabel->setTextFormat(Qt::PlainText);
    m_nameLabel->setWordWrap(true);
    QFont nameFont(QStringLiteral("DejaVu Sans"));
    nameFont.setPixelSize(14);
    nameFont.setBold(true);
    m_nameLabel->setFont(nameFont);
    m_sizeLabel = new QLabel(this);
    m_sizeLabel->setObjectName(QStringLiteral("previewSize"));
    m_sizeLabel->setAlignment(Qt::AlignCenter);
    m_sizeLabel->setTextFormat(Qt::PlainText);
    QFont sizeFont(QStringLiteral("DejaVu Sans"));
    sizeFont.setPixelSize(12);
    m_sizeLabel->setFont(sizeFont);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->addWidget(m_imageLabel, 1);
    layout->addWidget(m_nameLabel);
    layout->addWidget(m_sizeLabel);
}

VLPreviewWindow::~VLPreviewWindow() = default;

void VLPreviewWindow::setPreviewItemURL(const QUrl &url)
{
    m_url = url;
    // The composer answers a thumbnail, the container picture for a container, or the type icon.
    m_image = VLFileImageComposer::composeImageFromURLsWithImageSize({url}, QSize(imageSide, imageSide));
    QPixmap pixmap = QPixmap::fromImage(m_image);
    if (!pixmap.isNull()) {
        pixmap = pixmap.scaled(imageSide, imageSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }
    m_imageLabel->setPixmap(pixmap);
    m_nameLabel->setText(QFileInfo(url.toLocalFile()).fileName());
    m_sizeLabel->setText(VLFileNamer::sizeForURLs({url}));
}

QString VLPreviewWindow::nameText() const
{
    return m_nameLabel->text();
}

QString VLPreviewWindow::sizeText() const
{
    return m_sizeLabel->text();
}

void VLPreviewWindow::makeKeyAndOrderFront(QWidget *window)
{
    adjustSize();
    if (window) {
        const QRect host = window->window()->frameGeometry();
        QPoint origin(host.right() + 12, host.top());
        const QScreen *screen = window->screen();
        if (screen && !screen->availableGeometry().contains(QRect(origin, size())))
            origin = host.center() - QPoint(width() / 2, height() / 2);
        move(origin);
    }
    show();
    raise();
    activateWindow();
}

void VLPreviewWindow::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Space || event->key() == Qt::Key_Escape) {
        close();
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}
