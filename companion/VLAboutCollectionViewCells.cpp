#include "companion/VLAboutCollectionViewCells.h"

#include "controls/VLHexColor.h"
#include "platform/localization/Localization.h"
#include "platform/view/Geometry.h"

#include <QMouseEvent>
#include <QPainter>
#include <QTextLayout>

namespace {

const QString textFamily = QStringLiteral("DejaVu Sans");

QFont textFont(int pixelSize, double kerning)
{
    QFont font(textFamily);
    font.setPixelSize(pixelSize);
    font.setLetterSpacing(QFont::AbsoluteSpacing, kerning);
    return font;
}

QColor whiteWithAlpha(double alpha)
{
    QColor color(Qt::white);
    color.setAlphaF(float(alpha));
    return color;
}

QSizeF textSize(const QFont &font, const QString &text)
{
    const QFontMetricsF metrics(font);
    return {metrics.horizontalAdvance(text), metrics.height()};
}

} // namespace

VLAboutCreditTitleView::VLAboutCreditTitleView(QColor color, double kerning, QWidget *parent)
    : QWidget(parent)
    , m_color(std::move(color))
    , m_kerning(kerning)
{
}

void VLAboutCreditTitleView::setTitle(const QString &title)
{
    m_title = title;
    update();
}

void VLAboutCreditTitleView::paintEvent(QPaintEvent *event)
{
    Q_UNUSED(event)
    QPainter painter(this);
    const QFont font = textFont(13, m_kerning);
    painter.setFont(font);
    painter.setPen(m_color);
    painter.drawText(titleFrame(textSize(font, m_title)), Qt::AlignLeft | Qt::AlignVCenter, m_title);
}

VLAboutCollectionViewCreditCell::VLAboutCollectionViewCreditCell(QWidget *parent)
    : VLAboutCreditTitleView(Qt::white, 0.3, parent)
{
}

QString VLAboutCollectionViewCreditCell::reuseIdentifier()
{
    return QStringLiteral("VLAboutCollectionViewCreditFooterReuseIdentifier");
}

QRectF VLAboutCollectionViewCreditCell::titleFrame(const QSizeF &size) const
{
    return {0.0, (height() - size.height()) * 0.5, size.width() + 1.0, size.height()};
}

VLAboutCollectionViewCreditHeader::VLAboutCollectionViewCreditHeader(QWidget *parent)
    : VLAboutCreditTitleView(whiteWithAlpha(0.3), 0.4, parent)
{
}

QString VLAboutCollectionViewCreditHeader::reuseIdentifier()
{
    return QStringLiteral("VLAboutCollectionViewHeaderReuseIdentifier");
}

QRectF VLAboutCollectionViewCreditHeader::titleFrame(const QSizeF &size) const
{
    // Just above the section's first name.
    return VLRectFromBottomLeft(QRectF(QPointF(0, 0), size).toAlignedRect(), height());
}

VLAboutCollectionViewCreditFooter::VLAboutCollectionViewCreditFooter(QWidget *parent)
    : QWidget(parent)
    , m_colors{VLHexColor::vl_colorFromHex(QStringLiteral("FFFFFF")),
               VLHexColor::vl_colorFromHex(QStringLiteral("DC143C"))}
    , m_labelRect(0.0, 13.0, 120.0, 13.0)
{
    setMouseTracking(true);
}

QString VLAboutCollectionViewCreditFooter::reuseIdentifier()
{
    return QStringLiteral("VLAboutCollectionViewCreditFooterReuseIdentifier");
}

QString VLAboutCollectionViewCreditFooter::countryOfOriginLabel()
{
    return platform::localizedString(QT_TRANSLATE_NOOP("Localizable", "Made in Poland"));
}

QRectF VLAboutCollectionViewCreditFooter::labelRect() const
{
    const QMutexLocker locker(&m_labelRectLock);
    return VLRectFromBottomLeft(m_labelRect, height());
}

void VLAboutCollectionViewCreditFooter::setLabelRect(const QRectF &bottomLeftRect)
{
    {
        const QMutexLocker locker(&m_labelRectLock);
        m_labelRect = bottomLeftRect;
    }
    update();
}

