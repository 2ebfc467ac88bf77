#include "base/form_scaling.h"

#include <QTest>

using namespace FormScaling;

class TestFormScaling : public QObject
{
    Q_OBJECT
private slots:
    void scaleForm_data()
    {
        QTest::addColumn<double>("refHeight");
        QTest::addColumn<double>("targetW");
        QTest::addColumn<double>("targetH");
        QTest::addColumn<double>("screenH");
        QTest::addColumn<double>("width");
        QTest::addColumn<double>("height");
        QTest::addColumn<double>("left");
        QTest::addColumn<double>("top");
        QTest::addColumn<double>("xRatio");
        QTest::addColumn<double>("yRatio");
        QTest::addColumn<double>("fontRatio");
        // A 6,000 x 4,500 window with 120 x 420 of borders and caption.
        QTest::newRow("double screen: sizes double, fonts capped at 1.5")
            << 9000.0 << 24000.0 << 18000.0 << 18000.0 << 12000.0 << 9000.0 << 6000.0 << 4500.0
            << (12000.0 - 120) / (6000 - 120) << (9000.0 - 420) / (4500 - 420) << 1.5;
        QTest::newRow("just above the cap")
            << 9000.0 << 12000.0 << 13600.0 << 13600.0 << 6000.0 << 6800.0 << 3000.0 << 3400.0 << 1.0
            << (6800.0 - 420) / (4500 - 420) << 1.5;
        QTest::newRow("main group on a work area less its task bar")
            << 8550.0 << 12000.0 << 8550.0 << 9000.0 << 6000.0 << 4500.0 << 3000.0 << 2025.0 << 1.0 << 1.0
            << 1.0;
        QTest::newRow("small screen shrinks")
            << 9000.0 << 9600.0 << 7200.0 << 7200.0 << 4800.0 << 3600.0 << 2400.0 << 1800.0
            << (4800.0 - 120) / (6000 - 120) << (3600.0 - 420) / (4500 - 420) << 0.8;
    }
    void scaleForm()
    {
        QFETCH(double, refHeight);
        QFETCH(double, targetW);
        QFETCH(double, targetH);
        QFETCH(double, screenH);
        Input in;
        in.width = 6000;
        in.height = 4500;
        in.scaleWidth = 6000 - 120;
        in.scaleHeight = 4500 - 420;
        in.referenceHeight = refHeight;
        in.targetWidth = targetW;
        in.targetHeight = targetH;
        in.screenHeight = screenH;
        in.formFontSize = 9;
        const Result r = ScaleForm(in);
        QTEST(r.window.width, "width");
        QTEST(r.window.height, "height");
        QTEST(r.window.left, "left");
        QTEST(r.window.top, "top");
        QTEST(r.xRatio, "xRatio");
        QTEST(r.yRatio, "yRatio");
        QTEST(r.fontRatio, "fontRatio");
        QCOMPARE(r.formFontSize, 9 * r.window.height / refHeight);
    }

    void controlsAndColumnsFollowTheRatios()
    {
        Input in;
        in.width = 12000;
        in.height = 8550;
        in.scaleWidth = 12000;
        in.scaleHeight = 8550;
        in.referenceHeight = MainReferenceHeight;
        in.targetWidth = 18000;
        in.targetHeight = 12825;
        in.screenHeight = 13500;
        const Result r = ScaleForm(in);
        QCOMPARE(r.xRatio, 1.5);
        QCOMPARE(r.yRatio, 1.5);
        const Rect c = ScaleControl({100, 200, 1000, 300}, r);
        QCOMPARE(c.left, 150.0);
        QCOMPARE(c.top, 300.0);
        QCOMPARE(c.width, 1500.0);
        QCOMPARE(c.height, 450.0);
        QCOMPARE(ScaleColumns({1000, 0, 2500}, r.xRatio), (QList<double>{1500, 0, 3750}));
    }

    void phraseListsReachTheStatusLine()
    {
        QCOMPARE(PhraseListHeight(7000, 2000, 12000), 5000.0 - 130);
        QCOMPARE(PhraseListHeight(7000, 2000, 24000), 5000.0 - 260);
    }
};

QTEST_APPLESS_MAIN(TestFormScaling)
#include "tst_form_scaling.moc"
