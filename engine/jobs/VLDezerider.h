#pragma once

#include "engine/jobs/VLArchiveJob.h"

#include <QString>
#include <QUrl>

#include <memory>

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
class VLDezerider final : public std::enable_shared_from_this<VLDezerider>, public VLArchiveJob<VLDezeriderDelegate>
{
public:
    // The HMAC of the single top-level item that marks the special case.
    static const QByteArray specialScenarioHmac;

    // Null for an empty URL.
    static std::shared_ptr<VLDezerider> dezeriderWithArchiveURL(const QUrl &archiveURL);
    ~VLDezerider() override;
    Q_DISABLE_COPY_MOVE(VLDezerider)

    void decryptWithPassword(const QString &password);

    bool specialScenario() const;
    QString rootName() const;
    QString hint() const;
    QUrl archiveURL() const { return m_archiveURL; }

    // The container's callbacks beyond those of every job.
    Callbacks answeredCallbacks() const override;
    void encryptedArchiveHMACMismatch(VLEncryptedArchive *archive, const VLEncryptedArchiveItemPtr &item,
                                      quint64 &action) override;

private:
    explicit VLDezerider(QUrl archiveURL);
    void work(QString password, const QString &workFolder);

    void reportStarted(VLDezeriderDelegate *delegate) override;
    void reportFinished(VLDezeriderDelegate *delegate, const QUrl &url) override;
    void reportFailure(VLDezeriderDelegate *delegate, const VLError &error) override;
    void reportProgress(VLDezeriderDelegate *delegate, float progress) override;
    void reportEstimation(VLDezeriderDelegate *delegate, const QString &estimation) override;

    const QUrl m_archiveURL;
    bool m_specialScenario = false;
    QString m_rootName;
    QString m_hint;
};
