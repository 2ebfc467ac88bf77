#include "station/station_processing.h"

#include "base/settings.h"
#include "net/protocol.h"
#include "station/station_readers.h"

using namespace Qt::Literals::StringLiterals;

namespace StationProcessing {

StationCounters AgeCounters(StationCounters c)
{
    if (c.WindReportMinutes > 0 && ++c.WindReportMinutes > HoldOffMinutes)
        c.WindReportMinutes = 0;
    if (c.SevereReportMinutes > 0) {
        ++c.SevereReportMinutes;
        c.WindReportMinutes = c.SevereReportMinutes;
        if (c.SevereReportMinutes > HoldOffMinutes)
            c = {};
    }
    return c;
}

QString UnreadableStatusText()
{
    return u"UNABLE TO SEND YOUR WEATHER STATION DATA!"_s;
}

QString UnreadableChatText()
{
    return UnreadableStatusText() +
           u"\r\n\r\nEither your temperature or wind speed must be a numeric value.  Please make sure your "
           u"weather "
           "station is properly writing the data file.  Then, from the Nimbrel menu options, click Settings "
           "> "
           "Home Weather Station Data and select the file your weather software is creating.\r\n"_s;
}

StationOutcome WeatherStationProcessing(StationReadings r, StationCounters counters, int automation,
                                        const SettingsRecord &s, const QTime &localTime,
                                        const QString &nightlyTime, bool connected)
{
    using StationReaders::IsNumeric;
    using StationReaders::Number;
    StationOutcome out;
    out.counters = counters;

    r.WindSpeed = r.WindSpeed.trimmed();
    r.WindGust = r.WindGust.trimmed();
    if (r.WindGust.isEmpty())
        r.WindGust = r.WindSpeed;
    if (Number(r.WindSpeed).value_or(0) > Number(r.WindGust).value_or(0))
        r.WindGust = r.WindSpeed;
    if (!IsNumeric(r.WindGust) && !IsNumeric(r.Temperature)) {
        out.readings = r;
        out.unreadable = true;
        return out;
    }
    if (!IsNumeric(r.WindGust))
        r.WindGust = u"0"_s;
    out.readings = r;

    const double gust = *Number(r.WindGust);
    if (gust > 350)
        return out;
    if (const auto t = Number(r.Temperature); t && (*t < -200 || *t > 200))
        return out;
    if (!connected)
        return out;
    r.WindDirection = r.WindDirection.trimmed();
    out.readings = r;

    const QString software = StationReaders::SoftwareName(automation);
    const QString tail = u"|"_s + EscapeOutgoing(s.UserState) + u'|' + EscapeOutgoing(s.UserCounty) + u'|' +
                         EscapeOutgoing(s.UserZip) + u'|' + s.UserName + u'|' +
                         EscapeOutgoing(s.UserLocation) + u"|^";
    const QString wind =
        r.WindGust + u" MPH "_s + r.WindDirection + u" from automated PWS running "_s + software + u'.';
    if (out.counters.WindReportMinutes == 0 && out.counters.SevereReportMinutes == 0 && gust >= 40 &&
        gust < 50) {
        out.messages << u":RPT|R: Wind "_s + wind + tail;
        out.counters.WindReportMinutes = 1;
    }
    if (out.counters.SevereReportMinutes == 0 && gust >= 50) {
        out.messages << u":RPT|Wind "_s + wind + tail;
        out.counters = {1, 1};
    }
    if (localTime.toString(u"h:mm AP"_s) == nightlyTime) {
        const QChar colon = Protocol::escapedColon();
        out.messages << u":RPT|R"_s + colon + u" Nightly PWS automated report"_s + colon + u" Temp = "_s +
                            r.Temperature + u"  Wnd = "_s + r.WindGust + u" MPH "_s + r.WindDirection +
                            u" running "_s + software + u'.' + tail;
    }
    out.messages << u":RPA|"_s + r.Temperature + u'|' + r.WindSpeed + u'|' + r.WindGust + u'|' +
                        r.WindDirection + u'|' + r.Pressure + u'|' + software + tail;
    return out;
}

} // namespace StationProcessing
