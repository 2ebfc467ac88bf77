#pragma once

#include "base/rgb.h"

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>

class Clock;

// The seven fields of an inbound RPT, WRN or GLD message, in wire order.
struct ReportFields
{
    QString text;
    QString state;
    QString county;
    QString zip;
    QString observer;
    QString location;
    QString time;

    // Fields from the sixth character on; missing fields stay empty and text
    // after a seventh "|" is ignored.
    static ReportFields FromMessage(QStringView message);
};

// One row of the report list.
struct ReportRow
{
    static constexpr int ColumnCount = 7;

    QString text;
    QString timeText;
    QString state;
    QString county;
    QString zip;
    QString observer;
    QString location;
    std::optional<Rgb> colour; // none: the list's default text colour

    const QString &cell(int column) const;
};

// Leading and trailing spaces removed; other white space is part of the text.
QString TrimSpaces(const QString &s);

// An inbound field longer than this is cut to it before it reaches a label,
// a list row or the log: laying out megabytes of one report freezes the window.
inline constexpr qsizetype MaxShownFieldLength = 2'000;
QString CapShownField(const QString &s);

// Routine reports begin with "R ", "R:" or "ROUTINE", whatever the case.
bool IsRoutineReport(QStringView text);
// The nightly station summary: routine, but never plays the routine sound.
bool IsNightlyStationSummary(QStringView text);
// The thirteen severity tests in order; the last match decides.
std::optional<Rgb> SeverityColour(QStringView text);

// Time display modes of the TimeMode setting.
enum class TimeMode { LocalMilitary = 0, LocalAmPm = 1, Utc = 2 };

// A time stamp from the server, read as UTC. Accepts "M/d/yyyy h:mm:ss AP"
// (the relay's form) and "yyyy-MM-ddTHH:mm:ssZ"; anything else is nullopt.
std::optional<QDateTime> ParseReportTime(QStringView text);

// "MM/dd hh:mm" or, for LocalAmPm, "MM/dd hh:mm" with a 12-hour clock and
// the locale's AM or PM designator after a space.
QString FormatReportTime(const QDateTime &utc, TimeMode mode, float utcOffsetHours);
// The clock's local now as "MM/dd hh:mm".
QString FormatLocalReceiveTime(const QDateTime &localNow);

// The locale's short date and its time with seconds, without a zone name:
// the form a user reads a past moment in.
QString GeneralDateTime(const QDateTime &t, const QLocale &locale = QLocale());

// Local minus UTC in hours, rounded to two decimals; nullopt when the clock
// gives no valid time.
std::optional<float> ComputeUtcOffset(const Clock &clock);

// "yyyy/MM/dd hh:mm:|text|state|county|zip|observer|location" + CR LF.
QString ObservationsLine(const QDateTime &localNow, const QString &text, const QString &state,
                         const QString &county, const QString &zip, const QString &observer,
                         const QString &location);
// Appends one line to the log as Windows-1252; the reason when it cannot.
std::optional<QString> AppendObservationsLine(const QString &path, const QString &line);
