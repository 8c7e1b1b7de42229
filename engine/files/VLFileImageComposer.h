#pragma once

#include <QImage>
#include <QList>
#include <QRectF>
#include <QSize>
#include <QUrl>

#include <functional>

// One picture for a set of files: the container image for a single container file, else the
// thumbnails or type icons of up to four items, stacked with the first in front. Works on
// QImage only, so it may run on any thread.
class VLFileImageComposer final
{
public:
    VLFileImageComposer() = delete;

    // Path of the container image in the application's resources.
    static const QString vaultImageResource;

    static QImage composeImageFromURLsWithImageSize(const QList<QUrl> &urls, QSize size);
    // isTypeIcon (may be null) tells whether the last item had no thumbnail and shows its type
    // icon. The image is twice the requested size.
    static QImage composeImageFromURLsWithImageSizeIsTypeIcon(const QList<QUrl> &urls, QSize size, bool *isTypeIcon);
    // Composes on a background work thread and calls the block there.
    static void composeImageFromURLsWithImageSizeCompletionBlock(const QList<QUrl> &urls, QSize size,
                                                                 std::function<void(const QImage &image)> completion);

    // Where item `index` goes on a canvas, with the origin at the lower left (later items sit
    // higher): integral, every edge moved inward.
    static QRectF rectForIndexFromSize(qint64 index, QSizeF size);

    // A thumbnail of the file fitted into `size`, or a null image when it has none.
    static QImage imageWithPreviewOfURLOfSizeAsIcon(const QUrl &url, QSize size, bool asIcon);
};
