#include "extension/VLExtensionContext.h"

#include "platform/dispatch/Dispatch.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace {

const QString itemProviderErrorDomain = QStringLiteral("NSItemProviderErrorDomain");
constexpr qint64 unavailableCoercionError = -1000;

} // namespace

std::shared_ptr<VLItemProvider> VLItemProvider::itemProviderWithContentsOfURL(const QUrl &url)
{
    auto provider = std::make_shared<VLItemProvider>();
    provider->registerItemForTypeIdentifierLoadHandler(kUTTypeFileURL, [url] { return QVariant(url); });
    provider->registerItemForTypeIdentifierLoadHandler(kUTTypeURL, [url] { return QVariant(url); });
    return provider;
}

std::shared_ptr<VLItemProvider> VLItemProvider::itemProviderWithURL(const QUrl &url)
{
    auto provider = std::make_shared<VLItemProvider>();
    provider->registerItemForTypeIdentifierLoadHandler(kUTTypeURL, [url] { return QVariant(url); });
    return provider;
}

std::shared_ptr<VLItemProvider> VLItemProvider::itemProviderWithText(const QString &text)
{
    auto provider = std::make_shared<VLItemProvider>();
    provider->registerItemForTypeIdentifierLoadHandler(kUTTypePlainText, [text] { return QVariant(text); });
    return provider;
}

void VLItemProvider::registerItemForTypeIdentifierLoadHandler(const QString &typeIdentifier, LoadHandler loadHandler)
{
    const QMutexLocker locker(&m_mutex);
    m_handlers.append({typeIdentifier, std::move(loadHandler)});
}

QStringList VLItemProvider::registeredTypeIdentifiers() const
{
    const QMutexLocker locker(&m_mutex);
    QStringList types;
    for (const auto &[type, handler] : m_handlers)
        types << type;
    return types;
}

bool VLItemProvider::hasItemConformingToTypeIdentifier(const QString &typeIdentifier) const
{
    // A file URL is also a URL; nothing else here conforms to another type.
    return registeredTypeIdentifiers().contains(typeIdentifier);
}

void VLItemProvider::loadItemForTypeIdentifierOptionsCompletionHandler(const QString &typeIdentifier,
                                                                       const QVariantMap &options,
                                                                       CompletionHandler completionHandler) const
{
    Q_UNUSED(options);
    LoadHandler handler;
    {
        const QMutexLocker locker(&m_mutex);
        for (const auto &[type, load] : m_handlers) {
            if (type == typeIdentifier) {
                handler = load;
                break;
            }
        }
    }
    platform::dispatchAsync(platform::QueuePriority::Default,
                            [handler = std::move(handler), completion = std::move(completionHandler), typeIdentifier] {
                                if (!completion)
                                    return;
                                if (!handler) {
                                    completion(QVariant(),
                                               VLError(itemProviderErrorDomain, unavailableCoercionError,
                                                       {{QStringLiteral("NSLocalizedDescription"),
                                                         QStringLiteral("No item of type %1").arg(typeIdentifier)}}));
                                    return;
                                }
                                completion(handler(), VLError());
                            });
}

VLExtensionContext::VLExtensionContext(QList<VLExtensionItem> inputItems) : m_inputItems(std::move(inputItems))
{
}

std::unique_ptr<VLExtensionContext> VLExtensionContext::contextFromArguments(const QStringList &arguments)
{
    QList<VLExtensionItem> items;
    for (const QString &argument : arguments) {
        const QUrl url(argument, QUrl::StrictMode);
        VLExtensionItem item;
        if (url.isLocalFile()) {
            item.attachments << VLItemProvider::itemProviderWithContentsOfURL(url);
        } else if (url.isValid() && !url.isRelative() && url.scheme().size() > 1) {
            // A one-letter "scheme" is more likely a drive letter than a URL; paths have none here.
            item.attachments << VLItemProvider::itemProviderWithURL(url);
        } else if (argument.startsWith(u'/') || QFileInfo::exists(argument)) {
            item.attachments << VLItemProvider::itemProviderWithContentsOfURL(
                QUrl::fromLocalFile(QFileInfo(argument).absoluteFilePath()));
        } else {
            item.attachments << VLItemProvider::itemProviderWithText(argument);
        }
        items << item;
    }
    return std::make_unique<VLExtensionContext>(std::move(items));
}

void VLExtensionContext::completeRequestReturningItemsCompletionHandler(const QList<VLExtensionItem> &items,
                                                                        const CompletionHandler &completionHandler)
{
    if (m_completed)
        return;
    m_completed = true;
    m_returnedItems = items;
    if (completionHandler)
        completionHandler(false);
}
