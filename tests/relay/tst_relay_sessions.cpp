// ctest-label: e2e
#include "password_hash.h"
#include "raw_client.h"
#include "relay_process.h"
#include "relay_store.h"
#include "temp_servers.h"

#include "base/wire_codec.h"
#include "net/protocol.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

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
    // Rows tagged "postgresql" run against a throwaway PostgreSQL server.
    void init()
    {
        QString database;
        if (QByteArray(QTest::currentDataTag()) == "postgresql") {
            QVERIFY2(m_postgres.isRunning() || m_postgres.start(), qPrintable(m_postgres.error()));
            database = m_postgres.url();
        }
        m_relay = std::make_unique<RelayProcess>();
        QVERIFY2(m_relay->start({}, database), qPrintable(m_relay->readyLine() + m_relay->log()));
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
        QTest::newRow("unknown user") << u"NOBODY"_s << u"pw"_s << true << u"1"_s;
        QTest::newRow("wrong password") << u"ALICE"_s << u"PW1"_s << true << u"2"_s;
        QTest::newRow("name in other case") << u"alice"_s << u"pw1"_s << true << u"3"_s;
        QTest::newRow("re-sign-on without version") << u"ALICE"_s << u"pw1"_s << false << u"3"_s;
    }
    void signOnReplies()
    {
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(bool, withVersion);
        RawClient setup;
        QVERIFY(setup.connectTo(m_relay->tcpPort()));
        setup.sendText(NewAccount(u"ALICE"_s, u"pw1"_s));
        QCOMPARE(reply(setup, u"NEW"_s), u"1"_s);
        // Names are one account whatever their letter case.
        setup.sendText(NewAccount(u"alice"_s, u"other"_s));
        QCOMPARE(reply(setup, u"NEW"_s), u"2"_s);
        RawClient c;
        QVERIFY(c.connectTo(m_relay->tcpPort()));
        c.sendText(SignOn(user, password, u"MD"_s, u"HARFORD"_s, u"21001"_s, withVersion));
        QTEST(reply(c, u"SGN"_s), "expected");
        QCOMPARE(c.pendingWithCode(u"SGN"_s, 100).size(), 0);
        QVERIFY(!m_relay->log().contains(u"pw1"_s));
    }

    void signedOnElsewhereAndReplaced()
    {
        RawClient watcher, first, elsewhere, again;
        QVERIFY(JoinRelay(watcher, m_relay->tcpPort(), u"WATCHER"_s));
        QVERIFY(JoinRelay(first, m_relay->tcpPort(), u"BOB"_s, u"HARFORD"_s, u"127.0.0.2"_s));
        QCOMPARE(watcher.collect(u"GOB"_s, 2).size(), 2);

        // Another machine's first sign-on is refused while BOB is on.
        QVERIFY(elsewhere.connectTo(m_relay->tcpPort(), 3000, u"127.0.0.3"_s));
        elsewhere.sendText(SignOn(u"BOB"_s, u"pw"_s));
        QCOMPARE(reply(elsewhere, u"SGN"_s), u"4"_s);

        // The same machine coming back replaces its stale connection: the
        // others see one departure and one arrival, no more.
        QVERIFY(JoinRelay(again, m_relay->tcpPort(), u"BOB"_s, u"HARFORD"_s, u"127.0.0.2"_s));
        QVERIFY(first.waitForDisconnected());
        QCOMPARE(watcher.pendingWithCode(u"DOB"_s, 300), QStringList{u":DOB|MD|HARFORD|21001|BOB|^"_s});
        QCOMPARE(watcher.pendingWithCode(u"GOB"_s, 0), QStringList{u":GOB|MD|HARFORD|21001|BOB|2|^"_s});
        watcher.skipAll();
        watcher.sendText(ServerMessage(u"GOB"));
        QCOMPARE(watcher.collect(u"GOB"_s, 2).size(), 2);
        QVERIFY(watcher.pendingWithCode(u"GOB"_s, 100).isEmpty());
    }

    // Reports get the relay's time stamp; messages and station data go out
    // unchanged. Escaped bytes 127..130 and other high bytes pass byte for
    // byte, and nothing reaches or comes from a connection not signed on.
    void trafficReachesEveryoneSignedOn()
    {
        RawClient a, b, stranger;
        QVERIFY(JoinRelay(a, m_relay->tcpPort(), u"ANN"_s));
        QVERIFY(JoinRelay(b, m_relay->tcpPort(), u"BEN"_s));
        QVERIFY(stranger.connectTo(m_relay->tcpPort()));
        // Every byte from 127 up: the escapes and other high bytes.
        QString text = u"R: hail "_s;
        for (int b = 127; b < 256; ++b)
            text += WireCodec::charForByte(uchar(b));
        for (int i = 0; i < 5; ++i)
            a.sendText(Report(text + QString::number(i), u"ANN"_s));
        const QString msg = ServerMessage(u"MSG", {u"BEN"_s, u"ANN"_s, EscapeOutgoing(u"hello: there'")});
        const QString rpa =
            ServerMessage(u"RPA", {u"71.2"_s, u"5"_s, u"12"_s, u"NW"_s, u"29.92"_s, u"Cumulus"_s, u"MD"_s,
                                   u"HARFORD"_s, u"21001"_s, u"ANN"_s, u"Bel Air"_s});
        a.sendText(msg + rpa);
        static const QRegularExpression stamp(u"^\\d{1,2}/\\d{1,2}/\\d{4} \\d{1,2}:\\d\\d:\\d\\d [AP]M$"_s);
        for (RawClient *r : {&a, &b}) {
            const QStringList got = r->collect(u"RPT"_s, 5);
            QCOMPARE(got.size(), 5);
            for (int i = 0; i < 5; ++i) {
                const QStringList f = SplitFields(got.at(i));
                QCOMPARE(f.size(), 8);
                QCOMPARE(FieldAt(f, 0), text + QString::number(i));
                QCOMPARE(FieldAt(f, 4), u"ANN"_s);
                QVERIFY2(stamp.match(FieldAt(f, 6)).hasMatch(), qPrintable(FieldAt(f, 6)));
            }
            QCOMPARE(r->waitForCode(u"MSG"_s), msg);
            QCOMPARE(r->waitForCode(u"RPA"_s), rpa);
        }
        stranger.sendText(ServerMessage(u"MSG", {u"ALL"_s, u"X"_s, u"spam"_s}) + Report(u"x"_s, u"X"_s) +
                          ServerMessage(u"GLD", {u"5"_s}) + ServerMessage(u"GOB"));
        QVERIFY(b.pendingWithCode(u"MSG"_s, 200).isEmpty());
        QVERIFY(stranger.messages().isEmpty());
    }

    // Passwords are checked off the event loop: what a client sends right
    // behind its new account and sign-on still follows them, in order.
    void messagesBehindASignOnWaitForIt()
    {
        RawClient a, c;
        QVERIFY(JoinRelay(a, m_relay->tcpPort(), u"ANN"_s));
        QVERIFY(c.connectTo(m_relay->tcpPort()));
        const QString msg = ServerMessage(u"MSG", {u"ALL"_s, u"CAT"_s, u"first words"_s});
        c.sendText(NewAccount(u"CAT"_s, u"pw"_s) + SignOn(u"CAT"_s, u"pw"_s) + msg);
        QCOMPARE(reply(c, u"NEW"_s), u"1"_s);
        QCOMPARE(reply(c, u"SGN"_s), u"3"_s);
        QCOMPARE(a.waitForCode(u"MSG"_s), msg);
        QCOMPARE(c.waitForCode(u"MSG"_s), msg);
    }

    void observersArriveListAndLeaveOnce()
    {
        RawClient a, b, c;
        QVERIFY(JoinRelay(a, m_relay->tcpPort(), u"ANN"_s));
        QCOMPARE(a.waitForCode(u"GOB"_s), u":GOB|MD|HARFORD|21001|ANN|1|^"_s);
        QVERIFY(JoinRelay(b, m_relay->tcpPort(), u"BEN"_s, u"CECIL"_s));
        QCOMPARE(a.waitForCode(u"GOB"_s), u":GOB|MD|CECIL|21001|BEN|2|^"_s);
        QCOMPARE(b.waitForCode(u"GOB"_s), u":GOB|MD|CECIL|21001|BEN|2|^"_s);
        b.sendText(ServerMessage(u"GOB"));
        QCOMPARE(b.collect(u"GOB"_s, 2),
                 (QStringList{u":GOB|MD|HARFORD|21001|ANN|2|^"_s, u":GOB|MD|CECIL|21001|BEN|2|^"_s}));

        // The sign-off arrives upper-cased; the others get the DOB built
        // from the sign-on fields, once, not again when the link closes.
        QVERIFY(JoinRelay(c, m_relay->tcpPort(), u"Cid"_s));
        a.skipAll();
        c.sendText(u":DOB|MD|HARFORD|21001|CID|^"_s);
        c.close();
        QCOMPARE(a.pendingWithCode(u"DOB"_s, 300), QStringList{u":DOB|MD|HARFORD|21001|Cid|^"_s});

        // A dropped connection counts as a sign-off.
        a.skipAll();
        b.close();
        QCOMPARE(a.pendingWithCode(u"DOB"_s, 300), QStringList{u":DOB|MD|CECIL|21001|BEN|^"_s});
        a.skipAll();
        a.sendText(ServerMessage(u"GOB"));
        QCOMPARE(a.collect(u"GOB"_s, 1), QStringList{u":GOB|MD|HARFORD|21001|ANN|1|^"_s});
    }

    // Only the author retracts a report, in any letter case; SIGTERM ends the
    // relay cleanly, and accounts and what is left of history survive it.
    void retractionAndHistoryOverARestart_data()
    {
        QTest::addColumn<int>("unused");
        QTest::newRow("sqlite") << 0;
        QTest::newRow("postgresql") << 0;
    }
    void retractionAndHistoryOverARestart()
    {
        {
            RawClient a, b;
            QVERIFY(JoinRelay(a, m_relay->tcpPort(), u"ANN"_s));
            QVERIFY(JoinRelay(b, m_relay->tcpPort(), u"BEN"_s));
            for (const QString &text : {u"first"_s, u"R: funnel cloud"_s, u"second"_s})
                a.sendText(Report(text, u"ANN"_s));
            QCOMPARE(b.collect(u"RPT"_s, 3).size(), 3);
            b.sendText(u":XRP|R: funnel cloud|^"_s);
            QVERIFY(a.pendingWithCode(u"DEL"_s, 200).isEmpty());
            a.sendText(u":XRP|R: FUNNEL CLOUD|^"_s);
            for (RawClient *r : {&a, &b})
                QCOMPARE(r->waitForCode(u"DEL"_s), u":DEL|R: FUNNEL CLOUD|^"_s);
        }
        QVERIFY(m_relay->stop());
        QVERIFY(m_relay->log().contains(u"stopped"_s));
        {
            // History reaches back 168 hours: one report two minutes inside
            // that, one two minutes outside.
            RelayStore store;
            QVERIFY(store.open(m_relay->databasePath(), nullptr));
            const QDateTime now = QDateTime::currentDateTimeUtc();
            for (const int minutes : {168 * 60 - 2, 168 * 60 + 2})
                QVERIFY(store.addReport({now.addSecs(-60LL * minutes),
                                         u"ANN"_s,
                                         {QString::number(minutes), u"1:00"_s, u"IA"_s, u"Story"_s,
                                          u"50010"_s, u"ANN"_s, u"Ames"_s},
                                         "id-" + QByteArray::number(minutes)}));
            // A report stored twice under one id, as a retried write, is one report.
            QVERIFY(store.addReport({now, u"ANN"_s, {u"once"_s}, "id-10078"}));
        }
        RelayProcess restarted;
        QVERIFY(restarted.start({}, m_relay->databasePath()));
        RawClient b;
        QVERIFY(b.connectTo(restarted.tcpPort()));
        b.sendText(SignOn(u"ANN"_s, u"pw"_s));
        QCOMPARE(b.waitForCode(u"SGN"_s), u":SGN|3|^"_s);
        // Requests that are not a whole number of hours get no answer.
        b.sendText(u":GLD|abc|^:GLD|0|^"_s);
        QVERIFY(b.pendingWithCode(u"GLD"_s, 200).isEmpty());
        // The report inside 168 hours comes back, the one outside does not.
        b.sendText(u":GLD| 9999 |^"_s);
        const QStringList got = b.collect(u"GLD"_s, 3);
        QCOMPARE(got.size(), 3);
        QCOMPARE(FieldAt(SplitFields(got.at(0)), 0), u"10078"_s);
        QCOMPARE(FieldAt(SplitFields(got.at(1)), 0), u"first"_s);
        QCOMPARE(FieldAt(SplitFields(got.at(2)), 0), u"second"_s);
        QCOMPARE(SplitFields(got.at(0)).size(), 8);
        QVERIFY(b.pendingWithCode(u"GLD"_s, 200).isEmpty());
        QVERIFY(restarted.stop());
    }

    // A SQLite store is copied into PostgreSQL once, names and texts as
    // they were stored; the relay on PostgreSQL then knows both.
    void migrateIntoPostgres_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<int>("reports");
        QTest::newRow("accented name") << u"Zoë_Ångström"_s << 3;
        // Bytes 128 and 130, the escaped bar and caret, as stored.
        QTest::newRow("escape bytes in the name") << u"A\u20ACB\u201AC"_s << 1;
        QTest::newRow("many reports") << u"MANY"_s << 3000;
    }
    void migrateIntoPostgres()
    {
        QFETCH(QString, user);
        QFETCH(int, reports);
        QVERIFY2(m_postgres.isRunning() || m_postgres.start(), qPrintable(m_postgres.error()));
        m_postgres.query(u"DROP TABLE IF EXISTS accounts, reports"_s);
        QTemporaryDir dir;
        const QString file = dir.filePath(u"old.sqlite"_s);
        {
            RelayStore old;
            QVERIFY(old.open(file, nullptr));
            AccountRecord account{user, "salt", {}, 1000, true, u"me@example.org"_s};
            account.hash = PasswordHash::pbkdf2Sha256("pw", account.salt, 1000, PasswordHash::KeyLength);
            QList<StoredReport> list;
            const QDateTime now = QDateTime::currentDateTimeUtc();
            for (int i = 0; i < reports; ++i)
                list.append({now.addSecs(i - reports),
                             user,
                             {u"%1 saw hail %2"_s.arg(user).arg(i), u"MD"_s, u"HARFORD"_s, u"21001"_s, user,
                              u"Bel Air"_s, u"stamp"_s},
                             {}});
            QVERIFY(old.importAll({account}, list, nullptr));
        }
        const auto migrate = [&](QString *out) {
            QProcess p;
            p.start(QStringLiteral(NIMBREL_RELAY_BIN),
                    {u"migrate"_s, u"--from"_s, file, u"--to"_s, m_postgres.url()});
            p.waitForFinished(30000);
            *out = QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
            return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        };
        QString out;
        QCOMPARE(migrate(&out), 0);
        QVERIFY2(out.contains(u"copied 1 accounts and %1 reports"_s.arg(reports)), qPrintable(out));
        QCOMPARE(migrate(&out), 1);
        QVERIFY2(out.contains(u"holds 1 accounts already: nothing copied"_s), qPrintable(out));

        RelayProcess relay;
        QVERIFY2(relay.start({}, m_postgres.url()), qPrintable(relay.log()));
        RawClient c;
        QVERIFY(c.connectTo(relay.tcpPort()));
        c.sendText(SignOn(user.toLower(), u"pw"_s));
        QCOMPARE(c.waitForCode(u"SGN"_s), u":SGN|3|^"_s);
        c.sendText(u":GLD|1|^"_s);
        const QStringList got = c.collect(u"GLD"_s, reports, 10000);
        QCOMPARE(got.size(), reports);
        const QStringList last = SplitFields(got.constLast());
        QCOMPARE(FieldAt(last, 0), u"%1 saw hail %2"_s.arg(user).arg(reports - 1));
        QCOMPARE(FieldAt(last, 4), user);
    }

private:
    TempPostgres m_postgres;
    std::unique_ptr<RelayProcess> m_relay;
};

QTEST_GUILESS_MAIN(TestRelaySessions)
#include "tst_relay_sessions.moc"
