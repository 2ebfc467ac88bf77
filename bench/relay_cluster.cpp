// Cluster benchmark: three relays, one Redis, one PostgreSQL, 1,500
// loopback clients spread over the relays, a steady mix of reports and
// messages; then one relay is killed (SIGKILL) and its clients come back
// at once through the address file. The same load is first run on one
// relay alone for comparison. Prints
//
//   relay_cluster relays=3 clients=1500 deliveries_per_s=<n> p99_ms=<ms>
//     single_relay_deliveries_per_s=<n> failover_s=<s> lost=<n>
//
// p99_ms is the delivery latency to clients of another relay than the
// sender's; failover_s runs from the kill until every moved client is
// signed on again; lost counts reports some client received that are
// missing from the history afterwards. Goals: p99_ms <= 20,
// failover_s <= 15, lost = 0.
//
//   relay_cluster [--clients N] [--rate MESSAGES_PER_S] [--seconds S] [--sqlite]
//
// --sqlite shares one SQLite file between the relays instead of PostgreSQL.
#include "loopback_clients.h"
#include "relay_process.h"
#include "temp_servers.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSet>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <sys/resource.h>

namespace {

// Appends pieces one by one (gcc 12 misreports "literal" + temporary).
template <typename... Parts> std::string concat(const Parts &...parts)
{
    std::string out;
    (out.append(parts), ...);
    return out;
}

std::string user(int i)
{
    return concat("CL", std::to_string(i));
}

std::string signOn(int i, bool withVersion)
{
    return BenchSignOn(user(i), withVersion);
}

// One GET of the address file on a blocking socket: "HOST:PORT" or empty.
std::string fetchAddress(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(quint16(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string answer;
    if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0) {
        const std::string request = "GET /weather/WXIP.txt HTTP/1.0\r\n\r\n";
        if (::send(fd, request.data(), request.size(), MSG_NOSIGNAL) == ssize_t(request.size())) {
            char buf[1024];
            for (ssize_t n; (n = ::recv(fd, buf, sizeof buf, 0)) > 0;)
                answer.append(buf, size_t(n));
        }
    }
    if (fd >= 0)
        ::close(fd);
    const size_t body = answer.find("\r\n\r\n");
    return answer.rfind("HTTP/1.1 200", 0) == 0 && body != std::string::npos ? answer.substr(body + 4)
                                                                             : std::string();
}

double p99Ms(std::vector<qint64> &ns)
{
    if (ns.empty())
        return 0;
    const size_t k = std::min(ns.size() - 1, size_t(0.99 * double(ns.size())));
    std::nth_element(ns.begin(), ns.begin() + qsizetype(k), ns.end());
    return double(ns[k]) / 1e6;
}

struct Result
{
    double deliveriesPerSecond = 0;
    double p99CrossMs = 0;
    double p99AllMs = 0;
    double completeness = 0;
};

class ClusterLoad
{
public:
    ClusterLoad(std::vector<int> ports, int clients)
        : m_ports(std::move(ports)), m_count(clients),
          m_net('^', [this](int i, const std::string &m, qint64 t) { handle(i, m, t); })
    {
    }

    bool connectAll()
    {
        m_relayOf.assign(size_t(m_count), 0);
        m_signedOn.assign(size_t(m_count), false);
        m_slot.resize(size_t(m_count));
        for (int i = 0; i < m_count; ++i) {
            const int relay = i % int(m_ports.size());
            const int slot = m_net.open(m_ports[size_t(relay)]);
            if (slot < 0)
                return false;
            m_slot[size_t(i)] = slot;
            m_clientOfSlot.push_back(i);
            m_relayOf[size_t(i)] = relay;
            m_net.send(slot, concat(":NEW|", user(i), "|pw|^", signOn(i, true)));
        }
        if (!m_net.pumpUntil([&] { return signedOn() == m_count; }, 120'000))
            return false;
        // The arrival notices of everybody to everybody settle first.
        m_net.pumpFor(3000);
        return true;
    }

    int signedOn() const { return int(std::count(m_signedOn.begin(), m_signedOn.end(), true)); }

    // Reports and messages alternately, from every client in turn.
    Result run(int step, double perSecond, double seconds, bool keepGoingAfterKill = false)
    {
        m_step = step;
        m_crossNs.clear();
        m_allNs.clear();
        m_delivered = 0;
        const qint64 start = nowNs();
        const qint64 end = start + qint64(seconds * 1e9);
        const double intervalNs = 1e9 / perSecond;
        qint64 sent = 0;
        qint64 expected = 0;
        while (nowNs() < end) {
            const qint64 now = nowNs();
            while (start + qint64(double(sent) * intervalNs) <= now) {
                const int i = int(sent % m_count);
                if (m_signedOn[size_t(i)]) {
                    const std::string marker =
                        concat("@@", std::to_string(step), ".", std::to_string(nowNs()), ".",
                               std::to_string(m_relayOf[size_t(i)]), "#");
                    m_net.send(m_slot[size_t(i)], sent % 2 ? concat(":MSG|ALL|", user(i), "|", marker, "|^")
                                                           : concat(":RPT|", marker, "|MD|HARFORD|21001|",
                                                                    user(i), "|Bel Air|^"));
                    expected += signedOn();
                }
                ++sent;
            }
            m_net.pump(int(
                std::clamp<qint64>((start + qint64(double(sent) * intervalNs) - nowNs()) / 1'000'000, 0, 5)));
            if (keepGoingAfterKill)
                reconnectDropped();
        }
        m_net.pumpUntil([&] { return m_delivered >= expected; }, 3000);
        Result r;
        r.deliveriesPerSecond = double(m_delivered) / seconds;
        r.completeness = expected ? double(m_delivered) / double(expected) : 0;
        r.p99CrossMs = p99Ms(m_crossNs);
        r.p99AllMs = p99Ms(m_allNs);
        return r;
    }

    // Kills relay `victim` and brings its clients back through the address
    // file of a survivor; seconds until all are signed on again.
    double failover(RelayProcess &victim, int victimIndex, int addressFilePort, double perSecond)
    {
        m_addressFilePort = addressFilePort;
        m_moving.clear();
        for (int i = 0; i < m_count; ++i)
            if (m_relayOf[size_t(i)] == victimIndex)
                m_moving.insert(i);
        const qint64 killed = nowNs();
        victim.kill();
        for (int i : std::as_const(m_moving))
            m_signedOn[size_t(i)] = false;
        m_victim = victimIndex;
        qint64 done = 0;
        // Traffic goes on meanwhile, from everyone still on.
        for (int step = 100; step < 130 && !done; ++step) {
            run(step, perSecond, 0.5, true);
            if (std::all_of(m_moving.begin(), m_moving.end(), [&](int i) { return m_signedOn[size_t(i)]; }))
                done = nowNs();
        }
        return done ? double(done - killed) / 1e9 : -1;
    }

    // Asks one client for the last hour's history; the report markers in it.
    QSet<std::string> history(int client)
    {
        m_history.clear();
        m_historyClient = client;
        m_net.send(m_slot[size_t(client)], ":GLD|1|^");
        m_net.pumpFor(4000);
        return m_history;
    }
    const QSet<std::string> &reportsSeen() const { return m_reportsSeen; }

private:
    void reconnectDropped()
    {
        for (int i : std::as_const(m_moving)) {
            if (m_signedOn[size_t(i)] || m_relayOf[size_t(i)] != m_victim)
                continue;
            const std::string address = fetchAddress(m_addressFilePort);
            const size_t colon = address.find(':');
            if (colon == std::string::npos)
                continue;
            const int slot = m_net.open(std::atoi(address.c_str() + colon + 1));
            if (slot < 0)
                continue;
            m_net.drop(m_slot[size_t(i)]);
            m_slot[size_t(i)] = slot;
            m_clientOfSlot.push_back(i);
            m_relayOf[size_t(i)] = -1;
            // A client that was signed on signs on again without the version.
            m_net.send(slot, signOn(i, false));
        }
    }

    void handle(int slot, const std::string &m, qint64 arrival)
    {
        const int i = m_clientOfSlot[size_t(slot)];
        if (m == ":SGN|3|^") {
            m_signedOn[size_t(i)] = true;
            return;
        }
        const size_t mark = m.find("@@");
        if (mark == std::string::npos)
            return;
        const size_t hash = m.find('#', mark);
        if (hash == std::string::npos)
            return;
        const std::string marker = m.substr(mark, hash - mark + 1);
        if (m.rfind(":RPT|", 0) == 0)
            m_reportsSeen.insert(marker);
        if (m.rfind(":GLD|", 0) == 0) {
            if (i == m_historyClient)
                m_history.insert(marker);
            return;
        }
        if (std::atoi(m.c_str() + mark + 2) != m_step)
            return;
        ++m_delivered;
        const size_t dot = m.find('.', mark);
        const size_t dot2 = m.find('.', dot + 1);
        const int from = std::atoi(m.c_str() + dot2 + 1);
        const qint64 latency = arrival - std::atoll(m.c_str() + dot + 1);
        m_allNs.push_back(latency);
        if (from != m_relayOf[size_t(i)])
            m_crossNs.push_back(latency);
    }

    std::vector<int> m_ports;
    int m_count;
    std::vector<int> m_relayOf;
    std::vector<bool> m_signedOn;
    std::vector<int> m_slot;
    std::vector<int> m_clientOfSlot;
    std::vector<qint64> m_crossNs;
    std::vector<qint64> m_allNs;
    qint64 m_delivered = 0;
    int m_step = -1;
    int m_victim = -1;
    int m_addressFilePort = 0;
    QSet<int> m_moving;
    QSet<std::string> m_reportsSeen;
    QSet<std::string> m_history;
    int m_historyClient = -1;
    LoopbackClients m_net; // last: its handler uses the members above
};

QStringList relayArguments(int clients)
{
    return {QStringLiteral("--pbkdf2-iterations"), QStringLiteral("1000"),
            QStringLiteral("--max-per-address"),   QStringLiteral("0"),
            QStringLiteral("--max-connections"),   QString::number(clients + 100)};
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    int clients = 1500;
    double rate = 40;
    double seconds = 5;
    bool sqlite = false;
    const QStringList args = app.arguments();
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args.at(i) == QLatin1String("--clients") && i + 1 < args.size())
            clients = args.at(++i).toInt();
        else if (args.at(i) == QLatin1String("--rate") && i + 1 < args.size())
            rate = args.at(++i).toDouble();
        else if (args.at(i) == QLatin1String("--seconds") && i + 1 < args.size())
            seconds = args.at(++i).toDouble();
        else if (args.at(i) == QLatin1String("--sqlite"))
            sqlite = true;
    }
    // Every client is a descriptor here and one at a relay.
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = std::min<rlim_t>(limit.rlim_max, rlim_t(clients) * 2 + 512);
    setrlimit(RLIMIT_NOFILE, &limit);

    TempRedis redis;
    TempPostgres postgres;
    if (!redis.start() || (!sqlite && !postgres.start())) {
        std::fprintf(stderr, "relay_cluster: %s\n", qPrintable(redis.error() + postgres.error()));
        return 1;
    }
    QTemporaryDir dir;
    const QString db = sqlite ? dir.filePath(QStringLiteral("cluster.sqlite")) : postgres.url();

    // One relay as it runs alone: its own SQLite file, no Redis.
    Result single;
    {
        RelayProcess one;
        if (!one.start(relayArguments(clients), dir.filePath(QStringLiteral("single.sqlite")))) {
            std::fprintf(stderr, "relay_cluster: the single relay did not start: %s\n",
                         qPrintable(one.log()));
            return 1;
        }
        ClusterLoad load({one.tcpPort()}, clients);
        if (!load.connectAll()) {
            std::fprintf(stderr, "relay_cluster: clients could not sign on at the single relay\n");
            return 1;
        }
        single = load.run(1, rate, seconds);
        one.stop();
    }

    std::vector<std::unique_ptr<RelayProcess>> relays;
    std::vector<int> ports;
    for (int i = 0; i < 3; ++i) {
        relays.push_back(std::make_unique<RelayProcess>());
        if (!relays.back()->start(relayArguments(clients) + QStringList{QStringLiteral("--cluster"),
                                                                        redis.url(), QStringLiteral("--node"),
                                                                        QStringLiteral("R%1").arg(i)},
                                  db)) {
            std::fprintf(stderr, "relay_cluster: relay %d did not start: %s\n", i,
                         qPrintable(relays.back()->log()));
            return 1;
        }
        ports.push_back(relays.back()->tcpPort());
    }
    QThread::msleep(1500);
    ClusterLoad load(ports, clients);
    if (!load.connectAll()) {
        std::fprintf(stderr, "relay_cluster: clients could not sign on at the cluster\n");
        return 1;
    }
    const Result steady = load.run(2, rate, seconds);
    const double failover = load.failover(*relays[0], 0, relays[1]->httpPort(), rate);
    // Long enough for the survivors to take over the dead relay's share
    // of the history.
    load.run(200, rate, 6);
    const QSet<std::string> history = load.history(1);
    int lost = 0;
    for (const std::string &marker : load.reportsSeen())
        if (!history.contains(marker))
            ++lost;
    std::printf("relay_cluster relays=3 clients=%d deliveries_per_s=%.0f p99_ms=%.1f "
                "single_relay_deliveries_per_s=%.0f failover_s=%.1f lost=%d\n",
                clients, steady.deliveriesPerSecond, steady.p99CrossMs, single.deliveriesPerSecond, failover,
                lost);
    // For reading the figures: the latency to every client, one relay alone
    // and the cluster.
    std::fprintf(stderr, "relay_cluster p99_ms all clients: single relay %.1f, cluster %.1f\n",
                 single.p99AllMs, steady.p99AllMs);
    if (steady.completeness < 0.999)
        std::fprintf(stderr, "relay_cluster: only %.2f%% of the deliveries arrived\n",
                     steady.completeness * 100);
    return 0;
}
