#pragma once

#include "engine/jobs/VLDezerider.h"
#include "engine/jobs/VLVedidador.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <functional>
#include <mutex>

// Records what a job tells its delegate, from whichever thread, in order.
class JobRecorder final : public VLVedidadorDelegate, public VLDezeriderDelegate
{
public:
    enum class Kind { Started, Progress, Estimation, Finished, Failed };

    struct Event
    {
        Kind kind = Kind::Started;
        bool onGuiThread = false;
        qint64 atMs = 0;
        float progress = 0;
        QString text;
        QUrl url;
        VLError error;
    };

    static Event make(Kind kind, float progress = 0, const QString &text = {}, const QUrl &url = {},
                      const VLError &error = {})
    {
        Event event;
        event.kind = kind;
        event.progress = progress;
        event.text = text;
        event.url = url;
        event.error = error;
        return event;
    }

    JobRecorder() { m_clock.start(); }

    // Runs inside every progress callback, on the work thread (to slow a job down, or to act).
    std::function<void(float progress)> onProgress;
    // Runs inside the started callback, on the work thread.
    std::function<void()> onStarted;

    QList<Event> events() const
    {
        std::lock_guard lock(m_mutex);
        return m_events;
    }
    QList<Event> eventsOf(Kind kind) const
    {
        QList<Event> found;
        for (const Event &event : events()) {
            if (event.kind == kind)
                found.append(event);
        }
        return found;
    }
    bool has(Kind kind) const { return !eventsOf(kind).isEmpty(); }
    bool ended() const { return has(Kind::Finished) || has(Kind::Failed); }
    int count() const { return int(events().size()); }

    void vedidadorDidStartedWithURLs(VLVedidador *, const QList<QUrl> &) override
    {
        add(make(Kind::Started));
        if (onStarted)
            onStarted();
    }
    void vedidadorDidFailedWithError(VLVedidador *, const VLError &error) override
    {
        add(make(Kind::Failed, 0, {}, {}, error));
    }
    void vedidadorDidFinishedWithResultURL(VLVedidador *, const QUrl &url) override
    {
        add(make(Kind::Finished, 0, {}, url));
    }
    void vedidadorDidUpdateProgress(VLVedidador *, float progress) override { progressed(progress); }
    void vedidadorDidUpdateEstimationTime(VLVedidador *, const QString &text) override
    {
        add(make(Kind::Estimation, 0, text));
    }

    void dezeriderDidStartedWithArchiveURL(VLDezerider *, const QUrl &url) override
    {
        add(make(Kind::Started, 0, {}, url));
        if (onStarted)
            onStarted();
    }
    void dezeriderDidFailedWithError(VLDezerider *, const VLError &error) override
    {
        add(make(Kind::Failed, 0, {}, {}, error));
    }
    void dezeriderDidFinishedWithResultURL(VLDezerider *, const QUrl &url) override
    {
        add(make(Kind::Finished, 0, {}, url));
    }
    void dezeriderDidUpdateProgress(VLDezerider *, float progress) override { progressed(progress); }
    void dezeriderDidUpdateEstimationTime(VLDezerider *, const QString &text) override
    {
        add(make(Kind::Estimation, 0, text));
    }

private:
    void progressed(float progress)
    {
        add(make(Kind::Progress, progress));
        if (onProgress)
            onProgress(progress);
    }

    void add(Event event)
    {
        event.onGuiThread = QThread::currentThread() == QCoreApplication::instance()->thread();
        event.atMs = m_clock.elapsed();
        std::lock_guard lock(m_mutex);
        m_events.append(event);
    }

    mutable std::mutex m_mutex;
    QList<Event> m_events;
    QElapsedTimer m_clock;
};

namespace JobFixtures {

inline bool writeFile(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    // A whole second: containers keep dates to the millisecond, and a source date in the last
    // half millisecond of a second would come back in the next one. The bytes go out first, so
    // that closing the file does not write them and move the date on again.
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size() && file.flush()
           && file.setFileTime(QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch()),
                               QFileDevice::FileModificationTime);
}

// Bytes that do not compress, so that the container has real work to do.
inline QByteArray noise(qsizetype size, quint32 seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    quint32 state = seed * 2654435761u + 1;
    for (qsizetype i = 0; i < size; ++i) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        bytes[i] = char(state & 0xff);
    }
    return bytes;
}

// A description of a tree for comparing a restored tree with its original: relative path,
// type, permissions, modification second, size and content (or link target).
inline QStringList describeTree(const QString &root)
{
    QStringList lines;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    QStringList paths;
    while (it.hasNext())
        paths << it.next();
    paths.sort();
    for (const QString &path : std::as_const(paths)) {
        const QFileInfo info(path);
        QString line = path.mid(root.size()) + u' ';
        if (info.isSymLink()) {
            line += u"link -> " + info.symLinkTarget().mid(info.symLinkTarget().startsWith(root) ? root.size() : 0);
        } else if (info.isDir()) {
            line += u"folder " + QString::number(int(info.permissions()), 16);
        } else {
            QFile file(path);
            file.open(QIODevice::ReadOnly);
            line += u"file " + QString::number(int(info.permissions()), 16) + u' '
                    + QString::number(info.lastModified().toSecsSinceEpoch()) + u' ' + QString::number(info.size())
                    + u' ' + QString::fromLatin1(file.readAll().toHex().left(64));
        }
        lines << line;
    }
    return lines;
}

} // namespace JobFixtures
