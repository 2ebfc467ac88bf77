#include "community/content_filters.h"
#include "fakes.h"
#include "net/protocol.h"

#include <QtTest>

using namespace Qt::Literals::StringLiterals;

class TstContentFilters : public QObject
{
    Q_OBJECT
private slots:
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
};

QTEST_GUILESS_MAIN(TstContentFilters)
#include "tst_content_filters.moc"
