#include "ProgramTestSupport.h"
#include "ScreenTestSupport.h"
#include "tests/screens/FlowTestSupport.h"

#include "engine/jobs/VLDezerider.h"
#include "engine/jobs/VLVedidador.h"
#include "screens/VLDropViewController.h"
#include "screens/VLEncryptViewController.h"
#include "screens/VLEncryptedView.h"
#include "screens/VLEncryptedViewController.h"
#include "screens/VLEncryptingViewController.h"
#include "screens/decrypt/VLDecryptViewController.h"
#include "screens/decrypt/VLDecryptedViewController.h"
#include "screens/decrypt/VLDecryptingViewController.h"
#include "windowing/windows/VLSavePanel.h"
#include "windowing/windows/VLTerminatorProxy.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QRandomGenerator>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

// Quitting from each screen that guards it, as a user meets it: the program with its quit
// clean-up, Ctrl+Q in the main window, the real jobs on the real clock. A question the user
// cancels keeps what it guards, and so does the next quit, which asks again.
class TestQuitFlows : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QUrl m_smallContainer; // restores at once
    QUrl m_bulkContainer;  // restores for a while

    QString smallFolder() const { return m_dir.filePath(u"Small"_s); }
    QString bulkFolder() const { return m_dir.filePath(u"Bulk"_s); }

    static void pressQuit(Program &program)
    {
        QTest::keyClick(program.window->windowHandle(), Qt::Key_Q, Qt::ControlModifier);
    }

    static void typeEncryptPassword(Program &program)
    {
        VLEncryptViewController *password = nullptr;
        QTRY_VERIFY_WITH_TIMEOUT(
            (password = qobject_cast<VLEncryptViewController *>(program.navigation->topViewController().get())), 30000);
        QTRY_COMPARE_WITH_TIMEOUT(program.window->focusWidget(), password->passwordField(), 30000);
        QTest::keyClicks(program.window->focusWidget(), u"pw"_s);
        QTest::keyClick(program.window->focusWidget(), Qt::Key_Return);
    }

    static void typeDecryptPassword(Program &program)
    {
        VLDecryptViewController *password = nullptr;
        QTRY_VERIFY_WITH_TIMEOUT(
            (password = qobject_cast<VLDecryptViewController *>(program.navigation->topViewController().get())), 30000);
        QTRY_COMPARE_WITH_TIMEOUT(QApplication::focusWidget(), password->passwordTextField(), 30000);
        for (const QChar c : u"pw"_s)
            QTest::keyClick(program.window->windowHandle(), c.toLatin1());
        QTest::keyClick(program.window->windowHandle(), Qt::Key_Return);
    }

    template <class Screen>
    static Screen *waitForTop(Program &program, int timeoutMs = 30000)
    {
        Screen *screen = nullptr;
        const bool shown = QTest::qWaitFor(
            [&] {
                screen = qobject_cast<Screen *>(program.navigation->topViewController().get());
                return screen && program.navigation->canNavigate();
            },
            timeoutMs);
        return shown ? screen : nullptr;
    }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QApplication::setQuitOnLastWindowClosed(false);
        QVERIFY(m_dir.isValid());
        QVERIFY(writeFile(smallFolder() + u"/notes.txt"_s, "Day one: rain.\n"));
        QVERIFY(writeFile(smallFolder() + u"/photos/beach.raw"_s, QByteArray(3000, 'b')));
        QByteArray block(1 << 20, '\0');
        for (int i = 0; i < 64; ++i) {
            QRandomGenerator::global()->fillRange(reinterpret_cast<quint32 *>(block.data()), block.size() / 4);
            QVERIFY(writeFile(bulkFolder() + u"/part-%1.bin"_s.arg(i), block));
        }
        m_smallContainer = makeContainer({QUrl::fromLocalFile(smallFolder())}, m_dir.filePath(u"small.vault"_s),
                                         u"pw"_s);
        m_bulkContainer = makeContainer({QUrl::fromLocalFile(bulkFolder())}, m_dir.filePath(u"bulk.vault"_s), u"pw"_s);
        QVERIFY(m_smallContainer.isValid());
        QVERIFY(m_bulkContainer.isValid());
        VLContentWindowController::setRootViewControllerFactory(
            [] { return VLViewControllerPtr(VLViewController::create<VLDropViewController>()); });
    }

    void init()
    {
        VLTempCleaner::sharedInstance().sync_clean();
        VLAlertHandler::clearLastAlert();
        VLTerminatorProxy *proxy = VLTerminatorProxy::sharedInstance();
        proxy->setTerminator(nullptr);
        proxy->setState(VLTerminatorProxy::VLTerminationStateUndetermined);
    }

    void cleanup()
    {
        VLTerminatorProxy::sharedInstance()->setExitHandler([] { QCoreApplication::exit(0); });
        VLTempCleaner::sharedInstance().sync_clean();
    }

    void cleanupTestCase() { VLContentWindowController::setRootViewControllerFactory({}); }

    void aCancelledQuitKeepsTheWorkAndTheNextQuitAsksAgain_data()
    {
        QTest::addColumn<QString>("screen");
        QTest::addColumn<int>("keep");       // the answer that keeps the work
        QTest::addColumn<int>("quit");       // the answer that quits
        QTest::addColumn<bool>("saveFails"); // Save: the panel's place cannot take the item
        const int cancel = VLAlert::otherReturn;
        const int save = VLAlert::defaultReturn;
        const int dontSave = VLAlert::alternateReturn;
        const int quitAnyway = VLAlert::defaultReturn;
        const int keepRunning = VLAlert::alternateReturn;
        QTest::newRow("encrypt progress: Cancel") << u"encrypting"_s << keepRunning << quitAnyway << false;
        QTest::newRow("encrypted result: Cancel") << u"encrypted"_s << cancel << dontSave << false;
        QTest::newRow("encrypted result: Save, panel cancelled") << u"encrypted"_s << save << dontSave << false;
        QTest::newRow("encrypted result: Save, the move fails") << u"encrypted"_s << save << dontSave << true;
        QTest::newRow("decrypt progress: Cancel") << u"decrypting"_s << keepRunning << quitAnyway << false;
        QTest::newRow("decrypted result: Cancel") << u"decrypted"_s << cancel << dontSave << false;
        QTest::newRow("decrypted result: Save, panel cancelled") << u"decrypted"_s << save << dontSave << false;
        QTest::newRow("decrypted result: Save, the move fails") << u"decrypted"_s << save << dontSave << true;
    }

    void aCancelledQuitKeepsTheWorkAndTheNextQuitAsksAgain()
    {
        QFETCH(QString, screen);
        QFETCH(int, keep);
        QFETCH(int, quit);
        QFETCH(bool, saveFails);
        AnalyticsCollector analytics;
        Program program;
        QVERIFY(QTest::qWaitForWindowExposed(program.window));
        program.window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(program.window));

        // Brings the flow to the screen; `kept` tells whether what it guards is still there, and
        // `running` whether a job still works in the work folders.
        std::function<bool()> kept;
        std::function<bool()> running = [] { return false; };
        if (screen == u"encrypting") {
            program.delegate.applicationOpenFiles({bulkFolder()});
            typeEncryptPassword(program);
            auto *progress = waitForTop<VLEncryptingViewController>(program);
            QVERIFY(progress);
            VLVedidador *job = progress->vedidador();
            kept = [job] { return !job->isCancelled() && !workFolders().isEmpty(); };
            running = [job] { return job->isRunning(); };
        } else if (screen == u"encrypted") {
            program.delegate.applicationOpenFiles({smallFolder()});
            typeEncryptPassword(program);
            auto *result = waitForTop<VLEncryptedViewController>(program);
            QVERIFY(result);
            const QString container = result->encryptedFileURL().toLocalFile();
            kept = [container] { return QFileInfo::exists(container); };
        } else if (screen == u"decrypting") {
            program.delegate.applicationOpenFiles({m_bulkContainer.toLocalFile()});
            typeDecryptPassword(program);
            auto *progress = waitForTop<VLDecryptingViewController>(program);
            QVERIFY(progress);
            VLDezerider *job = progress->dezerider();
            kept = [job] { return !job->isCancelled() && !workFolders().isEmpty(); };
            running = [job] { return job->isRunning(); };
        } else {
            program.delegate.applicationOpenFiles({m_smallContainer.toLocalFile()});
            typeDecryptPassword(program);
            auto *result = waitForTop<VLDecryptedViewController>(program);
            QVERIFY(result);
            const QString item = result->decryptedItemURL().toLocalFile();
            kept = [item] { return QFileInfo::exists(item); };
        }
        QVERIFY(kept());

        VLTerminatorProxy *proxy = VLTerminatorProxy::sharedInstance();
        int exits = 0;
        bool ranAtExit = false;
        proxy->setExitHandler([&] {
            ++exits;
            ranAtExit = running();
        });

        // Twice: the question, kept; the same question again, kept again.
        QString question;
        for (int round = 0; round < 2; ++round) {
            VLAlertHandler::clearLastAlert();
            VLAlertHandler::setNextAnswer(keep);
            if (saveFails) {
                // Below a plain file: the move fails, and its alert is answered too.
                VLSavePanel::setNextFileName(m_dir.filePath(u"Small/notes.txt/kept"_s));
                VLAlertHandler::setNextAnswer(VLAlert::defaultReturn);
            } else if (keep == VLAlert::defaultReturn) {
                VLSavePanel::setNextFileName(QString());
            }
            VLSavePanel::clearLastProposedName();
            pressQuit(program);
            QTRY_VERIFY(VLAlertHandler::lastAlert());
            if (saveFails) {
                // Only the question's Save opens this panel; the failed move's alert came last.
                QTRY_VERIFY(VLSavePanel::lastProposedName());
                QTRY_VERIFY(!VLAlertHandler::lastAlert()->messageText().contains(u"before quitting"_s));
            } else {
                if (round == 0)
                    question = VLAlertHandler::lastAlert()->messageText();
                QCOMPARE(VLAlertHandler::lastAlert()->messageText(), question);
            }
            QTRY_COMPARE(proxy->state(), qint64(VLTerminatorProxy::VLTerminationStateUndetermined));
            QCoreApplication::processEvents();
            QCOMPARE(exits, 0);
            QVERIFY(kept());
        }

        // The answer that quits: the job stops before the work folders are emptied.
        VLAlertHandler::clearLastAlert();
        VLAlertHandler::setNextAnswer(quit);
        pressQuit(program);
        QTRY_COMPARE(exits, 1);
        if (!saveFails)
            QCOMPARE(VLAlertHandler::lastAlert()->messageText(), question);
        QVERIFY(!VLAlertHandler::isSheetOpen(program.window));
        QVERIFY(!ranAtExit);
        QVERIFY(workFolders().isEmpty());
    }

    // While the question is open, a further quit waits for its answer instead of passing it.
    void aQuitWhileTheQuestionIsOpenIsHeld()
    {
        AnalyticsCollector analytics;
        Program program;
        QVERIFY(QTest::qWaitForWindowExposed(program.window));
        program.window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(program.window));
        program.delegate.applicationOpenFiles({smallFolder()});
        typeEncryptPassword(program);
        auto *result = waitForTop<VLEncryptedViewController>(program);
        QVERIFY(result);
        const QString container = result->encryptedFileURL().toLocalFile();
        VLTerminatorProxy *proxy = VLTerminatorProxy::sharedInstance();
        int exits = 0;
        proxy->setExitHandler([&exits] { ++exits; });

        // The question shows as a sheet; the window's quit item is the one way left to ask again.
        auto *quitItem = program.window->findChild<QAction *>(u"quitAction"_s);
        QVERIFY(quitItem);
        pressQuit(program);
        QTRY_VERIFY(VLAlertHandler::isSheetOpen(program.window));
        quitItem->trigger();
        QCoreApplication::processEvents();
        QCOMPARE(exits, 0);
        QVERIFY(QFileInfo::exists(container));
        QMessageBox *question = VLAlertHandler::currentAlert(program.window);
        QVERIFY(question);
        QAbstractButton *cancel = nullptr;
        for (QAbstractButton *button : question->buttons())
            if (button->text() == u"Cancel")
                cancel = button;
        QVERIFY(cancel);
        QTest::mouseClick(cancel, Qt::LeftButton);
        QTRY_VERIFY(!VLAlertHandler::isSheetOpen(program.window));
        QCOMPARE(exits, 0);
        QVERIFY(QFileInfo::exists(container));
    }
};

QTEST_MAIN(TestQuitFlows)
#include "tst_quitflows.moc"
