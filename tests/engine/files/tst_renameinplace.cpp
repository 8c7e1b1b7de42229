#include "engine/files/VLRenameInPlace.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestRenameInPlace : public QObject
{
    Q_OBJECT

private:
    static bool write(const QString &path, const QByteArray &data)
    {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
    }
    static QByteArray read(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private slots:
    void renamesWithinTheFolder()
    {
        QTemporaryDir dir;
        const QString original = dir.filePath(u"Report.vault"_s);
        QVERIFY(write(original, "container"));
        const VLRenameInPlaceResult result = vlRenameItemInPlace(original, u"Taxes 2026"_s, u"vault"_s);
        QVERIFY(result.error.isNull());
        QCOMPARE(result.path, dir.filePath(u"Taxes 2026.vault"_s));
        QCOMPARE(read(result.path), QByteArray("container"));
        QVERIFY(!QFile::exists(original));
    }

    void neverReplacesAnExistingFile()
    {
        QTemporaryDir dir;
        const QString original = dir.filePath(u"Report.vault"_s);
        const QString existing = dir.filePath(u"Taxes.vault"_s);
        QVERIFY(write(original, "container"));
        QVERIFY(write(existing, "someone else's"));
        const VLRenameInPlaceResult result = vlRenameItemInPlace(original, u"Taxes"_s, u"vault"_s);
        QCOMPARE(result.error.domain(), u"NSCocoaErrorDomain"_s);
        QCOMPARE(result.error.code(), 516);
        QVERIFY(result.error.userInfo().value(u"NSLocalizedDescription"_s).toString().contains(u"Taxes.vault"_s));
        QCOMPARE(result.path, original);
        QCOMPARE(read(original), QByteArray("container"));
        QCOMPARE(read(existing), QByteArray("someone else's"));
    }

    void theSameNameIsNoChange()
    {
        QTemporaryDir dir;
        const QString original = dir.filePath(u"Report.vault"_s);
        QVERIFY(write(original, "container"));
        const VLRenameInPlaceResult result = vlRenameItemInPlace(original, u"Report"_s, u"vault"_s);
        QVERIFY(result.error.isNull());
        QCOMPARE(result.path, original);
    }
};

QTEST_GUILESS_MAIN(TestRenameInPlace)
#include "tst_renameinplace.moc"
