#pragma once

#include <QString>

// The uniform type identifier of an item, derived from its name: "public.folder" for folders,
// otherwise the public identifier of its content type, or its bare extension when there is none.
QString VLTypeIdentifierForPath(const QString &path, bool isFolder);
