#include "companion/SWAnalyticsTracker.h"
#include "companion/SWLinkBuilder.h"
#include "companion/VLABTester.h"
#include "companion/VLAboutCollectionViewCells.h"
#include "companion/VLAboutWindowController.h"
#include "companion/VLMoreProductsButton.h"
#include "controls/VLRoundedButton.h"
#include "platform/animation/VLAnimationClock.h"
#include "platform/animation/VLAnimator.h"
#include "platform/core/Library.h"
#include "platform/core/Log.h"
#include "platform/settings/Defaults.h"
#include "tests/companion/LocalHttpServer.h"
#include "tests/companion/OpenedLinks.h"
#include "tests/companion/PixelCounts.h"
#include "tests/companion/TestEnvironment.h"
#include "tests/companion/TestTracker.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>

namespace {

QRect frameIn(const QWidget *widget, const QWidget *window)
{
    return {widget->mapTo(window, QPoint(0, 0)), widget->size()};
}

QImage grabWindow(QWidget *window)
{
    return window->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

} // namespace

class TestVLAboutWindow : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    LocalHttpServer m_server;
    std::unique_ptr<TestTracker> m_tracker;
    std::unique_ptr<QSignalSpy> m_events;
    std::unique_ptr<VLManualClock> m_clock;

    VLAboutWindowController::Configuration configuration()
    {
        VLAboutWindowController::Configuration configuration;
        configuration.tracker = m_tracker->tracker.get();
        configuration.environment = testEnvironment();
        return configuration;
    }

    QString writeFile(const QString &name, const QByteArray &contents)
    {
        const QString path = m_dir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return {};
        file.write(contents);
        return path;
    }

    // "action/label" of the About events, in order.
    QStringList aboutEvents() const
    {
        QStringList events;
        for (const QList<QVariant> &arguments : *m_events) {
            const QVariantMap hit = arguments.first().toMap();
            if (hit.value(SWAnalyticsKey::eventCategory).toString() != u"About")
                continue;
            QString event = hit.value(SWAnalyticsKey::eventAction).toString() + u'/'
                            + hit.value(SWAnalyticsKey::eventLabel).toString();
            if (hit.value(SWAnalyticsKey::eventValue).toInt() != 1)
                event += QStringLiteral(" (value %1)").arg(hit.value(SWAnalyticsKey::eventValue).toString());
            events << event;
        }
        return events;
    }

    static QUrl link(const QString &action)
    {
        return SWLinkBuilder::standartTdsURLWithAction(action, testEnvironment());
    }

    void showAndWait(VLAboutWindowController &controller)
    {
        controller.showWindow();
        QVERIFY(QTest::qWaitForWindowExposed(controller.window()));
    }

private slots:
    void initTestCase()
    {
        platform::setApplicationIdentity();
        m_tracker = std::make_unique<TestTracker>(m_dir.filePath(QStringLiteral("tracker.ini")),
                                                  m_server.url(QStringLiteral("/collect")));
    }

    void init()
    {
        m_events = std::make_unique<QSignalSpy>(&SWAnalyticsEvents::center(), &SWAnalyticsEvents::analyticsEvent);
        m_clock = std::make_unique<VLManualClock>();
    }

    void cleanup()
    {
        m_clock.reset();
        platform::setLogSink({});
    }

    void theShippedListsLoad()
    {
        const QList<VLAboutCreditsSection> credits = VLAboutCredits::defaultCredits();
        QVERIFY(credits.size() >= 2);
        for (const VLAboutCreditsSection &section : credits) {
            QVERIFY(!section.title().isEmpty());
            QVERIFY(!section.names().isEmpty());
        }
        const QList<VLAboutProduct> products = VLAboutProduct::products();
        QCOMPARE(products.size(), 4);
        for (const VLAboutProduct &product : products) {
            QVERIFY(!product.image().isNull());
            QVERIFY(!product.title().isEmpty() && !product.subtitle().isEmpty() && !product.action().isEmpty());
        }
    }

