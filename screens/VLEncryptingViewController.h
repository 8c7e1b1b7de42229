#pragma once

#include "controls/VLRoundedButton.h"
#include "engine/jobs/VLVedidador.h"
#include "platform/view/VLKeyBindings.h"
#include "screens/VLEncryptProgressAnimationView.h"
#include "screens/VLEncryptProgressImageView.h"
#include "screens/VLParticleView.h"
#include "windowing/navigation/VLTitledViewController.h"
#include "windowing/windows/VLTerminator.h"

#include <QImage>
#include <QLabel>
#include <QPointer>

#include <chrono>
#include <memory>

class VLAnimationProgressMonitor;

// The third screen of the encrypt flow. It owns the encryption job, starts it once the screen
// shows, forgets the password as soon as the job has it, drives the progress animation with the
// job's real progress, shows the remaining time after the first three seconds, and pushes the
// result screen once both the job and the animation have ended. Stop ends the job; quitting
// while it runs asks first.
class VLEncryptingViewController final : public VLTitledViewController,
                                         public VLVedidadorDelegate,
                                         public VLTerminator,
                                         public platform::VLKeyBindingClient
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(VLEncryptingViewController)

public:
    VLEncryptingViewController(const QList<QUrl> &files, const QImage &preview, const QString &size,
                               const QString &password, const QString &hint, QObject *parent = nullptr);
    ~VLEncryptingViewController() override;

    QString nibName() const override { return {}; }

    QList<QWidget *> nonanimatableViews() const override;

    const QList<QUrl> &files() const { return m_files; }
    QString hint() const { return m_hint; }
    QImage preview() const { return m_preview; }
    QString size() const { return m_size; }
    // Empty once the job has been started with it.
    QString password() const { return m_password; }
    VLVedidador *vedidador() const { return m_vedidador.get(); }
    VLAnimationProgressMonitor *progressMonitor() const { return m_progressMonitor.get(); }

    VLEncryptProgressImageView *fileImageView() const { return m_fileImageView; }
    VLEncryptProgressAnimationView *animationView() const { return m_animationView; }
    VLParticleView *particleView() const { return m_particleView; }
    VLRoundedButton *stopButton() const { return m_stopButton; }
    QLabel *statusTextField() const { return m_statusTextField; }
    QLabel *titleLabel() const { return m_titleLabel; }
    QLabel *sizeLabel() const { return m_sizeLabel; }

    // How long Stop and Quit wait for the job to let go of its work folder.
    static constexpr std::chrono::milliseconds stopWaitBound{5000};

    // Stop (and Escape): ends the job, empties the work folders, goes back.
    Q_INVOKABLE void cancelOperation();

    // VLTerminator: always asks while this screen is on top.
    bool shouldDelayTerminationForTerminator(VLTerminatorProxy *proxy) override;

    // VLVedidadorDelegate: called on the job's thread; the work moves to the interface thread.
    void vedidadorDidStartedWithURLs(VLVedidador *vedidador, const QList<QUrl> &urls) override;
    void vedidadorDidUpdateProgress(VLVedidador *vedidador, float progress) override;
    void vedidadorDidUpdateEstimationTime(VLVedidador *vedidador, const QString &estimation) override;
    void vedidadorDidFinishedWithResultURL(VLVedidador *vedidador, const QUrl &url) override;
    void vedidadorDidFailedWithError(VLVedidador *vedidador, const VLError &error) override;

    // platform::VLKeyBindingClient: Escape stops.
    void insertText(const QString &text) override;
    void doCommandBySelector(platform::Command command) override;

protected:
    void loadView() override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;
    void viewDidDisappear(bool animated) override;

private:
    // Cancels a running job and waits (bounded) until it has let go of its work folder; no
    // callback of it arrives afterwards.
    void stopJob();
    void updateProgress(float progress);
    void updateEstimation(const QString &estimation);
    void finished(const QUrl &url);
    void failed(const VLError &error);

    const QList<QUrl> m_files;
    const QString m_title;
    QImage m_preview;
    QString m_size;
    QString m_password;
    QString m_hint;
    std::shared_ptr<VLVedidador> m_vedidador;
    std::shared_ptr<VLAnimationProgressMonitor> m_progressMonitor;
    // Media time of the job's start; negative until it has started.
    double m_startingTime = -1.0;
    // Set once the job has been stopped or has failed: reports still on their way to the
    // interface thread are dropped.
    bool m_stopped = false;

    QPointer<VLEncryptProgressImageView> m_fileImageView;
    QPointer<VLEncryptProgressAnimationView> m_animationView;
    QPointer<VLParticleView> m_particleView;
    QPointer<VLRoundedButton> m_stopButton;
    QPointer<QLabel> m_statusTextField;
    QPointer<QLabel> m_titleLabel;
    QPointer<QLabel> m_sizeLabel;
};
