#include "engine/metadata/VLPNGRepresentation.h"

#include <QBuffer>
#include <QImageWriter>
#include <QPainter>

#include <cmath>

namespace {

QByteArray encoded(const QImage &image, const QByteArray &format)
{
    if (image.isNull())
        return {};
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (!writer.write(image))
        return {};
    return data;
}

} // namespace

QByteArray VLPNGRepresentation::JPEG2000Representation(const QImage &image)
{
    // Qt ships no JPEG 2000 writer; a plugin installed on the system is used when present.
    if (!QImageWriter::supportedImageFormats().contains("jp2"))
        return {};
    return encoded(image, "jp2");
}

QByteArray VLPNGRepresentation::PNGRepresentation(const QImage &image)
{
    return encoded(image, "png");
}

std::optional<QList<QImage>> VLPNGRepresentation::spritesWithSpriteSize(const QImage &image, QSize spriteSize)
{
    if (spriteSize.width() <= 0 || spriteSize.height() <= 0)
        return std::nullopt;
    const qreal scale = image.devicePixelRatio();
    const QSizeF points = image.deviceIndependentSize();
    const int columns = int(std::ceil(points.width() / spriteSize.width()));
    const int rows = int(std::ceil(points.height() / spriteSize.height()));
    const QSize pixels(qRound(spriteSize.width() * scale), qRound(spriteSize.height() * scale));
    const QImage::Format format = image.hasAlphaChannel() ? image.format() : QImage::Format_ARGB32_Premultiplied;

    // Cut in pixels: drawing a scaled source would shrink it by its ratio.
    QImage source = image;
    source.setDevicePixelRatio(1);

    QList<QImage> sprites;
    sprites.reserve(qsizetype(rows) * columns);
    for (int row = 0; row < rows; ++row) {
        for (int column = 0; column < columns; ++column) {
            const QRect cut(qRound(column * spriteSize.width() * scale), qRound(row * spriteSize.height() * scale),
                            pixels.width(), pixels.height());
            QImage sprite(pixels, format);
            sprite.fill(Qt::transparent);
            const QRect covered = cut.intersected(image.rect());
            if (!covered.isEmpty()) {
                QPainter painter(&sprite);
                painter.setCompositionMode(QPainter::CompositionMode_Source);
                painter.drawImage(covered.topLeft() - cut.topLeft(), source, covered);
            }
            sprite.setDevicePixelRatio(scale);
            sprites << sprite;
        }
    }
    return sprites;
}
