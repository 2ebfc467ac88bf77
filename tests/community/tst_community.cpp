#include "community/active_chats.h"
#include "community/messages.h"
#include "community/observers.h"
#include "fakes.h"
#include "net/blocked_senders.h"
#include "net/protocol.h"

#include "test_files.h"

#include <QtTest>

QStringList rows(const ActiveChatsModel &m)
{
    QStringList out;
    for (int r = 0; r < m.rowCount(); ++r)
        out << m.index(r, 0).data().toString() + u' ' + m.index(r, 1).data().toString() + u'<' +
                   m.index(r, 2).data().toString();
    return out;
}

QString gob(const QString &user, const QString &count = QString(), const QString &county = u"Harford"_s)
{
    return ServerMessage(u"GOB", {u"md"_s, EscapeOutgoing(county), u"21014"_s, user, count});
}
QString dob(const QString &user)
{
    return ServerMessage(u"DOB", {u"md"_s, u"Harford"_s, u"21014"_s, user});
}

// Chat, observers and the filters over them, without windows.
class TstCommunity : public QObject
{
    Q_OBJECT
private slots:
    // Flags of a row: what the view is (v visible, a away) and what the
    // message does (c shown in chat, q quick chat, d dropped). The To box
    // is "-" when left untouched.
    void decision_data()
    {
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("groups");
        QTest::addColumn<QString>("flags");
        QTest::addColumn<QString>("toBox");
        QTest::addColumn<QString>("reply");
        QTest::addColumn<int>("answeredAgo"); // seconds since the last away reply to the sender
        const QStringList std{u"ALL"_s, u"WXCHAT"_s};
        const auto row = [&](const char *name, const char *to, const char *from, const char *flags,
                             const char *toBox, const char *reply = "", const QStringList &groups = {},
                             const QString &text = u"hi"_s, int answeredAgo = -1) {
            QTest::newRow(name) << to << from << text << (groups.isEmpty() ? std : groups) << flags << toBox
                                << reply << answeredAgo;
        };
        row("to me, other case", "me", "BOB", "cn", "BOB");
        row("own echo, To box kept", "CAROL", "Me", "c", "-");
        row("visible window keeps To box", "ME", "BOB", "vcn", "-");
        row("my group, group in To box", "wxchat", "BOB", "cn", "WXCHAT");
        row("other group: monitor only", "SKYWARN", "BOB", "", "-");
        row("every message group", "SKYWARN", "BOB", "cn", "SKYWARN", "", {u"&(2)all&"_s});
        row("quick chat never in chat", "QuickChat", "BOB", "aq", "-", "", {u"&(2)ALL&"_s, u"QUICKCHAT"_s});
        row("blocked sender", "ME", "troll", "ad", "-");
        row("away answers direct", "ME", "BOB", "acn", "BOB", "BOB");
        row("away ignores group", "ALL", "BOB", "acn", "ALL");
        row("away ignores own message", "ME", "me", "ac", "-");
        row("away ignores away reply", "ME", "BOB", "acn", "BOB", "", {}, Messages::AwayText());
        // two away clients with different texts: each answers the other once
        row("away: once per sender", "ME", "bob", "acn", "bob", "", {}, u"out"_s, 299);
        row("away: again after five minutes", "ME", "BOB", "acn", "BOB", "BOB", {}, u"out"_s, 301);
    }
    void decision()
    {
        QFETCH(QString, to);
        QFETCH(QString, from);
        QFETCH(QString, text);
        QFETCH(QStringList, groups);
        QFETCH(QString, flags);
        QFETCH(int, answeredAgo);
        const QDateTime now(QDate(2026, 12, 6), QTime(21, 5), Qt::UTC);
        AwayReplies answered;
        if (answeredAgo >= 0)
            QVERIFY(answered.mayAnswer(u"BOB"_s, now.addSecs(-answeredAgo)));
        MessengerView view{u"Me"_s,
                           groups,
                           {u"TROLL"_s},
                           flags.contains(u'v'),
                           false,
                           flags.contains(u'a'),
                           Messages::AwayText(),
                           QTime(21, 5),
                           now};
        BlockedUsers blocked;
        const QString wire = ServerMessage(u"MSG", {to, from, EscapeOutgoing(text)});
        const MessageDecision d = HandleMessage(wire, view, blocked, answered);
        QCOMPARE(d.dropped, flags.contains(u'd'));
        QCOMPARE(d.showInChat, flags.contains(u'c'));
        QCOMPARE(d.forUser, flags.contains(u'n')); // a desktop notification
        QTEST(d.toBox.value_or(u"-"_s), "toBox");
        QCOMPARE(!d.quickChatLine.isEmpty(), flags.contains(u'q'));
        QTEST(d.awayReplyTo.value_or(QString()), "reply");
        QCOMPARE(d.monitor, !d.dropped);
        QCOMPARE(d.activeChat, !d.dropped);
        QCOMPARE(d.statusLine.isEmpty(), d.dropped);
        if (!d.dropped)
            QCOMPARE(d.line, from + u" to "_s + to + u":   9:05 PM\r\n"_s + text);
    }

