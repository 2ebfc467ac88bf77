#pragma once

#include <QDateTime>
#include <QString>

class Clock;
class Dialogs;
class MessageSender;
struct ClientState;
struct SettingsRecord;

// What pressing Send does with the report box: the interval since the last
// report (tornado reports skip it), the offensive-word check, the "R: "
// prefix for reports not marked severe, and the RPT message.
class ReportComposer final
{
public:
    enum class Outcome { Empty, NotSignedOn, TooSoon, Offensive, NotSent, Sent };
    struct Result
    {
        Outcome outcome;
        QString boxText; // what the report box holds afterwards
        bool severe;     // the state of chkSevere afterwards
    };

    static constexpr qint64 MinimumIntervalSeconds = 40;
    static constexpr int MaxLength = 200;

    ReportComposer(ClientState &state, const Clock &clock, Dialogs &dialogs, MessageSender &sender);

    // cmdSend_Click on the box's text and the severe mark. NotSignedOn asks
    // the caller to show the sign-on window. NotSent: the link is down, the
    // text stays in the box and the interval is not used up.
    Result Send(const QString &boxText, bool severe);

    // True (and the wait message shown) when the last report is 40 seconds
    // old or less, measured on the monotonic clock so that setting the wall
    // clock does not move it.
    bool CheckReportInterval() const;

    // ":RPT|" + text + profile fields; the text is escaped here and gets
    // "R: " when not severe. The observer name goes out unescaped.
    static QString BuildReportMessage(const QString &text, bool severe, const SettingsRecord &profile);

    // The report box after a phrase is picked from a phrase list: appended
    // after " > " (Ctrl held), otherwise in place of the box's text.
    static QString WithPhrase(const QString &boxText, const QString &phrase, bool append);

private:
    ClientState &m_state;
    const Clock &m_clock;
    Dialogs &m_dialogs;
    MessageSender &m_sender;
    QDateTime m_lastReportTime; // wall clock, for the wait message
    qint64 m_lastReportMs = -1; // monotonic; -1 before the first report
};
