#pragma once

#include "screens/VLSharingService.h"

#include <QMutex>
#include <QUrl>

#include <functional>
#include <memory>

class VLTransporter;

// Shares a file by saving a copy of it where the user chooses in a save panel; the copy runs
// through a transporter whose delegate is the service's delegate (when it is a transporter
// delegate).
class VLSaveToFileSharingService final : public VLSharingService
{
    Q_OBJECT

public:
    // The code of the failure when no file is among the items.
    static constexpr qint64 noFileErrorCode = 66563;

    explicit VLSaveToFileSharingService(QObject *parent = nullptr);
    ~VLSaveToFileSharingService() override;

    // True when every item is a URL.
    bool canPerformWithItems(const QVariantList &items) const override;
    void performWithItems(const QVariantList &items) override;

    QUrl destinationURL() const;
    void setDestinationURL(const QUrl &url);

    // Told of every transporter the service starts, so that its owner can stop it.
    using TransporterHandler = std::function<void(const std::shared_ptr<VLTransporter> &transporter)>;
    void setTransporterHandler(TransporterHandler handler) { m_transporterHandler = std::move(handler); }

private:
    mutable QMutex m_mutex;
    QUrl m_destinationURL;
    TransporterHandler m_transporterHandler;
};
