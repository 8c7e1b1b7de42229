#include "tests/support/ReadOnlyTree.h"

#include <QProcess>
#include <QTest>

class TestVaultbenchRestore : public QObject
{
    Q_OBJECT

private:
    // Runs the tool to its end; its output on failure.
    static QString run(const QStringList &arguments)
    {
        QProcess tool;
        tool.setProcessChannelMode(QProcess::MergedChannels);
        tool.start(QStringLiteral(VAULTBENCH_PATH), arguments);
        if (!tool.waitForFinished(120000))
            return QStringLiteral("did not finish: ") + tool.errorString();
        if (tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0)
            return QStringLiteral("exit %1: ").arg(tool.exitCode()) + QString::fromLocal8Bit(tool.readAll());
        return {};
    }

private slots:
    // An ordinary user encrypts and decrypts a tree of read-only files and folders with extended
    // attributes, and gets it back as it was.
    void readOnlyTreeRoundTrips()
    {
        // The tool runs as the ordinary user the workspace steps down to.
        const ReadOnlyTree::Workspace workspace;
        if (workspace.skipReason())
            QSKIP(workspace.skipReason());
        const QString source = workspace.source();
        const QString container = workspace.path(QStringLiteral("locked.vault"));
        const QString out = workspace.path(QStringLiteral("out"));
        QVERIFY(QDir().mkpath(out));
        QCOMPARE(run({QStringLiteral("encrypt"), QStringLiteral("--password"), QStringLiteral("pw"),
                      QStringLiteral("--out"), container, source}),
                 QString());
        QCOMPARE(run({QStringLiteral("decrypt"), QStringLiteral("--password"), QStringLiteral("pw"), container, out}),
                 QString());
        QCOMPARE(ReadOnlyTree::differences(source, out + u"/Locked"), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestVaultbenchRestore)
#include "tst_vaultbenchrestore.moc"
