#include "controls/VLDragSourceView.h"
#include "controls/VLRoundedButton.h"
#include "engine/access/VLDriveAccessController.h"
#include "engine/archive/VLArchiveBytes.h"
#include "engine/archive/VLEncryptedArchive.h"
#include "engine/archive/VLEncryptedArchiveDirectoryLocator.h"
#include "engine/files/VLPathComponents.h"
#include "engine/files/VLTempCleaner.h"
#include "engine/jobs/VLDezerider.h"
#include "platform/core/Library.h"
#include "platform/core/Sandbox.h"
#include "platform/view/ViewFrame.h"
#include "screens/VLAnimationProgressMonitor.h"
#include "screens/VLEncryptProgressImageView.h"
#include "screens/decrypt/VLArchiveOpener.h"
#include "screens/decrypt/VLDecryptCompletedViewController.h"
#include "screens/decrypt/VLDecryptViewController.h"
#include "screens/decrypt/VLDecryptedViewController.h"
#include "screens/decrypt/VLDecryptingViewController.h"
#include "screens/decrypt/VLSpecialCaseViewController.h"
#include "tests/screens/FlowTestSupport.h"
#include "windowing/windows/VLAccessPanel.h"
#include "windowing/windows/VLAlert.h"
#include "windowing/windows/VLSavePanel.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QLabel>

using namespace Qt::StringLiterals;

