#include "community/content_filters.h"
#include "fakes.h"
#include "net/protocol.h"

#include <QtTest>

using namespace Qt::Literals::StringLiterals;

class TstContentFilters : public QObject
{
    Q_OBJECT
private slots:
    void wordList();
    void profanity_data();
    void profanity();
    void profanityShowsOneBox();
    void capital_data();
    void capital();
    void screening_data();
    void screening();
    void blockedListChanges();
    void listLimits_data();
    void listLimits();
};

void TstContentFilters::wordList()
{
    const QStringList &words = OffensiveWords();
    QCOMPARE(words.size(), 23);
    int twoWord = 0;
    for (const QString &w : words) {
        QVERIFY2(w.size() >= 3 && w.size() <= 13, qPrintable(w));
        QCOMPARE(w, w.toUpper());
        for (QChar c : w)
            QVERIFY2((c >= u'A' && c <= u'Z') || c == u' ', qPrintable(w));
        twoWord += int(w.count(u' '));
    }
    QCOMPARE(twoWord, 1);
}

void TstContentFilters::profanity_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("refused");
    QTest::newRow("exactly the word") << "shit" << true;
    QTest::newRow("exactly the word mixed case") << "ShIt" << true;
    QTest::newRow("start then space") << "shit happens" << true;
    QTest::newRow("start then letter") << "shitake mushrooms" << false;
    QTest::newRow("middle between spaces") << "oh shit here" << true;
    QTest::newRow("middle then bang at end") << "oh shit!" << false;
    QTest::newRow("middle then dot at end") << "oh shit." << false;
    QTest::newRow("end after space") << "oh shit" << true;
    QTest::newRow("inside word") << "bullshitting" << false;
    QTest::newRow("first inside a word, later alone") << "bullshit and shit here" << false;
    QTest::newRow("first after space in word, text ends with word") << "x shitty bullshit" << true;
    QTest::newRow("first after space in word, text ends otherwise") << "x shitty shit ok" << false;
    QTest::newRow("two words one space") << "well god damn it" << true;
    QTest::newRow("two words two spaces") << "well god  damn it" << false;
    QTest::newRow("line break is no boundary") << "oh\nshit\nhere" << false;
    QTest::newRow("clean") << "Funnel cloud over Bel Air" << false;
    QTest::newRow("scunthorpe") << "Scunthorpe" << false;
    QTest::newRow("three letter word alone") << "fag" << true;
}

void TstContentFilters::profanity()
{
    QFETCH(QString, text);
    QFETCH(bool, refused);
    QCOMPARE(FindOffensiveWord(text) >= 0, refused);
}

void TstContentFilters::profanityShowsOneBox()
{
    FakeDialogs dialogs;
    QVERIFY(ProfanityCheck(u"shit and fuck you"_s, dialogs));
    QCOMPARE(dialogs.shown.size(), 1);
    QCOMPARE(dialogs.shown[0].text, u"Please, no cursing."_s);
    QCOMPARE(dialogs.shown[0].buttons, Dialogs::OkOnly);
    QVERIFY(!ProfanityCheck(u"clear skies"_s, dialogs));
    QCOMPARE(dialogs.shown.size(), 1);
}

void TstContentFilters::capital_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("result");
    QTest::newRow("a") << int('a') << int('A');
    QTest::newRow("z") << int('z') << int('Z');
    QTest::newRow("upper") << int('Q') << int('Q');
    QTest::newRow("digit") << int('7') << int('7');
    QTest::newRow("accented") << 0xe9 << 0xe9;
    QTest::newRow("enter") << 13 << 13;
    QTest::newRow("backtick") << int('`') << int('`');
    QTest::newRow("brace") << int('{') << int('{');
}

void TstContentFilters::capital()
{
    QFETCH(int, key);
    QFETCH(int, result);
    QCOMPARE(Capital(key), result);
}

