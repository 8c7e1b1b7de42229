#pragma once

#include "engine/archive/VLEncryptedArchiveItem.h"

#include <QFlags>
#include <QVariantMap>

class VLEncryptedArchive;

// The callbacks of a container operation, sent synchronously on the thread that runs it.
// Every callback is optional: the container sends only those that answeredCallbacks() lists,
// and its behaviour depends on that (an unanswered password request fails the opening, an
// unanswered HMAC mismatch is an error, an unanswered progress callback is never throttled in).
class VLEncryptedArchiveDelegate
{
public:
    enum class Callback {
        StartedOperation = 0x01,
        OperationProgress = 0x02,
        OperationError = 0x04,
        FinishedOperation = 0x08,
        PasswordNeeded = 0x10,
        HMACMismatch = 0x20,
    };
    Q_DECLARE_FLAGS(Callbacks, Callback)

    virtual ~VLEncryptedArchiveDelegate() = default;

    // The callbacks this delegate answers.
    virtual Callbacks answeredCallbacks() const = 0;

    virtual void encryptedArchiveStartedOperation(VLEncryptedArchive *archive, const QVariantMap &info);
    // Setting cancel asks the operation to stop.
    virtual void encryptedArchiveOperationProgress(VLEncryptedArchive *archive, const QVariantMap &info, bool &cancel);
    virtual void encryptedArchiveOperationError(VLEncryptedArchive *archive, const QVariantMap &info);
    virtual void encryptedArchiveFinishedOperation(VLEncryptedArchive *archive, const QVariantMap &info);
    // Set the container's password before returning, or set cancel.
    virtual void encryptedArchivePasswordNeeded(VLEncryptedArchive *archive, bool &cancel);
    // The item is null for the directory. Leaving action at 1 makes the mismatch an error;
    // any other value lets the data through.
    virtual void encryptedArchiveHMACMismatch(VLEncryptedArchive *archive, const VLEncryptedArchiveItemPtr &item,
                                              quint64 &action);

    bool answers(Callback callback) const { return answeredCallbacks().testFlag(callback); }
};

Q_DECLARE_OPERATORS_FOR_FLAGS(VLEncryptedArchiveDelegate::Callbacks)
