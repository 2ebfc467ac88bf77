// ctest-label: e2e
#include "raw_client.h"
#include "relay_process.h"

#include "net/protocol.h"
#include "net/wire_codec.h"

#include <QRegularExpression>
#include <QTest>

using namespace RelayTestText;

namespace {

QString reply(RawClient &client, const QString &code)
{
    return FieldAt(SplitFields(client.waitForCode(code)), 0);
}

} // namespace

// Accounts, sign-on and the traffic between signed-on spotters, each case
// against a fresh relay.
class TestRelaySessions : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        m_relay = std::make_unique<RelayProcess>();
        QVERIFY2(m_relay->start(), qPrintable(m_relay->readyLine() + m_relay->log()));
    }
    void cleanup()
    {
        if (QTest::currentTestFailed())
            qWarning("%s", qPrintable(m_relay->log()));
        m_relay.reset();
    }

    void signOnReplies_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("withVersion");
        QTest::addColumn<QString>("expected");
        QTest::newRow("unknown user") << u"NOBODY"_qs << u"pw"_qs << true << u"1"_qs;
        QTest::newRow("wrong password") << u"ALICE"_qs << u"PW1"_qs << true << u"2"_qs;
        QTest::newRow("name in other case") << u"alice"_qs << u"pw1"_qs << true << u"3"_qs;
        QTest::newRow("re-sign-on without version") << u"ALICE"_qs << u"pw1"_qs << false << u"3"_qs;
    }
    void signOnReplies()
    {
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(bool, withVersion);
        RawClient setup;
        QVERIFY(setup.connectTo(m_relay->tcpPort()));
        setup.sendText(NewAccount(u"ALICE"_qs, u"pw1"_qs));
        QCOMPARE(reply(setup, u"NEW"_qs), u"1"_qs);
        // Names are one account whatever their letter case.
        setup.sendText(NewAccount(u"alice"_qs, u"other"_qs));
        QCOMPARE(reply(setup, u"NEW"_qs), u"2"_qs);
        RawClient c;
        QVERIFY(c.connectTo(m_relay->tcpPort()));
        c.sendText(SignOn(user, password, u"MD"_qs, u"HARFORD"_qs, u"21001"_qs, withVersion));
        QTEST(reply(c, u"SGN"_qs), "expected");
        QCOMPARE(c.pendingWithCode(u"SGN"_qs, 100).size(), 0);
        QVERIFY(!m_relay->log().contains(u"pw1"_qs));
    }

    void signedOnElsewhereAndReplaced()
    {
        RawClient watcher, first, elsewhere, again;
        QVERIFY(JoinRelay(watcher, m_relay->tcpPort(), u"WATCHER"_qs));
        QVERIFY(JoinRelay(first, m_relay->tcpPort(), u"BOB"_qs, u"HARFORD"_qs, u"127.0.0.2"_qs));
        QCOMPARE(watcher.collect(u"GOB"_qs, 2).size(), 2);

        // Another machine's first sign-on is refused while BOB is on.
        QVERIFY(elsewhere.connectTo(m_relay->tcpPort(), 3000, u"127.0.0.3"_qs));
        elsewhere.sendText(SignOn(u"BOB"_qs, u"pw"_qs));
        QCOMPARE(reply(elsewhere, u"SGN"_qs), u"4"_qs);

        // The same machine coming back replaces its stale connection: the
        // others see one departure and one arrival, no more.
        QVERIFY(JoinRelay(again, m_relay->tcpPort(), u"BOB"_qs, u"HARFORD"_qs, u"127.0.0.2"_qs));
        QVERIFY(first.waitForDisconnected());
        QCOMPARE(watcher.pendingWithCode(u"DOB"_qs, 300), QStringList{u":DOB|MD|HARFORD|21001|BOB|^"_qs});
        QCOMPARE(watcher.pendingWithCode(u"GOB"_qs, 0), QStringList{u":GOB|MD|HARFORD|21001|BOB|2|^"_qs});
        watcher.skipAll();
        watcher.sendText(u":GOB|^"_qs);
        QCOMPARE(watcher.collect(u"GOB"_qs, 2).size(), 2);
        QVERIFY(watcher.pendingWithCode(u"GOB"_qs, 100).isEmpty());
    }

    // Reports get the relay's time stamp; messages and station data go out
    // unchanged. Escaped bytes 127..130 and other high bytes pass byte for
    // byte, and nothing reaches or comes from a connection not signed on.
    void trafficReachesEveryoneSignedOn()
    {
        RawClient a, b, stranger;
        QVERIFY(JoinRelay(a, m_relay->tcpPort(), u"ANN"_qs));
        QVERIFY(JoinRelay(b, m_relay->tcpPort(), u"BEN"_qs));
        QVERIFY(stranger.connectTo(m_relay->tcpPort()));
        const QByteArray text = "R: hail \x7F\x80\x81\x82 \xE9";
        for (int i = 0; i < 5; ++i)
            a.send(":RPT|" + text + QByteArray::number(i) + "|MD|HARFORD|21001|ANN|Bel Air|^");
        const QByteArray msg = ":MSG|BEN|ANN|hello \x81 there\x7F|^";
        const QByteArray rpa = ":RPA|71.2|5|12|NW|29.92|Cumulus|MD|HARFORD|21001|ANN|Bel Air|^";
        a.send(msg + rpa);
        static const QRegularExpression stamp(u"^\\d{1,2}/\\d{1,2}/\\d{4} \\d{1,2}:\\d\\d:\\d\\d [AP]M$"_qs);
        for (RawClient *r : {&a, &b}) {
            const QStringList got = r->collect(u"RPT"_qs, 5);
            QCOMPARE(got.size(), 5);
            for (int i = 0; i < 5; ++i) {
                const QStringList f = SplitFields(got.at(i));
                QCOMPARE(f.size(), 8);
                QCOMPARE(FieldAt(f, 0), WireCodec::decode(text + QByteArray::number(i)));
                QCOMPARE(FieldAt(f, 4), u"ANN"_qs);
                QVERIFY2(stamp.match(FieldAt(f, 6)).hasMatch(), qPrintable(FieldAt(f, 6)));
            }
            QCOMPARE(r->waitForCode(u"MSG"_qs), WireCodec::decode(msg));
            QCOMPARE(r->waitForCode(u"RPA"_qs), WireCodec::decode(rpa));
        }
        stranger.send(":MSG|ALL|X|spam|^:RPT|x|MD|C|1|X|L|^:GLD|5|^:GOB|^");
        QVERIFY(b.pendingWithCode(u"MSG"_qs, 200).isEmpty());
        QVERIFY(stranger.messages().isEmpty());
    }

    void observersArriveListAndLeaveOnce()
    {
        RawClient a, b, c;
        QVERIFY(JoinRelay(a, m_relay->tcpPort(), u"ANN"_qs));
        QCOMPARE(a.waitForCode(u"GOB"_qs), u":GOB|MD|HARFORD|21001|ANN|1|^"_qs);
        QVERIFY(JoinRelay(b, m_relay->tcpPort(), u"BEN"_qs, u"CECIL"_qs));
        QCOMPARE(a.waitForCode(u"GOB"_qs), u":GOB|MD|CECIL|21001|BEN|2|^"_qs);
        QCOMPARE(b.waitForCode(u"GOB"_qs), u":GOB|MD|CECIL|21001|BEN|2|^"_qs);
        b.sendText(u":GOB|^"_qs);
        QCOMPARE(b.collect(u"GOB"_qs, 2),
                 (QStringList{u":GOB|MD|HARFORD|21001|ANN|2|^"_qs, u":GOB|MD|CECIL|21001|BEN|2|^"_qs}));

        // The sign-off arrives upper-cased; the others get the DOB built
        // from the sign-on fields, once, not again when the link closes.
        QVERIFY(JoinRelay(c, m_relay->tcpPort(), u"Cid"_qs));
        a.skipAll();
        c.sendText(u":DOB|MD|HARFORD|21001|CID|^"_qs);
        c.close();
        QCOMPARE(a.pendingWithCode(u"DOB"_qs, 300), QStringList{u":DOB|MD|HARFORD|21001|Cid|^"_qs});

        // A dropped connection counts as a sign-off.
        a.skipAll();
        b.close();
        QCOMPARE(a.pendingWithCode(u"DOB"_qs, 300), QStringList{u":DOB|MD|CECIL|21001|BEN|^"_qs});
        a.skipAll();
        a.sendText(u":GOB|^"_qs);
        QCOMPARE(a.collect(u"GOB"_qs, 1), QStringList{u":GOB|MD|HARFORD|21001|ANN|1|^"_qs});
    }

    // Only the author retracts a report, in any letter case; SIGTERM ends the
    // relay cleanly, and accounts and what is left of history survive it.
    void retractionAndHistoryOverARestart()
    {
        {
            RawClient a, b;
            QVERIFY(JoinRelay(a, m_relay->tcpPort(), u"ANN"_qs));
            QVERIFY(JoinRelay(b, m_relay->tcpPort(), u"BEN"_qs));
            for (const QString &text : {u"first"_qs, u"R: funnel cloud"_qs, u"second"_qs})
                a.sendText(Report(text, u"ANN"_qs));
            QCOMPARE(b.collect(u"RPT"_qs, 3).size(), 3);
            b.sendText(u":XRP|R: funnel cloud|^"_qs);
            QVERIFY(a.pendingWithCode(u"DEL"_qs, 200).isEmpty());
            a.sendText(u":XRP|R: FUNNEL CLOUD|^"_qs);
            for (RawClient *r : {&a, &b})
                QCOMPARE(r->waitForCode(u"DEL"_qs), u":DEL|R: FUNNEL CLOUD|^"_qs);
        }
        QVERIFY(m_relay->stop());
        QVERIFY(m_relay->log().contains(u"stopped"_qs));
        RelayProcess restarted;
        QVERIFY(restarted.start({}, m_relay->databasePath()));
        RawClient b;
        QVERIFY(b.connectTo(restarted.tcpPort()));
        b.sendText(SignOn(u"ANN"_qs, u"pw"_qs));
        QCOMPARE(b.waitForCode(u"SGN"_qs), u":SGN|3|^"_qs);
        b.sendText(u":GLD|2|^"_qs);
        const QStringList got = b.collect(u"GLD"_qs, 2);
        QCOMPARE(got.size(), 2);
        QCOMPARE(FieldAt(SplitFields(got.at(0)), 0), u"first"_qs);
        QCOMPARE(FieldAt(SplitFields(got.at(1)), 0), u"second"_qs);
        QCOMPARE(SplitFields(got.at(0)).size(), 8);
        // Requests that are not a whole number of hours get no answer.
        b.sendText(u":GLD|abc|^:GLD|0|^"_qs);
        QVERIFY(b.pendingWithCode(u"GLD"_qs, 200).isEmpty());
        b.sendText(u":GLD| 9999 |^"_qs);
        QCOMPARE(b.collect(u"GLD"_qs, 2).size(), 2);
        QVERIFY(restarted.stop());
    }

private:
    std::unique_ptr<RelayProcess> m_relay;
};

QTEST_GUILESS_MAIN(TestRelaySessions)
#include "tst_relay_sessions.moc"