void TstContentFilters::screening_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("blocked");
    const QStringList rpt{u"text"_s, u"MD"_s, u"HARFORD"_s, u"1"_s, u"TROLL"_s, u"x"_s, u""_s};
    QTest::newRow("rpt") << ServerMessage(u"RPT", rpt) << true;
    QTest::newRow("wrn") << ServerMessage(u"WRN", rpt) << true;
    QTest::newRow("gld") << ServerMessage(u"GLD", rpt) << true;
    QTest::newRow("msg sender") << ServerMessage(u"MSG", {u"ALL"_s, u"troll"_s, u"hi"_s}) << true;
    QTest::newRow("msg addressee only") << ServerMessage(u"MSG", {u"TROLL"_s, u"JOE"_s, u"hi"_s}) << false;
    QTest::newRow("quick chat") << ServerMessage(u"MSG", {u"QUICKCHAT"_s, u"Troll"_s, u"hi"_s}) << true;
    QTest::newRow("rpa") << ServerMessage(u"RPA", {u"70"_s, u"5"_s, u"9"_s, u"N"_s, u"30.1"_s, u"Cumulus"_s,
                                                   u"MD"_s, u"HARFORD"_s, u"1"_s, u"TROLL"_s, u"x"_s})
                         << true;
    QTest::newRow("observer on") << ServerMessage(u"GOB", {u"TROLL"_s}) << false;
    QTest::newRow("system message") << ServerMessage(u"SMG", {u"TROLL"_s, u"TROLL"_s}) << false;
    QTest::newRow("name with space") << ServerMessage(u"RPT", {u"t"_s, u""_s, u""_s, u""_s, u"TROLL "_s})
                                     << false;
    QTest::newRow("other observer") << ServerMessage(u"RPT", {u"t"_s, u""_s, u""_s, u""_s, u"JOE"_s})
                                    << false;
}

void TstContentFilters::screening()
{
    QFETCH(QString, message);
    QFETCH(bool, blocked);
    BlockedUsers users;
    QCOMPARE(IsFromBlockedUser(message, {u"bob"_s, u"troll"_s}, users), blocked);
}

void TstContentFilters::blockedListChanges()
{
    BlockedUsers users;
    QStringList list{u"A"_s};
    QVERIFY(users.IsBlocked(list, u"a"_s));
    list[0] = u"B"_s;
    QVERIFY(!users.IsBlocked(list, u"a"_s));
    QVERIFY(users.IsBlocked(list, u"b"_s));
    QVERIFY(!users.IsBlocked({}, u"b"_s));
}

void TstContentFilters::listLimits_data()
{
    QTest::addColumn<int>("max");
    QTest::addColumn<int>("existing");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("result");
    using R = ListEntryResult;
    QTest::newRow("filter room") << ContentFilters::MaxFilterEntries << 1999 << "X" << int(R::Added);
    QTest::newRow("filter full") << ContentFilters::MaxFilterEntries << 2000 << "X" << int(R::Full);
    QTest::newRow("counties full") << ContentFilters::MaxAdditionalCounties << 1000 << "MD X" << int(R::Full);
    QTest::newRow("blank") << 10 << 0 << "   " << int(R::Blank);
    QTest::newRow("kept as typed") << 10 << 0 << " MD " << int(R::Added);
}

void TstContentFilters::listLimits()
{
    QFETCH(int, max);
    QFETCH(int, existing);
    QFETCH(QString, typed);
    QFETCH(int, result);
    QStringList list;
    for (int i = 0; i < existing; ++i)
        list << QString::number(i);
    QCOMPARE(int(AddListEntry(list, typed, max)), result);
    QCOMPARE(list.size(), existing + (result == int(ListEntryResult::Added) ? 1 : 0));
    if (result == int(ListEntryResult::Added))
        QCOMPARE(list.last(), typed);
}

QTEST_GUILESS_MAIN(TstContentFilters)
#include "tst_content_filters.moc"
