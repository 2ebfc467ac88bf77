#include "base/alert_sounds.h"
#include "base/client_state.h"
#include "fakes.h"
#include "net/protocol.h"
#include "reports/report_intake.h"
#include "reports/report_list_model.h"
#include "test_files.h"

#include <QtTest>

QString message(const QString &code, const QString &text, const QString &state = u"MD"_s,
                const QString &county = u"HARFORD"_s, const QString &observer = u"SPOTTER1"_s,
                const QString &time = u"12/6/2026 6:44:52 PM"_s)
{
    return ServerMessage(code, {text, state, county, u"21014"_s, observer, u"Bel Air"_s, time});
}

struct Intake
{
    QTemporaryDir dir;
    ClientState state;
    FakeClock clock;
    FakeDesktopLog desktop;
    AlertSounds sounds{desktop, dir.path()};
    ReportListModel reports;
    ReportIntake intake{state, clock, desktop, sounds, reports};
    QSignalSpy warnings{&intake, &ReportIntake::warningRelayed};

    Intake()
    {
        state.dataDir = dir.path();
        state.settings.UserState = u"MD"_s;
        state.settings.UserCounty = u"HARFORD"_s;
        state.settings.RecordObservations = 1;
        state.additionalCounties = {u"PA YORK"_s, u"VA"_s};
        state.filterList = {u"BOB"_s, u"TROLL"_s};
        for (const QString &file : {AlertSounds::RoutineFile, AlertSounds::AlertFile})
            TestFiles::write(state.filePath(file), {});
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
    QByteArray logFile() const { return TestFiles::read(state.filePath(ReportIntake::ObservationsFile)); }
};

// Reports, warnings and records arriving: screening, alerts and the log.
class TstReportIntake : public QObject
{
    Q_OBJECT
private slots:
    // One row per case: code | text | "STATE COUNTY [OBSERVER]", empty for MD HARFORD | display, sound,
    // restore and front levels (A ALL, S STATE, C COUNTY, O OFF, ? unknown) | flags: hide (routine),
    // quiet (no routine sound), norec (not recording), audio, min, tray | listed: R report list, W warnings |
    // window and sound events | log: an observations line.
    void decisionTable_data()
    {
        QTest::addColumn<QString>("row");
        const auto row = [](const char *name, const char *text) {
            QTest::newRow(name) << QString::fromUtf8(text);
        };
        row("rpt severe", "RPT|Tornado on the ground||AAAA||R|Nimbrel front|log");
        row("rpt minimised, in tray", "RPT|Wall cloud||AAAA|min tray|R|restore tray Nimbrel front|log");
        row("rpt display off still alerts", "RPT|Hail||OCCO|min||restore Nimbrel|log");
        row("rpt other state, county levels", "RPT|Hail|PA ADAMS|AACC|min|R|Nimbrel|log");
        row("rpt state level, additional county", "RPT|Hail|PA YORK|SSCS|min||restore|log");
        row("rpt additional state at county level", "RPT|Hail|va fairfax|COOC||R|front|log");
        row("rpt county ignores case", "RPT|Hail|md harford|CCOO||R|Nimbrel|log");
        row("rpt same county other state", "RPT|Hail|PA HARFORD|CCCC|min|||log");
        row("rpt not recorded", "RPT|Hail||AAAA|norec|R|Nimbrel front|");
        row("rpt unknown level", "RPT|Hail||?OOO||||log");
        row("rpt routine hidden", "RPT|R: wind 40 mph||AAAA|hide min|||");
        row("rpt routine with sound", "RPT|r: wind 40 mph||AAAA|min tray|R|Routine|");
        row("rpt routine sound off", "RPT|Routine check||AAAA|quiet|R||");
        row("rpt routine not listed", "RPT|R wind|PA YORK|SAAA||||");
        row("rpt nightly summary silent", "RPT|R: Nightly PWS automated report: high 80||AAAA||R||");
        row("rpt routine mentioning tornado", "RPT|R: tornado last week||AAAA|quiet min|R||");
        row("rpt blocked observer, any case", "RPT|Tornado!|MD HARFORD troll|AAAA|audio|||");
        row("wrn audio on", "WRN|Tornado warning||AAAA|audio min|W|restore Nimbrel front|log");
        row("wrn audio off", "WRN|Tornado warning||AAAA|min|W||");
        row("wrn not listed ignores audio box", "WRN|Flood warning|PA YORK|SACO|min||restore Nimbrel|log");
        row("wrn routine quiet", "WRN|ROUTINE test||AAAA|audio|W||");
        row("wrn routine hidden", "WRN|ROUTINE test||AAAA|hide audio|||");
        row("wrn blocked observer", "WRN|Tornado!|MD HARFORD Troll|AAAA|audio|||");
        row("gld severe lists only", "GLD|Tornado on the ground||AAAA|audio min tray|R||");
        row("gld routine lists only", "GLD|R: light rain||AAAA||R||");
        row("gld routine hidden", "GLD|R: light rain||AAAA|hide|||");
        row("gld not listed", "GLD|Hail|PA ADAMS|SAAA||||");
        row("gld blocked observer", "GLD|Tornado!|MD HARFORD TROLL|AAAA||||");
    }