void VLAboutCollectionViewCreditFooter::paintEvent(QPaintEvent *event)
{
    Q_UNUSED(event)
    QPainter painter(this);
    QRectF label;
    {
        const QMutexLocker locker(&m_labelRectLock);
        label = m_labelRect;
    }
    // The flag: the second colour at the label's origin, the first 5 points above it.
    const double h = height();
    painter.fillRect(VLRectFromBottomLeft(QRectF(label.x(), label.y(), 15.0, 5.0), h), m_colors.value(1));
    painter.fillRect(VLRectFromBottomLeft(QRectF(label.x(), label.y() + 5.0, 15.0, 5.0), h), m_colors.value(0));
    const QFont font = textFont(13, 0.3);
    const QString text = countryOfOriginLabel();
    const QSizeF size = textSize(font, text);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(
        VLRectFromBottomLeft(QRectF(label.x() + 20.0, label.y() - 3.0, size.width() + 1.0, size.height()), h),
        Qt::AlignLeft | Qt::AlignVCenter, text);
}

void VLAboutCollectionViewCreditFooter::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && labelRect().contains(event->position())) {
        event->accept();
        emit countryOfOriginRequested(this);
        return;
    }
    QWidget::mousePressEvent(event);
}

void VLAboutCollectionViewCreditFooter::mouseMoveEvent(QMouseEvent *event)
{
    // The pointing hand over the label only.
    if (labelRect().contains(event->position()))
        setCursor(Qt::PointingHandCursor);
    else
        unsetCursor();
    QWidget::mouseMoveEvent(event);
}

VLAboutCollectionViewProductCell::VLAboutCollectionViewProductCell(QWidget *parent) : QWidget(parent)
{
    setCursor(Qt::PointingHandCursor);
}

QString VLAboutCollectionViewProductCell::reuseIdentifier()
{
    return QStringLiteral("VLAboutCollectionViewProductCellReuseIdentifier");
}

void VLAboutCollectionViewProductCell::setImage(const QPixmap &image)
{
    m_image = image;
    update();
}

void VLAboutCollectionViewProductCell::setTitle(const QString &title)
{
    m_title = title;
    update();
}

void VLAboutCollectionViewProductCell::setSubtitle(const QString &subtitle)
{
    m_subtitle = subtitle;
    update();
}

void VLAboutCollectionViewProductCell::prepareForReuse()
{
    m_title.clear();
    m_subtitle.clear();
    m_image = QPixmap();
    update();
}

QRect VLAboutCollectionViewProductCell::iconRect() const
{
    // Centred, 20 below the top edge.
    return QRect((width() - 56) / 2, 20, 56, 56);
}

QRect VLAboutCollectionViewProductCell::titleRect() const
{
    const QSizeF size = textSize(textFont(13, 0.3), m_title);
    return QRectF((width() - size.width()) * 0.5, iconRect().bottom() + 1 + 4.0, size.width(), size.height())
        .toAlignedRect();
}

QRect VLAboutCollectionViewProductCell::subtitleRect() const
{
    const QFontMetricsF metrics(textFont(11, 0.3));
    const QRectF bounds = metrics.boundingRect(QRectF(0, 0, width(), 1e6), Qt::AlignHCenter | Qt::TextWordWrap,
                                               m_subtitle);
    return QRectF((width() - bounds.width()) * 0.5, titleRect().bottom() + 1, bounds.width(), bounds.height())
        .toAlignedRect();
}

void VLAboutCollectionViewProductCell::paintEvent(QPaintEvent *event)
{
    Q_UNUSED(event)
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    if (!m_image.isNull())
        painter.drawPixmap(iconRect(), m_image);
    painter.setFont(textFont(13, 0.3));
    painter.setPen(Qt::white);
    painter.drawText(titleRect(), Qt::AlignCenter, m_title);
    painter.setFont(textFont(11, 0.3));
    painter.setPen(whiteWithAlpha(0.7));
    painter.drawText(subtitleRect(), Qt::AlignHCenter | Qt::TextWordWrap, m_subtitle);
}

VLAboutProductBackdropView::VLAboutProductBackdropView(QWidget *parent) : QWidget(parent)
{
}

QColor VLAboutProductBackdropView::backgroundColor() const
{
    QColor color(Qt::black);
    color.setAlphaF(0.2f);
    return color;
}

QLinearGradient VLAboutProductBackdropView::gradient() const
{
    // Downwards from the top edge over 40 points.
    QLinearGradient gradient(0.0, 0.0, 0.0, 40.0);
    QColor shade = QColor::fromRgbF(0.13f, 0.13f, 0.13f, 0.4f);
    gradient.setColorAt(0.0, shade);
    shade.setAlphaF(0.0f);
    gradient.setColorAt(1.0, shade);
    return gradient;
}

void VLAboutProductBackdropView::paintEvent(QPaintEvent *event)
{
    Q_UNUSED(event)
    QPainter painter(this);
    painter.fillRect(rect(), backgroundColor());
    painter.fillRect(QRectF(0.0, 0.0, width(), 40.0), gradient());
}
