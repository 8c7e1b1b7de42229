#pragma once

#include "controls/VLRoundedButton.h"
#include "engine/jobs/VLDezerider.h"
#include "platform/view/VLKeyBindings.h"
#include "screens/VLCryptingProcessAnimation.h"
#include "screens/VLCryptingProgress.h"
#include "screens/VLEncryptProgressAnimationView.h"
#include "screens/VLEncryptProgressImageView.h"
#include "screens/VLParticleView.h"
#include "windowing/navigation/VLTitledViewController.h"
#include "windowing/windows/VLTerminator.h"

#include <QImage>
#include <QLabel>
#include <QList>
#include <QPointer>
#include <QUrl>

#include <atomic>
#include <chrono>
#include <memory>

// The decryption on screen: the job restores the container into a work folder while the bar
// runs down over the container icon, turning it into the content's preview. Once both have
// finished, the result screen follows (the special-case screen for the give-away container).
// Stop, a failure and quitting cancel the job and wait for it before the work folders are
// emptied; a stopped flow never hands over to a result screen.
class VLDecryptingViewController final : public VLTitledViewController,
                                         public VLDezeriderDelegate,
                                         public VLCryptingProcessAnimationDelegate,
                                         public VLTerminator,
                                         public platform::VLKeyBindingClient
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(VLDecryptingViewController)

public:
    // How long Stop and quitting wait for the job to let go of its work folder.
    static constexpr std::chrono::milliseconds stopBound{10000};

    VLDecryptingViewController(const QList<QUrl> &files, const QImage &icon, const QImage &preview,
                               const QString &password, QObject *parent = nullptr);
    ~VLDecryptingViewController() override;

    QString nibName() const override { return {}; }

    VLDezerider *dezerider() const { return m_dezerider.get(); }
    VLCryptingProgress &progress() { return m_progress; }
    QList<QUrl> files() const { return m_files; }

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;
    void viewDidDisappear(bool animated) override;
    QList<QWidget *> nonanimatableViews() const override;

    // Stop and Escape.
    void cancelOperation();

    void dezeriderDidStartedWithArchiveURL(VLDezerider *dezerider, const QUrl &archiveURL) override;
    void dezeriderDidFailedWithError(VLDezerider *dezerider, const VLError &error) override;
    void dezeriderDidFinishedWithResultURL(VLDezerider *dezerider, const QUrl &url) override;
    void dezeriderDidUpdateProgress(VLDezerider *dezerider, float progress) override;
    void dezeriderDidUpdateEstimationTime(VLDezerider *dezerider, const QString &estimation) override;

    void popAnimationDidIntersectSignalRect(VLCryptingProcessAnimation *animation) override;
    bool shouldDelayTerminationForTerminator(VLTerminatorProxy *proxy) override;

    QLabel *titleLabel() const { return m_titleLabel; }
    QLabel *statusTextField() const { return m_statusTextField; }
    VLRoundedButton *stopButton() const { return m_stopButton; }
    VLEncryptProgressImageView *fileImageView() const { return m_fileImageView; }

    void insertText(const QString &text) override;
    void doCommandBySelector(platform::Command command) override;

protected:
    void loadView() override;

private:
    // Names the title after the restored item once the job knows it, when the bar has passed it.
    void showRootNameIfDue();
    // Ends the job for good: no report follows, and its work thread has let go of the work
    // folder (or the bound has passed) when this returns.
    void stopJob();
    // Stop and failure: the flow ends, the job stops and the work folders are emptied.
    void endFlow();
    void finished(const QUrl &url, bool specialScenario);
    QString rootItemName() const;

    QList<QUrl> m_files;
    QImage m_icon;
    QImage m_preview;
    QString m_password;
    std::shared_ptr<VLDezerider> m_dezerider;
    VLCryptingProgress m_progress;
    // The job reports a damaged item twice; the user hears of the first failure only.
    std::atomic<bool> m_failureReported{false};
    // The job and the animation have finished and the result screen is on its way.
    bool m_handingOver = false;
    QPointer<VLParticleView> m_particleView;
    QPointer<VLEncryptProgressImageView> m_fileImageView;
    QPointer<VLEncryptProgressAnimationView> m_animationView;
    QPointer<QLabel> m_titleLabel;
    // The bar passed the title before the job knew the restored item's name: it is shown as
    // soon as the job knows it.
    bool m_titleDue = false;
    QPointer<QLabel> m_sizeLabel;
    QPointer<QLabel> m_statusTextField;
    QPointer<VLRoundedButton> m_stopButton;
};
