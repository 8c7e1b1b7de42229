#include "companion/SWAnalyticsTracker.h"
#include "companion/VLABTester.h"
#include "controls/VLDragSourceView.h"
#include "controls/VLRenamingTextField.h"
#include "controls/VLRoundedButton.h"
#include "controls/VLStartOverButton.h"
#include "controls/VLTextField.h"
#include "engine/files/KXAdditions.h"
#include "engine/files/VLFileNamer.h"
#include "platform/animation/VLAnimationClock.h"
#include "platform/core/AppKitVersion.h"
#include "platform/desktop/Sound.h"
#include "platform/dispatch/Dispatch.h"
#include "platform/settings/Defaults.h"
#include "platform/view/ViewFrame.h"
#include "screens/KXSharingServicePickerMenu.h"
#include "screens/VLEncryptProgressImageView.h"
#include "screens/VLEncryptedView.h"
#include "screens/VLEncryptedViewController.h"
#include "screens/VLLayoutConstraint.h"
#include "screens/VLPreviewWindow.h"
#include "screens/VLSaveToFileSharingService.h"
#include "screens/VLShareButton.h"
#include "tests/companion/LocalHttpServer.h"
#include "tests/companion/TestEnvironment.h"
#include "tests/controls/ControlTestSupport.h"
#include "windowing/navigation/VLNavigationController.h"
#include "windowing/windows/VLAlertHandler.h"
#include "windowing/windows/VLContentWindowController.h"
#include "windowing/windows/VLSavePanel.h"
#include "windowing/windows/VLTerminatorProxy.h"
#include "windowing/windows/VLWindow.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>
#include <QUrlQuery>

#include <thread>

using namespace std::chrono_literals;
using namespace Qt::StringLiterals;

namespace {

bool backgroundQueueIdle()
{
    return platform::globalQueue(platform::QueuePriority::Background).activeThreadCount() == 0;
}

} // namespace

