#pragma once

#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QTime>

#include <optional>

class BlockedUsers;

namespace Messages {
inline constexpr int PaneCap = 15'000;
inline constexpr int MaxGroups = 1'000;
inline const QString QuickChatAddress = QStringLiteral("QUICKCHAT");
inline const QString EveryMessageGroup = QStringLiteral("&(2)ALL&");
// One away reply to each sender within this time.
inline constexpr int AwayReplyQuietSeconds = 5 * 60;
QString AwayText();
QString InitialMessageText();
QString HelpText();
QString GroupListFullMessage();
} // namespace Messages

// What the messenger shows at the moment a message arrives.
struct MessengerView
{
    QString userName; // as stored and as it travels, escaped
    QStringList groupList;
    QStringList filterList;
    bool windowVisible = false;
    bool dontMoveToFront = false; // Check1
    bool away = false;            // chkAway
    QString messageBox;           // txtMsg: what an away reply sends
    QTime localTime;
    QDateTime now; // for the away-reply guard
};

// The senders answered lately by an away reply. Two away clients with
// different texts would answer each other for ever; with at most one reply
// to each sender within the quiet time, every exchange of automatic
// replies ends after one reply each way.
class AwayReplies final
{
public:
    // True, and remembered, when the sender may be answered now.
    bool mayAnswer(const QString &sender, const QDateTime &now);

private:
    QHash<QString, QDateTime> m_answered; // upper-cased sender: when
};

// What an inbound MSG or SMG makes the messenger do.
struct MessageDecision
{
    bool dropped = false;               // blocked sender: nothing at all happens
    QString line;                       // the message line: chat, monitor and log
    bool showInChat = false;            // ShowInChatWindow(line)
    bool showWindow = false;            // make the messenger visible
    std::optional<QString> toBox;       // put into txtCall
    QString quickChatLine;              // non-empty for quick chat
    std::optional<QString> awayReplyTo; // send the message box to this user
    bool activeChat = false;            // UpdateList(from, to)
    QString from, to;
    QString statusLine; // held status line, flashed white on blue; empty: none
    bool monitor = false;
    // Someone else wrote to the user or to one of his groups: worth a
    // desktop notification.
    bool forUser = false;
    QString text;
};

// "h:nn AMPM"
QString MessageTime(const QTime &time);
QString MessageLine(const QString &sender, const QString &addressee, const QString &text, const QTime &time);
MessageDecision HandleMessage(const QString &message, const MessengerView &view, BlockedUsers &blocked,
                              AwayReplies &awayReplies);
MessageDecision HandleSystemMessage(const QString &message, const MessengerView &view);

// The word under the caret of a pane, for the To box.
QString PickNameFromText(const QString &text, int caret);

// The text a send needs a Yes to, or nothing: ALL and SOS in any case.
struct SendQuestion
{
    QString title;
    QString text;
};
std::optional<SendQuestion> SendConfirmation(const QString &to);

// Appends to the message log; the system's description of the failure, or
// nothing when it was written.
std::optional<QString> AppendMessageLog(const QString &path, const QString &text);
