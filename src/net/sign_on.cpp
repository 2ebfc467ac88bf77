#include "net/sign_on.h"

#include "base/client_state.h"
#include "base/settings.h"
#include "net/dispatcher.h"
#include "net/protocol.h"
#include "net/sign_on_message.h"

namespace SignOn {

QString DefaultTitle()
{
    return QStringLiteral("Nimbrel");
}
QString MaintainerEmail()
{
    return QStringLiteral("support@nimbrel.example.org");
}

const QStringList &StateList()
{
    static const QStringList states = {
        QStringLiteral("AK"), QStringLiteral("AL"), QStringLiteral("AR"),
        QStringLiteral("AZ"), QStringLiteral("CA"), QStringLiteral("CO"),
        QStringLiteral("CT"), QStringLiteral("DE"), QStringLiteral("FL"),
        QStringLiteral("GA"), QStringLiteral("HI"), QStringLiteral("IA"),
        QStringLiteral("ID"), QStringLiteral("IL"), QStringLiteral("IN"),
        QStringLiteral("KS"), QStringLiteral("KY"), QStringLiteral("LA"),
        QStringLiteral("MA"), QStringLiteral("MD"), QStringLiteral("ME"),
        QStringLiteral("MI"), QStringLiteral("MN"), QStringLiteral("MO"),
        QStringLiteral("MS"), QStringLiteral("MT"), QStringLiteral("NC"),
        QStringLiteral("ND"), QStringLiteral("NE"), QStringLiteral("NH"),
        QStringLiteral("NJ"), QStringLiteral("NM"), QStringLiteral("NV"),
        QStringLiteral("NY"), QStringLiteral("OH"), QStringLiteral("OK"),
        QStringLiteral("OR"), QStringLiteral("PA"), QStringLiteral("RI"),
        QStringLiteral("SC"), QStringLiteral("SD"), QStringLiteral("TN"),
        QStringLiteral("TX"), QStringLiteral("UT"), QStringLiteral("VA"),
        QStringLiteral("VT"), QStringLiteral("WA"), QStringLiteral("WI"),
        QStringLiteral("WV"), QStringLiteral("WY"), QString(),
        QStringLiteral("AB"), QStringLiteral("BC"), QStringLiteral("MB"),
        QStringLiteral("NL"), QStringLiteral("NS"), QStringLiteral("ON"),
        QStringLiteral("PE"), QStringLiteral("QC"), QStringLiteral("SK"),
    };
    return states;
}

int MaxLength(SignOnField field)
{
    switch (field) {
    case SignOnField::None:
    case SignOnField::txtState:
        return 0;
    case SignOnField::txtZip:
        return 12;
    default:
        return 40;
    }
}

bool AcceptKey(SignOnField field, QChar key)
{
    // The settings file cannot hold a double quote.
    if (key == u'"')
        return false;
    if (field == SignOnField::txtUsername || field == SignOnField::txtPassword)
        return key != u' ' && key != u'\'' && key != u'|' && key != u':' && key != u'^';
    return true;
}

QString NormalizeState(const QString &text)
{
    return text.left(2).toUpper();
}

SignOnForm FormFromProfile(const SettingsRecord &s)
{
    SignOnForm f;
    f.firstName = s.FirstName;
    f.middleInitial = s.MiddleInitial;
    f.lastName = s.LastName;
    f.address = s.Address;
    f.city = s.City;
    f.email = s.Email;
    f.state = s.UserState;
    f.county = s.UserCounty;
    f.zip = s.UserZip;
    f.currentLocation = s.UserLocation;
    f.userName = s.UserName;
    f.rememberPassword = s.RememberPassword != 0;
    f.hidePassword = s.HidePassword != 0;
    if (f.rememberPassword)
        f.password = s.Password;
    return f;
}

SignOnForm TrimForLogIn(const SignOnForm &form)
{
    SignOnForm f = form;
    f.state = NormalizeState(f.state);
    for (QString *box : {&f.firstName, &f.middleInitial, &f.lastName, &f.address, &f.city, &f.email, &f.state,
                         &f.county, &f.zip, &f.currentLocation, &f.userName, &f.password})
        *box = box->trimmed();
    f.state.truncate(20);
    return f;
}

namespace {
QString requiredText()
{
    return QStringLiteral("User Name and password required.");
}
} // namespace

SignOnCheck ValidateLogIn(const SignOnForm &f)
{
    if (f.userName.isEmpty() || f.password.isEmpty())
        return {requiredText(), DefaultTitle(), SignOnField::None};
    const std::pair<const QString *, SignOnField> required[] = {
        {&f.firstName, SignOnField::txtFName}, {&f.lastName, SignOnField::txtLName},
        {&f.address, SignOnField::txtAddress}, {&f.city, SignOnField::txtCity},
        {&f.county, SignOnField::txtCounty},   {&f.state, SignOnField::txtState},
        {&f.zip, SignOnField::txtZip},         {&f.email, SignOnField::txtEmail},
    };
    for (const auto &[text, field] : required) {
        if (text->isEmpty())
            return {QStringLiteral("Required Field!"), DefaultTitle(), field};
    }
    return {};
}

void StoreProfile(const SignOnForm &f, SettingsRecord &s)
{
    s.FirstName = f.firstName;
    s.MiddleInitial = f.middleInitial;
    s.LastName = f.lastName;
    s.Address = f.address;
    s.City = f.city;
    s.UserCounty = f.county;
    s.UserState = f.state;
    s.UserZip = f.zip;
    s.Email = f.email;
    s.UserLocation = f.currentLocation;
    s.UserName = EscapeOutgoing(f.userName);
    s.Password = EscapeOutgoing(f.password);
    s.RememberPassword = f.rememberPassword ? 1 : 0;
    s.HidePassword = f.hidePassword ? 1 : 0;
}

SignOnCheck ValidateNewAccount(const SignOnForm &f, bool signedOn)
{
    if (f.userName.trimmed().isEmpty() || f.password.trimmed().isEmpty())
        return {requiredText(), DefaultTitle(), SignOnField::None};
    if (signedOn)
        return {QStringLiteral("You are already logged in."), QStringLiteral("Already Logged In."),
                SignOnField::None};
    return {};
}

namespace {
SignOnMessage::Profile profile(const SettingsRecord &s)
{
    return {s.UserName, s.Password,   s.FirstName, s.MiddleInitial, s.LastName, s.Address,
            s.City,     s.UserCounty, s.UserState, s.UserZip,       s.Email,    s.UserLocation};
}
} // namespace

QString BuildSignOnMessage(const SettingsRecord &settings, const QString &clientVersion)
{
    return SignOnMessage::Build(profile(settings), clientVersion);
}

QString BuildReSignOnMessage(const SettingsRecord &settings)
{
    return SignOnMessage::Build(profile(settings));
}

QString BuildNewAccountMessage(const SettingsRecord &settings)
{
    return ServerMessage(u"NEW", {settings.UserName, settings.Password});
}

QString BuildForgotMessage(const QString &userName)
{
    return ServerMessage(u"FGT", {userName});
}

QString ForgotText()
{
    return QStringLiteral("Your password will be automatically e-mailed to the address you "
                          "specified last time you successfully logged on.  Please be sure to "
                          "disable any spam filtering such as Earthlink's spam blocker for "
                          "e-mail, etc. from ") +
           MaintainerEmail() + QLatin1Char('.');
}

QString ForgotTitle()
{
    return QStringLiteral("Your password will be sent by e-mail.");
}

QString ForgotAgainText()
{
    return QStringLiteral("You have already submitted a request for your password to be e-mailed to you.");
}

} // namespace SignOn

