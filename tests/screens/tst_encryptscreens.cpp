#include "ScreenTestSupport.h"

#include "controls/VLRevealButton.h"
#include "controls/VLRoundedButton.h"
#include "controls/VLTextField.h"
#include "engine/files/VLFileNamer.h"
#include "screens/VLAnimationProgressMonitor.h"
#include "screens/VLCryptingProcessAnimation.h"
#include "screens/VLDropViewController.h"
#include "screens/VLEncryptProgressImageView.h"
#include "screens/VLEncryptViewController.h"
#include "screens/VLEncryptedView.h"
#include "screens/VLEncryptedViewController.h"
#include "screens/VLEncryptingViewController.h"
#include "screens/VLPreviewWindow.h"
#include "windowing/navigation/VLNavigationController.h"
#include "windowing/navigation/VLViewHierarchy.h"
#include "windowing/windows/VLTerminatorProxy.h"
#include "windowing/windows/VLWindow.h"

#include "platform/animation/VLAnimationClock.h"
#include "platform/animation/VLAnimator.h"
#include "platform/view/ViewAlpha.h"

#include <QLabel>
#include <QRandomGenerator>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

namespace {

constexpr double kFrame = 1.0 / 60.0;

// The main window with the drop screen at its root, on the manual clock; the screens under test
// are pushed onto it as the flow does.
struct FlowStage
{
    VLManualClock clock;
    AnalyticsCollector analytics;
    VLContentWindowController controller;

    FlowStage()
    {
        controller.showWindow();
        settle();
    }

    VLNavigationController *navigation() const { return controller.navigationController(); }
    VLViewControllerPtr top() const { return navigation()->topViewController(); }
    QWidget *window() { return controller.window(); }
    QWidget *focus() { return controller.window()->focusWidget(); }
    void settle() { clock.advance(1.0, 60); }

    template <class Screen>
    Screen *push(QSharedPointer<Screen> screen)
    {
        navigation()->pushViewControllerAnimated(screen, true);
        settle();
        return screen.get();
    }

    // Frames until the screen on top changes (or the limit).
    bool runUntilTopIsNot(const VLViewController *screen, int limit = 3000)
    {
        for (int i = 0; i < limit && top().get() == screen; ++i) {
            clock.advance(kFrame);
            QCoreApplication::processEvents();
        }
        settle();
        return top().get() != screen;
    }
};

QList<SentHit> without(const QList<SentHit> &hits, const QString &action)
{
    QList<SentHit> kept;
    for (const SentHit &hit : hits) {
        if (hit.action != action)
            kept << hit;
    }
    return kept;
}

} // namespace

