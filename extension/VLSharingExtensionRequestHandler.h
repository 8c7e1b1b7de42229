#pragma once

#include <QList>
#include <QObject>
#include <QUrl>

#include <chrono>

class VLExtensionContext;
class VLWorkspace;

// The share helper's principal class: takes one share request, collects its file URLs, starts
// Vaultine (or finds it running) and has it open them. It shows nothing and reports nothing;
// the request is completed whatever happens.
class VLSharingExtensionRequestHandler final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(VLSharingExtensionRequestHandler)

public:
    static inline const QString applicationBundleIdentifier = QStringLiteral("com.nimbrel.Vaultine");
    static inline const QString extensionLaunchKey = QStringLiteral("VLExtensionLaunch");
    // How long the request waits for the item providers; what comes later is not passed on.
    static constexpr std::chrono::nanoseconds itemsTimeout{5'000'000'000};

    explicit VLSharingExtensionRequestHandler(VLWorkspace *workspace = nullptr, QObject *parent = nullptr);
    ~VLSharingExtensionRequestHandler() override;

    // Blocks the calling thread for at most the items timeout while the providers deliver.
    void beginRequestWithExtensionContext(VLExtensionContext &context);

    // The URLs the last request handed over, in the order of the items.
    QList<QUrl> handedOverURLs() const { return m_handedOverURLs; }

private:
    VLWorkspace &m_workspace;
    QList<QUrl> m_handedOverURLs;
};