SignOnActions::SignOnActions(ClientState &state, std::function<void()> saveSettings,
                             std::function<void(const QString &)> queuePending)
    : m_state(state), m_saveSettings(std::move(saveSettings)), m_queuePending(std::move(queuePending))
{
}

SignOnActions::Outcome SignOnActions::LogIn(const SignOnForm &form)
{
    Outcome out;
    out.form = SignOn::TrimForLogIn(form);
    out.check = SignOn::ValidateLogIn(out.form);
    if (!out.check.accepted())
        return out;
    SignOn::StoreProfile(out.form, m_state.settings);
    out.hideForm = true;
    // The user saves his profile: an unreadable old file may now be replaced.
    m_state.settingsUnreadable = false;
    if (m_saveSettings)
        m_saveSettings();
    if (!m_state.signedOn && m_queuePending)
        m_queuePending(SignOn::BuildSignOnMessage(m_state.settings, ClientState::ClientVersion));
    out.showMainWindow = true;
    return out;
}

SignOnActions::Outcome SignOnActions::NewAccount(const SignOnForm &form)
{
    Outcome out;
    out.form = form;
    out.form.county = form.county.trimmed();
    out.form.state = form.state.trimmed();
    out.form.userName = form.userName.trimmed();
    out.form.password = form.password.trimmed();
    m_state.settings.UserCounty = out.form.county;
    m_state.settings.UserState = out.form.state;
    out.check = SignOn::ValidateNewAccount(out.form, m_state.signedOn);
    if (!out.check.accepted())
        return out;
    m_state.settingsUnreadable = false;
    if (m_saveSettings)
        m_saveSettings();
    m_state.settings.UserName = EscapeOutgoing(out.form.userName);
    m_state.settings.Password = EscapeOutgoing(out.form.password);
    out.hideForm = true;
    if (m_queuePending)
        m_queuePending(SignOn::BuildNewAccountMessage(m_state.settings));
    out.showMainWindow = true;
    return out;
}

