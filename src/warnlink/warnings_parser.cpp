#include "warnlink/warnings_parser.h"

#include "base/rgb.h"

namespace WarningsParser {

WarningArrival Parse(QString &buffer)
{
    WarningArrival out;
    const qsizetype colon = buffer.indexOf(u':');
    if (colon < 0) {
        buffer.clear();
        return out;
    }
    buffer.remove(0, colon);
    out.clearList = true;
    const qsizetype caret = buffer.indexOf(u'^');
    if (caret < 0) {
        if (buffer.size() > MaxBufferChars)
            buffer.clear();
        return out;
    }

    int field = 0;
    std::array<QString, WarningRow::ColumnCount> cells;
    for (qsizetype i = 1; i <= caret; ++i) {
        const QChar c = buffer.at(i);
        if (c == u'|')
            ++field;
        else
            cells[std::size_t(field)].append(c);
        if (field == WarningRow::ColumnCount) {
            WarningRow row;
            row.cells = std::move(cells);
            cells = {};
            field = 0;
            out.rows.prepend(std::move(row));
        }
    }
    buffer.clear();
    return out;
}

void Highlight(WarningRow &row)
{
    const QString &severity = row.cells[1];
    if (severity == u"Tornado") {
        row.boldMask = 0x3f;
        row.colour = ReportColours::Red;
        row.colourMask = 0x3e;
    } else if (severity == u"T-Storm") {
        row.boldMask = 0x03;
    } else if (severity == u"Warning") {
        row.boldMask = 0x01;
    }
}

} // namespace WarningsParser
