#pragma once

#include <QString>
#include <QStringList>

// The desktop's sharing helpers: the user's mail program through xdg-email, and the settings
// where the user picks the programs the desktop shares with.
namespace platform {

// Whether xdg-email is there to be started.
bool canComposeEmail();

// Opens a new message in the user's mail program with the body and the files attached. False
// when xdg-email cannot be started.
[[nodiscard]] bool composeEmail(const QString &body, const QStringList &attachmentPaths);

// Opens the desktop's settings of default programs (the mail program among them). False when
// this desktop offers none that can be started.
bool openSharingSettings();

} // namespace platform