    void decisionTable()
    {
        QFETCH(QString, row);
        const QStringList c = row.split(u'|');
        QCOMPARE(c.size(), 8);
        const QString &code = c[0], &from = c[2], &flags = c[4], &listed = c[5];
        Intake fx;
        SettingsRecord &s = fx.state.settings;
        const QStringList names{u"ALL"_s, u"STATE"_s, u"COUNTY"_s, u"OFF"_s, u"SOME"_s};
        QString *levels[] = {&s.DisplayLevel, &s.SoundLevel, &s.RestoreLevel, &s.FrontLevel};
        for (int i = 0; i < 4; ++i)
            *levels[i] = names.value(u"ASCO?"_s.indexOf(c[3].at(i)));
        s.RecordObservations = !flags.contains(u"norec");
        s.HideRoutine = flags.contains(u"hide");
        s.RoutineSound = !flags.contains(u"quiet");
        s.WarnLinkEnabled = flags.contains(u"audio");
        fx.intake.setTavrelAudioAlert(flags.contains(u"audio"));
        fx.desktop.minimised = flags.contains(u"min");
        fx.desktop.inTray = flags.contains(u"tray");
        QSignalSpy status(&fx.intake, &ReportIntake::statusLine);
        const QStringList where = (from.isEmpty() ? u"MD HARFORD"_s : from).split(u' ');
        fx.handle(message(code, c[1], where[0], where[1], where.value(2, u"SPOTTER1"_s)));

        QCOMPARE(fx.reports.rowCount(), listed == u"R" ? 1 : 0);
        QCOMPARE(fx.warnings.count(), listed == u"W" ? 1 : 0);
        QCOMPARE(fx.desktop.events, c[6].split(u' ', Qt::SkipEmptyParts));
        QCOMPARE(!fx.logFile().isEmpty(), c[7] == u"log");
        // Every live record shows on the status line, hidden routine ones too; history, blocked never.
        QCOMPARE(status.count(), code != u"GLD" && where.size() < 3 ? 1 : 0);
        // Nor may a refused record leave the intake thinking it is replaying history.
        QVERIFY(!fx.intake.HistoricalMode());
    }

    // A missing alert file still cuts off the sound playing; a missing routine
    // file does nothing at all.
    void missingSoundFiles()
    {
        Intake fx;
        QFile::remove(fx.state.filePath(AlertSounds::AlertFile));
        QFile::remove(fx.state.filePath(AlertSounds::RoutineFile));
        fx.sounds.PlayAlertSound();
        fx.sounds.PlayRoutineSound();
        QCOMPARE(fx.desktop.events, QStringList{u"stop"_s});
    }

