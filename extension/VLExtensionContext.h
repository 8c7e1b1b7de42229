#pragma once

#include "platform/core/VLError.h"

#include <QList>
#include <QMutex>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <functional>
#include <memory>

// The type identifiers a shared item can be offered as.
inline const QString kUTTypeFileURL = QStringLiteral("public.file-url");
inline const QString kUTTypeURL = QStringLiteral("public.url");
inline const QString kUTTypePlainText = QStringLiteral("public.plain-text");

// One shared thing, offered under one or more type identifiers. Loading runs the type's load
// handler on a thread of the global default-priority queue and calls the completion there, so
// a slow source never blocks the thread that asked.
class VLItemProvider final
{
    Q_DISABLE_COPY_MOVE(VLItemProvider)

public:
    using LoadHandler = std::function<QVariant()>;
    using CompletionHandler = std::function<void(const QVariant &item, const VLError &error)>;

    VLItemProvider() = default;

    // A provider of one file URL ("public.file-url"), as a file manager shares a file.
    static std::shared_ptr<VLItemProvider> itemProviderWithContentsOfURL(const QUrl &url);
    // A provider of any other URL ("public.url"), as a browser shares a page.
    static std::shared_ptr<VLItemProvider> itemProviderWithURL(const QUrl &url);
    // A provider of text ("public.plain-text").
    static std::shared_ptr<VLItemProvider> itemProviderWithText(const QString &text);

    void registerItemForTypeIdentifierLoadHandler(const QString &typeIdentifier, LoadHandler loadHandler);
    QStringList registeredTypeIdentifiers() const;
    bool hasItemConformingToTypeIdentifier(const QString &typeIdentifier) const;
    // Options are accepted for the shape of the call; none is used. An unregistered type
    // completes with an error.
    void loadItemForTypeIdentifierOptionsCompletionHandler(const QString &typeIdentifier, const QVariantMap &options,
                                                           CompletionHandler completionHandler) const;

private:
    mutable QMutex m_mutex;
    QList<std::pair<QString, LoadHandler>> m_handlers;
};

using VLItemProviderPtr = std::shared_ptr<VLItemProvider>;

// One input item of a share request with its attachments.
struct VLExtensionItem
{
    QList<VLItemProviderPtr> attachments;
};

// The share request the host hands to the extension: its input items, and the completion that
// tells the host the request is over.
class VLExtensionContext final
{
    Q_DISABLE_COPY_MOVE(VLExtensionContext)

public:
    using CompletionHandler = std::function<void(bool expired)>;

    explicit VLExtensionContext(QList<VLExtensionItem> inputItems = {});

    // A request made of the host's command line: every argument is one item, a file path or
    // file URL offered as a file URL, another URL as a URL and anything else as text.
    static std::unique_ptr<VLExtensionContext> contextFromArguments(const QStringList &arguments);

    const QList<VLExtensionItem> &inputItems() const { return m_inputItems; }

    // Ends the request; the completion runs at once on the calling thread. A second call is
    // ignored.
    void completeRequestReturningItemsCompletionHandler(const QList<VLExtensionItem> &items,
                                                        const CompletionHandler &completionHandler);
    bool isCompleted() const { return m_completed; }
    const QList<VLExtensionItem> &returnedItems() const { return m_returnedItems; }

private:
    QList<VLExtensionItem> m_inputItems;
    QList<VLExtensionItem> m_returnedItems;
    bool m_completed = false;
};
