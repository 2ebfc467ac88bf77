#include "station/station_readers.h"

#include "net/url_download.h"

#include <QRegularExpression>
#include <QStringList>

#include <array>
#include <cmath>

using namespace Qt::Literals::StringLiterals;

namespace StationReaders {

namespace {

// What a reader says when the text is not shaped as its program writes it.
QString malformed()
{
    return UrlDownload::invalidArgumentText();
}

QString inputPastEnd()
{
    return u"Input past end of file"_s;
}

// Values the readers turn into numbers when they can.
void compassIfNumeric(QString &direction)
{
    if (const auto d = Number(direction))
        DegreesToCompass(float(*d), direction);
}

} // namespace

bool IsNumeric(QStringView text)
{
    static const QRegularExpression number(uR"(^\s*[+-]?(\d+\.?\d*|\.\d+)\s*$)"_s);
    return number.match(text.toString()).hasMatch();
}

std::optional<double> Number(QStringView text)
{
    if (!IsNumeric(text))
        return std::nullopt;
    return text.trimmed().toDouble();
}

QString PlainNumber(QStringView text)
{
    const auto n = Number(text);
    return n ? QString::number(double(float(*n)), 'g', 7) : text.toString();
}

QString CompassPoint(int index)
{
    static const std::array<const char16_t *, 17> points = {u"N",  u"NNE", u"NE", u"ENE", u"E",  u"ESE",
                                                            u"SE", u"SSE", u"S",  u"SSW", u"SW", u"WSW",
                                                            u"W",  u"WNW", u"NW", u"NNW", u"N"};
    if (index < 0 || index > 30)
        return QString();
    return index < int(points.size()) ? QString::fromUtf16(points[std::size_t(index)]) : QString();
}

void DegreesToCompass(float degrees, QString &direction)
{
    const double index = std::nearbyint(double(degrees / 22.5f));
    if (std::isfinite(index) && index >= 0 && index <= 30)
        direction = CompassPoint(int(index));
}

QString GetHeavy2(const QString &text, StationReadings &r)
{
    struct Entry
    {
        const char16_t *section;
        const char16_t *key;
        QString StationReadings::*reading;
    };
    static const std::array<Entry, 6> entries = {{
        {u"[outdoor_temperature]", u"deg_F", &StationReadings::Temperature},
        {u"[outdoor_humidity]", u"percent", &StationReadings::Humidity},
        {u"[wind_speed]", u"mph", &StationReadings::WindSpeed},
        {u"[wind_direction]", u"deg", &StationReadings::WindDirection},
        {u"[pressure_relative]", u"inHg", &StationReadings::Pressure},
        {u"[dewpoint]", u"deg_F", &StationReadings::DewPoint},
    }};
    for (const Entry &e : entries) {
        const qsizetype section = text.indexOf(QStringView(e.section));
        const qsizetype key = section < 0 ? -1 : text.indexOf(QStringView(e.key), section);
        const qsizetype open = key < 0 ? -1 : text.indexOf(u'"', key);
        const qsizetype close = open < 0 ? -1 : text.indexOf(u'"', open + 1);
        if (close < 0)
            return malformed();
        r.*e.reading = text.mid(open + 1, close - open - 1);
        if (e.reading == &StationReadings::WindDirection)
            compassIfNumeric(r.WindDirection);
    }
    return QString();
}

QString GetCumulus2(const QString &text, StationReadings &r)
{
    // The line ends where the first line break is; the last value runs to it.
    const QString line = text.section(QRegularExpression(u"[\r\n]"_s), 0, 0);
    constexpr int Spaces = 40;
    QList<qsizetype> spaces;
    for (qsizetype at = line.indexOf(u' ', 1); at >= 0 && spaces.size() < Spaces;
         at = line.indexOf(u' ', at + 1))
        spaces.append(at);
    const auto value = [&](int n, QString &out) {
        if (spaces.size() < n)
            return false;
        const qsizetype from = spaces.at(n - 1) + 1;
        qsizetype to = n < spaces.size() ? spaces.at(n) : line.indexOf(u' ', from);
        if (to < 0)
            to = line.size();
        out = line.mid(from, to - from);
        return true;
    };
    if (!value(2, r.Temperature) || !value(3, r.Humidity) || !value(4, r.DewPoint) ||
        !value(6, r.WindSpeed) || !value(10, r.Pressure) || !value(11, r.WindDirection) ||
        !value(40, r.WindGust))
        return malformed();
    return QString();
}

QString GetVirtual2(const QString &text, StationReadings &r)
{
    constexpr int Wanted = 39;
    QStringList values;
    QString current;
    bool quoted = false, wasQuoted = false, any = false;
    const auto finish = [&] {
        values.append(wasQuoted ? current : current.trimmed());
        current.clear();
        wasQuoted = false;
        any = false;
    };
    for (qsizetype i = 0; i < text.size() && values.size() < Wanted; ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c == u'"')
                quoted = false;
            else
                current.append(c);
        } else if (c == u'"' && current.trimmed().isEmpty()) {
            quoted = wasQuoted = any = true;
            current.clear();
        } else if (c == u',') {
            finish();
        } else if (c == u'\r' || c == u'\n') {
            // A line end closes a value, but an empty line is no value.
            if (any || !current.trimmed().isEmpty())
                finish();
        } else if (!wasQuoted) {
            current.append(c);
            any = true;
        }
    }
    if (values.size() < Wanted && (any || !current.trimmed().isEmpty()))
        finish();

    struct Entry
    {
        int position;
        QString StationReadings::*reading;
    };
    static const std::array<Entry, 7> entries = {{
        {8, &StationReadings::WindSpeed},
        {9, &StationReadings::WindGust},
        {10, &StationReadings::WindDirection},
        {12, &StationReadings::Humidity},
        {14, &StationReadings::Temperature},
        {15, &StationReadings::Pressure},
        {32, &StationReadings::DewPoint},
    }};
    if (values.isEmpty())
        return QString();
    if (values.size() < Wanted)
        return inputPastEnd();
    for (const Entry &e : entries)
        r.*e.reading = values.at(e.position - 1);
    compassIfNumeric(r.WindDirection);
    return QString();
}

