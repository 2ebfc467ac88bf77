#include "app/client_state.h"
#include "fakes.h"
#include "net/dispatcher.h"
#include "net/protocol.h"
#include "net/receive_buffer.h"
#include "platform/sound_player.h"
#include "platform/window_actions.h"
#include "reports/alert_sounds.h"
#include "reports/report_intake.h"
#include "reports/report_list_model.h"
#include "warnlink/warnings_model.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::Literals::StringLiterals;

namespace {

// Window actions and sounds written to one log, so their order shows.
struct EventLog
{
    QStringList events;
};

class LoggingWindow final : public WindowActions
{
public:
    explicit LoggingWindow(EventLog &log) : m_log(log) {}
    bool minimised = false;
    bool inTray = false;
    bool isMinimised() const override { return minimised; }
    bool isInTray() const override { return inTray; }
    void restoreFromMinimised() override
    {
        minimised = false;
        m_log.events << u"restore"_s;
    }
    void showFromTray() override
    {
        inTray = false;
        m_log.events << u"tray"_s;
    }
    void bringToFront() override { m_log.events << u"front"_s; }
    void hideToTray() override {}

private:
    EventLog &m_log;
};

class LoggingPlayer final : public SoundPlayer
{
public:
    explicit LoggingPlayer(EventLog &log) : m_log(log) {}
    void play(const QString &path) override { m_log.events << QFileInfo(path).fileName(); }
    void stop() override {}

private:
    EventLog &m_log;
};

QString message(const QString &code, const QString &text, const QString &state, const QString &county,
                const QString &observer = u"SPOTTER1"_s, const QString &time = u"12/6/2026 6:44:52 PM"_s)
{
    return ServerMessage(code, {text, state, county, u"21014"_s, observer, u"Bel Air"_s, time});
}

struct Fixture
{
    QTemporaryDir dir;
    ClientState state;
    FakeClock clock;
    EventLog log;
    LoggingWindow window{log};
    LoggingPlayer player{log};
    AlertSounds sounds{player, dir.path()};
    ReportListModel reports;
    WarningsModel warnings;
    ReportIntake intake{state, clock, window, sounds, reports, warnings};

    Fixture()
    {
        state.dataDir = dir.path();
        state.settings.UserState = u"MD"_s;
        state.settings.UserCounty = u"HARFORD"_s;
        state.settings.RecordObservations = 1;
        state.additionalCounties = {u"PA YORK"_s, u"VA"_s};
        QFile routine(state.filePath(AlertSounds::RoutineFile));
        routine.open(QIODevice::WriteOnly);
        intake.ComputeUtcOffset();
    }
    QByteArray logFile() const
    {
        QFile f(state.filePath(ReportIntake::ObservationsFile));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

} // namespace

class TstReportIntake : public QObject
{
    Q_OBJECT
private slots:
    void decisionTable_data();
    void decisionTable();
    void blockedObserverLeavesNoTrace_data();
    void blockedObserverLeavesNoTrace();
    void filteredHistoricalRecordKeepsLiveAlerts();
    void statusLine();
    void timeTextFallbacks();
    void timeModeAffectsLaterRowsOnly();
    void clearOnNextHistorical();
    void deleteRemovesEveryMatch();
    void logLineWrittenOnlyWhenRecording();
    void dispatchedBurst();
};

void TstReportIntake::decisionTable_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("from");       // "STATE COUNTY"
    QTest::addColumn<QStringList>("levels"); // display, sound, restore, front
    QTest::addColumn<int>("hideRoutine");
    QTest::addColumn<int>("routineSound");
    QTest::addColumn<bool>("warnAudio"); // check box ticked and link on
    QTest::addColumn<bool>("minimised");
    QTest::addColumn<bool>("inTray");
    QTest::addColumn<int>("listedReports");
    QTest::addColumn<int>("listedWarnings");
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<bool>("logged");

    const QStringList all{u"ALL"_s, u"ALL"_s, u"ALL"_s, u"ALL"_s};
    const QStringList defaults{u"ALL"_s, u"ALL"_s, u"COUNTY"_s, u"COUNTY"_s};
    const QStringList none;
    const QString home = u"MD HARFORD"_s;

