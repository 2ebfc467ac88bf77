// Sign-on storm: a club's clients reconnecting together after a relay
// restart. 500 accounts sign on at once while 50 other clients exchange
// messages at a steady rate; reports how long until the last sign-on reply
// and the p99 delivery latency of the steady traffic meanwhile. Accounts
// use the relay's default password hashing cost.
//
//   relay_signon_storm [--relay PATH] [--storm N] [--steady N] [--rate MSG_PER_S]

#include "loopback_clients.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// Per client: what the storm has seen of it.
struct ClientState
{
    bool steady = false;
    bool signedOn = false;
};

class Storm
{
public:
    explicit Storm(int port)
        : m_port(port), m_net('^', [this](int i, const std::string &m, qint64 t) { handle(i, m, t); })
    {
    }

    int open(bool steady)
    {
        const int i = m_net.open(m_port);
        if (i >= 0) {
            m_state.resize(size_t(i) + 1);
            m_state[size_t(i)].steady = steady;
        }
        return i;
    }
    void drop(int i) { m_net.drop(i); }
    void send(int i, const std::string &data) { m_net.send(i, data); }
    void pump(int timeoutMs) { m_net.pump(timeoutMs); }
    template <typename Done> bool pumpUntil(Done done, int timeoutMs)
    {
        return m_net.pumpUntil(done, timeoutMs);
    }

    int signedOn = 0;
    int newReplies = 0;
    bool measuring = false;
    std::vector<qint64> latenciesNs;
    qint64 delivered = 0;

private:
    void handle(int i, const std::string &m, qint64 arrival)
    {
        ClientState &c = m_state[size_t(i)];
        if (m.rfind(":NEW|", 0) == 0) {
            ++newReplies;
        } else if (m == ":SGN|3|^" && !c.signedOn) {
            c.signedOn = true;
            ++signedOn;
        } else if (c.steady && measuring) {
            const size_t mark = m.find("@@");
            if (mark != std::string::npos) {
                ++delivered;
                latenciesNs.push_back(arrival - std::atoll(m.c_str() + mark + 2));
            }
        }
    }

    int m_port;
    std::vector<ClientState> m_state;
    LoopbackClients m_net;
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QString relayBin =
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("../relay/nimbrel-relay"));
    int stormCount = 500;
    int steadyCount = 50;
    double rate = 100; // steady messages a second, all senders together
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--relay"))
            relayBin = args[i + 1];
        else if (args[i] == QLatin1String("--storm"))
            stormCount = args[i + 1].toInt();
        else if (args[i] == QLatin1String("--steady"))
            steadyCount = args[i + 1].toInt();
        else if (args[i] == QLatin1String("--rate"))
            rate = args[i + 1].toDouble();
    }
    QTemporaryDir dir;
    QProcess relay;
    relay.setStandardErrorFile(dir.filePath(QStringLiteral("relay.log")));
    relay.start(relayBin,
                {QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"), QStringLiteral("--http"),
                 QStringLiteral("127.0.0.1:0"), QStringLiteral("--max-connections"),
                 QString::number(2 * stormCount + steadyCount + 10), QStringLiteral("--max-per-address"),
                 QStringLiteral("0"), QStringLiteral("--db"), dir.filePath(QStringLiteral("r.sqlite"))});
    if (!relay.waitForStarted() || !relay.waitForReadyRead(10'000)) {
        std::fprintf(stderr, "cannot start %s\n", qPrintable(relayBin));
        return 1;
    }
    const int port = QRegularExpression(QStringLiteral("tcp=[^ ]*:(\\d+)"))
                         .match(QString::fromUtf8(relay.readLine()))
                         .captured(1)
                         .toInt();
    Storm storm(port);

    // Accounts first, at the relay's own hashing cost; the steady clients
    // sign on now, the storm's connections are closed again.
    std::vector<int> steady, setup;
    for (int i = 0; i < steadyCount; ++i) {
        steady.push_back(storm.open(true));
        const std::string u = "STEADY" + std::to_string(i);
        storm.send(steady.back(), ":NEW|" + u + "|pw|^" + BenchSignOn(u));
    }
    for (int i = 0; i < stormCount; ++i) {
        setup.push_back(storm.open(false));
        storm.send(setup.back(), ":NEW|STORM" + std::to_string(i) + "|pw|^");
    }
    const qint64 setupStart = nowNs();
    if (!storm.pumpUntil(
            [&] { return storm.newReplies == steadyCount + stormCount && storm.signedOn == steadyCount; },
            600'000)) {
        std::fprintf(stderr, "accounts not created: %d of %d\n", storm.newReplies, steadyCount + stormCount);
        return 1;
    }
    std::printf("relay_signon_storm: %d accounts created in %.1f s; %d steady clients at %.0f msg/s\n",
                steadyCount + stormCount, double(nowNs() - setupStart) / 1e9, steadyCount, rate);
    std::fflush(stdout);
    for (int i : setup)
        storm.drop(i);

    // The storm: every account signs on in the same instant while the
    // steady traffic goes on.
    std::vector<int> wave;
    for (int i = 0; i < stormCount; ++i)
        wave.push_back(storm.open(false));
    storm.measuring = true;
    const qint64 start = nowNs();
    for (int i = 0; i < stormCount; ++i)
        storm.send(wave[size_t(i)], BenchSignOn("STORM" + std::to_string(i)));
    const double intervalNs = 1e9 / rate;
    qint64 sent = 0;
    qint64 lastSignOn = 0;
    const qint64 deadline = start + 300'000'000'000LL;
    while (nowNs() < deadline) {
        const qint64 now = nowNs();
        while (start + qint64(double(sent) * intervalNs) <= now) {
            const int id = steady[size_t(sent % steadyCount)];
            storm.send(id, ":MSG|ALL|S|@@" + std::to_string(nowNs()) + "#|^");
            ++sent;
        }
        storm.pump(1);
        if (storm.signedOn == steadyCount + stormCount && lastSignOn == 0)
            lastSignOn = nowNs();
        // Half a second of traffic after the storm, so the tail is seen too.
        if (lastSignOn && nowNs() > lastSignOn + 500'000'000)
            break;
    }
    const qint64 expected = sent * steadyCount;
    storm.pumpUntil([&] { return storm.delivered >= expected; }, 5000);
    relay.terminate();
    relay.waitForFinished();
    if (!lastSignOn) {
        std::fprintf(stderr, "only %d of %d signed on\n", storm.signedOn - steadyCount, stormCount);
        return 1;
    }
    std::vector<qint64> &l = storm.latenciesNs;
    double p99 = 1e9;
    if (!l.empty()) {
        const size_t k = std::min(l.size() - 1, size_t(0.99 * double(l.size())));
        std::nth_element(l.begin(), l.begin() + qsizetype(k), l.end());
        p99 = double(l[k]) / 1e6;
    }
    if (storm.delivered < expected)
        std::printf("relay_signon_storm: %lld of %lld steady deliveries missing\n",
                    static_cast<long long>(expected - storm.delivered), static_cast<long long>(expected));
    std::printf("relay_signon_storm all_signed_on_ms=%.0f fanout_p99_ms=%.2f\n",
                double(lastSignOn - start) / 1e6, p99);
    return 0;
}