namespace {

const QString fixtures = QStringLiteral(VAULTINE_TEST_DATA_DIR "/jobs");

QString workFolderArea()
{
    return VLTempCleaner::workFolderArea();
}

bool workFoldersEmpty()
{
    return QDir(workFolderArea()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

// Records links the desktop was asked to open.
class OpenedLinks final : public QObject
{
    Q_OBJECT

public:
    OpenedLinks()
    {
        for (const QString &scheme : {u"http"_s, u"https"_s, u"file"_s})
            QDesktopServices::setUrlHandler(scheme, this, "open");
    }
    ~OpenedLinks() override
    {
        for (const QString &scheme : {u"http"_s, u"https"_s, u"file"_s})
            QDesktopServices::unsetUrlHandler(scheme);
    }
    QList<QUrl> urls;

public slots:
    void open(const QUrl &url) { urls << url; }
};

// A container as another writer may make it: its one item is enciphered without an HMAC check
// (the switch is off), yet its record keeps an HMAC value, the give-away mark. This writer leaves
// the value out when the check is off, so it is put into the plain directory afterwards.
QUrl makeMarkedContainer(const QString &source, const QString &target, const QString &password)
{
    using namespace VLArchiveBytes;
    {
        VLEncryptedArchive archive;
        archive.setEncryptDirectory(false);
        archive.setCalculateFilesHmac(false);
        archive.setCalculateDirectoryHmac(false);
        archive.setPassword(password);
        archive.addItemFromRoot(source);
        archive.save(target);
    }
    QFile file(target);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    file.close();
    const quint32 locatorLength = bytes.size() >= 4 ? getU32(bytes.constData() + bytes.size() - 4) : 0;
    VLEncryptedArchiveDirectoryLocator locator;
    if (locatorLength > quint32(bytes.size()) || !locator.load(bytes.right(locatorLength)))
        return {};
    const qsizetype position = qsizetype(locator.directoryPosition());
    const QByteArray record = bytes.mid(position, qsizetype(locator.directorySize()));
    if (record.size() < 8 || getU32(record.constData()) != tag("HDDR")
        || quint64(getU32(record.constData() + 4)) + 8 != quint64(record.size()))
        return {};
    QByteArray marked;
    putTag(marked, tag("HDDR"));
    putU32(marked, quint32(record.size() - 8 + 36));
    marked += record.mid(8);
    putTag(marked, tag("FHMC"));
    marked += VLDezerider::specialScenarioHmac;
    locator.setDirectorySize(quint64(marked.size()));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return {};
    file.write(bytes.left(position) + marked + locator.save());
    return QUrl::fromLocalFile(target);
}

} // namespace

class TestDecryptScreens : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_source;   // a folder of two files
    QUrl m_withHint;    // its container, with a hint
    QUrl m_withoutHint; // its container, without one
    QUrl m_singleFile;  // a container of the one file a.txt
    QUrl m_application; // a container holding an application
    QUrl m_large;       // a container that takes a while to restore
    QUrl m_dotName;     // a container of the one file ".config"
    QUrl m_marked;      // a container of the give-away, giveaway.txt

    // Runs the real clock's queued work and the manual clock until the condition holds.
    bool settleUntil(FlowWindow &window, const std::function<bool()> &condition, int timeoutMs = 30000)
    {
        QElapsedTimer clock;
        clock.start();
        // Also until the transition that shows a new screen has ended, as a user's next action
        // comes after it.
        const auto reached = [&] { return condition() && window.navigation()->canNavigate(); };
        while (!reached() && clock.elapsed() < timeoutMs) {
            window.clock().advance(1.0 / 60.0);
            QTest::qWait(2);
        }
        return reached();
    }

    VLDecryptViewController *showPasswordScreen(FlowWindow &window, const QUrl &container)
    {
        window.push(VLViewController::create<VLDecryptViewController>(QList<QUrl>{container}));
        return window.topAs<VLDecryptViewController>();
    }

    void typePassword(FlowWindow &window, VLDecryptViewController *screen, const QString &password)
    {
        screen->passwordTextField()->setFocus();
        screen->passwordTextField()->selectAll();
        QTest::keyClick(window.window()->windowHandle(), Qt::Key_Backspace);
        for (const QChar c : password)
            QTest::keyClick(window.window()->windowHandle(), c.toLatin1());
        QTest::keyClick(window.window()->windowHandle(), Qt::Key_Return);
    }

    // Pushes the progress screen for a container and returns once its job has started.
    VLDecryptingViewController *runDecryption(FlowWindow &window, const QUrl &container, const QString &password)
    {
        auto screen = VLViewController::create<VLDecryptingViewController>(QList<QUrl>{container}, QImage(), QImage(),
                                                                           password);
        auto *decrypting = static_cast<VLDecryptingViewController *>(screen.get());
        window.navigation()->pushViewControllerAnimated(screen, true);
        settleUntil(
            window,
            [decrypting] {
                return decrypting->dezerider()->isRunning() || decrypting->dezerider()->isCancelled()
                       || !decrypting->dezerider()->destinationURL().isEmpty();
            },
            5000);
        return decrypting;
    }

private slots:
    void initTestCase()
    {
        platform::setApplicationIdentity();
        m_source = m_dir.filePath(u"Holiday"_s);
        QVERIFY(writeTestFile(m_source + u"/beach.txt"_s, "sand and sea"));
        QVERIFY(writeTestFile(m_source + u"/notes/day1.txt"_s, "swim"));
        const QUrl source = QUrl::fromLocalFile(m_source);
        m_withHint = makeContainer({source}, m_dir.filePath(u"hinted.vault"_s), u"right"_s, u"the usual"_s);
        m_withoutHint = makeContainer({source}, m_dir.filePath(u"plain.vault"_s), u"right"_s);
        QVERIFY(writeTestFile(m_dir.filePath(u"a.txt"_s), "alpha"));
        m_singleFile = makeContainer({QUrl::fromLocalFile(m_dir.filePath(u"a.txt"_s))},
                                     m_dir.filePath(u"single.vault"_s), u"right"_s);
        QVERIFY(writeTestFile(m_dir.filePath(u"Tool.app/Contents/tool"_s), "binary"));
        m_application = makeContainer({QUrl::fromLocalFile(m_dir.filePath(u"Tool.app"_s))},
                                      m_dir.filePath(u"tool.vault"_s), u"right"_s);
        QByteArray noise(24 * 1024 * 1024, Qt::Uninitialized);
        for (qsizetype i = 0; i < noise.size(); ++i)
            noise[i] = char((i * 2654435761u) >> 13);
        QVERIFY(writeTestFile(m_dir.filePath(u"big.bin"_s), noise));
        m_large = makeContainer({QUrl::fromLocalFile(m_dir.filePath(u"big.bin"_s))}, m_dir.filePath(u"big.vault"_s),
                                u"right"_s);
        QVERIFY(writeTestFile(m_dir.filePath(u"dot/.config"_s), "hidden settings"));
        m_dotName = makeContainer({QUrl::fromLocalFile(m_dir.filePath(u"dot/.config"_s))},
                                  m_dir.filePath(u"dot.vault"_s), u"right"_s);
        QVERIFY(writeTestFile(m_dir.filePath(u"gift/giveaway.txt"_s), "A small gift."));
        m_marked = makeMarkedContainer(m_dir.filePath(u"gift/giveaway.txt"_s), m_dir.filePath(u"gift.vault"_s),
                                       u"right"_s);
        for (const QUrl &url : {m_withHint, m_withoutHint, m_singleFile, m_application, m_large, m_dotName, m_marked})
            QVERIFY(url.isValid());
    }

    void init()
    {
        VLTempCleaner::sharedInstance().sync_clean();
        VLAlertHandler::clearLastAlert();
        platform::setSandboxedForTesting(std::nullopt);
        VLTerminatorProxy *proxy = VLTerminatorProxy::sharedInstance();
        proxy->setState(VLTerminatorProxy::VLTerminationStateUndetermined);
        proxy->setTerminator(nullptr);
        proxy->setPreTerminationHook({});
        proxy->setExitHandler([] {});
    }

    void cleanup()
    {
        VLTerminatorProxy::sharedInstance()->setExitHandler([] {});
        VLAlertHandler::clearLastAlert();
    }

    // --- the password screen

    void passwordScreenShowsTheHintAndStartsTheDecryption_data()
    {
        QTest::addColumn<bool>("hinted");
        QTest::newRow("with a hint") << true;
        QTest::newRow("without a hint") << false;
    }

    void passwordScreenShowsTheHintAndStartsTheDecryption()
    {
        QFETCH(bool, hinted);
        FlowAnalytics analytics;
        FlowWindow window;
        VLDecryptViewController *screen = showPasswordScreen(window, hinted ? m_withHint : m_withoutHint);
        QVERIFY(screen);
        QCOMPARE(screen->passwordHintTextField()->text(), hinted ? u"Hint: the usual"_s : QString());
        QCOMPARE(screen->titleLabel()->text(), hinted ? u"hinted"_s : u"plain"_s);
        QVERIFY(!screen->sizeLabel()->text().isEmpty());
        QVERIFY(!screen->decryptButton()->isEnabled());
        QVERIFY(screen->passwordTextField()->isSecure());

        screen->passwordTextField()->setFocus();
        QTest::keyClick(window.window()->windowHandle(), 'r');
        QVERIFY(screen->decryptButton()->isEnabled());
        QTest::keyClick(window.window()->windowHandle(), Qt::Key_Backspace);
        QVERIFY(!screen->decryptButton()->isEnabled());

        typePassword(window, screen, u"right"_s);
        window.settle(0.5);
        QVERIFY(window.topAs<VLDecryptingViewController>());
        QTRY_COMPARE(
            analytics.hits().mid(0, 3),
            (QStringList{u"view:Decryption Password Entry"_s,
                         u"Workflow/Decryption Started/"_s + (hinted ? u"Hint Included"_s : u"Hint Not Included"_s),
                         u"Statistics/Decrypt File From/Mac"_s}));
    }

    void wrongPasswordShakesAndExtractsNothing()
    {
        FlowWindow window;
        VLDecryptViewController *screen = showPasswordScreen(window, m_withHint);
        QWidget *mainWindow = window.window();
        const QRectF home = vlFrame(mainWindow);

        typePassword(window, screen, u"wrong"_s);
        QCOMPARE(window.top().get(), screen);
        QVERIFY(VLAnimator::animationForKey(mainWindow, VLDecryptViewController::postShakeAnimationKey));
        // Selected for typing again, kept in the field.
        QCOMPARE(screen->passwordTextField()->text(), u"wrong"_s);
        QCOMPARE(screen->passwordTextField()->renderer().selectedString(), u"wrong"_s);
        QVERIFY(screen->passwordTextField()->hasFocus());

        QList<double> xs;
        for (int i = 0; i < 30; ++i) {
            window.clock().advance(1.0 / 60.0);
            xs << vlFrame(mainWindow).x() - home.x();
        }
        // Left by 7, right by 7, and home again.
        QVERIFY(*std::min_element(xs.begin(), xs.end()) <= -6.0);
        QVERIFY(*std::max_element(xs.begin(), xs.end()) >= 6.0);
        window.settle(0.5);
        QCOMPARE(vlFrame(mainWindow), home);
        QVERIFY(workFoldersEmpty());

        // A second wrong password during a shake starts none, and an empty one is checked too.
        typePassword(window, screen, u"wronger"_s);
        const auto running = VLAnimator::animationForKey(mainWindow, VLDecryptViewController::postShakeAnimationKey);
        window.clock().advance(0.05);
        screen->passwordTextField()->setText(QString());
        QTest::keyClick(window.window()->windowHandle(), Qt::Key_Return);
        QCOMPARE(VLAnimator::animationForKey(mainWindow, VLDecryptViewController::postShakeAnimationKey), running);
        window.settle(1.0);
        QCOMPARE(vlFrame(mainWindow), home);

        typePassword(window, screen, u"right"_s);
        window.settle(0.5);
        QVERIFY(window.topAs<VLDecryptingViewController>());
    }

    void startOverReleasesTheParkedOpen()
    {
        FlowAnalytics analytics;
        FlowWindow window;
        VLDecryptViewController *screen = showPasswordScreen(window, m_withoutHint);
        typePassword(window, screen, u"wrong"_s);
        QVERIFY(screen->opener()->isOpenParked());
        QTest::keyClick(window.window()->windowHandle(), Qt::Key_Escape);
        window.settle();
        QCOMPARE(window.navigation()->viewControllers().size(), 1);
        QTRY_COMPARE(VLArchiveOpener::runningBackgroundOpens(), 0);
        QTRY_COMPARE(analytics.hits(),
                     (QStringList{u"view:Decryption Password Entry"_s, u"Workflow/Start Over/Before Decryption"_s}));
    }

    void anApplicationAsksForTheHomeFolderOnlyInASandbox_data()
    {
        QTest::addColumn<bool>("sandboxed");
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("panelShown");
        QTest::newRow("outside a sandbox") << false << -2 << false;
        QTest::newRow("Decrypt Anyway") << true << 0 << false;
        QTest::newRow("Locate, panel cancelled") << true << 1 << true;
    }

    void anApplicationAsksForTheHomeFolderOnlyInASandbox()
    {
        QFETCH(bool, sandboxed);
        QFETCH(int, answer);
        QFETCH(bool, panelShown);
        QTemporaryDir library;
        platform::setSandboxedForTesting(sandboxed);
        VLDriveAccessController::sharedInstance().setRootURL({});
        bool panel = false;
        VLAccessPanel::setNextPanelAnswer([&panel](QFileDialog *dialog) {
            panel = true;
            dialog->reject();
        });
        if (answer != -2)
            VLAlertHandler::setNextAnswer(answer);
        FlowWindow window;
        VLDecryptViewController *screen = showPasswordScreen(window, m_application);
        typePassword(window, screen, u"right"_s);
        QVERIFY(settleUntil(
            window, [&] { return window.topAs<VLDecryptingViewController>() != nullptr; }, 5000));
        QCOMPARE(panel, panelShown);
        const std::optional<VLAlert> alert = VLAlertHandler::lastAlert();
        QCOMPARE(alert.has_value(), sandboxed);
        VLAccessPanel::setNextPanelAnswer({});
        platform::setSandboxedForTesting(std::nullopt);
    }

    // --- the progress screen

    void progressRunsToTheResultScreen_data()
    {
        QTest::addColumn<QUrl>("container");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("hintLabel");
        QTest::newRow("one file") << m_singleFile << u"a"_s << u"Hint Not Included"_s;
        QTest::newRow("a folder") << m_withHint << u"Holiday"_s << u"Hint Included"_s;
        // A leading full stop is part of the name, not an extension's.
        QTest::newRow("a dot name") << m_dotName << u".config"_s << u"Hint Not Included"_s;
    }

    void progressRunsToTheResultScreen()
    {
        QFETCH(QUrl, container);
        QFETCH(QString, title);
        QFETCH(QString, hintLabel);
        FlowAnalytics analytics;
        FlowWindow window;
        VLDecryptingViewController *screen = runDecryption(window, container, u"right"_s);
        QVERIFY(screen);
        QCOMPARE(VLTerminatorProxy::sharedInstance()->terminator(), screen);
        QVERIFY(settleUntil(window, [&] { return window.topAs<VLDecryptedViewController>() != nullptr; }));
        QCOMPARE(screen->titleLabel()->text(), title);
        QVERIFY(!screen->stopButton()->isEnabled());
        auto *result = window.topAs<VLDecryptedViewController>();
        QCOMPARE(VLPathComponents::deletingPathExtension(result->decryptedItemURL().fileName()), title);
        QTRY_COMPARE(analytics.hits().mid(0, 2),
                     (QStringList{u"view:Decryption Progress"_s, u"Workflow/Decryption Successful/"_s + hintLabel}));
    }

    void remainingTimeShowsAfterThreeSeconds()
    {
        FlowWindow window;
        auto screen = VLViewController::create<VLDecryptingViewController>(QList<QUrl>{m_large}, QImage(), QImage(),
                                                                           u"right"_s);
        auto *decrypting = static_cast<VLDecryptingViewController *>(screen.get());
        decrypting->view();
        decrypting->progress().setJobStartTime(VLCryptingProgress::currentTime());
        decrypting->dezeriderDidUpdateEstimationTime(nullptr, u"About 5 seconds"_s);
        QTRY_COMPARE(decrypting->statusTextField()->text(), u"About 5 seconds"_s);
        QVERIFY(decrypting->statusTextField()->isHidden());
        decrypting->progress().setJobStartTime(VLCryptingProgress::currentTime() - 3.5);
        decrypting->dezeriderDidUpdateEstimationTime(nullptr, u"About 2 seconds"_s);
        QTRY_COMPARE(decrypting->statusTextField()->text(), u"About 2 seconds"_s);
        QVERIFY(!decrypting->statusTextField()->isHidden());
    }

    void theSpecialCaseOffersTheGiveAway()
    {
        OpenedLinks links;
        FlowAnalytics analytics;
        FlowWindow window;
        // A real decryption of the marked container leads here, not to the result screen.
        runDecryption(window, m_marked, u"right"_s);
        QVERIFY(settleUntil(window, [&] { return window.topAs<VLSpecialCaseViewController>() != nullptr; }));
        auto *special = window.topAs<VLSpecialCaseViewController>();
        QCOMPARE(special->fileNameField()->text(), u"giveaway"_s);
        QFile restored(special->decryptedItemURL().toLocalFile());
        QVERIFY(restored.open(QIODevice::ReadOnly));
        QCOMPARE(restored.readAll(), QByteArray("A small gift."));
        // The item carries no drag: a press on it moves the window.
        QCOMPARE(special->dragSourceView()->dragOperation(), VLDragOperationNone);
        QVERIFY(special->dragSourceView()->mouseDownCanMoveWindow());
        QVERIFY(!VLTerminatorProxy::sharedInstance()->terminator());
        QTRY_VERIFY(analytics.hits().contains(u"Workflow/Decryption Successful/Hint Not Included"_s));
        const int hitsBefore = analytics.requestCount();
        QTest::keyClick(window.window()->windowHandle(), Qt::Key_Return);
        QTest::mouseClick(special->openButton(), Qt::LeftButton);
        QCOMPARE(links.urls.size(), 2);
        QVERIFY(links.urls.first().query().contains(u"giveaway"_s));
        QCOMPARE(links.urls.first(), links.urls.last());
        // Leaves without asking, although the item was never saved, and sends nothing.
        QTest::keyClick(window.window()->windowHandle(), Qt::Key_Escape);
        window.settle();
        QCOMPARE(window.navigation()->viewControllers().size(), 1);
        QVERIFY(!VLAlertHandler::lastAlert());
        QTest::qWait(200);
        QCOMPARE(analytics.requestCount(), hitsBefore);
    }

    void saveAsMovesTheItemAndCompletes_data()
    {
        QTest::addColumn<QUrl>("container");
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("savedName");
        QTest::addColumn<QString>("proposed");
        // A folder has no extension: its name alone, and no restriction on the type.
        QTest::newRow("a folder") << m_withoutHint << m_source << u"Restored"_s << u"Holiday"_s;
        // The whole name, with no extension taken from it and no type restriction.
        QTest::newRow("a dot name") << m_dotName << m_dir.filePath(u"dot/.config"_s) << u".config"_s << u".config"_s;
    }

    // The marked container's item fails its check like any tampered one: it never restores.
    void aTamperedItemShowsOneAlert_data()
    {
        QTest::addColumn<QString>("container");
        QTest::newRow("tampered") << fixtures + u"/record-hmac-tampered.vault"_s;
        QTest::newRow("the give-away mark") << fixtures + u"/record-hmac-special.vault"_s;
    }

    void aTamperedItemShowsOneAlert()
    {
        QFETCH(QString, container);
        FlowWindow window;
        showPasswordScreen(window, QUrl::fromLocalFile(container));
        VLAlertHandler::setNextAnswer(1);
        runDecryption(window, QUrl::fromLocalFile(container), u"gift"_s);
        QVERIFY(settleUntil(window, [&] { return window.topAs<VLDecryptViewController>() != nullptr; }));
        window.settle(1.0);
        // The second failure of the same job added no sheet of its own.
        QVERIFY(!VLAlertHandler::isSheetOpen(window.window()));
        QVERIFY(VLAlertHandler::lastAlert());
        // Nothing of what the failed job restored stays behind.
        QTRY_VERIFY(workFoldersEmpty());
    }

    void stopEndsTheJobAndEmptiesTheWorkFolders()
    {
        FlowAnalytics analytics;
        FlowWindow window;
        VLDecryptingViewController *screen = runDecryption(window, m_large, u"right"_s);
        QVERIFY(screen->dezerider()->isRunning() || !workFoldersEmpty());
        QTest::mouseClick(screen->stopButton(), Qt::LeftButton);
        QVERIFY(!screen->dezerider()->isRunning());
        window.settle();
        QCOMPARE(window.navigation()->viewControllers().size(), 1);
        QTRY_VERIFY(workFoldersEmpty());
        QTRY_VERIFY(analytics.hits().contains(u"Workflow/Decryption Stopped"_s));
        QVERIFY(!analytics.hits().join(u',').contains(u"Decryption Successful"_s));
    }

    // The job has ended and the bar is still catching up (the clock stands still): Stop ends the
    // flow there, and nothing completes after it.
    void stopAfterTheJobEndedCompletesNothing_data()
    {
        QTest::addColumn<bool>("byEscape");
        QTest::newRow("Stop") << false;
        QTest::newRow("Escape") << true;
    }

    void stopAfterTheJobEndedCompletesNothing()
    {
        QFETCH(bool, byEscape);
        FlowAnalytics analytics;
        FlowWindow window;
        VLDecryptViewController *password = showPasswordScreen(window, m_singleFile);
        typePassword(window, password, u"right"_s);
        VLDecryptingViewController *screen = nullptr;
        QVERIFY(settleUntil(window, [&] { return (screen = window.topAs<VLDecryptingViewController>()) != nullptr; }));
        QTRY_VERIFY_WITH_TIMEOUT(screen->progress().monitor().procFinished(), 30000);
        QTRY_VERIFY(!screen->dezerider()->isRunning());
        QVERIFY(!screen->progress().monitor().animFinished());
        QVERIFY(!workFoldersEmpty());

        if (byEscape)
            QTest::keyClick(window.window()->windowHandle(), Qt::Key_Escape);
        else
            QTest::mouseClick(screen->stopButton(), Qt::LeftButton);
        // Long enough for the bar to reach its end had the flow gone on.
        QVERIFY(settleUntil(window, [&] { return window.top().get() == password; }));
        window.settle(5.0);
        QCOMPARE(window.top().get(), password);
        QTRY_VERIFY(workFoldersEmpty());
        QTRY_VERIFY(analytics.hits().contains(u"Workflow/Decryption Stopped"_s));
        QVERIFY(!analytics.hits().join(u',').contains(u"Decryption Successful"_s));
    }

    void quitWhileRunningStopsTheJobFirst_data()
    {
        QTest::addColumn<int>("answer");
        QTest::newRow("Quit Anyway") << 1;
        QTest::newRow("Cancel") << 0;
    }

    void quitWhileRunningStopsTheJobFirst()
    {
        QFETCH(int, answer);
        FlowWindow window;
        VLDecryptingViewController *screen = runDecryption(window, m_large, u"right"_s);
        VLTerminatorProxy *proxy = VLTerminatorProxy::sharedInstance();
        int exits = 0;
        bool runningAtExit = true;
        proxy->setExitHandler([&] {
            ++exits;
            runningAtExit = screen->dezerider()->isRunning();
        });
        VLAlertHandler::setNextAnswer(answer);
        proxy->terminate();
        QTRY_VERIFY(VLAlertHandler::lastAlert().has_value());
        QTRY_COMPARE(exits, answer == 1 ? 1 : 0);
        if (answer == 1)
            QVERIFY(!runningAtExit);
        QCOMPARE(screen->dezerider()->isCancelled(), answer == 1);
        proxy->setExitHandler([] {});
    }

    // --- the result screen

    void saveAsMovesTheItemAndCompletes()
    {
        QFETCH(QUrl, container);
        QFETCH(QString, source);
        QFETCH(QString, savedName);
        QFETCH(QString, proposed);
        FlowAnalytics analytics;
        FlowWindow window;
        runDecryption(window, container, u"right"_s);
        QVERIFY(settleUntil(window, [&] { return window.topAs<VLDecryptedViewController>() != nullptr; }));
        auto *result = window.topAs<VLDecryptedViewController>();
        QTemporaryDir target;
        const QString destination = target.filePath(savedName);
        VLSavePanel::setNextFileName(destination);
        QTest::mouseClick(result->saveButton(), Qt::LeftButton);
        QCOMPARE(VLSavePanel::lastProposedName(), proposed);
        QVERIFY(settleUntil(window, [&] { return window.topAs<VLDecryptCompletedViewController>() != nullptr; }));
        auto *completed = window.topAs<VLDecryptCompletedViewController>();
        QCOMPARE(completed->url(), QUrl::fromLocalFile(destination));
        QVERIFY(completed->success());
        if (QFileInfo(source).isDir()) {
            QCOMPARE(treeListing(destination), treeListing(source));
        } else {
            QFile saved(destination);
            QFile original(source);
            QVERIFY(saved.open(QIODevice::ReadOnly) && original.open(QIODevice::ReadOnly));
            QCOMPARE(saved.readAll(), original.readAll());
        }
        QVERIFY(!QFileInfo::exists(result->decryptedItemURL().toLocalFile()));
        // The next panel opens where this one saved.
        QCOMPARE(VLSavePanel::initialFolder(), QDir(target.path()).absolutePath());
        QTRY_VERIFY(analytics.hits().contains(u"Workflow/Decrypt Save As.../Button Click"_s));
    }

    void aFailedSaveResumesTheRadar()
    {
        FlowWindow window;
        runDecryption(window, m_singleFile, u"right"_s);
        QVERIFY(settleUntil(window, [&] { return window.topAs<VLDecryptedViewController>() != nullptr; }));
        auto *result = window.topAs<VLDecryptedViewController>();
        // A folder that cannot exist: its parent is a file.
        VLAlertHandler::setNextAnswer(1);
        VLSavePanel::setNextFileName(m_dir.filePath(u"a.txt/inside/a.txt"_s));
        result->saveAs();
        QCOMPARE(VLSavePanel::lastProposedName(), u"a.txt"_s);
        QTRY_VERIFY(VLAlertHandler::lastAlert().has_value());
        QTRY_VERIFY(!result->radar()->pause());
        QVERIFY(result->isUnsaved());
        QCOMPARE(window.top().get(), result);
        // Still followed: a move out of the work folder completes the flow.
        QTemporaryDir elsewhere;
        const QString moved = elsewhere.filePath(u"a.txt"_s);
        QVERIFY(QFile::rename(result->decryptedItemURL().toLocalFile(), moved));
        QVERIFY(settleUntil(window, [&] { return window.topAs<VLDecryptCompletedViewController>() != nullptr; }));
        QCOMPARE(window.topAs<VLDecryptCompletedViewController>()->url(), QUrl::fromLocalFile(moved));
    }

    void aDragFollowsTheItem_data()
    {
        QTest::addColumn<bool>("renamed");
        QTest::newRow("renamed on its file system") << true;
        QTest::newRow("moved away without a trace") << false;
    }

    void aDragFollowsTheItem()
    {
        QFETCH(bool, renamed);
        FlowAnalytics analytics;
        FlowWindow window;
        runDecryption(window, m_singleFile, u"right"_s);
        QVERIFY(settleUntil(window, [&] { return window.topAs<VLDecryptedViewController>() != nullptr; }));
        auto *result = window.topAs<VLDecryptedViewController>();
        const QString item = result->decryptedItemURL().toLocalFile();
        // A cancelled drag counts as nothing.
        result->dragSourceViewDidFinishWithURLOperation(result->dragSourceView(), std::nullopt, VLDragOperationNone);
        window.settle(0.3);
        QCOMPARE(window.top().get(), result);
        QVERIFY(result->isUnsaved());

        // The drop: the desktop does not say where it went.
        result->dragSourceViewDidFinishWithURLOperation(result->dragSourceView(), std::nullopt, VLDragOperationMove);
        QTemporaryDir elsewhere;
        const QString moved = elsewhere.filePath(u"a.txt"_s);
        if (renamed) {
            QVERIFY(QFile::rename(item, moved));
        } else {
            QVERIFY(QFile::copy(item, moved));
            QVERIFY(QFile::remove(item));
        }
        QVERIFY(settleUntil(window, [&] { return window.topAs<VLDecryptCompletedViewController>() != nullptr; }));
        auto *completed = window.topAs<VLDecryptCompletedViewController>();
        QCOMPARE(completed->success(), renamed);
        QTRY_COMPARE(analytics.hits().count(u"Workflow/Decrypt Save As.../Drag and Drop"_s), 2);
        if (renamed) {
            QCOMPARE(completed->url(), QUrl::fromLocalFile(moved));
            QVERIFY(completed->unknownPlaceLabel()->isHidden());
            return;
        }
        // Nothing told where it went: no place is named, none is offered, and the screen says so.
        QCOMPARE(completed->url(), QUrl());
        QVERIFY(!completed->titleLabel()->property("text").toString().contains(u"Saved"_s));
        QVERIFY(completed->openButton()->isHidden());
        QVERIFY(completed->revealButton()->isHidden());
        QVERIFY(!completed->unknownPlaceLabel()->isHidden());
        OpenedLinks links;
        QTest::keyClick(window.window()->windowHandle(), Qt::Key_Return);
        completed->revealInFinder();
        QTest::qWait(100);
        QVERIFY(links.urls.isEmpty());
    }

    void startOverAsksAboutTheUnsavedItem_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("event");
        QTest::addColumn<int>("screensLeft");
        QTest::newRow("Don't Save") << 0 << u"Workflow/Start Over/After Decryption"_s << 1;
        QTest::newRow("Cancel") << -1 << QString() << 3;
        QTest::newRow("Save") << 1 << u"Workflow/Start Over/After Decryption Save"_s << 1;
    }

