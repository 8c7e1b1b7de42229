#pragma once

#include "companion/SWAnalyticsTracker.h"
#include "companion/VLABTester.h"
#include "platform/settings/Defaults.h"
#include "tests/companion/TestEnvironment.h"

#include <QUrl>

#include <memory>

// An analytics tracker of the test's own: its defaults in a file of the test's, the fixed
// environment, and hits sent to the test's server.
struct TestTracker
{
    TestTracker(const QString &defaultsPath, const QUrl &collectEndpoint)
        : defaults(std::make_unique<platform::Defaults>(defaultsPath))
        , tester(std::make_unique<VLABTester>(*defaults))
    {
        SWAnalyticsTracker::Configuration configuration;
        configuration.collectEndpoint = collectEndpoint;
        configuration.defaults = defaults.get();
        configuration.abTester = tester.get();
        configuration.environment = testEnvironment();
        tracker = std::make_unique<SWAnalyticsTracker>(configuration);
    }

    std::unique_ptr<platform::Defaults> defaults;
    std::unique_ptr<VLABTester> tester;
    std::unique_ptr<SWAnalyticsTracker> tracker;
};
