#include "extension/VLSharingExtensionRequestHandler.h"

#include "extension/VLExtensionContext.h"
#include "extension/VLWorkspace.h"
#include "platform/core/Log.h"
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
    : QObject(parent)
    , m_workspace(workspace ? *workspace : VLWorkspace::sharedWorkspace())
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

    // What is late is left out; the user is not told, the log line is for whoever debugs it.
    if (!collection->group.waitFor(std::chrono::duration_cast<std::chrono::milliseconds>(itemsTimeout)))
        platform::log(QStringLiteral("[Share]: some shared items did not arrive in time and are left out."));

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
    if (applicationURL.isEmpty()) {
        platform::log(QStringLiteral("[Share]: Vaultine is not installed."));
    } else {
        VLError error;
        application = m_workspace.launchApplicationAtURLOptionsConfigurationError(
            applicationURL, VLWorkspaceLaunchAsync,
            {{VLWorkspaceLaunchConfigurationEnvironment, QVariantMap{{extensionLaunchKey, QStringLiteral("YES")}}}},
            &error);
        // Without a process to hand the files to, an open would only wait out its timeout.
        if (!application)
            platform::log(QStringLiteral("[Share]: could not start Vaultine: %1").arg(error.description()));
        else if (!m_workspace.openURLsWithApplicationAtURLOptionsConfigurationError(urls, applicationURL,
                                                                                    VLWorkspaceLaunchAsync, {}, &error))
            platform::log(QStringLiteral("[Share]: Vaultine did not take the files: %1").arg(error.description()));
    }

    context.completeRequestReturningItemsCompletionHandler(
        {}, [application](bool) { VLSharingActivateApplication(application); });
}
