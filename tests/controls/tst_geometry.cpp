#include "controls/VLGeometry.h"

#include <QTest>

class TestGeometry : public QObject
{
    Q_OBJECT

private slots:
    void helpers_data()
    {
        QTest::addColumn<QRectF>("actual");
        QTest::addColumn<QRectF>("expected");
        const QRectF r(10, 10, 100, 50);
        QTest::newRow("inset by edge insets") << VLRectInsetByEdgeInsets(r, {2, 3, 4, 5}) << QRectF(13, 12, 92, 44);
        QTest::newRow("integral with origin")
            << VLRectIntegralWithOrigin(QRectF(5, 5, 10.2, 4), 0.4, 2.5) << QRectF(0, 2, 11, 5);
        QTest::newRow("with width, not integral")
            << VLRectWithWidth(QRectF(1.5, 2.5, 3, 4), 7.25) << QRectF(1.5, 2.5, 7.25, 4);
        QTest::newRow("integral with x") << VLRectIntegralWithX(QRectF(0, 1.2, 10, 2.5), 3.7) << QRectF(3, 1, 11, 3);
        QTest::newRow("integral with y") << VLRectIntegralWithY(QRectF(1, 0, 2, 3), 4.5) << QRectF(1, 4, 2, 4);
        QTest::newRow("with size") << VLRectWithSize(r, QSizeF(1, 2)) << QRectF(10, 10, 1, 2);
        QTest::newRow("with height") << VLRectWithHeight(r, 7) << QRectF(10, 10, 100, 7);
        QTest::newRow("centred ignores outer origin")
            << VLRectCenteredInRect(QRectF(0, 0, 10, 10), QRectF(100, 100, 50, 30)) << QRectF(20, 10, 10, 10);
        QTest::newRow("centred horizontally")
            << VLRectCenteredHorizontally(QRectF(3, 4, 10, 10), QRectF(0, 0, 25, 5)) << QRectF(7, 4, 11, 10);
        QTest::newRow("centred vertically")
            << VLRectCenteredVertically(QRectF(3, 4, 10, 10), QRectF(0, 0, 5, 30)) << QRectF(3, 10, 10, 10);
        QTest::newRow("scaled about centre")
            << VLRectScaledAboutCenter(QRectF(50, 50, 100, 40), 0.5, 0.5) << QRectF(25, 10, 50, 20);
        QTest::newRow("divide off min x") << VLRectDivideRemainder(r, 30, VLRectEdge::MinX) << QRectF(40, 10, 70, 50);
        QTest::newRow("divide off max y")
            << VLRectDivideRemainder(r, 20.5, VLRectEdge::MaxY) << QRectF(10, 10, 100, 30);
        QTest::newRow("divide more than there is")
            << VLRectDivideRemainder(r, 500, VLRectEdge::MinY) << QRectF(10, 60, 100, 0);
        QTest::newRow("doubled size") << VLRectWithDoubledSize(r) << QRectF(10, 10, 200, 100);
        QTest::newRow("inset by half point") << VLRectInsetByHalfPoint(r) << QRectF(10.5, 10.5, 99, 49);
        QTest::newRow("aspect fit") << VLRectAspectFit(QRectF(0, 0, 200, 100), QRectF(0, 0, 100, 100))
                                    << QRectF(0, 25, 100, 50);
        QTest::newRow("aspect fill") << VLRectAspectFill(QRectF(0, 0, 200, 100), QRectF(10, 10, 100, 100))
                                     << QRectF(-40, 10, 200, 100);
    }

    void helpers()
    {
        QFETCH(QRectF, actual);
        QFETCH(QRectF, expected);
        QCOMPARE(actual, expected);
    }

    void scales()
    {
        QCOMPARE(VLAspectFitScale(QRectF(0, 0, 200, 100), QRectF(0, 0, 100, 100)), 0.5);
        QCOMPARE(VLAspectFillScale(QRectF(0, 0, 200, 100), QRectF(0, 0, 100, 100)), 1.0);
        QCOMPARE(VLAspectFitScale(QRectF(0, 0, 10, 40), QRectF(0, 0, 100, 100)), 2.5);
        QCOMPARE(VLSizeDoubled(QSizeF(3, 4)), QSizeF(6, 8));
        QCOMPARE(VLRectIntegral(QRectF()), QRectF());
    }
};

QTEST_MAIN(TestGeometry)
#include "tst_geometry.moc"
