#pragma once

#include <QList>
#include <QUrl>

// The screen at the root of the main window that takes files from outside (drag and drop,
// the open panel, open-documents events, the Services hand-over).
class VLFilesDestination
{
public:
    virtual ~VLFilesDestination() = default;
    virtual void proceedWithFiles(const QList<QUrl> &urls) = 0;
};
