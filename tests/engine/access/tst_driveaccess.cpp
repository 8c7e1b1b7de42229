#include "engine/access/VLDriveAccessController.h"
#include "engine/files/KXAdditions.h"
#include "platform/core/Library.h"
#include "platform/core/Log.h"
#include "platform/core/Sandbox.h"
#include "windowing/windows/VLAccessPanel.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWidget>

namespace {

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QUrl folder(const QString &path)
{
    return QUrl::fromLocalFile(QDir::cleanPath(path));
}

} // namespace

class TestDriveAccess : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        platform::setApplicationIdentity();
        // The panel is the window layer's, installed as in the program's main window.
        VLAccessPanel::install();
    }

    void init()
    {
        platform::setSandboxedForTesting(true);
        QFile::remove(VLDriveAccessController::rootBookmarkPath());
        QFile::remove(VLDriveAccessController::decBookmarkPath());
        m_window = std::make_unique<QWidget>();
        m_window->resize(400, 300);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }

    void cleanup()
    {
        VLAccessPanel::setNextPanelAnswer({});
        platform::setSandboxedForTesting(std::nullopt);
        m_window.reset();
    }

    void withoutPanelTheRequestEndsCancelled()
    {
        VLDriveAccessController::setPanelRunner({});
        const auto restore = qScopeGuard([] { VLAccessPanel::install(); });
        VLDriveAccessController controller;
        VLError error;
        QVERIFY(!controller.askGrantAccessWindow(&error, m_window.get()));
        QVERIFY(!error);
        QVERIFY(!QFile::exists(VLDriveAccessController::rootBookmarkPath()));
        QVERIFY(!controller.isAccessingRoot());
    }

    void bookmarkPaths()
    {
        QCOMPARE(VLDriveAccessController::rootBookmarkPath(),
                 platform::libraryPath() + u"/Preferences/.rootBook.dat"_qs);
        QCOMPARE(VLDriveAccessController::decBookmarkPath(), platform::libraryPath() + u"/Preferences/.decBook.dat"_qs);
    }

    void confirmedHomeFolderIsKeptForTheNextRun()
    {
        const QString home = KXAdditions::com_nimbrel_vaultine_homeDir();
        QString startDirectory;
        Qt::WindowModality modality = Qt::NonModal;
        bool native = true;
        VLAccessPanel::setNextPanelAnswer([&](QFileDialog *panel) {
            startDirectory = panel->directory().absolutePath();
            modality = panel->windowModality();
            native = !panel->testOption(QFileDialog::DontUseNativeDialog);
            QVERIFY(panel->isVisible());
            static_cast<QDialog *>(panel)->accept();
        });
        {
            VLDriveAccessController controller;
            VLError error;
            QVERIFY(controller.askGrantAccessWindow(&error, m_window.get()));
            QVERIFY(error.isNull());
            QCOMPARE(controller.rootURL(), folder(home));
        }
        QCOMPARE(QDir::cleanPath(startDirectory), QDir::cleanPath(home));
        QCOMPARE(modality, Qt::WindowModal);
        QVERIFY(!native);
        QCOMPARE(readFile(VLDriveAccessController::rootBookmarkPath()), QDir::cleanPath(home).toUtf8());

        // A later run reopens it without a panel.
        VLAccessPanel::setNextPanelAnswer([](QFileDialog *panel) {
            QFAIL("no panel expected");
            panel->reject();
        });
        VLDriveAccessController nextRun;
        QVERIFY(nextRun.startGrantAccess());
        QCOMPARE(nextRun.rootURL(), folder(home));
        QVERIFY(nextRun.isAccessingRoot());
        nextRun.stopAccess();
        QVERIFY(!nextRun.isAccessingRoot());
        QCOMPARE(nextRun.rootURL(), folder(home)); // the URL stays
        QVERIFY(nextRun.startGrantAccess());
    }

    void cancelledPanelWritesNothing()
    {
        VLAccessPanel::setNextPanelAnswer([](QFileDialog *panel) { panel->reject(); });
        VLDriveAccessController controller;
        QVERIFY(!controller.askGrantAccessWindow(nullptr, m_window.get()));
        QVERIFY(!QFileInfo::exists(VLDriveAccessController::rootBookmarkPath()));
        // rootURL was set before the user answered, so the same run counts the grant as asked for.
        QCOMPARE(controller.rootURL(), folder(KXAdditions::com_nimbrel_vaultine_homeDir()));
        QVERIFY(controller.startGrantAccess());
    }

    void windowClosedUnderThePanel()
    {
        // The window goes while the panel waits: the request ends as cancelled, nothing written.
        VLAccessPanel::setNextPanelAnswer(
            [this](QFileDialog *) { QTimer::singleShot(0, this, [this] { m_window.reset(); }); });
        VLDriveAccessController controller;
        VLError error;
        QVERIFY(!controller.askGrantAccessWindow(&error, m_window.get()));
        QVERIFY(!m_window);
        QVERIFY(error.isNull());
        QVERIFY(!QFileInfo::exists(VLDriveAccessController::rootBookmarkPath()));

        // A later request opens a panel again.
        m_window = std::make_unique<QWidget>();
        m_window->show();
        VLAccessPanel::setNextPanelAnswer([](QFileDialog *panel) { panel->reject(); });
        QVERIFY(!controller.askGrantAccessWindow(nullptr, m_window.get()));
    }

    void panelRefusesEveryOtherFolder()
    {
        QTemporaryDir other;
        bool stayedOpen = false;
        VLAccessPanel::setNextPanelAnswer([&](QFileDialog *panel) {
            panel->setDirectory(other.path());
            static_cast<QDialog *>(panel)->accept();
            stayedOpen = panel->isVisible() && panel->result() != QDialog::Accepted;
            panel->reject();
        });
        VLDriveAccessController controller;
        QVERIFY(!controller.askGrantAccessWindow(nullptr, m_window.get()));
        QVERIFY(stayedOpen);
        QVERIFY(!QFileInfo::exists(VLDriveAccessController::rootBookmarkPath()));

        controller.setCurrentAllowedURL(folder(other.path()));
        QVERIFY(controller.panelShouldEnableURL(folder(other.path() + u"/"_qs)));
        QVERIFY(!controller.panelShouldEnableURL(folder(QDir::tempPath())));
        controller.setCurrentAllowedURL(QUrl());
        QVERIFY(controller.panelShouldEnableURL(folder(QDir::tempPath())));
    }

    void storedGrantsThatDoNotResolve()
    {
        VLDriveAccessController controller;
        VLError error;
        QUrl resolved;
        // No file.
        QVERIFY(!controller.startBookmarkAccessingResolvedURL(VLDriveAccessController::rootBookmarkPath(), &resolved,
                                                              &error));
        QCOMPARE(error.code(), qint64(ENOENT));
        QVERIFY(!controller.startGrantAccess());
        QVERIFY(controller.rootURL().isEmpty());

        // A folder that is gone.
        QStringList lines;
        platform::setLogSink([&lines](const QString &line) { lines << line; });
        QTemporaryDir gone;
        const QString path = gone.path();
        gone.remove();
        QFile file(VLDriveAccessController::rootBookmarkPath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(path.toUtf8());
        file.close();
        error = VLError();
        QVERIFY(!controller.startGrantAccess(&error));
        platform::setLogSink({});
        QVERIFY(!error.isNull());
        QCOMPARE(lines.size(), 1);
        QVERIFY(lines.first().startsWith(u"[AC]: cant resolve bookmark "_qs));
    }

    void secondFolderGrant()
    {
        QTemporaryDir chosen;
        VLAccessPanel::setNextPanelAnswer([&](QFileDialog *panel) {
            panel->setDirectory(chosen.path());
            static_cast<QDialog *>(panel)->accept();
        });
        VLDriveAccessController controller;
        QUrl result;
        QVERIFY(controller.askDecFolderAccessWindowError(m_window.get(), nullptr, &result));
        QCOMPARE(result, folder(chosen.path()));
        QCOMPARE(controller.currentDecryptionFolderPath(), QDir::cleanPath(chosen.path()));

        VLDriveAccessController nextRun;
        QVERIFY(nextRun.startDecFolderAccess(nullptr));
        QCOMPARE(nextRun.decFolderURL(), folder(chosen.path()));
    }

    void outsideASandboxTheGrantIsHeld()
    {
        platform::setSandboxedForTesting(false);
        VLAccessPanel::setNextPanelAnswer([](QFileDialog *panel) {
            QFAIL("no panel expected");
            panel->reject();
        });
        VLDriveAccessController controller;
        QVERIFY(controller.startGrantAccess());
        QCOMPARE(controller.rootURL(), folder(KXAdditions::com_nimbrel_vaultine_homeDir()));
        VLDriveAccessController asking;
        QVERIFY(asking.askGrantAccessWindow(nullptr, m_window.get()));
        QVERIFY(!QFileInfo::exists(VLDriveAccessController::rootBookmarkPath()));
        QCOMPARE(&VLDriveAccessController::sharedInstance(), &VLDriveAccessController::sharedInstance());
    }

private:
    std::unique_ptr<QWidget> m_window;
};

QTEST_MAIN(TestDriveAccess)
#include "tst_driveaccess.moc"
