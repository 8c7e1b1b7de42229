#include "screens/VLPreviewWindow.h"

#include "engine/files/VLFileImageComposer.h"
#include "engine/files/VLFileNamer.h"
#include "engine/files/VLPathComponents.h"
#include "platform/dispatch/Dispatch.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPixmap>
#include <QScreen>
#include <QToolButton>
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
    toggleSharedPreviewWindowForURLs({url}, window);
}

void VLPreviewWindow::toggleSharedPreviewWindowForURLs(const QList<QUrl> &urls, QWidget *window)
{
    if (sharedPreviewWindowExists() && sharedWindow()->isVisible()) {
        sharedWindow()->close();
        return;
    }
    if (urls.isEmpty())
        return;
    VLPreviewWindow *preview = sharedPreviewWindow();
    preview->setPreviewItemURLs(urls);
    preview->makeKeyAndOrderFront(window);
}

VLPreviewWindow::VLPreviewWindow(QWidget *parent) : QWidget(parent, Qt::Tool)
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

    // The window's keys page too; the buttons never take the focus from it.
    const auto makePagerButton = [this](const QString &name, Qt::ArrowType arrow, const QString &tip,
                                        void (VLPreviewWindow::*page)()) {
        auto *button = new QToolButton(this);
        button->setObjectName(name);
        button->setArrowType(arrow);
        button->setToolTip(tip);
        button->setFocusPolicy(Qt::NoFocus);
        connect(button, &QToolButton::clicked, this, page);
        return button;
    };
    m_previousButton = makePagerButton(QStringLiteral("previewPrevious"), Qt::LeftArrow, tr("Previous Item"),
                                       &VLPreviewWindow::showPreviousItem);
    m_nextButton = makePagerButton(QStringLiteral("previewNext"), Qt::RightArrow, tr("Next Item"),
                                   &VLPreviewWindow::showNextItem);
    m_pageLabel = new QLabel(this);
    m_pageLabel->setObjectName(QStringLiteral("previewPage"));
    m_pageLabel->setAlignment(Qt::AlignCenter);
    m_pageLabel->setFont(sizeFont);

    auto *pager = new QHBoxLayout;
    pager->addWidget(m_previousButton);
    pager->addWidget(m_pageLabel, 1);
    pager->addWidget(m_nextButton);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->addWidget(m_imageLabel, 1);
    layout->addWidget(m_nameLabel);
    layout->addWidget(m_sizeLabel);
    layout->addLayout(pager);
}

VLPreviewWindow::~VLPreviewWindow() = default;

void VLPreviewWindow::setPreviewItemURLs(const QList<QUrl> &urls)
{
    m_urls = urls;
    m_sizes.clear();
    m_index = 0;
    showCurrentItem();
}

void VLPreviewWindow::setCurrentPreviewItemIndex(int index)
{
    if (index < 0 || index >= m_urls.size() || index == m_index)
        return;
    m_index = index;
    showCurrentItem();
}

void VLPreviewWindow::showCurrentItem()
{
    const QUrl url = previewItemURL();
    // The composer answers a thumbnail, the container picture for a container, or the type icon.
    m_image = url.isEmpty()
                  ? QImage()
                  : VLFileImageComposer::composeImageFromURLsWithImageSize({url}, QSize(imageSide, imageSide));
    QPixmap pixmap = QPixmap::fromImage(m_image);
    if (!pixmap.isNull()) {
        pixmap = pixmap.scaled(imageSide, imageSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }
    m_imageLabel->setPixmap(pixmap);
    m_nameLabel->setText(VLPathComponents::lastPathComponent(url.toLocalFile()));

    const bool several = m_urls.size() > 1;
    m_pageLabel->setText(pageText());
    for (QWidget *pagerPart : {static_cast<QWidget *>(m_previousButton), static_cast<QWidget *>(m_nextButton),
                               static_cast<QWidget *>(m_pageLabel)})
        pagerPart->setVisible(several);
    m_previousButton->setEnabled(m_index > 0);
    m_nextButton->setEnabled(m_index + 1 < m_urls.size());

    if (const auto known = m_sizes.constFind(url); known != m_sizes.cend()) {
        m_sizeLabel->setText(*known);
        return;
    }
    m_sizeLabel->setText(tr("Calculating Size..."));
    if (url.isEmpty())
        return;
    QPointer<VLPreviewWindow> self(this);
    VLFileNamer::sizeForURLsCompletionBlock({url}, [self, url](const QString &size) {
        platform::dispatchToMain([self, url, size] {
            if (!self)
                return;
            self->m_sizes.insert(url, size);
            // An answer for an item no longer shown waits for it in the cache.
            if (self->previewItemURL() == url)
                self->m_sizeLabel->setText(size);
        });
    });
}

QString VLPreviewWindow::pageText() const
{
    return m_urls.size() > 1 ? tr("%1 of %2").arg(m_index + 1).arg(m_urls.size()) : QString();
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
    if (event->key() == Qt::Key_Left || event->key() == Qt::Key_Right) {
        if (event->key() == Qt::Key_Left)
            showPreviousItem();
        else
            showNextItem();
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}