    QTest::newRow("rpt severe, all levels")
        << "RPT"
        << "Tornado on the ground" << home << all << 0 << 1 << false << false << false << 1 << 0
        << QStringList{u"Nimbrel.wav"_s, u"front"_s} << true;
    QTest::newRow("rpt severe, minimised and in tray, order")
        << "RPT"
        << "Wall cloud" << home << all << 0 << 1 << false << true << true << 1 << 0
        << QStringList{u"restore"_s, u"tray"_s, u"Nimbrel.wav"_s, u"front"_s} << true;
    QTest::newRow("rpt severe, display off still alerts")
        << "RPT"
        << "Hail" << home << QStringList{u"OFF"_s, u"COUNTY"_s, u"COUNTY"_s, u"OFF"_s} << 0 << 1 << false
        << true << false << 0 << 0 << QStringList{u"restore"_s, u"Nimbrel.wav"_s} << true;
    QTest::newRow("rpt from other state, county levels")
        << "RPT"
        << "Hail"
        << "PA ADAMS" << defaults << 0 << 1 << false << true << false << 1 << 0
        << QStringList{u"Nimbrel.wav"_s} << true;
    QTest::newRow("rpt state level ignores additional county")
        << "RPT"
        << "Hail"
        << "PA YORK" << QStringList{u"STATE"_s, u"STATE"_s, u"COUNTY"_s, u"STATE"_s} << 0 << 1 << false
        << true << false << 0 << 0 << QStringList{u"restore"_s} << true;
    QTest::newRow("rpt additional whole state lists at county level")
        << "RPT"
        << "Hail"
        << "va fairfax" << QStringList{u"COUNTY"_s, u"OFF"_s, u"OFF"_s, u"COUNTY"_s} << 0 << 1 << false
        << false << false << 1 << 0 << QStringList{u"front"_s} << true;
    QTest::newRow("rpt county match ignores case")
        << "RPT"
        << "Hail"
        << "md harford" << QStringList{u"COUNTY"_s, u"COUNTY"_s, u"OFF"_s, u"OFF"_s} << 0 << 1 << false
        << false << false << 1 << 0 << QStringList{u"Nimbrel.wav"_s} << true;
    QTest::newRow("rpt same county other state")
        << "RPT"
        << "Hail"
        << "PA HARFORD" << QStringList{u"COUNTY"_s, u"COUNTY"_s, u"COUNTY"_s, u"COUNTY"_s} << 0 << 1 << false
        << true << false << 0 << 0 << none << true;
    QTest::newRow("rpt unknown level lists nothing")
        << "RPT"
        << "Hail" << home << QStringList{u"SOME"_s, u"OFF"_s, u"OFF"_s, u"OFF"_s} << 0 << 1 << false << false
        << false << 0 << 0 << none << true;
    QTest::newRow("rpt routine hidden")
        << "RPT"
        << "R: wind 40 mph" << home << all << 1 << 1 << false << true << false << 0 << 0 << none << false;
    QTest::newRow("rpt routine shown with sound")
        << "RPT"
        << "r: wind 40 mph" << home << all << 0 << 1 << false << true << true << 1 << 0
        << QStringList{u"Routine.wav"_s} << false;
    QTest::newRow("rpt routine shown, sound off")
        << "RPT"
        << "Routine check" << home << all << 0 << 0 << false << false << false << 1 << 0 << none << false;
    QTest::newRow("rpt routine not listed plays nothing")
        << "RPT"
        << "R wind"
        << "PA YORK" << QStringList{u"STATE"_s, u"ALL"_s, u"ALL"_s, u"ALL"_s} << 0 << 1 << false << false
        << false << 0 << 0 << none << false;
    QTest::newRow("rpt nightly summary is silent")
        << "RPT"
        << "R: Nightly PWS automated report: high 80" << home << all << 0 << 1 << false << false << false << 1
        << 0 << none << false;
    QTest::newRow("rpt routine mentioning tornado") << "RPT"
                                                    << "R: tornado last week" << home << all << 0 << 0
                                                    << false << true << false << 1 << 0 << none << false;
    QTest::newRow("wrn listed, audio on")
        << "WRN"
        << "Tornado warning" << home << all << 0 << 1 << true << true << false << 0 << 1
        << QStringList{u"restore"_s, u"Nimbrel.wav"_s, u"front"_s} << true;
    QTest::newRow("wrn listed, audio off")
        << "WRN"
        << "Tornado warning" << home << all << 0 << 1 << false << true << false << 0 << 1 << none << false;
    QTest::newRow("wrn not listed ignores audio box")
        << "WRN"
        << "Flood warning"
        << "PA YORK" << QStringList{u"STATE"_s, u"ALL"_s, u"COUNTY"_s, u"OFF"_s} << 0 << 1 << false << true
        << false << 0 << 0 << QStringList{u"restore"_s, u"Nimbrel.wav"_s} << true;
    QTest::newRow("wrn routine is quiet")
        << "WRN"
        << "ROUTINE test" << home << all << 0 << 1 << true << false << false << 0 << 1 << none << false;
    QTest::newRow("wrn routine hidden")
        << "WRN"
        << "ROUTINE test" << home << all << 1 << 1 << true << false << false << 0 << 0 << none << false;
    QTest::newRow("gld severe lists only") << "GLD"
                                           << "Tornado on the ground" << home << all << 0 << 1 << true << true
                                           << true << 1 << 0 << none << false;
    QTest::newRow("gld routine lists only")
        << "GLD"
        << "R: light rain" << home << all << 0 << 1 << false << false << false << 1 << 0 << none << false;
    QTest::newRow("gld routine hidden")
        << "GLD"
        << "R: light rain" << home << all << 1 << 1 << false << false << false << 0 << 0 << none << false;
    QTest::newRow("gld not listed") << "GLD"
                                    << "Hail"
                                    << "PA ADAMS" << QStringList{u"STATE"_s, u"ALL"_s, u"ALL"_s, u"ALL"_s}
                                    << 0 << 1 << false << false << false << 0 << 0 << none << false;
}

void TstReportIntake::decisionTable()
{
    QFETCH(QString, code);
    QFETCH(QString, text);
    QFETCH(QString, from);
    QFETCH(QStringList, levels);
    QFETCH(int, hideRoutine);
    QFETCH(int, routineSound);
    QFETCH(bool, warnAudio);
    QFETCH(bool, minimised);
    QFETCH(bool, inTray);
    QFETCH(int, listedReports);
    QFETCH(int, listedWarnings);
    QFETCH(QStringList, events);
    QFETCH(bool, logged);

    Fixture fx;
    SettingsRecord &s = fx.state.settings;
    s.DisplayLevel = levels[0];
    s.SoundLevel = levels[1];
    s.RestoreLevel = levels[2];
    s.FrontLevel = levels[3];
    s.HideRoutine = hideRoutine;
    s.RoutineSound = routineSound;
    s.WarnLinkEnabled = warnAudio ? 1 : 0;
    fx.intake.setTavrelAudioAlert(warnAudio);
    fx.window.minimised = minimised;
    fx.window.inTray = inTray;

    const QString state = from.section(u' ', 0, 0);
    const QString county = from.section(u' ', 1);
    const QString m = message(code, text, state, county);
    if (code == u"GLD")
        fx.intake.HandleHistoricalRecord(m);
    else
        fx.intake.HandleReport(m);
    fx.reports.flush();

    QCOMPARE(fx.reports.rowCount(), listedReports);
    QCOMPARE(fx.warnings.rowCount(), listedWarnings);
    QCOMPARE(fx.log.events, events);
    QCOMPARE(!fx.logFile().isEmpty(), logged);
    QVERIFY(!fx.intake.HistoricalMode());
}

void TstReportIntake::blockedObserverLeavesNoTrace_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("observer");
    QTest::newRow("rpt same case") << "RPT"
                                   << "TROLL";
    QTest::newRow("rpt other case") << "RPT"
                                    << "troll";
    QTest::newRow("wrn") << "WRN"
                         << "Troll";
    QTest::newRow("gld") << "GLD"
                         << "TROLL";
}

