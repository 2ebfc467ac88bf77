#include "community/active_chats.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {
const QString TimeFormat = u"yyyy-MM-dd HH:mm:ss"_s;
}

QString ActiveChatsModel::TimeText(const QDateTime &local)
{
    return local.toString(TimeFormat);
}

void ActiveChatsModel::UpdateList(const QString &qFrom, const QString &qTo, const QDateTime &now)
{
    const QString time = TimeText(now);
    auto match = std::find_if(m_rows.begin(), m_rows.end(),
                              [&](const Row &r) { return r.to == qTo && r.from == qFrom; });
    if (match != m_rows.end()) {
        const int at = int(match - m_rows.begin());
        beginRemoveRows({}, at, at);
        m_rows.erase(match);
        endRemoveRows();
    }
    // Newest first; among rows of the same second the latest goes on top.
    auto place = std::find_if(m_rows.begin(), m_rows.end(), [&](const Row &r) { return r.time <= time; });
    const int at = int(place - m_rows.begin());
    beginInsertRows({}, at, at);
    m_rows.insert(place, Row{time, qTo, qFrom});
    endInsertRows();
}

void ActiveChatsModel::Purge(const QDateTime &now)
{
    const QDateTime cutoff = now.addSecs(-KeepSeconds);
    for (int i = int(m_rows.size()) - 1; i >= 0; --i) {
        const QDateTime t = QDateTime::fromString(m_rows[size_t(i)].time, TimeFormat);
        if (t.isValid() && t < cutoff) {
            beginRemoveRows({}, i, i);
            m_rows.erase(m_rows.begin() + i);
            endRemoveRows();
        }
    }
}

QString ActiveChatsModel::fromAt(int row) const
{
    return row >= 0 && row < rowCount() ? m_rows[size_t(row)].from : QString();
}

int ActiveChatsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int ActiveChatsModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 3;
}

QVariant ActiveChatsModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rowCount())
        return {};
    const Row &r = m_rows[size_t(index.row())];
    switch (index.column()) {
    case TimeColumn:
        return r.time;
    case ToColumn:
        return r.to;
    case FromColumn:
        return r.from;
    default:
        return {};
    }
}

QVariant ActiveChatsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    static const QString names[] = {u"Time"_s, u"To"_s, u"From"_s};
    return section >= 0 && section < 3 ? names[section] : QVariant();
}