class TestEncryptedScreen : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_work;
    QString m_elsewhere;
    QUrl m_container;
    QList<QUrl> m_sources;
    std::unique_ptr<VLManualClock> m_clock;
    std::unique_ptr<VLContentWindowController> m_windowController;
    QSharedPointer<VLEncryptedViewController> m_screen;
    std::unique_ptr<platform::Defaults> m_defaults;
    std::unique_ptr<VLABTester> m_tester;
    std::unique_ptr<LocalHttpServer> m_server;
    std::unique_ptr<SWAnalyticsTracker> m_tracker;
    QList<QPair<QString, double>> m_sounds;

    VLNavigationController *navigation() const { return m_windowController->navigationController(); }

    void advance(double seconds) { m_clock->advance(seconds, int(seconds * 60) + 1); }

    void writeFile(const QString &path, const QByteArray &content)
    {
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(content), qint64(content.size()));
    }

    // The event hits the server received, as "action/label".
    QStringList events() const
    {
        QStringList seen;
        for (const LocalHttpServer::Request &request : m_server->requests()) {
            const QUrlQuery query(QString::fromLatin1(request.query));
            if (query.queryItemValue(QStringLiteral("t")) == u"event")
                seen << query.queryItemValue(QStringLiteral("ea"), QUrl::FullyDecoded) + u'/'
                            + query.queryItemValue(QStringLiteral("el"), QUrl::FullyDecoded);
        }
        return seen;
    }
    QStringList views() const
    {
        QStringList seen;
        for (const LocalHttpServer::Request &request : m_server->requests()) {
            const QUrlQuery query(QString::fromLatin1(request.query));
            if (query.queryItemValue(QStringLiteral("t")) == u"appview")
                seen << query.queryItemValue(QStringLiteral("cd"), QUrl::FullyDecoded);
        }
        return seen;
    }

    void press(QWidget *control) { QTest::mouseClick(control, Qt::LeftButton, {}, control->rect().center()); }

    void escape() { QTest::keyClick(m_screen->encryptedView(), Qt::Key_Escape); }

    bool isOnTop() const { return navigation()->topViewController() == m_screen; }

    // A stand-in xdg-email first on PATH that records its arguments; answers the record's path.
    QString installEmailStandIn()
    {
        const QString bin = m_dir.filePath(QStringLiteral("bin"));
        QDir().mkpath(bin);
        const QString record = m_dir.filePath(QStringLiteral("xdg-email-%1.args").arg(++m_emailRuns));
        QFile script(bin + QStringLiteral("/xdg-email"));
        if (!script.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return {};
        script.write("#!/bin/sh\nprintf '%s\\0' \"$@\" > \"" + QFile::encodeName(record) + ".part\"\nmv \""
                     + QFile::encodeName(record) + ".part\" \"" + QFile::encodeName(record) + "\"\n");
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("PATH", QFile::encodeName(bin) + ':' + qgetenv("PATH"));
        return record;
    }
    int m_emailRuns = 0;

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QApplication::setQuitOnLastWindowClosed(false);
        QVERIFY(m_dir.isValid());
    }

    void init()
    {
        static int run = 0;
        ++run;
        m_work = m_dir.filePath(QStringLiteral("work%1").arg(run));
        m_elsewhere = m_dir.filePath(QStringLiteral("elsewhere%1").arg(run));
        QDir().mkpath(m_elsewhere);
        writeFile(m_work + QStringLiteral("/Report.vault"), QByteArray(5000, 'c'));
        m_container = QUrl::fromLocalFile(m_work + QStringLiteral("/Report.vault"));
        m_sources = {QUrl::fromLocalFile(m_dir.filePath(QStringLiteral("Tax return.pdf")))};
        writeFile(m_sources.first().toLocalFile(), "pdf");

        m_sounds.clear();
        platform::setSoundHandler([this](const QString &name, double volume) { m_sounds << qMakePair(name, volume); });
        m_defaults = std::make_unique<platform::Defaults>(m_dir.filePath(QStringLiteral("defaults-%1.ini").arg(run)));
        m_tester = std::make_unique<VLABTester>(*m_defaults);
        m_server = std::make_unique<LocalHttpServer>();
        SWAnalyticsTracker::Configuration configuration;
        configuration.collectEndpoint = m_server->url(QStringLiteral("/collect"));
        configuration.defaults = m_defaults.get();
        configuration.abTester = m_tester.get();
        configuration.environment = testEnvironment();
        m_tracker = std::make_unique<SWAnalyticsTracker>(configuration);
        m_tracker->setEnabled(true);

        VLTerminatorProxy *proxy = VLTerminatorProxy::sharedInstance();
        proxy->setState(VLTerminatorProxy::VLTerminationStateUndetermined);
        proxy->setPreTerminationHook({});

        m_clock = std::make_unique<VLManualClock>(1000.0);
        m_windowController = std::make_unique<VLContentWindowController>();
        m_windowController->showWindow();
        QVERIFY(QTest::qWaitForWindowExposed(m_windowController->window()));
        VLAlertHandler::setMainWindow(m_windowController->window());
        VLAlertHandler::clearLastAlert();
        VLSavePanel::clearLastProposedName();

        m_screen = VLViewController::create<VLEncryptedViewController>(m_container, m_sources);
        m_screen->setAnalyticsTracker(m_tracker.get());
        navigation()->pushViewControllerAnimated(m_screen, true);
        // The transition is over; the icon has slid into place, the first wiggle is still ahead.
        advance(1.0);
        QVERIFY(isOnTop());
        m_windowController->window()->activateWindow();
        m_screen->encryptedView()->setFocus();
    }

    void cleanup()
    {
        VLPreviewWindow::closeSharedPreviewWindow();
        m_screen.reset();
        m_windowController.reset();
        QTRY_VERIFY(backgroundQueueIdle());
        QCoreApplication::processEvents();
        VLTerminatorProxy::sharedInstance()->setTerminator(nullptr);
        m_tracker.reset();
        m_server.reset();
        m_tester.reset();
        m_defaults.reset();
        m_clock.reset();
        platform::setSoundHandler({});
        KXAdditions::setCopyChunkHook({});
    }

    void showsTheContainerAndArrives()
    {
        QCOMPARE(m_screen->fileNameField()->stringValue(), QStringLiteral("Report"));
        QCOMPARE(m_screen->sizeField()->text(), VLFileNamer::sizeForURLs({m_container}));
        QCOMPARE(m_screen->dragSourceView()->draggingURL(), m_container);
        QCOMPARE(m_screen->dragSourceView()->dragOperation(), VLDragOperationCopy);
        QCOMPARE(m_screen->nonanimatableViews(),
                 (QList<QWidget *>{m_screen->iconView(), m_screen->fileNameField(), m_screen->titleView()}));
        QCOMPARE(m_screen->overlayFrame(), QRectF(0, 450, -1, 26));
        QCOMPARE(m_sounds, (QList<QPair<QString, double>>{{QStringLiteral("FinalSound"), 0.6}}));
        // The icon has slid into its resting place.
        QCOMPARE(m_screen->topSpaceConstraint()->constant(), VLEncryptedView::restingIconTop);
        QCOMPARE(vlFrame(m_screen->iconView()).top(), VLEncryptedView::restingIconTop - 60.0);
        QTRY_COMPARE(views(), QStringList{QStringLiteral("Encryption Complete")});
    }

    // The wiggle's turns really turn the icon as drawn.
    void wiggleTurnsTheIcon()
    {
        VLEncryptProgressImageView *icon = m_screen->iconView();
        const QRectF resting = vlFrame(icon);
        const QImage still = icon->grab().toImage();
        // The first wiggle begins 1 s after the slide (0.3 s + 0.25 s after arrival); the push
        // above took 1 s of it. The second of its five 0.14 s steps turns by 10 degrees.
        advance(0.3 + 0.25 + 1.0 - 1.0 + 0.14 + 0.07);
        QVERIFY2(icon->frameCenterRotation() > 3.0, qPrintable(QString::number(icon->frameCenterRotation())));
        const QImage grown = icon->grab().toImage();
        QVERIFY(vlFrame(icon).width() > resting.width());
        QImage turned = grown.scaled(still.size());
        QVERIFY(turned != still);
        // After the wiggle the icon stands straight in its place again.
        advance(1.0);
        QCOMPARE(icon->frameCenterRotation(), 0.0);
        QCOMPARE(vlFrame(icon), resting);
        QCOMPARE(icon->grab().toImage(), still);
    }

    void rename_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("moves");
        QTest::addColumn<bool>("alert");
        QTest::newRow("new name") << QStringLiteral("Taxes 2024") << true << false;
        QTest::newRow("same name") << QStringLiteral("Report") << false << false;
        QTest::newRow("name of another file") << QStringLiteral("Other") << false << true;
    }

    void rename()
    {
        QFETCH(QString, name);
        QFETCH(bool, moves);
        QFETCH(bool, alert);
        writeFile(m_work + QStringLiteral("/Other.vault"), "another container");
        // Through the field: select it, Return to edit, type, Return to commit.
        VLRenamingTextField *field = m_screen->fileNameField();
        field->setFocus();
        QTest::keyClick(field, Qt::Key_Return);
        VLTextField *editor = field->managedTextField();
        QVERIFY(editor->isVisible());
        QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(editor, name);
        QTest::keyClick(editor, Qt::Key_Return);
        QCOMPARE(field->stringValue(), moves || !alert ? name : QStringLiteral("Report"));
        const QString renamed = m_work + u'/' + name + QStringLiteral(".vault");
        if (moves) {
            QCOMPARE(m_screen->encryptedFileURL(), QUrl::fromLocalFile(renamed));
            QVERIFY(!QFileInfo::exists(m_container.toLocalFile()));
            QCOMPARE(m_screen->dragSourceView()->draggingURL(), QUrl::fromLocalFile(renamed));
        } else {
            QCOMPARE(m_screen->encryptedFileURL(), m_container);
            QVERIFY(QFileInfo::exists(m_container.toLocalFile()));
            QCOMPARE(m_screen->dragSourceView()->draggingURL(), m_container);
        }
        // The other file is never touched.
        QFile other(m_work + QStringLiteral("/Other.vault"));
        QVERIFY(other.open(QIODevice::ReadOnly));
        QCOMPARE(other.readAll(), QByteArray("another container"));
        QCOMPARE(VLAlertHandler::lastAlert().has_value(), alert);
        if (alert)
            QVERIFY(VLAlertHandler::lastAlert()->messageText().contains(QStringLiteral("Other.vault")));
        QVERIFY(!m_screen->hasSavedFiles()); // a rename is not a save
    }

    void saveAsCopiesAndProposesTheSourcesTitle()
    {
        m_screen->renamingTextFieldDidRename(m_screen->fileNameField(), QStringLiteral("Renamed"));
        QCOMPARE(m_screen->encryptedFileURL(), QUrl::fromLocalFile(m_work + QStringLiteral("/Renamed.vault")));
        const QString destination = m_elsewhere + QStringLiteral("/Copy");
        VLSavePanel::setNextFileName(destination);
        press(m_screen->encryptedView()->saveAsButton());
        QTRY_VERIFY(m_screen->hasSavedFiles());
        QCOMPARE(VLSavePanel::lastProposedName(), VLFileNamer::titleForURLs(m_sources) + QStringLiteral(".vault"));
        QVERIFY(QFileInfo::exists(destination + QStringLiteral(".vault")));
        QVERIFY(QFileInfo::exists(m_screen->encryptedFileURL().toLocalFile())); // the container stays
        // Saved: starting over asks nothing.
        escape();
        QVERIFY(!VLAlertHandler::lastAlert());
        advance(2.0);
        QVERIFY(!isOnTop());
        QTRY_VERIFY(events().contains(QStringLiteral("Start Over/After Encryption Save")));
    }

    void cancelledSaveAsChangesNothing()
    {
        VLSavePanel::setNextFileName(QString());
        press(m_screen->encryptedView()->saveAsButton());
        QTest::qWait(50);
        QVERIFY(!m_screen->hasSavedFiles());
        QCOMPARE(QDir(m_elsewhere).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
    }

    void startOver_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("saveTo"); // empty: the panel is cancelled
        QTest::addColumn<bool>("leaves");
        QTest::addColumn<bool>("moved");
        QTest::addColumn<QString>("event");
        QTest::newRow("don't save") << 0 << QString() << true << false << QStringLiteral("Start Over/After Encryption");
        QTest::newRow("cancel") << -1 << QString() << false << false << QString();
        QTest::newRow("save, cancelled panel") << 1 << QString() << false << false << QString();
        QTest::newRow("save") << 1 << QStringLiteral("Kept.vault") << true << true
                              << QStringLiteral("Start Over/After Encryption Save");
    }

    void startOver()
    {
        QFETCH(int, answer);
        QFETCH(QString, saveTo);
        QFETCH(bool, leaves);
        QFETCH(bool, moved);
        QFETCH(QString, event);
        VLAlertHandler::setNextAnswer(answer);
        if (answer == 1)
            VLSavePanel::setNextFileName(saveTo.isEmpty() ? QString() : m_elsewhere + u'/' + saveTo);
        press(m_screen->encryptedView()->startOverButton());
        QVERIFY(VLAlertHandler::lastAlert().has_value());
        QCOMPARE(VLAlertHandler::lastAlert()->messageText(), QStringLiteral("Are you sure you want to start over?"));
        QTest::qWait(50);
        if (moved) {
            QTRY_VERIFY(QFileInfo::exists(m_elsewhere + u'/' + saveTo));
            // The move's report reaches the screen, which starts over again, now saved.
            QTRY_VERIFY(m_screen->hasSavedFiles());
        }
        QTest::qWait(20);
        advance(2.0);
        QCOMPARE(!isOnTop(), leaves);
        QCOMPARE(QFileInfo::exists(m_container.toLocalFile()), !moved);
        if (answer == 1)
            QCOMPARE(VLSavePanel::lastProposedName(), QStringLiteral("Report.vault"));
        if (!event.isEmpty())
            QTRY_VERIFY(events().contains(event));
        else
            QVERIFY(!events().join(u',').contains(QStringLiteral("Start Over")));
    }

    void quitGuard_data()
    {
        QTest::addColumn<bool>("saved");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("saveTo");
        QTest::addColumn<bool>("quits");
        QTest::addColumn<bool>("asks");
        QTest::newRow("saved before") << true << 0 << QString() << true << false;
        QTest::newRow("don't save") << false << 0 << QString() << true << true;
        QTest::newRow("cancel") << false << -1 << QString() << false << true;
        QTest::newRow("save, cancelled panel") << false << 1 << QString() << false << true;
        QTest::newRow("save") << false << 1 << QStringLiteral("Kept.vault") << true << true;
    }

    void quitGuard()
    {
        QFETCH(bool, saved);
        QFETCH(int, answer);
        QFETCH(QString, saveTo);
        QFETCH(bool, quits);
        QFETCH(bool, asks);
        VLTerminatorProxy proxy;
        int exits = 0;
        proxy.setExitHandler([&exits] { ++exits; });
        proxy.setTerminator(m_screen.data());
        if (saved)
            m_screen->savedWithURL(QUrl());
        if (asks)
            VLAlertHandler::setNextAnswer(answer);
        if (asks && answer == 1)
            VLSavePanel::setNextFileName(saveTo.isEmpty() ? QString() : m_elsewhere + u'/' + saveTo);
        proxy.terminate();
        QCOMPARE(VLAlertHandler::lastAlert().has_value(), asks);
        if (asks)
            QCOMPARE(VLAlertHandler::lastAlert()->messageText(),
                     QStringLiteral("Do you want to save a copy of \"Report.vault\" before quitting?"));
        if (quits)
            QTRY_COMPARE(exits, 1);
        QTest::qWait(100);
        QCOMPARE(exits, quits ? 1 : 0);
        if (!saveTo.isEmpty()) {
            QVERIFY(QFileInfo::exists(m_elsewhere + u'/' + saveTo));
            QVERIFY(!QFileInfo::exists(m_container.toLocalFile()));
        }
    }

    // A drag that nobody takes leaves the container unsaved; a drag that lands saves it.
    void dragOut()
    {
        QVERIFY(QTest::qWaitForWindowActive(m_windowController->window()));
        VLDragSourceView *source = m_screen->dragSourceView();
        const QPoint icon = m_screen->iconView()->geometry().center();
        // On this headless platform a drag ends at once, as a cancelled one does.
        QTest::mousePress(source, Qt::LeftButton, {}, icon);
        QTest::mouseMove(source, icon + QPoint(0, 40));
        QTest::mouseMove(source, icon + QPoint(0, 80));
        QTest::mouseRelease(source, Qt::LeftButton, {}, icon + QPoint(0, 80));
        QTRY_VERIFY(events().contains(QStringLiteral("Share File/Drag and Drop")));
        QVERIFY(!m_screen->hasSavedFiles());
        VLAlertHandler::setNextAnswer(-1);
        escape();
        QVERIFY(VLAlertHandler::lastAlert().has_value());
        QTest::qWait(20);
        QVERIFY(isOnTop());

        // The file manager took it.
        VLAlertHandler::clearLastAlert();
        m_screen->dragSourceViewDidFinishWithURLOperation(source, std::nullopt, VLDragOperationCopy);
        QVERIFY(m_screen->hasSavedFiles());
        escape();
        QVERIFY(!VLAlertHandler::lastAlert().has_value());
        advance(2.0);
        QVERIFY(!isOnTop());
    }

    // Starting over while a copy runs stops the copy and waits for it: nothing of the copy
    // remains and the screen hears nothing more.
    void startingOverStopsARunningTransfer()
    {
        writeFile(m_container.toLocalFile(), QByteArray(24 * 1024 * 1024, 'x'));
        std::atomic<int> chunks{0};
        KXAdditions::setCopyChunkHook([&chunks](const QString &, quint64) {
            ++chunks;
            std::this_thread::sleep_for(30ms);
        });
        const QString destination = m_elsewhere + QStringLiteral("/Slow.vault");
        VLSavePanel::setNextFileName(destination);
        press(m_screen->encryptedView()->saveAsButton());
        QTRY_VERIFY(chunks.load() >= 2);
        VLAlertHandler::setNextAnswer(0);
        escape();
        QTRY_VERIFY(!isOnTop() || navigation()->viewControllers().size() == 1);
        // The wait is over before the screen leaves: nothing of the copy is left.
        QVERIFY(!QFileInfo::exists(destination));
        QTRY_VERIFY(backgroundQueueIdle());
        QVERIFY(!m_screen->hasSavedFiles());
        QTest::qWait(100);
        QVERIFY(!m_screen->hasSavedFiles());
        QVERIFY(QFileInfo::exists(m_container.toLocalFile()));
    }

    // The menu lists what this desktop offers: e-mail where xdg-email is installed, saving to a
    // file, and "More..." on current systems.
    void shareMenuEntries_data()
    {
        QTest::addColumn<bool>("emailInstalled");
        QTest::addColumn<double>("appKit");
        QTest::addColumn<QStringList>("titles");
        QTest::newRow("e-mail") << true << platform::appKitVersionModern
                                << QStringList{u"Email"_qs, u"Save to File…"_qs, u"More..."_qs};
        QTest::newRow("no mail program") << false << platform::appKitVersionModern
                                         << QStringList{u"Save to File…"_qs, u"More..."_qs};
        QTest::newRow("older system") << true << platform::appKitVersionLegacy
                                      << QStringList{u"Email"_qs, u"Save to File…"_qs};
    }

    void shareMenuEntries()
    {
        QFETCH(bool, emailInstalled);
        QFETCH(double, appKit);
        QFETCH(QStringList, titles);
        const QByteArray path = qgetenv("PATH");
        const QString record = installEmailStandIn();
        if (!emailInstalled)
            qputenv("PATH", QFile::encodeName(m_dir.filePath(QStringLiteral("empty-bin"))));
        platform::setAppKitVersionNumberForTesting(appKit);
        press(m_screen->shareButton());
        QTRY_VERIFY(m_screen->shareMenu() && m_screen->shareMenu()->isVisible());
        QStringList shown;
        for (QAction *item : m_screen->shareMenu()->actions()) {
            shown << item->text();
            QVERIFY(KXSharingServicePickerMenu::serviceOfMenuItem(item));
        }
        m_screen->shareMenu()->close();
        platform::setAppKitVersionNumberForTesting(platform::appKitVersionModern);
        qputenv("PATH", path);
        QCOMPARE(shown, titles);
    }

    // E-mail opens a message with the invitation and the container attached.
    void shareByEmail()
    {
        const QByteArray path = qgetenv("PATH");
        const QString record = installEmailStandIn();
        m_screen->shareFile(m_screen->shareButton());
        QAction *email = nullptr;
        for (QAction *item : m_screen->shareMenu()->actions()) {
            if (item->text() == u"Email")
                email = item;
        }
        QVERIFY(email);
        email->trigger();
        qputenv("PATH", path);
        QTRY_VERIFY(QFileInfo::exists(record));
        QFile file(record);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList arguments = QString::fromUtf8(file.readAll()).split(u'\0', Qt::SkipEmptyParts);
        QCOMPARE(arguments, (QStringList{u"--body"_qs, VLEncryptedViewController::sharingSnippetText(), u"--attach"_qs,
                                         m_container.toLocalFile()}));
        QVERIFY(VLEncryptedViewController::sharingSnippetText().startsWith(
            QStringLiteral("I\u2019ve shared a file with you via Vaultine. It\u2019s been securely encrypted")));
        QTRY_VERIFY(events().contains(QStringLiteral("Share File/Email")));
        QVERIFY(!m_screen->hasSavedFiles());
    }

    // Saving to a file copies the container through the save panel and counts as saved.
    void shareBySavingToFile()
    {
        m_screen->shareFile(m_screen->shareButton());
        QAction *save = m_screen->shareMenu()->actions().value(m_screen->shareMenu()->actions().size() - 2);
        QVERIFY(qobject_cast<VLSaveToFileSharingService *>(KXSharingServicePickerMenu::serviceOfMenuItem(save)));
        VLSavePanel::setNextFileName(m_elsewhere + QStringLiteral("/Shared"));
        save->trigger();
        QTRY_VERIFY(m_screen->hasSavedFiles());
        QVERIFY(QFileInfo::exists(m_elsewhere + QStringLiteral("/Shared.vault")));
        QVERIFY(QFileInfo::exists(m_container.toLocalFile()));
        QTRY_VERIFY(events().contains(QStringLiteral("Share File/Save to File…")));
    }

    void shareButtonKeys()
    {
        BeepCounter beeps;
        VLShareButton *button = m_screen->shareButton();
        button->insertText(QStringLiteral("a"));
        QCOMPARE(beeps.count, 1);
        QVERIFY(!m_screen->shareMenu());
        button->insertText(QStringLiteral(" "));
        QTRY_VERIFY(m_screen->shareMenu() && m_screen->shareMenu()->isVisible());
        QCOMPARE(beeps.count, 1);
        m_screen->shareMenu()->close();
    }

    void keys()
    {
        // Space toggles the preview; leaving the screen closes it.
        QTest::keyClick(m_screen->encryptedView(), Qt::Key_Space);
        QVERIFY(VLPreviewWindow::sharedPreviewWindowExists());
        VLPreviewWindow *preview = VLPreviewWindow::sharedPreviewWindow();
        QVERIFY(preview->isVisible());
        QCOMPARE(preview->nameText(), QStringLiteral("Report.vault"));
        QTRY_COMPARE(preview->sizeText(), VLFileNamer::sizeForURLs({m_container}));
        m_screen->encryptedView()->setFocus();
        QTest::keyClick(m_screen->encryptedView(), Qt::Key_Space);
        QVERIFY(!preview->isVisible());
        m_screen->encryptedView()->setFocus();
        QTest::keyClick(m_screen->encryptedView(), Qt::Key_Space);
        QVERIFY(preview->isVisible());

        // Return opens the share menu.
        m_screen->encryptedView()->setFocus();
        QTest::keyClick(m_screen->encryptedView(), Qt::Key_Return);
        QTRY_VERIFY(m_screen->shareMenu() && m_screen->shareMenu()->isVisible());
        QVERIFY(m_screen->shareButton()->shadeLayer()->opacity() > 0.0);
        m_screen->shareMenu()->close();
        QTRY_COMPARE(m_screen->shareButton()->shadeLayer()->opacity(), 0.0);

        VLAlertHandler::setNextAnswer(0);
        m_screen->cancelOperation();
        QTest::qWait(20);
        QVERIFY(!preview->isVisible());
    }
};

QTEST_MAIN(TestEncryptedScreen)
#include "tst_encryptedscreen.moc"
