#include "screens/decrypt/VLRadar.h"

#include "engine/files/VLPathComponents.h"
#include "screens/VLTransporter.h"

#include <QDir>
#include <QFileInfo>

namespace {

QStringList entryNames(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

} // namespace

std::unique_ptr<VLRadar> VLRadar::radarWithURL(const QUrl &url)
{
    return std::make_unique<VLRadar>(url);
}

VLRadar::VLRadar(const QUrl &url) : m_url(url), m_fileMonitor(std::make_unique<SWFileMonitor>())
{
    m_fileMonitor->startObservationOfURLWithBlock(
        url, [this](unsigned long flags, const QString &path) { handleEvent(flags, path); });
}

VLRadar::~VLRadar()
{
    // Waits for a report in progress; none follows.
    m_fileMonitor->removeAllPaths();
}

void VLRadar::setDelegate(VLRadarDelegate *delegate)
{
    std::lock_guard lock(m_delegateMutex);
    m_delegate = delegate;
}

void VLRadar::setPause(bool pause)
{
    m_pause = pause;
    m_fileMonitor->setPause(pause);
}

void VLRadar::itemIsGoingToLocation(const QUrl &folderURL)
{
    const QString folder = folderURL.toLocalFile();
    if (folder.isEmpty() || !VLTransporter::isDestinationOnAnotherVolume(m_url, QUrl::fromLocalFile(folder)))
        return;
    auto snapshot = std::make_shared<Snapshot>(Snapshot{QDir::cleanPath(folder), entryNames(folder)});
    std::lock_guard lock(m_mutex);
    m_parentLocation = std::move(snapshot);
}

std::shared_ptr<const VLRadar::Snapshot> VLRadar::parentLocation() const
{
    std::lock_guard lock(m_mutex);
    return m_parentLocation;
}

QUrl VLRadar::findFileInNewParentLocation() const
{
    const std::shared_ptr<const Snapshot> snapshot = parentLocation();
    if (!snapshot)
        return {};
    const QFileInfo item(m_url.toLocalFile());
    const QString base = VLPathComponents::deletingPathExtension(item.fileName());
    QStringList candidates;
    int newEntries = 0;
    for (const QString &name : entryNames(snapshot->folder)) {
        if (snapshot->names.contains(name))
            continue;
        ++newEntries;
        if (name.startsWith(base))
            candidates << name;
    }
    const QString expected = snapshot->folder + u'/' + item.fileName();
    if ((newEntries == 0 || candidates.isEmpty()) && QFileInfo::exists(expected))
        return QUrl::fromLocalFile(expected);
    // Several entries named like the item cannot be told apart.
    if (candidates.size() == 1)
        return QUrl::fromLocalFile(snapshot->folder + u'/' + candidates.first());
    return {};
}

void VLRadar::handleEvent(unsigned long flags, const QString &path)
{
    std::lock_guard lock(m_delegateMutex);
    if (!m_delegate)
        return;
    if (flags & SWFileMonitorEventRename) {
        // A rename whose new path could not be read says nothing about where the item is; the
        // delete that ends a move to another file system still follows.
        if (!path.isEmpty() && QFileInfo::exists(path))
            m_delegate->radarDidChangedItemLocation(this, QUrl::fromLocalFile(path));
        return;
    }
    if (!(flags & SWFileMonitorEventDelete))
        return;
    const QUrl found = findFileInNewParentLocation();
    if (found.isValid()) {
        m_delegate->radarDidChangedItemLocation(this, found);
        return;
    }
    // Without a drop folder nobody knows where the item went: it is reported lost at no place
    // rather than at a guessed one.
    const std::shared_ptr<const Snapshot> snapshot = parentLocation();
    m_delegate->radarDidLostItemAtLocation(this, snapshot ? QUrl::fromLocalFile(snapshot->folder) : QUrl());
}
