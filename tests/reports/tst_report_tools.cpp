#include "composer_fixture.h"
#include "net/protocol.h"
#include "reports/report_tools.h"

#include <QtTest>

using namespace Qt::Literals::StringLiterals;
using namespace ReportTools;

Q_DECLARE_METATYPE(std::optional<QString>)

// "observed|temperature|...|dew point", as many as given.
RoutineFields routine(const QString &bars)
{
    RoutineFields f;
    const QStringList values = bars.split(u'|');
    std::copy(values.begin(), values.end(), f.begin());
    return f;
}

// Routine reports, retraction, historical requests and the editors.
class TstReportTools : public QObject
{
    Q_OBJECT
private slots:
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

QTEST_GUILESS_MAIN(TstReportTools)
#include "tst_report_tools.moc"