    void statusLineAndLogLine()
    {
        Intake fx;
        fx.state.settings.TimeMode = 2;
        QSignalSpy status(&fx.intake, &ReportIntake::statusLine);
        fx.handle(message(u"RPT"_s, u"  "_s + EscapeOutgoing(u"It's 1\" | ok^"_s) + u" "_s));
        fx.handle(message(u"WRN"_s, u"Flood"_s, u"PA"_s, u"YORK"_s, u"NWS"_s));
        QCOMPARE(fx.reports.row(0).text, u"It's 1\" | ok^"_s);
        QCOMPARE(status[0][0].toString(), u"It's 1\" | ok^ | 12/06 18:44 | MD | HARFORD | SPOTTER1"_s);
        QCOMPARE(status[1][0].toString(), u"Flood | 12/06 18:44 | PA | YORK | NWS"_s);
        QCOMPARE(status[0][2].value<Rgb>(), (Rgb{0, 0, 128})); // navy for reports, maroon for warnings
        QCOMPARE(status[1][2].value<Rgb>(), (Rgb{128, 0, 0}));
        QCOMPARE(fx.logFile(), "2026/12/06 12:00:|It's 1\" | ok^|MD|HARFORD|21014|SPOTTER1|Bel Air\r\n"_ba);

        // A line break in a field cannot forge a log line, and a huge field is
        // cut before it reaches the list, the status line and the log.
        fx.handle(message(u"RPT"_s, u"Hail\r\n2026/12/06 12:00:|forged"_s));
        const QString huge(3 * MaxShownFieldLength, u'x');
        fx.handle(message(u"RPT"_s, huge, u"MD"_s, u"HARFORD"_s, huge));
        QCOMPARE(fx.logFile().count("\r\n"), 3);
        QVERIFY(fx.logFile().contains("|Hail  2026/12/06 12:00:|forged|MD|"));
        QCOMPARE(fx.reports.row(0).text.size(), MaxShownFieldLength);
        QCOMPARE(fx.reports.row(0).observer.size(), MaxShownFieldLength);
        QVERIFY(status.last()[0].toString().size() < 3 * MaxShownFieldLength);
        fx.intake.HandleReportDelete(message(u"DEL"_s, huge));
        fx.reports.flush();
        QVERIFY(fx.reports.row(0).text.startsWith(u"Hail"));

        // A log that cannot be written is said once, and recording stops.
        QSignalSpy stopped(&fx.intake, &ReportIntake::logStopped);
        QVERIFY(QFile::remove(fx.state.filePath(ReportIntake::ObservationsFile)));
        QVERIFY(QDir(fx.dir.path()).mkdir(ReportIntake::ObservationsFile));
        fx.handle(message(u"RPT"_s, u"Hail"_s));
        fx.handle(message(u"RPT"_s, u"Hail"_s));
        QCOMPARE(stopped.size(), 1);
        QVERIFY(stopped[0][0].toString().startsWith(u"Observations.txt: logging stopped: "_s));
        QCOMPARE(fx.state.settings.RecordObservations, 0);
    }

    void timeColumn()
    {
        Intake fx; // local clock: 12/06 12:00, six hours behind UTC
        fx.state.settings.TimeMode = 1;
        // Unreadable stamps: live rows take the receive time, history keeps the text.
        fx.handle(message(u"RPT"_s, u"a"_s, u"MD"_s, u""_s, u"X"_s, u"soon"_s));
        fx.handle(message(u"GLD"_s, u"b"_s, u"MD"_s, u""_s, u"X"_s, u"soon"_s));
        fx.handle(message(u"GLD"_s, u"c"_s, u"MD"_s, u""_s, u"X"_s, u"2026-12-06T03:15:00Z"_s));
        fx.clock.setOffsetSeconds(-5 * 3600);
        fx.intake.ComputeUtcOffset();
        fx.state.settings.TimeMode = 0;
        fx.handle(message(u"RPT"_s, u"f"_s));
        QStringList times;
        for (int r = fx.reports.rowCount() - 1; r >= 0; --r)
            times << fx.reports.row(r).timeText;
        QCOMPARE(times, (QStringList{u"12/06 12:00"_s, u"soon"_s, u"12/05 09:15 PM"_s, u"12/06 13:44"_s}));

        // A summer record read in winter: the summer offset of then, not today's.
        const QTimeZone chicago("America/Chicago");
        if (!chicago.isValid())
            QSKIP("no time-zone data");
        fx.clock.setTimeZone(chicago);
        fx.intake.ComputeUtcOffset();
        fx.handle(message(u"GLD"_s, u"g"_s, u"MD"_s, u""_s, u"X"_s, u"2026-07-04T18:00:00Z"_s));
        QCOMPARE(fx.reports.row(0).timeText, u"07/04 13:00"_s);
    }

    void clearOnNextHistoricalAndDelete()
    {
        Intake fx;
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
};

QTEST_GUILESS_MAIN(TstReportIntake)
#include "tst_report_intake.moc"
