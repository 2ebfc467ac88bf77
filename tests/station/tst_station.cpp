#include "base/settings.h"
#include "fakes.h"
#include "net/protocol.h"
#include "station/station_processing.h"
#include "station/station_readers.h"
#include "station/station_table_model.h"

#include <QtTest>

using namespace Qt::Literals::StringLiterals;
using namespace StationReaders;

// "Temp,Hum,Dew,Speed,Gust,Dir,Pressure" of a reading.
QString shown(const StationReadings &r)
{
    return QStringList{r.Temperature, r.Humidity,      r.DewPoint, r.WindSpeed,
                       r.WindGust,    r.WindDirection, r.Pressure}
        .join(u',');
}

QString cumulusLine(const QString &temp)
{
    QStringList f;
    for (int i = 1; i <= 41; ++i)
        f << u"f"_s + QString::number(i);
    f[2] = temp;
    f[3] = u"55"_s;
    f[4] = u"50.1"_s;
    f[6] = u"12.0"_s;
    f[10] = u"29.92"_s;
    f[11] = u"NNW"_s;
    f[40] = u"18.0"_s;
    return f.join(u' ') + u"\r\n"_s;
}

const QString heavy =
    u"[outdoor_temperature]\r\ndeg_C=\"20\"\r\ndeg_F=\"68.0\"\r\n[outdoor_humidity]\r\npercent=\"40\"\r\n"
    "[wind_speed]\r\nmph=\"7.5\"\r\n[wind_direction]\r\ndeg=\"225\"\r\n[pressure_relative]\r\n"
    "inHg=\"30.01\"\r\n"_s;

QString vws(const QString &direction)
{
    QStringList v;
    for (int i = 1; i <= 39; ++i)
        v << QString::number(i);
    v[7] = u" 11 "_s;
    v[8] = u"22"_s;
    v[9] = direction;
    v[11] = u"61"_s;
    v[13] = u"70.5"_s;
    v[14] = u"29.80"_s;
    v[31] = u"\"5,6\""_s;
    return v.mid(0, 20).join(u',') + u"\r\n"_s + v.mid(20).join(u',') + u"\r\n"_s;
}

class TstStation : public QObject
{
    Q_OBJECT
private slots:
    void compass_data()
    {
        QTest::addColumn<double>("degrees");
        QTest::addColumn<QString>("point");
        QTest::newRow("11.25 tie to 0") << 11.25 << u"N"_s;
        QTest::newRow("33.75 tie to 2") << 33.75 << u"NE"_s;
        QTest::newRow("56.25 tie to 2") << 56.25 << u"NE"_s;
        QTest::newRow("348.75 to 16") << 348.75 << u"N"_s;
        QTest::newRow("326.25 to 14") << 326.25 << u"NW"_s;
        QTest::newRow("400 empty") << 400.0 << QString();
        QTest::newRow("700 unchanged") << 700.0 << u"old"_s;
        QTest::newRow("-30 unchanged") << -30.0 << u"old"_s;
    }
    void compass()
    {
        QFETCH(double, degrees);
        QString direction = u"old"_s;
        DegreesToCompass(float(degrees), direction);
        QTEST(direction, "point");
    }

