// ctest-label: e2e
#include "raw_client.h"
#include "relay_process.h"

#include "net/protocol.h"
#include "net/wire_codec.h"

#include <QRegularExpression>
#include <QTest>

using namespace RelayTestText;

namespace {

// Creates the account and signs the client on; returns false on any other
// answer.
bool join(RawClient &c, quint16 port, const QString &user, const QString &county = QStringLiteral("HARFORD"),
          const QString &from = {})
{
    if (!c.connectTo(port, 3000, from))
        return false;
    c.sendText(NewAccount(user, QStringLiteral("pw")));
    c.sendText(SignOn(user, QStringLiteral("pw"), QStringLiteral("MD"), county));
    return c.waitForCode(QStringLiteral("SGN")) == QStringLiteral(":SGN|3|^");
}

} // namespace

class TestRelayTraffic : public QObject
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

    void reportsReachEveryoneInOrderWithTheStamp()
    {
        RawClient a, b, c, outsider;
        QVERIFY(join(a, m_relay->tcpPort(), QStringLiteral("ANN")));
        QVERIFY(join(b, m_relay->tcpPort(), QStringLiteral("BEN")));
        QVERIFY(join(c, m_relay->tcpPort(), QStringLiteral("CID")));
        QVERIFY(outsider.connectTo(m_relay->tcpPort()));
        // Escaped bytes 127..130 and other high bytes pass byte for byte.
        const QByteArray text = "R: hail \x7F\x80\x81\x82 \xE9";
        for (int i = 0; i < 5; ++i)
            a.send(":RPT|" + text + QByteArray::number(i) + "|MD|HARFORD|21001|ANN|Bel Air|^");
        static const QRegularExpression stamp(
            QStringLiteral("^\\d{1,2}/\\d{1,2}/\\d{4} \\d{1,2}:\\d\\d:\\d\\d [AP]M$"));
        for (RawClient *r : {&a, &b, &c}) {
            const QStringList got = r->collect(QStringLiteral("RPT"), 5);
            QCOMPARE(got.size(), 5);
            for (int i = 0; i < 5; ++i) {
                const QStringList f = SplitFields(got.at(i));
                QCOMPARE(f.size(), 8);
                QCOMPARE(FieldAt(f, 0), WireCodec::decode(text + QByteArray::number(i)));
                QCOMPARE(FieldAt(f, 4), QStringLiteral("ANN"));
                QVERIFY2(stamp.match(FieldAt(f, 6)).hasMatch(), qPrintable(FieldAt(f, 6)));
            }
        }
        QVERIFY(outsider.pendingWithCode(QStringLiteral("RPT"), 100).isEmpty());
    }

    void messagesAndStationDataUnchangedToAllWithSender()
    {
        RawClient a, b;
        QVERIFY(join(a, m_relay->tcpPort(), QStringLiteral("ANN")));
        QVERIFY(join(b, m_relay->tcpPort(), QStringLiteral("BEN")));
        const QByteArray msg = ":MSG|BEN|ANN|hello \x81 there\x7F|^";
        const QByteArray rpa = ":RPA|71.2|5|12|NW|29.92|Cumulus|MD|HARFORD|21001|ANN|Bel Air|^";
        a.send(msg + rpa);
        for (RawClient *r : {&a, &b}) {
            QCOMPARE(r->waitForCode(QStringLiteral("MSG")), WireCodec::decode(msg));
            QCOMPARE(r->waitForCode(QStringLiteral("RPA")), WireCodec::decode(rpa));
        }
        // Before sign-on nothing is acted on.
        RawClient stranger;
        QVERIFY(stranger.connectTo(m_relay->tcpPort()));
        stranger.send(":MSG|ALL|X|spam|^:RPT|x|MD|C|1|X|L|^:GLD|5|^");
        QVERIFY(b.pendingWithCode(QStringLiteral("MSG"), 200).isEmpty());
        QVERIFY(stranger.messages().isEmpty());
    }

    void observersArriveListAndLeaveOnce()
    {
        RawClient a, b;
        QVERIFY(join(a, m_relay->tcpPort(), QStringLiteral("ANN")));
        QCOMPARE(a.waitForCode(QStringLiteral("GOB")), QStringLiteral(":GOB|MD|HARFORD|21001|ANN|1|^"));
        QVERIFY(join(b, m_relay->tcpPort(), QStringLiteral("BEN"), QStringLiteral("CECIL")));
        QCOMPARE(a.waitForCode(QStringLiteral("GOB")), QStringLiteral(":GOB|MD|CECIL|21001|BEN|2|^"));
        QCOMPARE(b.waitForCode(QStringLiteral("GOB")), QStringLiteral(":GOB|MD|CECIL|21001|BEN|2|^"));
        b.sendText(QStringLiteral(":GOB|^"));
        QCOMPARE(b.collect(QStringLiteral("GOB"), 2),
                 (QStringList{QStringLiteral(":GOB|MD|HARFORD|21001|ANN|2|^"),
                              QStringLiteral(":GOB|MD|CECIL|21001|BEN|2|^")}));

        // The sign-off arrives upper-cased; the others get the DOB built
        // from the sign-on fields, once, not again when the link closes.
        RawClient cc;
        QVERIFY(join(cc, m_relay->tcpPort(), QStringLiteral("Cid")));
        a.skipAll();
        cc.sendText(QStringLiteral(":DOB|MD|HARFORD|21001|CID|^"));
        cc.close();
        QCOMPARE(a.pendingWithCode(QStringLiteral("DOB"), 300),
                 QStringList{QStringLiteral(":DOB|MD|HARFORD|21001|Cid|^")});

        // A dropped connection counts as a sign-off.
        a.skipAll();
        b.close();
        QCOMPARE(a.pendingWithCode(QStringLiteral("DOB"), 300),
                 QStringList{QStringLiteral(":DOB|MD|CECIL|21001|BEN|^")});
        a.skipAll();
        a.sendText(QStringLiteral(":GOB|^"));
        QCOMPARE(a.collect(QStringLiteral("GOB"), 1),
                 QStringList{QStringLiteral(":GOB|MD|HARFORD|21001|ANN|1|^")});
    }

    void historySurvivesARestart()
    {
        {
            RawClient a;
            QVERIFY(join(a, m_relay->tcpPort(), QStringLiteral("ANN")));
            a.sendText(Report(QStringLiteral("first"), QStringLiteral("ANN")));
            a.sendText(Report(QStringLiteral("second"), QStringLiteral("ANN")));
            QCOMPARE(a.collect(QStringLiteral("RPT"), 2).size(), 2);
        }
        const QString db = m_relay->databasePath();
        QVERIFY(m_relay->stop());
        auto restarted = std::make_unique<RelayProcess>();
        QVERIFY(restarted->start({}, db));
        RawClient b;
        QVERIFY(b.connectTo(restarted->tcpPort()));
        b.sendText(SignOn(QStringLiteral("ANN"), QStringLiteral("pw")));
        QCOMPARE(b.waitForCode(QStringLiteral("SGN")), QStringLiteral(":SGN|3|^"));
        b.sendText(QStringLiteral(":GLD|2|^"));
        const QStringList got = b.collect(QStringLiteral("GLD"), 2);
        QCOMPARE(got.size(), 2);
        QCOMPARE(FieldAt(SplitFields(got.at(0)), 0), QStringLiteral("first"));
        QCOMPARE(FieldAt(SplitFields(got.at(1)), 0), QStringLiteral("second"));
        QCOMPARE(SplitFields(got.at(0)).size(), 8);
        // Requests that are not a whole number of hours get no answer.
        b.sendText(QStringLiteral(":GLD|abc|^:GLD|0|^"));
        QVERIFY(b.pendingWithCode(QStringLiteral("GLD"), 200).isEmpty());
        b.sendText(QStringLiteral(":GLD| 9999 |^"));
        QCOMPARE(b.collect(QStringLiteral("GLD"), 2).size(), 2);
        QVERIFY(restarted->stop());
    }

    void retractionDeletesOnlyTheAuthorsReport()
    {
        RawClient a, b;
        QVERIFY(join(a, m_relay->tcpPort(), QStringLiteral("ANN")));
        QVERIFY(join(b, m_relay->tcpPort(), QStringLiteral("BEN")));
        a.sendText(Report(QStringLiteral("R: funnel cloud"), QStringLiteral("ANN")));
        QCOMPARE(b.collect(QStringLiteral("RPT"), 1).size(), 1);
        // Someone else's report: nothing happens.
        b.sendText(QStringLiteral(":XRP|R: funnel cloud|^"));
        QVERIFY(a.pendingWithCode(QStringLiteral("DEL"), 200).isEmpty());
        a.sendText(QStringLiteral(":XRP|R: FUNNEL CLOUD|^"));
        for (RawClient *r : {&a, &b})
            QCOMPARE(r->waitForCode(QStringLiteral("DEL")), QStringLiteral(":DEL|R: FUNNEL CLOUD|^"));
        b.sendText(QStringLiteral(":GLD|1|^"));
        QVERIFY(b.pendingWithCode(QStringLiteral("GLD"), 200).isEmpty());
        // Gone from the store: a second retraction finds nothing.
        a.skipAll();
        a.sendText(QStringLiteral(":XRP|R: funnel cloud|^"));
        QVERIFY(a.pendingWithCode(QStringLiteral("DEL"), 200).isEmpty());
    }

    void keepAliveKeepsIdleLinksBusy()
    {
        RelayProcess fast;
        QVERIFY(fast.start({QStringLiteral("--keepalive-seconds"), QStringLiteral("1")}));
        RawClient idle;
        QVERIFY(idle.connectTo(fast.tcpPort()));
        QCOMPARE(idle.waitForCode(QStringLiteral("PNG"), 3000), QStringLiteral(":PNG|^"));
    }

    void sigtermLeavesTheDatabaseUsable()
    {
        RawClient a;
        QVERIFY(join(a, m_relay->tcpPort(), QStringLiteral("ANN")));
        a.sendText(Report(QStringLiteral("kept"), QStringLiteral("ANN")));
        QCOMPARE(a.collect(QStringLiteral("RPT"), 1).size(), 1);
        QVERIFY(m_relay->stop());
        QVERIFY(m_relay->log().contains(QStringLiteral("stopped")));
        RelayProcess again;
        QVERIFY(again.start({}, m_relay->databasePath()));
        RawClient b;
        QVERIFY(b.connectTo(again.tcpPort()));
        b.sendText(SignOn(QStringLiteral("ANN"), QStringLiteral("pw")));
        b.sendText(QStringLiteral(":GLD|1|^"));
        QCOMPARE(b.collect(QStringLiteral("GLD"), 1).size(), 1);
    }

private:
    std::unique_ptr<RelayProcess> m_relay;
};

QTEST_GUILESS_MAIN(TestRelayTraffic)
#include "tst_relay_traffic.moc"
