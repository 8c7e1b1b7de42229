#include "screens/VLAnimationProgressMonitor.h"
#include "screens/VLCryptingProcessAnimation.h"
#include "screens/VLEncryptProgressAnimationView.h"
#include "screens/VLEncryptProgressImageView.h"
#include "screens/VLEncryptTextStackLayer.h"
#include "screens/VLParticleView.h"

#include "platform/animation/VLAnimationClock.h"
#include "platform/animation/VLAnimator.h"
#include "platform/animation/VLBasicAnimation.h"
#include "platform/view/ViewFrame.h"

#include <QPainter>
#include <QTest>

#include <cmath>
#include <memory>

namespace {
constexpr double kFrame = 1.0 / 60.0;
const QString kSlidingKey = VLCryptingProcessAnimation::slidingAnimationKey;

QImage solidImage(const QSize &size, const QColor &color)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(color);
    return image;
}

// A progress screen's parts in a window: the icon in the middle, the particles over the whole
// window and the bar (the overlay container) below the icon or above it.
struct ProgressStage : public VLCryptingProcessAnimationDelegate
{
    VLManualClock clock;
    QWidget window;
    VLEncryptProgressImageView *icon = new VLEncryptProgressImageView(&window);
    VLParticleView *particles = nullptr;
    QWidget *bar = new QWidget(&window);
    std::shared_ptr<VLCryptingProcessAnimation> animation;
    std::shared_ptr<VLAnimationProgressMonitor> monitor = VLAnimationProgressMonitor::monitorWithDuration(2.0);
    int animationCompletions = 0;
    bool animationFinished = false;
    int signals_ = 0;
    int pushes = 0;

    explicit ProgressStage(bool up, const QRectF &signalRect = QRectF())
    {
        window.resize(400, 500);
        icon->setGeometry(136, 150, 128, 128);
        icon->setTopImage(solidImage(QSize(64, 64), Qt::red));
        icon->setBottomImage(solidImage(QSize(64, 64), Qt::blue));
        particles = new VLParticleView(&window);
        particles->setGeometry(0, 0, 400, 500);
        bar->setGeometry(up ? QRect(0, 400, 400, 66) : QRect(0, 0, 400, 66));
        bar->setAutoFillBackground(true);
        QPalette palette = bar->palette();
        palette.setColor(QPalette::Window, QColor(255, 200, 0, 90));
        bar->setPalette(palette);
        bar->raise();
        window.show();

        // As the progress screens start it.
        particles->setEmitterPosition(vlFrame(bar).topLeft());
        particles->setEmitterSize(QSizeF(window.width(), bar->height()));
        animation = VLCryptingProcessAnimation::animationWithProgressImageViewParticleViewSignalRect(icon, particles,
                                                                                                     signalRect);
        animation->setDelegate(this);
        animation->setFromValue(vlFrame(bar));
        animation->setByValue(up ? 260 : -350);
        animation->setVelocity(0);
        animation->setUp(up);
        const std::weak_ptr<VLAnimationProgressMonitor> weakMonitor = monitor;
        animation->setCompletionBlock([this, weakMonitor](VLAnimation *, bool finished) {
            ++animationCompletions;
            animationFinished = finished;
            if (auto m = weakMonitor.lock())
                m->animationFinished();
        });
        particles->setAnimates(true);
        particles->setGlows(true);
        VLAnimator::addAnimationForKey(bar, animation, kSlidingKey);
        monitor->appendProgressPoint(0);
    }

    ~ProgressStage() override { animation->setDelegate(nullptr); }

    void popAnimationDidIntersectSignalRect(VLCryptingProcessAnimation *) override { ++signals_; }

    // A job progress report of p percent.
    void report(double percent)
    {
        monitor->appendProgressPoint(percent > 0 ? percent / 100.0 : 0.0);
        if (auto running = std::dynamic_pointer_cast<VLCryptingProcessAnimation>(
                VLAnimator::animationForKey(bar, kSlidingKey))) {
            running->setRealProgress(percent / 100.0);
            running->setVelocity(monitor->currentVelocityEstimation());
        }
    }

    void jobEnded()
    {
        monitor->setCompletion([this] { ++pushes; });
        monitor->processFinished();
    }

    double barY() const { return vlFrame(bar).y(); }
    double barMiddle() const { return vlFrame(bar).center().y(); }
    bool running() const { return animation->isRunning(); }

