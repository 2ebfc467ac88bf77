#pragma once

#include <QDialog>

class Dialogs;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
struct ClientState;

// "Filter Reports and Messages": the blocked user names. Changes take
// effect only through Done, which saves the list.
class frmFilter : public QDialog
{
    Q_OBJECT
public:
    frmFilter(ClientState &state, Dialogs &dialogs, QWidget *parent = nullptr);

    void Command2_Click(); // Add
    void Command1_Click(); // Done
    // Rebuilds the filter list from List1 and writes FilterList.txt.
    bool SaveFilterList();

    QLabel *Label1;
    QListWidget *List1;
    QLineEdit *Text1;
    QPushButton *Command2;
    QPushButton *Command1;

private:
    ClientState &m_state;
    Dialogs &m_dialogs;
};
