// ctest-label: e2e
#include "raw_client.h"
#include "relay_process.h"

#include "net/protocol.h"

#include <QRandomGenerator>
#include <QTest>

using namespace RelayTestText;

namespace {

bool join(RawClient &c, quint16 port, const QString &user)
{
    if (!c.connectTo(port))
        return false;
    c.sendText(NewAccount(user, QStringLiteral("pw")));
    c.sendText(SignOn(user, QStringLiteral("pw")));
    return c.waitForCode(QStringLiteral("SGN")) == QStringLiteral(":SGN|3|^");
}

} // namespace

class TestRelayRobustness : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        m_relay = std::make_unique<RelayProcess>();
        QVERIFY2(m_relay->start(), qPrintable(m_relay->readyLine() + m_relay->log()));
        m_annClient = std::make_unique<RawClient>();
        m_benClient = std::make_unique<RawClient>();
        QVERIFY(join(m_ann(), m_relay->tcpPort(), QStringLiteral("ANN")));
        QVERIFY(join(m_ben(), m_relay->tcpPort(), QStringLiteral("BEN")));
    }
    void cleanup()
    {
        if (QTest::currentTestFailed())
            qWarning("%s", qPrintable(m_relay->log()));
        m_annClient.reset();
        m_benClient.reset();
        m_relay.reset();
    }

    // While one connection misbehaves, ANN's reports keep reaching BEN,
    // every one of them and in order.
    void othersKeepReceivingEverything_data()
    {
        QTest::addColumn<QString>("kind");
        // 1: the relay closes the connection; -1: it may or may not.
        QTest::addColumn<int>("closed");
        QTest::newRow("message flood") << QStringLiteral("flood") << 1;
        QTest::newRow("1 MB without a caret") << QStringLiteral("huge") << 1;
        QTest::newRow("random bytes") << QStringLiteral("random") << -1;
    }
    void othersKeepReceivingEverything()
    {
        QFETCH(QString, kind);
        QFETCH(int, closed);
        RawClient bad;
        QVERIFY(join(bad, m_relay->tcpPort(), QStringLiteral("MALLORY")));
        m_ben().skipAll();
        QByteArray payload;
        if (kind == QLatin1String("flood")) {
            for (int i = 0; i < 5000; ++i)
                payload += ":MSG|ALL|MALLORY|spam " + QByteArray::number(i) + "|^";
        } else if (kind == QLatin1String("huge")) {
            payload = ":RPT|" + QByteArray(1024 * 1024, 'x');
        } else {
            QRandomGenerator rng(20261206);
            payload.resize(256 * 1024);
            for (char &ch : payload)
                ch = char(rng.bounded(256));
        }
        constexpr int Reports = 40;
        for (int i = 0; i < Reports; ++i) {
            if (i % 10 == 0)
                bad.send(payload.mid(i / 10 * payload.size() / 4, payload.size() / 4));
            m_ann().sendText(Report(QStringLiteral("report %1").arg(i), QStringLiteral("ANN")));
            QTest::qWait(5);
        }
        const QStringList got = m_ben().collect(QStringLiteral("RPT"), Reports, 10000);
        QCOMPARE(got.size(), Reports);
        for (int i = 0; i < Reports; ++i)
            QCOMPARE(FieldAt(SplitFields(got.at(i)), 0), QStringLiteral("report %1").arg(i));
        if (closed == 1) {
            QVERIFY(bad.waitForDisconnected(5000));
            // Its departure is announced like any other.
            const QString dob = QStringLiteral(":DOB|MD|HARFORD|21001|MALLORY|^");
            QVERIFY(QTest::qWaitFor([&] { return m_ben().messages().contains(dob); }, 3000));
            QCOMPARE(m_ben().messages().count(dob), 1);
        }
        // The relay is alive and sane for newcomers.
        RawClient fresh;
        QVERIFY(join(fresh, m_relay->tcpPort(), QStringLiteral("NEWBIE")));
        QVERIFY(m_relay->isRunning());
    }

    void floodIsLoggedOnceNotPerMessage()
    {
        RawClient bad;
        QVERIFY(join(bad, m_relay->tcpPort(), QStringLiteral("MALLORY")));
        QByteArray payload;
        for (int i = 0; i < 400; ++i)
            payload += ":GOB|^";
        bad.send(payload);
        QVERIFY(QTest::qWaitFor([&] { return m_relay->log().contains(QStringLiteral("too fast")); }, 3000));
        QCOMPARE(m_relay->log().count(QStringLiteral("too fast")), 1);
        // A burst below the limits is served completely.
        m_ann().skipAll();
        m_ann().send(QByteArray(":GOB|^").repeated(20));
        QCOMPARE(m_ann().collect(QStringLiteral("GOB"), 3 * 20, 5000).size(), 3 * 20);
    }

    void connectionCap()
    {
        RelayProcess capped;
        QVERIFY(capped.start({QStringLiteral("--max-connections"), QStringLiteral("2")}));
        RawClient a, b, c;
        QVERIFY(a.connectTo(capped.tcpPort()));
        QVERIFY(b.connectTo(capped.tcpPort()));
        (void)c.connectTo(capped.tcpPort());
        QVERIFY(c.waitForDisconnected());
        QVERIFY(a.isConnected());
        a.sendText(NewAccount(QStringLiteral("X"), QStringLiteral("pw")));
        QCOMPARE(a.waitForCode(QStringLiteral("NEW")), QStringLiteral(":NEW|1|^"));
        QVERIFY(capped.log().contains(QStringLiteral("connection limit")));
    }

private:
    RawClient &m_ann() { return *m_annClient; }
    RawClient &m_ben() { return *m_benClient; }
    std::unique_ptr<RelayProcess> m_relay;
    std::unique_ptr<RawClient> m_annClient;
    std::unique_ptr<RawClient> m_benClient;
};

QTEST_GUILESS_MAIN(TestRelayRobustness)
#include "tst_relay_robustness.moc"
