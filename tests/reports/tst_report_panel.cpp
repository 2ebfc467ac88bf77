// ctest-label: ui
#include "app/client_state.h"
#include "fakes.h"
#include "net/wire_codec.h"
#include "recording_sender.h"
#include "reports/report_composer.h"
#include "reports/report_list_model.h"
#include "reports/ui/report_panel.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTreeView>
#include <QtTest>

using namespace Qt::Literals::StringLiterals;

namespace {

struct Fixture
{
    ClientState state;
    FakeClock clock;
    FakeDialogs dialogs;
    RecordingSender sender;
    ReportListModel model;
    ReportComposer composer{state, clock, dialogs, sender};
    ReportPanel panel{model, composer, state};

    Fixture()
    {
        state.signedOn = true;
        state.settings.UserState = u"MD"_s;
        state.settings.UserCounty = u"HARFORD"_s;
        state.settings.UserZip = u"21014"_s;
        state.settings.UserName = u"JOE"_s;
        state.settings.UserLocation = u"Bel Air"_s;
        panel.show();
        panel.activateWindow();
    }
    QByteArray lastWire() const
    {
        return sender.sent.isEmpty() ? QByteArray() : WireCodec::encode(sender.sent.last());
    }
};

int phraseRow(QListWidget *list, const QString &phrase)
{
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->text() == phrase)
            return i;
    return -1;
}

} // namespace

class TstReportPanel : public QObject
{
    Q_OBJECT
private slots:
    void sendPaths_data();
    void sendPaths();
    void reportStartsWithCapital();
    void phrasePick_data();
    void phrasePick();
    void escapeClears();
    void listTotalAndTitles();
};

void TstReportPanel::sendPaths_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("severe");
    QTest::addColumn<bool>("signedOn");
    QTest::addColumn<bool>("byEnter");
    QTest::addColumn<QByteArray>("wire"); // empty: nothing sent
    QTest::addColumn<QString>("boxAfter");
    QTest::addColumn<bool>("severeAfter");
    QTest::addColumn<int>("signOnShown");
    QTest::newRow("routine by button")
        << "Heavy rain" << false << true << false
        << QByteArray(":RPT|R: Heavy rain|MD|HARFORD|21014|JOE|Bel Air|^") << "" << false << 0;
    QTest::newRow("severe by enter") << "Heavy rain" << true << true << true
                                     << QByteArray(":RPT|Heavy rain|MD|HARFORD|21014|JOE|Bel Air|^") << ""
                                     << false << 0;
    QTest::newRow("bar escaped") << "a | b" << true << true << true
                                 << QByteArray(":RPT|a \x80 b|MD|HARFORD|21014|JOE|Bel Air|^") << "" << false
                                 << 0;
    QTest::newRow("spaces only") << "   " << true << true << true << QByteArray() << "" << false << 0;
    QTest::newRow("not signed on") << "Hail " << true << false << false << QByteArray() << "Hail" << false
                                   << 1;
    QTest::newRow("offensive") << "oh shit" << true << true << true << QByteArray() << "" << true << 0;
}

void TstReportPanel::sendPaths()
{
    QFETCH(QString, text);
    QFETCH(bool, severe);
    QFETCH(bool, signedOn);
    QFETCH(bool, byEnter);
    QFETCH(QByteArray, wire);
    QFETCH(QString, boxAfter);
    QFETCH(bool, severeAfter);
    QFETCH(int, signOnShown);
    Fixture fx;
    fx.state.signedOn = signedOn;
    QSignalSpy signOn(&fx.panel, &ReportPanel::signOnRequested);
    fx.panel.txtData->setText(text);
    fx.panel.chkSevere->setChecked(severe);
    if (byEnter)
        QTest::keyClick(fx.panel.txtData, Qt::Key_Return);
    else
        QTest::mouseClick(fx.panel.cmdSend, Qt::LeftButton);
    QCOMPARE(fx.lastWire(), wire);
    QCOMPARE(fx.sender.sent.size(), wire.isEmpty() ? 0 : 1);
    QCOMPARE(fx.panel.txtData->text(), boxAfter);
    QCOMPARE(fx.panel.chkSevere->isChecked(), severeAfter);
    QCOMPARE(signOn.count(), signOnShown);
}

void TstReportPanel::reportStartsWithCapital()
{
    Fixture fx;
    QTest::keyClicks(fx.panel.txtData, u"abc"_s);
    QCOMPARE(fx.panel.txtData->text(), u"Abc"_s);
    fx.panel.txtData->clear();
    QTest::keyClicks(fx.panel.txtData, u"1bc"_s);
    QCOMPARE(fx.panel.txtData->text(), u"1bc"_s);
}

void TstReportPanel::phrasePick_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("ctrl");
    QTest::addColumn<QString>("expected");
    QTest::newRow("replaces") << "Hail" << false << "Funnel Cloud: ";
    QTest::newRow("ctrl chains") << "Hail " << true << "Hail > Funnel Cloud: ";
}

void TstReportPanel::phrasePick()
{
    QFETCH(QString, typed);
    QFETCH(bool, ctrl);
    QFETCH(QString, expected);
    Fixture fx;
    fx.panel.txtData->setText(typed);
    const int row = phraseRow(fx.panel.lst1, u"Funnel Cloud: "_s);
    QVERIFY(row >= 0);
    fx.panel.PhraseClicked(fx.panel.lst1, row, ctrl ? Qt::ControlModifier : Qt::NoModifier);
    QCOMPARE(fx.panel.txtData->text(), expected);
    QVERIFY(fx.panel.chkSevere->isChecked());
    QVERIFY(fx.panel.lst1->selectedItems().isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(fx.panel.cmdSend->hasFocus(), 2000);
    // The second Enter or click sends it as a severe report, trimmed.
    QTest::mouseClick(fx.panel.cmdSend, Qt::LeftButton);
    const QString sentText = expected.trimmed().replace(u':', QChar(0x81));
    QCOMPARE(fx.lastWire(), WireCodec::encode(u":RPT|"_s + sentText + u"|MD|HARFORD|21014|JOE|Bel Air|^"_s));
}

void TstReportPanel::escapeClears()
{
    Fixture fx;
    fx.panel.txtData->setText(u"Hail"_s);
    fx.panel.chkSevere->setChecked(true);
    fx.panel.txtData->setFocus();
    QTest::keyClick(fx.panel.txtData, Qt::Key_Escape);
    QCOMPARE(fx.panel.txtData->text(), QString());
    QVERIFY(!fx.panel.chkSevere->isChecked());
    QVERIFY(fx.sender.sent.isEmpty());
    QVERIFY(fx.panel.EscapePressed());
}

void TstReportPanel::listTotalAndTitles()
{
    Fixture fx;
    QCOMPARE(fx.panel.lblListTotal->text(), u"0  Listed Reports"_s);
    QCOMPARE(fx.panel.Lbl1->text(), u"Severe / Wind"_s);
    QCOMPARE(fx.panel.Lbl2->text(), u"Flood / Winter / Other"_s);
    QCOMPARE(fx.panel.lst1->count(), 27);
    QCOMPARE(fx.panel.lst2->count(), 19);
    QVERIFY(fx.panel.ListView1->uniformRowHeights());
    for (int i = 0; i < 17; ++i)
        fx.model.AddRow(ReportRow{QString::number(i), {}, {}, {}, {}, {}, {}, {}});
    QTRY_COMPARE_WITH_TIMEOUT(fx.panel.lblListTotal->text(), u"17  Listed Reports"_s, 2000);
}

QTEST_MAIN(TstReportPanel)
#include "tst_report_panel.moc"
