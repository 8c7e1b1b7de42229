#pragma once

#include <QImage>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <memory>
#include <optional>

// Stands between the decrypt password screen and one container file. Reads the container's
// password hint when made; checks a typed password by opening the container on a background
// thread while the calling (main) thread waits. A wrong password does not end that open: it is
// parked until the next check, which retries with the new password. After a right password it
// offers the container's preview, whether it holds an application and on which system it was
// made. Discarding the opener releases a parked open (its password request is cancelled).
class VLArchiveOpener final
{
public:
    // Null for an empty path.
    static std::unique_ptr<VLArchiveOpener> openerWithArchivePath(const QString &archivePath);
    explicit VLArchiveOpener(const QString &archivePath);
    ~VLArchiveOpener();
    Q_DISABLE_COPY_MOVE(VLArchiveOpener)

    // Blocks until the background open has decided; true when the container opened with it.
    // Other opening failures are shown as an alert naming the container (after this returns).
    [[nodiscard]] bool checkPassword(const QString &password);

    // The hint stored in the container, read at creation ("" when none can be read).
    QString hint() const { return m_hint; }

    // Known after a check that returned true: the stored preview, or a 128 x 128 type icon of
    // the single top-level item (a folder icon for several); null when the container is empty.
    QImage preview() const;
    bool containsApplication() const;
    // 1 when the container was made on Windows, 0 when on the Mac.
    qint64 creatorSystem() const;
    bool validationResult() const;

    // Where error alerts are shown; the main window when unset.
    QWidget *window() const { return m_window; }
    void setWindow(QWidget *window) { m_window = window; }

    QString archivePath() const { return m_archivePath; }

    // For tests: how many background opens were started, and whether one is parked now.
    int backgroundOpenCount() const;
    bool isOpenParked() const;
    // Background opens of every opener that have not yet ended.
    static int runningBackgroundOpens();

    struct Shared;

private:
    QString m_archivePath;
    QString m_hint;
    QPointer<QWidget> m_window;
    std::shared_ptr<Shared> m_shared;
};
