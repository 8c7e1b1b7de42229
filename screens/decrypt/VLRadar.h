#pragma once

#include "engine/files/SWFileMonitor.h"

#include <QString>
#include <QStringList>
#include <QUrl>

#include <memory>
#include <mutex>

class VLRadar;

// Told where a followed item went. Called on the file monitor's thread.
class VLRadarDelegate
{
public:
    virtual ~VLRadarDelegate() = default;
    virtual void radarDidChangedItemLocation(VLRadar *radar, const QUrl &url)
    {
        Q_UNUSED(radar)
        Q_UNUSED(url)
    }
    // The item was removed from its place and not found again; url is the folder it went to,
    // or empty when nothing told where it went.
    virtual void radarDidLostItemAtLocation(VLRadar *radar, const QUrl &folderURL)
    {
        Q_UNUSED(radar)
        Q_UNUSED(folderURL)
    }
};

// Follows one item after the user has dragged it out of the window. A move within the item's
// file system is a rename of the watched item, whose new path the monitor reads from the item
// itself. A move to another file system copies the item and then deletes it: the radar then
// looks in the drop folder for the one new entry named like the item.
class VLRadar final
{
public:
    static std::unique_ptr<VLRadar> radarWithURL(const QUrl &url);
    explicit VLRadar(const QUrl &url);
    ~VLRadar();
    Q_DISABLE_COPY_MOVE(VLRadar)

    QUrl url() const { return m_url; }
    // A plain reference: the owner clears it (or destroys the radar) before it goes.
    void setDelegate(VLRadarDelegate *delegate);
    bool pause() const { return m_pause; }
    void setPause(bool pause);

    // The drag ended over this folder. Only a folder on another file system than the item's is
    // remembered, with the names it holds now; the file manager copies the item there.
    void itemIsGoingToLocation(const QUrl &folderURL);
    // The one new entry of the remembered drop folder that takes the item's place.
    QUrl findFileInNewParentLocation() const;

    // The monitor's report; public for the monitor's block.
    void handleEvent(unsigned long flags, const QString &path);

private:
    struct Snapshot
    {
        QString folder;
        QStringList names;
    };
    std::shared_ptr<const Snapshot> parentLocation() const;

    const QUrl m_url;
    std::unique_ptr<SWFileMonitor> m_fileMonitor;
    mutable std::mutex m_mutex;
    // Replaced whole on the main thread, read on the monitor's.
    std::shared_ptr<const Snapshot> m_parentLocation;
    // Held while a report runs, so that once setDelegate returns no report reaches the old one.
    std::recursive_mutex m_delegateMutex;
    VLRadarDelegate *m_delegate = nullptr;
    bool m_pause = false;
};
