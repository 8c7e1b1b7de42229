#pragma once

#include <QString>

class QMimeData;

// Takes the files of the "Encrypt with Vaultine" action (the Services message of the
// single-instance channel) and hands them to the application delegate, which sends them to the
// drop screen.
class VLServiceProvider final
{
public:
    VLServiceProvider() = default;
    Q_DISABLE_COPY_MOVE(VLServiceProvider)

    // The pasteboard carries the files as file URLs. Without files, error (may be null) gets the
    // text that goes back to the sender and nothing else happens.
    void encryptFilesUserDataError(const QMimeData &pasteboard, const QString &userData, QString *error);
};
