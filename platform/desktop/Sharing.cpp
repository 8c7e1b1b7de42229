#include "platform/desktop/Sharing.h"

#include <QProcess>
#include <QStandardPaths>

namespace {

const QString emailProgram = QStringLiteral("xdg-email");

} // namespace

namespace platform {

bool canComposeEmail()
{
    return !QStandardPaths::findExecutable(emailProgram).isEmpty();
}

bool composeEmail(const QString &body, const QStringList &attachmentPaths)
{
    const QString program = QStandardPaths::findExecutable(emailProgram);
    if (program.isEmpty())
        return false;
    QStringList arguments;
    if (!body.isEmpty())
        arguments << QStringLiteral("--body") << body;
    for (const QString &path : attachmentPaths)
        arguments << QStringLiteral("--attach") << path;
    // xdg-email hands the message to the mail program and may wait for it; it runs on its own.
    return QProcess::startDetached(program, arguments);
}

bool openSharingSettings()
{
    struct Settings
    {
        QString program;
        QStringList arguments;
    };
    const Settings candidates[] = {
        {QStringLiteral("gnome-control-center"), {QStringLiteral("default-apps")}},
        {QStringLiteral("systemsettings"), {QStringLiteral("kcm_componentchooser")}},
        {QStringLiteral("xfce4-mime-settings"), {}},
    };
    for (const Settings &candidate : candidates) {
        const QString program = QStandardPaths::findExecutable(candidate.program);
        if (!program.isEmpty())
            return QProcess::startDetached(program, candidate.arguments);
    }
    return false;
}

} // namespace platform
