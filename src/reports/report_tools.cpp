#include "reports/report_tools.h"

#include "base/content_filters.h"
#include "base/file_lines.h"
#include "net/protocol.h"

#include <algorithm>

namespace ReportTools {

namespace {

QString without(const QString &text, QLatin1StringView drop)
{
    QString out;
    out.reserve(text.size());
    for (QChar c : text)
        if (!drop.contains(c))
            out.append(c);
    return out;
}

} // namespace

QString StripEditorText(const QString &text)
{
    return without(text, QLatin1StringView("|:^"));
}

int RoutineMaxLength(RoutineField field)
{
    switch (field) {
    case Observed:
        return 200;
    case MaxGust:
        return 0;
    default:
        return 10;
    }
}

QString FilterRoutineText(RoutineField field, const QString &text)
{
    QString kept = without(text, QLatin1StringView("|:/^\""));
    if (field == Observed)
        return without(kept, QLatin1StringView("[]"));
    if (field == WindDirection)
        return Capital(kept).remove(QLatin1Char(' '));
    QString digits;
    for (QChar c : kept)
        if ((c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('-') ||
            c == QLatin1Char('.'))
            digits.append(c);
    return digits;
}

bool SpaceMovesOn(RoutineField field)
{
    return field != Observed;
}

bool AllEmpty(const RoutineFields &fields)
{
    return std::all_of(fields.begin(), fields.end(), [](const QString &f) { return f.trimmed().isEmpty(); });
}

QString BuildRoutineText(const RoutineFields &f, const RoutineUnits &units)
{
    const QString speed = units.kmh ? QStringLiteral(" KPH") : QStringLiteral(" MPH");
    QString trend;
    switch (units.trend) {
    case Trend::Falling:
        trend = QStringLiteral(" F");
        break;
    case Trend::Steady:
        trend = QStringLiteral(" S");
        break;
    case Trend::Rising:
        trend = QStringLiteral(" R");
        break;
    case Trend::None:
        break;
    }
    QString out = QStringLiteral("[ ") + f[Observed].trimmed() + QStringLiteral(" /");
    const auto part = [&out](const QString &value, const QString &label, const QString &suffix) {
        if (value.trimmed().isEmpty())
            out += QLatin1Char('/');
        else
            out += label + value.trimmed() + suffix + QStringLiteral(" /");
    };
    part(f[Temperature], QStringLiteral(" Temp = "),
         units.celsius ? QStringLiteral("C") : QStringLiteral("F"));
    part(f[WindSpeed], QStringLiteral(" Wnd Spd = "), speed);
    part(f[WindDirection], QStringLiteral(" Wnd Dir = "), QString());
    part(f[MaxGust], QStringLiteral(" Max Gust = "), speed);
    part(f[Pressure], QStringLiteral(" Pressure = "), trend);
    part(f[Humidity], QStringLiteral(" Hum = "), QString());
    part(f[DewPoint], QStringLiteral(" Dew Pnt = "), QString());
    return out + QLatin1Char(']');
}

RoutineFields FillFields(const QString &text)
{
    RoutineFields out;
    int field = 0;
    bool take = true;
    for (QChar c : text) {
        if (c == QLatin1Char('[') || c == QLatin1Char('/')) {
            ++field;
            take = false;
        } else if (field == 1) {
            out[Observed].append(c);
        } else if (field >= 2 && field <= 8) {
            if (c == QLatin1Char('='))
                take = true;
            else if (take)
                out[std::size_t(field - 1)].append(c);
        }
    }
    return out;
}

QString RetractMessage(const QString &listedText)
{
    QString text;
    if (listedText.size() >= 2 && listedText.at(1) == QLatin1Char(':'))
        text = listedText.left(2) + EscapeOutgoing(QStringView(listedText).mid(2));
    else
        text = EscapeOutgoing(listedText);
    return QStringLiteral(":XRP|") + text + QStringLiteral("|^");
}

std::optional<QString> HistoricalRequest(const std::optional<QString> &answer)
{
    if (!answer || answer->isEmpty())
        return std::nullopt;
    QString hours = answer->trimmed();
    if (!FileLines::parseNumber(hours.toLatin1()))
        hours = QStringLiteral("2");
    return QStringLiteral(":GLD|") + hours + QStringLiteral("|^");
}

QString ClipboardText(const QStringList &headers, const QList<QStringList> &rows)
{
    const QString crlf = QStringLiteral("\r\n");
    QString out = headers.join(QLatin1Char('\t')) + crlf;
    for (const QStringList &row : rows)
        out += row.join(QLatin1Char('\t')) + crlf;
    return out;
}

QList<int> SavedColumnWidths(const QList<int> &twips)
{
    QList<int> out;
    out.reserve(twips.size());
    for (int w : twips)
        out << std::max(w, MinColumnTwips);
    return out;
}

} // namespace ReportTools
