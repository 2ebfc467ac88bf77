// ctest-label: e2e
#include "password_hash.h"
#include "raw_client.h"
#include "relay_process.h"
#include "relay_store.h"
#include "temp_servers.h"

#include "base/wire_codec.h"
#include "net/protocol.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTest>

#include <algorithm>
#include <memory>

using namespace Qt::Literals::StringLiterals;
using namespace RelayTestText;

namespace {

// Bytes 128 and 130: the escaped "|" and "^", in a name that older
// accounts may have.
const QString OddName = u"SP"_s + WireCodec::charForByte(128) + WireCodec::charForByte(130) + u"X"_s;

QString dob(const QString &user)
{
    return ServerMessage(u"DOB", {u"MD"_s, u"HARFORD"_s, u"21001"_s, user});
}

bool fromUser(const QString &m, const QString &code, const QString &user)
{
    return m.startsWith(u':' + code + u'|') && SplitFields(m).contains(user);
}

} // namespace

// Three relays, one Redis, one PostgreSQL: every client sees one server.
class TestRelayCluster : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY2(m_redis.start(), qPrintable(m_redis.error()));
        QVERIFY2(m_postgres.start(), qPrintable(m_postgres.error()));
        for (int i = 0; i < 3; ++i) {
            m_relays.push_back(std::make_unique<RelayProcess>());
            const QString name = u"R%1"_s.arg(i);
            QVERIFY2(
                m_relays.back()->start({u"--cluster"_s, m_redis.url(), u"--node"_s, name,
                                        u"--pbkdf2-iterations"_s, u"1000"_s, u"--max-per-address"_s, u"0"_s},
                                       m_postgres.url()),
                qPrintable(m_relays.back()->log()));
        }
        QTRY_COMPARE_WITH_TIMEOUT(relay(0).admin({u"relays"_s}).count(u'\n'), 4, 5000);
        // An account from before names were restricted.
        RelayStore store;
        QVERIFY(store.open(m_postgres.url(), nullptr));
        AccountRecord odd{OddName, PasswordHash::newSalt(), {}, 1000, true, {}};
        odd.hash = PasswordHash::pbkdf2Sha256("pw", odd.salt, odd.iterations, PasswordHash::KeyLength);
        QVERIFY(store.createAccount(odd));
    }
    void cleanup()
    {
        if (QTest::currentTestFailed())
            for (const auto &r : m_relays)
                qWarning("%s", qPrintable(r->log().right(4000)));
    }

    // Reports, messages and readings from any relay reach every client of
    // every relay once, byte for byte, reports with one time stamp; two
    // reports from two relays arrive everywhere in one order.
    void trafficReachesEveryClientOnce_data()
    {
        QTest::addColumn<QString>("sender");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("message");
        const QString text = u"R: hail "_s + WireCodec::charForByte(129) + WireCodec::charForByte(130);
        QTest::newRow("report") << u"TRA"_s << u"RPT"_s << Report(text, u"TRA"_s);
        QTest::newRow("message") << u"TRA"_s << u"MSG"_s
                                 << ServerMessage(u"MSG", {u"ALL"_s, u"TRA"_s, EscapeOutgoing(u"hi: all'")});
        QTest::newRow("station reading")
            << u"TRA"_s << u"RPA"_s
            << ServerMessage(u"RPA", {u"71.2"_s, u"5"_s, u"12"_s, u"NW"_s, u"29.92"_s, u"Cumulus"_s, u"MD"_s,
                                      u"HARFORD"_s, u"21001"_s, u"TRA"_s, u"Bel Air"_s});
        QTest::newRow("escape bytes in the user name") << OddName << u"RPT"_s << Report(text, OddName);
    }
    void trafficReachesEveryClientOnce()
    {
        QFETCH(QString, sender);
        QFETCH(QString, code);
        QFETCH(QString, message);
        RawClient from, b, c;
        QVERIFY(from.connectTo(relay(0).tcpPort()));
        from.sendText(NewAccount(sender, u"pw"_s) + SignOn(sender, u"pw"_s));
        QCOMPARE(from.waitForCode(u"SGN"_s), u":SGN|3|^"_s);
        QVERIFY(JoinRelay(b, relay(1).tcpPort(), u"TRB"_s));
        QVERIFY(JoinRelay(c, relay(2).tcpPort(), u"TRC"_s));
        from.sendText(message);
        b.sendText(Report(u"second"_s, u"TRB"_s));
        QStringList seen;
        for (RawClient *r : {&from, &b, &c}) {
            const QStringList got = r->take(RawClient::hasCode(code), code == u"RPT"_s ? 2 : 1, 5000);
            QVERIFY2(!got.isEmpty(), qPrintable(r->messages().join(u' ')));
            seen.append(got.join(u' '));
            QVERIFY(
                std::ranges::any_of(got, [&](const QString &m) { return m.startsWith(message.chopped(2)); }));
            QCOMPARE(r->pendingWithCode(code, 200).size(), 0);
        }
        QCOMPARE(seen.count(seen.first()), 3);
    }

    // GOB on every sign-on with the cluster's count, the list of every
    // relay's observers, and exactly one DOB for each departure.
    void observersAcrossRelays()
    {
        RawClient a, b, c;
        QVERIFY(JoinRelay(a, relay(0).tcpPort(), u"OBA"_s));
        QVERIFY(JoinRelay(b, relay(1).tcpPort(), u"OBB"_s));
        QCOMPARE(a.waitFor([](const QString &m) { return fromUser(m, u"GOB"_s, u"OBB"_s); }),
                 u":GOB|MD|HARFORD|21001|OBB|2|^"_s);
        QVERIFY(JoinRelay(c, relay(2).tcpPort(), u"OBC"_s));
        for (RawClient *r : {&a, &b, &c})
            QCOMPARE(r->waitFor([](const QString &m) { return fromUser(m, u"GOB"_s, u"OBC"_s); }),
                     u":GOB|MD|HARFORD|21001|OBC|3|^"_s);
        c.sendText(ServerMessage(u"GOB"));
        QCOMPARE(c.collect(u"GOB"_s, 3),
                 (QStringList{u":GOB|MD|HARFORD|21001|OBA|3|^"_s, u":GOB|MD|HARFORD|21001|OBB|3|^"_s,
                              u":GOB|MD|HARFORD|21001|OBC|3|^"_s}));
        const QString list = relay(1).admin({u"list"_s});
        QVERIFY2(list.contains(u"\tOBA\tMD\tHARFORD\t21001\t127.0.0.1:"_s) && list.contains(u"\tR0\n"_s) &&
                     list.contains(u"\tR2\n"_s) && list.contains(u"ok 3 observers"_s),
                 qPrintable(list));
        b.sendText(u":DOB|MD|HARFORD|21001|OBB|^"_s);
        QCOMPARE(a.waitForCode(u"DOB"_s), dob(u"OBB"_s));
        b.close();
        c.close();
        QCOMPARE(a.pendingWithCode(u"DOB"_s, 800), QStringList{dob(u"OBC"_s)});
    }

    // Sign-on at one relay of a user already signed on at another.
    void signOnWhileHeldElsewhere_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("from");
        QTest::addColumn<bool>("withVersion");
        QTest::addColumn<QString>("reply");
        QTest::newRow("first sign-on from another address")
            << u"MVA"_s << u"127.0.0.7"_s << true << u":SGN|4|^"_s;
        QTest::newRow("re-sign-on from another address")
            << u"MVB"_s << u"127.0.0.7"_s << false << u":SGN|3|^"_s;
        QTest::newRow("first sign-on from the same address")
            << u"MVC"_s << u"127.0.0.6"_s << true << u":SGN|3|^"_s;
    }
    void signOnWhileHeldElsewhere()
    {
        QFETCH(QString, user);
        QFETCH(QString, from);
        QFETCH(bool, withVersion);
        QFETCH(QString, reply);
        RawClient watcher, first, second;
        QVERIFY(JoinRelay(watcher, relay(2).tcpPort(), u"WAT"_s + user));
        QVERIFY(JoinRelay(first, relay(0).tcpPort(), user, u"HARFORD"_s, u"127.0.0.6"_s));
        QVERIFY(watcher.waitFor([&](const QString &m) { return fromUser(m, u"GOB"_s, user); }).size());
        QVERIFY(second.connectTo(relay(1).tcpPort(), 3000, from));
        second.sendText(SignOn(user, u"pw"_s, u"MD"_s, u"HARFORD"_s, u"21001"_s, withVersion));
        QCOMPARE(second.waitForCode(u"SGN"_s), reply);
        const bool replaced = reply == u":SGN|3|^"_s;
        QCOMPARE(first.waitForDisconnected(replaced ? 3000 : 300), replaced);
        QCOMPARE(watcher.pendingWithCode(u"DOB"_s, 500), replaced ? QStringList{dob(user)} : QStringList());
        QCOMPARE(watcher.pendingWithCode(u"GOB"_s, 0).size(), replaced ? 1 : 0);
    }

    // Operator commands on one relay reach the user wherever he is, and
    // nobody else; "*" and wrn reach everybody once.
    void operatorActionsFindTheirUser_data()
    {
        QTest::addColumn<QStringList>("command");
        QTest::addColumn<QString>("targetGets");
        QTest::addColumn<bool>("othersToo");
        using L = QStringList;
        QTest::newRow("smg") << L{u"smg"_s, u"OPT"_s, u"hello"_s} << u":SMG|OPT|SYSTEM|hello|^"_s << false;
        QTest::newRow("smg everybody") << L{u"smg"_s, u"*"_s, u"all"_s} << u":SMG|ALL|SYSTEM|all|^"_s << true;
        QTest::newRow("wrn") << L{u"wrn"_s,   u"TORNADO"_s, u"MD"_s, u"HARFORD"_s,
                                  u"21001"_s, u"NWS"_s,     u"X"_s,  u"12/6/2026 6:44:52 PM"_s}
                             << u":WRN|TORNADO|MD|HARFORD|21001|NWS|X|12/6/2026 6:44:52 PM|^"_s << true;
        QTest::newRow("hub") << L{u"hub"_s, u"OPT"_s, u"10.0.0.9"_s, u"5000"_s} << u":HUB|10.0.0.9|5000|^"_s
                             << false;
        QTest::newRow("gad") << L{u"gad"_s, u"OPT"_s, u"http://i/x.gif"_s, u"tip"_s, u"http://l/"_s}
                             << u":GAD|http://i/x.gif|tip|http://l/|^"_s << false;
        QTest::newRow("c12") << L{u"c12"_s, u"OPT"_s} << u":C12|OPT|^"_s << false;
        QTest::newRow("dis") << L{u"dis"_s, u"OPT"_s} << u":DIS|^"_s << false;
        QTest::newRow("ban") << L{u"ban"_s, u"OPT"_s} << u":BAN|OPT|^"_s << false;
    }
    void operatorActionsFindTheirUser()
    {
        QFETCH(QStringList, command);
        QFETCH(QString, targetGets);
        QFETCH(bool, othersToo);
        RawClient target, other;
        QVERIFY(JoinRelay(target, relay(2).tcpPort(), u"OPT"_s));
        QVERIFY(JoinRelay(other, relay(1).tcpPort(), u"OPO"_s));
        const auto next = [](RawClient &c, int timeoutMs) {
            return c.waitFor(
                [](const QString &m) {
                    return !m.startsWith(u":PNG"_s) && !m.startsWith(u":GOB"_s) && !m.startsWith(u":DOB"_s);
                },
                timeoutMs);
        };
        const QString out = relay(0).admin(command);
        QVERIFY2(out.startsWith(u"ok"_s), qPrintable(out));
        QCOMPARE(next(target, 3000), targetGets);
        QCOMPARE(next(other, othersToo ? 3000 : 300), othersToo ? targetGets : QString());
        if (command.first() == u"ban"_s) {
            QTRY_VERIFY(other.messages().contains(dob(u"OPT"_s)));
            QVERIFY(relay(0).admin({u"unban"_s, u"OPT"_s}).startsWith(u"ok"_s));
        }
    }

    // GLD on any relay answers the whole cluster's history; XRP on another
    // relay deletes it everywhere.
    void historyIsTheClusters()
    {
        RawClient author, reader;
        QVERIFY(JoinRelay(author, relay(0).tcpPort(), u"HIS"_s));
        QVERIFY(JoinRelay(reader, relay(1).tcpPort(), u"HIR"_s));
        author.sendText(Report(u"R: wall cloud"_s, u"HIS"_s));
        const QString relayed = reader.waitForCode(u"RPT"_s);
        QVERIFY(!relayed.isEmpty());
        // Whichever relay takes it from the stream writes it.
        QTest::qWait(300);
        reader.sendText(ServerMessage(u"GLD", {u"1"_s}));
        QTRY_VERIFY(reader.messages().contains(u":GLD"_s + relayed.mid(4)));
        RawClient moved;
        QVERIFY(moved.connectTo(relay(2).tcpPort()));
        moved.sendText(SignOn(u"HIS"_s, u"pw"_s, u"MD"_s, u"HARFORD"_s, u"21001"_s, false));
        QCOMPARE(moved.waitForCode(u"SGN"_s), u":SGN|3|^"_s);
        moved.sendText(u":XRP|R: wall cloud|^"_s);
        for (RawClient *r : {&moved, &reader})
            QCOMPARE(r->waitForCode(u"DEL"_s), u":DEL|R: wall cloud|^"_s);
    }

    // The address file hands out the least loaded relay that is not
    // draining; drain moves a relay's clients away.
    void addressFileAndDrain()
    {
        std::vector<std::unique_ptr<RawClient>> clients;
        for (int i = 0; i < 6; ++i) {
            clients.push_back(std::make_unique<RawClient>());
            QVERIFY(JoinRelay(*clients.back(), relay(i < 4 ? 0 : 2).tcpPort(), u"ADR%1"_s.arg(i)));
        }
        const auto address = [this](int i) { return u"127.0.0.1:%1"_s.arg(relay(i).tcpPort()); };
        const auto line = [&](int i, int signedOn, int draining) {
            return u"R%1\t%2\t%3\t%4\n"_s.arg(i).arg(address(i)).arg(signedOn).arg(draining);
        };
        for (int i = 0; i < 3; ++i) {
            const auto counted = [&] {
                const QString relays = relay(i).admin({u"relays"_s});
                return relays.contains(line(0, 4, 0)) && relays.contains(line(1, 0, 0)) &&
                       relays.contains(line(2, 2, 0));
            };
            QTRY_VERIFY_WITH_TIMEOUT(counted(), 3000);
            QCOMPARE(addressFile(i), address(1));
        }
        const QString drained = relay(1).admin({u"drain"_s});
        QVERIFY2(drained.startsWith(u"ok 0 clients moved"_s), qPrintable(drained));
        QTRY_VERIFY_WITH_TIMEOUT(relay(0).admin({u"relays"_s}).contains(line(1, 0, 1)), 3000);
        QCOMPARE(addressFile(1), address(2));
        QCOMPARE(get(1, u"/health"_s), u"503"_s);
        QVERIFY(relay(2).admin({u"drain"_s}).startsWith(u"ok 2 clients moved"_s));
        QCOMPARE(clients.back()->waitForCode(u"DIS"_s), u":DIS|^"_s);
        QTRY_COMPARE_WITH_TIMEOUT(addressFile(1), address(0), 3000);
    }

    // Redis away for a few seconds: each relay serves its own clients, and
    // the others hear what was said meanwhile once it is back.
    void redisAwayForAFewSeconds()
    {
        RawClient a, b;
        QVERIFY(JoinRelay(a, relay(0).tcpPort(), u"RDA"_s));
        QVERIFY(JoinRelay(b, relay(2).tcpPort(), u"RDB"_s));
        QVERIFY(a.waitFor([](const QString &m) { return fromUser(m, u"GOB"_s, u"RDB"_s); }).size());
        m_redis.stop();
        QTest::qWait(300);
        a.sendText(Report(u"meanwhile"_s, u"RDA"_s));
        QVERIFY(a.waitForCode(u"RPT"_s, 1000).contains(u"meanwhile"_s));
        QVERIFY(b.pendingWithCode(u"RPT"_s, 300).isEmpty());
        QCOMPARE(get(0, u"/health"_s), u"503"_s);
        RawClient late;
        QVERIFY(JoinRelay(late, relay(2).tcpPort(), u"RDL"_s));
        QTest::qWait(1500);
        QVERIFY(m_redis.start());
        QVERIFY(b.waitForCode(u"RPT"_s, 10000).contains(u"meanwhile"_s));
        QVERIFY(a.waitFor([](const QString &m) { return fromUser(m, u"GOB"_s, u"RDL"_s); }, 5000).size());
        QVERIFY(relay(0).log().count(u"cluster: Redis at"_s) == 1);
        // Nobody was taken for gone.
        QVERIFY(a.pendingWithCode(u"DOB"_s, 6000).isEmpty());
    }

    // A relay killed: the others sign its users off once each, stop
    // handing it out, and its clients sign on elsewhere; every report it
    // relayed is in the history.
    void relayKilled()
    {
        RawClient victim1, victim2, survivor;
        QVERIFY(JoinRelay(victim1, relay(0).tcpPort(), u"KIA"_s));
        QVERIFY(JoinRelay(victim2, relay(0).tcpPort(), u"KIB"_s));
        QVERIFY(JoinRelay(survivor, relay(2).tcpPort(), u"KIS"_s));
        for (int i = 0; i < 20; ++i)
            victim1.sendText(Report(u"last words %1"_s.arg(i), u"KIA"_s));
        QCOMPARE(survivor.collect(u"RPT"_s, 20, 5000).size(), 20);
        QElapsedTimer clock;
        clock.start();
        QVERIFY(relay(0).kill());
        QCOMPARE(survivor.take([](const QString &m) { return m.startsWith(u":DOB|"_s); }, 2, 15000),
                 (QStringList{dob(u"KIA"_s), dob(u"KIB"_s)}));
        QVERIFY(clock.elapsed() < 15000);
        QVERIFY(survivor.pendingWithCode(u"DOB"_s, 1000).isEmpty());
        QVERIFY(!relay(2).admin({u"relays"_s}).contains(u"R0\t"_s));
        // Its clients sign on elsewhere, and its unwritten history passes
        // to a survivor: asked again until all is there.
        const auto lastWords = [this] {
            RawClient back;
            if (!back.connectTo(relay(2).tcpPort()))
                return -1;
            back.sendText(SignOn(u"KIA"_s, u"pw"_s, u"MD"_s, u"HARFORD"_s, u"21001"_s, false) +
                          ServerMessage(u"GLD", {u"1"_s}));
            if (back.waitForCode(u"SGN"_s) != u":SGN|3|^"_s)
                return -2;
            return int(back.pendingWithCode(u"GLD"_s, 1000).filter(u"last words"_s).size());
        };
        int found = 0;
        QVERIFY2(QTest::qWaitFor([&] { return (found = lastWords()) == 20; }, 10000),
                 qPrintable(u"%1 of 20 in the history"_s.arg(found)));
    }

private:
    RelayProcess &relay(int i) { return *m_relays.at(size_t(i)); }
    QString addressFile(int i) { return get(i, u"/weather/WXIP.txt"_s); }
    // The body, or the status when it is not 200.
    QString get(int i, const QString &path)
    {
        QNetworkAccessManager net;
        QNetworkReply *reply =
            net.get(QNetworkRequest(QUrl(u"http://127.0.0.1:%1%2"_s.arg(relay(i).httpPort()).arg(path))));
        (void)QTest::qWaitFor([reply] { return reply->isFinished(); }, 3000);
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        const QString body = status == 200 ? QString::fromLatin1(reply->readAll()) : QString::number(status);
        delete reply;
        return body;
    }

    TempRedis m_redis;
    TempPostgres m_postgres;
    std::vector<std::unique_ptr<RelayProcess>> m_relays;
};

QTEST_GUILESS_MAIN(TestRelayCluster)
#include "tst_relay_cluster.moc"
