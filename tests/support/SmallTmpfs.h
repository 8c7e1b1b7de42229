#pragma once

#include <QDir>
#include <QFile>
#include <QString>

#include <cerrno>
#include <cstring>
#include <sys/mount.h>

// A small file system mounted over a folder while it lives, to meet a full disk for real.
// Mounting needs the superuser (or a namespace that grants it); where it is refused, reason()
// says why, for the test to skip with.
class SmallTmpfs final
{
public:
    SmallTmpfs(const QString &folder, qint64 bytes) : m_folder(folder)
    {
        QDir().mkpath(folder);
        const QByteArray options = "size=" + QByteArray::number(bytes) + ",mode=0700";
        if (::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", MS_NOSUID | MS_NODEV, options.constData())
            == 0)
            m_mounted = true;
        else
            m_reason = QStringLiteral("cannot mount a tmpfs on %1: %2")
                           .arg(folder, QString::fromLocal8Bit(std::strerror(errno)));
    }

    ~SmallTmpfs()
    {
        if (m_mounted)
            ::umount2(QFile::encodeName(m_folder).constData(), MNT_DETACH);
    }

    SmallTmpfs(const SmallTmpfs &) = delete;
    SmallTmpfs &operator=(const SmallTmpfs &) = delete;

    bool isMounted() const { return m_mounted; }
    QString reason() const { return m_reason; }

private:
    QString m_folder;
    bool m_mounted = false;
    QString m_reason;
};
