// ctest-label: ui
#include "base/settings.h"
#include "client_fixture.h"
#include "scripted_server.h"

#include "community/ui/community_subsystem.h"
#include "station/ui/frm_automated_data.h"
#include "station/ui/frm_weather_station.h"
#include "station/ui/station_chart.h"
#include "station/ui/station_subsystem.h"

#include <QtTest>
#include <QtWidgets>

const QString WdLine = u"8:07 PM 12/6/2026\r\n%1\r\n"_s;
const QString Tail = u"|MD|HARFORD|21014|CARL|Bel Air|^"_s;

QString writeFile(const QTemporaryDir &dir, const QString &name, const QString &text)
{
    TestFiles::write(dir.filePath(name), text.toLatin1());
    return dir.filePath(name);
}

QString rpa(const QString &observer, const QString &temperature, const QString &state = u"IA"_s)
{
    return ServerMessage(u"RPA", {temperature, u"5"_s, u"7"_s, u"SW"_s, u"29.92"_s, u"VWS"_s, state,
                                  u"St\x81ory"_s, u"50010"_s, observer, u"Ames"_s});
}

class TstStationWindows : public QObject
{
    Q_OBJECT
private slots:
    void setupTestAndDone_data()
    {
        QTest::addColumn<int>("option");
        QTest::addColumn<QString>("file"); // empty: no file at the path
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("text");
        QTest::newRow("weather display")
            << 4 << WdLine.arg(u"220/012g020t077"_s) << u"Test Weather Station Data Retrieval"_s
            << u"Your wind is currently 12 MPH."_s;
        QTest::newRow("missing file")
            << 1 << QString() << u"Invalid File Path"_s << u" is an invalid file path."_s;
        QTest::newRow("none reads nothing") << 0 << u"x"_s << QString() << QString();
    }
    void setupTestAndDone()
    {
        QFETCH(int, option);
        QFETCH(QString, file);
        QFETCH(QString, title);
        QFETCH(QString, text);
        ClientFixture fx;
        QTemporaryDir dir;
        const QString path =
            file.isEmpty() ? dir.filePath(u"gone.txt"_s) : writeFile(dir, u"WXNOW.txt"_s, file);
        fx.client->station().openSetup();
        frmWeatherStation *w = fx.client->station().setupWindow();
        QVERIFY(w && w->isVisible());
        QVERIFY(w->Option[0]->isChecked());
        fx.dialogs.files << path;
        w->Command3->click();
        QCOMPARE(w->Text1->text(), path);
        w->Option[std::size_t(option)]->click();
        w->Command2->click();
        QTRY_COMPARE(fx.dialogs.shown.isEmpty(), title.isEmpty());
        if (!title.isEmpty()) {
            QCOMPARE(fx.dialogs.shown.last().title, title);
            QVERIFY(fx.dialogs.shown.last().text.endsWith(text));
        }
        QCOMPARE(fx.state.settings.StationAutomation, 0); // Test saves nothing
        w->Command1->click();
        QTRY_VERIFY(!fx.client->station().setupWindow());
        ClientState reread;
        ReadSettings(TestFiles::read(fx.state.filePath(SettingsFileName)), reread.settings);
        QCOMPARE(reread.settings.StationAutomation, option);
        QCOMPARE(reread.settings.StationDataPath, path);
        // Opened again, the window shows what was saved.
        fx.client->station().openSetup();
        QVERIFY(fx.client->station().setupWindow()->Option[std::size_t(option)]->isChecked());
    }

    // Each minute's reading, over a local file or a web address, through
    // the link to the server.
    void minuteSendsReadings_data()
    {
        QTest::addColumn<int>("automation");
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("web");
        QTest::addColumn<QStringList>("sent");
        QTest::newRow("weather display")
            << 4 << WdLine.arg(u"220/004g005t077r000p000P000h50b10132"_s) << false
            << QStringList{u":RPA|77|4|5|SW|1013.2|Weather Display"_s + Tail};
        QTest::newRow("routine wind")
            << 4 << WdLine.arg(u"220/045t077"_s) << false
            << QStringList{u":RPT|R: Wind 45 MPH SW from automated PWS running Weather Display."_s + Tail,
                           u":RPA|77|45|45|SW||Weather Display"_s + Tail};
        QStringList vws;
        for (int i = 1; i <= 39; ++i)
            vws << QString::number(i);
        QTest::newRow("vws over http")
            << 3 << vws.join(u',') << true << QStringList{u":RPA|14|8|9|N|15|VWS"_s + Tail};
        QTest::newRow("unreadable") << 4 << u"garbage"_s << false << QStringList();
    }
    void minuteSendsReadings()
    {
        QFETCH(int, automation);
        QFETCH(QString, file);
        QFETCH(bool, web);
        QFETCH(QStringList, sent);
        ScriptedServer server;
        HttpResponder http;
        QVERIFY(server.listen() && http.listen());
        http.setBody(u"/data2.csv"_s, file.toLatin1());
        ClientFixture fx;
        QTemporaryDir dir;
        fx.state.settings.StationAutomation = automation;
        fx.state.settings.StationDataPath =
            web ? http.url(u"/data2.csv"_s) : writeFile(dir, u"station.txt"_s, file);
        fx.link->connectTo(u"127.0.0.1"_s, QString::number(server.port()));
        QTRY_COMPARE(fx.link->state(), LinkState::Connected);
        fx.form->Timer2_Timer();
        if (sent.isEmpty()) {
            QCOMPARE(fx.statusLabel()->text(), u"UNABLE TO SEND YOUR WEATHER STATION DATA!"_s);
            auto *chat = fx.form->findChild<QPlainTextEdit *>(u"QCRec"_s);
            QTRY_VERIFY(chat->toPlainText().contains(u"Either your temperature or wind speed"_s));
            QTest::qWait(100);
        } else {
            QTRY_COMPARE(server.received().size(), sent.size());
        }
        QCOMPARE(server.received(), sent);
        // The routine-report window's reading gives the same values.
        StationReadings got;
        fx.client->stationSource().readNow([&](const StationReadings &r) { got = r; });
        QTRY_COMPARE(got.WindGust, fx.client->station().readings().WindGust);
    }