void TstReportIntake::blockedObserverLeavesNoTrace()
{
    QFETCH(QString, code);
    QFETCH(QString, observer);
    Fixture fx;
    fx.state.filterList = {u"BOB"_s, u"troll"_s};
    fx.intake.setTavrelAudioAlert(true);
    fx.state.settings.WarnLinkEnabled = 1;
    QSignalSpy status(&fx.intake, &ReportIntake::statusLine);
    const QString m = message(code, u"Tornado!"_s, u"MD"_s, u"HARFORD"_s, observer);
    if (code == u"GLD")
        fx.intake.HandleHistoricalRecord(m);
    else
        fx.intake.HandleReport(m);
    fx.reports.flush();
    QCOMPARE(fx.reports.rowCount(), 0);
    QCOMPARE(fx.warnings.rowCount(), 0);
    QCOMPARE(status.count(), 0);
    QVERIFY(fx.log.events.isEmpty());
    QVERIFY(fx.logFile().isEmpty());
}

void TstReportIntake::filteredHistoricalRecordKeepsLiveAlerts()
{
    Fixture fx;
    fx.state.filterList = {u"TROLL"_s};
    fx.intake.HandleHistoricalRecord(message(u"GLD"_s, u"Hail"_s, u"MD"_s, u"HARFORD"_s, u"TROLL"_s));
    QVERIFY(!fx.intake.HistoricalMode());
    fx.intake.HandleReport(message(u"RPT"_s, u"Hail"_s, u"MD"_s, u"HARFORD"_s));
    QCOMPARE(fx.log.events, (QStringList{u"Nimbrel.wav"_s, u"front"_s}));
    QVERIFY(!fx.logFile().isEmpty());
}

