#include "engine/files/VLFileImageComposer.h"

#include "engine/files/VLPathComponents.h"
#include "platform/dispatch/Dispatch.h"
#include "platform/files/ThemeIcons.h"

#include <QFileInfo>
#include <QImageReader>
#include <QPainter>

#include <cmath>

const QString VLFileImageComposer::vaultImageResource = QStringLiteral(":/images/VAULT.svg");

namespace {

constexpr int maximumPictures = 4;

// Reads an image file at a size that fits `box`, keeping its proportions.
QImage readFitted(const QString &file, QSize box)
{
    QImageReader reader(file);
    reader.setAutoTransform(true);
    if (!reader.canRead())
        return {};
    const QSize natural = reader.size();
    if (natural.isValid() && !natural.isEmpty())
        reader.setScaledSize(natural.scaled(box, Qt::KeepAspectRatio).expandedTo(QSize(1, 1)));
    QImage image = reader.read();
    if (image.isNull())
        return {};
    if (!natural.isValid() || image.width() > box.width() || image.height() > box.height())
        image = image.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

QImage vaultImage(QSize size)
{
    QImageReader reader(VLFileImageComposer::vaultImageResource);
    reader.setScaledSize(size);
    return reader.read().convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

// A plain sheet, for systems without an icon theme: every existing item has some icon.
QImage genericIcon(QSize size, bool folder)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF sheet = QRectF(QPointF(0, 0), QSizeF(size))
                             .adjusted(size.width() * 0.18, size.height() * 0.08, -size.width() * 0.18,
                                       -size.height() * 0.08);
    painter.setPen(QPen(QColor(0x8a, 0x93, 0x9f), qMax(1.0, size.width() / 64.0)));
    painter.setBrush(folder ? QColor(0x6d, 0x9e, 0xd8) : QColor(0xf4, 0xf5, 0xf7));
    painter.drawRoundedRect(folder ? sheet.adjusted(-size.width() * 0.1, size.height() * 0.15, size.width() * 0.1, 0)
                                   : sheet,
                            size.width() / 24.0, size.width() / 24.0);
    return image;
}

// The item's type icon at the canvas size; null when the item cannot be looked at.
QImage typeIcon(const QString &path, QSize size)
{
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return {};
    const QString file = platform::typeIconFileForPath(path, qMax(size.width(), size.height()));
    QImage icon = file.isEmpty() ? QImage() : readFitted(file, size);
    if (icon.isNull())
        icon = genericIcon(size, info.isDir());
    // Icons are scaled up too, so that every picture fills its place on the canvas.
    if (icon.size() != size && !icon.isNull())
        icon = icon.scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return icon;
}

// The canvas works top-down; the rectangles are given bottom-up.
QRectF flipped(const QRectF &rect, qreal height)
{
    return QRectF(rect.x(), height - rect.y() - rect.height(), rect.width(), rect.height());
}

} // namespace

QImage VLFileImageComposer::composeImageFromURLsWithImageSize(const QList<QUrl> &urls, QSize size)
{
    return composeImageFromURLsWithImageSizeIsTypeIcon(urls, size, nullptr);
}

QImage VLFileImageComposer::composeImageFromURLsWithImageSizeIsTypeIcon(const QList<QUrl> &urls, QSize size,
                                                                        bool *isTypeIcon)
{
    const QSize canvas = size * 2;
    if (urls.size() == 1 && VLPathComponents::pathExtension(urls.first().toLocalFile()) == u"vault")
        return vaultImage(canvas);
    if (canvas.isEmpty())
        return {};

    QList<QImage> pictures;
    for (qsizetype i = 0; i < urls.size(); ++i) {
        const QUrl &url = urls.at(i);
        const bool full = pictures.size() >= maximumPictures;
        // Once four pictures are in, only the last item still counts, for the flag: decoding
        // every further image would only be thrown away.
        if (full && (!isTypeIcon || i != urls.size() - 1))
            continue;
        QImage picture = imageWithPreviewOfURLOfSizeAsIcon(url, canvas, true);
        if (isTypeIcon)
            *isTypeIcon = picture.isNull();
        if (full)
            continue;
        if (picture.isNull())
            picture = typeIcon(url.toLocalFile(), canvas);
        if (!picture.isNull())
            pictures.append(picture);
    }

    QImage image(canvas, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    for (qsizetype i = pictures.size() - 1; i >= 0; --i) {
        painter.setOpacity(1.0 - 0.1 * double(i));
        painter.drawImage(flipped(rectForIndexFromSize(i, QSizeF(canvas)), canvas.height()), pictures.at(i));
    }
    painter.end();
    return image;
}

void VLFileImageComposer::composeImageFromURLsWithImageSizeCompletionBlock(
    const QList<QUrl> &urls, QSize size, std::function<void(const QImage &)> completion)
{
    platform::dispatchAsync(platform::QueuePriority::Background, [urls, size, completion = std::move(completion)] {
        const QImage image = composeImageFromURLsWithImageSize(urls, size);
        if (completion)
            completion(image);
    });
}

QRectF VLFileImageComposer::rectForIndexFromSize(qint64 index, QSizeF size)
{
    const double i = double(index);
    const double fx = 0.025 + 0.05 * i;
    const double fy = 0.025 + 0.04 * i;
    const double x = fx * size.width();
    const double width = size.width() * (1 - 2 * fx);
    const double y = 0.08 * size.height() * i + 3 * double(qMin<qint64>(index, 2))
                     + 2 * double(qMax<qint64>(index - 2, 0));
    const double height = size.height() * (1 - 2 * fy);
    // Inward: the low edges round up, the high edges down. The small tolerance keeps values
    // such as 7.000000000001 from losing a whole pixel to binary fractions.
    constexpr double tolerance = 1e-9;
    const double left = std::ceil(x - tolerance);
    const double bottom = std::ceil(y - tolerance);
    const double right = std::floor(x + width + tolerance);
    const double top = std::floor(y + height + tolerance);
    return QRectF(left, bottom, qMax(0.0, right - left), qMax(0.0, top - bottom));
}

QImage VLFileImageComposer::imageWithPreviewOfURLOfSizeAsIcon(const QUrl &url, QSize size, bool asIcon)
{
    const QString path = url.toLocalFile();
    if (path.isEmpty() || size.isEmpty() || !QFileInfo(path).isFile())
        return {};
    const QImage thumbnail = readFitted(path, size);
    if (thumbnail.isNull())
        return {};
    // As an icon the thumbnail sits centred on a canvas of the full size, so that drawing it
    // into an icon's place keeps its proportions.
    QImage image(asIcon ? size : thumbnail.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.drawImage(QPointF((image.width() - thumbnail.width()) / 2, (image.height() - thumbnail.height()) / 2),
                      thumbnail);
    return image;
}
