#pragma once

#include "app/navigation/VLTitledViewController.h"
#include "app/shell/VLFilesDestination.h"

#include <QPointer>

class QLabel;

// The root screen of the main window until the drop screen takes its place: a title, a line
// that says what to do, and what it was last given.
class VLStartViewController final : public VLTitledViewController, public VLFilesDestination
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(VLStartViewController)

public:
    explicit VLStartViewController(QObject *parent = nullptr);
    ~VLStartViewController() override;

    QString nibName() const override { return {}; }

    void proceedWithFiles(const QList<QUrl> &urls) override;
    QList<QUrl> receivedFiles() const { return m_receivedFiles; }

signals:
    void filesReceived(const QList<QUrl> &urls);

protected:
    void loadView() override;

private:
    QPointer<QLabel> m_subtitleLabel;
    QList<QUrl> m_receivedFiles;
};
