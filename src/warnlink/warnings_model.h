#pragma once

#include "base/rgb.h"

#include <QAbstractTableModel>
#include <QList>

#include <array>
#include <functional>
#include <optional>

// One row of the warnings list: six text cells, shown as received.
struct WarningRow
{
    static constexpr int ColumnCount = 6;

    std::array<QString, ColumnCount> cells;
    std::optional<Rgb> colour; // applies to the cells in colourMask
    quint8 colourMask = 0x3f;  // bit i: cell i takes the colour
    quint8 boldMask = 0;       // bit i: cell i is bold
};

// The warnings list: newest row at the top, at most MaxRows rows.
class WarningsModel final : public QAbstractTableModel
{
    Q_OBJECT
public:
    static constexpr int MaxRows = 1999;
    static constexpr int ColourRole = Qt::UserRole + 1; // packed 0xRRGGBB
    static constexpr int BoldRole = Qt::UserRole + 2;

    explicit WarningsModel(QObject *parent = nullptr);

    static QString ColumnTitle(int column);
    static int DefaultWidthTwips(int column);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Windows supply the conversions for Qt::ForegroundRole and Qt::FontRole.
    void setForegroundProvider(std::function<QVariant(const Rgb &)> provider);
    void setBoldFontProvider(std::function<QVariant()> provider);

    // Inserts at the top and trims the oldest row beyond MaxRows.
    void InsertAtTop(WarningRow row);
    void Clear();
    // Bold and red by each row's Severity cell (see WarningsParser::Highlight).
    void HighlightWarnings();
    const WarningRow &row(int r) const { return m_rows.at(r); }

    // A warning relayed by the server as a report: its text, time, state
    // and county in the first four cells, red for a tornado, then blue for a
    // hurricane (the later test wins).
    static WarningRow FromRelayedWarning(const QString &text, const QString &timeText, const QString &state,
                                         const QString &county);

private:
    QList<WarningRow> m_rows; // newest first
    std::function<QVariant(const Rgb &)> m_foreground;
    std::function<QVariant()> m_bold;
};