    void frames(int count) { clock.advance(kFrame * count, count); }
    // Frames until the animation ends (or the limit).
    int runToEnd(int limit = 5000)
    {
        int count = 0;
        while (running() && count < limit) {
            clock.advance(kFrame);
            ++count;
        }
        clock.advance(kFrame); // delivers the completion
        return count;
    }
};
} // namespace

class TestProgressAnimation : public QObject
{
    Q_OBJECT

private slots:
    void velocityEstimate_data()
    {
        QTest::addColumn<QList<double>>("points");
        QTest::addColumn<QList<double>>("gaps"); // seconds before each point after the first
        QTest::addColumn<double>("expected");
        QTest::newRow("no point") << QList<double>{} << QList<double>{} << 0.5;
        QTest::newRow("one point") << QList<double>{0.0} << QList<double>{} << 0.5;
        QTest::newRow("slow job") << QList<double>{0.0, 0.1} << QList<double>{1.0} << 0.1;
        QTest::newRow("last two count") << QList<double>{0.0, 0.4, 0.45} << QList<double>{0.5, 1.0} << 0.05;
        QTest::newRow("faster than the bar") << QList<double>{0.0, 0.9} << QList<double>{1.0} << 0.5;
        QTest::newRow("rise at the same instant") << QList<double>{0.1, 0.2} << QList<double>{0.0} << 0.5;
        QTest::newRow("fall") << QList<double>{0.5, 0.3} << QList<double>{1.0} << 0.01;
        QTest::newRow("fall at the same instant") << QList<double>{0.5, 0.3} << QList<double>{0.0} << 0.01;
        QTest::newRow("standing still") << QList<double>{0.3, 0.3} << QList<double>{1.0} << 0.01;
        QTest::newRow("nothing to tell (0/0)") << QList<double>{0.3, 0.3} << QList<double>{0.0} << 0.5;
    }

    void velocityEstimate()
    {
        QFETCH(QList<double>, points);
        QFETCH(QList<double>, gaps);
        QFETCH(double, expected);
        VLManualClock clock;
        auto monitor = VLAnimationProgressMonitor::monitorWithDuration(2.0);
        QCOMPARE(monitor->maxVelocity(), 0.5);
        QCOMPARE(monitor->initialVelocity(), 0.5);
        for (qsizetype i = 0; i < points.size(); ++i) {
            if (i > 0 && gaps.at(i - 1) > 0)
                clock.advance(gaps.at(i - 1));
            monitor->appendProgressPoint(points.at(i));
        }
        QVERIFY2(std::abs(monitor->currentVelocityEstimation() - expected) < 1e-6,
                 qPrintable(QString::number(monitor->currentVelocityEstimation())));
    }

    void monitorTimes()
    {
        VLManualClock clock(50.0);
        auto monitor = VLAnimationProgressMonitor::monitorWithDuration(2.0);
        QCOMPARE(monitor->beginTime(), 0.0);
        monitor->appendProgressPoint(0);
        clock.advance(1.5);
        monitor->appendProgressPoint(0.2);
        QCOMPARE(monitor->beginTime(), 50.0);
        QCOMPARE(monitor->elapsedTime(), 1.5);
        QCOMPARE(monitor->timestamps(), (QList<double>{50.0, 51.5}));
    }

    void completionWhenBothHalvesInEitherOrder_data()
    {
        QTest::addColumn<bool>("animationFirst");
        QTest::newRow("animation first") << true;
        QTest::newRow("job first") << false;
    }

    void completionWhenBothHalvesInEitherOrder()
    {
        QFETCH(bool, animationFirst);
        VLAnimationProgressMonitor monitor(2.0);
        int runs = 0;
        monitor.setCompletion([&runs] { ++runs; });
        animationFirst ? monitor.animationFinished() : monitor.processFinished();
        QCOMPARE(runs, 0);
        animationFirst ? monitor.processFinished() : monitor.animationFinished();
        QCOMPARE(runs, 1);
        // A job that reports its end twice does not push the next screen twice.
        monitor.processFinished();
        monitor.animationFinished();
        QCOMPARE(runs, 1);
        QVERIFY(monitor.animFinished() && monitor.procFinished());
    }

