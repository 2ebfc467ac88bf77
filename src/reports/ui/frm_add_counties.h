#pragma once

#include <QDialog>

class Dialogs;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
struct ClientState;

// "Additional Counties": whole states or single counties that count as the
// user's own area at the COUNTY level.
class frmAddCounties : public QDialog
{
    Q_OBJECT
public:
    frmAddCounties(ClientState &state, Dialogs &dialogs, QWidget *parent = nullptr);

    void Command2_Click(); // Add
    void Command1_Click(); // Done
    // What the menu command does once the window is done: the entries
    // replace the list and AddCounties.txt is rewritten.
    bool StoreEntries();

    QLabel *Label1;
    QListWidget *List1;
    QLineEdit *Text1;
    QPushButton *Command2;
    QPushButton *Command1;

private:
    ClientState &m_state;
    Dialogs &m_dialogs;
};
