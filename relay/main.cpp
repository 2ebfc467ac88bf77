#include "address_file_server.h"
#include "admin_client.h"
#include "admin_server.h"
#include "cluster_bus.h"
#include "descriptor_limit.h"
#include "relay_log.h"
#include "relay_metrics.h"
#include "relay_options.h"
#include "relay_server.h"
#include "signal_watcher.h"
#include "store_migration.h"
#include "store_worker.h"

#include "platform/clock.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>
#include <QUrl>

#include <csignal>
#include <cstdio>
#include <memory>

namespace {

void print(FILE *f, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), f);
    std::fflush(f);
}

} // namespace

int main(int argc, char **argv)
{
    // Whatever reads the log may go away, and a file-size limit may be
    // reached: both are write errors to report, not reasons to die.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("nimbrel-relay"));
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    if (!arguments.isEmpty() && arguments.first() == QLatin1String("admin"))
        return RunAdminClient(arguments.mid(1), stdout, stderr);
    if (!arguments.isEmpty() && arguments.first() == QLatin1String("migrate"))
        return RunMigrate(arguments.mid(1), stdout, stderr);

    RelayOptions options;
    QString error;
    bool help = false;
    if (!ParseRelayOptions(arguments, &options, &error, &help)) {
        print(
            stderr,
            QStringLiteral("nimbrel-relay: %1\n\n%2%3\n").arg(error, RelayUsage(), AdminServer::helpText()));
        return 2;
    }
    if (help) {
        print(stdout, RelayUsage() + AdminServer::helpText() + u'\n');
        return 0;
    }
    if (options.databasePath.isEmpty())
        options.databasePath = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
                               QStringLiteral("/relay.sqlite");

    SystemClock clock;
    RelayLog log(clock, stderr);
    RelayMetrics metrics;
    StoreWorker store(log, metrics);
    if (!store.open(options.databasePath, &error)) {
        // A password someone put in the address stays out of the log.
        const QString target = IsDatabaseAddress(options.databasePath)
                                   ? QUrl(options.databasePath).toString(QUrl::RemovePassword)
                                   : options.databasePath;
        print(stderr, QStringLiteral("nimbrel-relay: cannot open %1: %2\n").arg(target, error));
        return 1;
    }

    RelaySettings settings;
    settings.listenAddress = options.listen.address;
    settings.listenPort = options.listen.port;
    settings.maxConnections = DescriptorLimit::fitConnections(options.maxConnections, log);
    settings.maxPerAddress = options.maxPerAddress;
    settings.signOnTimeoutSeconds = options.signOnTimeoutSeconds;
    settings.limits = options.limits;
    settings.keepaliveSeconds = options.keepaliveSeconds;
    settings.pbkdf2Iterations = options.pbkdf2Iterations;
    settings.nodeName = options.node;
    RelayServer relay(store, clock, log, metrics, settings);
    if (!relay.listen(&error)) {
        print(stderr, QStringLiteral("nimbrel-relay: cannot listen on %1: %2\n")
                          .arg(FormatHostPort(options.listen.address, options.listen.port), error));
        return 1;
    }
    // Several relays as one: what clients say travels through Redis.
    std::unique_ptr<ClusterBus> cluster;
    if (!options.cluster.isEmpty()) {
        const QHostAddress listening = relay.serverAddress();
        if (options.advertise.isEmpty() &&
            (listening == QHostAddress::AnyIPv4 || listening.protocol() != QAbstractSocket::IPv4Protocol)) {
            print(stderr,
                  QStringLiteral("nimbrel-relay: --cluster with --listen %1 needs --advertise with the "
                                 "numeric IPv4 address clients reach this relay at\n")
                      .arg(FormatHostPort(listening, relay.serverPort())));
            return 2;
        }
        ClusterSettings cs;
        ParseRedisUrl(options.cluster, &cs.host, &cs.port);
        const QString own = FormatHostPort(listening, relay.serverPort());
        cs.advertise = options.advertise.isEmpty() ? own : options.advertise;
        cs.node = options.node.isEmpty() ? own : options.node;
        cluster = std::make_unique<ClusterBus>(cs, log);
        relay.setCluster(cluster.get());
        cluster->start();
    }
    AddressFileServer http(log, relay.serverAddress(), relay.serverPort());
    http.setMetrics(&metrics);
    if (cluster)
        http.setChooser([&cluster] { return cluster->addressToHandOut(); });
    if (!http.listen(options.http.address, options.http.port, &error)) {
        print(stderr, QStringLiteral("nimbrel-relay: cannot listen for HTTP on %1: %2\n")
                          .arg(FormatHostPort(options.http.address, options.http.port), error));
        return 1;
    }
    AdminServer admin(relay, store, log);
    admin.setIdleSeconds(options.adminIdleSeconds);
    QByteArray token;
    if (options.adminEnabled && (!AdminServer::readToken(options.adminTokenFile, &token, &error) ||
                                 !admin.listen(options.admin.address, options.admin.port, token, &error))) {
        print(stderr, QStringLiteral("nimbrel-relay: cannot listen for admin commands on %1: %2\n")
                          .arg(FormatHostPort(options.admin.address, options.admin.port), error));
        return 1;
    }
    if (!options.adminSocket.isEmpty() && !admin.listenLocal(options.adminSocket, &error)) {
        print(stderr, QStringLiteral("nimbrel-relay: cannot listen for admin commands on %1: %2\n")
                          .arg(options.adminSocket, error));
        return 1;
    }

    SignalWatcher stopSignals;
    QObject::connect(&stopSignals, &SignalWatcher::stopRequested, &app, [&](int number) {
        log.line(QStringLiteral("signal %1: stopping").arg(number));
        QCoreApplication::quit();
    });

    QString ready = QStringLiteral("relay listening tcp=%1 http=%2")
                        .arg(FormatHostPort(relay.serverAddress(), relay.serverPort()),
                             FormatHostPort(http.serverAddress(), http.serverPort()));
    if (options.adminEnabled)
        ready += QStringLiteral(" admin=%1").arg(FormatHostPort(admin.serverAddress(), admin.serverPort()));
    if (!options.adminSocket.isEmpty())
        ready += QStringLiteral(" admin-socket=%1").arg(admin.socketPath());
    print(stdout, ready + u'\n');
    log.line(
        QStringLiteral("database %1")
            .arg(store.isRemote() ? options.databasePath : QDir::toNativeSeparators(options.databasePath)));

    const int code = app.exec();
    if (cluster)
        cluster->stop();
    relay.shutdown();
    store.close();
    log.line(QStringLiteral("stopped"));
    return code;
}
