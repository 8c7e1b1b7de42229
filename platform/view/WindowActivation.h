#pragma once

#include <QString>

class QWidget;

namespace platform {

// Brings the window forward for a request from another launch, with the activation token that
// launch was given (may be empty). A compositor that prevents focus stealing lets the window
// take the focus only with such a token.
void activateWindowWithToken(QWidget *window, const QString &token);

} // namespace platform