QString GetVirtualWeatherDisplay(const QString &text, StationReadings &r)
{
    // The time stamp line ends at the first CR or LF, whichever comes first
    // (files written with LF alone are common); the LF of a CR LF stays. A
    // month's letters left in would be read as tags.
    QString s = text;
    qsizetype p = s.indexOf(u'\r');
    if (const qsizetype lf = s.indexOf(u'\n'); lf >= 0 && (p < 0 || lf < p))
        p = lf;
    ++p; // 0 when there is no line end
    if (p + 10 < s.size())
        s.remove(0, p);

    const qsizetype slash = s.indexOf(u'/');
    if (slash >= 3) {
        r.WindSpeed = PlainNumber(s.mid(slash + 1, 3));
        r.WindDirection = s.mid(slash - 3, 3);
        compassIfNumeric(r.WindDirection);
    }
    double t = 0, h = 0;
    const auto tag = [&](QChar letter, int length) -> std::optional<QString> {
        const qsizetype at = s.indexOf(letter);
        if (at < 0)
            return std::nullopt;
        return s.mid(at + 1, length);
    };
    if (auto v = tag(u's', 3))
        r.WindSpeed = PlainNumber(*v);
    if (auto v = tag(u'c', 3)) {
        r.WindDirection = *v;
        compassIfNumeric(r.WindDirection);
    }
    if (auto v = tag(u'g', 3))
        r.WindGust = PlainNumber(*v);
    if (auto v = tag(u't', 3)) {
        r.Temperature = PlainNumber(*v);
        t = Number(*v).value_or(0);
    }
    if (auto v = tag(u'h', 2)) {
        r.Humidity = PlainNumber(*v);
        h = Number(*v).value_or(0);
    }
    if (auto v = tag(u'b', 5)) {
        const auto n = Number(*v);
        r.Pressure = n ? QString::number(*n / 10, 'f', 1) : *v;
    }
    if (h > 0)
        r.DewPoint = QString::number(std::nearbyint(t - (100 - h) / 2.778) + 0.0, 'f', 0);
    return QString();
}

Reader ReaderFor(int automation)
{
    switch (automation) {
    case 1:
        return GetCumulus2;
    case 2:
        return GetHeavy2;
    case 3:
        return GetVirtual2;
    case 4:
        return GetVirtualWeatherDisplay;
    default:
        return nullptr;
    }
}

QString SoftwareName(int automation)
{
    switch (automation) {
    case 1:
        return u"Cumulus"_s;
    case 2:
        return u"Heavy Weather"_s;
    case 3:
        return u"VWS"_s;
    case 4:
        return u"Weather Display"_s;
    default:
        return QString();
    }
}

QString ReadStation(int automation, const QString &text, const QString &path, StationReadings &r)
{
    const Reader reader = ReaderFor(automation);
    if (!reader)
        return QString();
    if (text.isEmpty() && (automation == 1 || automation == 2))
        return u"Unable to open "_s + path;
    return reader(text, r);
}

} // namespace StationReaders
