#pragma once

#include "engine/jobs/VLArchiveJob.h"

#include <QList>
#include <QString>
#include <QUrl>

#include <memory>
#include <optional>

class VLVedidador;

// What an encryption job reports. Every method is optional. Started, progress, finished and
// failures come on the job's work thread; the remaining-time text comes on the GUI thread, as
// does the failure of a job that cannot make its work folder (before encrypt returns).
// Callbacks must not block on the GUI thread.
class VLVedidadorDelegate
{
public:
    virtual ~VLVedidadorDelegate() = default;
    virtual void vedidadorDidStartedWithURLs(VLVedidador *vedidador, const QList<QUrl> &urls);
    virtual void vedidadorDidFailedWithError(VLVedidador *vedidador, const VLError &error);
    virtual void vedidadorDidFinishedWithResultURL(VLVedidador *vedidador, const QUrl &url);
    // Percent, 0 to 100.
    virtual void vedidadorDidUpdateProgress(VLVedidador *vedidador, float progress);
    virtual void vedidadorDidUpdateEstimationTime(VLVedidador *vedidador, const QString &estimation);
};

// Encrypts a set of files and folders into one container in a fresh work folder, on a
// background work thread. Made, started and cancelled on the GUI thread; runs once.
class VLVedidador final : public std::enable_shared_from_this<VLVedidador>, public VLArchiveJob<VLVedidadorDelegate>
{
public:
    // Null without sources: a job always needs some.
    static std::shared_ptr<VLVedidador> vedidadorWithSourceURLs(const QList<QUrl> &sourceURLs);
    ~VLVedidador() override;
    Q_DISABLE_COPY_MOVE(VLVedidador)

    // Starts the job; returns at once. Both texts may be empty.
    void encryptWithPasswordHint(const QString &password, const QString &hint);

    const QList<QUrl> &sourceURLs() const { return m_sourceURLs; }

    // The name of the container for these sources: the single source's name with "vault" for
    // its extension, or "Encrypted Archive.vault".
    static QString outputNameForSourceURLs(const QList<QUrl> &sourceURLs);

private:
    explicit VLVedidador(QList<QUrl> sourceURLs);
    void work(QString password, const QString &hint, const QString &rootPath);
    std::optional<QByteArray> previewForSource(const QUrl &source) const;

    void reportStarted(VLVedidadorDelegate *delegate) override;
    void reportFinished(VLVedidadorDelegate *delegate, const QUrl &url) override;
    void reportFailure(VLVedidadorDelegate *delegate, const VLError &error) override;
    void reportProgress(VLVedidadorDelegate *delegate, float progress) override;
    void reportEstimation(VLVedidadorDelegate *delegate, const QString &estimation) override;

    const QList<QUrl> m_sourceURLs;
};
