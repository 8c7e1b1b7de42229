#include "windowing/windows/VLAlertHandler.h"
#include "windowing/windows/VLErrorsHandler.h"

#include "engine/archive/VLEncryptedArchiveConstants.h"
#include "engine/archive/VLEncryptedArchiveItem.h"

#include <QAbstractButton>
#include <QDir>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QWidget>

#include <cerrno>
#include <thread>

using namespace Qt::StringLiterals;

namespace {

const QString corrupted = QStringLiteral(
    "Unfortunately, the structure of this file is damaged and it cannot be decrypted.");
const QString cannotCreate = QStringLiteral("The .vault file cannot be created.");
const QString diskSpace = QStringLiteral(
    "Please make sure that you have enough disk space and read/write permissions.");

QAbstractButton *buttonTitled(QMessageBox *box, const QString &title)
{
    const QList<QAbstractButton *> buttons = box->buttons();
    for (QAbstractButton *button : buttons) {
        if (button->text() == title)
            return button;
    }
    return nullptr;
}

} // namespace

class TestErrorsHandler : public QObject
{
    Q_OBJECT

private slots:
    void init() { VLAlertHandler::clearLastAlert(); }

    void codeTable_data()
    {
        QTest::addColumn<qint64>("code");
        QTest::addColumn<QString>("rootItem");
        QTest::addColumn<QVariant>("item");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("message");

        const QString root = QStringLiteral("Taxes 2026.vault");
        for (qint64 code : {1001, 1004, 1006, 9, 101, 28})
            QTest::addRow("%lld cannot be created", code) << code << root << QVariant() << cannotCreate << diskSpace;

        const QString item = QStringLiteral("/srv/share/report.pdf");
        for (qint64 code : {1002, 1003})
            QTest::addRow("%lld cannot access", code)
                << code << root << QVariant(item) << QStringLiteral("Vaultine cannot access this item.")
                << QStringLiteral("Vaultine cannot process \"/srv/share/report.pdf\". Please make sure you have "
                                  "read/write permissions.");

        for (qint64 code : {104, 1102})
            QTest::addRow("%lld not a vault", code)
                << code << root << QVariant() << QStringLiteral("This file cannot be opened.")
                << QStringLiteral("\"Taxes 2026.vault\" is not a .vault file and cannot be decrypted with Vaultine.");

        for (qint64 code : {106, 1105})
            QTest::addRow("%lld newer version", code)
                << code << root << QVariant() << QStringLiteral("This file cannot be opened in this version.")
                << QStringLiteral("To decrypt this file, update Vaultine to the latest version.");

        for (qint64 code : {105, 1101, 1103, 1104, 1106, 1107, 1201, 1203, 1204, 1205, 1207, 1208})
            QTest::addRow("%lld corrupted", code)
                << code << root << QVariant() << QStringLiteral("\"Taxes 2026.vault\" is corrupted.") << corrupted;

        for (qint64 code : {107, 1009})
            QTest::addRow("%lld verification", code)
                << code << root << QVariant() << QStringLiteral("File verification failed.")
                << QStringLiteral("\"Taxes 2026.vault\" cannot be decrypted due to file verification fail.");

        // Paths in the home folder are shown with "~"; a real path wins over the stored one.
        const QString home = QDir::homePath();
        QTest::newRow("home path abbreviated")
            << qint64(1003) << QString() << QVariant(QString(home + QStringLiteral("/Documents/a b.txt")))
            << QStringLiteral("Vaultine cannot access this item.")
            << QStringLiteral("Vaultine cannot process \"~/Documents/a b.txt\". Please make sure you have read/write "
                              "permissions.");
        QTest::newRow("real path before stored path")
            << qint64(1002) << QString()
            << QVariant(QVariantMap{{QStringLiteral("path"), QStringLiteral("/a/b")},
                                    {QStringLiteral("realPath"), QString(home + QStringLiteral("/Desktop/b"))}})
            << QStringLiteral("Vaultine cannot access this item.")
            << QStringLiteral("Vaultine cannot process \"~/Desktop/b\". Please make sure you have read/write "
                              "permissions.");
        auto stored = std::make_shared<VLEncryptedArchiveItem>();
        stored->setPath(QStringLiteral("/Photos/2026/beach.jpg"));
        QTest::newRow("container item, stored path")
            << qint64(1003) << QString() << QVariant::fromValue(VLEncryptedArchiveItemPtr(stored))
            << QStringLiteral("Vaultine cannot access this item.")
            << QStringLiteral("Vaultine cannot process \"/Photos/2026/beach.jpg\". Please make sure you have "
                              "read/write permissions.");
        auto extracted = std::make_shared<VLEncryptedArchiveItem>();
        extracted->setPath(QStringLiteral("/Photos/2026/beach.jpg"));
        extracted->setRealPath(home + QStringLiteral("/Work/Photos/2026/beach.jpg"));
        QTest::newRow("container item, real path")
            << qint64(1002) << QString() << QVariant::fromValue(VLEncryptedArchiveItemPtr(extracted))
            << QStringLiteral("Vaultine cannot access this item.")
            << QStringLiteral("Vaultine cannot process \"~/Work/Photos/2026/beach.jpg\". Please make sure you have "
                              "read/write permissions.");
        QTest::newRow("a folder merely starting like home is not home")
            << qint64(1003) << QString() << QVariant(QString(home + QStringLiteral("x/file")))
            << QStringLiteral("Vaultine cannot access this item.")
            << QStringLiteral("Vaultine cannot process \"%1x/file\". Please make sure you have read/write "
                              "permissions.")
                   .arg(home);

        // A missing name is left out instead of showing a placeholder.
        QTest::newRow("corrupted without root item")
            << qint64(1101) << QString() << QVariant() << QStringLiteral("This file is corrupted.") << corrupted;
        QTest::newRow("not a vault without root item")
            << qint64(1102) << QString() << QVariant() << QStringLiteral("This file cannot be opened.")
            << QStringLiteral("This is not a .vault file and cannot be decrypted with Vaultine.");
        QTest::newRow("verification without root item")
            << qint64(1009) << QString() << QVariant() << QStringLiteral("File verification failed.")
            << QStringLiteral("This file cannot be decrypted due to file verification fail.");
        QTest::newRow("unreadable without item")
            << qint64(1003) << QString() << QVariant() << QStringLiteral("Vaultine cannot access this item.")
            << QStringLiteral("Vaultine cannot process this item. Please make sure you have read/write permissions.");
    }

