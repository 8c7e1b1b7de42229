#include "platform/core/DictionaryAdditions.h"

#include <QTest>

class TestDictionaryAdditions : public QObject
{
    Q_OBJECT

private slots:
    void appendWith()
    {
        const QVariantMap receiver{{QStringLiteral("ec"), QStringLiteral("App")}, {QStringLiteral("ev"), 1}};
        const QVariantMap merged = vl_appendWith(
            receiver, QVariantMap{{QStringLiteral("ev"), 2}, {QStringLiteral("el"), QStringLiteral("x")}});
        QCOMPARE(merged.value(QStringLiteral("ev")), QVariant(2));
        QCOMPARE(merged.value(QStringLiteral("el")), QVariant(QStringLiteral("x")));
        QCOMPARE(merged.value(QStringLiteral("ec")), QVariant(QStringLiteral("App")));
        QCOMPARE(receiver.value(QStringLiteral("ev")), QVariant(1)); // the receiver is untouched
        QCOMPARE(vl_appendWith(receiver, std::nullopt), receiver);
        QCOMPARE(vl_appendWith({}, QVariantMap()), QVariantMap());
    }
};

QTEST_APPLESS_MAIN(TestDictionaryAdditions)
#include "tst_dictionaryadditions.moc"
