#include "windowing/windows/VLLegacyWindow.h"

#include "windowing/windows/VLTerminatorProxy.h"

#include <QCloseEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWindow>

VLLegacyWindow::VLLegacyWindow(QWidget *parent) : VLWindow(parent, Qt::Window | Qt::FramelessWindowHint)
{
    // A clear, non-opaque window: only the rounded content is drawn.
    setAttribute(Qt::WA_TranslucentBackground);
    setAutoFillBackground(false);
}

VLLegacyWindow::~VLLegacyWindow() = default;

QColor VLLegacyWindow::contentColor()
{
    return QColor::fromRgbF(0.137f, 0.137f, 0.138f, 1.0f);
}

void VLLegacyWindow::setContentView(QWidget *view)
{
    setCentralWidget(view);
    repositionContentView();
}

QWidget *VLLegacyWindow::contentView() const
{
    return centralWidget();
}

QRect VLLegacyWindow::contentViewFrame() const
{
    return QRect(QPoint(0, 0), size());
}

void VLLegacyWindow::repositionContentView()
{
    QWidget *view = centralWidget();
    if (view && view->geometry() != contentViewFrame()) {
        view->setGeometry(contentViewFrame());
        view->update();
    }
}

QString VLLegacyWindow::title() const
{
    return QString();
}

void VLLegacyWindow::setTitle(const QString &title)
{
    m_windowTitle = title;
    setWindowTitle(title);
}

void VLLegacyWindow::paintEvent(QPaintEvent *event)
{
    Q_UNUSED(event);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(rect(), Qt::transparent);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()), 4.0, 4.0);
    painter.fillPath(path, contentColor());
}

void VLLegacyWindow::resizeEvent(QResizeEvent *event)
{
    VLWindow::resizeEvent(event);
    repositionContentView();
}

void VLLegacyWindow::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        VLWindow::mousePressEvent(event);
        return;
    }
    event->accept();
    // The window manager moves the window where it can; elsewhere the window follows the mouse.
    if (windowHandle() && windowHandle()->startSystemMove())
        return;
    m_dragging = true;
    m_dragOrigin = pos();
    m_pressPosition = event->globalPosition().toPoint();
}

void VLLegacyWindow::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_dragging || !(event->buttons() & Qt::LeftButton)) {
        VLWindow::mouseMoveEvent(event);
        return;
    }
    move(m_dragOrigin + (event->globalPosition().toPoint() - m_pressPosition));
    event->accept();
}

void VLLegacyWindow::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_dragging = false;
    VLWindow::mouseReleaseEvent(event);
}

VLMainLegacyWindow::VLMainLegacyWindow(QWidget *parent) : VLLegacyWindow(parent)
{
}

VLMainLegacyWindow::~VLMainLegacyWindow() = default;

void VLMainLegacyWindow::closeEvent(QCloseEvent *event)
{
    event->ignore();
    VLTerminatorProxy::sharedInstance()->terminate();
}
