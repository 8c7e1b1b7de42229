#pragma once

#include <QList>
#include <QString>
#include <QUrl>

#include <functional>

// A display title and a total size text for a set of file URLs.
class VLFileNamer final
{
public:
    VLFileNamer() = delete;

    // One URL: its name without the extension; otherwise "<count> items".
    static QString titleForURLs(const QList<QUrl> &urls);
    static QString sizeForURLs(const QList<QUrl> &urls);
    // Computes sizeForURLs on a background work thread and calls the block there.
    static void sizeForURLsCompletionBlock(const QList<QUrl> &urls,
                                           std::function<void(const QString &size)> completion);
};