    // A failed write is what it is: a full disk, or the system's own words; the reasons that speak
    // of an item's names, and errors without a system reason, keep their texts.
    void failedWrites_data()
    {
        QTest::addColumn<qint64>("code");
        QTest::addColumn<VLError>("underlying");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("message");
        const QString full = QStringLiteral("There is not enough free space on the disk.");
        const QString fullMessage = QStringLiteral("The disk that holds Vaultine's work folders is full. Free some "
                                                   "space on it and try again. Your files have not been changed.");
        const QString cannotWrite = QStringLiteral("Vaultine cannot write to the disk.");
        const auto inCreateItem = [](int errorNumber) {
            return VLError(
                VLEncryptedArchiveConstants::errorDomain, 1204,
                {{VLEncryptedArchiveConstants::keyUnderlyingError, QVariant::fromValue(VLError::posix(errorNumber))}});
        };
        QTest::newRow("container on a full disk") << qint64(1001) << VLError::posix(ENOSPC) << full << fullMessage;
        QTest::newRow("over quota") << qint64(1001) << VLError::posix(EDQUOT) << full << fullMessage;
        QTest::newRow("restored file on a full disk") << qint64(1207) << inCreateItem(ENOSPC) << full << fullMessage;
        QTest::newRow("restored folder on a full disk")
            << qint64(1207) << VLError::posix(ENOSPC) << full << fullMessage;
        QTest::newRow("read-only disk")
            << qint64(1207) << inCreateItem(EROFS) << cannotWrite
            << QStringLiteral("Writing to the disk that holds Vaultine's work folders failed: Read-only file system. "
                              "Your files have not been changed.");
        QTest::newRow("removed disk")
            << qint64(1001) << VLError::posix(EIO) << cannotWrite
            << QStringLiteral("Writing to the disk that holds Vaultine's work folders failed: Input/output error. "
                              "Your files have not been changed.");
        QTest::newRow("an item's name in the way")
            << qint64(1207) << VLError::posix(EEXIST) << QStringLiteral("This file is corrupted.") << corrupted;
        QTest::newRow("file that cannot be made, no reason")
            << qint64(1207) << VLError(VLEncryptedArchiveConstants::errorDomain, 1204)
            << QStringLiteral("This file is corrupted.") << corrupted;
        QTest::newRow("unreadable source keeps its text")
            << qint64(1003) << VLError::posix(ENOSPC) << QStringLiteral("Vaultine cannot access this item.")
            << QStringLiteral("Vaultine cannot process this item. Please make sure you have read/write permissions.");
    }

