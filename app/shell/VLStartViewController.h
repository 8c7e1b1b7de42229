#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QUrl>

class QLabel;
class QWidget;

// The root screen of the main window until the drop screen takes its place: a title, a line
// that says what to do, and the files it was last given.
class VLStartViewController final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(VLStartViewController)

public:
    explicit VLStartViewController(QObject *parent = nullptr);
    ~VLStartViewController() override;

    QWidget *view();

    // The root screen's entry for files from every source.
    void proceedWithFiles(const QList<QUrl> &urls);
    QList<QUrl> receivedFiles() const { return m_receivedFiles; }

signals:
    void filesReceived(const QList<QUrl> &urls);

private:
    QPointer<QWidget> m_view;
    QPointer<QLabel> m_titleLabel;
    QPointer<QLabel> m_subtitleLabel;
    QList<QUrl> m_receivedFiles;
};