    void startOverAsksAboutTheUnsavedItem()
    {
        QFETCH(int, answer);
        QFETCH(QString, event);
        QFETCH(int, screensLeft);
        FlowAnalytics analytics;
        FlowWindow window;
        runDecryption(window, m_singleFile, u"right"_s);
        QVERIFY(settleUntil(window, [&] { return window.topAs<VLDecryptedViewController>() != nullptr; }));
        auto *result = window.topAs<VLDecryptedViewController>();
        const QString item = result->decryptedItemURL().toLocalFile();
        QTemporaryDir target;
        const QString saved = target.filePath(u"kept.txt"_s);
        VLAlertHandler::setNextAnswer(answer);
        if (answer == 1)
            VLSavePanel::setNextFileName(saved);
        QTest::keyClick(window.window()->windowHandle(), Qt::Key_Escape);
        QVERIFY(settleUntil(
            window, [&] { return window.navigation()->viewControllers().size() == screensLeft; }, 3000));
        window.settle(0.5);
        QCOMPARE(window.navigation()->viewControllers().size(), screensLeft);
        QCOMPARE(QFileInfo::exists(saved), answer == 1);
        QCOMPARE(QFileInfo::exists(item), answer != 1);
        if (!event.isEmpty())
            QTRY_VERIFY(analytics.hits().contains(event));
    }