SignOnActions::Outcome SignOnActions::Forgot(const SignOnForm &form)
{
    Outcome out;
    out.form = form;
    if (m_state.passwordRequested) {
        out.check = {SignOn::ForgotAgainText(), SignOn::DefaultTitle(), SignOnField::None};
        return out;
    }
    out.check = {SignOn::ForgotText(), SignOn::ForgotTitle(), SignOnField::None};
    m_state.passwordRequested = true;
    m_state.settings.UserName = form.userName;
    if (m_queuePending)
        m_queuePending(SignOn::BuildForgotMessage(m_state.settings.UserName));
    out.showMainWindow = true;
    return out;
}

SignOnReplies::SignOnReplies(ClientState &state, std::function<void()> saveSettings, QObject *parent)
    : QObject(parent), m_state(state), m_saveSettings(std::move(saveSettings))
{
}

void SignOnReplies::registerOn(Dispatcher &dispatcher)
{
    dispatcher.setHandler(u"SGN", [this](const QString &m) { HandleSignOnReply(m); });
    dispatcher.setHandler(u"NEW", [this](const QString &m) { HandleNewAccountReply(m); });
}

void SignOnReplies::HandleSignOnReply(const QString &message)
{
    const QString code = FieldAt(SplitFields(message), 0);
    // The answer ends the wait: the queued sign-on is no longer re-sent.
    const bool answered = code.size() == 1 && code >= u"1" && code <= u"5";
    if (answered && m_state.pendingMessage.startsWith(u":SGN|"))
        m_state.pendingMessage.clear();
    // Not signed on, though the link is up: the status line must not keep
    // "Welcome" or the wait for the answer.
    if (code == u"1" || code == u"2" || code == u"4")
        emit statusChanged(QStringLiteral("Connected"), StatusStyle::Normal);
    if (code == u"1") {
        emit signOnFormRequested();
        emit messageBoxRequested(QStringLiteral("User name is not valid."),
                                 QStringLiteral("User Name Not Valid"), false);
    } else if (code == u"2") {
        emit signOnFormRequested();
        emit messageBoxRequested(QStringLiteral("Invalid password"), QStringLiteral("Invalid Password."),
                                 false);
    } else if (code == u"3") {
        m_state.signedOn = true;
        emit statusChanged(QStringLiteral("Welcome ") + m_state.settings.UserName + QLatin1Char('!'),
                           StatusStyle::Normal);
    } else if (code == u"4") {
        m_state.signedOn = false;
        emit signOnFormRequested();
        emit messageBoxRequested(QStringLiteral("You are already logged in."),
                                 QStringLiteral("Only One Log In Per User Please"), false);
    } else if (code == u"5") {
        m_state.signedOn = false;
        m_state.settings.Ineligible = 1;
        if (m_saveSettings)
            m_saveSettings();
        emit messageBoxRequested(QStringLiteral("You are no longer eligible to use of this service."),
                                 QStringLiteral("You are no longer eligible to use this service."), true);
    }
}

void SignOnReplies::HandleNewAccountReply(const QString &message)
{
    emit signOnFormRequested();
    const QString code = FieldAt(SplitFields(message), 0);
    if (code == u"1") {
        emit messageBoxRequested(
            QStringLiteral("Account successfully created.  Please click Log In to complete the "
                           "log in process."),
            QStringLiteral("Account Successfully Created"), false);
    } else if (code == u"2") {
        emit messageBoxRequested(
            QStringLiteral("User name already exists.  Please try another user name.  If you "
                           "have already created an account, please click Log In."),
            QStringLiteral("Username Already Exists."), false);
    }
}