    void failedWrites()
    {
        QFETCH(qint64, code);
        QFETCH(VLError, underlying);
        QFETCH(QString, title);
        QFETCH(QString, message);
        const VLError error(VLEncryptedArchiveConstants::errorDomain, code,
                            {{VLEncryptedArchiveConstants::keyUnderlyingError, QVariant::fromValue(underlying)}});
        const VLAlert alert = VLErrorsHandler::alertForError(error, QString());
        QCOMPARE(alert.messageText(), title);
        QCOMPARE(alert.informativeText(), message);
    }

    // A copy or move to a place the user chose reports the bare system error.
    void aFullDiskAtAChosenPlace_data()
    {
        QTest::addColumn<int>("errorNumber");
        QTest::newRow("full") << ENOSPC;
        QTest::newRow("over quota") << EDQUOT;
    }

    void aFullDiskAtAChosenPlace()
    {
        QFETCH(int, errorNumber);
        const VLAlert alert = VLErrorsHandler::alertForError(VLError::posix(errorNumber), QString());
        QCOMPARE(alert.messageText(), QStringLiteral("There is not enough free space on the disk."));
        QCOMPARE(alert.informativeText(),
                 QStringLiteral("The item could not be saved there. Free some space on that disk and try again."));
    }

    void codeTable()
    {
        QFETCH(qint64, code);
        QFETCH(QString, rootItem);
        QFETCH(QVariant, item);
        QFETCH(QString, title);
        QFETCH(QString, message);

        QVariantMap info;
        if (item.isValid())
            info.insert(VLEncryptedArchiveConstants::keyItem, item);
        // Only the code decides: the domain is never looked at.
        for (const QString &domain : {VLEncryptedArchiveConstants::errorDomain, QStringLiteral("SomeOtherDomain")}) {
            const VLError presentable = VLErrorsHandler::presentableError(VLError(domain, code, info), rootItem);
            QCOMPARE(presentable.domain(), QStringLiteral("com.nimbrel.Vaultine"));
            QCOMPARE(presentable.code(), qint64(0));
            const VLAlert alert = VLErrorsHandler::alertForError(VLError(domain, code, info), rootItem);
            QCOMPARE(alert.messageText(), title);
            QCOMPARE(alert.informativeText(), message);
            QVERIFY(!alert.messageText().contains(QStringLiteral("(null)")));
            QVERIFY(!alert.informativeText().contains(u'%'));
            QCOMPARE(alert.buttons().size(), 1);
        }
    }

    void unmappedCodesKeepTheirOwnTexts_data()
    {
        QTest::addColumn<VLError>("error");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("message");

        QTest::newRow("rename field 514")
            << VLError(QStringLiteral("NSCocoaErrorDomain"), 514,
                       {{VLErrorsHandler::localizedDescriptionKey, QStringLiteral("The name “a/b” is invalid.")},
                        {VLErrorsHandler::localizedRecoverySuggestionKey, QStringLiteral("Try another name.")}})
            << QStringLiteral("The name “a/b” is invalid.") << QStringLiteral("Try another name.");
        QTest::newRow("undescribed 1210")
            << VLError(VLEncryptedArchiveConstants::errorDomain, 1210)
            << QStringLiteral("The operation couldn’t be completed. (VLEncryptedArchiveErrorDomain error 1210.)")
            << QString();
        QTest::newRow("posix 2") << VLError::posix(2)
                                 << QStringLiteral("The operation couldn’t be completed. No such file or directory")
                                 << QString();
        QTest::newRow("no error") << VLError() << QStringLiteral("An unknown error has occurred.")
                                  << QStringLiteral("Vaultine failed due to an unknown error. Please try again.");
    }

