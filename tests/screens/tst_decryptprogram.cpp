#include "controls/VLRoundedButton.h"
#include "engine/files/VLTempCleaner.h"
#include "platform/core/Library.h"
#include "platform/view/ViewFrame.h"
#include "screens/VLDropViewController.h"
#include "screens/decrypt/VLDecryptCompletedViewController.h"
#include "screens/decrypt/VLDecryptViewController.h"
#include "screens/decrypt/VLDecryptedViewController.h"
#include "tests/screens/FlowTestSupport.h"
#include "tests/support/SmallTmpfs.h"
#include "windowing/windows/VLAlert.h"
#include "windowing/windows/VLSavePanel.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QTimer>

using namespace Qt::StringLiterals;

// The decrypt flow as a user meets it: the program's main window, real key presses and clicks,
// the real job and the real animation clock.
namespace {

// Types the text and Return as key presses into the window, which hands them to its focus.
void typeIntoWindow(QWidget *window, const QString &text)
{
    for (const QChar c : text)
        QTest::keyClick(window->windowHandle(), c.toLatin1());
    QTest::keyClick(window->windowHandle(), Qt::Key_Return);
}

// Shows the program's main window and drops the container on it: the password screen that
// follows, once it has the focus (null when it never comes).
VLDecryptViewController *dropContainer(VLContentWindowController &controller, const QUrl &container)
{
    controller.showWindow();
    if (!QTest::qWaitForWindowExposed(controller.window()))
        return nullptr;
    controller.processAddedFiles(QStringList{container.toLocalFile()});
    VLDecryptViewController *password = nullptr;
    const bool shown = QTest::qWaitFor(
        [&] {
            password = qobject_cast<VLDecryptViewController *>(
                controller.navigationController()->topViewController().get());
            return password && QApplication::focusWidget() == password->passwordTextField();
        },
        5000);
    return shown ? password : nullptr;
}

} // namespace

