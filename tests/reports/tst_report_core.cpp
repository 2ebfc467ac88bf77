#include "base/alert_sounds.h"
#include "base/client_state.h"
#include "base/wire_codec.h"
#include "composer_fixture.h"
#include "fakes.h"
#include "net/protocol.h"
#include "reports/report_intake.h"
#include "reports/report_list_model.h"
#include "reports/report_text.h"
#include "reports/report_tools.h"
#include "test_files.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::Literals::StringLiterals;
using namespace ReportTools;

Q_DECLARE_METATYPE(std::optional<QString>)

namespace {

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

struct Composer : ComposerFixture
{
    Composer() : ComposerFixture(u"JOE'S|NAME"_s, u"Bel Air: north"_s) {}
};

ReportRow listRow(const QString &text, const QString &time = {})
{
    ReportRow r;
    r.text = text;
    r.observer = u"OBS"_s;
    r.timeText = time;
    r.colour = SeverityColour(text);
    return r;
}

QStringList texts(const ReportListModel &m)
{
    QStringList out;
    for (int i = 0; i < m.rowCount(); ++i)
        out << m.row(i).text;
    return out;
}

// "observed|temperature|...|dew point", as many as given.
RoutineFields routine(const QString &bars)
{
    RoutineFields f;
    const QStringList values = bars.split(u'|');
    std::copy(values.begin(), values.end(), f.begin());
    return f;
}

} // namespace

class TstReportCore : public QObject
{
    Q_OBJECT
    QLocale m_locale;
private slots:
    void cleanup() { QLocale::setDefault(m_locale); }