void TstReportIntake::statusLine()
{
    Fixture fx;
    fx.state.settings.TimeMode = 2;
    fx.state.settings.HideRoutine = 1;
    QSignalSpy status(&fx.intake, &ReportIntake::statusLine);
    const QString escaped = EscapeOutgoing(u"It's 1:00 | ok^"_s);
    fx.intake.HandleReport(message(u"RPT"_s, u"  "_s + escaped + u" "_s, u"MD"_s, u"HARFORD"_s));
    fx.intake.HandleReport(message(u"WRN"_s, u"Flood"_s, u"PA"_s, u"YORK"_s, u"NWS"_s));
    // A hidden routine report is still shown on the status line.
    fx.intake.HandleReport(message(u"RPT"_s, u"R: calm"_s, u"MD"_s, u"HARFORD"_s));
    fx.intake.HandleHistoricalRecord(message(u"GLD"_s, u"Old"_s, u"MD"_s, u"HARFORD"_s));
    QCOMPARE(status.count(), 3);
    QCOMPARE(status[0][0].toString(), u"It's 1:00 | ok^ | 12/06 18:44 | MD | HARFORD | SPOTTER1"_s);
    QCOMPARE(status[0][1].value<Rgb>(), (Rgb{255, 255, 255}));
    QCOMPARE(status[0][2].value<Rgb>(), (Rgb{0, 0, 128}));
    QCOMPARE(status[1][0].toString(), u"Flood | 12/06 18:44 | PA | YORK | NWS"_s);
    QCOMPARE(status[1][2].value<Rgb>(), (Rgb{128, 0, 0}));
    QCOMPARE(status[2][0].toString(), u"R: calm | 12/06 18:44 | MD | HARFORD | SPOTTER1"_s);
    fx.reports.flush();
    QCOMPARE(fx.reports.row(1).text, u"It's 1:00 | ok^"_s);
}

void TstReportIntake::timeTextFallbacks()
{
    Fixture fx; // local clock: 12/06 12:00
    fx.state.settings.TimeMode = 1;
    fx.intake.HandleReport(message(u"RPT"_s, u"a"_s, u"MD"_s, u""_s, u"X"_s, u"soon"_s));
    fx.intake.HandleHistoricalRecord(message(u"GLD"_s, u"b"_s, u"MD"_s, u""_s, u"X"_s, u"soon"_s));
    fx.intake.HandleHistoricalRecord(
        message(u"GLD"_s, u"c"_s, u"MD"_s, u""_s, u"X"_s, u"2026-12-06T03:15:00Z"_s));
    fx.reports.flush();
    QCOMPARE(fx.reports.row(2).timeText, u"12/06 12:00"_s);
    QCOMPARE(fx.reports.row(1).timeText, u"soon"_s);
    QCOMPARE(fx.reports.row(0).timeText, u"12/05 09:15 PM"_s);
}

