#include "station/station_table_model.h"

#include "net/protocol.h"
#include "platform/clock.h"
#include "station/station_readers.h"

#include <algorithm>
#include <numeric>

using namespace Qt::Literals::StringLiterals;

namespace {

struct Column
{
    const char16_t *title;
    int width;
    Qt::Alignment alignment;
};

constexpr std::array<Column, StationTableModel::ColumnCount> columns = {{
    {u"ST", 500, Qt::AlignLeft},
    {u"County", 1100, Qt::AlignLeft},
    {u"Zip", 700, Qt::AlignLeft},
    {u"Location", 1650, Qt::AlignLeft},
    {u"Observer", 1000, Qt::AlignLeft},
    {u"Time", 1100, Qt::AlignLeft},
    {u"Temp", 800, Qt::AlignRight},
    {u"Wind", 800, Qt::AlignRight},
    {u"Rcnt Max", 950, Qt::AlignRight},
    {u"Dir", 800, Qt::AlignHCenter},
    {u"Pressure", 1000, Qt::AlignRight},
    {u"Software", 1100, Qt::AlignLeft},
}};

bool valid(int column)
{
    return column >= 0 && column < StationTableModel::ColumnCount;
}

QString formatted(const QString &text, int decimals)
{
    const auto n = StationReaders::Number(text);
    return n ? QString::number(*n, 'f', decimals) : text;
}

} // namespace

StationTableModel::StationTableModel(const Clock &clock, QObject *parent)
    : QAbstractTableModel(parent), m_clock(clock)
{
}

QString StationTableModel::ColumnTitle(int column)
{
    return valid(column) ? QString::fromUtf16(columns[std::size_t(column)].title) : QString();
}

int StationTableModel::WidthTwips(int column)
{
    return valid(column) ? columns[std::size_t(column)].width : 0;
}

Qt::Alignment StationTableModel::ColumnAlignment(int column)
{
    return valid(column) ? columns[std::size_t(column)].alignment : Qt::AlignLeft;
}

QString StationTableModel::PadValue(const QString &text)
{
    return text.size() >= 5 ? text : text.rightJustified(5, u' ');
}

QString StationTableModel::FormatOneDecimal(const QString &text)
{
    return formatted(text, 1);
}

QString StationTableModel::FormatThreeDecimals(const QString &text)
{
    return formatted(text, 3);
}

QStringList StationTableModel::MessageFields(QStringView message)
{
    const QStringList split = SplitFields(message);
    QStringList fields;
    for (int i = 0; i < 11; ++i) {
        QString f = FieldAt(split, i);
        if (i >= 6 && i != 9) // state, county, zip and location; not the observer
            f = CleanIncoming(f);
        fields << f.left(MaxCellLength);
    }
    return fields;
}

QString StationTableModel::TimeText(const QDateTime &local)
{
    return local.toString(u"MM/dd HH:mm"_s);
}

int StationTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int StationTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant StationTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return QVariant();
    if (role == Qt::DisplayRole)
        return m_rows.at(index.row())[std::size_t(index.column())];
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(ColumnAlignment(index.column()) | Qt::AlignVCenter);
    return QVariant();
}

QVariant StationTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal)
        return QVariant();
    if (role == Qt::DisplayRole)
        return ColumnTitle(section);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(ColumnAlignment(section) | Qt::AlignVCenter);
    return QVariant();
}

void StationTableModel::setCurrentReadingsOnly(bool on)
{
    const bool turnedOn = on && !m_current;
    m_current = on;
    if (turnedOn)
        Timer1_Timer();
}

QString StationTableModel::Title() const
{
    return u"Automated Weather Station Data ("_s + QString::number(m_rows.size()) + u')';
}

void StationTableModel::insertAtTop(Row row)
{
    beginInsertRows(QModelIndex(), 0, 0);
    m_rows.prepend(std::move(row));
    endInsertRows();
    if (m_rows.size() > MaxLogRows) {
        beginRemoveRows(QModelIndex(), MaxLogRows, int(m_rows.size() - 1));
        m_rows.resize(MaxLogRows);
        endRemoveRows();
    }
}

