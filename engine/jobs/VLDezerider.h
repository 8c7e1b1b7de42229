#pragma once

#include "engine/archive/VLEncryptedArchive.h"
#include "engine/archive/VLEncryptedArchiveDelegate.h"
#include "engine/files/VLChronometer.h"
#include "platform/core/VLError.h"

#include <QString>
#include <QUrl>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

class VLDezerider;

// What a decryption job reports; threads as for VLVedidadorDelegate. Every method is optional.
class VLDezeriderDelegate
{
public:
    virtual ~VLDezeriderDelegate() = default;
    virtual void dezeriderDidStartedWithArchiveURL(VLDezerider *dezerider, const QUrl &archiveURL);
    virtual void dezeriderDidFailedWithError(VLDezerider *dezerider, const VLError &error);
    virtual void dezeriderDidFinishedWithResultURL(VLDezerider *dezerider, const QUrl &url);
    // Percent, 0 to 100.
    virtual void dezeriderDidUpdateProgress(VLDezerider *dezerider, float progress);
    virtual void dezeriderDidUpdateEstimationTime(VLDezerider *dezerider, const QString &estimation);
};

// Restores the whole content of one container into a fresh work folder, on a background work
// thread. Made, started and cancelled on the GUI thread, after the password has been checked;
// runs once. rootName, hint, destinationURL and specialScenario are meant to be read after the
// finished callback.
class VLDezerider final : public std::enable_shared_from_this<VLDezerider>,
                          public VLEncryptedArchiveDelegate,
                          public VLChronometerDelegate
{
public:
    // The HMAC of the single top-level item that marks the special case.
    static const QByteArray specialScenarioHmac;

    // Null for an empty URL.
    static std::shared_ptr<VLDezerider> dezeriderWithArchiveURL(const QUrl &archiveURL);
    ~VLDezerider() override;
    Q_DISABLE_COPY_MOVE(VLDezerider)

    void decryptWithPassword(const QString &password);
    // As for VLVedidador: no callback once this has returned; wait before emptying the folder.
    void cancel();
    bool waitUntilStopped(std::chrono::milliseconds bound);
    bool isRunning() const;

    bool isCancelled() const { return m_isCancelled.load(); }
    bool specialScenario() const;
    QString rootName() const;
    QString hint() const;
    QUrl archiveURL() const { return m_archiveURL; }
    QUrl destinationURL() const;
    VLDezeriderDelegate *delegate() const;
    void setDelegate(VLDezeriderDelegate *delegate);
    VLEncryptedArchive *archive() const { return m_archive.get(); }
    VLChronometer *chronometer() const { return m_chronometer.get(); }

    // The container's callbacks.
    Callbacks answeredCallbacks() const override;
    void encryptedArchiveStartedOperation(VLEncryptedArchive *archive, const QVariantMap &info) override;
    void encryptedArchiveFinishedOperation(VLEncryptedArchive *archive, const QVariantMap &info) override;
    void encryptedArchiveOperationProgress(VLEncryptedArchive *archive, const QVariantMap &info, bool &cancel) override;
    void encryptedArchiveOperationError(VLEncryptedArchive *archive, const QVariantMap &info) override;
    void encryptedArchiveHMACMismatch(
        VLEncryptedArchive *archive, const VLEncryptedArchiveItemPtr &item, quint64 &action) override;
    void chronometerDidUpdateRemainingTime(VLChronometer *chronometer, double seconds) override;

private:
    explicit VLDezerider(QUrl archiveURL);
    void work(QString password, const QString &workFolder);
    void stopChronometer();
    void workerStopped();
    template<typename Call>
    void send(Call call);

    const QUrl m_archiveURL;
    std::unique_ptr<VLEncryptedArchive> m_archive;
    std::unique_ptr<VLChronometer> m_chronometer;
    std::atomic<bool> m_isCancelled = false;
    bool m_started = false;

    mutable std::recursive_mutex m_delegateMutex;
    VLDezeriderDelegate *m_delegate = nullptr;

    mutable std::mutex m_stateMutex;
    std::condition_variable m_stopped;
    bool m_running = false;
    bool m_specialScenario = false;
    QString m_rootName;
    QString m_hint;
    QUrl m_destinationURL;
};