void TstReportIntake::timeModeAffectsLaterRowsOnly()
{
    Fixture fx;
    fx.state.settings.TimeMode = 0;
    fx.intake.HandleReport(message(u"RPT"_s, u"a"_s, u"MD"_s, u"HARFORD"_s));
    fx.state.settings.TimeMode = 2;
    fx.intake.HandleReport(message(u"RPT"_s, u"b"_s, u"MD"_s, u"HARFORD"_s));
    fx.clock.setOffsetSeconds(-5 * 3600);
    fx.intake.ComputeUtcOffset();
    fx.state.settings.TimeMode = 0;
    fx.intake.HandleReport(message(u"RPT"_s, u"c"_s, u"MD"_s, u"HARFORD"_s));
    fx.reports.flush();
    QCOMPARE(fx.reports.row(2).timeText, u"12/06 12:44"_s);
    QCOMPARE(fx.reports.row(1).timeText, u"12/06 18:44"_s);
    QCOMPARE(fx.reports.row(0).timeText, u"12/06 13:44"_s);
}

void TstReportIntake::clearOnNextHistorical()
{
    Fixture fx;
    fx.intake.HandleReport(message(u"RPT"_s, u"live"_s, u"MD"_s, u"HARFORD"_s));
    fx.intake.setClearOnNextHistorical(true);
    fx.intake.HandleHistoricalRecord(message(u"GLD"_s, u"old 1"_s, u"MD"_s, u"HARFORD"_s));
    QVERIFY(!fx.intake.ClearOnNextHistorical());
    fx.intake.HandleHistoricalRecord(message(u"GLD"_s, u"old 2"_s, u"MD"_s, u"HARFORD"_s));
    fx.reports.flush();
    QCOMPARE(fx.reports.rowCount(), 2);
    QCOMPARE(fx.reports.row(0).text, u"old 2"_s);
    QCOMPARE(fx.reports.row(1).text, u"old 1"_s);
}

void TstReportIntake::deleteRemovesEveryMatch()
{
    Fixture fx;
    for (const QString &t : {u"Hail: 1 inch"_s, u"HAIL: 1 INCH"_s, u"other"_s, u"hail: 1 inch"_s})
        fx.intake.HandleReport(message(u"RPT"_s, EscapeOutgoing(t), u"MD"_s, u"HARFORD"_s));
    // Not flushed yet: the delete must still see the staged rows.
    fx.intake.HandleReportDelete(ServerMessage(u"DEL", {EscapeOutgoing(u"Hail: 1 inch"_s)}));
    QCOMPARE(fx.reports.rowCount(), 1);
    QCOMPARE(fx.reports.row(0).text, u"other"_s);
}

void TstReportIntake::logLineWrittenOnlyWhenRecording()
{
    Fixture fx;
    fx.state.settings.RecordObservations = 0;
    fx.intake.HandleReport(message(u"RPT"_s, u"a"_s, u"MD"_s, u"HARFORD"_s));
    QVERIFY(fx.logFile().isEmpty());
    fx.state.settings.RecordObservations = 1;
    fx.intake.HandleReport(ServerMessage(u"RPT", {EscapeOutgoing(u"Hail 1\" | size"_s), u"MD"_s, u"HARFORD"_s,
                                                  u"21014"_s, u"JOE"_s, u"Bel Air"_s}));
    QCOMPARE(fx.logFile(), QByteArray("2026/12/06 12:00:|Hail 1\" | size|MD|HARFORD|21014|JOE|Bel Air\r\n"));
}

void TstReportIntake::dispatchedBurst()
{
    Fixture fx;
    fx.state.settings.TimeMode = 2;
    Dispatcher dispatcher;
    fx.intake.RegisterHandlers(dispatcher);
    ReceiveBuffer buffer([&](const QString &m) { dispatcher.dispatch(m); });
    QString arrival;
    for (int i = 0; i < 2500; ++i)
        arrival += message(u"GLD"_s, u"record "_s + QString::number(i), u"MD"_s, u"HARFORD"_s);
    arrival += ServerMessage(u"DEL", {u"RECORD 2499"_s});
    QSignalSpy inserted(&fx.reports, &QAbstractItemModel::rowsInserted);
    buffer.Append(arrival);
    fx.reports.flush();
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(fx.reports.rowCount(), ReportListModel::MaxRows - 1);
    QCOMPARE(fx.reports.row(0).text, u"record 2498"_s);
    QCOMPARE(fx.reports.row(fx.reports.rowCount() - 1).text, u"record 501"_s);
}

QTEST_GUILESS_MAIN(TstReportIntake)
#include "tst_report_intake.moc"
