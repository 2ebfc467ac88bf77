#include "reports/report_text.h"

#include "base/file_lines.h"
#include "base/wire_codec.h"
#include "platform/clock.h"

#include <QFile>
#include <QLocale>

#include <array>
#include <cmath>

ReportFields ReportFields::FromMessage(QStringView message)
{
    ReportFields f;
    if (message.size() <= 5)
        return f;
    // The closing "^" is framing, not part of the last field.
    const qsizetype end = message.endsWith(u'^') ? message.size() - 1 : message.size();
    std::array<QString *, 7> targets = {&f.text,     &f.state,    &f.county, &f.zip,
                                        &f.observer, &f.location, &f.time};
    qsizetype start = 5;
    for (std::size_t index = 0; index < targets.size() && start <= end; ++index) {
        qsizetype bar = message.indexOf(u'|', start);
        if (bar < 0 || bar > end)
            bar = end;
        *targets[index] = message.mid(start, bar - start).toString();
        start = bar + 1;
    }
    return f;
}

const QString &ReportRow::cell(int column) const
{
    switch (column) {
    case 0:
        return text;
    case 1:
        return timeText;
    case 2:
        return state;
    case 3:
        return county;
    case 4:
        return zip;
    case 5:
        return observer;
    default:
        return location;
    }
}

namespace {

bool startsWithNoCase(QStringView text, QStringView prefix)
{
    return text.startsWith(prefix, Qt::CaseInsensitive);
}

} // namespace

QString TrimSpaces(const QString &s)
{
    qsizetype from = 0;
    qsizetype to = s.size();
    while (from < to && s.at(from) == u' ')
        ++from;
    while (to > from && s.at(to - 1) == u' ')
        --to;
    return from == 0 && to == s.size() ? s : s.mid(from, to - from);
}

bool IsRoutineReport(QStringView text)
{
    return startsWithNoCase(text, u"R ") || startsWithNoCase(text, u"R:") ||
           startsWithNoCase(text, u"ROUTINE");
}

bool IsNightlyStationSummary(QStringView text)
{
    return text.contains(u"R: Nightly PWS automated report:");
}

std::optional<Rgb> SeverityColour(QStringView text)
{
    using namespace ReportColours;
    struct Test
    {
        bool contains;
        const char16_t *word;
        Rgb colour;
    };
    static constexpr std::array<Test, 13> tests = {{
        {true, u"HURRICANE", Blue},
        {false, u"BLUE ALERT", Blue},
        {true, u"TORNADO", Red},
        {true, u"EARTHQUAKE", Red},
        {false, u"EMERGENCY", Red},
        {false, u"RED ALERT", Red},
        {false, u"SEVERE WEATHER", Red},
        {false, u"TEST", Green},
        {false, u"END SEVERE WEATHER", Green},
        {false, u"GREEN ALERT", Green},
        {false, u"R ", Green},
        {false, u"R:", Green},
        {false, u"ROUTINE", Green},
    }};
    const QString upper = text.toString().toUpper();
    std::optional<Rgb> colour;
    for (const Test &t : tests) {
        const QStringView word(t.word);
        if (t.contains ? upper.contains(word) : upper.startsWith(word))
            colour = t.colour;
    }
    return colour;
}

namespace {

// Reads 1 to maxDigits decimal digits at pos; -1 when there are none.
int readNumber(QStringView s, qsizetype &pos, int minDigits, int maxDigits)
{
    int value = 0;
    int digits = 0;
    while (pos < s.size() && digits < maxDigits && s[pos] >= u'0' && s[pos] <= u'9') {
        value = value * 10 + (s[pos].unicode() - u'0');
        ++pos;
        ++digits;
    }
    return digits >= minDigits ? value : -1;
}

bool expect(QStringView s, qsizetype &pos, char16_t c)
{
    if (pos < s.size() && s[pos] == c) {
        ++pos;
        return true;
    }
    return false;
}

std::optional<QDateTime> makeUtc(int y, int mo, int d, int h, int mi, int sec)
{
    if (!QDate::isValid(y, mo, d) || !QTime::isValid(h, mi, sec))
        return std::nullopt;
    return QDateTime(QDate(y, mo, d), QTime(h, mi, sec), Qt::UTC);
}

std::optional<QDateTime> parseUs(QStringView s)
{
    qsizetype p = 0;
    const int mo = readNumber(s, p, 1, 2);
    if (mo < 0 || !expect(s, p, u'/'))
        return std::nullopt;
    const int d = readNumber(s, p, 1, 2);
    if (d < 0 || !expect(s, p, u'/'))
        return std::nullopt;
    const int y = readNumber(s, p, 4, 4);
    if (y < 0 || !expect(s, p, u' '))
        return std::nullopt;
    const int h = readNumber(s, p, 1, 2);
    if (h < 1 || h > 12 || !expect(s, p, u':'))
        return std::nullopt;
    const int mi = readNumber(s, p, 2, 2);
    if (mi < 0 || !expect(s, p, u':'))
        return std::nullopt;
    const int sec = readNumber(s, p, 2, 2);
    if (sec < 0 || !expect(s, p, u' ') || s.size() - p != 2)
        return std::nullopt;
    const QStringView ap = s.mid(p);
    int hour24;
    if (ap.compare(u"AM", Qt::CaseInsensitive) == 0)
        hour24 = h % 12;
    else if (ap.compare(u"PM", Qt::CaseInsensitive) == 0)
        hour24 = h % 12 + 12;
    else
        return std::nullopt;
    return makeUtc(y, mo, d, hour24, mi, sec);
}

std::optional<QDateTime> parseIso(QStringView s)
{
    if (s.size() != 20)
        return std::nullopt;
    qsizetype p = 0;
    const int y = readNumber(s, p, 4, 4);
    if (y < 0 || !expect(s, p, u'-'))
        return std::nullopt;
    const int mo = readNumber(s, p, 2, 2);
    if (mo < 0 || !expect(s, p, u'-'))
        return std::nullopt;
    const int d = readNumber(s, p, 2, 2);
    if (d < 0 || !expect(s, p, u'T'))
        return std::nullopt;
    const int h = readNumber(s, p, 2, 2);
    if (h < 0 || !expect(s, p, u':'))
        return std::nullopt;
    const int mi = readNumber(s, p, 2, 2);
    if (mi < 0 || !expect(s, p, u':'))
        return std::nullopt;
    const int sec = readNumber(s, p, 2, 2);
    if (sec < 0 || !expect(s, p, u'Z') || p != s.size())
        return std::nullopt;
    return makeUtc(y, mo, d, h, mi, sec);
}

void appendTwoDigits(QString &out, int v)
{
    out += QChar(u'0' + v / 10);
    out += QChar(u'0' + v % 10);
}

QString monthDayHourMinute(const QDate &date, int hour, int minute)
{
    QString out;
    out.reserve(14);
    appendTwoDigits(out, date.month());
    out += u'/';
    appendTwoDigits(out, date.day());
    out += u' ';
    appendTwoDigits(out, hour);
    out += u':';
    appendTwoDigits(out, minute);
    return out;
}

} // namespace

