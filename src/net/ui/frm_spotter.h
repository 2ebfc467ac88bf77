#pragma once

#include "net/sign_on.h"

#include <QWidget>

#include <functional>

class Dialogs;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
struct ClientState;

// The sign-on form, "Spotter Information": the program's first window, and
// the "Observer ID and Location" settings window once signed on. It stays
// loaded for the whole run. The rules live in SignOnActions; this window
// collects the boxes and applies the outcome.
class frmSpotter final : public QWidget
{
    Q_OBJECT
public:
    // saveSettings rewrites Settings.dat; queuePending is the link's
    // QueuePendingMessage.
    frmSpotter(ClientState &state, Dialogs &dialogs, std::function<void()> saveSettings,
               std::function<void(const QString &)> queuePending, QWidget *parent = nullptr);

    // Start-up step 3: the stored profile into the boxes.
    void LoadProfile();
    // The form as "&Observer ID  and Location" from the main window's menu.
    void ShowAsSettings();
    // The server's SGN and NEW replies: their boxes open on a later pass of
    // the event loop, never inside the socket's handler. endProgram ends the
    // program after a box that says so.
    void attachReplies(SignOnReplies &replies, std::function<void(int)> endProgram);

    void cmdDone_Click();  // "&Log In" / "Done"
    void Command2_Click(); // "&New Account"
    void Command3_Click(); // "Forgot"
    void Command1_Click(); // "&Cancel"

    SignOnForm currentForm() const;
    QWidget *box(SignOnField field) const;

    QLineEdit *txtFName;
    QLineEdit *txtMiddle;
    QLineEdit *txtLName;
    QLineEdit *txtAddress;
    QLineEdit *txtCity;
    QLineEdit *txtEmail;
    QComboBox *txtState;
    QLineEdit *txtCounty;
    QLineEdit *txtZip;
    QLineEdit *txtCurrentLocation;
    QLineEdit *txtUsername;
    QLineEdit *txtPassword;
    QCheckBox *Check1;
    QCheckBox *Check2;
    QPushButton *Command3;
    QPushButton *cmdDone;
    QPushButton *Command2;
    QPushButton *Command1;

signals:
    // Log In, New Account or Forgot went through: show the main window
    // (loading it on first use).
    void mainWindowRequested();
    // "&Cancel": the program ends at once.
    void cancelRequested();
    // The form was closed (title-bar button included), not only hidden.
    void closed();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    QLineEdit *addBox(class QGridLayout *grid, int row, int column, const QString &label, SignOnField field,
                      const QString &objectName);
    void setForm(const SignOnForm &form);
    void apply(const SignOnActions::Outcome &outcome);
    void showMessage(const QString &text, const QString &title);
    void applySignedOnLock();
    void Check2_Click();

    ClientState &m_state;
    Dialogs &m_dialogs;
    std::function<void()> m_saveSettings;
    SignOnActions m_actions;
    QHash<QObject *, SignOnField> m_fields;
};