    void pickName_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("caret");
        QTest::addColumn<QString>("name");
        QTest::newRow("sender, colon dropped") << "x\r\nBOB to ME:   9:05 PM" << 4 << "BOB";
        QTest::newRow("addressee with colon") << "BOB to ME:   9:05 PM" << 8 << "ME";
        QTest::newRow("start of text") << "BOB to" << 0 << "BOB";
        QTest::newRow("on a space") << "BOB to" << 3 << "BOB";
    }
    void pickName()
    {
        QFETCH(QString, text);
        QFETCH(int, caret);
        QTEST(PickNameFromText(text, caret), "name");
    }

    void messageLog()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"Messages.txt"_s);
        QVERIFY(!AppendMessageLog(path, u"one\r\n"_s));
        QVERIFY(!AppendMessageLog(path, u"two|\r\n"_s));
        QCOMPARE(TestFiles::read(path), "one\r\ntwo|\r\n"_ba);
        QVERIFY(AppendMessageLog(dir.filePath(u"missing/Messages.txt"_s), u"x"_s).has_value());
        QVERIFY(AppendMessageLog(u"/dev/full"_s, u"x\r\n"_s).has_value());
        // An entry cut short by a full disk: the next one starts on a line of its own.
        QVERIFY(TestFiles::write(path, "one\r\ntw"));
        QVERIFY(!AppendMessageLog(path, u"three\r\n"_s));
        QCOMPARE(TestFiles::read(path), "one\r\ntw\r\nthree\r\n"_ba);
    }

    void profanity_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("refused");
        QTest::newRow("exactly the word, mixed case") << "ShIt" << true;
        QTest::newRow("start then space") << "shit happens" << true;
        QTest::newRow("start then letter") << "shitake mushrooms" << false;
        QTest::newRow("middle between spaces") << "oh shit here" << true;
        QTest::newRow("middle then bang at end") << "oh shit!" << false;
        QTest::newRow("end after space") << "oh shit" << true;
        QTest::newRow("inside word") << "bullshitting" << false;
        QTest::newRow("first inside a word, later alone") << "bullshit and shit here" << false;
        QTest::newRow("first after space in word, text ends with word") << "x shitty bullshit" << true;
        QTest::newRow("two words one space") << "well god damn it" << true;
        QTest::newRow("two words two spaces") << "well god  damn it" << false;
        QTest::newRow("line break is no boundary") << "oh\nshit\nhere" << false;
        QTest::newRow("three letter word alone") << "fag" << true;
    }
    void profanity()
    {
        QFETCH(QString, text);
        QTEST(FindOffensiveWord(text) >= 0, "refused");
    }

    void profanityShowsOneBox()
    {
        FakeDialogs dialogs;
        QVERIFY(ProfanityCheck(u"shit and fuck you"_s, dialogs));
        QVERIFY(!ProfanityCheck(u"clear skies"_s, dialogs));
        QCOMPARE(dialogs.shown.size(), 1);
        QCOMPARE(dialogs.shown[0].text, u"Please, no cursing."_s);
        QCOMPARE(dialogs.shown[0].buttons, Dialogs::OkOnly);
    }

    void screening_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("blocked");
        const QStringList rpt{u"text"_s, u"MD"_s, u"HARFORD"_s, u"1"_s, u"TROLL"_s, u"x"_s, u""_s};
        QTest::newRow("rpt") << ServerMessage(u"RPT", rpt) << true;
        QTest::newRow("gld") << ServerMessage(u"GLD", rpt) << true;
        QTest::newRow("msg sender") << ServerMessage(u"MSG", {u"ALL"_s, u"troll"_s, u"hi"_s}) << true;
        QTest::newRow("msg addressee only")
            << ServerMessage(u"MSG", {u"TROLL"_s, u"JOE"_s, u"hi"_s}) << false;
        QTest::newRow("rpa") << ServerMessage(u"RPA",
                                              {u"70"_s, u"5"_s, u"9"_s, u"N"_s, u"30.1"_s, u"Cumulus"_s,
                                               u"MD"_s, u"HARFORD"_s, u"1"_s, u"TROLL"_s, u"x"_s})
                             << true;
        QTest::newRow("observer on") << ServerMessage(u"GOB", {u"TROLL"_s}) << false;
        QTest::newRow("name with space")
            << ServerMessage(u"RPT", {u"t"_s, u""_s, u""_s, u""_s, u"TROLL "_s}) << false;
    }
    void screening()
    {
        QFETCH(QString, message);
        BlockedUsers users;
        QTEST(IsFromBlockedUser(message, {u"bob"_s, u"troll"_s}, users), "blocked");
    }

    void blockedListChangesAreSeen()
    {
        BlockedUsers users;
        QStringList list{u"A"_s};
        QVERIFY(users.IsBlocked(list, u"a"_s));
        list[0] = u"B"_s;
        QVERIFY(!users.IsBlocked(list, u"a"_s));
        QVERIFY(users.IsBlocked(list, u"b"_s));
    }

    void listLimits_data()
    {
        QTest::addColumn<int>("max");
        QTest::addColumn<int>("existing");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("result");
        using R = ListEntryResult;
        QTest::newRow("filter room") << ContentFilters::MaxFilterEntries << 1999 << "X" << int(R::Added);
        QTest::newRow("filter full") << ContentFilters::MaxFilterEntries << 2000 << "X" << int(R::Full);
        QTest::newRow("counties full")
            << ContentFilters::MaxAdditionalCounties << 1000 << "MD X" << int(R::Full);
        QTest::newRow("blank") << 10 << 0 << "   " << int(R::Blank);
        QTest::newRow("kept as typed") << 10 << 0 << " MD " << int(R::Added);
    }
    void listLimits()
    {
        QFETCH(int, max);
        QFETCH(int, existing);
        QFETCH(QString, typed);
        QFETCH(int, result);
        QStringList list;
        for (int i = 0; i < existing; ++i)
            list << QString::number(i);
        QCOMPARE(int(AddListEntry(list, typed, max)), result);
        const bool added = result == int(ListEntryResult::Added);
        QCOMPARE(list.size(), existing + (added ? 1 : 0));
        if (added)
            QCOMPARE(list.last(), typed);
    }

    void pairsAndOrder()
    {
        ActiveChatsModel m;
        const QDateTime t0(QDate(2026, 12, 6), QTime(9, 5, 7));
        m.UpdateList(u"SPOTTER7"_s, u"WXCHAT"_s, t0);
        m.UpdateList(u"SPOTTER2"_s, u"SPOTTER7"_s, t0.addSecs(60));
        m.UpdateList(u"spotter7"_s, u"WXCHAT"_s, t0.addSecs(120));
        // the first pair again, five minutes on: one row, moved to the top
        m.UpdateList(u"SPOTTER7"_s, u"WXCHAT"_s, t0.addSecs(300));
        QCOMPARE(rows(m), (QStringList{u"2026-12-06 09:10:07 WXCHAT<SPOTTER7"_s,
                                       u"2026-12-06 09:07:07 WXCHAT<spotter7"_s,
                                       u"2026-12-06 09:06:07 SPOTTER7<SPOTTER2"_s}));
        QCOMPARE(m.fromAt(2), u"SPOTTER2"_s);
    }

    void purge_data()
    {
        QTest::addColumn<int>("ageSeconds");
        QTest::addColumn<bool>("kept");
        QTest::newRow("1 h 59 min") << (2 * 3600 - 60) << true;
        QTest::newRow("exactly 2 h") << (2 * 3600) << true;
        QTest::newRow("2 h 30 s") << (2 * 3600 + 30) << false;
        QTest::newRow("a day") << 86400 << false;
    }
    void purge()
    {
        QFETCH(int, ageSeconds);
        ActiveChatsModel m;
        const QDateTime now(QDate(2026, 12, 7), QTime(0, 30));
        m.UpdateList(u"OLD"_s, u"ALL"_s, now.addSecs(-ageSeconds));
        m.UpdateList(u"NEW"_s, u"ALL"_s, now);
        m.Purge(now);
        QCOMPARE(m.rowCount(), ageSeconds <= 2 * 3600 ? 2 : 1);
        QTEST(m.fromAt(1) == u"OLD"_s, "kept");
        QCOMPARE(m.fromAt(0), u"NEW"_s);
    }

    // Outside listing: who is announced, and the count for the tooltip.
    void signOn_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("count");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("tooltip"); // "-": unchanged
        QTest::newRow("arrival") << u"Spotter7"_s << u"12"_s
                                 << u"New Observer!  -  MD  HARFORD  21014  Spotter7"_s
                                 << u"There are 12 observers currently connected."_s;
        QTest::newRow("own echo: silent")
            << u"Me"_s << u"3"_s << QString() << u"There are 3 observers currently connected."_s;
        QTest::newRow("own name other case: announced")
            << u"ME"_s << QString() << u"New Observer!  -  MD  HARFORD  21014  ME"_s << u"-"_s;
    }
    void signOn()
    {
        QFETCH(QString, user);
        QFETCH(QString, count);
        QFETCH(QString, status);
        ObserverList list;
        const ObserverDecision d = list.HandleObserverSignOn(gob(user, count), u"Me"_s, QTime(21, 5));
        QCOMPARE(d.statusLine, status);
        QCOMPARE(d.newArrival, !status.isEmpty());
        QCOMPARE(d.monitorLine, status.isEmpty() ? QString() : u"9:05 PM\r\n"_s + status);
        QCOMPARE(d.back, status.isEmpty() ? std::nullopt : std::optional(Rgb{0, 0, 0}));
        QTEST(d.countTooltip.value_or(u"-"_s), "tooltip");
    }

    void listing()
    {
        ObserverList list;
        QVERIFY(list.StartListing());
        QVERIFY(!list.StartListing()); // a second click sends no second request
        QCOMPARE(list.HandleObserverSignOn(gob(u"zed"_s), u"Me"_s, {}).insertedAt, 0);
        QCOMPARE(list.HandleObserverSignOn(gob(u"Me"_s, u"2"_s), u"Me"_s, {}).insertedAt, 0);
        // a listed arrival is silent
        const ObserverDecision quiet = list.HandleObserverSignOn(gob(u"bob"_s, {}, u"a|b"_s), u"Me"_s, {});
        QVERIFY(quiet.statusLine.isEmpty());
        QCOMPARE(list.rows(), (QStringList{u"MD  A|B  21014  bob"_s, u"MD  HARFORD  21014  Me"_s,
                                           u"MD  HARFORD  21014  zed"_s}));
        // a departure leaves the list and is still announced, in grey
        const ObserverDecision gone = list.HandleObserverSignOff(dob(u"zed"_s), QTime(9, 0));
        QCOMPARE(gone.removedRows, QList<int>{2});
        QCOMPARE(gone.statusLine, u"Observer Disconnected  -  MD  HARFORD  21014  zed"_s);
        QCOMPARE(gone.back, std::optional(Rgb{128, 128, 128}));
        QCOMPARE(ObserverList::TotalText(list.rows().size()), u"Total = 2"_s);
        QCOMPARE(ObserverRowName(list.rows().at(1)), u"Me"_s);
        QCOMPARE(ObserverRowName(u"NOSPACE"_s), QString());
        QVERIFY(list.HandleObserverSignOff(dob(u"nobody"_s), {}).removedRows.isEmpty());
        list.StopListing();
        QVERIFY(list.StartListing());
        QVERIFY(list.rows().isEmpty()); // emptied only by the next request
    }
};

QTEST_GUILESS_MAIN(TstCommunity)
#include "tst_community.moc"