void StationTableModel::ProcessUpdate(const QString &temperature, const QString &windSpeed,
                                      const QString &gust, const QString &direction, const QString &pressure,
                                      const QString &software, const QString &state, const QString &county,
                                      const QString &zip, const QString &observer, const QString &location,
                                      const QString &time)
{
    const Row row = {state,
                     county,
                     zip,
                     location,
                     observer,
                     time,
                     PadValue(FormatOneDecimal(temperature)),
                     PadValue(FormatOneDecimal(windSpeed)),
                     PadValue(FormatOneDecimal(gust)),
                     direction,
                     FormatThreeDecimals(pressure),
                     software};
    if (m_current) {
        const auto found = std::find_if(m_rows.begin(), m_rows.end(),
                                        [&](const Row &r) { return r[ObserverColumn] == observer; });
        if (found != m_rows.end()) {
            *found = row;
            const int r = int(found - m_rows.begin());
            emit dataChanged(index(r, 0), index(r, ColumnCount - 1));
            if (m_sortColumn > ObserverColumn)
                RefreshStationList();
            return;
        }
    }
    insertAtTop(row);
    RefreshStationList();
}

void StationTableModel::Timer1_Timer()
{
    if (!m_current)
        return;
    const QDateTime now = m_clock.localNow();
    bool removed = false;
    for (int i = 0; i < m_rows.size();) {
        const QString &text = m_rows.at(i)[TimeColumn];
        QDateTime t =
            QDateTime::fromString(QString::number(now.date().year()) + u'/' + text, u"yyyy/MM/dd HH:mm"_s);
        if (t.isValid())
            t = QDateTime(t.date(), t.time()); // as the local clock reads it, like now
        if (!t.isValid() || qAbs(t.secsTo(now)) > PurgeSeconds) {
            beginRemoveRows(QModelIndex(), i, i);
            m_rows.removeAt(i);
            endRemoveRows();
            removed = true;
            continue;
        }
        ++i;
    }
    if (removed)
        emit titleChanged(Title());
}

void StationTableModel::sortBy(int column, Qt::SortOrder sortOrder)
{
    if (!valid(column))
        return;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    // Sorted as row numbers, so that a selected row stays with its station.
    QList<int> order(m_rows.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        const int c = QString::compare(m_rows[a][std::size_t(column)], m_rows[b][std::size_t(column)],
                                       Qt::CaseSensitive);
        return sortOrder == Qt::AscendingOrder ? c < 0 : c > 0;
    });
    QList<Row> sorted;
    sorted.reserve(m_rows.size());
    QList<int> newRow(m_rows.size());
    for (int i = 0; i < order.size(); ++i) {
        sorted.append(std::move(m_rows[order[i]]));
        newRow[order[i]] = i;
    }
    m_rows = std::move(sorted);
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex &i : before)
        after.append(index(newRow[i.row()], i.column()));
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void StationTableModel::ColumnClick(int column)
{
    m_sortColumn = column;
    m_sortToggle = !m_sortToggle;
    m_order = m_sortToggle ? Qt::AscendingOrder : Qt::DescendingOrder;
    sortBy(column, m_order);
}

void StationTableModel::RefreshStationList()
{
    if (m_current)
        sortBy(m_sortColumn, m_order);
    emit titleChanged(Title());
}

QString StationTableModel::ClipboardText() const
{
    QString text;
    for (int c = 0; c < ColumnCount; ++c)
        text += (c ? u"\t"_s : QString()) + ColumnTitle(c);
    text += u"\r\n"_s;
    for (qsizetype r = m_rows.size() - 1; r >= 0; --r) {
        QStringList cells(m_rows.at(r).begin(), m_rows.at(r).end());
        text += cells.join(u'\t') + u"\r\n"_s;
    }
    return text;
}

void StationTableModel::Clear()
{
    beginResetModel();
    m_rows.clear();
    endResetModel();
    emit titleChanged(Title());
}
