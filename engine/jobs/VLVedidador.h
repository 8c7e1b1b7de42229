#pragma once

#include "engine/archive/VLEncryptedArchive.h"
#include "engine/archive/VLEncryptedArchiveDelegate.h"
#include "engine/files/VLChronometer.h"
#include "platform/core/VLError.h"

#include <QList>
#include <QString>
#include <QUrl>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

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
class VLVedidador final : public std::enable_shared_from_this<VLVedidador>,
                          public VLEncryptedArchiveDelegate,
                          public VLChronometerDelegate
{
public:
    // Null without sources: a job always needs some.
    static std::shared_ptr<VLVedidador> vedidadorWithSourceURLs(const QList<QUrl> &sourceURLs);
    ~VLVedidador() override;
    Q_DISABLE_COPY_MOVE(VLVedidador)

    // Starts the job; returns at once. Both texts may be empty.
    void encryptWithPasswordHint(const QString &password, const QString &hint);
    // Stops the job at its next step. No callback is sent once this has returned; the work
    // folder and a partly written container stay until the owner empties the work folders,
    // which it should do only after waitUntilStopped.
    void cancel();
    // Waits, at most `bound`, until the work thread has stopped touching the work folder. True
    // when it has (also for a job that never started).
    bool waitUntilStopped(std::chrono::milliseconds bound);
    bool isRunning() const;

    bool isCancelled() const { return m_isCancelled.load(); }
    VLVedidadorDelegate *delegate() const;
    // A plain reference: the owner clears it before it goes away. Once setDelegate returns, a
    // callback in progress has finished with the old delegate.
    void setDelegate(VLVedidadorDelegate *delegate);
    const QList<QUrl> &sourceURLs() const { return m_sourceURLs; }
    QUrl destinationURL() const;
    VLEncryptedArchive *archive() const { return m_archive.get(); }
    VLChronometer *chronometer() const { return m_chronometer.get(); }

    // The container's callbacks.
    Callbacks answeredCallbacks() const override;
    void encryptedArchiveStartedOperation(VLEncryptedArchive *archive, const QVariantMap &info) override;
    void encryptedArchiveFinishedOperation(VLEncryptedArchive *archive, const QVariantMap &info) override;
    void encryptedArchiveOperationProgress(VLEncryptedArchive *archive, const QVariantMap &info, bool &cancel) override;
    void encryptedArchiveOperationError(VLEncryptedArchive *archive, const QVariantMap &info) override;
    // The chronometer's tick.
    void chronometerDidUpdateRemainingTime(VLChronometer *chronometer, double seconds) override;

    // The name of the container for these sources: the single source's name with "vault" for
    // its extension, or "Encrypted Archive.vault".
    static QString outputNameForSourceURLs(const QList<QUrl> &sourceURLs);

private:
    explicit VLVedidador(QList<QUrl> sourceURLs);
    void work(QString password, const QString &hint, const QString &rootPath);
    bool checkSourceReadability(const QUrl &source, QString *failedFile) const;
    std::optional<QByteArray> previewForSource(const QUrl &source) const;
    void stopChronometer();
    void workerStopped();
    template<typename Call>
    void send(Call call);

    const QList<QUrl> m_sourceURLs;
    std::unique_ptr<VLEncryptedArchive> m_archive;
    std::unique_ptr<VLChronometer> m_chronometer;
    std::atomic<bool> m_isCancelled = false;
    bool m_started = false;

    mutable std::recursive_mutex m_delegateMutex;
    VLVedidadorDelegate *m_delegate = nullptr;

    mutable std::mutex m_stateMutex;
    std::condition_variable m_stopped;
    bool m_running = false;
    QUrl m_destinationURL;
};
