#include "base/wire_codec.h"
#include "fakes.h"
#include "reports/report_text.h"
#include "test_files.h"

#include <QtTest>

// Report text: colours, times, fields and the observations log line.
class TstReportText : public QObject
{
    Q_OBJECT
    QLocale m_locale;
private slots:
    void cleanup() { QLocale::setDefault(m_locale); }

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
};

QTEST_GUILESS_MAIN(TstReportText)
#include "tst_report_text.moc"