    void approachesTheIconFastThenWaitsForTheJob()
    {
        ProgressStage stage(true);
        QCOMPARE(stage.animation->progressInterval(), 128.0);
        stage.frames(1);
        // Below the icon the bar moves by the square root of its distance from the icon's lower edge.
        QVERIFY2(std::abs(stage.barY() - (400 - std::sqrt(433.0 - 278.0))) < 1e-6,
                 qPrintable(QString::number(stage.barY())));
        stage.frames(1);
        const double distance = stage.barMiddle() - 278.0;
        const double before = stage.barY();
        stage.frames(1);
        QVERIFY(std::abs((before - stage.barY()) - std::sqrt(distance)) < 1e-6);

        // The job has reported nothing: inside the icon the bar stops.
        stage.frames(120);
        const double waiting = stage.barY();
        QVERIFY2(stage.barMiddle() <= 278.0 && stage.barMiddle() > 278.0 - 10, qPrintable(QString::number(waiting)));
        stage.frames(120);
        QCOMPARE(stage.barY(), waiting);
        QVERIFY(stage.running());
        QVERIFY(stage.icon->progress() < 0.05);
    }

    void followsRealProgressWithoutRunningAhead()
    {
        ProgressStage stage(true);
        stage.frames(60);
        stage.clock.advance(1.0);
        stage.report(40);
        // Far behind the job: 0.6 points a frame.
        double before = stage.barY();
        stage.frames(1);
        QVERIFY(std::abs((before - stage.barY()) - 0.6) < 1e-6);

        stage.frames(600);
        // Caught up: the boundary stands at the job's progress and no further.
        const double shown = stage.icon->progress();
        QVERIFY2(shown > 0.37 && shown <= 0.42, qPrintable(QString::number(shown)));
        before = stage.barY();
        stage.frames(60);
        QCOMPARE(stage.barY(), before);

        // The job moves on; the icon follows.
        stage.report(70);
        stage.frames(600);
        QVERIFY2(stage.icon->progress() > 0.67 && stage.icon->progress() <= 0.72,
                 qPrintable(QString::number(stage.icon->progress())));
        QVERIFY(stage.running());
        QCOMPARE(stage.pushes, 0);
    }

    void endOfJobIsMetOnce()
    {
        ProgressStage stage(true);
        stage.frames(30);
        stage.report(100);
        // A finished job: once the bar is no longer below the icon it moves one point a frame.
        stage.frames(30);
        QVERIFY(stage.barMiddle() <= 278.0);
        double before = stage.barY();
        stage.frames(1);
        QVERIFY(std::abs((before - stage.barY()) - 1.0) < 1e-6);

        stage.jobEnded();
        QCOMPARE(stage.pushes, 0); // the animation has not ended yet
        stage.runToEnd();
        QCOMPARE(stage.animationCompletions, 1);
        QVERIFY(stage.animationFinished);
        QCOMPARE(stage.pushes, 1);
        // Ended once the bar's lower edge passed the destination's upper edge (400 - 260).
        QVERIFY(vlFrame(stage.bar).bottom() <= 140.0 && vlFrame(stage.bar).bottom() > 139.0);
        QCOMPARE(stage.icon->progress(), 1.0);
        stage.frames(60);
        QCOMPARE(stage.animationCompletions, 1);
        QCOMPARE(stage.pushes, 1);
    }

    void jobEndingAfterTheAnimationPushesThen()
    {
        ProgressStage stage(true);
        stage.report(100);
        stage.runToEnd();
        QCOMPARE(stage.animationCompletions, 1);
        QCOMPARE(stage.pushes, 0);
        stage.jobEnded();
        QCOMPARE(stage.pushes, 1);
    }

    void goingDownCoversTheIconFromTheTop()
    {
        ProgressStage stage(false);
        stage.report(100);
        stage.frames(1);
        // Above the icon: one point a frame, and the whole icon shows the bottom image.
        QCOMPARE(stage.barY(), 1.0);
        QCOMPARE(stage.icon->progress(), 1.0);
        stage.frames(150);
        QVERIFY(stage.icon->progress() < 1.0 && stage.icon->progress() > 0.0);
        const int frames = stage.runToEnd();
        QVERIFY(frames > 0);
        QCOMPARE(stage.animationCompletions, 1);
        QCOMPARE(stage.icon->progress(), 0.0);
        // Ended when the bar reached the bottom of its window.
        QVERIFY(vlFrame(stage.bar).bottom() >= 500.0);
    }

