#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <array>

class Clock;

// Every station's automated readings as the RPA messages bring them. In
// current-readings mode one row per observer, forgotten after ten silent
// minutes; in log mode one row per message, newest on top, up to MaxLogRows.
class StationTableModel final : public QAbstractTableModel
{
    Q_OBJECT
public:
    static constexpr int ColumnCount = 12;
    static constexpr int ObserverColumn = 4;
    static constexpr int TimeColumn = 5;
    static constexpr int PurgeSeconds = 600;
    // 1,440 rows a day per station: the log drops its oldest rows beyond this.
    static constexpr int MaxLogRows = 100'000;
    using Row = std::array<QString, ColumnCount>;

    explicit StationTableModel(const Clock &clock, QObject *parent = nullptr);

    static QString ColumnTitle(int column);
    static int WidthTwips(int column);
    static Qt::Alignment ColumnAlignment(int column);
    static QString PadValue(const QString &text);
    // "##0.0" and "###0.000" for numeric text; anything else as it is.
    static QString FormatOneDecimal(const QString &text);
    static QString FormatThreeDecimals(const QString &text);
    // The eleven fields of an RPA message in wire order (missing ones
    // empty), the sender's place cleaned of the wire's escapes, each cut to
    // MaxCellLength: the log keeps up to MaxLogRows of them.
    static constexpr int MaxCellLength = 100;
    static QStringList MessageFields(QStringView message);
    // "MM/DD hh:nn" of a local time.
    static QString TimeText(const QDateTime &local);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    bool currentReadingsOnly() const { return m_current; }
    // Turning current readings back on purges stale rows at once.
    void setCurrentReadingsOnly(bool on);

    // The RPA fields in wire order and the time of receipt.
    void ProcessUpdate(const QString &temperature, const QString &windSpeed, const QString &gust,
                       const QString &direction, const QString &pressure, const QString &software,
                       const QString &state, const QString &county, const QString &zip,
                       const QString &observer, const QString &location, const QString &time);
    // The minute's purge (current-readings mode only).
    void Timer1_Timer();
    // A header click: ascending first, then descending, alternately.
    void ColumnClick(int column);
    // Re-sorts by the last clicked column in the order that click chose
    // (ascending before any click): updates never reverse the user's order.
    void RefreshStationList();

    QString Title() const;
    // Titles, then the rows from last to first, TAB between cells, CR LF after.
    QString ClipboardText() const;
    void Clear();

    int SortColumn() const { return m_sortColumn; }
    const Row &row(int r) const { return m_rows.at(r); }

signals:
    void titleChanged(const QString &title);

private:
    void sortBy(int column, Qt::SortOrder order);
    void insertAtTop(Row row);

    const Clock &m_clock;
    QList<Row> m_rows;
    bool m_current = true;
    int m_sortColumn = 0;
    bool m_sortToggle = false;
    Qt::SortOrder m_order = Qt::AscendingOrder;
};
