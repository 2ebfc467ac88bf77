#include "reports/report_list_model.h"

#include <algorithm>
#include <array>

namespace {

struct Column
{
    const char16_t *title;
    int widthTwips;
};

constexpr std::array<Column, ReportRow::ColumnCount> columns = {{
    {u"Report", 4300},
    {u"Date/Time", 1200},
    {u"ST", 600},
    {u"County", 1100},
    {u"Zip", 800},
    {u"Observer", 1000},
    {u"Location", 2000},
}};

} // namespace

ReportListModel::ReportListModel(QObject *parent) : QAbstractTableModel(parent)
{
    m_flushTimer.setSingleShot(true);
    m_flushTimer.setInterval(0);
    connect(&m_flushTimer, &QTimer::timeout, this, &ReportListModel::flush);
}

QString ReportListModel::ColumnTitle(int column)
{
    if (column < 0 || column >= ReportRow::ColumnCount)
        return QString();
    return QString::fromUtf16(columns[std::size_t(column)].title);
}

int ReportListModel::TwipsToPixels(int twips, int dpi)
{
    return int(qint64(std::clamp(twips, 0, MaxWidthTwips)) * std::max(dpi, 1) / 1440);
}

int ReportListModel::DefaultWidthTwips(int column)
{
    if (column < 0 || column >= ReportRow::ColumnCount)
        return 0;
    return columns[std::size_t(column)].widthTwips;
}

QString ReportListModel::ListTotalText(int count)
{
    return QString::number(count) + QStringLiteral("  Listed Reports");
}

int ReportListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int ReportListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ReportRow::ColumnCount;
}

QVariant ReportListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return QVariant();
    const ReportRow &r = m_rows.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return r.cell(index.column());
    case ColourRole:
        if (!r.colour)
            return QVariant();
        return (r.colour->r << 16) | (r.colour->g << 8) | r.colour->b;
    case Qt::ForegroundRole:
        if (!r.colour || !m_foreground)
            return QVariant();
        return m_foreground(*r.colour);
    default:
        return QVariant();
    }
}

QVariant ReportListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    return ColumnTitle(section);
}

void ReportListModel::setForegroundProvider(std::function<QVariant(const Rgb &)> provider)
{
    m_foreground = std::move(provider);
}

void ReportListModel::AddRow(ReportRow row)
{
    // Rows that would be trimmed anyway are not kept around.
    if (m_staged.size() >= 2 * MaxRows)
        m_staged.remove(0, m_staged.size() - MaxRows);
    m_staged.append(std::move(row));
    if (!m_flushTimer.isActive())
        m_flushTimer.start();
}

void ReportListModel::flush()
{
    m_flushTimer.stop();
    if (m_staged.isEmpty())
        return;
    const qsizetype incoming = std::min<qsizetype>(m_staged.size(), MaxRows);
    const qsizetype keepOld = std::min<qsizetype>(m_rows.size(), MaxRows - incoming);
    if (keepOld < m_rows.size()) {
        beginRemoveRows(QModelIndex(), int(keepOld), int(m_rows.size() - 1));
        m_rows.resize(keepOld);
        endRemoveRows();
    }
    QList<ReportRow> fresh;
    fresh.reserve(incoming + m_rows.size());
    for (qsizetype i = m_staged.size() - 1; i >= m_staged.size() - incoming; --i)
        fresh.append(std::move(m_staged[i]));
    m_staged.clear();
    beginInsertRows(QModelIndex(), 0, int(incoming - 1));
    fresh.append(std::move(m_rows));
    m_rows = std::move(fresh);
    endInsertRows();
    emit listTotalChanged(ListTotalText(int(m_rows.size())));
}

int ReportListModel::RemoveMatching(const QString &text)
{
    flush();
    int removed = 0;
    // From the bottom up, one removal per run of adjacent matches.
    qsizetype r = m_rows.size() - 1;
    while (r >= 0) {
        if (m_rows.at(r).text.compare(text, Qt::CaseInsensitive) != 0) {
            --r;
            continue;
        }
        const qsizetype last = r;
        while (r > 0 && m_rows.at(r - 1).text.compare(text, Qt::CaseInsensitive) == 0)
            --r;
        beginRemoveRows(QModelIndex(), int(r), int(last));
        m_rows.remove(r, last - r + 1);
        endRemoveRows();
        removed += int(last - r + 1);
        --r;
    }
    if (removed > 0)
        emit listTotalChanged(ListTotalText(int(m_rows.size())));
    return removed;
}

void ReportListModel::Clear()
{
    m_flushTimer.stop();
    m_staged.clear();
    beginResetModel();
    m_rows.clear();
    endResetModel();
    emit listTotalChanged(ListTotalText(0));
}

void ReportListModel::sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= ReportRow::ColumnCount)
        return;
    flush();
    beginResetModel();
    std::stable_sort(m_rows.begin(), m_rows.end(), [column, order](const ReportRow &a, const ReportRow &b) {
        const int c = a.cell(column).compare(b.cell(column), Qt::CaseInsensitive);
        return order == Qt::AscendingOrder ? c < 0 : c > 0;
    });
    endResetModel();
}

QStringList ReportListModel::cells(int r) const
{
    QStringList out;
    const ReportRow &row = m_rows.at(r);
    for (int c = 0; c < ReportRow::ColumnCount; ++c)
        out << row.cell(c);
    return out;
}
