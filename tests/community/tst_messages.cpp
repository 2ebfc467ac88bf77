#include "community/content_filters.h"
#include "community/messages.h"
#include "net/protocol.h"

#include <QtTest>

using namespace Qt::Literals::StringLiterals;

class TstMessages : public QObject
{
    Q_OBJECT
private slots:
    void decision_data()
    {
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("groups");
        QTest::addColumn<bool>("visible");
        QTest::addColumn<bool>("away");
        // shown in chat, To box ("-": untouched), quick chat, away reply to, dropped
        QTest::addColumn<bool>("chat");
        QTest::addColumn<QString>("toBox");
        QTest::addColumn<bool>("quick");
        QTest::addColumn<QString>("reply");
        QTest::addColumn<bool>("dropped");
        const QStringList std{u"ALL"_s, u"WXCHAT"_s};
        const QString away = Messages::AwayText();
        QTest::newRow("to me, other case")
            << "me"
            << "BOB"
            << "hi" << std << false << false << true << "BOB" << false << "" << false;
        QTest::newRow("own echo, To box kept")
            << "CAROL"
            << "Me"
            << "hi" << std << false << false << true << "-" << false << "" << false;
        QTest::newRow("visible window keeps To box")
            << "ME"
            << "BOB"
            << "hi" << std << true << false << true << "-" << false << "" << false;
        QTest::newRow("my group, group in To box")
            << "wxchat"
            << "BOB"
            << "hi" << std << false << false << true << "WXCHAT" << false << "" << false;
        QTest::newRow("other group: monitor only")
            << "SKYWARN"
            << "BOB"
            << "hi" << std << false << false << false << "-" << false << "" << false;
        QTest::newRow("every message group") << "SKYWARN"
                                             << "BOB"
                                             << "hi" << QStringList{u"&(2)all&"_s} << false << false << true
                                             << "SKYWARN" << false << "" << false;
        QTest::newRow("quick chat never in chat") << "QuickChat"
                                                  << "BOB"
                                                  << "hi" << QStringList{u"&(2)ALL&"_s, u"QUICKCHAT"_s}
                                                  << false << true << false << "-" << true << "" << false;
        QTest::newRow("blocked sender")
            << "ME"
            << "troll"
            << "hi" << std << false << true << false << "-" << false << "" << true;
        QTest::newRow("away answers direct")
            << "ME"
            << "BOB"
            << "hi" << std << false << true << true << "BOB" << false << "BOB" << false;
        QTest::newRow("away ignores group")
            << "ALL"
            << "BOB"
            << "hi" << std << false << true << true << "ALL" << false << "" << false;
        QTest::newRow("away ignores own message")
            << "ME"
            << "me"
            << "hi" << std << false << true << true << "-" << false << "" << false;
        QTest::newRow("away ignores away reply")
            << "ME"
            << "BOB" << away << std << false << true << true << "BOB" << false << "" << false;
    }
    void decision()
    {
        QFETCH(QString, to);
        QFETCH(QString, from);
        QFETCH(QString, text);
        QFETCH(QStringList, groups);
        QFETCH(bool, visible);
        QFETCH(bool, away);
        MessengerView view{u"Me"_s, groups, {u"TROLL"_s},         visible,
                           false,   away,   Messages::AwayText(), QTime(21, 5)};
        BlockedUsers blocked;
        const QString wire = ServerMessage(u"MSG", {to, from, EscapeOutgoing(text)});
        const MessageDecision d = HandleMessage(wire, view, blocked);
        QTEST(d.dropped, "dropped");
        QTEST(d.showInChat, "chat");
        QTEST(d.toBox.value_or(u"-"_s), "toBox");
        QTEST(!d.quickChatLine.isEmpty(), "quick");
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
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), "one\r\ntwo|\r\n"_ba);
        QVERIFY(AppendMessageLog(dir.filePath(u"missing/Messages.txt"_s), u"x"_s).has_value());
    }
};

QTEST_APPLESS_MAIN(TstMessages)
#include "tst_messages.moc"