    void unmappedCodesKeepTheirOwnTexts()
    {
        QFETCH(VLError, error);
        QFETCH(QString, title);
        QFETCH(QString, message);
        const VLAlert alert = VLErrorsHandler::alertForError(error, QStringLiteral("x.vault"));
        QCOMPARE(alert.messageText(), title);
        QCOMPARE(alert.informativeText(), message);
    }

    void confirmationAlerts_data()
    {
        QTest::addColumn<VLAlert>("alert");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("informative");
        QTest::addColumn<QStringList>("buttons");
        QTest::addColumn<QList<int>>("codes");

        QTest::newRow("before quitting")
            << VLErrorsHandler::unsavedItemAlertBeforeQuitting(QStringLiteral("Photos.vault"))
            << QStringLiteral("Do you want to save a copy of \"Photos.vault\" before quitting?")
            << QStringLiteral("This file will be lost if you quit before saving it to a location.")
            << QStringList{u"Save"_s, u"Don't Save"_s, u"Cancel"_s} << QList<int>{1, 0, -1};
        QTest::newRow("before quitting, no name")
            << VLErrorsHandler::unsavedItemAlertBeforeQuitting(QString())
            << QStringLiteral("Do you want to save a copy of this file before quitting?")
            << QStringLiteral("This file will be lost if you quit before saving it to a location.")
            << QStringList{u"Save"_s, u"Don't Save"_s, u"Cancel"_s} << QList<int>{1, 0, -1};
        QTest::newRow("before starting over")
            << VLErrorsHandler::unsavedItemAlertBeforeStartingOver(QStringLiteral("Photos.vault"))
            << QStringLiteral("Are you sure you want to start over?")
            << QStringLiteral("This file will be lost if you start over before saving it to a location.")
            << QStringList{u"Save"_s, u"Don't Save"_s, u"Cancel"_s} << QList<int>{1, 0, -1};
        QTest::newRow("unfinished")
            << VLErrorsHandler::unfinishedItemAlert(QStringLiteral("Photos"))
            << QStringLiteral("Are you sure you want to quit?")
            << QStringLiteral("Vaultine is currently processing a file. All of the current progress will be lost if "
                              "you quit now.")
            << QStringList{u"Quit Anyway"_s, u"Cancel"_s} << QList<int>{1, 0};
        QTest::newRow("application inside")
            << VLErrorsHandler::applicationsInArchiveAlert()
            << QStringLiteral("An application has been detected in this .vault file.")
            << QStringLiteral("Vaultine needs your permission to make the changes necessary for the enclosed app to "
                              "work correctly once it has been decrypted. Please locate your home folder to allow "
                              "for this.")
            << QStringList{u"Locate"_s, u"Decrypt Anyway"_s} << QList<int>{1, 0};
    }

    void confirmationAlerts()
    {
        QFETCH(VLAlert, alert);
        QFETCH(QString, message);
        QFETCH(QString, informative);
        QFETCH(QStringList, buttons);
        QFETCH(QList<int>, codes);
        QCOMPARE(alert.messageText(), message);
        QCOMPARE(alert.informativeText(), informative);
        QStringList titles;
        QList<int> returns;
        for (const VLAlert::Button &button : alert.buttons()) {
            titles << button.title;
            returns << button.returnCode;
        }
        QCOMPARE(titles, buttons);
        QCOMPARE(returns, codes);
    }

    // Real clicks and Escape on a sheet of a real window.
    void buttonsAnswerWithTheirCodes_data()
    {
        QTest::addColumn<VLAlert>("alert");
        QTest::addColumn<QString>("press"); // a button title, or "Escape"
        QTest::addColumn<int>("expected");  // 99: the sheet stays open

        const VLAlert quitting = VLErrorsHandler::unsavedItemAlertBeforeQuitting(QStringLiteral("a.vault"));
        QTest::newRow("Save") << quitting << u"Save"_s << 1;
        QTest::newRow("Don't Save") << quitting << u"Don't Save"_s << 0;
        QTest::newRow("Cancel") << quitting << u"Cancel"_s << -1;
        QTest::newRow("Escape cancels") << quitting << u"Escape"_s << -1;
        const VLAlert unfinished = VLErrorsHandler::unfinishedItemAlert(QStringLiteral("a"));
        QTest::newRow("Quit Anyway") << unfinished << u"Quit Anyway"_s << 1;
        QTest::newRow("Escape on quit question") << unfinished << u"Escape"_s << 0;
        const VLAlert application = VLErrorsHandler::applicationsInArchiveAlert();
        QTest::newRow("Decrypt Anyway") << application << u"Decrypt Anyway"_s << 0;
        QTest::newRow("Escape picks neither Locate nor Decrypt Anyway") << application << u"Escape"_s << 99;
        const VLAlert error = VLErrorsHandler::alertForError(VLError(), QString());
        QTest::newRow("error alert OK") << error << u"OK"_s << VLAlert::firstButtonReturn;
        QTest::newRow("Escape on error alert") << error << u"Escape"_s << VLAlert::firstButtonReturn;
    }

