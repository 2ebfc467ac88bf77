#include "app/client_state.h"
#include "fakes.h"
#include "net/protocol.h"
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
class LoggingDesktop final : public WindowActions, public SoundPlayer
{
public:
    QStringList events;
    bool minimised = false;
    bool inTray = false;
    bool isMinimised() const override { return minimised; }
    bool isInTray() const override { return inTray; }
    void restoreFromMinimised() override { events << u"restore"_s; }
    void showFromTray() override { events << u"tray"_s; }
    void bringToFront() override { events << u"front"_s; }
    void hideToTray() override {}
    void play(const QString &path) override { events << QFileInfo(path).fileName(); }
    void stop() override {}
};

QString message(const QString &code, const QString &text, const QString &state = u"MD"_s,
                const QString &county = u"HARFORD"_s, const QString &observer = u"SPOTTER1"_s,
                const QString &time = u"12/6/2026 6:44:52 PM"_s)
{
    return ServerMessage(code, {text, state, county, u"21014"_s, observer, u"Bel Air"_s, time});
}

struct Fixture
{
    QTemporaryDir dir;
    ClientState state;
    FakeClock clock;
    LoggingDesktop desktop;
    AlertSounds sounds{desktop, dir.path()};
    ReportListModel reports;
    WarningsModel warnings;
    ReportIntake intake{state, clock, desktop, sounds, reports, warnings};

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
    void handle(const QString &m)
    {
        if (m.startsWith(u":GLD"))
            intake.HandleHistoricalRecord(m);
        else
            intake.HandleReport(m);
        reports.flush();
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
    void decisionTable_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("from");   // "STATE COUNTY"
        QTest::addColumn<QString>("levels"); // display, sound, restore, front
        QTest::addColumn<QString>("flags");  // hide (routine), quiet (no routine sound), audio, min, tray
        QTest::addColumn<QString>("listed"); // R: report list, W: warnings, -: neither
        QTest::addColumn<QString>("events");
        QTest::addColumn<bool>("logged");
        const auto row = [](const char *name, const char *code, const char *text, const char *from,
                            const char *levels, const char *flags, const char *listed, const char *events,
                            bool logged) {
            QTest::newRow(name) << code << text << from << levels << flags << listed << events << logged;
        };
        const char *all = "ALL ALL ALL ALL";
        row("rpt severe", "RPT", "Tornado on the ground", "MD HARFORD", all, "", "R", "Nimbrel.wav front",
            true);
        row("rpt severe minimised in tray", "RPT", "Wall cloud", "MD HARFORD", all, "min tray", "R",
            "restore tray Nimbrel.wav front", true);
        row("rpt display off still alerts", "RPT", "Hail", "MD HARFORD", "OFF COUNTY COUNTY OFF", "min", "-",
            "restore Nimbrel.wav", true);
        row("rpt other state, county levels", "RPT", "Hail", "PA ADAMS", "ALL ALL COUNTY COUNTY", "min", "R",
            "Nimbrel.wav", true);
        row("rpt state level ignores additional county", "RPT", "Hail", "PA YORK", "STATE STATE COUNTY STATE",
            "min", "-", "restore", true);
        row("rpt additional whole state at county level", "RPT", "Hail", "va fairfax",
            "COUNTY OFF OFF COUNTY", "", "R", "front", true);
        row("rpt county ignores case", "RPT", "Hail", "md harford", "COUNTY COUNTY OFF OFF", "", "R",
            "Nimbrel.wav", true);
        row("rpt same county other state", "RPT", "Hail", "PA HARFORD", "COUNTY COUNTY COUNTY COUNTY", "min",
            "-", "", true);
        row("rpt unknown level", "RPT", "Hail", "MD HARFORD", "SOME OFF OFF OFF", "", "-", "", true);
        row("rpt routine hidden", "RPT", "R: wind 40 mph", "MD HARFORD", all, "hide min", "-", "", false);
        row("rpt routine with sound", "RPT", "r: wind 40 mph", "MD HARFORD", all, "min tray", "R",
            "Routine.wav", false);
        row("rpt routine sound off", "RPT", "Routine check", "MD HARFORD", all, "quiet", "R", "", false);
        row("rpt routine not listed", "RPT", "R wind", "PA YORK", "STATE ALL ALL ALL", "", "-", "", false);
        row("rpt nightly summary silent", "RPT", "R: Nightly PWS automated report: high 80", "MD HARFORD",
            all, "", "R", "", false);
        row("rpt routine mentioning tornado", "RPT", "R: tornado last week", "MD HARFORD", all, "quiet min",
            "R", "", false);
        row("wrn audio on", "WRN", "Tornado warning", "MD HARFORD", all, "audio min", "W",
            "restore Nimbrel.wav front", true);
        row("wrn audio off", "WRN", "Tornado warning", "MD HARFORD", all, "min", "W", "", false);
        row("wrn not listed ignores audio box", "WRN", "Flood warning", "PA YORK", "STATE ALL COUNTY OFF",
            "min", "-", "restore Nimbrel.wav", true);
        row("wrn routine quiet", "WRN", "ROUTINE test", "MD HARFORD", all, "audio", "W", "", false);
        row("wrn routine hidden", "WRN", "ROUTINE test", "MD HARFORD", all, "hide audio", "-", "", false);
        row("gld severe lists only", "GLD", "Tornado on the ground", "MD HARFORD", all, "audio min tray", "R",
            "", false);
        row("gld routine lists only", "GLD", "R: light rain", "MD HARFORD", all, "", "R", "", false);
        row("gld routine hidden", "GLD", "R: light rain", "MD HARFORD", all, "hide", "-", "", false);
        row("gld not listed", "GLD", "Hail", "PA ADAMS", "STATE ALL ALL ALL", "", "-", "", false);
    }

