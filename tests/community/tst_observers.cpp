#include "community/observers.h"
#include "net/protocol.h"

#include <QtTest>

using namespace Qt::Literals::StringLiterals;

class TstObservers : public QObject
{
    Q_OBJECT

    static QString gob(const QString &user, const QString &count = QString(),
                       const QString &county = u"Harford"_s)
    {
        return ServerMessage(u"GOB", {u"md"_s, EscapeOutgoing(county), u"21014"_s, user, count});
    }
    static QString dob(const QString &user)
    {
        return ServerMessage(u"DOB", {u"md"_s, u"Harford"_s, u"21014"_s, user});
    }

private slots:
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
        QCOMPARE(d.back, (Rgb{0, 0, 0}));
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
        QCOMPARE(gone.back, (Rgb{128, 128, 128}));
        QCOMPARE(ObserverList::TotalText(list.rows().size()), u"Total = 2"_s);
        QVERIFY(list.HandleObserverSignOff(dob(u"nobody"_s), {}).removedRows.isEmpty());
        list.StopListing();
        QVERIFY(list.StartListing());
        QVERIFY(list.rows().isEmpty()); // emptied only by the next request
    }

    void rowName()
    {
        QCOMPARE(ObserverRowName(u"MD  HARFORD  21014  SPOTTER7"_s), u"SPOTTER7"_s);
        QCOMPARE(ObserverRowName(u"NOSPACE"_s), QString());
    }
};

QTEST_APPLESS_MAIN(TstObservers)
#include "tst_observers.moc"