    void buttonsAnswerWithTheirCodes()
    {
        QFETCH(VLAlert, alert);
        QFETCH(QString, press);
        QFETCH(int, expected);

        QWidget window;
        window.resize(400, 300);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        std::optional<int> answer;
        VLAlertHandler::beginSheetModalForWindowWithAlertCompletionHandler(&window, alert,
                                                                           [&answer](int code) { answer = code; });
        QMessageBox *box = VLAlertHandler::currentAlert(&window);
        QVERIFY(box);
        QVERIFY(box->isVisible());
        QCOMPARE(box->windowModality(), Qt::WindowModal);
        QCOMPARE(box->text(), alert.messageText());
        QVERIFY(VLAlertHandler::isSheetOpen(&window));

        if (press == u"Escape") {
            QTest::keyClick(box, Qt::Key_Escape);
        } else {
            QAbstractButton *button = buttonTitled(box, press);
            QVERIFY(button);
            QTest::mouseClick(button, Qt::LeftButton);
        }
        if (expected == 99) {
            QTest::qWait(50);
            QVERIFY(!answer);
            QVERIFY(box->isVisible());
            QTest::mouseClick(buttonTitled(box, QStringLiteral("Locate")), Qt::LeftButton);
            QTRY_COMPARE(answer, std::optional<int>(1));
            return;
        }
        QTRY_COMPARE(answer, std::optional<int>(expected));
        QVERIFY(!VLAlertHandler::isSheetOpen(&window));
    }

    void sheetsQueuePerWindow()
    {
        QWidget first;
        QWidget second;
        first.resize(300, 200);
        second.resize(300, 200);
        first.show();
        second.show();
        QVERIFY(QTest::qWaitForWindowExposed(&first));
        QVERIFY(QTest::qWaitForWindowExposed(&second));

        QStringList answers;
        auto record = [&answers](const QString &name) {
            return [&answers, name](int code) { answers << name + QString::number(code); };
        };
        const VLAlert a = VLErrorsHandler::unsavedItemAlertBeforeQuitting(QStringLiteral("A"));
        const VLAlert b = VLErrorsHandler::unsavedItemAlertBeforeQuitting(QStringLiteral("B"));
        const VLAlert c = VLErrorsHandler::unsavedItemAlertBeforeQuitting(QStringLiteral("C"));
        VLAlertHandler::beginSheetModalForWindowWithAlertCompletionHandler(&first, a, record(QStringLiteral("a")));
        VLAlertHandler::beginSheetModalForWindowWithAlertCompletionHandler(&first, b, record(QStringLiteral("b")));
        VLAlertHandler::beginSheetModalForWindowWithAlertCompletionHandler(&second, c, record(QStringLiteral("c")));

        // Each window shows its own first sheet; the second sheet of the first window waits.
        QMessageBox *shown = VLAlertHandler::currentAlert(&first);
        QVERIFY(shown);
        QCOMPARE(shown->text(), a.messageText());
        QCOMPARE(VLAlertHandler::currentAlert(&second)->text(), c.messageText());
        QCOMPARE(shown->parentWidget(), &first);

        QTest::mouseClick(buttonTitled(shown, QStringLiteral("Don't Save")), Qt::LeftButton);
        QTRY_COMPARE(answers, QStringList{u"a0"_s});
        QVERIFY(VLAlertHandler::isSheetOpen(&first));
        QMessageBox *next = VLAlertHandler::currentAlert(&first);
        QVERIFY(next);
        QCOMPARE(next->text(), b.messageText());
        QVERIFY(next->isVisible());

        QTest::mouseClick(buttonTitled(VLAlertHandler::currentAlert(&second), QStringLiteral("Save")), Qt::LeftButton);
        QTest::keyClick(next, Qt::Key_Escape);
        QTRY_COMPARE(answers.size(), 3);
        QCOMPARE(answers, (QStringList{u"a0"_s, u"c1"_s, u"b-1"_s}));
        QVERIFY(!VLAlertHandler::isSheetOpen(&first));
        QVERIFY(!VLAlertHandler::isSheetOpen(&second));
    }

