#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QSize>

#include <optional>

// Image data helpers for previews and sprite sheets.
class VLPNGRepresentation final
{
public:
    // The image's pixels as JPEG 2000 data; empty where no JPEG 2000 writer is installed.
    static QByteArray JPEG2000Representation(const QImage &image);
    // The image's pixels as PNG data; empty for a null image.
    static QByteArray PNGRepresentation(const QImage &image);

    // Cuts a sheet into frames of `spriteSize` (in device-independent pixels), row by row, left to
    // right; frames the sheet covers only partly are transparent beyond it. None for a zero size.
    static std::optional<QList<QImage>> spritesWithSpriteSize(const QImage &image, QSize spriteSize);

    VLPNGRepresentation() = delete;
};
