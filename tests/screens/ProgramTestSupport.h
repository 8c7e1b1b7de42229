#pragma once

#include "app/VLAppDelegate.h"
#include "companion/VLRatingPrompter.h"
#include "platform/settings/Defaults.h"
#include "windowing/navigation/VLNavigationController.h"
#include "windowing/windows/VLContentWindowController.h"
#include "windowing/windows/VLWindow.h"

// The program as it launches: its delegate (with the quit's clean-up), the main window and the
// window's stack of screens.
struct Program
{
    Program()
    {
        // A user who has accepted the privacy policy and passed the tutorial: the launch goes
        // straight to the main window.
        platform::Defaults &defaults = platform::Defaults::standard();
        defaults.setValue(QStringLiteral("NBPrivacyPolicyAccepted"), true);
        defaults.setValue(QStringLiteral("kVLEmailSubscriberHasSkippedSubscription"), true);
        // Launches are counted across tests and runs: the rating question must not come up
        // over the window and refuse the files dropped on it.
        defaults.remove(VLRatingPrompter::useCountKey);
        delegate.applicationDidFinishLaunching();
        window = delegate.dropWindowController()->window();
        navigation = delegate.dropWindowController()->navigationController();
    }

    VLAppDelegate delegate;
    VLWindow *window = nullptr;
    VLNavigationController *navigation = nullptr;
};
