// ctest-label: ui
#include "base/settings.h"
#include "client_fixture.h"

#include "community/ui/community_subsystem.h"
#include "community/ui/frm_filter.h"
#include "reports/ui/frm_add_counties.h"
#include "reports/ui/frm_options.h"

#include "warnlink/warnings_model.h"

#include <QTcpServer>
#include <QtTest>
#include <QtWidgets>

class TstReportsSubsystem : public QObject
{
    Q_OBJECT
private slots:
    void menusChangeAndSaveSettings_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("timeMode");
        QTest::addColumn<int>("record");
        QTest::newRow("military") << "mnuTimeMilitary" << 0 << 0;
        QTest::newRow("utc") << "mnuTimeUTC" << 2 << 0;
        QTest::newRow("record") << "mnuRecord" << 1 << 1;
    }

    void menusChangeAndSaveSettings()
    {
        QFETCH(QString, action);
        QFETCH(int, timeMode);
        QFETCH(int, record);
        ClientFixture fx;
        QAction *a = fx.form->findChild<QAction *>(action);
        QVERIFY(a && a->isEnabled());
        a->trigger();
        QCOMPARE(fx.state.settings.TimeMode, timeMode);
        QCOMPARE(fx.state.settings.RecordObservations, record);
        QVERIFY(a->isChecked());
        ClientState reread;
        ReadSettings(TestFiles::read(fx.state.filePath(SettingsFileName)), reread.settings);
        QCOMPARE(reread.settings.TimeMode, timeMode);
        QCOMPARE(reread.settings.RecordObservations, record);
    }

    void warningOnStatusLineHoldsTheSupervisionTimer()
    {
        ClientFixture fx;
        fx.arrive(ServerMessage(u"WRN", {u"Flood warning"_s, u"MD"_s}));
        QCOMPARE(fx.client->warnings().rowCount(), 1);
        QCOMPARE(fx.statusLabel()->text(), u"Flood warning | 12/06 12:00 | MD |  | "_s);
        QCOMPARE(fx.statusLabel()->palette().color(QPalette::Window), QColor(128, 0, 0));
        QCOMPARE(fx.statusLabel()->palette().color(QPalette::WindowText), QColor(255, 255, 255));
        QVERIFY(fx.link->timer1Active());
    }

    void networkTextShownLiterally()
    {
        QTcpServer trap;
        QVERIFY(trap.listen(QHostAddress::LocalHost, 0));
        const QString html = u"<b>bold</b><img src=\"http://127.0.0.1:%1/x.gif\">"_s.arg(trap.serverPort());
        ClientFixture fx;
        fx.form->resize(900, 600);
        fx.form->show();
        QVERIFY(QTest::qWaitForWindowExposed(fx.form));
        fx.arrive(ServerMessage(u"RPT", {html, html, html, html, html, html}));
        QTRY_COMPARE_WITH_TIMEOUT(fx.reports->reports().rowCount(), 1, 2000);
        for (int c = 0; c < 7; ++c)
            if (c != 1)
                QCOMPARE(fx.reports->reports().index(0, c).data().toString(), html);
        QVERIFY(fx.statusLabel()->text().startsWith(html));
        QCOMPARE(fx.statusLabel()->textFormat(), Qt::PlainText);
        fx.form->repaint();
        fx.form->grab();
        QTest::qWait(300);
        QVERIFY(!trap.hasPendingConnections());
    }

    void alertRestoresMinimisedWindow()
    {
        ClientFixture fx;
        fx.form->show();
        QVERIFY(QTest::qWaitForWindowExposed(fx.form));
        fx.form->setWindowState(Qt::WindowMinimized);
        // Restore and front levels are COUNTY: a report from elsewhere leaves it.
        fx.arrive(report(u"Hail"_s, u"PA"_s, u"YORK"_s));
        QVERIFY(fx.form->isMinimized());
        fx.arrive(report(u"Hail"_s));
        QVERIFY(!fx.form->isMinimized());
        QCOMPARE(fx.sound.played.size(), 2);
    }

    void listFilesReadAtLoad()
    {
        ClientFixture fx;
        for (const auto &[name, bytes] : {std::pair{"FilterList.txt", "troll\r\n"},
                                          {"AddCounties.txt", "PA\r\n"},
                                          {"List6.txt", "My Title\r\nPhrase A\r\n"}})
            QVERIFY(TestFiles::write(fx.state.filePath(QString::fromLatin1(name)), bytes));
        fx.state.settings.DisplayLevel = u"COUNTY"_s;
        fx.form->Form_Load();
        ReportPanel *panel = fx.reports->panel();
        QCOMPARE(panel->Lbl1->text(), u"My Title"_s);
        QCOMPARE(panel->lst1->count(), 1);
        fx.arrive(ServerMessage(u"RPT", {u"Hail"_s, u"MD"_s, u"HARFORD"_s, u""_s, u"TROLL"_s}));
        fx.arrive(report(u"Wind"_s, u"PA"_s, u"ADAMS"_s));
        QTRY_COMPARE_WITH_TIMEOUT(fx.reports->reports().rowCount(), 1, 2000);
        QCOMPARE(fx.reports->reports().index(0, 0).data().toString(), u"Wind"_s);
    }

    // The test screen is twice the reference screen (see main below).
    void loadFitsTheScreenAndTheUsersFont()
    {
        ClientFixture fx;
        fx.state.settings.FontName = u"Courier New"_s;
        fx.state.settings.FontSize = 14;
        fx.state.settings.FontBold = true;
        fx.form->Form_Load();
        QTreeView *list = fx.reports->panel()->ListView1;
        QCOMPARE(list->font().family(), u"Courier New"_s);
        QCOMPARE(list->font().pointSize(), 14);
        QVERIFY(list->font().bold());
        const int dpi = list->logicalDpiX();
        for (int c = 0; c < fx.reports->reports().columnCount(); ++c)
            QCOMPARE(list->columnWidth(c), ReportListModel::DefaultWidthTwips(c) * dpi / 1440 * 2);

        // The windows the reports menus open are stretched the same way.
        const qreal base = QApplication::font().pointSizeF();
        frmOptions options(fx.state.settings);
        frmFilter filter(fx.state, fx.dialogs);
        frmAddCounties counties(fx.state, fx.dialogs);
        for (QWidget *w : std::initializer_list<QWidget *>{&options, &filter, &counties}) {
            QCOMPARE(w->font().pointSizeF(), base * 1.5);
            QVERIFY2(w->width() > 600, qPrintable(w->objectName()));
        }
    }

    // Escape anywhere clears the report box; once every box is
    // empty it switches the quick-chat place to the picture and back.
    void escapeAnywhereInTheWindow()
    {
        ClientFixture fx;
        fx.form->Form_Load();
        fx.form->show();
        QVERIFY(QTest::qWaitForWindowExposed(fx.form));
        fx.form->activateWindow();
        auto *quickChatBox = fx.form->findChild<QWidget *>(u"txtQCSend"_s);
        fx.client->community().quickChat()->HideAnnouncement();
        fx.panel().txtData->setText(u"Hail"_s);
        fx.panel().chkSevere->setChecked(true);
        // From the quick-chat box, outside the report panel.
        quickChatBox->setFocus();
        QTest::keyClick(quickChatBox, Qt::Key_Escape);
        QCOMPARE(fx.panel().txtData->text(), QString());
        QVERIFY(!fx.panel().chkSevere->isChecked());
        QVERIFY(!quickChatBox->isHidden()); // the quick-chat box held its hint text
        QTest::keyClick(fx.panel().ListView1, Qt::Key_Escape);
        QVERIFY(quickChatBox->isHidden());
        QTest::keyClick(fx.panel().ListView1, Qt::Key_Escape);
        QVERIFY(!quickChatBox->isHidden());
    }
};

int main(int argc, char **argv)
{
    QTemporaryDir dir;
    const QString config = dir.filePath(u"screen.json"_s);
    TestFiles::write(config,
                     R"({"screens": [{"name": "big", "width": 1600, "height": 1200, "logicalDpi": 96}]})");
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + config.toLocal8Bit());
    QApplication app(argc, argv);
    TstReportsSubsystem t;
    return QTest::qExec(&t, argc, argv);
}
#include "tst_reports_subsystem.moc"
