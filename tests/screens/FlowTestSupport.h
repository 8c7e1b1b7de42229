#pragma once

#include "companion/SWAnalyticsTracker.h"
#include "companion/VLABTester.h"
#include "platform/animation/VLAnimationClock.h"
#include "platform/animation/VLAnimator.h"
#include "platform/settings/Defaults.h"
#include "screens/VLFlowScreen.h"
#include "tests/companion/LocalHttpServer.h"
#include "tests/companion/TestEnvironment.h"
#include "tests/engine/jobs/JobRecorder.h"
#include "windowing/navigation/VLNavigationController.h"
#include "windowing/windows/VLAlertHandler.h"
#include "windowing/windows/VLContentWindowController.h"
#include "windowing/windows/VLTerminatorProxy.h"
#include "windowing/windows/VLWindow.h"

#include <QCoreApplication>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <QUrlQuery>

#include <memory>

// The flow screens' analytics, sent to a real HTTP server on this machine.
class FlowAnalytics final
{
public:
    FlowAnalytics()
    {
        m_defaults = std::make_unique<platform::Defaults>(m_dir.filePath(QStringLiteral("tracker.ini")));
        m_tester = std::make_unique<VLABTester>(*m_defaults);
        SWAnalyticsTracker::Configuration configuration;
        configuration.collectEndpoint = m_server.url(QStringLiteral("/collect"));
        configuration.defaults = m_defaults.get();
        configuration.abTester = m_tester.get();
        configuration.environment = testEnvironment();
        m_tracker = std::make_unique<SWAnalyticsTracker>(configuration);
        m_tracker->setEnabled(true);
        VLFlowScreen::setTracker(m_tracker.get());
    }
    ~FlowAnalytics() { VLFlowScreen::setTracker(nullptr); }
    Q_DISABLE_COPY_MOVE(FlowAnalytics)

    // Every hit the server has received, as "view:Name" or "ec/ea[/el]".
    QStringList hits() const
    {
        QStringList hits;
        for (const LocalHttpServer::Request &request : m_server.requests()) {
            const QUrlQuery query(QString::fromUtf8(request.query));
            const auto value = [&query](const char *key) {
                return query.queryItemValue(QString::fromLatin1(key), QUrl::FullyDecoded);
            };
            if (value("t") == u"event") {
                QString hit = value("ec") + u'/' + value("ea");
                if (query.hasQueryItem(QStringLiteral("el")))
                    hit += u'/' + value("el");
                hits << hit;
            } else if (query.hasQueryItem(QStringLiteral("cd"))) {
                hits << QStringLiteral("view:") + value("cd");
            }
        }
        return hits;
    }
    // The hits received since the last call.
    QStringList newHits()
    {
        const QStringList all = hits();
        const QStringList fresh = all.mid(m_seen);
        m_seen = int(all.size());
        return fresh;
    }
    int requestCount() const { return m_server.requestCount(); }

private:
    QTemporaryDir m_dir;
    LocalHttpServer m_server;
    std::unique_ptr<platform::Defaults> m_defaults;
    std::unique_ptr<VLABTester> m_tester;
    std::unique_ptr<SWAnalyticsTracker> m_tracker;
    int m_seen = 0;
};

// The program's main window with its navigation stack, on the manual animation clock.
class FlowWindow final
{
public:
    FlowWindow()
    {
        VLAnimator::instance()->setClock(&m_clock);
        m_controller = std::make_unique<VLContentWindowController>();
        m_controller->showWindow();
        QVERIFY(QTest::qWaitForWindowExposed(m_controller->window()));
    }
    ~FlowWindow()
    {
        m_controller.reset();
        VLAnimator::instance()->discardAll();
        VLAnimator::instance()->setClock(nullptr);
    }
    Q_DISABLE_COPY_MOVE(FlowWindow)

    VLWindow *window() const { return m_controller->window(); }
    VLNavigationController *navigation() const { return m_controller->navigationController(); }
    VLContentWindowController *controller() const { return m_controller.get(); }
    VLManualClock &clock() { return m_clock; }
    VLViewControllerPtr top() const { return navigation()->topViewController(); }
    template <class T>
    T *topAs() const
    {
        return qobject_cast<T *>(top().get());
    }

    void push(const VLViewControllerPtr &screen)
    {
        navigation()->pushViewControllerAnimated(screen, true);
        settle();
    }
    // Runs the clock long enough for transitions and short animations to end, letting queued
    // work run between frames.
    void settle(double seconds = 2.0)
    {
        const int frames = int(seconds * 60);
        for (int i = 0; i < frames; ++i) {
            m_clock.advance(1.0 / 60.0);
            QCoreApplication::processEvents();
        }
    }

private:
    VLManualClock m_clock;
    std::unique_ptr<VLContentWindowController> m_controller;
};

// A container made by the encryption job from sources, moved to target; empty on failure.
inline QUrl makeContainer(const QList<QUrl> &sources, const QString &target, const QString &password,
                          const QString &hint = {})
{
    JobRecorder recorder;
    auto job = VLVedidador::vedidadorWithSourceURLs(sources);
    job->setDelegate(&recorder);
    job->encryptWithPasswordHint(password, hint);
    QElapsedTimer clock;
    clock.start();
    while (!recorder.ended() && clock.elapsed() < 60000)
        QTest::qWait(10);
    job->waitUntilStopped(std::chrono::seconds(10));
    if (!recorder.has(JobRecorder::Kind::Finished))
        return {};
    QFile::remove(target);
    if (!QFile::rename(job->destinationURL().toLocalFile(), target))
        return {};
    return QUrl::fromLocalFile(target);
}

// Relative path, kind and content of every entry below root, sorted.
inline QStringList treeListing(const QString &root)
{
    QStringList listing;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info(path);
        QString line = QDir(root).relativeFilePath(path);
        if (info.isDir()) {
            line += u'/';
        } else {
            QFile file(path);
            if (file.open(QIODevice::ReadOnly))
                line += u' ' + QString::fromLatin1(file.readAll().toHex().left(64)) + u' '
                        + QString::number(info.size());
        }
        listing << line;
    }
    listing.sort();
    return listing;
}

inline bool writeTestFile(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}