    // Each reader over a file's text: the readings, then the status text.
    // Every file is also read with LF alone, without its final line end and
    // with spaces before each line end, and must give the same.
    void readers_data()
    {
        QTest::addColumn<int>("automation");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("readings");
        QTest::addColumn<bool>("error");
        const auto row = [](const char *name, int automation, const QString &text, const QString &readings,
                            bool error) {
            QString lf = text, last = text, spaces = text;
            lf.replace(u"\r\n"_s, u"\n"_s);
            if (last.endsWith(u"\r\n"_s))
                last.chop(2);
            spaces.replace(u"\r\n"_s, u"  \r\n"_s);
            if (!spaces.isEmpty() && !spaces.endsWith(u'\n'))
                spaces += u"  "_s;
            const QStringList forms{text, lf, last, spaces};
            const char *suffixes[] = {"", " LF", " no final end", " trailing spaces"};
            for (int i = 0; i < 4; ++i)
                QTest::addRow("%s%s", name, suffixes[i]) << automation << forms[i] << readings << error;
        };
        row("cumulus", 1, cumulusLine(u"68.4"_s), u"68.4,55,50.1,12.0,18.0,NNW,29.92"_s, false);
        row("cumulus short line", 1, u"a b c d e f"_s, u"c,d,e,,,,"_s, true);
        row("cumulus double space", 1, cumulusLine(QString()), u",55,50.1,12.0,18.0,NNW,29.92"_s, false);
        row("heavy without dew point", 2, heavy, u"68.0,40,,7.5,,SW,30.01"_s, true);
        row("heavy", 2, heavy + u"[dewpoint]\r\ndeg_F=\"42.3\"\r\n"_s, u"68.0,40,42.3,7.5,,SW,30.01"_s,
            false);
        row("vws", 3, vws(u"180"_s), u"70.5,61,5,6,11,22,S,29.80"_s, false);
        row("vws text direction", 3, vws(u"calm"_s), u"70.5,61,5,6,11,22,calm,29.80"_s, false);
        row("vws too few", 3, u"1,2,3"_s, u",,,,,,"_s, true);
        row("vws empty", 3, QString(), u",,,,,,"_s, false);
        row("wd", 4, u"8:07 PM 12/6/2026\r\n220/004g005t077r000p000P000h50b10132\r\n"_s,
            u"77,50,59,4,5,SW,1013.2"_s, false);
        row("wd dry", 4, u"8:07 PM 12/6/2026\r\n220/004g005t077h00b10132\r\n"_s, u"77,0,,4,5,SW,1013.2"_s,
            false);
        // A month's letters in the time stamp are no tags.
        row("wd month", 4, u"Oct 10 2022 13:01\r\n192/000g009t061h80b10150\r\n"_s,
            u"61,80,54,0,9,SSW,1015.0"_s, false);
        row("wd month b", 4, u"Feb 01 2023 13:01\r\n192/000g009t061h80b10150\r\n"_s,
            u"61,80,54,0,9,SSW,1015.0"_s, false);
        // No line end: the time stamp stays, and its "/" comes too early to
        // count as the wind's; the tagged values are still read.
        row("wd one line", 4, u"12/06 220/004g005t077h50"_s, u"77,50,59,,5,,"_s, false);
    }
    void readers()
    {
        QFETCH(int, automation);
        QFETCH(QString, text);
        StationReadings r;
        const QString error = ReaderFor(automation)(text, r);
        QTEST(shown(r), "readings");
        QTEST(!error.isEmpty(), "error");
    }

    void emptyFile_data()
    {
        QTest::addColumn<int>("automation");
        QTest::addColumn<QString>("status");
        QTest::newRow("cumulus") << 1 << u"Unable to open /w/realtime.txt"_s;
        QTest::newRow("heavy") << 2 << u"Unable to open /w/realtime.txt"_s;
        QTest::newRow("vws silent") << 3 << QString();
        QTest::newRow("wd silent") << 4 << QString();
        QTest::newRow("none") << 0 << QString();
    }
    void emptyFile()
    {
        QFETCH(int, automation);
        StationReadings r;
        r.Temperature = u"kept"_s;
        QTEST(ReadStation(automation, QString(), u"/w/realtime.txt"_s, r), "status");
        QCOMPARE(r.Temperature, u"kept"_s);
    }

