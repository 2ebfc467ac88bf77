#include "reports/report_composer.h"

#include "base/client_state.h"
#include "base/content_filters.h"
#include "net/message_sender.h"
#include "net/protocol.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "reports/report_text.h"

ReportComposer::ReportComposer(ClientState &state, const Clock &clock, Dialogs &dialogs,
                               MessageSender &sender)
    : m_state(state), m_clock(clock), m_dialogs(dialogs), m_sender(sender),
      m_lastReportTime(QDate(1980, 1, 1), QTime(0, 0))
{
}

QString ReportComposer::WithPhrase(const QString &boxText, const QString &phrase, bool append)
{
    return append ? boxText.trimmed() + QStringLiteral(" > ") + phrase : phrase;
}

QString ReportComposer::BuildReportMessage(const QString &text, bool severe, const SettingsRecord &profile)
{
    QString body = EscapeOutgoing(text);
    if (!severe)
        body.prepend(QStringLiteral("R: "));
    return ServerMessage(u"RPT", {body, EscapeOutgoing(profile.UserState), EscapeOutgoing(profile.UserCounty),
                                  EscapeOutgoing(profile.UserZip), profile.UserName,
                                  EscapeOutgoing(profile.UserLocation)});
}

bool ReportComposer::CheckReportInterval() const
{
    if (m_lastReportMs < 0 || (m_clock.monotonicMs() - m_lastReportMs) / 1000 > MinimumIntervalSeconds)
        return false;
    const QString when = GeneralDateTime(m_lastReportTime);
    const QString title = QStringLiteral("Please wait at least one minute before sending another report.");
    m_dialogs.messageBox(title + QStringLiteral("  The time of your last report was ") + when + u'.', title,
                         Dialogs::OkOnly);
    return true;
}

ReportComposer::Result ReportComposer::Send(const QString &boxText, bool severe)
{
    const QString text = TrimSpaces(boxText);
    if (text.isEmpty())
        return {Outcome::Empty, text, false};
    if (!m_state.signedOn)
        return {Outcome::NotSignedOn, text, false};
    const bool tornado = text.toUpper().contains(u"TORNADO");
    if (!tornado && CheckReportInterval())
        return {Outcome::TooSoon, text, severe};
    if (ProfanityCheck(text, m_dialogs))
        return {Outcome::Offensive, QString(), severe};
    if (!m_sender.SendTyped(BuildReportMessage(text, severe, m_state.settings)))
        return {Outcome::NotSent, text, severe};
    // A tornado report leaves the interval as it was.
    if (!tornado) {
        m_lastReportMs = m_clock.monotonicMs();
        m_lastReportTime = m_clock.localNow();
    }
    return {Outcome::Sent, QString(), false};
}