class TestDecryptProgram : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        platform::setApplicationIdentity();
        VLContentWindowController::setRootViewControllerFactory(
            [] { return VLViewControllerPtr(VLViewController::create<VLDropViewController>()); });
    }

    void cleanupTestCase() { VLContentWindowController::setRootViewControllerFactory({}); }

    void aContainerIsRestoredAndSaved()
    {
        QTemporaryDir dir;
        const QString source = dir.filePath(u"Letters"_s);
        QVERIFY(writeTestFile(source + u"/2024/june.txt"_s, "Dear June"));
        QVERIFY(writeTestFile(source + u"/2024/july.txt"_s, QByteArray(300000, 'j')));
        QVERIFY(writeTestFile(source + u"/readme.md"_s, "# letters"));
        const QUrl container = makeContainer({QUrl::fromLocalFile(source)}, dir.filePath(u"letters.vault"_s),
                                             u"open sesame"_s, u"a phrase"_s);
        QVERIFY(container.isValid());
        VLTempCleaner::sharedInstance().sync_clean();

        VLContentWindowController controller;
        VLDecryptViewController *password = dropContainer(controller, container);
        QVERIFY(password);
        QWidget *window = controller.window();
        QCOMPARE(password->passwordHintTextField()->text(), u"Hint: a phrase"_s);

        // A wrong password: the window shakes and nothing is restored.
        const QRectF home = vlFrame(window);
        double leftmost = 0.0;
        QTimer sampler;
        QObject::connect(&sampler, &QTimer::timeout, &sampler,
                         [&] { leftmost = std::min(leftmost, vlFrame(window).x() - home.x()); });
        sampler.start(5);
        typeIntoWindow(window, u"open sesam"_s);
        QVERIFY(VLAnimator::animationForKey(window, VLDecryptViewController::postShakeAnimationKey));
        QTRY_VERIFY(!VLAnimator::animationForKey(window, VLDecryptViewController::postShakeAnimationKey));
        sampler.stop();
        QVERIFY(leftmost < -1.0);
        QCOMPARE(vlFrame(window), home);
        QCOMPARE(controller.navigationController()->topViewController().get(), password);
        QVERIFY(QDir(VLTempCleaner::workFolderArea()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot));

        // The right one: the text is selected, so typing replaces it.
        typeIntoWindow(window, u"open sesame"_s);
        VLDecryptedViewController *result = nullptr;
        QTRY_VERIFY_WITH_TIMEOUT((result = qobject_cast<VLDecryptedViewController *>(
                                      controller.navigationController()->topViewController().get())),
                                 30000);
        QCOMPARE(treeListing(result->decryptedItemURL().toLocalFile()), treeListing(source));

        // Save As through the save panel.
        QTemporaryDir target;
        const QString saved = target.filePath(u"Letters restored"_s);
        VLSavePanel::setNextFileName(saved);
        QTRY_VERIFY(controller.navigationController()->canNavigate());
        QTest::mouseClick(result->saveButton(), Qt::LeftButton);
        VLDecryptCompletedViewController *completed = nullptr;
        QTRY_VERIFY_WITH_TIMEOUT((completed = qobject_cast<VLDecryptCompletedViewController *>(
                                      controller.navigationController()->topViewController().get())),
                                 10000);
        QCOMPARE(completed->url(), QUrl::fromLocalFile(saved));
        QCOMPARE(treeListing(saved), treeListing(source));
        QCOMPARE(qobject_cast<QLabel *>(completed->titleLabel())->text(), u"Folder Decrypted and Saved!"_s);

        // Start Over returns to the start screen.
        QTRY_VERIFY(controller.navigationController()->canNavigate());
        QTest::keyClick(window->windowHandle(), Qt::Key_Escape);
        QTRY_COMPARE(controller.navigationController()->viewControllers().size(), 1);
    }

    // One flipped byte inside an item's data: one alert, and once it is answered nothing that
    // the failed decryption restored is left, the damaged item's unchecked bytes included.
    void aDamagedItemLeavesNothingRestored()
    {
        QTemporaryDir dir;
        const QString source = dir.filePath(u"Papers"_s);
        QVERIFY(writeTestFile(source + u"/a.txt"_s, "first"));
        QByteArray noise(1 << 20, Qt::Uninitialized);
        for (qsizetype i = 0; i < noise.size(); ++i)
            noise[i] = char((i * 2654435761u) >> 13);
        QVERIFY(writeTestFile(source + u"/b.bin"_s, noise));
        QVERIFY(writeTestFile(source + u"/c.txt"_s, "last"));
        const QUrl container = makeContainer({QUrl::fromLocalFile(source)}, dir.filePath(u"papers.vault"_s), u"pw"_s);
        QVERIFY(container.isValid());
        {
            // The middle of the container lies inside the large item's section.
            QFile file(container.toLocalFile());
            QVERIFY(file.open(QIODevice::ReadWrite));
            const qint64 middle = file.size() / 2;
            QVERIFY(file.seek(middle));
            const char byte = file.read(1).at(0);
            QVERIFY(file.seek(middle));
            QVERIFY(file.putChar(char(byte ^ 0x20)));
        }
        VLTempCleaner::sharedInstance().sync_clean();

        VLContentWindowController controller;
        VLDecryptViewController *password = dropContainer(controller, container);
        QVERIFY(password);
        QWidget *window = controller.window();

        // The one alert is answered as it comes; a second one would stay open on the window.
        VLAlertHandler::clearLastAlert();
        VLAlertHandler::setNextAnswer(VLAlert::defaultReturn);
        typeIntoWindow(window, u"pw"_s);
        QTRY_VERIFY_WITH_TIMEOUT(VLAlertHandler::lastAlert(), 30000);
        // The damaged bytes break the item's compressed stream before its check is reached.
        QCOMPARE(VLAlertHandler::lastAlert()->messageText(), u"\"papers.vault\" is corrupted."_s);
        QTRY_COMPARE(controller.navigationController()->topViewController().get(), password);
        QTRY_VERIFY(controller.navigationController()->canNavigate());
        QVERIFY(!VLAlertHandler::isSheetOpen(window));
        QTRY_VERIFY(
            QDir(VLTempCleaner::workFolderArea()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
    }

    // Restoring onto a full disk says so: the container is whole, and the alert must not make
    // the user believe otherwise.
    void aFullDiskIsReportedAsAFullDisk()
    {
        QTemporaryDir dir;
        const QString source = dir.filePath(u"Scans"_s);
        QByteArray random(2 << 20, '\0');
        QRandomGenerator::global()->fillRange(reinterpret_cast<quint32 *>(random.data()), random.size() / 4);
        QVERIFY(writeTestFile(source + u"/scan.bin"_s, random));
        QVERIFY(writeTestFile(source + u"/note.txt"_s, "scanned"));
        const QUrl container = makeContainer({QUrl::fromLocalFile(source)}, dir.filePath(u"scans.vault"_s), u"pw"_s,
                                             QString());
        QVERIFY(container.isValid());
        VLTempCleaner::sharedInstance().sync_clean();
        const auto digest = [&container] {
            QFile file(container.toLocalFile());
            QCryptographicHash hash(QCryptographicHash::Sha256);
            return file.open(QIODevice::ReadOnly) && hash.addData(&file) ? hash.result() : QByteArray();
        };
        const QByteArray before = digest();

        SmallTmpfs disk(VLTempCleaner::workFolderArea(), 512 * 1024);
        if (!disk.isMounted())
            QSKIP(qPrintable(disk.reason()));
        VLContentWindowController::setRootViewControllerFactory(
            [] { return VLViewControllerPtr(VLViewController::create<VLDropViewController>()); });
        const auto resetFactory = qScopeGuard([] { VLContentWindowController::setRootViewControllerFactory({}); });
        VLContentWindowController controller;
        controller.showWindow();
        QWidget *window = controller.window();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        VLAlertHandler::clearLastAlert();
        VLAlertHandler::setNextAnswer(1);
        controller.processAddedFiles(QStringList{container.toLocalFile()});
        VLDecryptViewController *password = nullptr;
        QTRY_VERIFY((password = qobject_cast<VLDecryptViewController *>(
                         controller.navigationController()->topViewController().get())));
        QTRY_COMPARE(QApplication::focusWidget(), password->passwordTextField());
        typeIntoWindow(window, u"pw"_s);

        QTRY_VERIFY_WITH_TIMEOUT(VLAlertHandler::lastAlert().has_value(), 30000);
        const VLAlert alert = *VLAlertHandler::lastAlert();
        QCOMPARE(alert.messageText(), u"There is not enough free space on the disk."_s);
        QVERIFY2(!alert.informativeText().contains(u"damaged"_s), qPrintable(alert.informativeText()));
        QCOMPARE(digest(), before);
        QVERIFY(
            !qobject_cast<VLDecryptedViewController *>(controller.navigationController()->topViewController().get()));
    }
};

QTEST_MAIN(TestDecryptProgram)
#include "tst_decryptprogram.moc"
