#include "engine/files/VLFileNamer.h"

#include "engine/files/NBFileSizer.h"
#include "engine/files/VLPathComponents.h"
#include "platform/dispatch/Dispatch.h"

QString VLFileNamer::titleForURLs(const QList<QUrl> &urls)
{
    if (urls.size() == 1)
        return VLPathComponents::deletingPathExtension(VLPathComponents::lastPathComponent(urls.first().toLocalFile()));
    // Not localised, as in every release so far.
    return QStringLiteral("%1 items").arg(urls.size());
}

QString VLFileNamer::sizeForURLs(const QList<QUrl> &urls)
{
    quint64 total = 0;
    for (const QUrl &url : urls)
        total += NBFileSizer::itemSizeAtPath(url.toLocalFile());
    return NBFileSizer::displayItemSizeFromSize(total);
}

void VLFileNamer::sizeForURLsCompletionBlock(const QList<QUrl> &urls, std::function<void(const QString &)> completion)
{
    platform::dispatchAsync(platform::QueuePriority::Background, [urls, completion = std::move(completion)] {
        const QString size = sizeForURLs(urls);
        if (completion)
            completion(size);
    });
}