    void tableFromServer()
    {
        ClientFixture fx;
        fx.state.filterList << u"Troll"_s;
        fx.arrive(rpa(u"ann"_s, u"72.44"_s));
        fx.arrive(rpa(u"TROLL"_s, u"80"_s));
        frmAutomatedData *w = fx.client->station().dataWindow();
        QVERIFY(w && !w->isVisible()); // collects while hidden
        QCOMPARE(w->model().rowCount(), 1);
        QCOMPARE(w->model().row(0)[1], u"St:ory"_s);
        QCOMPARE(w->model().row(0)[6], u" 72.4"_s);
        QCOMPARE(w->windowTitle(), u"Automated Weather Station Data (1)"_s);
        fx.arrive(rpa(u"ann"_s, u"73"_s));
        QCOMPARE(w->model().rowCount(), 1);

        fx.form->findChild<QAction *>(u"mnuAutomatedStations"_s)->trigger();
        QVERIFY(w->isVisible());
        w->Command1->click(); // Done hides and keeps the table
        QVERIFY(!w->isVisible());
        fx.arrive(rpa(u"bob"_s, u"60"_s));
        QCOMPARE(w->model().rowCount(), 2);
        w->chkCurrentReadings->click();
        QCOMPARE(fx.dialogs.shown.last().title, u"Caution!"_s);
        QVERIFY(!w->model().currentReadingsOnly());
        // Closed another way, the table goes with the window.
        w->close();
        QTRY_VERIFY(!fx.client->station().dataWindow());
        fx.arrive(rpa(u"bob"_s, u"61"_s));
        QCOMPARE(fx.client->station().dataWindow()->model().rowCount(), 1);
    }

    // A chart of the selected station: built on the first selection, fed
    // as readings come, never more than six hours.
    void stationChart()
    {
        ClientFixture fx;
        for (int minute = 0; minute <= 400; ++minute) {
            fx.arrive(rpa(u"ann"_s, QString::number(60 + minute % 10)));
            fx.arrive(rpa(u"bob"_s, u"x"_s));
            fx.clock.advance(60);
        }
        frmAutomatedData *w = fx.client->station().dataWindow();
        QVERIFY(!w->chart() && !w->findChild<StationChart *>());
        const auto select = [w](const QString &observer) {
            for (int r = 0; r < w->model().rowCount(); ++r)
                if (w->model().row(r)[StationTableModel::ObserverColumn] == observer)
                    w->ListView1->setCurrentIndex(w->model().index(r, 0));
        };
        select(u"ann"_s);
        StationChart *chart = w->chart();
        QVERIFY(chart && chart->isVisibleTo(w));
        QCOMPARE(chart->title(), u"ann - Ames, St:ory IA"_s);
        QCOMPARE(chart->samples().size(), 360); // minutes 41 to 400 of the last six hours
        QCOMPARE(chart->samples().first().temperature, 61.0f);
        QCOMPARE(chart->samples().last().gust, 7.0f);
        fx.arrive(rpa(u"ann"_s, u"99.5"_s)); // minute 401: six hours from minute 41
        QCOMPARE(chart->samples().size(), 361);
        QCOMPARE(chart->samples().last().temperature, 99.5f);
        QVERIFY(!chart->grab().isNull());
        // A new station sorted in elsewhere leaves the selection on its station.
        fx.arrive(rpa(u"cat"_s, u"50"_s, u"WY"_s));
        QCOMPARE(w->model().row(w->ListView1->currentIndex().row())[StationTableModel::ObserverColumn],
                 u"ann"_s);
        select(u"bob"_s);
        QVERIFY(std::isnan(chart->samples().last().temperature)); // bob sends no number
    }
};

QTEST_MAIN(TstStationWindows)
#include "tst_station_windows.moc"