std::optional<QDateTime> ParseReportTime(QStringView text)
{
    if (text.size() > 4 && text[4] == u'-')
        return parseIso(text);
    return parseUs(text);
}

QString FormatReportTime(const QDateTime &utc, TimeMode mode, float utcOffsetHours)
{
    QDateTime t = utc;
    if (mode != TimeMode::Utc)
        t = utc.addSecs(qint64(std::lround(double(utcOffsetHours) * 60.0)) * 60);
    const QDate date = t.date();
    const QTime time = t.time();
    if (mode != TimeMode::LocalAmPm)
        return monthDayHourMinute(date, time.hour(), time.minute());
    const int h12 = time.hour() % 12 == 0 ? 12 : time.hour() % 12;
    QString out = monthDayHourMinute(date, h12, time.minute());
    const QLocale locale;
    out += u' ';
    out += time.hour() < 12 ? locale.amText() : locale.pmText();
    return out;
}

QString FormatLocalReceiveTime(const QDateTime &localNow)
{
    return monthDayHourMinute(localNow.date(), localNow.time().hour(), localNow.time().minute());
}

std::optional<float> ComputeUtcOffset(const Clock &clock)
{
    const QDateTime utc = clock.utcNow();
    const QDateTime local = clock.localNow();
    if (!utc.isValid() || !local.isValid())
        return std::nullopt;
    // Both read as wall-clock figures, so no time-zone rule interferes.
    const QDateTime u(utc.date(), utc.time(), Qt::UTC);
    const QDateTime l(local.date(), local.time(), Qt::UTC);
    const qint64 minutes = std::llround(double(u.secsTo(l)) / 60.0);
    return float(std::round(double(minutes) / 60.0 * 100.0) / 100.0);
}

QString GeneralDateTime(const QDateTime &t, const QLocale &locale)
{
    // The locale's long time form carries the zone name; a reader wants the
    // seconds of the clock time, not the zone, so the zone fields are dropped.
    QString timeFormat = locale.timeFormat(QLocale::LongFormat);
    QString bare;
    bool quoted = false;
    for (QChar c : timeFormat) {
        if (c == u'\'')
            quoted = !quoted;
        if (quoted || c != u't')
            bare += c;
    }
    return locale.toString(t, locale.dateFormat(QLocale::ShortFormat) + u' ' + bare.simplified());
}

QString CapShownField(const QString &s)
{
    return s.size() > MaxShownFieldLength ? s.left(MaxShownFieldLength) : s;
}

QString ObservationsLine(const QDateTime &localNow, const QString &text, const QString &state,
                         const QString &county, const QString &zip, const QString &observer,
                         const QString &location)
{
    QString line = localNow.toString(QStringLiteral("yyyy/MM/dd HH:mm:"));
    for (const QString *field : {&text, &state, &county, &zip, &observer, &location}) {
        line += u'|';
        // Network text must not add lines of its own to the log.
        QString one = *field;
        one.replace(u'\r', u' ').replace(u'\n', u' ');
        line += one;
    }
    line += QStringLiteral("\r\n");
    return line;
}

std::optional<QString> AppendObservationsLine(const QString &path, const QString &line)
{
    return FileLines::appendLines(path, WireCodec::encode(line));
}