    void processing_data()
    {
        QTest::addColumn<QString>("speed");
        QTest::addColumn<QString>("gust");
        QTest::addColumn<QString>("temperature");
        QTest::addColumn<int>("wind"); // counters before
        QTest::addColumn<int>("severe");
        QTest::addColumn<bool>("connected");
        QTest::addColumn<QString>("time");
        QTest::addColumn<QString>("sent"); // first words of each message
        QTest::addColumn<int>("windAfter");
        QTest::addColumn<int>("severeAfter");
        QTest::newRow("42, no gust") << u"42"_s << u""_s << u"70"_s << 0 << 0 << true << u"1:00 PM"_s
                                     << u":RPT|R: Wind 42 MPH,:RPA|70|42|42|"_s << 1 << 0;
        QTest::newRow("30 gust 55") << u"30"_s << u"55"_s << u"70"_s << 0 << 0 << true << u"1:00 PM"_s
                                    << u":RPT|Wind 55 MPH,:RPA|70|30|55|"_s << 1 << 1;
        QTest::newRow("45 after severe")
            << u"45"_s << u""_s << u"70"_s << 2 << 2 << true << u"1:00 PM"_s << u":RPA|70|45|45|"_s << 2 << 2;
        QTest::newRow("52 after routine") << u"52"_s << u""_s << u"70"_s << 21 << 0 << true << u"1:00 PM"_s
                                          << u":RPT|Wind 52 MPH,:RPA|70|52|52|"_s << 1 << 1;
        QTest::newRow("hot") << u"60"_s << u""_s << u"250"_s << 0 << 0 << true << u"1:00 PM"_s << QString()
                             << 0 << 0;
        QTest::newRow("gust 351") << u"351"_s << u""_s << u"70"_s << 0 << 0 << true << u"1:00 PM"_s
                                  << QString() << 0 << 0;
        QTest::newRow("no temperature") << u"41"_s << u""_s << u""_s << 0 << 0 << true << u"1:00 PM"_s
                                        << u":RPT|R: Wind 41 MPH,:RPA||41|41|"_s << 1 << 0;
        QTest::newRow("calm") << u"calm"_s << u""_s << u"70"_s << 0 << 0 << true << u"1:00 PM"_s
                              << u":RPA|70|calm|0|"_s << 0 << 0;
        QTest::newRow("link down") << u"45"_s << u""_s << u"70"_s << 0 << 0 << false << u"3:07 AM"_s
                                   << QString() << 0 << 0;
        QTest::newRow("nightly")
            << u"5"_s << u""_s << u"70"_s << 0 << 0 << true << u"3:07 AM"_s
            << u":RPT|R\x81 Nightly PWS automated report\x81 Temp = 70  Wnd = 5 MPH N running,"
               ":RPA|70|5|5|"_s
            << 0 << 0;
    }
    void processing()
    {
        QFETCH(QString, sent);
        SettingsRecord s;
        s.UserState = u"IA"_s;
        s.UserCounty = u"Story"_s;
        s.UserZip = u"50010"_s;
        s.UserName = u"ann"_s;
        s.UserLocation = u"Ames: north"_s;
        StationReadings r;
        QFETCH(QString, speed);
        QFETCH(QString, gust);
        QFETCH(QString, temperature);
        r.WindSpeed = u' ' + speed;
        r.WindGust = gust;
        r.Temperature = temperature;
        r.WindDirection = u" N "_s;
        r.Pressure = u"29.92"_s;
        QFETCH(int, wind);
        QFETCH(int, severe);
        QFETCH(bool, connected);
        QFETCH(QString, time);
        const StationOutcome out = StationProcessing::WeatherStationProcessing(
            r, {wind, severe}, 4, s, QTime::fromString(time, u"h:mm AP"_s), u"3:07 AM"_s, connected);
        const QStringList expected = sent.isEmpty() ? QStringList() : sent.split(u',');
        QCOMPARE(out.messages.size(), expected.size());
        for (int i = 0; i < expected.size(); ++i)
            QVERIFY2(out.messages.at(i).startsWith(expected.at(i)), qPrintable(out.messages.at(i)));
        for (const QString &m : out.messages)
            QVERIFY(m.endsWith(u"Weather Display|IA|Story|50010|ann|Ames\x81 north|^"_s) ||
                    m.endsWith(u"Weather Display.|IA|Story|50010|ann|Ames\x81 north|^"_s));
        QTEST(out.counters.WindReportMinutes, "windAfter");
        QTEST(out.counters.SevereReportMinutes, "severeAfter");
        QVERIFY(!out.unreadable);
    }

    void unreadableAndAgeing()
    {
        StationReadings r;
        r.WindSpeed = u"x"_s;
        const StationOutcome out =
            StationProcessing::WeatherStationProcessing(r, {}, 1, SettingsRecord(), QTime(1, 0), {}, true);
        QVERIFY(out.unreadable);
        QVERIFY(out.messages.isEmpty());

        // A report on tick 0 allows the next one on the 60th tick.
        StationCounters c{1, 1};
        int ticks = 0;
        while (c.WindReportMinutes != 0) {
            c = StationProcessing::AgeCounters(c);
            ++ticks;
        }
        QCOMPARE(ticks, 60);
        QCOMPARE(c, StationCounters{});
        QCOMPARE(StationProcessing::AgeCounters({5, 0}), (StationCounters{6, 0}));
        QCOMPARE(StationProcessing::AgeCounters({9, 3}), (StationCounters{4, 4}));
    }

