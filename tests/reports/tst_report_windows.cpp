// ctest-label: ui
#include "app/client_state.h"
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
    void optionsLoad_data();
    void optionsLoad();
    void optionsClicks_data();
    void optionsClicks();
    void routineRules();
};

void TstReportWindows::optionsLoad_data()
{
    QTest::addColumn<QString>("display");
    QTest::addColumn<int>("hideRoutine");
    QTest::addColumn<int>("routineSound");
    QTest::addColumn<QList<int>>("checked");
    QTest::addColumn<bool>("audioEnabled");
    // Defaults: display ALL, sound ALL, restore COUNTY, front COUNTY.
    QTest::newRow("defaults") << "ALL" << 0 << 1 << QList<int>{1, 4, 10, 15, 17, 20} << true;
    QTest::newRow("hidden routine") << "OFF" << 1 << 0 << QList<int>{7, 4, 10, 15, 18, 19} << false;
    QTest::newRow("unknown level") << "SOME" << 0 << 0 << QList<int>{4, 10, 15, 17, 19} << true;
}

void TstReportWindows::optionsLoad()
{
    QFETCH(QString, display);
    QFETCH(int, hideRoutine);
    QFETCH(int, routineSound);
    QFETCH(QList<int>, checked);
    QFETCH(bool, audioEnabled);
    SettingsRecord s;
    s.DisplayLevel = display;
    s.HideRoutine = hideRoutine;
    s.RoutineSound = routineSound;
    frmOptions w(s);
    QCOMPARE(w.windowTitle(), u"Alert and Display Options"_s);
    QList<int> got;
    for (int n = 1; n <= 20; ++n)
        if (w.option(n)->isChecked())
            got << n;
    std::sort(checked.begin(), checked.end());
    QCOMPARE(got, checked);
    QCOMPARE(w.routineAudioGroup()->isEnabled(), audioEnabled);
    QCOMPARE(w.option(19)->isEnabled(), audioEnabled);
    QCOMPARE(w.option(20)->isEnabled(), audioEnabled);
}

void TstReportWindows::optionsClicks_data()
{
    QTest::addColumn<int>("option");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("value");
    const QStringList fields{u"DisplayLevel"_s, u"SoundLevel"_s, u"RestoreLevel"_s, u"FrontLevel"_s};
    const int numbers[4][4] = {{1, 2, 3, 7}, {4, 5, 6, 8}, {12, 11, 10, 9}, {13, 14, 15, 16}};
    const char *values[4] = {"ALL", "STATE", "COUNTY", "OFF"};
    for (int g = 0; g < 4; ++g)
        for (int i = 0; i < 4; ++i)
            QTest::addRow("Option%d", numbers[g][i])
                << numbers[g][i] << fields[g] << QString::fromLatin1(values[i]);
}

void TstReportWindows::optionsClicks()
{
    QFETCH(int, option);
    QFETCH(QString, field);
    QFETCH(QString, value);
    SettingsRecord s;
    s.DisplayLevel = s.SoundLevel = s.RestoreLevel = s.FrontLevel = u"NONE"_s;
    frmOptions w(s);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    clickRadio(w.option(option));
    const QString got = field == u"DisplayLevel"   ? s.DisplayLevel
                        : field == u"SoundLevel"   ? s.SoundLevel
                        : field == u"RestoreLevel" ? s.RestoreLevel
                                                   : s.FrontLevel;
    QCOMPARE(got, value);
    QCOMPARE(w.option(option)->text(), value == u"ALL"      ? u"All Observations"_s
                                       : value == u"STATE"  ? u"Your State Only"_s
                                       : value == u"COUNTY" ? u"Your County Only"_s
                                                            : u"Off"_s);
}

void TstReportWindows::routineRules()
{
    SettingsRecord s;
    frmOptions w(s);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    // "No" turns routine audio off and greys its group out.
    clickRadio(w.option(18));
    QCOMPARE(s.HideRoutine, 1);
    QCOMPARE(s.RoutineSound, 0);
    QVERIFY(w.option(19)->isChecked());
    QVERIFY(!w.routineAudioGroup()->isEnabled());
    // "Yes" again leaves routine audio at "No" until the user changes it.
    clickRadio(w.option(17));
    QCOMPARE(s.HideRoutine, 0);
    QCOMPARE(s.RoutineSound, 0);
    QVERIFY(w.routineAudioGroup()->isEnabled());
    QVERIFY(w.option(19)->isChecked());
    clickRadio(w.option(20));
    QCOMPARE(s.RoutineSound, 1);
    QTest::mouseClick(w.cmdDone, Qt::LeftButton);
    QCOMPARE(w.result(), int(QDialog::Accepted));
}

QTEST_MAIN(TstReportWindows)
#include "tst_report_windows.moc"
