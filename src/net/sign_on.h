#pragma once

#include "base/status_style.h"

#include <QChar>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

struct ClientState;
struct SettingsRecord;
class Dispatcher;

// The boxes of the sign-on form, named as the form names them.
enum class SignOnField {
    None,
    txtFName,
    txtMiddle,
    txtLName,
    txtAddress,
    txtCity,
    txtEmail,
    txtState,
    txtCounty,
    txtZip,
    txtCurrentLocation,
    txtUsername,
    txtPassword,
};

// What the form's boxes hold, as typed.
struct SignOnForm
{
    QString firstName;
    QString middleInitial;
    QString lastName;
    QString address;
    QString city;
    QString email;
    QString state;
    QString county;
    QString zip;
    QString currentLocation;
    QString userName;
    QString password;
    bool rememberPassword = true;
    bool hidePassword = false;

    bool operator==(const SignOnForm &) const = default;
};

// A refusal: the message box to show and the box to focus. Accepted when
// text is empty.
struct SignOnCheck
{
    QString text;
    QString title;
    SignOnField focus = SignOnField::None;

    bool accepted() const { return text.isEmpty(); }
};

namespace SignOn {

QString DefaultTitle(); // the program's message-box title
// The address at the end of the forgotten-password message.
QString MaintainerEmail();

// The 60 entries of the state list: 50 states, one empty, 9 provinces.
const QStringList &StateList();
// The longest text a box takes; 0 for none.
int MaxLength(SignOnField field);
// False for a key the box discards.
bool AcceptKey(SignOnField field, QChar key);
// The state box on losing the focus: its first two characters, upper-cased.
QString NormalizeState(const QString &text);

// The form from a stored profile (user name and password as stored); the
// password stays empty unless it is remembered.
SignOnForm FormFromProfile(const SettingsRecord &settings);

// Log In's first step: the state rule, every box trimmed, the state cut to
// 20 characters.
SignOnForm TrimForLogIn(const SignOnForm &form);
// Log In's checks, in order, on a trimmed form.
SignOnCheck ValidateLogIn(const SignOnForm &form);
// Log In's profile: fields as typed, user name and password escaped.
void StoreProfile(const SignOnForm &form, SettingsRecord &settings);

// New Account's checks (after trimming user name and password).
SignOnCheck ValidateNewAccount(const SignOnForm &form, bool signedOn);

// ":SGN|" name "|" password "|" ten escaped profile fields "|" each, then
// the version "2.4|^".
QString BuildSignOnMessage(const SettingsRecord &settings, const QString &clientVersion);
// The same without the version field: the automatic re-sign-on.
QString BuildReSignOnMessage(const SettingsRecord &settings);
QString BuildNewAccountMessage(const SettingsRecord &settings);
// The user name goes out as typed.
QString BuildForgotMessage(const QString &userName);

QString ForgotText();
QString ForgotTitle();
QString ForgotAgainText();

} // namespace SignOn

// The sign-on form's three actions, without the form. The window collects
// the boxes, calls one of these, and applies the outcome.
class SignOnActions final
{
public:
    struct Outcome
    {
        SignOnCheck check; // a refusal to show (then nothing else happened)
        SignOnForm form;   // the boxes as they must read now
        bool hideForm = false;
        bool showMainWindow = false;
    };

    // queuePending is the link's QueuePendingMessage.
    SignOnActions(ClientState &state, std::function<void()> saveSettings,
                  std::function<void(const QString &)> queuePending);

    Outcome LogIn(const SignOnForm &form);      // cmdDone ("&Log In" / "Done")
    Outcome NewAccount(const SignOnForm &form); // Command2
    // Command3. A first press returns the e-mail notice as the box to show
    // (Outcome::check) with showMainWindow set; a second only the notice.
    Outcome Forgot(const SignOnForm &form);

private:
    ClientState &m_state;
    std::function<void()> m_saveSettings;
    std::function<void(const QString &)> m_queuePending;
};

// The server's replies to SGN and NEW. Decides; the window opens the boxes
// on a later event-loop pass (connect with Qt::QueuedConnection).
class SignOnReplies final : public QObject
{
    Q_OBJECT

public:
    SignOnReplies(ClientState &state, std::function<void()> saveSettings, QObject *parent = nullptr);

    void registerOn(Dispatcher &dispatcher);
    void HandleSignOnReply(const QString &message);
    void HandleNewAccountReply(const QString &message);

signals:
    void signOnFormRequested();
    // A box to show; endProgramAfter ends the program once it is closed.
    void messageBoxRequested(const QString &text, const QString &title, bool endProgramAfter);
    // "Welcome NAME!"
    void statusChanged(const QString &text, StatusStyle style);

private:
    ClientState &m_state;
    std::function<void()> m_saveSettings;
};
