#pragma once

#include <QAbstractTableModel>
#include <QDateTime>
#include <QString>

#include <vector>

// The conversations of the last two hours: one row per (To, From) pair with
// the time of its latest message. Rows are kept newest first, so an update
// moves its row to the top and a new pair starts there.
class ActiveChatsModel final : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { TimeColumn, ToColumn, FromColumn };
    static constexpr int KeepSeconds = 2 * 3600;

    using QAbstractTableModel::QAbstractTableModel;

    // "yyyy-mm-dd hh:nn:ss": text order is time order.
    static QString TimeText(const QDateTime &local);

    void UpdateList(const QString &qFrom, const QString &qTo, const QDateTime &now);
    // Drops the rows older than two hours; a Time that is not a date stays.
    void Purge(const QDateTime &now);
    QString fromAt(int row) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    struct Row
    {
        QString time, to, from;
    };
    std::vector<Row> m_rows;
};