    void decisionTable()
    {
        QFETCH(QString, code);
        QFETCH(QString, text);
        QFETCH(QString, from);
        QFETCH(QString, levels);
        QFETCH(QString, flags);
        QFETCH(QString, listed);
        QFETCH(QString, events);
        QFETCH(bool, logged);
        Fixture fx;
        SettingsRecord &s = fx.state.settings;
        const QStringList l = levels.split(u' ');
        s.DisplayLevel = l[0];
        s.SoundLevel = l[1];
        s.RestoreLevel = l[2];
        s.FrontLevel = l[3];
        s.HideRoutine = flags.contains(u"hide") ? 1 : 0;
        s.RoutineSound = flags.contains(u"quiet") ? 0 : 1;
        s.WarnLinkEnabled = flags.contains(u"audio") ? 1 : 0;
        fx.intake.setTavrelAudioAlert(flags.contains(u"audio"));
        fx.desktop.minimised = flags.contains(u"min");
        fx.desktop.inTray = flags.contains(u"tray");

        fx.handle(message(code, text, from.section(u' ', 0, 0), from.section(u' ', 1)));

        QCOMPARE(fx.reports.rowCount(), listed == u"R" ? 1 : 0);
        QCOMPARE(fx.warnings.rowCount(), listed == u"W" ? 1 : 0);
        QCOMPARE(fx.desktop.events, events.split(u' ', Qt::SkipEmptyParts));
        QCOMPARE(!fx.logFile().isEmpty(), logged);
        QVERIFY(!fx.intake.HistoricalMode());
    }