    // ---- report text ----------------------------------------------------
    void colourAndRoutine_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("colour"); // -1: none
        QTest::addColumn<bool>("routine");
        QTest::newRow("tornado") << "Tornado on the ground" << 0xff0000 << false;
        QTest::newRow("routine tornado") << "R: tornado last week" << 0x008000 << true;
        QTest::newRow("severe weather test") << "SEVERE WEATHER TEST" << 0xff0000 << false;
        QTest::newRow("test of hurricane") << "TEST of hurricane net" << 0x008000 << false;
        QTest::newRow("hurricane") << "Hurricane winds" << 0x0000ff << false;
        QTest::newRow("hurricane and tornado") << "hurricane spawned a tornado" << 0xff0000 << false;
        QTest::newRow("blue alert prefix") << "blue alert issued" << 0x0000ff << false;
        QTest::newRow("blue alert inside") << "a BLUE ALERT" << -1 << false;
        QTest::newRow("end severe weather") << "END SEVERE WEATHER now" << 0x008000 << false;
        QTest::newRow("routinely") << "ROUTINELY windy" << 0x008000 << true;
        QTest::newRow("r space") << "r wind 40" << 0x008000 << true;
        QTest::newRow("lone r") << "R" << -1 << false;
        QTest::newRow("leading space") << " R: x" << -1 << false;
        QTest::newRow("plain") << "Heavy rain" << -1 << false;
    }
    void colourAndRoutine()
    {
        QFETCH(QString, text);
        const std::optional<Rgb> c = SeverityColour(text);
        QTEST(c ? (c->r << 16 | c->g << 8 | c->b) : -1, "colour");
        QTEST(IsRoutineReport(text), "routine");
    }

    void parseTime_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QDateTime>("expected"); // invalid: rejected
        const auto utc = [](int mo, int d, int h, int mi, int s) {
            return QDateTime(QDate(2026, mo, d), QTime(h, mi, s), Qt::UTC);
        };
        QTest::newRow("relay pm") << "12/6/2026 6:44:52 PM" << utc(12, 6, 18, 44, 52);
        QTest::newRow("midnight") << "3/4/2026 12:00:01 AM" << utc(3, 4, 0, 0, 1);
        QTest::newRow("noon") << "3/4/2026 12:30:00 PM" << utc(3, 4, 12, 30, 0);
        QTest::newRow("leading zeros") << "03/04/2026 09:30:00 pm" << utc(3, 4, 21, 30, 0);
        QTest::newRow("iso") << "2026-12-06T18:44:52Z" << utc(12, 6, 18, 44, 52);
        QTest::newRow("words") << "yesterday" << QDateTime();
        QTest::newRow("no seconds") << "12/6/2026 6:44 PM" << QDateTime();
        QTest::newRow("hour 13") << "12/6/2026 13:44:52 PM" << QDateTime();
        QTest::newRow("feb 30") << "2/30/2026 1:00:00 PM" << QDateTime();
        QTest::newRow("trailing text") << "12/6/2026 6:44:52 PMX" << QDateTime();
        QTest::newRow("iso no zone") << "2026-12-06T18:44:52" << QDateTime();
        QTest::newRow("iso offset") << "2026-12-06T18:44:52+01:00" << QDateTime();
    }
    void parseTime()
    {
        QFETCH(QString, text);
        QFETCH(QDateTime, expected);
        const std::optional<QDateTime> got = ParseReportTime(text);
        QCOMPARE(got.has_value(), expected.isValid());
        if (got) {
            QCOMPARE(*got, expected);
            QCOMPARE(got->timeSpec(), Qt::UTC);
        }
    }

    void formatTime_data()
    {
        QTest::addColumn<QDateTime>("utc");
        QTest::addColumn<int>("mode");
        QTest::addColumn<float>("offset");
        QTest::addColumn<QString>("expected");
        const QDateTime evening(QDate(2026, 12, 6), QTime(18, 44, 52), Qt::UTC);
        const QDateTime early(QDate(2027, 1, 1), QTime(3, 5), Qt::UTC);
        QTest::newRow("military west") << evening << 0 << -6.0f << "12/06 12:44";
        QTest::newRow("utc ignores offset") << evening << 2 << -6.0f << "12/06 18:44";
        QTest::newRow("ampm back a year") << early << 1 << -5.0f << "12/31 10:05 PM";
        QTest::newRow("ampm small hours") << early << 1 << 0.0f << "01/01 03:05 AM";
        QTest::newRow("ampm midnight") << early.addSecs(-3 * 3600) << 1 << 0.0f << "01/01 12:05 AM";
        QTest::newRow("quarter hour east") << evening << 0 << 5.75f << "12/07 00:29";
    }
    void formatTime()
    {
        QFETCH(QDateTime, utc);
        QFETCH(int, mode);
        QFETCH(float, offset);
        QTEST(FormatReportTime(utc, TimeMode(mode), offset), "expected");
    }
    void ampmDesignatorFollowsTheLocale()
    {
        const QDateTime evening(QDate(2026, 12, 6), QTime(18, 44, 52), Qt::UTC);
        QLocale::setDefault(QLocale(QLocale::Korean, QLocale::SouthKorea));
        const QString text = FormatReportTime(evening, TimeMode::LocalAmPm, 0);
        QCOMPARE(text, u"12/06 06:44 "_s + QLocale(QLocale::Korean).pmText());
        QVERIFY(!text.endsWith(u"PM"_s));
    }

    void utcOffset_data()
    {
        QTest::addColumn<int>("offsetSeconds");
        QTest::addColumn<float>("hours");
        QTest::newRow("central") << -6 * 3600 << -6.0f;
        QTest::newRow("nepal") << 5 * 3600 + 45 * 60 << 5.75f;
        QTest::newRow("newfoundland") << -(3 * 3600 + 1800) << -3.5f;
        QTest::newRow("seconds apart") << -6 * 3600 + 20 << -6.0f;
    }
    void utcOffset()
    {
        QFETCH(int, offsetSeconds);
        FakeClock clock(QDateTime(QDate(2026, 12, 31), QTime(23, 30), Qt::UTC), offsetSeconds);
        const std::optional<float> got = ComputeUtcOffset(clock);
        QVERIFY(got);
        QTEST(*got, "hours");
    }

    void fields_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("expected"); // text|state|county|zip|observer|location|time
        QTest::newRow("full") << ":RPT|hail|MD|HARFORD|21014|JOE|Bel Air|12/6/2026 6:44:52 PM|^"
                              << "hail|MD|HARFORD|21014|JOE|Bel Air|12/6/2026 6:44:52 PM";
        QTest::newRow("short, no closing bar") << ":RPT|hail|MD^"
                                               << "hail|MD|||||";
        QTest::newRow("extra ignored") << ":GLD|a|b|c|d|e|f|g|h|i|^"
                                       << "a|b|c|d|e|f|g";
    }
    void fields()
    {
        QFETCH(QString, message);
        const ReportFields f = ReportFields::FromMessage(message);
        QTEST((QStringList{f.text, f.state, f.county, f.zip, f.observer, f.location, f.time}.join(u'|')),
              "expected");
    }

    void observationsLineBytes()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"Observations.txt"_s);
        const QDateTime now(QDate(2026, 7, 4), QTime(9, 5, 33));
        const QString text = u"Hail \u00bd\" caf\u00e9 | \u20ac"_s;
        QVERIFY(!AppendObservationsLine(
            path, ObservationsLine(now, text, u"MD"_s, u"HARFORD"_s, u"21014"_s, u"JOE"_s, u"Bel Air"_s)));
        QVERIFY(
            TestFiles::write(path, TestFiles::read(path) + "2026/07/04 09:06:|cut sh")); // cut by a full disk
        QVERIFY(!AppendObservationsLine(path,
                                        ObservationsLine(now.addSecs(60), u"Two"_s, {}, {}, {}, u"A"_s, {})));
        QCOMPARE(TestFiles::read(path), QByteArray("2026/07/04 09:05:|Hail \xbd\" caf\xe9 | \x80|MD|HARFORD|"
                                                   "21014|JOE|Bel Air\r\n"
                                                   "2026/07/04 09:06:|cut sh\r\n"
                                                   "2026/07/04 09:06:|Two||||A|\r\n"));
        QVERIFY(AppendObservationsLine(u"/dev/full"_s, u"x\r\n"_s).has_value());
    }

    // ---- intake --------------------------------------------------------
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

    // ---- list model ----------------------------------------------------
    void capKeepsNewest_data()
    {
        QTest::addColumn<int>("before");     // rows committed one by one first
        QTest::addColumn<int>("burst");      // then staged together
        QTest::addColumn<int>("flushEvery"); // 0: one flush for the burst
        QTest::newRow("2000th single insertion") << 2000 << 0 << 0;
        QTest::newRow("burst into empty list") << 0 << 5000 << 0;
        QTest::newRow("burst onto half list") << 1000 << 1500 << 0;
        QTest::newRow("burst in flushed slices") << 700 << 4000 << 333;
    }
    void capKeepsNewest()
    {
        QFETCH(int, before);
        QFETCH(int, burst);
        QFETCH(int, flushEvery);
        ReportListModel m;
        QSignalSpy total(&m, &ReportListModel::listTotalChanged);
        int n = 0;
        for (int i = 0; i < before; ++i, ++n) {
            m.AddRow(listRow(QString::number(n)));
            m.flush();
        }
        for (int i = 0; i < burst; ++i, ++n) {
            m.AddRow(listRow(QString::number(n)));
            if (flushEvery && i % flushEvery == 0)
                m.flush();
        }
        m.flush();
        const int kept = 1999; // every row overflows the list
        QCOMPARE(m.rowCount(), kept);
        // Newest at the top, consecutive down to the oldest kept.
        for (int r = 0; r < m.rowCount(); ++r)
            QCOMPARE(m.row(r).text, QString::number(n - 1 - r));
        QCOMPARE(total.last().at(0).toString(), ReportListModel::ListTotalText(kept));
    }

    // A hand-edited ColmW.txt width must not overflow on the way to pixels.
    void columnWidthsHeldToTheScreen()
    {
        QCOMPARE(ReportListModel::TwipsToPixels(1440, 96), 96);
        QCOMPARE(ReportListModel::TwipsToPixels(99'999'999, 192),
                 ReportListModel::MaxWidthTwips * 192 / 1440);
        QCOMPARE(ReportListModel::TwipsToPixels(-5, 96), 0);
        QCOMPARE(SavedColumnWidths({0, 49, 50, 4300}), (QList<int>{50, 50, 50, 4300}));
    }

    void deleteRemovesWholeTextMatchesInAnyCase()
    {
        ReportListModel m;
        for (const QString &t : {u"wind"_s, u"hail storm"_s, u"hail"_s, u"rain"_s, u"HAIL"_s, u"Hail"_s})
            m.AddRow(listRow(t));
        m.flush();
        QSignalSpy total(&m, &ReportListModel::listTotalChanged);
        m.RemoveMatching(u"hAiL"_s);
        QCOMPARE(texts(m), (QStringList{u"rain"_s, u"hail storm"_s, u"wind"_s}));
        QCOMPARE(total.last().at(0).toString(), u"3  Listed Reports"_s);
    }

    void stagedRowsFlushOnceAndClearDropsThem()
    {
        ReportListModel m;
        QSignalSpy inserted(&m, &QAbstractItemModel::rowsInserted);
        for (int i = 0; i < 50; ++i)
            m.AddRow(listRow(QString::number(i)));
        QCOMPARE(m.rowCount(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(m.rowCount(), 50, 2000);
        QCOMPARE(inserted.count(), 1);
        m.AddRow(listRow(u"b"_s));
        QSignalSpy total(&m, &ReportListModel::listTotalChanged);
        m.Clear();
        m.flush();
        QCOMPARE(m.rowCount(), 0);
        QCOMPARE(total.last().at(0).toString(), u"0  Listed Reports"_s);
    }

    // Sorted once as text: "12/..." comes before "9/..." although it is later
    // in the year, and a row that arrives afterwards still goes on top.
    void sortsOnceByText()
    {
        ReportListModel m;
        m.AddRow(listRow(u"b"_s, u"9/01 10:00"_s));
        m.AddRow(listRow(u"A"_s, u"12/24 08:00"_s));
        m.AddRow(listRow(u"c"_s, u"10/15 23:00"_s));
        m.sort(1, Qt::AscendingOrder); // flushes the staged rows first
        QCOMPARE(texts(m), (QStringList{u"c"_s, u"A"_s, u"b"_s}));
        m.sort(0, Qt::DescendingOrder);
        QCOMPARE(texts(m), (QStringList{u"c"_s, u"b"_s, u"A"_s}));
        m.AddRow(listRow(u"a"_s));
        m.flush();
        QCOMPARE(texts(m).first(), u"a"_s);
        QCOMPARE(m.cells(0).size(), 7);
    }

    // ---- composer ------------------------------------------------------
    void interval_data()
    {
        // "seconds later:text", all severe; "seconds later:text:wall-clock
        // jump" also sets the wall clock; "!" before the text: the link is down.
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("outcomes"); // S: sent, T: too soon, L: kept, link down
        QTest::newRow("40 s is too soon") << QStringList{u"0:Hail"_s, u"40:Second"_s} << "ST";
        QTest::newRow("41 s") << QStringList{u"0:Hail"_s, u"41:Second"_s} << "SS";
        QTest::newRow("tornado skips the interval and leaves the time")
            << QStringList{u"0:Hail"_s, u"5:a TorNaDo now"_s, u"30:Second"_s, u"6:Second"_s} << "SSTS";
        QTest::newRow("clock set back an hour") << QStringList{u"0:Hail"_s, u"41:Second:-3600"_s} << "SS";
        QTest::newRow("clock set on an hour") << QStringList{u"0:Hail"_s, u"10:Second:3600"_s} << "ST";
        QTest::newRow("link down keeps the text and the interval")
            << QStringList{u"0:Hail"_s, u"41:!Second"_s, u"1:Second"_s} << "SLS";
    }
    void interval()
    {
        QFETCH(QStringList, steps);
        QFETCH(QString, outcomes);
        // The wait message shows the last report's time in the user's own form.
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        Composer fx;
        QString got;
        for (const QString &step : steps) {
            fx.clock.advance(step.section(u':', 0, 0).toInt());
            fx.clock.setUtc(fx.clock.utcNow().addSecs(step.section(u':', 2).toInt()));
            QString text = step.section(u':', 1, 1);
            fx.sender.linkUp = !text.startsWith(u'!');
            text.remove(u'!');
            const ReportComposer::Result r = fx.composer.Send(text, true);
            const bool sent = r.outcome == ReportComposer::Outcome::Sent;
            got += sent ? u'S' : r.outcome == ReportComposer::Outcome::NotSent ? u'L' : u'T';
            if (!sent) {
                QCOMPARE(r.boxText, u"Second"_s);
                QVERIFY(r.severe);
            }
            if (r.outcome == ReportComposer::Outcome::TooSoon)
                QCOMPARE(fx.dialogs.lastText(), u"Please wait at least one minute before sending another "
                                                "report.  The time of your last report was 06.12.26 "
                                                "12:00:00."_s);
        }
        QCOMPARE(got, outcomes);
        QCOMPARE(fx.sender.sent.size(), outcomes.count(u'S'));
    }

    // Trimmed, then escaped; the profile's own delimiters too.
    void outgoingBytes()
    {
        Composer fx;
        const ReportComposer::Result r = fx.composer.Send(u"  a|b:c^d'e:  "_s, true);
        QCOMPARE(r.outcome, ReportComposer::Outcome::Sent);
        QCOMPARE(r.boxText, QString());
        QVERIFY(!r.severe);
        QCOMPARE(fx.sender.sent.size(), 1);
        QCOMPARE(WireCodec::encode(fx.sender.sent[0]),
                 QByteArray(":RPT|a\x80"
                            "b\x81"
                            "c\x82"
                            "d\x7f"
                            "e\x81|MD|HARFORD|21014|JOE'S|NAME|Bel Air\x81 north|^"));
    }

    // ---- report tools --------------------------------------------------
    void routineText_data()
    {
        QTest::addColumn<QString>("in"); // routine()'s bars
        QTest::addColumn<bool>("metric");
        QTest::addColumn<int>("trend");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("parsed"); // what the viewer's boxes show
        QTest::newRow("clear, temperature, wind")
            << u"  Clear |75|10"_s << false << 0 << u"[ Clear / Temp = 75F / Wnd Spd = 10 MPH //////]"_s
            << u" Clear | 75F | 10 MPH "_s;
        QTest::newRow("dew point only")
            << u"|||||||60"_s << false << 0 << u"[  /////// Dew Pnt = 60 /]"_s << u"  ||||||| 60 "_s;
        QTest::newRow("every field, metric, rising")
            << u"Fog|-3.5|20|NNW|35|29.92|98|-4"_s << true << 3
            << u"[ Fog / Temp = -3.5C / Wnd Spd = 20 KPH / Wnd Dir = NNW / Max Gust = 35 KPH / Pressure = "
               u"29.92 R / Hum = 98 / Dew Pnt = -4 /]"_s
            << u" Fog | -3.5C | 20 KPH | NNW | 35 KPH | 29.92 R | 98 | -4 "_s;
        QTest::newRow("falling pressure")
            << u"|||||1010"_s << false << 1 << u"[  ///// Pressure = 1010 F ///]"_s << u"  ||||| 1010 F "_s;
    }
    void routineText()
    {
        QFETCH(QString, in);
        QFETCH(bool, metric);
        QFETCH(int, trend);
        QFETCH(QString, text);
        QFETCH(QString, parsed);
        QCOMPARE(BuildRoutineText(routine(in), {metric, metric, Trend(trend)}), text);
        // As listed, after the sender's "R: ".
        QCOMPARE(FillFields(u"R: "_s + text), routine(parsed));
    }

    void fillFieldsShiftsOnASlashInTheObservedText()
    {
        const RoutineFields f = FillFields(u"R: [ Hail 1/2 inch / Temp = 60F //////]"_s);
        QCOMPARE(f[Observed], u" Hail 1"_s);
        QCOMPARE(f[Temperature], QString()); // "2 inch " has no "=": nothing taken
        QCOMPARE(f[WindSpeed], u" 60F "_s);
        QCOMPARE(FillFields(u"no brackets at all"_s), RoutineFields{});
    }

    void boxFilters_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("kept");
        QTest::newRow("number keeps digits, minus, point")
            << int(Temperature) << u"-12.5F x/"_s << u"-12.5"_s;
        QTest::newRow("number drops non-ASCII digits") << int(Humidity) << u"٣4"_s << u"4"_s;
        QTest::newRow("direction upper-cased") << int(WindDirection) << u"n w/:"_s << u"NW"_s;
        QTest::newRow("observed drops brackets and wire characters")
            << int(Observed) << u"[Rain] | 5: \"heavy\" ^/"_s << u"Rain  5 heavy "_s;
    }
    void boxFilters()
    {
        QFETCH(int, field);
        QFETCH(QString, typed);
        QTEST(FilterRoutineText(RoutineField(field), typed), "kept");
    }

    void retraction_data()
    {
        QTest::addColumn<QString>("listed");
        QTest::addColumn<QString>("wire");
        const QString colon = Protocol::escapedColon();
        QTest::newRow("routine keeps its R:")
            << u"R: [ Sky: clear / ]"_s << u":XRP|R: [ Sky"_s + colon + u" clear / ]|^"_s;
        QTest::newRow("severe escaped whole") << u"Hail: 1 inch"_s << u":XRP|Hail"_s + colon + u" 1 inch|^"_s;
        QTest::newRow("one character") << u":"_s << u":XRP|"_s + colon + u"|^"_s;
    }
    void retraction()
    {
        QFETCH(QString, listed);
        QTEST(RetractMessage(listed), "wire");
    }

    void historicalRequest_data()
    {
        QTest::addColumn<std::optional<QString>>("answer");
        QTest::addColumn<std::optional<QString>>("sent");
        QTest::newRow("cancel") << std::optional<QString>() << std::optional<QString>();
        QTest::newRow("empty") << std::optional(QString()) << std::optional<QString>();
        QTest::newRow("not a number") << std::optional(u"abc"_s) << std::optional(u":GLD|2|^"_s);
        QTest::newRow("spaces around") << std::optional(u" 24 "_s) << std::optional(u":GLD|24|^"_s);
        QTest::newRow("over the ceiling, as typed")
            << std::optional(u"500"_s) << std::optional(u":GLD|500|^"_s);
    }
    void historicalRequest()
    {
        QFETCH(std::optional<QString>, answer);
        QTEST(HistoricalRequest(answer), "sent");
    }

    void editorTextAndClipboard()
    {
        QCOMPARE(StripEditorText(u"Hail: 1\" | big ^"_s), u"Hail 1\"  big "_s);
        QCOMPARE(ClipboardText({u"A"_s, u"B"_s}, {}), u"A\tB\r\n"_s);
        QCOMPARE(ClipboardText({u"A"_s, u"B"_s}, {{u"1"_s, u""_s}, {u"x y"_s, u"2"_s}}),
                 u"A\tB\r\n1\t\r\nx y\t2\r\n"_s);
    }
};

QTEST_GUILESS_MAIN(TstReportCore)
#include "tst_report_core.moc"
