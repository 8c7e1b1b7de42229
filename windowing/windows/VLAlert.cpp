#include "windowing/windows/VLAlert.h"

#include "windowing/windows/VLErrorsHandler.h"

#include <QCoreApplication>

#include <cstring>

QString VLAlert::cancelTitle()
{
    return QCoreApplication::translate("VLAlert", "Cancel");
}

VLAlert VLAlert::withMessageText(const QString &messageText, const QString &defaultButton,
                                 const QString &alternateButton, const QString &otherButton,
                                 const QString &informativeText)
{
    VLAlert alert;
    alert.m_messageText = messageText;
    alert.m_informativeText = informativeText;
    alert.m_buttons << Button{defaultButton.isEmpty() ? QCoreApplication::translate("VLAlert", "OK") : defaultButton,
                              defaultReturn};
    if (!alternateButton.isEmpty())
        alert.m_buttons << Button{alternateButton, alternateReturn};
    if (!otherButton.isEmpty())
        alert.m_buttons << Button{otherButton, otherReturn};
    return alert;
}

VLAlert VLAlert::withError(const VLError &error)
{
    VLAlert alert;
    const QVariantMap &info = error.userInfo();
    QString description = info.value(VLErrorsHandler::localizedDescriptionKey).toString();
    if (description.isEmpty()) {
        // The platform's own wording for an error that brings no description of its own.
        description = error.domain() == VLError::posixDomain
                          ? QCoreApplication::translate("VLAlert", "The operation couldn’t be completed. %1")
                                .arg(QString::fromLocal8Bit(std::strerror(int(error.code()))))
                          : QCoreApplication::translate("VLAlert",
                                                        "The operation couldn’t be completed. (%1 error %2.)")
                                .arg(error.domain(), QString::number(error.code()));
    }
    alert.m_messageText = description;
    alert.m_informativeText = info.value(VLErrorsHandler::localizedRecoverySuggestionKey).toString();
    alert.m_buttons << Button{QCoreApplication::translate("VLAlert", "OK"), firstButtonReturn};
    return alert;
}

std::optional<int> VLAlert::escapeReturnCode() const
{
    for (const Button &button : m_buttons) {
        if (button.title == cancelTitle())
            return button.returnCode;
    }
    if (m_buttons.size() == 1)
        return m_buttons.first().returnCode;
    return std::nullopt;
}
