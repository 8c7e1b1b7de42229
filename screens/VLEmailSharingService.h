#pragma once

#include "screens/VLSharingService.h"

// Shares files as the attachments of a new message in the user's mail program (xdg-email),
// with the shared texts as the message's body.
class VLEmailSharingService final : public VLSharingService
{
    Q_OBJECT

public:
    explicit VLEmailSharingService(QObject *parent = nullptr);

    // Whether this desktop can open a new message.
    static bool isAvailable();

    // At least one local file, and nothing but texts and local files.
    bool canPerformWithItems(const QVariantList &items) const override;
    void performWithItems(const QVariantList &items) override;
};
