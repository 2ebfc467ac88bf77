// ctest-label: e2e
#include "raw_client.h"
#include "relay_process.h"

#include "net/protocol.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QtTest>

#include <memory>
#include <vector>

#include <sys/resource.h>

using namespace Qt::Literals::StringLiterals;

using namespace RelayTestText;

// What one connection, or one address, may try against a relay open to a
// network: each case is refused or bounded while honest clients go on.
class TestRelayAbuse : public QObject
{
    Q_OBJECT
private slots:
    void init() { startRelay({}); }
    void cleanup()
    {
        if (QTest::currentTestFailed())
            qWarning("%s", qPrintable(m_relay->log().right(3000)));
        m_relay.reset();
    }

    // ANN sends; BEN watches for the code.
    void whatOthersReceive_data()
    {
        QTest::addColumn<QString>("benFirst");
        QTest::addColumn<QString>("annSends");
        QTest::addColumn<int>("repeat");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QStringList>("benGets");
        const QString big(1200, u'x');
        QTest::newRow("report sender") << QString() << Report(u"hail"_s, u"SYSTEM"_s) << 1 << u"RPT"_s
                                       << QStringList{u"hail|MD|HARFORD|21001|ANN|Bel Air"_s};
        QTest::newRow("message sender")
            << QString() << u":MSG|ALL|SYSTEM|hi|^"_s << 1 << u"MSG"_s << QStringList{u":MSG|ALL|ANN|hi|^"_s};
        QTest::newRow("readings sender")
            << QString() << u":RPA|50|5|9|N|30.1|W|MD|HARFORD|21001|BEN|Bel Air|^"_s << 1 << u"RPA"_s
            << QStringList{u":RPA|50|5|9|N|30.1|W|MD|HARFORD|21001|ANN|Bel Air|^"_s};
        QTest::newRow("long report text")
            << QString() << Report(big, u"ANN"_s) << 1 << u"RPT"_s << QStringList{};
        QTest::newRow("long state") << QString() << Report(u"hail"_s, u"ANN"_s, QString(100, u'M')) << 1
                                    << u"RPT"_s << QStringList{};
        QTest::newRow("long message")
            << QString() << u":MSG|ALL|ANN|%1|^"_s.arg(QString(5000, u'x')) << 1 << u"MSG"_s << QStringList{};
        // Well within the message rate, far beyond the byte rate.
        const QString chat = u":MSG|ALL|ANN|%1|^"_s.arg(QString(900, u'c'));
        QTest::newRow("byte rate") << QString() << chat << 60 << u"MSG"_s << QStringList(17, chat);
        QTest::newRow("retraction of a copied report")
            << Report(u"funnel cloud"_s, u"BEN"_s)
            << Report(u"FUNNEL CLOUD"_s, u"ANN"_s) + u":XRP|FUNNEL CLOUD|^"_s << 1 << u"DEL"_s
            << QStringList{};
        QTest::newRow("history burst") << Report(u"one"_s, u"BEN"_s) + Report(u"two"_s, u"BEN"_s)
                                       << u":GLD|1|^"_s << 50 << u"GLD"_s << QStringList{u"one"_s, u"two"_s};
        QTest::newRow("observer list burst")
            << QString() << u":GOB|^"_s << 50 << u"GOB"_s << QStringList{u"BEN"_s, u"ANN"_s};
    }
    void whatOthersReceive()
    {
        QFETCH(QString, benFirst);
        QFETCH(QString, annSends);
        QFETCH(int, repeat);
        QFETCH(QString, code);
        QFETCH(QStringList, benGets);
        RawClient ann, ben;
        QVERIFY(JoinRelay(ben, m_relay->tcpPort(), u"BEN"_s));
        QVERIFY(JoinRelay(ann, m_relay->tcpPort(), u"ANN"_s));
        ben.sendText(benFirst);
        (void)ann.pendingWithCode(u"RPT"_s, 200);
        // Answers go to the asker: then ANN is the one watched.
        RawClient &watcher = code == u"GLD"_s || code == u"GOB"_s ? ann : ben;
        watcher.skipAll();
        ann.sendText(annSends.repeated(repeat));
        QStringList got = watcher.pendingWithCode(code, 500);
        QCOMPARE(got.size(), benGets.size());
        for (qsizetype i = 0; i < got.size(); ++i)
            QVERIFY2(got.at(i).contains(benGets.at(i)), qPrintable(got.at(i).left(200)));
    }

