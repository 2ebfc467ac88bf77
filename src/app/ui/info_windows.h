#pragma once

#include <QDialog>

class Dialogs;
class QCheckBox;
class QPlainTextEdit;
class QPushButton;
struct ClientState;

// "Terms of Use": Terms.txt from the data folder and a yes/no question.
class frmDisclaimer final : public QDialog
{
    Q_OBJECT
public:
    frmDisclaimer(const ClientState &state, QWidget *parent = nullptr);
    QPlainTextEdit *txtTerms;
    QPushButton *cmdYes;
    QPushButton *cmdNo;
};

// Shows the terms window modally. False when the user answered "No" (the
// farewell box has been shown; the caller ends the program).
bool RunTermsWindow(const ClientState &state, Dialogs &dialogs, QWidget *parent = nullptr);

// "Help": Help.txt from the data folder.
class frmHelp final : public QDialog
{
    Q_OBJECT
public:
    frmHelp(const ClientState &state, QWidget *parent = nullptr);
    QPlainTextEdit *txtHelp;
    QPushButton *cmdDone;
};

void ShowHelpWindow(const ClientState &state, QWidget *parent);

// "Startup Options": the three start-up switches.
class FrmStartupOptions final : public QDialog
{
    Q_OBJECT
public:
    FrmStartupOptions(ClientState &state, QWidget *parent = nullptr);
    QCheckBox *Check1; // AutoLogIn
    QCheckBox *Check2; // StartInTray
    QCheckBox *Check3; // LaunchWarnProgram
    QPlainTextEdit *txtInstructions;
    QPushButton *cmdDone;
    void cmdDone_Click();

private:
    ClientState &m_state;
};

void ShowStartupOptionsWindow(ClientState &state, QWidget *parent);

inline const QString TermsDeclinedText = QStringLiteral(
    "Thanks for reviewing this program's terms of use.  The program will now close.  If you wish to "
    "uninstall "
    "this program, please remove it from the Add Remove Programs utility in Windows Control Panel.");
inline const QString TermsDeclinedTitle = QStringLiteral("Thanks for reviewing this software!");
