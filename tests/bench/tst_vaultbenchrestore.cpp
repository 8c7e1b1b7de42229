#include "tests/support/ReadOnlyTree.h"
#include "tests/support/UnprivilegedScope.h"

#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
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
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString source = dir.filePath(QStringLiteral("src/Locked"));
        const auto writable = qScopeGuard([&] { ReadOnlyTree::makeWritable(dir.path()); });
        if (!ReadOnlyTree::make(source))
            QSKIP("the temporary folder's file system keeps no user extended attributes");
        // The tool runs as the identity this scope takes.
        UnprivilegedScope unprivileged({dir.path()});
        if (!unprivileged.isEffective())
            QSKIP("the superuser could not step down to an ordinary user");
        const QString container = dir.filePath(QStringLiteral("locked.vault"));
        const QString out = dir.filePath(QStringLiteral("out"));
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
