#include "extension/VLSharingExtensionRequestHandler.h"

#include "extension/VLExtensionContext.h"
#include "extension/VLWorkspace.h"
#include "platform/dispatch/Dispatch.h"

#include <QMutex>

#include <memory>

namespace {

// What the providers deliver, shared with their completions: a completion that arrives after
// the wait still finds it, and its item is no longer passed on.
struct URLCollection
{
    QMutex mutex;
    // Kept in the order the attachments were asked, whatever order they answer in.
    QList<std::optional<QUrl>> urls;
    platform::DispatchGroup group;
};

void VLSharingURLCollector(const std::shared_ptr<URLCollection> &collection, qsizetype slot, const QVariant &item)
{
    {
        const QMutexLocker locker(&collection->mutex);
        if (item.typeId() == QMetaType::QUrl)
            collection->urls[slot] = item.toUrl();
    }
    collection->group.leave();
}

void VLSharingActivateApplication(const std::optional<VLRunningApplication> &application)
{
    if (application)
        application->activateWithOptions(VLApplicationActivateIgnoringOtherApps);
}

} // namespace

VLSharingExtensionRequestHandler::VLSharingExtensionRequestHandler(VLWorkspace *workspace, QObject *parent)
    : QObject(parent),
      m_workspace(workspace ? *workspace : VLWorkspace::sharedWorkspace())
{
}

VLSharingExtensionRequestHandler::~VLSharingExtensionRequestHandler() = default;

void VLSharingExtensionRequestHandler::beginRequestWithExtensionContext(VLExtensionContext &context)
{
    auto collection = std::make_shared<URLCollection>();
    for (const VLExtensionItem &item : context.inputItems()) {
        for (const VLItemProviderPtr &provider : item.attachments) {
            if (!provider || !provider->hasItemConformingToTypeIdentifier(kUTTypeFileURL))
                continue;
            qsizetype slot = 0;
            {
                const QMutexLocker locker(&collection->mutex);
                slot = collection->urls.size();
                collection->urls.append(std::nullopt);
            }
            collection->group.enter();
            provider->loadItemForTypeIdentifierOptionsCompletionHandler(
                kUTTypeFileURL, {}, [collection, slot](const QVariant &loaded, const VLError &) {
                    VLSharingURLCollector(collection, slot, loaded);
                });
        }
    }

    const bool allArrived =
        collection->group.waitFor(std::chrono::duration_cast<std::chrono::milliseconds>(itemsTimeout));
    Q_UNUSED(allArrived); // what is late is simply left out

    // A copy taken under the lock: late completions keep writing to the shared list only.
    QList<QUrl> urls;
    {
        const QMutexLocker locker(&collection->mutex);
        for (const std::optional<QUrl> &url : std::as_const(collection->urls)) {
            if (url)
                urls << *url;
        }
    }
    m_handedOverURLs = urls;

    const QUrl applicationURL = m_workspace.URLForApplicationWithBundleIdentifier(applicationBundleIdentifier);
    std::optional<VLRunningApplication> application;
    if (!applicationURL.isEmpty()) {
        application = m_workspace.launchApplicationAtURLOptionsConfigurationError(
            applicationURL, VLWorkspaceLaunchAsync,
            {{VLWorkspaceLaunchConfigurationEnvironment, QVariantMap{{extensionLaunchKey, QStringLiteral("YES")}}}});
        // Without a process to hand the files to, an open would only wait out its timeout.
        if (application) {
            const bool opened = m_workspace.openURLsWithApplicationAtURLOptionsConfigurationError(
                urls, applicationURL, VLWorkspaceLaunchAsync, {});
            Q_UNUSED(opened);
        }
    }

    context.completeRequestReturningItemsCompletionHandler(
        {}, [application](bool) { VLSharingActivateApplication(application); });
}
