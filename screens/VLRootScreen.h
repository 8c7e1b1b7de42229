#pragma once

#include "app/navigation/VLViewController.h"

#include <QList>
#include <QUrl>

// The main window's root screen and the flows it opens.
namespace VLRootScreen {

// The start screen; one container handed to it opens the decrypt flow.
VLViewControllerPtr make();

// Whether these files open the decrypt flow: exactly one item whose extension is "vault" in
// any letter case.
bool opensDecryptFlow(const QList<QUrl> &urls);

} // namespace VLRootScreen