    // Each row's connections come from one address of their own.
    void accountsAndSignOn_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QStringList>("sent");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QStringList>("replies");
        QTest::addColumn<bool>("lastClosed");
        QTest::newRow("per-address cap")
            << QStringList{} << QStringList(17) << u"NEW"_s << QStringList{} << true;
        QTest::newRow("sign-on deadline, NEW does not extend it")
            << QStringList{u"--signon-timeout-seconds"_s, u"1"_s}
            << QStringList{NewAccount(u"SLOW"_s, u"pw"_s)} << u"NEW"_s << QStringList{u":NEW|1|^"_s} << true;
        QStringList names, answers;
        for (const QString &n : {u"bob\u00ADx"_s, u"ab"_s, u"SYSTEM"_s, u"Quickchat"_s, u"a\"b:c"_s,
                                 u"Stra\u00DFe"_s, u"a.b-c_d9"_s, QString(21, u'n')}) {
            names.append(NewAccount(n, u"pw"_s));
            answers.append(n == u"a.b-c_d9"_s ? u":NEW|1|^"_s : u":NEW|2|^"_s);
        }
        QTest::newRow("user names") << QStringList{} << QStringList{names.join(QString())} << u"NEW"_s
                                    << answers << false;
        QStringList many;
        for (int i = 0; i < 12; ++i)
            many.append(u":NEW|"_s + u"MANY%1|pw|^"_s.arg(i));
        QStringList madeThenRefused(10, u":NEW|1|^"_s);
        madeThenRefused << u":NEW|2|^"_s << u":NEW|2|^"_s;
        QTest::newRow("accounts per address")
            << QStringList{} << QStringList{many.join(QString())} << u"NEW"_s << madeThenRefused << false;
        QStringList guesses{NewAccount(u"VICTIM"_s, u"pw"_s)};
        for (int i = 0; i < 5; ++i)
            guesses.append(SignOn(u"VICTIM"_s, u"guess%1"_s.arg(i)));
        guesses.append(SignOn(u"VICTIM"_s, u"pw"_s));
        QStringList backedOff(6, u":SGN|2|^"_s);
        QTest::newRow("password guessing")
            << QStringList{} << QStringList{guesses.join(QString())} << u"SGN"_s << backedOff << false;
        QTest::newRow("held while hashing")
            << QStringList{}
            << QStringList{NewAccount(u"HELD"_s, u"pw"_s) +
                           u":MSG|ALL|HELD|%1|^"_s.arg(QString(900, u'h')).repeated(40)}
            << u"NEW"_s << QStringList{} << true;
        QTest::newRow("sign-on with a long county")
            << QStringList{}
            << QStringList{NewAccount(u"WIDE"_s, u"pw"_s) +
                           SignOn(u"WIDE"_s, u"pw"_s, u"MD"_s, QString(500, u'C'))}
            << u"SGN"_s << QStringList{} << true;
    }
    void accountsAndSignOn()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, sent);
        QFETCH(QString, code);
        QFETCH(QStringList, replies);
        QFETCH(bool, lastClosed);
        if (!arguments.isEmpty())
            startRelay(arguments);
        std::vector<std::unique_ptr<RawClient>> clients;
        for (const QString &text : sent) {
            clients.push_back(std::make_unique<RawClient>());
            QVERIFY(clients.back()->connectTo(m_relay->tcpPort(), 3000, u"127.0.0.9"_s));
            clients.back()->sendText(text);
        }
        RawClient &last = *clients.back();
        QCOMPARE(last.collect(code, int(replies.size()), 3000), replies);
        QCOMPARE(last.waitForDisconnected(lastClosed ? 3000 : 300), lastClosed);
    }

    // What reaches the log and the observer list from clients is short,
    // once per connection, free of control characters, and no e-mail.
    void logAndList_data()
    {
        QTest::addColumn<QString>("sent");
        QTest::addColumn<QString>("marker");
        QTest::addColumn<int>("atMost");
        QTest::newRow("reminder names no e-mail") << u":FGT|ANN|^"_s << u"ANN@example.org"_s << 0;
        QTest::newRow("long field") << u":SGN|%1|pw|^"_s.arg(QString(5000, u'A')) << QString(300, u'A') << 0;
        QTest::newRow("repeated event") << u":FGT|nobody|^"_s.repeated(30) << u"nobody"_s << 1;
        QTest::newRow("C1 control") << u":SGN|c\u0081c|pw|^"_s + NewAccount(u"CEE"_s, u"pw"_s) +
                                           SignOn(u"CEE"_s, u"pw"_s, u"MD"_s, u"HAR\u0081FORD"_s)
                                    << u"\u0081"_s << 0;
    }
    void logAndList()
    {
        QFETCH(QString, sent);
        QFETCH(QString, marker);
        QFETCH(int, atMost);
        RawClient ann, other;
        QVERIFY(JoinRelay(ann, m_relay->tcpPort(), u"ANN"_s));
        QVERIFY(other.connectTo(m_relay->tcpPort()));
        other.sendText(sent + SignOn(u"probe"_s, u"x"_s));
        QVERIFY(!other.waitForCode(u"SGN"_s).isEmpty());
        QTest::qWait(100);
        QVERIFY(m_relay->log().count(marker) <= atMost);
        QVERIFY(!m_relay->admin({u"list"_s}).contains(marker));
    }

    // An account made at a lower cost is re-hashed at the relay's cost when
    // its owner next signs on, and the password still works afterwards.
    void hashRaisedAtSignOn()
    {
        RawClient first;
        QVERIFY(JoinRelay(first, m_relay->tcpPort(), u"ANN"_s));
        QVERIFY(m_relay->stop());
        for (int round = 0; round < 2; ++round) {
            RelayProcess costlier;
            QVERIFY(costlier.start({u"--pbkdf2-iterations"_s, u"3000"_s}, m_relay->databasePath()));
            RawClient again;
            QVERIFY(again.connectTo(costlier.tcpPort()));
            again.sendText(SignOn(u"ANN"_s, u"pw"_s));
            QCOMPARE(again.waitForCode(u"SGN"_s), u":SGN|3|^"_s);
            QTest::qWait(100);
            QCOMPARE(costlier.log().contains(u"ANN raised to 3000 iterations"_s), round == 0);
        }
    }

    // With few descriptors to spare, the relay refuses what it cannot hold
    // and still answers once the crowd has gone.
    void descriptorsRunShort()
    {
        QProcess relay;
        relay.setChildProcessModifier([] {
            const rlimit few{256, 256};
            setrlimit(RLIMIT_NOFILE, &few);
        });
        relay.setStandardErrorFile(QProcess::nullDevice());
        relay.start(QStringLiteral(NIMBREL_RELAY_BIN),
                    {u"--listen"_s, u"127.0.0.1:0"_s, u"--http"_s, u"127.0.0.1:0"_s, u"--db"_s,
                     m_dir.filePath(u"fd.sqlite"_s), u"--max-per-address"_s, u"0"_s, u"--pbkdf2-iterations"_s,
                     u"1000"_s});
        QVERIFY(relay.waitForReadyRead(10000));
        const QRegularExpressionMatch m = QRegularExpression(u"tcp=[^ ]*:(\\d+) http=[^ ]*:(\\d+)"_s)
                                              .match(QString::fromUtf8(relay.readLine()));
        QVERIFY(m.hasMatch());
        const quint16 tcp = quint16(m.captured(1).toUInt()), http = quint16(m.captured(2).toUInt());
        // Idle requests from one address hold few of the address file's slots.
        std::vector<std::unique_ptr<QTcpSocket>> idle;
        for (int i = 0; i < 64; ++i) {
            idle.push_back(std::make_unique<QTcpSocket>());
            idle.back()->bind(QHostAddress(u"127.0.0.7"_s));
            idle.back()->connectToHost(u"127.0.0.1"_s, http);
            QVERIFY(idle.back()->waitForConnected(3000));
        }
        {
            std::vector<std::unique_ptr<QTcpSocket>> crowd;
            for (int i = 0; i < 300; ++i) {
                crowd.push_back(std::make_unique<QTcpSocket>());
                crowd.back()->connectToHost(u"127.0.0.1"_s, tcp);
                QVERIFY(crowd.back()->waitForConnected(3000));
            }
            QTest::qWait(500);
        }
        QTest::qWait(1000);
        QTcpSocket page;
        page.connectToHost(u"127.0.0.1"_s, http);
        QVERIFY(page.waitForConnected(3000));
        page.write("GET /weather/WXIP.txt HTTP/1.0\r\n\r\n");
        QByteArray answer;
        QVERIFY(QTest::qWaitFor([&] { return (answer += page.readAll()).contains("\r\n\r\n"); }, 3000));
        QVERIFY2(answer.startsWith("HTTP/1.1 200"), answer.constData());
        RawClient late;
        QVERIFY(JoinRelay(late, tcp, u"LATE"_s));
        relay.terminate();
        QVERIFY(relay.waitForFinished(5000));
    }

private:
    void startRelay(const QStringList &arguments)
    {
        m_relay = std::make_unique<RelayProcess>();
        QVERIFY2(m_relay->start(arguments + QStringList{u"--pbkdf2-iterations"_s, u"1000"_s}),
                 qPrintable(m_relay->readyLine() + m_relay->log()));
    }
    std::unique_ptr<RelayProcess> m_relay;
    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(TestRelayAbuse)
#include "tst_relay_abuse.moc"
