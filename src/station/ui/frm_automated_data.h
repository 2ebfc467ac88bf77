#pragma once

#include "station/station_table_model.h"

#include <QTimer>
#include <QWidget>

class Clock;
class Dialogs;
class QCheckBox;
class QPushButton;
class QTreeView;
class QVBoxLayout;
class StationChart;
class StationHistory;

// "Automated Weather Station Data": every station's latest readings, or a
// log of every message. The table lives as long as the window: Done only
// hides it, closing it any other way drops the table with it.
class frmAutomatedData final : public QWidget
{
    Q_OBJECT
public:
    frmAutomatedData(const Clock &clock, Dialogs &dialogs, QWidget *parent = nullptr);

    StationTableModel &model() { return m_model; }

    // The readings the chart under the table draws from. The chart is built
    // when a row is first selected and follows the selected station.
    void setHistory(const StationHistory *history) { m_history = history; }
    // A reading from observer arrived: its chart, when shown, follows.
    void readingArrived(const QString &observer);
    StationChart *chart() const { return m_chart; }

    void KeepFormOnTop(bool on);
    void chkCurrentReadings_Click();
    void Command1_Click(); // Done
    void Command2_Click(); // Copy to Clipboard

    QTreeView *ListView1 = nullptr;
    QCheckBox *Check1 = nullptr;
    QCheckBox *chkCurrentReadings = nullptr;
    QPushButton *Command1 = nullptr;
    QPushButton *Command2 = nullptr;
    QTimer *Timer1 = nullptr;

private:
    void showChart(const QModelIndex &current);
    void refreshChart();

    const Clock &m_clock;
    StationTableModel m_model;
    Dialogs &m_dialogs;
    QVBoxLayout *m_layout = nullptr;
    const StationHistory *m_history = nullptr;
    StationChart *m_chart = nullptr;
    QString m_chartObserver;
};
