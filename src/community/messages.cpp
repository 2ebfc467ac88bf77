#include "community/messages.h"

#include "base/content_filters.h"
#include "base/file_lines.h"
#include "base/wire_codec.h"
#include "net/protocol.h"

#include <QFile>

using namespace Qt::StringLiterals;

QString Messages::AwayText()
{
    return u"Thanks for your message.  I'm away right now, but I'll look for you on Nimbrel when I return!"_s;
}

QString Messages::InitialMessageText()
{
    return u"Type your message here and press Enter to send!\r\n"_s;
}

QString Messages::HelpText()
{
    static const char16_t *const paragraphs[] = {
        u"Use this form to send messages to individuals or groups.  Messages addressed specifically to a "
        u"user will be displayed to that user.  In addition, messages addressed to a group will be displayed "
        u"to everyone who has the group name in their message list.  The recipient must have the group name "
        u"that you are sending to in his list to receive group messages.",
        u"This is an ideal function to quickly disseminate information to your entire area.  This also "
        u"allows users to quickly create and join in group discussions as needed on the fly.",
        u"A user must have the group name in the message list to receive messages addressed to the group of "
        u"interest.  Double click to remove a group.  Type a new group and press enter to add a group.",
        u"The messaging feature, even when addressed to a specific user, should never be considered "
        u"confidential.  Anyone who has added your user name to their group list will also receive messages "
        u"sent to you.",
        u"Only send a message addressed to SOS when there is an immediate need for action to save lives or "
        u"avert serious property damage.  Messages addressed to ALL should be used rarely and for specific "
        u"information applying to the entire Nimbrel community.  Instead, use WXCHAT for  general group "
        u"discussion.",
        u"To quickly update your To: field, click on the user name in this text box.",
        u"Abuse of the messaging system, or any other Nimbrel function will result in the loss of privilege "
        u"to use the Nimbrel system.",
        u"If for any reason you no longer wish to receive messages from a specific user, click Observers > "
        u"Filter from the main form's menu options.",
    };
    QString text;
    for (const char16_t *p : paragraphs) {
        text += QString::fromUtf16(p);
        text += u"\r\n\r\n"_s;
    }
    text += u"\r\n"_s;
    return text;
}

QString Messages::GroupListFullMessage()
{
    return u"The group list is full (1,000 groups).  Remove a group before adding another."_s;
}

QString MessageTime(const QTime &time)
{
    const int h = time.hour() % 12 == 0 ? 12 : time.hour() % 12;
    return QString::number(h) + u':' + QString::number(time.minute()).rightJustified(2, u'0') +
           (time.hour() < 12 ? u" AM"_s : u" PM"_s);
}

QString MessageLine(const QString &sender, const QString &addressee, const QString &text, const QTime &time)
{
    // The wide spacing (three blanks after the colon) is the layout users' message logs have always had.
    return sender + u" to "_s + addressee + u":   "_s + MessageTime(time) + u"\r\n"_s + text;
}

bool AwayReplies::mayAnswer(const QString &sender, const QDateTime &now)
{
    // Forget the senders past their quiet time, so the table stays small.
    m_answered.removeIf(
        [&](const auto &entry) { return entry.value().secsTo(now) >= Messages::AwayReplyQuietSeconds; });
    const QString key = sender.toUpper();
    if (m_answered.contains(key))
        return false;
    m_answered.insert(key, now);
    return true;
}

MessageDecision HandleMessage(const QString &message, const MessengerView &view, BlockedUsers &blocked,
                              AwayReplies &awayReplies)
{
    MessageDecision d;
    const QStringList fields = SplitFields(message);
    const QString addressee = FieldAt(fields, 0);
    const QString sender = FieldAt(fields, 1);
    if (blocked.IsBlocked(view.filterList, sender)) {
        d.dropped = true;
        return d;
    }
    const QString text = CleanIncoming(FieldAt(fields, 2));
    const QString to = addressee.toUpper();
    const QString me = view.userName.toUpper();
    const bool quickChat = to == Messages::QuickChatAddress;
    const bool fromMe = sender.toUpper() == me;

    bool forMe = false;
    QString group;
    if (!quickChat) {
        if (fromMe || to == me) {
            forMe = true;
        } else {
            for (const QString &entry : view.groupList) {
                const QString upper = entry.toUpper();
                if (upper == to || upper == Messages::EveryMessageGroup) {
                    forMe = true;
                    group = to;
                    break;
                }
            }
        }
    }
    if (quickChat)
        d.quickChatLine = sender + u":   "_s + text + u"  "_s + MessageTime(view.localTime);

    d.line = MessageLine(sender, addressee, text, view.localTime);
    if (forMe) {
        d.forUser = !fromMe;
        d.text = text;
        d.showInChat = true;
        d.showWindow = !view.dontMoveToFront;
        if (!view.windowVisible && !fromMe)
            d.toBox = group.isEmpty() ? sender : group;
    }
    // An away reply is itself a direct message: answering our own messages, a
    // message that carries an away text, or a sender answered lately would
    // let two away clients (or one writing to itself) answer each other
    // without end.
    if (!quickChat && to == me && view.away && view.messageBox.size() > 1 && !fromMe &&
        text != view.messageBox && text != Messages::AwayText() && awayReplies.mayAnswer(sender, view.now))
        d.awayReplyTo = sender;

    d.activeChat = true;
    d.from = sender;
    d.to = addressee;
    d.statusLine = u"Active Chat  -  From: "_s + sender + u"  To: "_s + addressee + u" - "_s + text;
    d.monitor = true;
    return d;
}

MessageDecision HandleSystemMessage(const QString &message, const MessengerView &view)
{
    MessageDecision d;
    const QStringList fields = SplitFields(message);
    d.line = MessageLine(FieldAt(fields, 1), FieldAt(fields, 0), CleanIncoming(FieldAt(fields, 2)),
                         view.localTime);
    d.showInChat = true;
    d.showWindow = !view.dontMoveToFront;
    d.monitor = true;
    return d;
}

QString PickNameFromText(const QString &text, int caret)
{
    caret = qBound(0, caret, int(text.size()));
    int end = caret;
    while (end < text.size() && text[end] != u' ' && text[end] != u'\r' && text[end] != u'\n')
        ++end;
    QString forward = text.mid(caret, end - caret);
    if (forward.endsWith(u':'))
        forward.chop(1);
    int start = caret;
    while (start > 0 && text[start - 1] != u' ' && text[start - 1] != u'\n' && text[start - 1] != u'\r')
        --start;
    return text.mid(start, caret - start) + forward;
}

std::optional<SendQuestion> SendConfirmation(const QString &to)
{
    const QString upper = to.toUpper();
    if (upper == u"ALL"_s)
        return SendQuestion{
            u"Confirm Send to All"_s,
            u"Everyone connected to Nimbrel will receive messages sent to ALL.  Are you sure that you want to send this message?"_s};
    if (upper == u"SOS"_s)
        return SendQuestion{
            u"Confirm Send to SOS"_s,
            u"Everyone connected to Nimbrel will receive messages sent to SOS.  Messages sent to SOS are a request for aid in an emergency situation.  Are you sure that you want to send this message?"_s};
    return std::nullopt;
}

std::optional<QString> AppendMessageLog(const QString &path, const QString &text)
{
    return FileLines::appendLines(path, WireCodec::encode(text));
}
