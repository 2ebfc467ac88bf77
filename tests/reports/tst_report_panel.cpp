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
        QVERIFY(!fx.panel.EscapePressed());
        QCOMPARE(fx.panel.txtData->text(), QString());
        QVERIFY(!fx.panel.chkSevere->isChecked());
        QVERIFY(fx.sender.sent.isEmpty());
        QVERIFY(fx.panel.EscapePressed());
    }

    void phrasePick_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("how"); // click, or the key that picks (the list has the focus)
        QTest::addColumn<bool>("ctrl");
        QTest::addColumn<QString>("expected");
        QTest::newRow("click replaces") << "Hail"
                                        << "click" << false << "Funnel Cloud: ";
        QTest::newRow("ctrl click chains") << "Hail "
                                           << "click" << true << "Hail > Funnel Cloud: ";
        QTest::newRow("arrow down picks") << "Hail"
                                          << "down" << false << "Funnel Cloud: ";
        QTest::newRow("ctrl arrow chains") << "Hail"
                                           << "down" << true << "Hail > Funnel Cloud: ";
        QTest::newRow("space picks") << ""
                                     << "space" << false << "Funnel Cloud: ";
        QTest::newRow("enter picks") << ""
                                     << "enter" << false << "Funnel Cloud: ";
    }

    void phrasePick()
    {
        QFETCH(QString, typed);
        QFETCH(QString, how);
        QFETCH(bool, ctrl);
        QFETCH(QString, expected);
        Fixture fx;
        fx.panel.txtData->setText(typed);
        QListWidget *list = fx.panel.lst1;
        const int row = list->row(list->findItems(u"Funnel Cloud: "_s, Qt::MatchExactly).value(0));
        QVERIFY(row >= 1);
        const Qt::KeyboardModifiers mods = ctrl ? Qt::ControlModifier : Qt::NoModifier;
        if (how == u"click") {
            fx.panel.PhraseClicked(list, row, mods);
        } else {
            list->setFocus();
            list->setCurrentRow(how == u"down" ? row - 1 : row);
            fx.panel.txtData->setText(typed); // moving the current row is no pick
            const Qt::Key key = how == u"down"    ? Qt::Key_Down
                                : how == u"space" ? Qt::Key_Space
                                                  : Qt::Key_Return;
            QTest::keyClick(list, key, mods);
        }
        QCOMPARE(fx.panel.txtData->text(), expected);
        QVERIFY(fx.panel.chkSevere->isChecked());
        QVERIFY(list->selectedItems().isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(fx.panel.cmdSend->hasFocus(), 2000);
        // The second Enter or click sends it as a severe report, trimmed.
        if (how == u"click")
            QTest::mouseClick(fx.panel.cmdSend, Qt::LeftButton);
        else
            QTest::keyClick(fx.panel.cmdSend, Qt::Key_Return);
        const QString sentText = expected.trimmed().replace(u':', QChar(0x81));
        QCOMPARE(fx.lastWire(),
                 WireCodec::encode(QString(u":RPT|"_s + sentText + u"|MD|HARFORD|21014|JOE|Bel Air|^"_s)));
    }
};

QTEST_MAIN(TstReportPanel)
#include "tst_report_panel.moc"