    void iconLaidOutAfterTheAnimationWasMade()
    {
        ProgressStage stage(true);
        stage.icon->setGeometry(136, 150, 128, 0);
        auto late = VLCryptingProcessAnimation::animationWithProgressImageViewParticleView(stage.icon, stage.particles);
        QCOMPARE(late->progressInterval(), 0.0);
        stage.icon->setGeometry(136, 150, 128, 128);
        late->setFromValue(vlFrame(stage.bar));
        late->setByValue(260);
        late->setUp(true);
        bool ended = false;
        late->setCompletionBlock([&ended](VLAnimation *, bool finished) { ended = finished; });
        VLAnimator::addAnimationForKey(stage.bar, late, kSlidingKey); // replaces the stage's own
        stage.frames(120);
        QCOMPARE(late->progressInterval(), 128.0);
        // It waits for the job inside the icon as usual, and goes on once the job is done.
        const double waiting = stage.barY();
        QVERIFY(stage.barMiddle() < 278.0 && stage.barMiddle() > 150.0);
        stage.frames(60);
        QCOMPARE(stage.barY(), waiting);
        late->setRealProgress(1.0);
        for (int frame = 0; frame < 2000 && !ended; ++frame)
            stage.frames(1);
        QVERIFY(ended);
    }

    void signalRectIsReportedOnce()
    {
        // A title above the icon; the bar rises over it and stays over it for many frames.
        ProgressStage stage(true, QRectF(100, 60, 200, 20));
        stage.report(100);
        int seenAt = -1;
        for (int frame = 0; stage.running() && frame < 2000; ++frame) {
            stage.frames(1);
            if (stage.signals_ == 1 && seenAt < 0) {
                seenAt = frame;
                // The probe (the bar's middle and one bar height up) now holds the whole rectangle.
                QVERIFY(stage.barY() - 33 <= 60 && stage.barY() + 33 >= 80);
            }
        }
        QVERIFY(seenAt > 0);
        QCOMPARE(stage.signals_, 1);
        QCOMPARE(stage.animation->signalRect(), QRectF());
    }

    void particlesRideOnTheBar()
    {
        ProgressStage stage(true);
        stage.frames(40);
        // The emitter stands at the bar's middle line, centred across the view; so does the glow.
        const double middle = stage.barMiddle();
        QVERIFY(std::abs(stage.particles->emitterPosition().y() - middle) < 1e-6);
        QCOMPARE(stage.particles->emitterLayer().position(), QPointF(200, stage.particles->emitterPosition().y()));
        QCOMPARE(stage.particles->glowFrame(), QRectF(-2, middle - 67, 404, 134));
        QCOMPARE(stage.particles->glowOpacity(), 1.0);
        // Birth rate follows the icon's progress: at least a half.
        QCOMPARE(stage.particles->emitterBirthRate(), std::min(1.0, 1.5 * stage.icon->progress() + 0.5));
        QVERIFY(!stage.particles->emitterLayer().particles().empty());
        for (const auto &particle : stage.particles->emitterLayer().particles())
            QVERIFY(particle.position.manhattanLength() <= 200 + 100 * 0.6 * 1.5);
    }

    void renderedFrameShowsBothImagesSplitAtTheBar()
    {
        ProgressStage stage(true);
        stage.frames(30);
        stage.report(50);
        stage.frames(900);
        const QImage image = stage.window.grab().toImage();
        const double boundary = 278.0 - stage.icon->progress() * 128.0;
        QVERIFY2(std::abs(boundary - stage.barMiddle()) < 1.5, qPrintable(QString::number(boundary)));
        // Strips along the icon's upper and lower edges, averaged: the particles and the glow
        // brighten single pixels there, but not the colour the strip is made of.
        const auto mean = [&image](int top) {
            double red = 0, blue = 0;
            int count = 0;
            for (int y = top; y < top + 10; ++y) {
                for (int x = 140; x < 260; ++x, ++count) {
                    red += image.pixelColor(x, y).red();
                    blue += image.pixelColor(x, y).blue();
                }
            }
            return std::pair{red / count, blue / count};
        };
        const auto [topRed, topBlue] = mean(150);
        QVERIFY2(topRed > topBlue + 100, qPrintable(QStringLiteral("%1 %2").arg(topRed).arg(topBlue)));
        const auto [bottomRed, bottomBlue] = mean(268);
        QVERIFY2(bottomBlue > bottomRed + 100, qPrintable(QStringLiteral("%1 %2").arg(bottomRed).arg(bottomBlue)));
        // The particles and the glow light the bar's middle line beside the icon.
        const QColor lit = image.pixelColor(60, int(stage.barMiddle()));
        QVERIFY2(lit.red() > 200 && lit.green() > 200, qPrintable(lit.name()));
    }