    void sheetBegunInACompletionWaitsItsTurn()
    {
        QWidget window;
        window.resize(300, 200);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QStringList order;
        const VLAlert error = VLErrorsHandler::alertForError(VLError(), QString());
        VLAlertHandler::beginSheetModalForWindowWithAlertCompletionHandler(&window, error, [&](int) {
            order << QStringLiteral("first");
            VLAlertHandler::beginSheetModalForWindowWithAlertCompletionHandler(
                &window, error, [&](int) { order << QStringLiteral("third"); });
        });
        VLAlertHandler::beginSheetModalForWindowWithAlertCompletionHandler(
            &window, error, [&](int) { order << QStringLiteral("second"); });
        for (int i = 0; i < 3; ++i) {
            QMessageBox *box = nullptr;
            QTRY_VERIFY((box = VLAlertHandler::currentAlert(&window)));
            QTest::keyClick(box, Qt::Key_Return);
            QTRY_COMPARE(order.size(), i + 1);
        }
        QCOMPARE(order, (QStringList{u"first"_s, u"second"_s, u"third"_s}));
    }

    void nextAnswerHookAnswersWithoutShowing()
    {
        QWidget window;
        window.show();
        VLAlertHandler::setNextAnswer(0);
        std::optional<int> answer;
        VLAlertHandler::beginSheetModalForWindowWithAlertCompletionHandler(
            &window, VLErrorsHandler::unfinishedItemAlert(QString()), [&answer](int code) { answer = code; });
        QVERIFY(!answer); // never inside the call that began it
        QVERIFY(!VLAlertHandler::currentAlert(&window));
        QTRY_COMPARE(answer, std::optional<int>(0));
        QCOMPARE(VLAlertHandler::lastAlert()->messageText(), QStringLiteral("Are you sure you want to quit?"));
    }

    void backgroundCallShowsLaterOnTheMainThread()
    {
        QWidget window;
        window.resize(300, 200);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        std::optional<int> answer;
        std::thread worker([&window, &answer] {
            VLErrorsHandler::showAlertWithErrorRootItemWindowCompletionHandler(
                VLError(VLEncryptedArchiveConstants::errorDomain, 1101), QStringLiteral("Old.vault"), &window,
                [&answer](int code) { answer = code; });
        });
        worker.join();
        // The call has returned; the sheet comes with the main loop.
        QVERIFY(!VLAlertHandler::currentAlert(&window));
        QMessageBox *box = nullptr;
        QTRY_VERIFY((box = VLAlertHandler::currentAlert(&window)));
        QCOMPARE(box->text(), QStringLiteral("\"Old.vault\" is corrupted."));
        QCOMPARE(box->informativeText(), corrupted);
        QTest::mouseClick(buttonTitled(box, QStringLiteral("OK")), Qt::LeftButton);
        QTRY_COMPARE(answer, std::optional<int>(VLAlert::firstButtonReturn));
    }

    void namesAreShownAsPlainText()
    {
        QWidget window;
        window.show();
        VLErrorsHandler::showAlertWithErrorRootItemWindowCompletionHandler(
            VLError(VLEncryptedArchiveConstants::errorDomain, 1102), QStringLiteral("<b>bold</b>.vault"), &window, {});
        QMessageBox *box = VLAlertHandler::currentAlert(&window);
        QVERIFY(box);
        QCOMPARE(box->textFormat(), Qt::PlainText);
        auto *informative = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_informativelabel"));
        QVERIFY(informative);
        QVERIFY(informative->text().startsWith(QStringLiteral("\"<b>bold</b>.vault\"")));
        QCOMPARE(informative->textFormat(), Qt::PlainText);
        box->reject();
    }
};

QTEST_MAIN(TestErrorsHandler)
#include "tst_errorshandler.moc"
