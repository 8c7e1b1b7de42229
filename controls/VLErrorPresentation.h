#pragma once

#include "platform/core/VLError.h"

#include <functional>

class QWidget;

// The alert of an error a control reports (a name the rename field refuses). Alerts belong to
// the window layer above, which installs the presenter that shows them as sheets of the window;
// the completion runs with the alert's answer when it closes.
using VLErrorPresenter =
    std::function<void(const VLError &error, QWidget *window, std::function<void(int returnCode)> completion)>;
void vlSetErrorPresenter(VLErrorPresenter presenter);

// Without a presenter the error is logged and the completion runs at once, so the control never
// waits for an alert that no one shows.
void vlPresentError(const VLError &error, QWidget *window, std::function<void(int returnCode)> completion);
