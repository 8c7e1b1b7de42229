#pragma once

#include "platform/core/VLError.h"

#include <QString>

// The outcome of renaming a file in its folder: the new path, or the error with the file left
// where it was.
struct VLRenameInPlaceResult
{
    QString path;
    VLError error;
};

// Renames the item at path to name plus the extension (without its dot), in the same folder. An
// item already there is never replaced: the clash is an error of its own (the Cocoa file-exists
// code, 516) whose description names the new name. Other failures come as POSIX errors. The
// name must already be a usable file name (no "/").
VLRenameInPlaceResult vlRenameItemInPlace(const QString &path, const QString &name, const QString &extension);
