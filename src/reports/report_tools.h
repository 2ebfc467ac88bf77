#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

// The rules behind the phrase-list editor, the routine formatted report and
// the report list's commands, free of any window so they are tested alone.
namespace ReportTools {

// ---- Phrase-list editor ----------------------------------------------------

// "|", ":" and "^" would break a protocol message once the phrase is sent:
// the editor drops them whether typed or pasted.
QString StripEditorText(const QString &text);

// ---- Routine formatted report ---------------------------------------------

// The eight boxes in the order of the report text.
enum RoutineField {
    Observed,
    Temperature,
    WindSpeed,
    WindDirection,
    MaxGust,
    Pressure,
    Humidity,
    DewPoint,
    RoutineFieldCount
};
using RoutineFields = std::array<QString, RoutineFieldCount>;

enum class Trend { None, Falling, Steady, Rising };

struct RoutineUnits
{
    bool celsius = false;
    bool kmh = false;
    Trend trend = Trend::None;
};

// The length each box holds; 0 for no limit.
int RoutineMaxLength(RoutineField field);

// What a box keeps of typed or pasted text. Everywhere "|", ":", "/", "^"
// and the double quote go; the observed box also drops the brackets that
// frame the report; the number boxes keep digits, "-" and "." only.
QString FilterRoutineText(RoutineField field, const QString &text);
// True for the boxes where Space moves on to the next box.
bool SpaceMovesOn(RoutineField field);

bool AllEmpty(const RoutineFields &fields);

// "[ " + observed + " /", then each value with its label and " /", or a
// lone "/" for an empty box, then "]".
QString BuildRoutineText(const RoutineFields &fields, const RoutineUnits &units);

// The boxes of "Routine Observation" from a listed routine report: "[" and
// "/" end a field, "=" starts a value; field 0 (the "R: ") and everything
// after the eighth field are dropped.
RoutineFields FillFields(const QString &text);

inline bool IsRoutineRow(const QString &text)
{
    return text.startsWith(QLatin1String("R: ["));
}

// ":XRP|" + the listed text as the server holds it + "|^": a leading "R:"
// is kept as it is, since the sender escaped the text before adding it.
QString RetractMessage(const QString &listedText);

// ---- Report list commands --------------------------------------------------

// The GLD request for the answer to "How Many Hours?": nothing for an empty
// answer or Cancel, 2 hours for an answer that is not a number.
std::optional<QString> HistoricalRequest(const std::optional<QString> &answer);

// Tab-separated rows under a header line, every line ended by CR LF.
QString ClipboardText(const QStringList &headers, const QList<QStringList> &rows);

// The column widths to write to ColmW.txt: none below 50 twips.
QList<int> SavedColumnWidths(const QList<int> &twips);
inline constexpr int MinColumnTwips = 50;

} // namespace ReportTools
