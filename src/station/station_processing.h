#pragma once

#include "base/station_source.h"

#include <QString>
#include <QStringList>
#include <QTime>

struct SettingsRecord;

// The hold-off counters between automated wind reports: 0 free, 1..60 the
// minutes since the last one.
struct StationCounters
{
    int WindReportMinutes = 0;
    int SevereReportMinutes = 0;
    bool operator==(const StationCounters &) const = default;
};

// What one minute's processing decided.
struct StationOutcome
{
    StationReadings readings; // after the gust rule, as the routine window copies them
    QStringList messages;     // to send, in order
    StationCounters counters;
    bool unreadable = false; // neither gust nor temperature is a number
};

namespace StationProcessing {

inline constexpr int HoldOffMinutes = 60;

// Timer2 ages the counters on every tick before the processing runs.
StationCounters AgeCounters(StationCounters c);

// The text for the quick-chat pane and the status line when the readings
// cannot be sent.
QString UnreadableChatText();
QString UnreadableStatusText();

// The minute's rule over readings just read. NightlyTime is "h:nn AM".
StationOutcome WeatherStationProcessing(StationReadings readings, StationCounters counters, int automation,
                                        const SettingsRecord &profile, const QTime &localTime,
                                        const QString &nightlyTime, bool connected);

} // namespace StationProcessing
