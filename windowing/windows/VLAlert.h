#pragma once

#include "platform/core/VLError.h"

#include <QList>
#include <QMessageBox>
#include <QString>

#include <optional>

// What an alert says and which buttons it offers, as a value: the errors handler builds these,
// the alert handler turns them into a window-modal message box. Keeping the description apart
// from the dialog lets alerts be built on any thread and compared in tests.
class VLAlert final
{
public:
    // Completion codes of the classic three-button alert.
    static constexpr int defaultReturn = 1;
    static constexpr int alternateReturn = 0;
    static constexpr int otherReturn = -1;
    // Completion code of the first button of an alert made from an error.
    static constexpr int firstButtonReturn = 1000;

    struct Button
    {
        QString title;
        int returnCode = 0;
        friend bool operator==(const Button &, const Button &) = default;
    };

    VLAlert() = default;

    // The classic constructor: default (1), alternate (0) and other (-1) buttons; an empty
    // title leaves that button out. An empty default title gives "OK".
    static VLAlert withMessageText(const QString &messageText, const QString &defaultButton,
                                   const QString &alternateButton, const QString &otherButton,
                                   const QString &informativeText);

    // An alert that shows an error: its description as the message, its recovery suggestion
    // as the informative text, one "OK" button.
    static VLAlert withError(const VLError &error);

    QString messageText() const { return m_messageText; }
    QString informativeText() const { return m_informativeText; }
    QList<Button> buttons() const { return m_buttons; }
    QMessageBox::Icon icon() const { return m_icon; }
    void setIcon(QMessageBox::Icon icon) { m_icon = icon; }

    // The code Escape answers with: the button titled "Cancel", or the only button; none
    // (nullopt) when the alert has several buttons and none of them cancels.
    std::optional<int> escapeReturnCode() const;
    // The title of a cancelling button.
    static QString cancelTitle();

    friend bool operator==(const VLAlert &, const VLAlert &) = default;

private:
    QString m_messageText;
    QString m_informativeText;
    QList<Button> m_buttons;
    QMessageBox::Icon m_icon = QMessageBox::Warning;
};

Q_DECLARE_METATYPE(VLAlert)
