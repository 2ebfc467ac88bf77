// Fan-out benchmark: 200 clients on loopback, each message delivered to
// every member. Runs the same load against nimbrel-relay (MSG) and against
// an ngircd instance of its own (one channel, PRIVMSG) and reports, for
// each, the highest delivery rate whose p99 latency stays at or below
// 50 ms. The offered load is spread evenly over all 200 members and raised
// step by step; no member ever sends faster than --per-sender-max messages
// a second (default 6). ngircd starts to hold back a client that keeps
// sending 8 a second (measured here with one sender: 7 a second stays
// unthrottled for 20 s); the relay allows 50 a second. So both servers are
// measured on their fan-out, never on their flood control.
//
// Each step also takes the server's CPU time (utime + stime of
// /proc/PID/stat) per thousand deliveries; the two servers are compared at
// the highest offered load both carried within the limit.
//
// --no-flood-control turns both servers' flood control off (ngircd's
// MaxPenaltyTime = 0, the relay's rate limit raised) to measure raw
// capacity with faster senders; the default run keeps both as shipped.
//
//   relay_fanout [--relay PATH] [--ngircd PATH] [--clients N] [--step-seconds S] [--per-sender-max R]
//                [--no-flood-control]

// Brings the socket headers freePort() and waitForPort() use too.
#include "loopback_clients.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr double P99LimitMs = 50.0;

// Appends pieces one by one (gcc 12 misreports "literal" + temporary).
template <typename... Parts> std::string concat(const Parts &...parts)
{
    std::string out;
    (out.append(parts), ...);
    return out;
}

struct StepResult
{
    double offeredMsgs = 0;
    double deliveriesPerSecond = 0;
    double p50Ms = 0;
    double p99Ms = 0;
    double completeness = 0;
    qint64 deliveries = 0;
    double cpuUsPer1k = 0; // the server's CPU time per 1000 deliveries
};

// utime + stime of a process, in microseconds; -1 when unreadable.
qint64 cpuMicroseconds(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray stat = f.readAll();
    // The command name may hold blanks: fields count from its ")".
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return -1;
    const qint64 ticks = fields.at(11).toLongLong() + fields.at(12).toLongLong();
    return ticks * 1'000'000 / sysconf(_SC_CLK_TCK);
}

struct SweepResult
{
    StepResult best;
    std::vector<StepResult> steps;
};

// Line or frame protocol of one server under test.
class Protocol
{
public:
    virtual ~Protocol() = default;
    virtual const char *name() const = 0;
    virtual char terminator() const = 0;
    virtual std::string hello(int id) const = 0;
    // True once a client's registration is complete.
    virtual bool isReady(const std::string &message) const = 0;
    virtual std::string join() const { return {}; }
    virtual bool isJoined(const std::string &message) const = 0;
    virtual std::string message(int id, int step, qint64 ns) const = 0;
    virtual std::string answerTo(const std::string &message) const = 0;
    virtual int receiversPerMessage(int clients) const = 0;
};

class RelayProtocol final : public Protocol
{
public:
    const char *name() const override { return "relay"; }
    char terminator() const override { return '^'; }
    std::string hello(int id) const override
    {
        const std::string u = concat("USR", std::to_string(id));
        return concat(":NEW|", u, "|pw|^", BenchSignOn(u));
    }
    bool isReady(const std::string &m) const override { return m == ":SGN|3|^"; }
    bool isJoined(const std::string &) const override { return true; }
    std::string message(int id, int step, qint64 ns) const override
    {
        return concat(":MSG|ALL|U", std::to_string(id), "|@@", std::to_string(step), ".", std::to_string(ns),
                      "#|^");
    }
    std::string answerTo(const std::string &) const override { return {}; }
    int receiversPerMessage(int clients) const override { return clients; } // the sender included
};

class IrcProtocol final : public Protocol
{
public:
    const char *name() const override { return "ngircd"; }
    char terminator() const override { return '\n'; }
    std::string hello(int id) const override
    {
        const std::string u = concat("u", std::to_string(id));
        return concat("NICK ", u, "\r\nUSER ", u, " 0 * :bench\r\n");
    }
    bool isReady(const std::string &m) const override { return m.find(" 001 ") != std::string::npos; }
    std::string join() const override { return "JOIN #bench\r\n"; }
    bool isJoined(const std::string &m) const override { return m.find(" 366 ") != std::string::npos; }
    std::string message(int, int step, qint64 ns) const override
    {
        return concat("PRIVMSG #bench :@@", std::to_string(step), ".", std::to_string(ns), "#\r\n");
    }
    std::string answerTo(const std::string &m) const override
    {
        if (m.rfind("PING", 0) == 0)
            return concat("PONG", m.substr(4), "\n");
        return {};
    }
    int receiversPerMessage(int clients) const override { return clients - 1; } // not echoed to the sender
};