    void blockedObserverLeavesNoTrace_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("observer");
        QTest::newRow("rpt other case") << u"RPT"_s << u"troll"_s;
        QTest::newRow("wrn") << u"WRN"_s << u"Troll"_s;
        QTest::newRow("gld") << u"GLD"_s << u"TROLL"_s;
    }

    void blockedObserverLeavesNoTrace()
    {
        QFETCH(QString, code);
        QFETCH(QString, observer);
        Fixture fx;
        fx.state.filterList = {u"BOB"_s, u"TROLL"_s};
        fx.intake.setTavrelAudioAlert(true);
        fx.state.settings.WarnLinkEnabled = 1;
        QSignalSpy status(&fx.intake, &ReportIntake::statusLine);
        fx.handle(message(code, u"Tornado!"_s, u"MD"_s, u"HARFORD"_s, observer));
        QCOMPARE(fx.reports.rowCount() + fx.warnings.rowCount() + status.count(), 0);
        QVERIFY(fx.desktop.events.isEmpty());
        QVERIFY(fx.logFile().isEmpty());
        // A refused record must not leave the intake thinking it is replaying history.
        fx.handle(message(u"RPT"_s, u"Hail"_s));
        QCOMPARE(fx.desktop.events, (QStringList{u"Nimbrel.wav"_s, u"front"_s}));
    }

    void statusLine()
    {
        Fixture fx;
        fx.state.settings.TimeMode = 2;
        fx.state.settings.HideRoutine = 1;
        QSignalSpy status(&fx.intake, &ReportIntake::statusLine);
        fx.handle(message(u"RPT"_s, u"  "_s + EscapeOutgoing(u"It's 1:00 | ok^"_s) + u" "_s));
        fx.handle(message(u"WRN"_s, u"Flood"_s, u"PA"_s, u"YORK"_s, u"NWS"_s));
        // A hidden routine report is still shown on the status line; history is not.
        fx.handle(message(u"RPT"_s, u"R: calm"_s));
        fx.handle(message(u"GLD"_s, u"Old"_s));
        QCOMPARE(status.count(), 3);
        QCOMPARE(status[0][0].toString(), u"It's 1:00 | ok^ | 12/06 18:44 | MD | HARFORD | SPOTTER1"_s);
        QCOMPARE(status[0][1].value<Rgb>(), (Rgb{255, 255, 255}));
        QCOMPARE(status[0][2].value<Rgb>(), (Rgb{0, 0, 128}));
        QCOMPARE(status[1][0].toString(), u"Flood | 12/06 18:44 | PA | YORK | NWS"_s);
        QCOMPARE(status[1][2].value<Rgb>(), (Rgb{128, 0, 0}));
        QCOMPARE(status[2][0].toString(), u"R: calm | 12/06 18:44 | MD | HARFORD | SPOTTER1"_s);
        QCOMPARE(fx.reports.row(1).text, u"It's 1:00 | ok^"_s);
    }

    void timeColumn()
    {
        Fixture fx; // local clock: 12/06 12:00, six hours behind UTC
        fx.state.settings.TimeMode = 1;
        // Unreadable stamps: live rows take the receive time, history keeps the text.
        fx.handle(message(u"RPT"_s, u"a"_s, u"MD"_s, u""_s, u"X"_s, u"soon"_s));
        fx.handle(message(u"GLD"_s, u"b"_s, u"MD"_s, u""_s, u"X"_s, u"soon"_s));
        fx.handle(message(u"GLD"_s, u"c"_s, u"MD"_s, u""_s, u"X"_s, u"2026-12-06T03:15:00Z"_s));
        fx.state.settings.TimeMode = 0;
        fx.handle(message(u"RPT"_s, u"d"_s));
        fx.state.settings.TimeMode = 2;
        fx.handle(message(u"RPT"_s, u"e"_s));
        fx.clock.setOffsetSeconds(-5 * 3600);
        fx.intake.ComputeUtcOffset();
        fx.state.settings.TimeMode = 0;
        fx.handle(message(u"RPT"_s, u"f"_s));
        QStringList times;
        for (int r = fx.reports.rowCount() - 1; r >= 0; --r)
            times << fx.reports.row(r).timeText;
        QCOMPARE(times, (QStringList{u"12/06 12:00"_s, u"soon"_s, u"12/05 09:15 PM"_s, u"12/06 12:44"_s,
                                     u"12/06 18:44"_s, u"12/06 13:44"_s}));
    }

    void clearOnNextHistoricalAndDelete()
    {
        Fixture fx;
        fx.handle(message(u"RPT"_s, u"live"_s));
        fx.intake.setClearOnNextHistorical(true);
        fx.handle(message(u"GLD"_s, u"old 1"_s));
        fx.handle(message(u"GLD"_s, u"old 2"_s));
        QCOMPARE(fx.reports.rowCount(), 2);
        // Unflushed rows are deleted too; the text matches in any case.
        for (const QString &t : {u"Hail: 1 inch"_s, u"HAIL: 1 INCH"_s, u"old 3"_s})
            fx.intake.HandleReport(message(u"RPT"_s, EscapeOutgoing(t)));
        fx.intake.HandleReportDelete(ServerMessage(u"DEL", {EscapeOutgoing(u"hail: 1 Inch"_s)}));
        QCOMPARE(fx.reports.rowCount(), 3);
        QCOMPARE(fx.reports.row(0).text, u"old 3"_s);
        QCOMPARE(fx.reports.row(2).text, u"old 1"_s);
    }

    void logLineOnlyWhenRecording()
    {
        Fixture fx;
        fx.state.settings.RecordObservations = 0;
        fx.handle(message(u"RPT"_s, u"a"_s));
        QVERIFY(fx.logFile().isEmpty());
        fx.state.settings.RecordObservations = 1;
        fx.handle(ServerMessage(u"RPT", {EscapeOutgoing(u"Hail 1\" | size"_s), u"MD"_s, u"HARFORD"_s,
                                         u"21014"_s, u"JOE"_s, u"Bel Air"_s}));
        QCOMPARE(fx.logFile(),
                 QByteArray("2026/12/06 12:00:|Hail 1\" | size|MD|HARFORD|21014|JOE|Bel Air\r\n"));
    }
};

QTEST_GUILESS_MAIN(TstReportIntake)
#include "tst_report_intake.moc"
