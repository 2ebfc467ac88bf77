#include "net/protocol.h"
#include "reports/report_tools.h"

#include <QtTest>

using namespace Qt::Literals::StringLiterals;
using namespace ReportTools;

Q_DECLARE_METATYPE(ReportTools::RoutineFields)
Q_DECLARE_METATYPE(std::optional<QString>)

namespace {

RoutineFields fields(std::initializer_list<std::pair<RoutineField, QString>> values)
{
    RoutineFields f;
    for (const auto &[field, value] : values)
        f[std::size_t(field)] = value;
    return f;
}

} // namespace

class TstReportTools : public QObject
{
    Q_OBJECT
private slots:
    void routineText_data()
    {
        QTest::addColumn<RoutineFields>("in");
        QTest::addColumn<bool>("celsius");
        QTest::addColumn<bool>("kmh");
        QTest::addColumn<int>("trend");
        QTest::addColumn<QString>("text");
        QTest::addColumn<RoutineFields>("parsed"); // what the viewer's boxes show
        QTest::newRow("clear, temperature, wind")
            << fields({{Observed, u"  Clear "_s}, {Temperature, u"75"_s}, {WindSpeed, u"10"_s}}) << false
            << false << 0 << u"[ Clear / Temp = 75F / Wnd Spd = 10 MPH //////]"_s
            << fields({{Observed, u" Clear "_s}, {Temperature, u" 75F "_s}, {WindSpeed, u" 10 MPH "_s}});
        QTest::newRow("dew point only")
            << fields({{DewPoint, u"60"_s}}) << false << false << 0 << u"[  /////// Dew Pnt = 60 /]"_s
            << fields({{Observed, u"  "_s}, {DewPoint, u" 60 "_s}});
        QTest::newRow("every field, metric, rising") << fields({{Observed, u"Fog"_s},
                                                                {Temperature, u"-3.5"_s},
                                                                {WindSpeed, u"20"_s},
                                                                {WindDirection, u"NNW"_s},
                                                                {MaxGust, u"35"_s},
                                                                {Pressure, u"29.92"_s},
                                                                {Humidity, u"98"_s},
                                                                {DewPoint, u"-4"_s}})
                                                     << true << true << 3
                                                     << u"[ Fog / Temp = -3.5C / Wnd Spd = 20 KPH / Wnd Dir "
                                                        u"= NNW / Max Gust = 35 KPH / Pressure = 29.92 R "
                                                        u"/ Hum = 98 / Dew Pnt = -4 /]"_s
                                                     << fields({{Observed, u" Fog "_s},
                                                                {Temperature, u" -3.5C "_s},
                                                                {WindSpeed, u" 20 KPH "_s},
                                                                {WindDirection, u" NNW "_s},
                                                                {MaxGust, u" 35 KPH "_s},
                                                                {Pressure, u" 29.92 R "_s},
                                                                {Humidity, u" 98 "_s},
                                                                {DewPoint, u" -4 "_s}});
        QTest::newRow("falling pressure")
            << fields({{Pressure, u"1010"_s}}) << false << false << 1 << u"[  ///// Pressure = 1010 F ///]"_s
            << fields({{Observed, u"  "_s}, {Pressure, u" 1010 F "_s}});
    }
    void routineText()
    {
        QFETCH(RoutineFields, in);
        QFETCH(bool, celsius);
        QFETCH(bool, kmh);
        QFETCH(int, trend);
        QFETCH(QString, text);
        QFETCH(RoutineFields, parsed);
        QCOMPARE(BuildRoutineText(in, {celsius, kmh, Trend(trend)}), text);
        // As listed, after the sender's "R: ".
        QCOMPARE(FillFields(u"R: "_s + text), parsed);
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
        QFETCH(QString, kept);
        QCOMPARE(FilterRoutineText(RoutineField(field), typed), kept);
        QCOMPARE(StripEditorText(u"Hail: 1\" | big ^"_s), u"Hail 1\"  big "_s);
    }

    void retraction_data()
    {
        QTest::addColumn<QString>("listed");
        QTest::addColumn<QString>("wire");
        QTest::newRow("routine keeps its R:")
            << u"R: [ Sky: clear / ]"_s << u":XRP|R: [ Sky"_s + Protocol::escapedColon() + u" clear / ]|^"_s;
        QTest::newRow("severe escaped whole")
            << u"Hail: 1 inch"_s << u":XRP|Hail"_s + Protocol::escapedColon() + u" 1 inch|^"_s;
        QTest::newRow("one character") << u":"_s << u":XRP|"_s + Protocol::escapedColon() + u"|^"_s;
    }
    void retraction()
    {
        QFETCH(QString, listed);
        QFETCH(QString, wire);
        QCOMPARE(RetractMessage(listed), wire);
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
        QFETCH(std::optional<QString>, sent);
        QCOMPARE(HistoricalRequest(answer), sent);
    }

    void clipboardAndWidths()
    {
        QCOMPARE(ClipboardText({u"A"_s, u"B"_s}, {}), u"A\tB\r\n"_s);
        QCOMPARE(ClipboardText({u"A"_s, u"B"_s}, {{u"1"_s, u""_s}, {u"x y"_s, u"2"_s}}),
                 u"A\tB\r\n1\t\r\nx y\t2\r\n"_s);
        QCOMPARE(SavedColumnWidths({0, 49, 50, 4300}), (QList<int>{50, 50, 50, 4300}));
    }
};

QTEST_APPLESS_MAIN(TstReportTools)
#include "tst_report_tools.moc"
