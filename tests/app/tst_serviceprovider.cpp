#include "app/VLAppDelegate.h"
#include "app/VLServiceProvider.h"
#include "platform/channel/VLInstanceChannel.h"

#include <QMimeData>
#include <QStandardPaths>
#include <QTest>
#include <QUrl>

using namespace Qt::StringLiterals;

class TestServiceProvider : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    // Files reach the delegate (queued there until the launch has finished); anything else is
    // answered with the error text and goes nowhere.
    void handsFilesToTheDelegate_data()
    {
        QTest::addColumn<QList<QUrl>>("urls");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("delivered");
        QTest::addColumn<QString>("error");
        QTest::newRow("files") << QList<QUrl>{QUrl::fromLocalFile(u"/tmp/a.txt"_qs), QUrl::fromLocalFile(u"/tmp/B"_qs)}
                               << QString() << QStringList{u"/tmp/a.txt"_qs, u"/tmp/B"_qs} << QString();
        QTest::newRow("text only") << QList<QUrl>() << u"/tmp/a.txt"_qs << QStringList()
                                   << u"Error: Pasteboard doesn't contain a file path."_qs;
        QTest::newRow("remote address") << QList<QUrl>{QUrl(u"https://example.com/a"_qs)} << QString() << QStringList()
                                        << QString();
    }

    void handsFilesToTheDelegate()
    {
        QFETCH(QList<QUrl>, urls);
        QFETCH(QString, text);
        QFETCH(QStringList, delivered);
        QFETCH(QString, error);
        VLAppDelegate delegate;
        QMimeData pasteboard;
        if (!urls.isEmpty())
            pasteboard.setUrls(urls);
        if (!text.isEmpty())
            pasteboard.setText(text);
        QString answered;
        VLServiceProvider provider;
        provider.encryptFilesUserDataError(pasteboard, QString(), &answered);
        QCOMPARE(answered, error);
        QCOMPARE(delegate.queuedFiles(), delivered);
    }

    // The Services message of the single-instance channel goes through the provider.
    void servicesMessageGoesThroughTheProvider()
    {
        VLAppDelegate delegate;
        delegate.deliverFiles(VLInstanceChannel::Kind::ServiceFiles, {u"/tmp/c.vault"_qs});
        QCOMPARE(delegate.queuedFiles(), QStringList{u"/tmp/c.vault"_qs});
    }
};

QTEST_MAIN(TestServiceProvider)
#include "tst_serviceprovider.moc"
