#include "warnlink/warnings_model.h"

#include "base/rgb.h"
#include "warnlink/warnings_parser.h"

namespace {

struct Column
{
    const char16_t *title;
    int widthTwips;
};

constexpr std::array<Column, WarningRow::ColumnCount> columns = {{
    {u"State", 1100},
    {u"Severity", 1200},
    {u"Title", 5600},
    {u"Beginning", 1400},
    {u"Ending", 1400},
    {u"URL", 400},
}};

} // namespace

WarningsModel::WarningsModel(QObject *parent) : QAbstractTableModel(parent)
{
}

QString WarningsModel::ColumnTitle(int column)
{
    if (column < 0 || column >= WarningRow::ColumnCount)
        return QString();
    return QString::fromUtf16(columns[std::size_t(column)].title);
}

int WarningsModel::DefaultWidthTwips(int column)
{
    if (column < 0 || column >= WarningRow::ColumnCount)
        return 0;
    return columns[std::size_t(column)].widthTwips;
}

int WarningsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int WarningsModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : WarningRow::ColumnCount;
}

QVariant WarningsModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return QVariant();
    const WarningRow &r = m_rows.at(index.row());
    const int c = index.column();
    const bool coloured = r.colour && (r.colourMask & (1u << c));
    switch (role) {
    case Qt::DisplayRole:
        return r.cells[std::size_t(c)];
    case ColourRole:
        return coloured ? QVariant((r.colour->r << 16) | (r.colour->g << 8) | r.colour->b) : QVariant();
    case BoldRole:
        return bool(r.boldMask & (1u << c));
    case Qt::ForegroundRole:
        return coloured && m_foreground ? m_foreground(*r.colour) : QVariant();
    case Qt::FontRole:
        return (r.boldMask & (1u << c)) && m_bold ? m_bold() : QVariant();
    default:
        return QVariant();
    }
}

QVariant WarningsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    return ColumnTitle(section);
}

void WarningsModel::setForegroundProvider(std::function<QVariant(const Rgb &)> provider)
{
    m_foreground = std::move(provider);
}

void WarningsModel::setBoldFontProvider(std::function<QVariant()> provider)
{
    m_bold = std::move(provider);
}

void WarningsModel::InsertAtTop(WarningRow row)
{
    beginInsertRows(QModelIndex(), 0, 0);
    m_rows.prepend(std::move(row));
    endInsertRows();
    if (m_rows.size() > MaxRows) {
        beginRemoveRows(QModelIndex(), MaxRows, int(m_rows.size() - 1));
        m_rows.resize(MaxRows);
        endRemoveRows();
    }
}

void WarningsModel::Clear()
{
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

void WarningsModel::HighlightWarnings()
{
    if (m_rows.isEmpty())
        return;
    for (WarningRow &r : m_rows)
        WarningsParser::Highlight(r);
    emit dataChanged(index(0, 0), index(int(m_rows.size() - 1), WarningRow::ColumnCount - 1));
}

WarningRow WarningsModel::FromRelayedWarning(const QString &text, const QString &timeText,
                                             const QString &state, const QString &county)
{
    WarningRow row;
    row.cells = {text, timeText, state, county, QString(), QString()};
    const QString upper = text.toUpper();
    if (upper.contains(u"TORNADO"))
        row.colour = ReportColours::Red;
    if (upper.contains(u"HURRICANE"))
        row.colour = ReportColours::Blue;
    return row;
}