class TestEncryptScreens : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QList<QUrl> m_note;
    QList<QUrl> m_bulk;

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QVERIFY(m_dir.isValid());
        QVERIFY(writeFile(m_dir.filePath(u"Notes.txt"_s), "a short note"));
        m_note = {QUrl::fromLocalFile(m_dir.filePath(u"Notes.txt"_s))};
        // Enough to keep a job busy for a while after it started.
        QByteArray block(1 << 20, '\0');
        for (int i = 0; i < 48; ++i) {
            QRandomGenerator::global()->fillRange(reinterpret_cast<quint32 *>(block.data()), block.size() / 4);
            QVERIFY(writeFile(m_dir.filePath(u"Bulk/part-%1.bin"_s.arg(i)), block));
        }
        m_bulk = {QUrl::fromLocalFile(m_dir.filePath(u"Bulk"_s))};
        VLContentWindowController::setRootViewControllerFactory(
            [] { return VLViewControllerPtr(VLViewController::create<VLDropViewController>()); });
    }

    void cleanupTestCase() { VLContentWindowController::setRootViewControllerFactory({}); }

    void init()
    {
        VLAlertHandler::clearLastAlert();
        VLTerminatorProxy *proxy = VLTerminatorProxy::sharedInstance();
        proxy->setState(VLTerminatorProxy::VLTerminationStateUndetermined);
        proxy->setPreTerminationHook({});
    }

    void cleanup() { VLTempCleaner::sharedInstance().sync_clean(); }

    // The password screen

    void thePasswordScreenShowsTheSet()
    {
        FlowStage stage;
        auto *screen = stage.push(VLViewController::create<VLEncryptViewController>(m_bulk));
        QCOMPARE(screen->titleLabel()->text(), u"Bulk"_s);
        QCOMPARE(screen->sizeLabel()->text(), u"Calculating Size..."_s);
        QVERIFY(screen->spinner()->isVisible());
        QTRY_VERIFY(!screen->fileImageView()->topImage().isNull());
        QVERIFY(!screen->spinner()->isVisible());
        QTRY_VERIFY(screen->sizeLabel()->text() != u"Calculating Size..."_s);
        QVERIFY(screen->sizeLabel()->text().contains(u"MB"_s));
        // The focus waits in the password field, hidden as typed.
        QCOMPARE(stage.focus(), screen->passwordField());
        QVERIFY(screen->passwordField()->isSecure());
        QVERIFY(!screen->encryptButton()->isEnabled());
        QVERIFY(screen->revealButton()->isHidden());
        QCOMPARE(screen->nonanimatableViews(),
                 (QList<QWidget *>{screen->fileImageView(), screen->titleLabel(), screen->titleView()}));
        QTRY_VERIFY(stage.analytics.views().contains(u"Encryption Password Entry"_s));
    }

    void theEncryptButtonFollowsThePassword()
    {
        FlowStage stage;
        auto *screen = stage.push(VLViewController::create<VLEncryptViewController>(m_note));
        QTest::keyClicks(stage.focus(), u"ab"_s);
        QCOMPARE(screen->passwordField()->text(), u"ab"_s);
        QVERIFY(screen->encryptButton()->isEnabled());
        QVERIFY(!screen->revealButton()->isHidden());
        stage.settle();
        QCOMPARE(vlAlphaValue(screen->encryptButton()), 1.0);

        QTest::keyClick(stage.focus(), Qt::Key_Backspace);
        QTest::keyClick(stage.focus(), Qt::Key_Backspace);
        QVERIFY(!screen->encryptButton()->isEnabled());
        QVERIFY(screen->revealButton()->isHidden());
        // The button fades rather than snapping.
        QVERIFY(VLAnimator::animationForKey(screen->encryptButton(), VLRoundedButton::enabledAnimationKey));
        stage.settle();
        QCOMPARE(vlAlphaValue(screen->encryptButton()), 0.5);

        // The hint does not enable it on its own.
        QTest::keyClick(stage.focus(), Qt::Key_Tab);
        QCOMPARE(stage.focus(), screen->passwordHintField());
        QTest::keyClicks(stage.focus(), u"hint"_s);
        QVERIFY(!screen->encryptButton()->isEnabled());
    }

    void returnWithoutAPasswordGoesToThePassword()
    {
        FlowStage stage;
        auto *screen = stage.push(VLViewController::create<VLEncryptViewController>(m_note));
        QTest::keyClick(stage.focus(), Qt::Key_Tab);
        QCOMPARE(stage.focus(), screen->passwordHintField());
        QTest::keyClicks(stage.focus(), u"my cat"_s);
        QTest::keyClick(stage.focus(), Qt::Key_Return);
        stage.settle();
        QCOMPARE(stage.top().get(), screen);
        QCOMPARE(stage.focus(), screen->passwordField());
    }

    void typingOutsideTheFieldsStartsThePassword()
    {
        FlowStage stage;
        auto *screen = stage.push(VLViewController::create<VLEncryptViewController>(m_note));
        screen->view()->setFocus();
        QCOMPARE(stage.focus(), screen->view());
        QTest::keyClicks(screen->view(), u"x"_s);
        QCOMPARE(stage.focus(), screen->passwordField());
        QVERIFY(screen->passwordField()->text().isEmpty());
    }

    void theToggleRevealsThePassword()
    {
        FlowStage stage;
        auto *screen = stage.push(VLViewController::create<VLEncryptViewController>(m_note));
        QTest::keyClicks(stage.focus(), u"secret"_s);
        VLRevealButton *reveal = screen->revealButton();
        QTest::mouseClick(reveal, Qt::LeftButton, {}, reveal->rect().center());
        QVERIFY(!screen->passwordField()->isSecure());
        QVERIFY(reveal->isOn());
        QTest::mouseClick(reveal, Qt::LeftButton, {}, reveal->rect().center());
        QVERIFY(screen->passwordField()->isSecure());
    }

    void aClickOnTheIconPreviewsTheItem()
    {
        FlowStage stage;
        auto *screen = stage.push(VLViewController::create<VLEncryptViewController>(m_note));
        QWidget *icon = screen->fileImageView();
        QTest::mouseClick(icon, Qt::LeftButton, {}, icon->rect().center());
        QVERIFY(VLPreviewWindow::sharedPreviewWindowExists());
        VLPreviewWindow *preview = VLPreviewWindow::sharedPreviewWindow();
        QVERIFY(preview->isVisible());
        QCOMPARE(preview->previewItemURL(), m_note.first());
        QTest::mouseClick(icon, Qt::LeftButton, {}, icon->rect().center());
        QVERIFY(!preview->isVisible());
        QTest::mouseClick(icon, Qt::LeftButton, {}, icon->rect().center());
        QVERIFY(preview->isVisible());
        // Leaving the screen closes it.
        screen->cancelOperation();
        stage.settle();
        QVERIFY(!preview->isVisible());
        QTRY_VERIFY(stage.analytics.events().count(eventHit(u"Workflow"_s, u"QuickLook Preview"_s, u"Encryption"_s))
                    == 3);
    }

    void thePreviewOffersEveryDroppedItem()
    {
        FlowStage stage;
        const QList<QUrl> dropped = m_note + m_bulk;
        auto *screen = stage.push(VLViewController::create<VLEncryptViewController>(dropped));
        QWidget *icon = screen->fileImageView();
        QTest::mouseClick(icon, Qt::LeftButton, {}, icon->rect().center());
        VLPreviewWindow *preview = VLPreviewWindow::sharedPreviewWindow();
        QVERIFY(preview->isVisible());
        QCOMPARE(preview->previewItemURLs(), dropped);
        QTest::keyClick(preview, Qt::Key_Right);
        QCOMPARE(preview->nameText(), u"Bulk"_s);
        QTRY_COMPARE(preview->sizeText(), VLFileNamer::sizeForURLs(m_bulk));
        screen->cancelOperation();
        stage.settle();
        QVERIFY(!preview->isVisible());
    }

    void encryptHandsEverythingOn()
    {
        FlowStage stage;
        auto screen = VLViewController::create<VLEncryptViewController>(m_bulk);
        // Pushed without waiting for the size: the progress screen gets the text as it stands.
        stage.navigation()->pushViewControllerAnimated(screen, false);
        QTest::keyClicks(stage.focus(), u"pass word"_s);
        QTest::keyClick(stage.focus(), Qt::Key_Tab);
        QTest::keyClicks(stage.focus(), u"the usual"_s);
        QTest::keyClick(stage.focus(), Qt::Key_Return);
        auto *progress = qobject_cast<VLEncryptingViewController *>(stage.top().get());
        QVERIFY(progress);
        QCOMPARE(progress->files(), m_bulk);
        QCOMPARE(progress->size(), u"Calculating Size..."_s);
        QCOMPARE(progress->password(), u"pass word"_s);
        QCOMPARE(progress->hint(), u"the usual"_s);
        progress->cancelOperation();
        stage.settle();
    }

    void escapeGoesBackToTheDropScreen()
    {
        FlowStage stage;
        auto *screen = stage.push(VLViewController::create<VLEncryptViewController>(m_note));
        QTest::keyClick(stage.focus(), Qt::Key_Escape);
        stage.settle();
        QVERIFY(qobject_cast<VLDropViewController *>(stage.top().get()));
        Q_UNUSED(screen);
        QTRY_COMPARE(stage.analytics.events(),
                     (QList<SentHit>{eventHit(u"Workflow"_s, u"Start Over"_s, u"Before Encryption"_s)}));
    }

    // The progress screen

    void aQuickJobWaitsForTheAnimation_data()
    {
        QTest::addColumn<QString>("hint");
        QTest::addColumn<QString>("label");
        QTest::newRow("with a hint") << u"blue"_s << u"Hint Included"_s;
        QTest::newRow("without") << QString() << u"Hint Not Included"_s;
    }

    void aQuickJobWaitsForTheAnimation()
    {
        QFETCH(QString, hint);
        QFETCH(QString, label);
        FlowStage stage;
        auto *screen = stage.push(
            VLViewController::create<VLEncryptingViewController>(m_note, QImage(), u"12 bytes"_s, u"pw"_s, hint));
        QVERIFY(screen->password().isEmpty()); // forgotten once the job has it
        QVERIFY(screen->sizeLabel()->isHidden());
        QTRY_VERIFY(screen->progressMonitor()->procFinished());
        QCOMPARE(stage.top().get(), screen); // the bar still has the icon to cross
        QVERIFY(!screen->progressMonitor()->animFinished());
        QVERIFY(stage.runUntilTopIsNot(screen));

        auto *result = qobject_cast<VLEncryptedViewController *>(stage.top().get());
        QVERIFY(result);
        QVERIFY(result->encryptedFileURL().toLocalFile().endsWith(u"/Notes.vault"_s));
        QVERIFY(QFileInfo::exists(result->encryptedFileURL().toLocalFile()));
        QCOMPARE(result->originalFiles(), m_note);
        QVERIFY(!screen->stopButton()->isEnabled());
        QTRY_COMPARE(without(stage.analytics.events(), u"Add Items"_s),
                     (QList<SentHit>{eventHit(u"Workflow"_s, u"Encryption Started"_s, label),
                                     eventHit(u"Workflow"_s, u"Encryption Successful"_s, label)}));
        QVERIFY(stage.analytics.views().contains(u"Encryption Progress"_s));
    }

    void theRemainingTimeShowsAfterThreeSeconds()
    {
        FlowStage stage;
        auto *screen = stage.push(
            VLViewController::create<VLEncryptingViewController>(m_note, QImage(), QString(), u"pw"_s, QString()));
        QTRY_VERIFY(screen->progressMonitor()->procFinished());
        QLabel *status = screen->statusTextField();
        // The job's own reports, as its timer sends them, at chosen instants since its start.
        screen->vedidadorDidUpdateEstimationTime(screen->vedidador(), u"About 9 seconds"_s);
        QCoreApplication::processEvents();
        QVERIFY(status->isHidden());
        QCOMPARE(status->text(), u"About 9 seconds"_s);
        stage.clock.advance(2.5);
        screen->vedidadorDidUpdateEstimationTime(screen->vedidador(), u"About 7 seconds"_s);
        QCoreApplication::processEvents();
        QVERIFY(status->isHidden());
        stage.clock.advance(1.0);
        screen->vedidadorDidUpdateEstimationTime(screen->vedidador(), u"About 5 seconds"_s);
        QCoreApplication::processEvents();
        QVERIFY(!status->isHidden());
        QCOMPARE(status->text(), u"About 5 seconds"_s);
    }

    void stopEndsTheJobAndLeavesNoWorkFolder_data()
    {
        QTest::addColumn<bool>("byKey");
        QTest::newRow("Stop button") << false;
        QTest::newRow("Escape") << true;
    }

    void stopEndsTheJobAndLeavesNoWorkFolder()
    {
        QFETCH(bool, byKey);
        FlowStage stage;
        auto password = VLViewController::create<VLEncryptViewController>(m_bulk);
        stage.push(password);
        auto progress = VLViewController::create<VLEncryptingViewController>(m_bulk, QImage(), QString(), u"pw"_s,
                                                                             QString());
        stage.navigation()->pushViewControllerAnimated(progress, false);
        VLVedidador *job = progress->vedidador();
        QVERIFY(job->isRunning());
        QCOMPARE(workFolders().size(), 1);
        if (byKey) {
            QTest::keyClick(stage.focus(), Qt::Key_Escape);
        } else {
            VLRoundedButton *stop = progress->stopButton();
            QTest::mouseClick(stop, Qt::LeftButton, {}, stop->rect().center());
        }
        // Stopped and done with its work folder before the screen went back.
        QVERIFY(!job->isRunning());
        QVERIFY(job->isCancelled());
        QVERIFY(!job->delegate());
        stage.settle();
        QCOMPARE(stage.top(), VLViewControllerPtr(password));
        QTRY_VERIFY(workFolders().isEmpty());
        // Reports that were on their way change nothing any more.
        progress->vedidadorDidFinishedWithResultURL(job, QUrl::fromLocalFile(u"/tmp/none.vault"_s));
        QCoreApplication::processEvents();
        stage.settle();
        QCOMPARE(stage.top(), VLViewControllerPtr(password));
        QTRY_VERIFY(without(stage.analytics.events(), u"Start Over"_s)
                        .contains(eventHit(u"Workflow"_s, u"Encryption Stopped"_s)));
        QVERIFY(!stage.analytics.events().contains(
            eventHit(u"Workflow"_s, u"Encryption Successful"_s, u"Hint Not Included"_s)));
    }

    void quittingDuringTheJobAsksFirst()
    {
        FlowStage stage;
        auto progress = VLViewController::create<VLEncryptingViewController>(m_bulk, QImage(), QString(), u"pw"_s,
                                                                             QString());
        stage.push(progress);
        VLTerminatorProxy *proxy = VLTerminatorProxy::sharedInstance();
        QCOMPARE(proxy->terminator(), progress.get());
        int exits = 0;
        bool jobRanDuringCleanUp = true;
        proxy->setExitHandler([&exits] { ++exits; });
        proxy->setPreTerminationHook([&] {
            jobRanDuringCleanUp = progress->vedidador()->isRunning();
            return true;
        });

        // Cancel keeps the job going, and a later quit asks again.
        VLAlertHandler::setNextAnswer(VLAlert::alternateReturn);
        proxy->terminate();
        QTRY_VERIFY(VLAlertHandler::lastAlert());
        QCOMPARE(VLAlertHandler::lastAlert()->messageText(), u"Are you sure you want to quit?"_s);
        QCoreApplication::processEvents();
        QCOMPARE(exits, 0);
        QVERIFY(!progress->vedidador()->isCancelled());

        // Quit Anyway stops the job, and waits for it, before the work folders are emptied.
        VLAlertHandler::clearLastAlert();
        VLAlertHandler::setNextAnswer(VLAlert::defaultReturn);
        proxy->terminate();
        QTRY_COMPARE(exits, 1);
        QVERIFY(!jobRanDuringCleanUp);
        QVERIFY(progress->vedidador()->isCancelled());
        proxy->setExitHandler({});
    }

    void aFailedJobShowsWhyAndGoesBack()
    {
        FlowStage stage;
        auto password = VLViewController::create<VLEncryptViewController>(m_note);
        stage.push(password);
        // A source that has gone since it was dropped.
        const QList<QUrl> gone{QUrl::fromLocalFile(m_dir.filePath(u"Gone.txt"_s))};
        VLAlertHandler::setNextAnswer(VLAlert::firstButtonReturn);
        auto *progress = stage.push(
            VLViewController::create<VLEncryptingViewController>(gone, QImage(), QString(), u"pw"_s, QString()));
        Q_UNUSED(progress);
        QTRY_VERIFY(VLAlertHandler::lastAlert());
        QCOMPARE(VLAlertHandler::lastAlert()->informativeText().contains(u"Gone"_s), true);
        // Back to the password screen once the alert has been answered.
        QTRY_VERIFY((stage.settle(), stage.top() == VLViewControllerPtr(password)));
    }
};

QTEST_MAIN(TestEncryptScreens)
#include "tst_encryptscreens.moc"
