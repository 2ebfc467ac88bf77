// ctest-label: e2e
#include "raw_client.h"
#include "relay_process.h"

#include "net/protocol.h"

#include <QTest>

using namespace RelayTestText;

namespace {

QString reply(RawClient &client, const QString &code)
{
    return FieldAt(SplitFields(client.waitForCode(code)), 0);
}

} // namespace

class TestRelayAccounts : public QObject
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

    void accountCreation()
    {
        RawClient a;
        QVERIFY(a.connectTo(m_relay->tcpPort()));
        a.sendText(NewAccount(QStringLiteral("Spotter7"), QStringLiteral("secret")));
        QCOMPARE(reply(a, QStringLiteral("NEW")), QStringLiteral("1"));
        // Names are one account whatever their letter case.
        a.sendText(NewAccount(QStringLiteral("SPOTTER7"), QStringLiteral("other")));
        QCOMPARE(reply(a, QStringLiteral("NEW")), QStringLiteral("2"));
        a.sendText(NewAccount(QString(), QStringLiteral("x")));
        QCOMPARE(reply(a, QStringLiteral("NEW")), QStringLiteral("2"));
        // A new account is not signed on.
        a.sendText(QStringLiteral(":GOB|^"));
        QVERIFY(a.pendingWithCode(QStringLiteral("GOB"), 200).isEmpty());
        QVERIFY(!m_relay->log().contains(QStringLiteral("secret")));
    }

    void signOnReplies_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("withVersion");
        QTest::addColumn<QString>("expected");
        QTest::newRow("unknown user")
            << QStringLiteral("NOBODY") << QStringLiteral("pw") << true << QStringLiteral("1");
        QTest::newRow("wrong password")
            << QStringLiteral("ALICE") << QStringLiteral("PW1") << true << QStringLiteral("2");
        QTest::newRow("signed on") << QStringLiteral("ALICE") << QStringLiteral("pw1") << true
                                   << QStringLiteral("3");
        QTest::newRow("name in other case")
            << QStringLiteral("alice") << QStringLiteral("pw1") << true << QStringLiteral("3");
        QTest::newRow("re-sign-on without version")
            << QStringLiteral("ALICE") << QStringLiteral("pw1") << false << QStringLiteral("3");
    }
    void signOnReplies()
    {
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(bool, withVersion);
        QFETCH(QString, expected);
        RawClient setup;
        QVERIFY(setup.connectTo(m_relay->tcpPort()));
        setup.sendText(NewAccount(QStringLiteral("ALICE"), QStringLiteral("pw1")));
        QCOMPARE(reply(setup, QStringLiteral("NEW")), QStringLiteral("1"));
        RawClient c;
        QVERIFY(c.connectTo(m_relay->tcpPort()));
        c.sendText(SignOn(user, password, QStringLiteral("MD"), QStringLiteral("HARFORD"),
                          QStringLiteral("21001"), withVersion));
        QCOMPARE(reply(c, QStringLiteral("SGN")), expected);
        QCOMPARE(c.pendingWithCode(QStringLiteral("SGN"), 100).size(), 0);
    }

    void signedOnElsewhereAndReplaced()
    {
        RawClient setup;
        QVERIFY(setup.connectTo(m_relay->tcpPort()));
        setup.sendText(NewAccount(QStringLiteral("BOB"), QStringLiteral("pw")));
        setup.sendText(NewAccount(QStringLiteral("WATCHER"), QStringLiteral("pw")));
        QCOMPARE(setup.collect(QStringLiteral("NEW"), 2).size(), 2);

        RawClient watcher;
        QVERIFY(watcher.connectTo(m_relay->tcpPort()));
        watcher.sendText(SignOn(QStringLiteral("WATCHER"), QStringLiteral("pw")));
        QCOMPARE(reply(watcher, QStringLiteral("SGN")), QStringLiteral("3"));

        RawClient first;
        QVERIFY(first.connectTo(m_relay->tcpPort(), 3000, QStringLiteral("127.0.0.2")));
        first.sendText(SignOn(QStringLiteral("BOB"), QStringLiteral("pw")));
        QCOMPARE(reply(first, QStringLiteral("SGN")), QStringLiteral("3"));
        QVERIFY(!watcher.waitForCode(QStringLiteral("GOB")).isEmpty());
        QVERIFY(!watcher.waitForCode(QStringLiteral("GOB")).isEmpty());

        // Another machine's first sign-on is refused while BOB is on.
        RawClient elsewhere;
        QVERIFY(elsewhere.connectTo(m_relay->tcpPort(), 3000, QStringLiteral("127.0.0.3")));
        elsewhere.sendText(SignOn(QStringLiteral("BOB"), QStringLiteral("pw")));
        QCOMPARE(reply(elsewhere, QStringLiteral("SGN")), QStringLiteral("4"));

        // The same machine coming back replaces its stale connection: the
        // others see one departure and one arrival, no more.
        RawClient again;
        QVERIFY(again.connectTo(m_relay->tcpPort(), 3000, QStringLiteral("127.0.0.2")));
        again.sendText(SignOn(QStringLiteral("BOB"), QStringLiteral("pw")));
        QCOMPARE(reply(again, QStringLiteral("SGN")), QStringLiteral("3"));
        QVERIFY(first.waitForDisconnected());
        const QStringList dobs = watcher.pendingWithCode(QStringLiteral("DOB"), 300);
        QCOMPARE(dobs, QStringList{QStringLiteral(":DOB|MD|HARFORD|21001|BOB|^")});
        QCOMPARE(watcher.pendingWithCode(QStringLiteral("GOB"), 0),
                 QStringList{QStringLiteral(":GOB|MD|HARFORD|21001|BOB|2|^")});
        watcher.skipAll();
        watcher.sendText(QStringLiteral(":GOB|^"));
        QCOMPARE(watcher.collect(QStringLiteral("GOB"), 2).size(), 2);
        QVERIFY(watcher.pendingWithCode(QStringLiteral("GOB"), 100).isEmpty());
    }

    void bannedAccountGetsFive()
    {
        RawClient c;
        QVERIFY(c.connectTo(m_relay->tcpPort()));
        c.sendText(NewAccount(QStringLiteral("Carol"), QStringLiteral("pw")));
        QCOMPARE(reply(c, QStringLiteral("NEW")), QStringLiteral("1"));
        c.sendText(SignOn(QStringLiteral("Carol"), QStringLiteral("pw")));
        QCOMPARE(reply(c, QStringLiteral("SGN")), QStringLiteral("3"));
        int code = -1;
        QVERIFY(m_relay->admin({QStringLiteral("ban"), QStringLiteral("CAROL")}, &code)
                    .startsWith(QLatin1String("ok 1")));
        QCOMPARE(code, 0);
        QCOMPARE(c.waitForCode(QStringLiteral("BAN")), QStringLiteral(":BAN|Carol|^"));
        // Signed off at once: its reports are no longer relayed.
        c.sendText(Report(QStringLiteral("hail"), QStringLiteral("Carol")));
        QVERIFY(c.pendingWithCode(QStringLiteral("RPT"), 200).isEmpty());
        RawClient later;
        QVERIFY(later.connectTo(m_relay->tcpPort()));
        later.sendText(SignOn(QStringLiteral("carol"), QStringLiteral("pw")));
        QCOMPARE(reply(later, QStringLiteral("SGN")), QStringLiteral("5"));
        later.sendText(SignOn(QStringLiteral("carol"), QStringLiteral("wrong")));
        QCOMPARE(reply(later, QStringLiteral("SGN")), QStringLiteral("2"));
        QVERIFY(m_relay->admin({QStringLiteral("ban"), QStringLiteral("NOSUCH")}, &code)
                    .startsWith(QLatin1String("error")));
        QCOMPARE(code, 1);
    }

    void forgottenPasswordIsOnlyLogged()
    {
        RawClient c;
        QVERIFY(c.connectTo(m_relay->tcpPort()));
        c.sendText(NewAccount(QStringLiteral("DAN"), QStringLiteral("pw")));
        c.sendText(SignOn(QStringLiteral("DAN"), QStringLiteral("pw")));
        QCOMPARE(reply(c, QStringLiteral("SGN")), QStringLiteral("3"));
        RawClient other;
        QVERIFY(other.connectTo(m_relay->tcpPort()));
        other.sendText(QStringLiteral(":FGT|DAN|^"));
        QVERIFY(QTest::qWaitFor([&] { return m_relay->log().contains(QStringLiteral("DAN@example.org")); },
                                3000));
        QVERIFY(m_relay->log().contains(QStringLiteral("sends no mail")));
        QCOMPARE(other.pendingWithCode(QStringLiteral("FGT"), 100).size(), 0);
        QVERIFY(other.messages().isEmpty());
    }

private:
    std::unique_ptr<RelayProcess> m_relay;
};

QTEST_GUILESS_MAIN(TestRelayAccounts)
#include "tst_relay_accounts.moc"
