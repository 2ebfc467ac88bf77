// ctest-label: e2e
#include "raw_client.h"
#include "relay_process.h"
#include "temp_servers.h"

#include "net/protocol.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>

#include <algorithm>
#include <memory>
#include <numeric>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

using namespace RelayTestText;

namespace {

// Accounts here only need to exist, not to resist guessing.
const QStringList QuickHashing{u"--pbkdf2-iterations"_s, u"1000"_s};

int openFiles(qint64 pid)
{
    return int(QDir(u"/proc/%1/fd"_s.arg(pid))
                   .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System)
                   .size());
}

qint64 residentKb(qint64 pid)
{
    QFile f(u"/proc/%1/status"_s.arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

// The relay started from here inherits the limit too.
bool allowOpenFiles(rlim_t wanted)
{
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return false;
    if (limit.rlim_cur >= wanted)
        return true;
    limit.rlim_cur = std::min(wanted, limit.rlim_max);
    return setrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur >= wanted;
}

int modeOf(const QString &path)
{
    struct stat st = {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

// A second connection to a relay's database, as a backup tool or a second
// relay would hold it; root cannot write past its lock either.
struct DatabaseHolder
{
    explicit DatabaseHolder(const QString &path)
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"holder"_s);
        db.setDatabaseName(path);
        db.open();
    }
    ~DatabaseHolder() { QSqlDatabase::removeDatabase(u"holder"_s); }
    bool exec(const QString &sql) { return QSqlQuery(QSqlDatabase::database(u"holder"_s)).exec(sql); }
    QString firstRow(const QString &sql)
    {
        QSqlQuery q(QSqlDatabase::database(u"holder"_s));
        return q.exec(sql) && q.next() ? q.value(q.record().count() - 1).toString() : QString();
    }
};

QString userName(int i)
{
    return u"S%1"_s.arg(i, 4, 10, QChar(u'0'));
}

bool isSignedOn(const QString &m)
{
    return m == u":SGN|3|^"_s;
}

// Waits until each client has taken count matching messages; returns how
// many clients still lack some.
qsizetype waitUntilAll(const std::vector<RawClient *> &clients, const RawClient::Predicate &matches,
                       int count, int timeoutMs)
{
    std::vector<std::pair<RawClient *, int>> waiting;
    for (RawClient *c : clients)
        waiting.emplace_back(c, count);
    (void)QTest::qWaitFor(
        [&] {
            std::erase_if(waiting, [&](auto &w) {
                w.second -= int(w.first->takeArrived(matches, w.second).size());
                return w.second == 0;
            });
            return waiting.empty();
        },
        timeoutMs);
    return qsizetype(waiting.size());
}

} // namespace

// The relay under a thousand clients that come and go abruptly, and the
// relay itself ended by SIGKILL.
class TestRelayFaults : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(allowOpenFiles(4096)); }

    // Clients whose links drop without a word, wave after wave, leave
    // nothing behind: no descriptor, no memory to speak of, and no gap in
    // the fan-out to the clients that stayed.
    void thousandClientsDroppedInWaves()
    {
        constexpr int Clients = 1000;
        constexpr int WarmUpWaves = 8;
        constexpr int Waves = 4;
        constexpr int WaveSize = 200;
        constexpr int ReportsPerWave = 20;
        RelayProcess relay;
        QVERIFY2(relay.start(QuickHashing +
                             QStringList{u"--max-connections"_s, u"1100"_s, u"--max-per-address"_s, u"0"_s}),
                 qPrintable(relay.readyLine() + relay.log()));
        const qint64 pid = relay.processId();

        std::vector<std::unique_ptr<RawClient>> clients(Clients);
        const auto all = [&] {
            std::vector<RawClient *> out;
            for (auto &c : clients)
                out.push_back(c.get());
            return out;
        };
        const auto signOn = [&](const std::vector<int> &which, bool newAccount) {
            std::vector<RawClient *> joining;
            for (int i : which) {
                clients[size_t(i)] = std::make_unique<RawClient>();
                if (!clients[size_t(i)]->connectTo(relay.tcpPort()))
                    return false;
                clients[size_t(i)]->sendText((newAccount ? NewAccount(userName(i), u"pw"_s) : QString()) +
                                             SignOn(userName(i), u"pw"_s));
                joining.push_back(clients[size_t(i)].get());
            }
            return waitUntilAll(joining, isSignedOn, 1, 30000) == 0;
        };
        std::vector<int> everyone(Clients);
        std::iota(everyone.begin(), everyone.end(), 0);
        QVERIFY2(signOn(everyone, true), qPrintable(relay.log().right(2000)));

        QRandomGenerator random(20261208);
        int reportNumber = 0;
        // One wave: some clients vanish, the others report meanwhile and
        // hear every report, then the vanished accounts sign on again.
        const auto wave = [&] {
            std::vector<int> order = everyone;
            std::shuffle(order.begin(), order.end(), random);
            const std::vector<int> dropped(order.begin(), order.begin() + WaveSize);
            std::vector<RawClient *> stayed;
            for (auto it = order.begin() + WaveSize; it != order.end(); ++it)
                stayed.push_back(clients[size_t(*it)].get());
            for (RawClient *c : all())
                c->forget();
            for (int i : dropped)
                clients[size_t(i)]->close();
            for (int k = 0; k < ReportsPerWave; ++k)
                stayed[size_t(k)]->sendText(Report(u"wave report %1"_s.arg(++reportNumber), u"X"_s));
            if (const qsizetype missing =
                    waitUntilAll(stayed, RawClient::hasCode(u"RPT"_s), ReportsPerWave, 30000))
                return u"%1 clients missed reports"_s.arg(missing);
            for (int i : dropped)
                clients[size_t(i)].reset();
            return signOn(dropped, false) ? QString() : u"a dropped account could not sign on again"_s;
        };

        // Every wave's storm of arrivals and departures queues a few
        // megabytes that the heap keeps once freed; its high-water mark
        // creeps up over the first few thousand connections, then levels
        // off near 36 MB. The margin allows for that creep; a descriptor
        // leak shows exactly.
        for (int w = 0; w < WarmUpWaves; ++w)
            QCOMPARE(wave(), QString());
        const auto settled = [&](int files) {
            return QTest::qWaitFor([&] { return openFiles(pid) <= files; }, 5000);
        };
        QTest::qWait(300);
        const int filesBefore = openFiles(pid);
        const qint64 rssBefore = residentKb(pid);
        QVERIFY(filesBefore >= Clients && rssBefore > 0);
        for (int w = 0; w < Waves; ++w)
            QCOMPARE(wave(), QString());
        for (RawClient *c : all())
            c->forget();
        QVERIFY2(settled(filesBefore),
                 qPrintable(u"%1 open, %2 before"_s.arg(openFiles(pid)).arg(filesBefore)));
        const qint64 rssAfter = residentKb(pid);
        qInfo("relay: %d files open; resident %lld kB after warm-up, %lld kB after %d waves", filesBefore,
              rssBefore, rssAfter, Waves);
        QVERIFY2(rssAfter <= rssBefore + 6 * 1024,
                 qPrintable(u"%1 kB before, %2 kB after"_s.arg(rssBefore).arg(rssAfter)));

        const QString last = Report(u"after the waves"_s, userName(0));
        clients[0]->sendText(last);
        QCOMPARE(
            waitUntilAll(
                all(), [](const QString &m) { return m.startsWith(u":RPT|after the waves|"_s); }, 1, 10000),
            0);
        QVERIFY(relay.stop());
    }

    // A relay killed while reports stream in comes back on the same file
    // with every account and every report it had passed on, in order; each
    // client coming back is signed on once and announced once.
    void killedRelayKeepsAccountsAndHistory()
    {
        const QStringList users{u"ANN"_s, u"BEN"_s, u"CID"_s, u"DOT"_s};
        RelayProcess first;
        QVERIFY2(first.start(QuickHashing), qPrintable(first.readyLine() + first.log()));
        RawClient watcher;
        QVERIFY(JoinRelay(watcher, first.tcpPort(), u"WATCHER"_s));
        std::vector<std::unique_ptr<RawClient>> clients;
        for (const QString &user : users) {
            clients.push_back(std::make_unique<RawClient>());
            QVERIFY(JoinRelay(*clients.back(), first.tcpPort(), user));
        }
        // An account that was created and never signed on.
        RawClient setup;
        QVERIFY(setup.connectTo(first.tcpPort()));
        setup.sendText(NewAccount(u"EVE"_s, u"s3cret"_s));
        QCOMPARE(setup.waitForCode(u"NEW"_s), u":NEW|1|^"_s);

        for (size_t i = 0; i < clients.size(); ++i)
            clients[i]->sendText(
                Report(u"early from %1"_s.arg(users.at(qsizetype(i))), users.at(qsizetype(i))));
        QCOMPARE(watcher.collect(u"RPT"_s, int(users.size())).size(), users.size());

        // ANN keeps reporting until the kill; what the watcher heard was
        // stored before it went out.
        watcher.forget();
        const int killAt = QRandomGenerator::global()->bounded(20, 120);
        int sent = 0;
        for (; sent < killAt + 30; ++sent) {
            clients[0]->sendText(Report(u"report %1"_s.arg(sent), users.at(0)));
            // The last ones are still in flight at the kill.
            if (sent < killAt)
                QTest::qWait(1);
        }
        QVERIFY(first.kill());
        for (auto &c : clients)
            QVERIFY(c->waitForDisconnected());
        const qsizetype heard = std::ranges::count_if(watcher.messages(), RawClient::hasCode(u"RPT"_s));

        RelayProcess second;
        QVERIFY2(second.start(QuickHashing, first.databasePath()),
                 qPrintable(second.readyLine() + second.log()));
        RawClient back;
        QVERIFY(back.connectTo(second.tcpPort()));
        back.sendText(SignOn(u"WATCHER"_s, u"pw"_s));
        QCOMPARE(back.waitForCode(u"SGN"_s), u":SGN|3|^"_s);
        for (size_t i = 0; i < clients.size(); ++i) {
            clients[i] = std::make_unique<RawClient>();
            QVERIFY(clients[i]->connectTo(second.tcpPort()));
            clients[i]->sendText(SignOn(users.at(qsizetype(i)), u"pw"_s));
        }
        for (auto &c : clients) {
            QCOMPARE(c->waitForCode(u"SGN"_s), u":SGN|3|^"_s);
            QCOMPARE(c->pendingWithCode(u"SGN"_s, 0).size(), 0);
        }
        QStringList arrivals;
        for (const QString &m : back.collect(u"GOB"_s, 1 + int(users.size())))
            arrivals.append(FieldAt(SplitFields(m), 3));
        arrivals.sort();
        QCOMPARE(arrivals, QStringList(users) << u"WATCHER"_s);
        QVERIFY(back.pendingWithCode(u"GOB"_s, 300).isEmpty());
        for (auto &c : clients)
            QVERIFY(c->pendingWithCode(u"SGN"_s, 0).isEmpty());

        // The history is the early reports, then ANN's in order, up to at
        // least what was heard before the kill.
        back.sendText(u":GLD|1|^"_s);
        const QStringList history = back.collect(u"GLD"_s, int(users.size()) + sent, 1000);
        QVERIFY2(history.size() >= users.size() + heard,
                 qPrintable(u"%1 stored, %2 heard"_s.arg(history.size()).arg(heard)));
        QStringList early;
        for (const QString &m : history.mid(0, users.size()))
            early.append(FieldAt(SplitFields(m), 4));
        early.sort();
        QCOMPARE(early, users);
        for (qsizetype i = users.size(); i < history.size(); ++i) {
            const QStringList f = SplitFields(history.at(i));
            QCOMPARE(FieldAt(f, 0), u"report %1"_s.arg(i - users.size()));
            QCOMPARE(FieldAt(f, 4), users.at(0));
        }
        qInfo("killed after %d reports sent, %lld heard, %lld stored", sent, qlonglong(heard),
              qlonglong(history.size() - users.size()));
        RawClient eve;
        QVERIFY(eve.connectTo(second.tcpPort()));
        eve.sendText(SignOn(u"EVE"_s, u"wrong"_s) + SignOn(u"EVE"_s, u"s3cret"_s) +
                     NewAccount(u"EVE"_s, u"x"_s));
        QCOMPARE(eve.collect(u"SGN"_s, 2), (QStringList{u":SGN|2|^"_s, u":SGN|3|^"_s}));
        QCOMPARE(eve.waitForCode(u"NEW"_s), u":NEW|2|^"_s);
        QVERIFY(second.stop());
    }

    // Hashes, salts and e-mail addresses stay with the relay's user; XRP
    // finds an author's reports without reading the whole table.
    void databaseFilesArePrivateAndIndexed()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"made/here/relay.sqlite"_s);
        RelayProcess relay;
        QVERIFY2(relay.start(QuickHashing, path), qPrintable(relay.log()));
        RawClient c;
        QVERIFY(JoinRelay(c, relay.tcpPort(), u"ANN"_s));
        for (const QString &f : QStringList{path, path + u"-wal"_s, path + u"-shm"_s})
            QCOMPARE(modeOf(f), 0600);
        QCOMPARE(modeOf(dir.filePath(u"made"_s)), 0700);
        QCOMPARE(modeOf(dir.filePath(u"made/here"_s)), 0700);
        QVERIFY(relay.stop());
        DatabaseHolder db(path);
        QVERIFY2(db.firstRow(u"EXPLAIN QUERY PLAN SELECT id, text FROM reports WHERE author_key = 'ANN'"_s)
                     .contains(u"INDEX"_s),
                 "XRP scans the whole report table");
    }

    // Another writer holds the file (root is no exception): the relay
    // refuses to start on it, and a write that fails later is told to the
    // log and to the operator, not passed off as a taken name or an
    // unknown account.
    void databaseThatCannotBeWritten()
    {
        RelayProcess relay;
        QVERIFY(relay.start(QuickHashing));
        RawClient ann, bob;
        QVERIFY(JoinRelay(ann, relay.tcpPort(), u"ANN"_s));
        QVERIFY(bob.connectTo(relay.tcpPort()));
        {
            DatabaseHolder holder(relay.databasePath());
            QVERIFY(holder.exec(u"BEGIN IMMEDIATE"_s));
            ann.sendText(Report(u"hail"_s, u"ANN"_s));
            QVERIFY(!ann.waitForCode(u"RPT"_s).isEmpty());
            // Relayed at once; the history write fails behind it.
            QVERIFY2(
                QTest::qWaitFor([&] { return relay.log().contains(u"database cannot be written"_s); }, 5000),
                qPrintable(relay.log()));
            const QString banned = relay.admin({u"ban"_s, u"ANN"_s});
            QVERIFY2(banned.contains(u"error the database cannot be written"_s), qPrintable(banned));
            QVERIFY(ann.pendingWithCode(u"BAN"_s, 100).isEmpty());
            QVERIFY(relay.admin({u"list"_s}).startsWith(u"warning the database cannot be written"_s));
            bob.sendText(NewAccount(u"BOB"_s, u"pw"_s));
            QCOMPARE(bob.waitForCode(u"NEW"_s), u":NEW|2|^"_s);
            QVERIFY(!relay.log().contains(u"BOB refused, name taken"_s));
            QVERIFY(holder.exec(u"ROLLBACK"_s));
            ann.sendText(Report(u"hail again"_s, u"ANN"_s));
            QVERIFY(!ann.waitForCode(u"RPT"_s).isEmpty());
            QVERIFY(QTest::qWaitFor([&] { return relay.log().contains(u"database written again"_s); }, 3000));
            QVERIFY(relay.admin({u"list"_s}).startsWith(u"observer"_s));
            QVERIFY(relay.stop());

            QVERIFY(holder.exec(u"BEGIN IMMEDIATE"_s));
            RelayProcess second;
            QVERIFY(!second.start(QuickHashing, relay.databasePath()));
            QVERIFY2(second.log().contains(u"cannot be written"_s), qPrintable(second.log()));
            QVERIFY(holder.exec(u"ROLLBACK"_s));
        }
    }

    // PostgreSQL stops for a few seconds while reports flow: they are
    // relayed live, /health says what is wrong, a sign-on made meanwhile is
    // answered once the database is back, and the history has every report.
    void postgresGoesAwayForAWhile()
    {
        TempPostgres database;
        QVERIFY2(database.start(), qPrintable(database.error()));
        RelayProcess relay;
        QVERIFY2(relay.start(QuickHashing, database.url()), qPrintable(relay.log()));
        RawClient ann, ben, cat;
        QVERIFY(JoinRelay(ann, relay.tcpPort(), u"ANN"_s));
        QVERIFY(JoinRelay(ben, relay.tcpPort(), u"BEN"_s));
        ann.sendText(NewAccount(u"CAT"_s, u"pw"_s));
        QCOMPARE(ann.waitForCode(u"NEW"_s), u":NEW|1|^"_s);

        database.stop();
        constexpr int Reports = 20;
        for (int i = 0; i < Reports; ++i)
            ann.sendText(Report(u"outage %1"_s.arg(i), u"ANN"_s));
        QCOMPARE(ben.collect(u"RPT"_s, Reports).size(), Reports);
        QVERIFY(cat.connectTo(relay.tcpPort()));
        cat.sendText(SignOn(u"CAT"_s, u"pw"_s));
        QVERIFY(QTest::qWaitFor(
            [&] { return HttpGet(relay.httpPort(), "/health").startsWith("HTTP/1.1 503"); }, 5000));
        QVERIFY(HttpGet(relay.httpPort(), "/health").contains("\r\n\r\ndatabase unreachable"));
        QVERIFY(cat.pendingWithCode(u"SGN"_s, 2000).isEmpty());

        QVERIFY2(database.start(), qPrintable(database.error()));
        const QString answer = cat.waitForCode(u"SGN"_s, 10000);
        if (answer != u":SGN|3|^"_s)
            qWarning("%s", qPrintable(relay.log()));
        QCOMPARE(answer, u":SGN|3|^"_s);
        QVERIFY(QTest::qWaitFor(
            [&] { return HttpGet(relay.httpPort(), "/health").startsWith("HTTP/1.1 200"); }, 5000));
        ben.sendText(u":GLD|1|^"_s);
        const QStringList history = ben.collect(u"GLD"_s, Reports, 5000);
        QCOMPARE(history.size(), Reports);
        for (int i = 0; i < Reports; ++i)
            QCOMPARE(FieldAt(SplitFields(history.at(i)), 0), u"outage %1"_s.arg(i));
        QVERIFY(ben.pendingWithCode(u"GLD"_s, 200).isEmpty());
        QVERIFY2(relay.log().contains(u"database reachable again"_s), qPrintable(relay.log()));
        QVERIFY(relay.stop());
    }

    // Whatever reads the log may go away; the relay carries on.
    void relayOutlivesItsLogReader()
    {
        int fds[2] = {-1, -1};
        QCOMPARE(::pipe2(fds, O_CLOEXEC), 0);
        ::close(fds[0]);
        RelayProcess relay;
        relay.setChildSetup([w = fds[1]] { ::dup2(w, STDERR_FILENO); });
        const bool started = relay.start(QuickHashing);
        ::close(fds[1]);
        QVERIFY(started);
        RawClient c;
        QVERIFY(JoinRelay(c, relay.tcpPort(), u"ANN"_s));
        QVERIFY(relay.stop());
    }
};

QTEST_GUILESS_MAIN(TestRelayFaults)
#include "tst_relay_faults.moc"
