// ctest-label: ui
#include "base/client_state.h"
#include "reports/ui/frm_options.h"

#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

using namespace Qt::Literals::StringLiterals;

namespace {

// On the indicator: a radio button reacts only on its indicator and caption.
void clickRadio(QRadioButton *b)
{
    QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(6, b->height() / 2));
}

} // namespace

class TstReportWindows : public QObject
{
    Q_OBJECT
private slots:
    void optionsLoad_data()
    {
        QTest::addColumn<QString>("display");
        QTest::addColumn<int>("hideRoutine");
        QTest::addColumn<int>("routineSound");
        QTest::addColumn<QList<int>>("checked");
        // Defaults: display ALL, sound ALL, restore COUNTY, front COUNTY.
        QTest::newRow("defaults") << u"ALL"_s << 0 << 1 << QList<int>{1, 4, 10, 15, 17, 20};
        QTest::newRow("hidden routine") << u"OFF"_s << 1 << 0 << QList<int>{4, 7, 10, 15, 18, 19};
        QTest::newRow("unknown level") << u"SOME"_s << 0 << 0 << QList<int>{4, 10, 15, 17, 19};
    }
    void optionsLoad()
    {
        QFETCH(QString, display);
        QFETCH(int, hideRoutine);
        QFETCH(int, routineSound);
        SettingsRecord s;
        s.DisplayLevel = display;
        s.HideRoutine = hideRoutine;
        s.RoutineSound = routineSound;
        frmOptions w(s);
        QList<int> got;
        for (int n = 1; n <= 20; ++n)
            if (w.option(n)->isChecked())
                got << n;
        QTEST(got, "checked");
        QCOMPARE(w.routineAudioGroup()->isEnabled(), hideRoutine == 0);
    }

    void clicksChangeTheSettings()
    {
        SettingsRecord s;
        frmOptions w(s);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        // The numbers follow the form: the display group's OFF is 7, the restore group runs backwards.
        for (int n : {7, 5, 12, 13})
            clickRadio(w.option(n));
        QCOMPARE((QStringList{s.DisplayLevel, s.SoundLevel, s.RestoreLevel, s.FrontLevel}),
                 (QStringList{u"OFF"_s, u"STATE"_s, u"ALL"_s, u"ALL"_s}));
        // "No" turns routine audio off and greys its group out.
        clickRadio(w.option(18));
        QVERIFY(s.HideRoutine == 1 && s.RoutineSound == 0 && !w.routineAudioGroup()->isEnabled());
        // "Yes" again leaves routine audio at "No" until the user changes it.
        clickRadio(w.option(17));
        QVERIFY(s.HideRoutine == 0 && s.RoutineSound == 0 && w.routineAudioGroup()->isEnabled());
        QVERIFY(w.option(19)->isChecked());
        clickRadio(w.option(20));
        QCOMPARE(s.RoutineSound, 1);
        QTest::mouseClick(w.cmdDone, Qt::LeftButton);
        QCOMPARE(w.result(), int(QDialog::Accepted));
    }
};

QTEST_MAIN(TstReportWindows)
#include "tst_report_windows.moc"
