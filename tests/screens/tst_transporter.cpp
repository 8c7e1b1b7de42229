#include "controls/VLProgressIndicator.h"
#include "engine/files/KXAdditions.h"
#include "engine/files/NBFileSizer.h"
#include "platform/core/Log.h"
#include "platform/dispatch/Dispatch.h"
#include "screens/VLTransporter.h"
#include "windowing/windows/VLAlertHandler.h"
#include "windowing/windows/VLSheetRegistry.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>

#include <csignal>
#include <mutex>
#include <sys/resource.h>
#include <thread>

using namespace std::chrono_literals;

namespace {

constexpr qint64 mebibyte = 1024 * 1024;

void writeFile(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(content), qint64(content.size()));
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

QStringList listing(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// Copies that take their time: every 1 MiB chunk waits, and with a gate the copy holds once it
// has copied `gateAt` bytes until the test opens the gate.
class SlowCopies final
{
public:
    explicit SlowCopies(std::chrono::milliseconds perChunk, quint64 gateAt = 0) : m_state(std::make_shared<State>())
    {
        m_state->perChunk = perChunk;
        m_state->gateAt = gateAt;
        // The state outlives this guard while a copy still runs through the hook.
        KXAdditions::setCopyChunkHook([state = m_state](const QString &, quint64 copied) {
            std::this_thread::sleep_for(state->perChunk);
            if (state->gateAt && copied >= state->gateAt && !state->held.exchange(true)) {
                state->reached.signal();
                state->gate.wait();
            }
        });
    }
    ~SlowCopies()
    {
        open();
        KXAdditions::setCopyChunkHook({});
    }
    Q_DISABLE_COPY_MOVE(SlowCopies)

    // True once a copy holds at the gate (the event loop keeps running meanwhile).
    bool waitUntilHeld()
    {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 20000) {
            if (m_state->reached.tryWait())
                return true;
            QTest::qWait(10);
        }
        return false;
    }
    void open()
    {
        if (!m_state->opened.exchange(true))
            m_state->gate.signal();
    }

private:
    struct State
    {
        std::chrono::milliseconds perChunk{0};
        quint64 gateAt = 0;
        std::atomic<bool> held{false};
        std::atomic<bool> opened{false};
        platform::Semaphore reached;
        platform::Semaphore gate;
    };
    std::shared_ptr<State> m_state;
};

// Sees every progress sheet that is shown, with the time since the watch began.
class SheetWatch final : public QObject
{
public:
    SheetWatch()
    {
        m_clock.start();
        qApp->installEventFilter(this);
    }
    ~SheetWatch() override { qApp->removeEventFilter(this); }
    Q_DISABLE_COPY_MOVE(SheetWatch)

    struct Shown
    {
        qint64 atMilliseconds = 0;
        QPointer<QDialog> sheet;
        QWidget *host = nullptr;
        double maxValue = 0;
    };
    QList<Shown> shown;

    void restart() { m_clock.restart(); }

protected:
    bool eventFilter(QObject *object, QEvent *event) override
    {
        if (event->type() == QEvent::Show && object->objectName() == u"VLTransportWindowController") {
            if (auto *sheet = qobject_cast<QDialog *>(object)) {
                auto *bar = sheet->findChild<VLProgressIndicator *>(u"progressIndicator"_qs);
                shown << Shown{m_clock.elapsed(), sheet, sheet->parentWidget(), bar ? bar->maxValue() : -1};
            }
        }
        return false;
    }

private:
    QElapsedTimer m_clock;
};

struct Callback
{
    QString kind;
    QUrl url;
    quint64 tag = 0;
    bool onMain = false;
};

class RecordingDelegate final : public VLTransporterDelegate
{
public:
    void transporterDidFinishTransportationWithURL(VLTransporter *transporter, const QUrl &url) override
    {
        record(u"finished"_qs, transporter, url);
    }
    void transporterDidFailedTransportationWithURL(VLTransporter *transporter, const QUrl &url) override
    {
        record(u"failed"_qs, transporter, url);
    }

