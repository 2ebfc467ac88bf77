#pragma once

#include "station/station_table_model.h"

#include <QTimer>
#include <QWidget>

class Clock;
class Dialogs;
class QCheckBox;
class QPushButton;
class QTreeView;

// "Automated Weather Station Data": every station's latest readings, or a
// log of every message. The table lives as long as the window: Done only
// hides it, closing it any other way drops the table with it.
class frmAutomatedData final : public QWidget
{
    Q_OBJECT
public:
    frmAutomatedData(const Clock &clock, Dialogs &dialogs, QWidget *parent = nullptr);

    StationTableModel &model() { return m_model; }

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
    StationTableModel m_model;
    Dialogs &m_dialogs;
};