    void formats_data()
    {
        QTest::addColumn<QString>("temperature");
        QTest::addColumn<QString>("pressure");
        QTest::addColumn<QString>("tempCell");
        QTest::addColumn<QString>("pressureCell");
        QTest::newRow("72.44") << u"72.44"_s << u"29.92"_s << u" 72.4"_s << u"29.920"_s;
        QTest::newRow("5") << u"5"_s << u"1013.2"_s << u"  5.0"_s << u"1013.200"_s;
        QTest::newRow("text") << u"n/a"_s << u"x"_s << u"  n/a"_s << u"x"_s;
        QTest::newRow("long") << u"123456"_s << QString() << u"123456.0"_s << QString();
    }
    void formats()
    {
        FakeClock clock;
        StationTableModel m(clock);
        QFETCH(QString, temperature);
        QFETCH(QString, pressure);
        m.ProcessUpdate(temperature, u"3"_s, u"4"_s, u"N"_s, pressure, u"VWS"_s, u"IA"_s, u"Story"_s, u"1"_s,
                        u"ann"_s, u"Ames"_s, StationTableModel::TimeText(clock.localNow()));
        QTEST(m.row(0)[6], "tempCell");
        QTEST(m.row(0)[10], "pressureCell");
    }

    // Current readings keep one row per observer and forget the silent ones;
    // the log keeps every message.
    void tableModes()
    {
        FakeClock clock;
        StationTableModel m(clock);
        const auto post = [&](const QString &observer, const QString &temp) {
            m.ProcessUpdate(temp, u"3"_s, u"4"_s, u"N"_s, u"29.9"_s, u"VWS"_s, u"IA"_s, u"Story"_s, u"1"_s,
                            observer, u"Ames"_s, StationTableModel::TimeText(clock.localNow()));
        };
        QSignalSpy titles(&m, &StationTableModel::titleChanged);
        post(u"ann"_s, u"70"_s);
        post(u"bob"_s, u"60"_s);
        clock.advance(60);
        post(u"ann"_s, u"71"_s);
        QCOMPARE(m.rowCount(), 2);
        // Updated in place: bob, added last, stays on top of the same state.
        QCOMPARE(m.row(1)[6], u" 71.0"_s);
        clock.advance(11 * 60); // ann silent for eleven minutes
        post(u"bob"_s, u"61"_s);
        m.Timer1_Timer();
        QCOMPARE(m.rowCount(), 1);
        QCOMPARE(titles.last().first().toString(), u"Automated Weather Station Data (1)"_s);

        m.setCurrentReadingsOnly(false);
        post(u"bob"_s, u"62"_s);
        clock.advance(3600);
        m.Timer1_Timer();
        QCOMPARE(m.rowCount(), 2);
        m.setCurrentReadingsOnly(true); // purges at once
        QCOMPARE(m.rowCount(), 0);
        QCOMPARE(m.ClipboardText().count(u"\r\n"_s), 1);
    }

    // The sender's place loses the wire's escapes; the observer stays as sent.
    void messageFields()
    {
        const QString colon = Protocol::escapedColon();
        const QString message = u":RPA|70|5|5|N|29.9|VWS|I"_s + colon + u"A|C"_s + colon + u"|1|a"_s + colon +
                                u"n|"_s + QString(500, u'x') + u"|^"_s;
        const QStringList f = StationTableModel::MessageFields(message);
        QCOMPARE(f.size(), 11);
        QCOMPARE(f.mid(6, 4), (QStringList{u"I:A"_s, u"C:"_s, u"1"_s, u"a"_s + colon + u"n"_s}));
        QCOMPARE(f[10].size(), StationTableModel::MaxCellLength);
        QCOMPARE(StationTableModel::MessageFields(u":RPA|70|^"_s).mid(1), QStringList(10, QString()));
    }

    void headerClicks()
    {
        FakeClock clock;
        StationTableModel m(clock);
        for (const QString &o : {u"b"_s, u"a"_s, u"c"_s})
            m.ProcessUpdate({}, {}, {}, {}, {}, {}, u"IA"_s, {}, {}, o, {},
                            StationTableModel::TimeText(clock.localNow()));
        m.ColumnClick(4);
        QCOMPARE(m.row(0)[4], u"a"_s);
        m.ColumnClick(4);
        QCOMPARE(m.row(0)[4], u"c"_s);
        // An update keeps the order the last click chose.
        m.ProcessUpdate({}, {}, {}, {}, {}, {}, u"IA"_s, {}, {}, u"d"_s, {},
                        StationTableModel::TimeText(clock.localNow()));
        QCOMPARE(m.row(0)[4], u"d"_s);
        QCOMPARE(m.row(3)[4], u"a"_s);
        const QStringList lines = m.ClipboardText().split(u"\r\n"_s);
        QVERIFY(lines.at(0).startsWith(u"ST\tCounty\tZip"));
        QCOMPARE(lines.at(1).section(u'\t', 4, 4), u"a"_s); // last row first
    }
};

QTEST_GUILESS_MAIN(TstStation)
#include "tst_station.moc"