    void quitAsksAboutTheUnsavedItem_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("panelAnswer"); // empty: the panel is cancelled
        QTest::addColumn<bool>("quits");
        QTest::newRow("Don't Save") << 0 << QString() << true;
        QTest::newRow("Save, then OK") << 1 << u"kept.txt"_s << true;
        QTest::newRow("Save, then Cancel") << 1 << QString() << false;
    }

    void quitAsksAboutTheUnsavedItem()
    {
        QFETCH(int, answer);
        QFETCH(QString, panelAnswer);
        QFETCH(bool, quits);
        FlowWindow window;
        runDecryption(window, m_singleFile, u"right"_s);
        QVERIFY(settleUntil(window, [&] { return window.topAs<VLDecryptedViewController>() != nullptr; }));
        QTemporaryDir target;
        VLTerminatorProxy *proxy = VLTerminatorProxy::sharedInstance();
        int exits = 0;
        proxy->setExitHandler([&exits] { ++exits; });
        VLAlertHandler::setNextAnswer(answer);
        if (answer == 1)
            VLSavePanel::setNextFileName(panelAnswer.isEmpty() ? QString() : target.filePath(panelAnswer));
        proxy->terminate();
        QTest::qWait(300);
        QTRY_COMPARE(exits, quits ? 1 : 0);
        if (!panelAnswer.isEmpty())
            QVERIFY(QFileInfo::exists(target.filePath(panelAnswer)));
    }

    // The save the question offers ends on the quit machine that asked, not on another one: it
    // quits after the save, and after a cancelled panel it asks again at the next quit.
    void theQuitSaveAnswersTheQuitMachineThatAsked_data()
    {
        QTest::addColumn<QString>("panelAnswer"); // empty: the panel is cancelled
        QTest::newRow("Save, then OK") << u"kept.txt"_s;
        QTest::newRow("Save, then Cancel") << QString();
    }

    void theQuitSaveAnswersTheQuitMachineThatAsked()
    {
        QFETCH(QString, panelAnswer);
        FlowWindow window;
        runDecryption(window, m_singleFile, u"right"_s);
        QVERIFY(settleUntil(window, [&] { return window.topAs<VLDecryptedViewController>() != nullptr; }));
        auto *result = window.topAs<VLDecryptedViewController>();
        int sharedExits = 0;
        VLTerminatorProxy::sharedInstance()->setExitHandler([&sharedExits] { ++sharedExits; });
        VLTerminatorProxy asking;
        int exits = 0;
        asking.setExitHandler([&exits] { ++exits; });
        asking.setTerminator(result);
        QTemporaryDir target;
        VLAlertHandler::setNextAnswer(VLAlert::defaultReturn);
        VLSavePanel::setNextFileName(panelAnswer.isEmpty() ? QString() : target.filePath(panelAnswer));
        asking.terminate();
        QTRY_VERIFY(VLAlertHandler::lastAlert().has_value());
        if (!panelAnswer.isEmpty()) {
            QTRY_COMPARE(exits, 1);
            QVERIFY(QFileInfo::exists(target.filePath(panelAnswer)));
        } else {
            QTest::qWait(300);
            QCOMPARE(exits, 0);
            VLAlertHandler::clearLastAlert();
            VLAlertHandler::setNextAnswer(VLAlert::otherReturn);
            asking.terminate();
            QTRY_VERIFY(VLAlertHandler::lastAlert().has_value());
        }
        QCOMPARE(sharedExits, 0);
    }
};

QTEST_MAIN(TestDecryptScreens)
#include "tst_decryptscreens.moc"