    void unreadableListsLeaveThemEmptyWithOneLogLine_data()
    {
        QTest::addColumn<QByteArray>("contents"); // empty: no file at all
        QTest::newRow("missing") << QByteArray();
        QTest::newRow("not JSON") << QByteArray("[{\"title\": ");
        QTest::newRow("not an array") << QByteArray("{\"title\": \"Design\", \"names\": []}");
    }

    void unreadableListsLeaveThemEmptyWithOneLogLine()
    {
        QFETCH(QByteArray, contents);
        const QString path = contents.isEmpty() ? m_dir.filePath(QStringLiteral("none.json"))
                                                : writeFile(QStringLiteral("list.json"), contents);
        QStringList lines;
        platform::setLogSink([&lines](const QString &line) { lines << line; });
        QVERIFY(VLAboutCredits::creditsFromFile(path).isEmpty());
        QVERIFY(VLAboutProduct::productsFromFile(path).isEmpty());
        QCOMPARE(lines.size(), 2);
        QVERIFY2(lines.at(0).startsWith(QStringLiteral("Credits deserialization error: ")), qPrintable(lines.at(0)));
        QVERIFY2(lines.at(1).startsWith(QStringLiteral("Other products deserialization error: ")),
                 qPrintable(lines.at(1)));
    }

