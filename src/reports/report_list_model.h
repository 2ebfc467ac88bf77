#pragma once

#include "reports/report_text.h"

#include <QAbstractTableModel>
#include <QList>
#include <QTimer>

#include <functional>

// The report list: newest row at the top, at most MaxRows rows.
//
// Rows added during one pass of the event loop are staged and committed
// together on the next pass (or by flush()), so a burst of thousands of
// records becomes one insertion the view lays out once, not one per row.
// The result is the same as inserting each row at the top and trimming the
// tail after every insertion.
class ReportListModel final : public QAbstractTableModel
{
    Q_OBJECT
public:
    static constexpr int MaxRows = 1999;
    // Carries the row colour as a packed 0xRRGGBB int (none: no colour).
    static constexpr int ColourRole = Qt::UserRole + 1;

    explicit ReportListModel(QObject *parent = nullptr);

    static QString ColumnTitle(int column);
    static int DefaultWidthTwips(int column);
    // A width from ColmW.txt, which a user may have edited by hand, in
    // pixels: held to what a wide screen can show, never overflowing.
    static constexpr int MaxWidthTwips = 57'600;
    static int TwipsToPixels(int twips, int dpi);
    // "<count>  Listed Reports"
    static QString ListTotalText(int count);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Windows supply the conversion of a row colour for Qt::ForegroundRole.
    void setForegroundProvider(std::function<QVariant(const Rgb &)> provider);

    // Stages a row for the top of the list; committed by flush().
    void AddRow(ReportRow row);
    // Commits the staged rows in one insertion.
    void flush();

    // Removes every row whose report text equals text, whatever the case.
    int RemoveMatching(const QString &text);
    // Empties the list, staged rows included.
    void Clear();
    // Sorts once by the column's text, ignoring case; rows that arrive
    // afterwards still go on top.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
    // The row's seven cells in column order, as the clipboard takes them.
    QStringList cells(int r) const;

    const ReportRow &row(int r) const { return m_rows.at(r); }

signals:
    // The row count changed; text is the caption of lblListTotal.
    void listTotalChanged(const QString &text);

private:
    QList<ReportRow> m_rows;   // newest first
    QList<ReportRow> m_staged; // oldest first
    QTimer m_flushTimer;
    std::function<QVariant(const Rgb &)> m_foreground;
};
