#include "windowing/windows/VLAlertHandler.h"

#include "windowing/windows/VLSheetRegistry.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QHash>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QQueue>
#include <QTimer>
#include <QWidget>

namespace {

struct HandlerState
{
    QPointer<QWidget> mainWindow;
    QQueue<int> nextAnswers;
    std::optional<VLAlert> lastAlert;
};

HandlerState &state()
{
    static HandlerState s;
    return s;
}

QMessageBox *makeMessageBox(QWidget *parent, const VLAlert &alert, QHash<QAbstractButton *, int> &codes)
{
    auto *box = new QMessageBox(parent);
    box->setIcon(alert.icon());
    box->setText(alert.messageText());
    box->setInformativeText(alert.informativeText());
    // Plain text only: item names come from the file system and must not be read as markup.
    box->setTextFormat(Qt::PlainText);
    if (auto *informative = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_informativelabel")))
        informative->setTextFormat(Qt::PlainText);
    box->setWindowTitle(QCoreApplication::applicationName());
    const std::optional<int> escapeCode = alert.escapeReturnCode();
    bool first = true;
    for (const VLAlert::Button &button : alert.buttons()) {
        const auto role = first                                       ? QMessageBox::AcceptRole
                          : button.returnCode == VLAlert::otherReturn ? QMessageBox::RejectRole
                                                                      : QMessageBox::DestructiveRole;
        QPushButton *pushButton = box->addButton(button.title, role);
        codes.insert(pushButton, button.returnCode);
        if (first)
            box->setDefaultButton(pushButton);
        if (escapeCode && *escapeCode == button.returnCode)
            box->setEscapeButton(pushButton);
        first = false;
    }
    // With several buttons and none that cancels, no button has the reject role, so Escape
    // picks none of them (the platform's alerts behave the same).
    return box;
}

} // namespace

void VLAlertHandler::beginSheetModalForWindowWithAlertCompletionHandler(QWidget *window, const VLAlert &alert,
                                                                        CompletionHandler completion)
{
    HandlerState &s = state();
    s.lastAlert = alert;
    if (!window)
        window = s.mainWindow;

    if (!s.nextAnswers.isEmpty()) {
        const int answer = s.nextAnswers.dequeue();
        QTimer::singleShot(0, [completion = std::move(completion), answer] {
            if (completion)
                completion(answer);
        });
        return;
    }

    QHash<QAbstractButton *, int> codes;
    QMessageBox *box = makeMessageBox(window ? window->window() : nullptr, alert, codes);
    // A box that ends without a click (its window went away) answers as Escape would.
    const int unclickedCode = alert.escapeReturnCode().value_or(alert.buttons().value(0).returnCode);
    VLSheetRegistry::instance().beginSheet(
        window, box, [codes, unclickedCode, completion = std::move(completion)](QDialog *sheet, int) {
            auto *messageBox = static_cast<QMessageBox *>(sheet);
            const int code = codes.value(messageBox->clickedButton(), unclickedCode);
            if (completion)
                completion(code);
        });
}

bool VLAlertHandler::isSheetOpen(QWidget *window)
{
    return VLSheetRegistry::instance().isSheetOpen(window ? window : state().mainWindow.data());
}

QMessageBox *VLAlertHandler::currentAlert(QWidget *window)
{
    return qobject_cast<QMessageBox *>(
        VLSheetRegistry::instance().currentSheet(window ? window : state().mainWindow.data()));
}

void VLAlertHandler::setMainWindow(QWidget *window)
{
    state().mainWindow = window;
}

QWidget *VLAlertHandler::mainWindow()
{
    return state().mainWindow;
}

void VLAlertHandler::setNextAnswer(int returnCode)
{
    state().nextAnswers.enqueue(returnCode);
}

std::optional<VLAlert> VLAlertHandler::lastAlert()
{
    return state().lastAlert;
}

void VLAlertHandler::clearLastAlert()
{
    state().lastAlert.reset();
}