    void aProductOutsideTheIconTableHasNoIcon()
    {
        const QString path = writeFile(QStringLiteral("products.json"), R"([
            {"title": "A", "subtitle": "a", "action": "a", "index": -1},
            {"title": "B", "subtitle": "b", "action": "b", "index": 4},
            {"title": "C", "subtitle": "c", "action": "c", "index": 3},
            {"title": "D", "subtitle": "d", "action": "d"}])");
        const QList<VLAboutProduct> products = VLAboutProduct::productsFromFile(path);
        QCOMPARE(products.size(), 4);
        QVERIFY(products.at(0).image().isNull());
        QVERIFY(products.at(1).image().isNull());
        QVERIFY(!products.at(2).image().isNull());
        QVERIFY(products.at(3).image().isNull());
        QCOMPARE(products.at(2).title(), QStringLiteral("C"));
        QCOMPARE(products.at(2).action(), QStringLiteral("c"));
    }

    void creditsHeadersAndFootersFollowTheSections_data()
    {
        QTest::addColumn<QByteArray>("credits");
        QTest::addColumn<QList<int>>("headerHeights");
        QTest::addColumn<QList<int>>("footerHeights");
        QTest::newRow("one section") << QByteArray(R"([{"title": "Only", "names": ["a", "b"]}])") << QList<int>{45}
                                     << QList<int>{45};
        QTest::newRow("three sections") << QByteArray(
            R"([{"title": "First", "names": ["a"]}, {"title": "Second", "names": ["b", "c"]},
                              {"title": "Third", "names": ["d"]}])")
                                        << QList<int>{45, 38, 38} << QList<int>{0, 0, 45};
    }

    void creditsHeadersAndFootersFollowTheSections()
    {
        QFETCH(QByteArray, credits);
        QFETCH(QList<int>, headerHeights);
        QFETCH(QList<int>, footerHeights);
        VLAboutWindowController::Configuration settings = configuration();
        settings.creditsPath = writeFile(QStringLiteral("credits.json"), credits);
        VLAboutWindowController controller(settings);
        showAndWait(controller);
        VLAboutCollectionView *list = controller.creditsCollectionView();
        int y = 0;
        int row = 0;
        for (int section = 0; section < headerHeights.size(); ++section) {
            auto *header = qobject_cast<VLAboutCollectionViewCreditHeader *>(
                list->supplementaryViewForKindInSection(VLAboutCollectionViewListLayoutHeaderKind, section));
            QVERIFY(header);
            QCOMPARE(header->title(), controller.credits().at(section).title());
            QCOMPARE(header->geometry(), QRect(0, y, list->viewport()->width(), headerHeights.at(section)));
            y += headerHeights.at(section);
            for (int item = 0; item < controller.credits().at(section).names().size(); ++item, ++row) {
                auto *cell = qobject_cast<VLAboutCollectionViewCreditCell *>(
                    list->cellForItemAtIndexPath({section, item}));
                QVERIFY(cell);
                QCOMPARE(cell->title(), controller.credits().at(section).names().at(item));
                QCOMPARE(cell->geometry(), QRect(0, y, list->viewport()->width(), 20));
                y += 20;
            }
            QWidget *footer = list->supplementaryViewForKindInSection(VLAboutCollectionViewListLayoutFooterKind,
                                                                      section);
            QCOMPARE(footer != nullptr, footerHeights.at(section) > 0);
            if (footer)
                QCOMPARE(footer->geometry(), QRect(0, y, list->viewport()->width(), footerHeights.at(section)));
            y += footerHeights.at(section);
        }
        QCOMPARE(list->visibleCells().size(), row);
        QCOMPARE(list->widget()->height(), y);
    }

    void theWindowShowsVersionCreditsAndProducts()
    {
        VLAboutWindowController controller(configuration());
        showAndWait(controller);
        QWidget *window = controller.window();
        QCOMPARE(window->height(), 340);
        QCOMPARE(controller.versionLabel()->text(),
                 QStringLiteral("Version ") + QCoreApplication::applicationVersion());

        // The credits: a section title in dim white, the names in white, on the dark window.
        const QImage image = grabWindow(window);
        const QColor ground = image.pixelColor(2, 2);
        VLAboutCollectionView *list = controller.creditsCollectionView();
        auto *header = list->supplementaryViewForKindInSection(VLAboutCollectionViewListLayoutHeaderKind, 0);
        const int headerLevel = brightestGray(image.copy(frameIn(header, window)));
        QVERIFY2(headerLevel > qGray(ground.rgb()) + 40 && headerLevel < 200, qPrintable(QString::number(headerLevel)));
        QVERIFY(brightestGray(image.copy(frameIn(list->cellForItemAtIndexPath({0, 0}), window))) > 230);
        // An empty row would stay dark: each name is drawn.
        for (QWidget *cell : list->visibleCells()) {
            if (frameIn(cell, window).bottom() < window->height())
                QVERIFY(brightestGray(image.copy(frameIn(cell, window))) > 230);
        }

        // The products strip lies below the window's bottom until it is revealed.
        VLAboutCollectionView *strip = controller.productsCollectionView();
        QCOMPARE(strip->visibleCells().size(), 4);
        QVERIFY(frameIn(strip, window).top() >= 340);
        QTest::mouseClick(controller.moreButton(), Qt::LeftButton);
        m_clock->advance(2.0, 120);
        QCOMPARE(window->height(), 500);
        const QImage expanded = grabWindow(window);
        const QList<QColor> iconColors = {QColor(0xf5, 0xc5, 0x42), QColor(0x34, 0xc2, 0x7a), QColor(0x7a, 0x5c, 0xf0),
                                          QColor(0xef, 0x5a, 0x4c)};
        for (int item = 0; item < 4; ++item) {
            auto *cell = qobject_cast<VLAboutCollectionViewProductCell *>(strip->cellForItemAtIndexPath({0, item}));
            QVERIFY(cell);
            QCOMPARE(cell->title(), controller.products().at(item).title());
            // 106 wide, 23 in from the left, side by side.
            QCOMPARE(cell->geometry(), QRect(23 + 106 * item, 0, 106, 160));
            const QRect icon = cell->iconRect().translated(cell->mapTo(window, QPoint(0, 0)));
            QCOMPARE(icon.size(), QSize(56, 56));
            QVERIFY(pixelsOfColor(expanded.copy(icon), iconColors.at(item)) > 1000);
            QVERIFY(brightestGray(expanded.copy(cell->titleRect().translated(cell->mapTo(window, QPoint(0, 0)))))
                    > 230);
        }
        // The country of origin closes the credits: its flag's two stripes.
        list->verticalScrollBar()->setValue(list->verticalScrollBar()->maximum());
        auto *footer = qobject_cast<VLAboutCollectionViewCreditFooter *>(list->supplementaryViewForKindInSection(
            VLAboutCollectionViewListLayoutFooterKind, int(controller.credits().size()) - 1));
        QVERIFY(footer);
        const QImage scrolled = grabWindow(window).copy(frameIn(footer, window));
        QVERIFY(pixelsOfColor(scrolled, footer->colors().at(1), 8) >= 60);
        QVERIFY(pixelsOfColor(scrolled, footer->colors().at(0), 8) >= 60);
    }

    void acknowledgementsShowRenderedAboveTheirButton()
    {
        VLAboutWindowController controller(configuration());
        showAndWait(controller);
        QTest::mouseClick(controller.acknowledgementsButton(), Qt::LeftButton);
        QWidget *popover = controller.acknowledgementsPopover();
        QVERIFY(QTest::qWaitForWindowExposed(popover));
        const QRect button(controller.acknowledgementsButton()->mapToGlobal(QPoint(0, 0)),
                           controller.acknowledgementsButton()->size());
        QVERIFY(popover->geometry().bottom() < button.top());
        QCOMPARE(popover->geometry().center().x(), button.center().x());

        // The Markdown arrives as formatted text: a title, section headings and paragraphs.
        QTextDocument *document = controller.webView()->document();
        QCOMPARE(document->firstBlock().text(), QStringLiteral("Acknowledgements"));
        QCOMPARE(document->firstBlock().blockFormat().headingLevel(), 1);
        int headings = 0;
        for (QTextBlock block = document->firstBlock(); block.isValid(); block = block.next())
            headings += block.blockFormat().headingLevel() == 2 ? 1 : 0;
        QVERIFY(headings >= 5);
        QVERIFY(!document->toPlainText().contains(u'#'));
        // Headings in the style sheet's blue, text in white, on the dark panel.
        const QImage image = popover->grab().toImage().convertToFormat(QImage::Format_RGB32);
        QVERIFY(pixelsOfColor(image, QColor(0x3a, 0xa0, 0xff), 30) > 50);
        QVERIFY(brightestGray(image) > 240);
        QVERIFY(qGray(image.pixel(2, image.height() - 3)) < 60);
        QVERIFY(qGray(image.pixel(image.width() - 1, image.height() - 1)) < 60);
    }

    void missingAcknowledgementsLeaveThePopoverEmpty()
    {
        VLAboutWindowController::Configuration settings = configuration();
        settings.acknowledgementsPath = m_dir.filePath(QStringLiteral("none.md"));
        VLAboutWindowController controller(settings);
        showAndWait(controller);
        QVERIFY(controller.webView()->document()->isEmpty());
    }

    void linksSendTheirEventAndOpenTheirPage_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("event");
        QTest::addColumn<QString>("action");
        QTest::newRow("product page") << QStringLiteral("site") << QStringLiteral("Visit Site/Link")
                                      << QStringLiteral("productpage");
        QTest::newRow("maker's site") << QStringLiteral("logo") << QStringLiteral("Visit Site/Logo")
                                      << QStringLiteral("nimbrelsite");
        QTest::newRow("country of origin")
            << QStringLiteral("footer") << QStringLiteral("Visit Site/Made in Poland") << QStringLiteral("madein");
        QTest::newRow("a product") << QStringLiteral("product") << QStringLiteral("More Products/nimbrelsync")
                                   << QStringLiteral("nimbrelsync");
    }

    void linksSendTheirEventAndOpenTheirPage()
    {
        QFETCH(QString, target);
        QFETCH(QString, event);
        QFETCH(QString, action);
        OpenedLinks links;
        VLAboutWindowController controller(configuration());
        showAndWait(controller);
        if (target == u"site") {
            QTest::mouseClick(controller.visitSiteButton(), Qt::LeftButton);
        } else if (target == u"logo") {
            QTest::mouseClick(controller.nimbrelLogoButton(), Qt::LeftButton);
        } else if (target == u"footer") {
            VLAboutCollectionView *list = controller.creditsCollectionView();
            list->verticalScrollBar()->setValue(list->verticalScrollBar()->maximum());
            auto *footer = qobject_cast<VLAboutCollectionViewCreditFooter *>(list->supplementaryViewForKindInSection(
                VLAboutCollectionViewListLayoutFooterKind, int(controller.credits().size()) - 1));
            // Beside the label first: nothing happens.
            QTest::mouseClick(footer, Qt::LeftButton, Qt::NoModifier, QPoint(footer->width() - 5, 5));
            QVERIFY(links.urls.isEmpty());
            QTest::mouseClick(footer, Qt::LeftButton, Qt::NoModifier, footer->labelRect().center().toPoint());
        } else {
            QTest::mouseClick(controller.moreButton(), Qt::LeftButton);
            m_clock->advance(2.0, 60);
            m_events->clear();
            QWidget *cell = controller.productsCollectionView()->cellForItemAtIndexPath({0, 2});
            QTest::mouseClick(cell, Qt::LeftButton, Qt::NoModifier, cell->rect().center());
        }
        QCOMPARE(aboutEvents(), QStringList{event});
        QCOMPARE(links.urls, QList<QUrl>{link(action)});
    }

    void clickingACreditDoesNothing()
    {
        OpenedLinks links;
        VLAboutWindowController controller(configuration());
        showAndWait(controller);
        QTest::mouseClick(controller.creditsCollectionView()->cellForItemAtIndexPath({0, 0}), Qt::LeftButton);
        QVERIFY(aboutEvents().isEmpty());
        QVERIFY(links.urls.isEmpty());
    }

    void moreProductsGrowsAndShrinksTheWindowBelowItsTopEdge()
    {
        VLAboutWindowController controller(configuration());
        showAndWait(controller);
        QWidget *window = controller.window();
        VLMoreProductsButton *more = controller.moreButton();
        const int top = window->geometry().top();
        QTest::mouseClick(more, Qt::LeftButton);
        QVERIFY(more->isOn());
        QCOMPARE(aboutEvents(), QStringList{QStringLiteral("More Products/Reveal")});
        m_clock->advance(0.05, 3);
        QVERIFY(window->height() > 340 && window->height() < 500);
        QCOMPARE(window->geometry().top(), top);
        m_clock->advance(2.0, 120);
        QCOMPARE(window->height(), 500);
        QCOMPARE(window->geometry().top(), top);
        QCOMPARE(more->imageLayer()->rotation(), 180.0);

        // Hiding sends nothing.
        QTest::mouseClick(more, Qt::LeftButton);
        QVERIFY(!more->isOn());
        m_clock->advance(2.0, 120);
        QCOMPARE(window->height(), 340);
        QCOMPARE(window->geometry().top(), top);
        QCOMPARE(more->imageLayer()->rotation(), 0.0);
        QCOMPARE(aboutEvents().size(), 1);

        // Twice in quick succession: the second spring replaces the first.
        QTest::mouseClick(more, Qt::LeftButton);
        m_clock->advance(0.05, 3);
        QTest::mouseClick(more, Qt::LeftButton);
        m_clock->advance(2.0, 120);
        QCOMPARE(window->height(), 340);
        QCOMPARE(window->geometry().top(), top);
        QVERIFY(!VLAnimator::animationForKey(window, VLAboutWindowController::moreProductsAnimationKey)
                || VLAnimator::instance()->runningAnimationCount() == 0);
    }

    void aPressDraggedOffTheMoreButtonDoesNotToggle()
    {
        VLAboutWindowController controller(configuration());
        showAndWait(controller);
        VLMoreProductsButton *more = controller.moreButton();
        QTest::mousePress(more, Qt::LeftButton);
        QTest::mouseMove(more, QPoint(more->width() + 20, more->height() / 2));
        QTest::mouseRelease(more, Qt::LeftButton, Qt::NoModifier, QPoint(more->width() + 20, more->height() / 2));
        QVERIFY(!more->isOn());
        QVERIFY(aboutEvents().isEmpty());
        m_clock->advance(1.0, 30);
        QCOMPARE(controller.window()->height(), 340);
    }
};

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    TestVLAboutWindow test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_vlaboutwindow.moc"
