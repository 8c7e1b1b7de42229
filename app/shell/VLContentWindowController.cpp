#include "app/shell/VLContentWindowController.h"

#include "app/shell/VLAlertHandler.h"
#include "app/shell/VLModernWindow.h"
#include "app/shell/VLSheetRegistry.h"
#include "app/shell/VLStartViewController.h"
#include "app/shell/VLWindow.h"

#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

namespace {

// The custom title area that sheets hang below.
constexpr int sheetOffset = 23;
constexpr int reviewPromptDelayMs = 400;

} // namespace

VLContentWindowController::VLContentWindowController(QObject *parent)
    : QObject(parent)
    , m_rootScreen(new VLStartViewController(this))
    , m_reviewTimer(new QTimer(this))
{
    m_reviewTimer->setSingleShot(true);
    m_reviewTimer->setInterval(reviewPromptDelayMs);
    connect(m_reviewTimer, &QTimer::timeout, this, &VLContentWindowController::promptAppStoreReview);
}

VLContentWindowController::~VLContentWindowController()
{
    delete m_window;
}

QSize VLContentWindowController::windowContentSize()
{
    return QSize(460, 500);
}

VLWindow *VLContentWindowController::window()
{
    if (!m_window) {
        m_window = new VLModernWindow;
        windowDidLoad();
    }
    return m_window;
}

void VLContentWindowController::windowDidLoad()
{
    m_window->setObjectName(QStringLiteral("mainWindow"));
    m_window->setWindowTitle(QStringLiteral("Vaultine"));
    auto *root = new QWidget;
    root->setObjectName(QStringLiteral("windowContent"));
    root->setFixedSize(windowContentSize());
    m_contentContainerView = new QWidget(root);
    m_contentContainerView->setObjectName(QStringLiteral("contentContainerView"));
    m_contentContainerView->setGeometry(QRect(QPoint(0, 0), windowContentSize()));
    m_overlayContainerView = new QWidget(root);
    m_overlayContainerView->setObjectName(QStringLiteral("overlayContainerView"));
    m_overlayContainerView->setGeometry(QRect(QPoint(0, 0), windowContentSize()));
    m_overlayContainerView->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_overlayRootView = root;
    m_window->setCentralWidget(root);

    QWidget *screenView = m_rootScreen->view();
    screenView->setParent(m_contentContainerView);
    screenView->setGeometry(m_contentContainerView->rect());

    QPalette dark = root->palette();
    dark.setColor(QPalette::Window, QColor::fromRgbF(0.137f, 0.137f, 0.138f));
    dark.setColor(QPalette::WindowText, QColor(235, 235, 235));
    dark.setColor(QPalette::Text, QColor(235, 235, 235));
    root->setPalette(dark);
    root->setAutoFillBackground(true);

    VLSheetRegistry::instance().setSheetPositioner(m_window, [](const QRect &proposed) {
        return proposed.translated(0, sheetOffset);
    });
    VLAlertHandler::setMainWindow(m_window);
}

void VLContentWindowController::showWindow()
{
    VLWindow *w = window();
    w->show();
    w->raise();
    w->activateWindow();
    m_reviewTimer->start();
}

QList<QUrl> VLContentWindowController::fileURLsFromEntries(const QVariantList &files)
{
    QList<QUrl> urls;
    for (const QVariant &entry : files) {
        if (entry.typeId() == QMetaType::QUrl)
            urls << entry.toUrl();
        else if (entry.typeId() == QMetaType::QString)
            urls << QUrl::fromLocalFile(entry.toString());
    }
    return urls;
}

void VLContentWindowController::processAddedFiles(const QStringList &paths)
{
    QVariantList entries;
    entries.reserve(paths.size());
    for (const QString &path : paths)
        entries << path;
    processAddedFiles(entries);
}

void VLContentWindowController::processAddedFiles(const QVariantList &files)
{
    if (m_window && m_window->isMinimized())
        m_window->showNormal();
    const QList<QUrl> urls = fileURLsFromEntries(files);
    if (canProcessNewFiles())
        m_rootScreen->proceedWithFiles(urls);
    m_reviewTimer->stop();
}

bool VLContentWindowController::canProcessNewFiles() const
{
    return true;
}

void VLContentWindowController::promptAppStoreReview()
{
    // The rating prompt is not part of this build; the request is where it will be asked.
}

bool VLContentWindowController::isAppStoreReviewPending() const
{
    return m_reviewTimer->isActive();
}
