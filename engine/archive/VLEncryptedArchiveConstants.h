#pragma once

#include <QString>

// Names shared by every container operation: the error domain and codes, the operation names
// and the keys of the information maps passed to VLEncryptedArchiveDelegate.
namespace VLEncryptedArchiveConstants {

extern const QString errorDomain; // "VLEncryptedArchiveErrorDomain"

extern const QString operationAddition;   // "EncryptedArchiveOperationAddition" (never sent)
extern const QString operationOpening;    // "EncryptedArchiveOperationOpening"
extern const QString operationSaving;     // "EncryptedArchiveOperationSaving"
extern const QString operationExtraction; // "EncryptedArchiveOperationExtraction"

extern const QString keyError;           // "error"
extern const QString keyUnderlyingError; // "underlying_error"
extern const QString keyItem;            // "item"
extern const QString keyOperation;       // "operation"
extern const QString keyProgress;        // "progress"
extern const QString keyTotalProgress;   // "total_progress"

} // namespace VLEncryptedArchiveConstants

// Error codes of the domain "VLEncryptedArchiveErrorDomain".
enum VLEncryptedArchiveErrorCode : int {
    VLArchiveErrorStopped = 1000,
    VLArchiveErrorCreateArchive = 1001,
    VLArchiveErrorOpenSource = 1002,
    VLArchiveErrorReadSource = 1003,
    VLArchiveErrorLocalHeader = 1004,
    VLArchiveErrorCentralHeader = 1005,
    VLArchiveErrorEncipherLocator = 1006,
    VLArchiveErrorSectionCipher = 1007,
    VLArchiveErrorCompression = 1008,
    VLArchiveErrorDirectoryHmac = 1009,
    VLArchiveErrorOpenArchive = 1101,
    VLArchiveErrorNotAnArchive = 1102,
    VLArchiveErrorLocatorLength = 1103,
    VLArchiveErrorLocator = 1104,
    VLArchiveErrorNewerVersion = 1105,
    VLArchiveErrorDirectoryRecord = 1106,
    VLArchiveErrorKeySettings = 1107,
    VLArchiveErrorNotOpen = 1201,
    VLArchiveErrorDestination = 1202,
    VLArchiveErrorItemType = 1203,
    VLArchiveErrorCreateItem = 1204,
    VLArchiveErrorSeekItem = 1205,
    VLArchiveErrorLocalRecord = 1206,
    VLArchiveErrorExtractItem = 1207,
    VLArchiveErrorDecipher = 1208,
    VLArchiveErrorPasswordNeeded = 1209,
    VLArchiveErrorWrongPassword = 1210,
    VLArchiveErrorInflate = 1211,
    VLArchiveErrorItemHmac = 1212,
};