class FanoutRun
{
public:
    FanoutRun(const Protocol &protocol, int port, int clients)
        : m_p(protocol), m_port(port), m_count(clients),
          m_net(protocol.terminator(), [this](int i, const std::string &m, qint64 t) { handle(i, m, t); })
    {
    }

    bool connectAll()
    {
        m_ready.assign(size_t(m_count), false);
        for (int i = 0; i < m_count; ++i) {
            if (m_net.open(m_port) != i)
                return false;
            m_net.send(i, m_p.hello(i));
        }
        // Registration runs for all at once: ngircd holds each new client
        // back for a moment, so one by one would take minutes.
        if (!m_net.pumpUntil(
                [&] { return std::all_of(m_ready.begin(), m_ready.end(), [](bool r) { return r; }); },
                60'000))
            return false;
        if (!m_p.join().empty()) {
            for (int i = 0; i < m_count; ++i)
                m_net.send(i, m_p.join());
            if (!m_net.pumpUntil([&] { return m_joined >= m_count; }, 60'000))
                return false;
        }
        m_net.pumpFor(500);
        return true;
    }

    StepResult runStep(int step, double messagesPerSecond, double seconds)
    {
        m_step = step;
        m_latenciesNs.clear();
        m_delivered = 0;
        const qint64 start = nowNs();
        const qint64 end = start + qint64(seconds * 1e9);
        const double intervalNs = 1e9 / messagesPerSecond;
        qint64 sent = 0;
        while (nowNs() < end) {
            const qint64 now = nowNs();
            while (start + qint64(double(sent) * intervalNs) <= now) {
                // Round robin: each client sends every count-th message.
                const int id = int(sent % m_count);
                m_net.send(id, m_p.message(id, step, nowNs()));
                ++sent;
            }
            const qint64 next = start + qint64(double(sent) * intervalNs);
            m_net.pump(int(std::clamp<qint64>((next - nowNs()) / 1'000'000, 0, 5)));
        }
        const qint64 expected = sent * m_p.receiversPerMessage(m_count);
        m_net.pumpUntil([&] { return m_delivered >= expected; }, 2000);
        StepResult r;
        r.offeredMsgs = messagesPerSecond;
        r.deliveriesPerSecond = double(m_delivered) / seconds;
        r.deliveries = m_delivered;
        r.completeness = expected ? double(m_delivered) / double(expected) : 0;
        if (!m_latenciesNs.empty()) {
            r.p50Ms = percentile(0.50);
            r.p99Ms = percentile(0.99);
        }
        // Anything still missing counts as late.
        if (r.completeness < 0.999)
            r.p99Ms = std::max(r.p99Ms, 1e9);
        m_net.pumpFor(300);
        return r;
    }

private:
    double percentile(double q)
    {
        const size_t k = std::min(m_latenciesNs.size() - 1, size_t(q * double(m_latenciesNs.size())));
        std::nth_element(m_latenciesNs.begin(), m_latenciesNs.begin() + qsizetype(k), m_latenciesNs.end());
        return double(m_latenciesNs[k]) / 1e6;
    }

    void handle(int i, const std::string &m, qint64 arrival)
    {
        const size_t mark = m.find("@@");
        if (mark != std::string::npos) {
            const size_t dot = m.find('.', mark);
            if (dot == std::string::npos || std::atoi(m.c_str() + mark + 2) != m_step)
                return;
            ++m_delivered;
            m_latenciesNs.push_back(arrival - std::atoll(m.c_str() + dot + 1));
            return;
        }
        if (!m_ready[size_t(i)] && m_p.isReady(m))
            m_ready[size_t(i)] = true;
        if (!m_p.join().empty() && m_p.isJoined(m))
            ++m_joined;
        const std::string answer = m_p.answerTo(m);
        if (!answer.empty())
            m_net.send(i, answer);
    }

    const Protocol &m_p;
    int m_port;
    int m_count;
    std::vector<bool> m_ready;
    std::vector<qint64> m_latenciesNs;
    qint64 m_delivered = 0;
    int m_step = -1;
    int m_joined = 0;
    LoopbackClients m_net; // last: its handler uses the members above
};

int freePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a);
    socklen_t len = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len);
    ::close(fd);
    return ntohs(a.sin_port);
}

bool waitForPort(int port, int timeoutMs)
{
    const qint64 deadline = nowNs() + qint64(timeoutMs) * 1'000'000;
    while (nowNs() < deadline) {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(quint16(port));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const bool ok = ::connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0;
        ::close(fd);
        if (ok)
            return true;
        QThread::msleep(50);
    }
    return false;
}

// Raises the offered load until the p99 passes the limit twice or the
// server stops keeping up; returns the best step within the limit.
SweepResult sweep(const Protocol &protocol, qint64 serverPid, int port, int clients, double stepSeconds,
                  double perSenderMax)
{
    FanoutRun run(protocol, port, clients);
    if (!run.connectAll()) {
        std::fprintf(stderr, "%s: could not connect and register %d clients\n", protocol.name(), clients);
        return {};
    }
    SweepResult out;
    StepResult &best = out.best;
    int misses = 0;
    int step = 0;
    const double maxRate = perSenderMax * clients;
    std::vector<double> rates;
    for (double rate = 50; rate < maxRate; rate += rate < 200 ? 50 : rate < 1000 ? 200 : 400)
        rates.push_back(rate);
    rates.push_back(maxRate);
    for (double rate : rates) {
        if (misses >= 2)
            break;
        const qint64 cpuBefore = cpuMicroseconds(serverPid);
        StepResult r = run.runStep(++step, rate, stepSeconds);
        const qint64 cpuAfter = cpuMicroseconds(serverPid);
        if (cpuBefore >= 0 && cpuAfter >= 0 && r.deliveries > 0)
            r.cpuUsPer1k = double(cpuAfter - cpuBefore) * 1000.0 / double(r.deliveries);
        out.steps.push_back(r);
        std::printf(
            "  %-6s offered %5.0f msg/s  delivered %8.0f/s  p50 %7.2f ms  p99 %s ms  cpu %7.0f us/1k\n",
            protocol.name(), rate, r.deliveriesPerSecond, r.p50Ms,
            r.p99Ms >= 1e9 ? "   lost" : QByteArray::number(r.p99Ms, 'f', 2).rightJustified(7).constData(),
            r.cpuUsPer1k);
        std::fflush(stdout);
        if (r.p99Ms <= P99LimitMs) {
            if (r.deliveriesPerSecond > best.deliveriesPerSecond)
                best = r;
        } else {
            ++misses;
        }
    }
    return out;
}

// The step at the highest offered load that both sweeps ran within the
// p99 limit (or, failing that, ran at all): {ours, theirs}.
std::pair<StepResult, StepResult> sameLoad(const SweepResult &ours, const SweepResult &theirs)
{
    std::pair<StepResult, StepResult> found;
    bool withinLimit = false;
    for (const StepResult &a : ours.steps)
        for (const StepResult &b : theirs.steps) {
            if (a.offeredMsgs != b.offeredMsgs)
                continue;
            const bool within = a.p99Ms <= P99LimitMs && b.p99Ms <= P99LimitMs;
            if ((within && !withinLimit) ||
                (within == withinLimit && a.offeredMsgs > found.first.offeredMsgs)) {
                found = {a, b};
                withinLimit = within;
            }
        }
    return found;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QString relayBin =
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("../relay/nimbrel-relay"));
    QString ngircdBin = QStringLiteral("/usr/sbin/ngircd");
    int clients = 200;
    double stepSeconds = 2.0;
    double perSenderMax = 6.0;
    QStringList args = app.arguments();
    const bool noFloodControl = args.removeAll(QStringLiteral("--no-flood-control")) > 0;
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--relay"))
            relayBin = args[i + 1];
        else if (args[i] == QLatin1String("--ngircd"))
            ngircdBin = args[i + 1];
        else if (args[i] == QLatin1String("--clients"))
            clients = args[i + 1].toInt();
        else if (args[i] == QLatin1String("--step-seconds"))
            stepSeconds = args[i + 1].toDouble();
        else if (args[i] == QLatin1String("--per-sender-max"))
            perSenderMax = args[i + 1].toDouble();
    }
    QTemporaryDir dir;

    // The relay: fast password hashing for 200 sign-ons, limits well above
    // what the spread-out load sends per connection.
    QProcess relay;
    relay.setStandardErrorFile(dir.filePath(QStringLiteral("relay.log")));
    QStringList relayArgs{QStringLiteral("--listen"),
                          QStringLiteral("127.0.0.1:0"),
                          QStringLiteral("--http"),
                          QStringLiteral("127.0.0.1:0"),
                          QStringLiteral("--db"),
                          dir.filePath(QStringLiteral("r.sqlite")),
                          QStringLiteral("--pbkdf2-iterations"),
                          QStringLiteral("1000"),
                          QStringLiteral("--max-per-address"),
                          QStringLiteral("0")};
    if (noFloodControl)
        relayArgs << QStringLiteral("--rate") << QStringLiteral("100000") << QStringLiteral("--burst")
                  << QStringLiteral("100000") << QStringLiteral("--byte-rate") << QStringLiteral("100000000")
                  << QStringLiteral("--byte-burst") << QStringLiteral("100000000");
    relay.start(relayBin, relayArgs);
    if (!relay.waitForStarted() || !relay.waitForReadyRead(10'000)) {
        std::fprintf(stderr, "cannot start %s\n", qPrintable(relayBin));
        return 1;
    }
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("tcp=[^ ]*:(\\d+)")).match(QString::fromUtf8(relay.readLine()));
    std::printf(
        "relay_fanout: %d clients, %.1f s per step, at most %.1f msg/s per sender, p99 limit %.0f ms%s\n",
        clients, stepSeconds, perSenderMax, P99LimitMs, noFloodControl ? ", flood control off" : "");
    const SweepResult relaySweep =
        sweep(RelayProtocol(), relay.processId(), m.captured(1).toInt(), clients, stepSeconds, perSenderMax);
    const StepResult &relayBest = relaySweep.best;
    relay.terminate();
    relay.waitForFinished();

    const int ircPort = freePort();
    QFile conf(dir.filePath(QStringLiteral("ngircd.conf")));
    conf.open(QIODevice::WriteOnly);
    conf.write("[Global]\nName = bench.invalid\nInfo = fan-out bench\nListen = 127.0.0.1\nPorts = " +
               QByteArray::number(ircPort) +
               "\nPidFile = " + dir.filePath(QStringLiteral("ngircd.pid")).toUtf8() +
               "\nMotdPhrase = bench\n[Limits]\nMaxConnections = 0\nMaxConnectionsIP = 0\nMaxJoins = 0\n"
               "PingTimeout = 600\nPongTimeout = 600\n" +
               QByteArray(noFloodControl ? "MaxPenaltyTime = 0\n" : "") +
               "[Options]\nDNS = no\nIdent = no\nPAM = no\n");
    conf.close();
    QProcess irc;
    irc.setStandardOutputFile(dir.filePath(QStringLiteral("ngircd.log")));
    irc.setStandardErrorFile(dir.filePath(QStringLiteral("ngircd.err")));
    irc.start(ngircdBin, {QStringLiteral("-n"), QStringLiteral("-f"), conf.fileName()});
    SweepResult ircSweep;
    const StepResult &ircBest = ircSweep.best;
    if (irc.waitForStarted() && waitForPort(ircPort, 10'000)) {
        ircSweep = sweep(IrcProtocol(), irc.processId(), ircPort, clients, stepSeconds, perSenderMax);
    } else {
        std::fprintf(stderr, "cannot start %s\n", qPrintable(ngircdBin));
    }
    irc.terminate();
    irc.waitForFinished();

    std::printf("ngircd best: deliveries_per_s=%.0f p50_ms=%.2f p99_ms=%.2f\n", ircBest.deliveriesPerSecond,
                ircBest.p50Ms, ircBest.p99Ms);
    std::printf("relay best: p50_ms=%.2f\n", relayBest.p50Ms);
    std::printf("relay_fanout deliveries_per_s=%.0f p99_ms=%.2f\n", relayBest.deliveriesPerSecond,
                relayBest.p99Ms);
    std::printf("relay_fanout vs_ngircd=%.2f\n",
                ircBest.deliveriesPerSecond > 0 ? relayBest.deliveriesPerSecond / ircBest.deliveriesPerSecond
                                                : 0.0);
    const auto [ours, theirs] = sameLoad(relaySweep, ircSweep);
    std::printf("relay_fanout cpu at offered %.0f msg/s: relay %.0f us/1k, ngircd %.0f us/1k\n",
                ours.offeredMsgs, ours.cpuUsPer1k, theirs.cpuUsPer1k);
    std::printf("relay_fanout cpu_us_per_1k_deliveries=%.0f vs_ngircd_cpu=%.2f\n", ours.cpuUsPer1k,
                ours.cpuUsPer1k > 0 ? theirs.cpuUsPer1k / ours.cpuUsPer1k : 0.0);
    return 0;
}
