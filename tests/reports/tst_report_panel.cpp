// ctest-label: ui
#include "composer_fixture.h"
#include "net/wire_codec.h"
#include "reports/report_list_model.h"
#include "reports/ui/report_panel.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

using namespace Qt::Literals::StringLiterals;

namespace {

struct Fixture : ComposerFixture
{
    ReportListModel model;
    ReportPanel panel{model, composer, state};

    Fixture()
    {
        panel.show();
        panel.activateWindow();
    }
    QByteArray lastWire() const
    {
        return sender.sent.isEmpty() ? QByteArray() : WireCodec::encode(sender.sent.last());
    }
};

} // namespace

class TstReportPanel : public QObject
{
    Q_OBJECT
private slots:
    void sendPaths_data()
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
        QTest::newRow("severe by enter")
            << "Heavy rain" << true << true << true
            << QByteArray(":RPT|Heavy rain|MD|HARFORD|21014|JOE|Bel Air|^") << "" << false << 0;
        QTest::newRow("spaces only") << "   " << true << true << true << QByteArray() << "" << false << 0;
        QTest::newRow("not signed on")
            << "Hail " << true << false << false << QByteArray() << "Hail" << false << 1;
        QTest::newRow("offensive") << "oh shit" << true << true << true << QByteArray() << "" << true << 0;
    }

    void sendPaths()
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

    void keys()
    {
        Fixture fx;
        QTest::keyClicks(fx.panel.txtData, u"abc"_s);
        QCOMPARE(fx.panel.txtData->text(), u"Abc"_s);
        fx.panel.txtData->setText(u"1bc"_s);
        fx.panel.chkSevere->setChecked(true);
        QTest::keyClick(fx.panel.txtData, Qt::Key_Escape);
        QCOMPARE(fx.panel.txtData->text(), QString());
        QVERIFY(!fx.panel.chkSevere->isChecked());
        QVERIFY(fx.sender.sent.isEmpty());
        QVERIFY(fx.panel.EscapePressed());
    }

    void phrasePick_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("ctrl");
        QTest::addColumn<QString>("expected");
        QTest::newRow("replaces") << "Hail" << false << "Funnel Cloud: ";
        QTest::newRow("ctrl chains") << "Hail " << true << "Hail > Funnel Cloud: ";
    }

    void phrasePick()
    {
        QFETCH(QString, typed);
        QFETCH(bool, ctrl);
        QFETCH(QString, expected);
        Fixture fx;
        fx.panel.txtData->setText(typed);
        const int row =
            fx.panel.lst1->row(fx.panel.lst1->findItems(u"Funnel Cloud: "_s, Qt::MatchExactly).value(0));
        QVERIFY(row >= 0);
        fx.panel.PhraseClicked(fx.panel.lst1, row, ctrl ? Qt::ControlModifier : Qt::NoModifier);
        QCOMPARE(fx.panel.txtData->text(), expected);
        QVERIFY(fx.panel.chkSevere->isChecked());
        QVERIFY(fx.panel.lst1->selectedItems().isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(fx.panel.cmdSend->hasFocus(), 2000);
        // The second Enter or click sends it as a severe report, trimmed.
        QTest::mouseClick(fx.panel.cmdSend, Qt::LeftButton);
        const QString sentText = expected.trimmed().replace(u':', QChar(0x81));
        QCOMPARE(fx.lastWire(),
                 WireCodec::encode(u":RPT|"_s + sentText + u"|MD|HARFORD|21014|JOE|Bel Air|^"_s));
    }
};

QTEST_MAIN(TstReportPanel)
#include "tst_report_panel.moc"