    void iconSplitsWithoutDistortion()
    {
        VLManualClock clock;
        VLEncryptProgressImageView view;
        view.resize(100, 100);
        view.setTopImage(solidImage(QSize(40, 40), Qt::red));
        view.setBottomImage(solidImage(QSize(80, 40), Qt::blue)); // twice as wide as high
        view.setProgress(0.5);
        QCOMPARE(view.bottomImageContainerFrame(), QRectF(0, 50, 100, 50));
        QCOMPARE(view.topImageContainerFrame(), QRectF(0, 0, 100, 50));
        QCOMPARE(view.imageFrame(view.bottomImage()), QRectF(0, 25, 100, 50));

        QImage image(100, 100, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        view.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        QCOMPARE(image.pixelColor(50, 10), QColor(Qt::red));
        QCOMPARE(image.pixelColor(50, 49), QColor(Qt::red));
        QCOMPARE(image.pixelColor(50, 51), QColor(Qt::blue));
        QCOMPARE(image.pixelColor(50, 74), QColor(Qt::blue));
        // The wide image keeps its shape: nothing of it below its own lower edge.
        QCOMPARE(image.pixelColor(50, 90), QColor(Qt::white));

        view.setProgress(0.0);
        QCOMPARE(view.topImageContainerFrame(), QRectF(0, 0, 100, 100));
        view.setProgress(1.0);
        QCOMPARE(view.bottomImageContainerFrame(), QRectF(0, 0, 100, 100));
    }

    void animatedProgressIsLinearOverItsDuration()
    {
        VLManualClock clock;
        VLEncryptProgressImageView view;
        view.resize(100, 100);
        view.show();
        view.setProgress(0.2);
        view.setProgressAnimated(0.6, true);
        QCOMPARE(view.progress(), 0.6);
        QCOMPARE(view.displayedProgress(), 0.2);
        clock.advance(0.1);
        QVERIFY(std::abs(view.displayedProgress() - 0.4) < 1e-6);
        clock.advance(0.1);
        QCOMPARE(view.displayedProgress(), 0.6);

        // A resize takes the stored progress at once, cutting a running change short.
        view.setProgressAnimatedDuration(1.0, true, 1.0);
        clock.advance(0.25);
        view.resize(120, 120);
        QCOMPARE(view.displayedProgress(), 1.0);
        QCOMPARE(view.bottomImageContainerFrame(), QRectF(0, 0, 120, 120));
    }

    void charactersLayout()
    {
        VLManualClock clock;
        VLEncryptProgressAnimationView view;
        const double th = view.textHeight();
        QVERIFY(th > 8 && th < 20);
        view.resize(14 + 13 * 20, int(std::ceil(th * 2)));
        view.show();
        QCOMPARE(view.characters().size(), 36);
        QCOMPARE(view.characters().first(), QStringLiteral("A"));
        QCOMPARE(view.characters().last(), QStringLiteral("9"));
        QCOMPARE(view.animationLayers().size(), 13);

        const QRectF container = view.containerFrame();
        QCOMPARE(container.left(), 7.0);
        QCOMPARE(container.width(), 13.0 * 20);
        QVERIFY(std::abs(container.height() - th) < 1e-6);
        const VLEncryptTextStackLayer *third = view.animationLayers().at(2);
        // On the container's line, reaching four rows above it; the first row at the bottom.
        QCOMPARE(third->frame(), QRectF(40, th - 5 * th, 20, 5 * th));
        QCOMPARE(third->textLayers().first().frame, QRectF(0, 4 * th, 20, th));
        QCOMPARE(third->textLayers().last().frame, QRectF(0, 0, 20, th));
        for (const VLEncryptTextLayer &row : third->textLayers()) {
            QVERIFY(view.characters().contains(row.string));
            QCOMPARE(row.foregroundColor, QColor(0x5a, 0x3c, 0x00));
        }
        const double f = (view.height() - th) / view.height();
        QCOMPARE(view.maskLocations(), (QList<double>{0.0, f, 1.0 - f, 1.0}));
    }

    void charactersSlideOnWithoutAJump()
    {
        VLManualClock clock;
        VLEncryptProgressAnimationView view;
        view.resize(300, 30);
        view.show();
        view.setAnimating(true);
        QVERIFY(view.isAnimating());
        VLEncryptTextStackLayer *column = view.animationLayers().first();
        const QPointF home = column->position();
        QVERIFY(VLAnimator::animationForKey(column, VLEncryptProgressAnimationView::slideAnimationKey));

        // Watch the column until it jumps back: the character that was in view moves to the bottom row.
        QString inView;
        bool cycled = false;
        double previousY = column->position().y();
        for (int frame = 0; frame < 120 && !cycled; ++frame) {
            inView = column->textLayers().last().string;
            clock.advance(kFrame);
            const double y = column->position().y();
            QVERIFY(y <= home.y() + 4 * view.textHeight() + 1e-6);
            if (y < previousY) {
                cycled = true;
                QCOMPARE(column->textLayers().first().string, inView);
                QCOMPARE(column->position(), home);
            }
            previousY = y;
        }
        QVERIFY2(cycled, "a slide lasts at most 0.75 s");

        // Each slide's duration stays within 0.15 to 0.75 s.
        auto slide = std::dynamic_pointer_cast<VLBasicAnimation>(
            VLAnimator::animationForKey(column, VLEncryptProgressAnimationView::slideAnimationKey));
        QVERIFY(slide);
        QVERIFY(slide->duration() >= 0.15 && slide->duration() <= 0.75);

        // Stopping removes every slide; hiding and showing while animating starts fresh ones.
        view.hide();
        QVERIFY(!VLAnimator::animationForKey(column, VLEncryptProgressAnimationView::slideAnimationKey));
        view.show();
        QVERIFY(VLAnimator::animationForKey(column, VLEncryptProgressAnimationView::slideAnimationKey));
        view.setAnimating(false);
        for (VLEncryptTextStackLayer *each : view.animationLayers())
            QVERIFY(!VLAnimator::animationForKey(each, VLEncryptProgressAnimationView::slideAnimationKey));
        clock.advance(kFrame);
        const QPointF stopped = column->position();
        clock.advance(1.0, 60);
        QCOMPARE(column->position(), stopped);
    }

    void charactersAreDrawnFadedAtTheEdges()
    {
        VLManualClock clock;
        VLEncryptProgressAnimationView view;
        const int height = int(std::ceil(view.textHeight() * 2));
        view.resize(300, height);
        for (VLEncryptTextStackLayer *column : view.animationLayers())
            for (VLEncryptTextLayer &row : column->textLayers())
                row.string = QStringLiteral("M");
        QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        view.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        const auto inkInRow = [&image](int y) {
            int ink = 0;
            for (int x = 0; x < image.width(); ++x)
                ink = std::max(ink, qAlpha(image.pixel(x, y)));
            return ink;
        };
        int middle = 0;
        for (int y = height / 2 - 2; y <= height / 2 + 2; ++y)
            middle = std::max(middle, inkInRow(y));
        QVERIFY2(middle > 60, qPrintable(QString::number(middle)));
        QVERIFY(inkInRow(0) <= 30);
        QVERIFY(inkInRow(height - 1) <= 30);
    }

    void particlesDieOutWhenStopped()
    {
        VLManualClock clock;
        VLParticleView view;
        view.resize(400, 200);
        view.setEmitterSize(QSizeF(400, 66));
        view.setEmitterPosition(QPointF(0, 100));
        view.setAnimates(true);
        QCOMPARE(view.emitterBirthRate(), 1.0);
        clock.advance(1.0, 60);
        // About a thousand a second, each living 0.6 s.
        const size_t alive = view.emitterLayer().particles().size();
        QVERIFY2(alive > 500 && alive < 700, qPrintable(QString::number(alive)));
        for (const auto &particle : view.emitterLayer().particles()) {
            QVERIFY(particle.scale <= 0.45 + 1e-9);
            QVERIFY(particle.alpha >= 0.5 && particle.alpha <= 1.0);
        }
        view.setAnimates(false);
        QCOMPARE(view.emitterBirthRate(), 0.0);
        clock.advance(0.3, 18);
        QVERIFY(!view.emitterLayer().particles().empty());
        clock.advance(0.4, 24);
        QVERIFY(view.emitterLayer().particles().empty());
        QVERIFY(VLAnimator::animationKeys(&view).isEmpty());

        view.setGlows(true);
        clock.advance(0.1);
        QVERIFY(view.glowOpacity() > 0.0 && view.glowOpacity() < 1.0);
        clock.advance(0.2);
        QCOMPARE(view.glowOpacity(), 1.0);
        view.setGlows(false);
        clock.advance(0.3);
        QCOMPARE(view.glowOpacity(), 0.0);
    }
};

QTEST_MAIN(TestProgressAnimation)
#include "tst_progressanimation.moc"