    QList<Callback> calls() const
    {
        const std::lock_guard lock(m_mutex);
        return m_calls;
    }
    qsizetype count() const { return calls().size(); }

private:
    void record(const QString &kind, VLTransporter *transporter, const QUrl &url)
    {
        const std::lock_guard lock(m_mutex);
        m_calls << Callback{kind, url, transporter->tag(), platform::isMainThread()};
    }

    mutable std::mutex m_mutex;
    QList<Callback> m_calls;
};

bool backgroundQueueIdle()
{
    return platform::globalQueue(platform::QueuePriority::Background).activeThreadCount() == 0;
}

// A folder on another volume than the temporary folder, when this machine has one.
QString otherVolumeFolder()
{
    const QStorageInfo temp(QDir::tempPath());
    for (const QString &candidate : {u"/dev/shm"_qs, u"/run/user"_qs}) {
        const QStorageInfo other(candidate);
        if (QFileInfo(candidate).isWritable() && other.isValid() && other.rootPath() != temp.rootPath())
            return candidate;
    }
    return {};
}

} // namespace

class TestTransporter : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QWidget> m_mainWindow;

private slots:
    void init()
    {
        m_mainWindow = std::make_unique<QWidget>();
        m_mainWindow->resize(600, 420);
        m_mainWindow->show();
        VLAlertHandler::setMainWindow(m_mainWindow.get());
        VLAlertHandler::clearLastAlert();
    }

    void cleanup()
    {
        QTRY_VERIFY(backgroundQueueIdle());
        QCoreApplication::processEvents();
        VLAlertHandler::setMainWindow(nullptr);
        m_mainWindow.reset();
    }

    void plainTransfers_data()
    {
        QTest::addColumn<bool>("copy");
        QTest::addColumn<bool>("overwrite");
        QTest::addColumn<bool>("existing");
        QTest::addColumn<quint64>("tag");
        QTest::addColumn<QString>("landedName");
        QTest::newRow("move beside an existing item") << false << false << true << quint64(88) << u"report 2.vault"_qs;
        QTest::newRow("copy over an existing item") << true << true << true << quint64(99) << u"report.vault"_qs;
        QTest::newRow("move into an empty folder") << false << true << false << quint64(7) << u"report.vault"_qs;
    }

    void plainTransfers()
    {
        QFETCH(bool, copy);
        QFETCH(bool, overwrite);
        QFETCH(bool, existing);
        QFETCH(quint64, tag);
        QFETCH(QString, landedName);
        QTemporaryDir dir;
        const QString source = dir.path() + u"/work/report.vault"_qs;
        writeFile(source, "new");
        if (existing)
            writeFile(dir.path() + u"/out/report.vault"_qs, "old");
        QDir().mkpath(dir.path() + u"/out"_qs);
        SheetWatch sheets;
        RecordingDelegate delegate;
        {
            // The caller may let go of its transporter once the transfer runs.
            std::shared_ptr<VLTransporter> transporter = VLTransporter::create();
            transporter->setDelegate(&delegate);
            transporter->setTag(tag);
            if (copy)
                transporter->copyItemFromURLToURLOverwrite(
                    QUrl::fromLocalFile(source), QUrl::fromLocalFile(dir.path() + u"/out/report.vault"_qs), overwrite);
            else
                transporter->moveItemFromURLToURLOverwrite(
                    QUrl::fromLocalFile(source), QUrl::fromLocalFile(dir.path() + u"/out/report.vault"_qs), overwrite);
        }
        QTRY_COMPARE(delegate.count(), 1);
        const Callback call = delegate.calls().first();
        QCOMPARE(call.kind, u"finished"_qs);
        QCOMPARE(call.url, QUrl::fromLocalFile(dir.path() + u"/out/"_qs + landedName));
        QCOMPARE(call.tag, tag);
        QVERIFY(!call.onMain); // plain transfers report on their background thread
        QCOMPARE(readFile(dir.path() + u"/out/"_qs + landedName), QByteArray("new"));
        if (existing && !overwrite)
            QCOMPARE(readFile(dir.path() + u"/out/report.vault"_qs), QByteArray("old"));
        QCOMPARE(QFileInfo::exists(source), copy);
        QCOMPARE(listing(dir.path() + u"/out"_qs).size(), existing && !overwrite ? 2 : 1);
        QTRY_VERIFY(backgroundQueueIdle());
        QCOMPARE(sheets.shown.size(), 0);
        QVERIFY(!VLAlertHandler::lastAlert());
    }

    void plainTransferFailure()
    {
        QTemporaryDir dir;
        const QUrl source = QUrl::fromLocalFile(dir.path() + u"/work/gone.vault"_qs);
        QStringList lines;
        std::mutex linesMutex;
        platform::setLogSink([&](const QString &line) {
            const std::lock_guard lock(linesMutex);
            lines << line;
        });
        const auto restoreLog = qScopeGuard([] { platform::setLogSink({}); });
        VLAlertHandler::setNextAnswer(1);
        RecordingDelegate delegate;
        const auto transporter = VLTransporter::create();
        transporter->setDelegate(&delegate);
        transporter->setTag(VLTransporter::quitTag);
        transporter->moveItemFromURLToURLOverwrite(source, QUrl::fromLocalFile(dir.path() + u"/out.vault"_qs), true);
        QTRY_COMPARE(delegate.count(), 1);
        QCOMPARE(delegate.calls().first().kind, u"failed"_qs);
        QCOMPARE(delegate.calls().first().url, source);
        QCOMPARE(delegate.calls().first().tag, quint64(99));
        // The error reaches the user as an alert, and the log.
        QTRY_VERIFY(VLAlertHandler::lastAlert().has_value());
        QVERIFY(!VLAlertHandler::lastAlert()->messageText().isEmpty());
        const std::lock_guard lock(linesMutex);
        QVERIFY(std::any_of(lines.cbegin(), lines.cend(), [](const QString &line) {
            return line.startsWith(u"[Transporter]: transport error: "_qs);
        }));
    }

    void quickTransfersNeverShowTheSheet()
    {
        QTemporaryDir dir;
        SheetWatch sheets;
        RecordingDelegate delegate;

        // A copy that keeps the source, over before the quarter second.
        writeFile(dir.path() + u"/work/small.vault"_qs, QByteArray(4096, 's'));
        writeFile(dir.path() + u"/out/small.vault"_qs, "taken");
        const auto copier = VLTransporter::create();
        copier->setDelegate(&delegate);
        copier->copyItemWithProgressFromURLToURLOverwrite(QUrl::fromLocalFile(dir.path() + u"/work/small.vault"_qs),
                                                          QUrl::fromLocalFile(dir.path() + u"/out/small.vault"_qs),
                                                          false);
        QTRY_COMPARE(delegate.count(), 1);
        // Without overwriting, a free name beside the one that is taken.
        QCOMPARE(delegate.calls().at(0).url, QUrl::fromLocalFile(dir.path() + u"/out/small 2.vault"_qs));
        QCOMPARE(readFile(dir.path() + u"/out/small.vault"_qs), QByteArray("taken"));
        QVERIFY(delegate.calls().at(0).onMain);
        QVERIFY(QFileInfo::exists(dir.path() + u"/work/small.vault"_qs));

        // A save on the same volume is a rename, however large the item and slow a copy would be.
        SlowCopies slow(200ms);
        writeFile(dir.path() + u"/work/big.vault"_qs, QByteArray(8 * mebibyte, 'b'));
        const auto mover = VLTransporter::create();
        QVERIFY(!VLTransporter::isDestinationOnAnotherVolume(QUrl::fromLocalFile(dir.path() + u"/work/big.vault"_qs),
                                                             QUrl::fromLocalFile(dir.path() + u"/new/out.vault"_qs)));
        mover->setDelegate(&delegate);
        mover->transportItemFromURLToURLOverwrite(QUrl::fromLocalFile(dir.path() + u"/work/big.vault"_qs),
                                                  QUrl::fromLocalFile(dir.path() + u"/out/big.vault"_qs), false);
        QTRY_COMPARE(delegate.count(), 2);
        QCOMPARE(delegate.calls().at(1).kind, u"finished"_qs);
        QCOMPARE(delegate.calls().at(1).url, QUrl::fromLocalFile(dir.path() + u"/out/big.vault"_qs));
        QCOMPARE(delegate.calls().at(1).tag, quint64(0));
        QVERIFY(delegate.calls().at(1).onMain);
        QVERIFY(!QFileInfo::exists(dir.path() + u"/work/big.vault"_qs));
        QCOMPARE(QFileInfo(dir.path() + u"/out/big.vault"_qs).size(), 8 * mebibyte);

        QTRY_VERIFY(backgroundQueueIdle());
        QCoreApplication::processEvents();
        QCOMPARE(sheets.shown.size(), 0);
    }

    void lastingTransferShowsTheSheet_data()
    {
        QTest::addColumn<bool>("ownWindow");
        QTest::newRow("on the main window") << false;
        QTest::newRow("on the transporter's window") << true;
    }

    void lastingTransferShowsTheSheet()
    {
        QFETCH(bool, ownWindow);
        QTemporaryDir dir;
        const QString source = dir.path() + u"/work/big.vault"_qs;
        writeFile(source, QByteArray(6 * mebibyte, 'x'));
        QDir().mkpath(dir.path() + u"/out"_qs);
        QWidget otherWindow;
        otherWindow.resize(500, 400);
        otherWindow.show();
        QWidget *host = ownWindow ? &otherWindow : m_mainWindow.get();

        // 100 ms a chunk: the report of the fourth chunk comes after the quarter second.
        SlowCopies slow(100ms, 4 * mebibyte);
        SheetWatch sheets;
        RecordingDelegate delegate;
        const auto transporter = VLTransporter::create();
        transporter->setDelegate(&delegate);
        transporter->setTag(VLTransporter::startOverTag);
        if (ownWindow)
            transporter->setWindow(&otherWindow);
        sheets.restart();
        transporter->copyItemWithProgressFromURLToURLOverwrite(
            QUrl::fromLocalFile(source), QUrl::fromLocalFile(dir.path() + u"/out/big.vault"_qs), false);
        QVERIFY(slow.waitUntilHeld());
        QTRY_COMPARE(sheets.shown.size(), 1);
        const SheetWatch::Shown shown = sheets.shown.first();
        QVERIFY2(shown.atMilliseconds >= 250, qPrintable(QString::number(shown.atMilliseconds)));
        QCOMPARE(shown.host, host);
        QCOMPARE(VLSheetRegistry::instance().currentSheet(host), shown.sheet.data());
        QCOMPARE(shown.maxValue, double(NBFileSizer::itemSizeAtURL(QUrl::fromLocalFile(source))));
        QCOMPARE(shown.sheet->findChild<QLabel *>(u"sourceTextField"_qs)->text(), u"big.vault"_qs);
        QCOMPARE(shown.sheet->findChild<QLabel *>(u"destinationTextField"_qs)->text(), u"out"_qs);
        // The bytes of the report that went with the fourth chunk.
        auto *bar = shown.sheet->findChild<VLProgressIndicator *>(u"progressIndicator"_qs);
        QTRY_COMPARE(bar->doubleValue(), double(4 * mebibyte));
        QVERIFY(shown.sheet->findChild<QLabel *>(u"statusTextField"_qs)->text().endsWith(u"..."_qs));
        QCOMPARE(delegate.count(), 0);

        slow.open();
        QTRY_COMPARE(delegate.count(), 1);
        const Callback call = delegate.calls().first();
        QCOMPARE(call.kind, u"finished"_qs);
        QCOMPARE(call.url, QUrl::fromLocalFile(dir.path() + u"/out/big.vault"_qs));
        QCOMPARE(call.tag, quint64(88));
        QVERIFY(call.onMain);
        // The sheet was ended before the delegate heard of the result.
        QVERIFY(!VLSheetRegistry::instance().isSheetOpen(host));
        QTRY_VERIFY(shown.sheet.isNull());
        QCOMPARE(readFile(dir.path() + u"/out/big.vault"_qs), QByteArray(6 * mebibyte, 'x'));
        QVERIFY(QFileInfo::exists(source));
        QCOMPARE(sheets.shown.size(), 1);
    }

    void cancelRemovesOnlyWhatWasWritten_data()
    {
        QTest::addColumn<bool>("overwrite");
        QTest::addColumn<bool>("byWindow");
        QTest::newRow("free name, Cancel button") << false << true;
        QTest::newRow("replace, Cancel button") << true << true;
        QTest::newRow("free name, transporter cancelled") << false << false;
        QTest::newRow("replace, transporter cancelled") << true << false;
    }

    void cancelRemovesOnlyWhatWasWritten()
    {
        QFETCH(bool, overwrite);
        QFETCH(bool, byWindow);
        QTemporaryDir dir;
        const QString source = dir.path() + u"/work/big.vault"_qs;
        writeFile(source, QByteArray(6 * mebibyte, 'x'));
        writeFile(dir.path() + u"/out/big.vault"_qs, "keep me");
        writeFile(dir.path() + u"/out/neighbour.txt"_qs, "neighbour");
        const QStringList before = listing(dir.path() + u"/out"_qs);

        SlowCopies slow(100ms, 4 * mebibyte);
        SheetWatch sheets;
        RecordingDelegate delegate;
        const auto transporter = VLTransporter::create();
        transporter->setDelegate(&delegate);
        transporter->copyItemWithProgressFromURLToURLOverwrite(
            QUrl::fromLocalFile(source), QUrl::fromLocalFile(dir.path() + u"/out/big.vault"_qs), overwrite);
        QVERIFY(slow.waitUntilHeld());
        QTRY_COMPARE(sheets.shown.size(), 1);
        QPointer<QDialog> sheet = sheets.shown.first().sheet;
        if (overwrite)
            QVERIFY(!QFileInfo::exists(dir.path() + u"/out/big 2.vault"_qs));
        else
            QCOMPARE(QFileInfo(dir.path() + u"/out/big 2.vault"_qs).size(), 4 * mebibyte);
        if (byWindow)
            QTest::mouseClick(sheet->findChild<QPushButton *>(u"cancelButton"_qs), Qt::LeftButton);
        else
            transporter->cancel();
        QVERIFY(sheet && sheet->isVisible()); // until the transfer's next report
        slow.open();

        QTRY_VERIFY(sheet.isNull() || !sheet->isVisible());
        QTRY_VERIFY(backgroundQueueIdle());
        QCoreApplication::processEvents();
        QVERIFY(!VLSheetRegistry::instance().isSheetOpen(m_mainWindow.get()));
        // The user's Cancel leaves the item where it was, and its owner hears of it once; a
        // transfer its owner cancelled reports nothing.
        if (byWindow) {
            QCOMPARE(delegate.count(), 1);
            QCOMPARE(delegate.calls().first().kind, u"failed"_qs);
            QCOMPARE(delegate.calls().first().url, QUrl::fromLocalFile(source));
        } else {
            QCOMPARE(delegate.count(), 0);
        }
        QCOMPARE(listing(dir.path() + u"/out"_qs), before);
        QCOMPARE(readFile(dir.path() + u"/out/big.vault"_qs), QByteArray("keep me"));
        QCOMPARE(readFile(source), QByteArray(6 * mebibyte, 'x'));
        QVERIFY(!VLAlertHandler::lastAlert());
    }

    // Once its owner has cancelled, a transporter is silent on every path: plain or with
    // progress, failing or finishing.
    void noCallbackAfterCancel_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("sourceExists");
        QTest::newRow("plain move that fails") << u"move"_qs << false;
        QTest::newRow("plain copy that fails") << u"copy"_qs << false;
        QTest::newRow("plain copy that finishes") << u"copy"_qs << true;
        QTest::newRow("copy with progress that fails") << u"progress"_qs << false;
        QTest::newRow("copy with progress that finishes") << u"progress"_qs << true;
    }

    void noCallbackAfterCancel()
    {
        QFETCH(QString, kind);
        QFETCH(bool, sourceExists);
        QTemporaryDir dir;
        const QUrl source = QUrl::fromLocalFile(dir.path() + u"/work/report.vault"_qs);
        if (sourceExists)
            writeFile(source.toLocalFile(), "report");
        QDir().mkpath(dir.path() + u"/out"_qs);
        const QUrl destination = QUrl::fromLocalFile(dir.path() + u"/out/report.vault"_qs);
        RecordingDelegate delegate;
        const auto transporter = VLTransporter::create();
        transporter->setDelegate(&delegate);
        transporter->cancel();
        if (kind == u"move")
            transporter->moveItemFromURLToURLOverwrite(source, destination, true);
        else if (kind == u"copy")
            transporter->copyItemFromURLToURLOverwrite(source, destination, true);
        else
            transporter->copyItemWithProgressFromURLToURLOverwrite(source, destination, true);
        QTRY_VERIFY(!transporter->isRunning());
        QTRY_VERIFY(backgroundQueueIdle());
        QCoreApplication::processEvents();
        QCOMPARE(delegate.count(), 0);
        QVERIFY(!VLAlertHandler::lastAlert());
    }

    // An owner that is about to empty the work folder cancels and waits on the main thread, which
    // the transfer's progress window also needs: the wait does that work itself, ends once the
    // transfer has stopped, and no callback follows.
    void cancelAndWaitOnTheMainThread_data()
    {
        QTest::addColumn<bool>("withProgress");
        QTest::newRow("copy with progress") << true;
        QTest::newRow("plain copy") << false;
    }

    void cancelAndWaitOnTheMainThread()
    {
        QFETCH(bool, withProgress);
        QTemporaryDir dir;
        const QString source = dir.path() + u"/work/big.vault"_qs;
        writeFile(source, QByteArray(12 * mebibyte, 'x'));
        const QString destination = dir.path() + u"/out/big.vault"_qs;
        QDir().mkpath(dir.path() + u"/out"_qs);

        std::atomic<int> chunks{0};
        KXAdditions::setCopyChunkHook([&chunks](const QString &, quint64) {
            ++chunks;
            std::this_thread::sleep_for(40ms);
        });
        const auto hookGuard = qScopeGuard([] { KXAdditions::setCopyChunkHook({}); });
        SheetWatch sheets;
        RecordingDelegate delegate;
        const auto transporter = VLTransporter::create();
        transporter->setDelegate(&delegate);
        if (withProgress) {
            transporter->copyItemWithProgressFromURLToURLOverwrite(QUrl::fromLocalFile(source),
                                                                   QUrl::fromLocalFile(destination), true);
            QTRY_COMPARE(sheets.shown.size(), 1);
        } else {
            transporter->copyItemFromURLToURLOverwrite(QUrl::fromLocalFile(source), QUrl::fromLocalFile(destination),
                                                       true);
        }
        QTRY_VERIFY(chunks.load() >= 2);
        QVERIFY(transporter->isRunning());

        transporter->setDelegate(nullptr);
        transporter->cancel();
        // No event loop runs here: the wait alone must see the transfer to its end.
        QVERIFY(transporter->waitUntilStopped(20s));
        QVERIFY(!transporter->isRunning());
        if (withProgress) {
            QVERIFY(!QFileInfo::exists(destination));
            QPointer<QDialog> sheet = sheets.shown.first().sheet;
            QVERIFY(sheet.isNull() || !sheet->isVisible());
        }
        QTRY_VERIFY(backgroundQueueIdle());
        QCoreApplication::processEvents();
        QCOMPARE(delegate.count(), 0);
        QVERIFY(!VLAlertHandler::lastAlert());
        QCOMPARE(readFile(source), QByteArray(12 * mebibyte, 'x'));
        // A transporter that ran nothing has nothing to wait for.
        QVERIFY(VLTransporter::create()->waitUntilStopped(0ms));
    }

    void acrossVolumes_data()
    {
        QTest::addColumn<bool>("fails");
        QTest::newRow("moves with the sheet") << false;
        QTest::newRow("fails and keeps the source") << true;
    }

    void acrossVolumes()
    {
        QFETCH(bool, fails);
        const QString otherVolume = otherVolumeFolder();
        if (otherVolume.isEmpty())
            QSKIP("no second volume to write to");
        QTemporaryDir work(otherVolume + u"/tst_transporter-XXXXXX"_qs);
        QVERIFY(work.isValid());
        QTemporaryDir dir;
        const QString source = work.path() + u"/big.vault"_qs;
        writeFile(source, QByteArray(4 * mebibyte, 'v'));
        const QUrl destination = QUrl::fromLocalFile(dir.path() + u"/Saved/big.vault"_qs);
        QDir().mkpath(dir.path() + u"/Saved"_qs);
        QVERIFY(VLTransporter::isDestinationOnAnotherVolume(QUrl::fromLocalFile(source), destination));

        QStringList lines;
        std::mutex linesMutex;
        platform::setLogSink([&](const QString &line) {
            const std::lock_guard lock(linesMutex);
            lines << line;
        });
        const auto restoreLog = qScopeGuard([] { platform::setLogSink({}); });
        // A target that takes no file past 3 MiB fails the copy at its fourth chunk, after the
        // report of the third one has shown the sheet.
        rlimit previous{};
        QVERIFY(::getrlimit(RLIMIT_FSIZE, &previous) == 0);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        if (fails) {
            rlimit limited = previous;
            limited.rlim_cur = 3 * mebibyte;
            QVERIFY(::setrlimit(RLIMIT_FSIZE, &limited) == 0);
            VLAlertHandler::setNextAnswer(1);
        }
        const auto restoreLimit = qScopeGuard([&] {
            ::setrlimit(RLIMIT_FSIZE, &previous);
            std::signal(SIGXFSZ, oldHandler);
        });

        SlowCopies slow(150ms);
        SheetWatch sheets;
        RecordingDelegate delegate;
        const auto transporter = VLTransporter::create();
        transporter->setDelegate(&delegate);
        transporter->transportItemFromURLToURLOverwrite(QUrl::fromLocalFile(source), destination, false);
        QTRY_VERIFY(backgroundQueueIdle());
        QCoreApplication::processEvents();
        QCOMPARE(sheets.shown.size(), 1);
        QTRY_VERIFY(sheets.shown.first().sheet.isNull() || !sheets.shown.first().sheet->isVisible());

        if (fails) {
            QTRY_VERIFY(VLAlertHandler::lastAlert().has_value());
            QTRY_COMPARE(delegate.count(), 1);
            QCOMPARE(delegate.calls().first().kind, u"failed"_qs);
            QCOMPARE(delegate.calls().first().url, QUrl::fromLocalFile(source));
            QCOMPARE(readFile(source), QByteArray(4 * mebibyte, 'v'));
            QCOMPARE(listing(dir.path() + u"/Saved"_qs), QStringList());
            const std::lock_guard lock(linesMutex);
            QVERIFY(std::any_of(lines.cbegin(), lines.cend(), [](const QString &line) {
                return line.startsWith(u"[Transporter]: move error: "_qs);
            }));
        } else {
            QTRY_COMPARE(delegate.count(), 1);
            QCOMPARE(delegate.calls().first().url, destination);
            QVERIFY(delegate.calls().first().onMain);
            QVERIFY(!QFileInfo::exists(source));
            QCOMPARE(readFile(destination.toLocalFile()), QByteArray(4 * mebibyte, 'v'));
            QVERIFY(!VLAlertHandler::lastAlert());
        }
    }
};

QTEST_MAIN(TestTransporter)
#include "tst_transporter.moc"
