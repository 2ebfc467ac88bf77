#include "relay_options.h"

#include "cluster_bus.h"

namespace {

bool parseInt(const QString &text, int min, int max, int *out)
{
    bool ok = false;
    const int v = text.toInt(&ok);
    if (!ok || v < min || v > max)
        return false;
    *out = v;
    return true;
}

} // namespace

bool ParseHostPort(const QString &text, HostPort *out)
{
    const qsizetype colon = text.lastIndexOf(u':');
    if (colon <= 0)
        return false;
    QString host = text.left(colon);
    bool ok = false;
    const uint port = text.mid(colon + 1).toUInt(&ok);
    if (!ok || port > 65535)
        return false;
    if (host.startsWith(u'[') && host.endsWith(u']'))
        host = host.mid(1, host.size() - 2);
    QHostAddress address;
    if (host == QLatin1String("localhost"))
        address = QHostAddress(QHostAddress::LocalHost);
    else if (host == QLatin1String("*"))
        address = QHostAddress(QHostAddress::AnyIPv4);
    else if (!address.setAddress(host))
        return false;
    out->address = address;
    out->port = quint16(port);
    return true;
}

QString FormatHostPort(const QHostAddress &address, quint16 port)
{
    const QString host = address.protocol() == QAbstractSocket::IPv6Protocol
                             ? QStringLiteral("[%1]").arg(address.toString())
                             : address.toString();
    return QStringLiteral("%1:%2").arg(host).arg(port);
}

QString RelayUsage()
{
    return QStringLiteral(
        "Usage: nimbrel-relay [options]\n"
        "       nimbrel-relay admin --socket PATH COMMAND [ARGUMENT ...]\n"
        "       nimbrel-relay admin --to HOST:PORT --token-file FILE COMMAND [ARGUMENT ...]\n"
        "       nimbrel-relay migrate --from FILE --to postgresql://USER@HOST:PORT/DBNAME\n"
        "\n"
        "A reference relay for Nimbrel clients on one machine or a local network.\n"
        "\n"
        "Options:\n"
        "  --listen HOST:PORT        client connections (default 127.0.0.1:5150;\n"
        "                            use the machine's address or 0.0.0.0 for a network)\n"
        "  --http HOST:PORT          address file GET /weather/WXIP.txt (default 127.0.0.1:8080)\n"
        "  --admin-socket PATH       operator commands on a Unix-domain socket, mode 0660:\n"
        "                            the relay's user and group may use it (off unless given)\n"
        "  --admin HOST:PORT         operator commands on a loopback port, for scripts; needs\n"
        "  --admin-token-file FILE   a file others cannot read whose first line (16 or more\n"
        "                            characters) each connection must send first\n"
        "  --admin-idle-seconds N    an admin connection silent this long is closed (default 60)\n"
        "  --db FILE                 SQLite file for accounts and report history\n"
        "                            (default: relay.sqlite in the per-user data folder)\n"
        "  --db postgresql://USER@HOST:PORT/DBNAME\n"
        "                            accounts and history in PostgreSQL, shared by several\n"
        "                            relays; the schema is made on first start. No password\n"
        "                            in the address: libpq reads PGPASSWORD or ~/.pgpass\n"
        "                            (PGPASSFILE); ?sslmode=require and other libpq options\n"
        "                            may follow\n"
        "  --keepalive-seconds N     keep-alive interval (default 240)\n"
        "  --max-connections N       client connection limit (default 1000)\n"
        "  --rate N                  messages per second allowed per connection (default 50)\n"
        "  --burst N                 messages a connection may send at once (default 200)\n"
        "  --flood-drops N           dropped messages within 10 s that close a connection (default 500)\n"
        "  --pbkdf2-iterations N     password hashing cost (default 25000); an account of a lower\n"
        "                            cost is raised to it at its next sign-on\n"
        "  --max-per-address N       connections from one address (default 16; 0 turns off\n"
        "                            this and the per-address budgets for new accounts and\n"
        "                            password checks)\n"
        "  --signon-timeout-seconds N  a connection not signed on by then is closed (default 60)\n"
        "  --byte-rate N             bytes per second allowed per connection (default 4096)\n"
        "  --byte-burst N            bytes a connection may send at once (default 16384)\n"
        "  --cluster redis://HOST:PORT  join the relays that this Redis serves: every client\n"
        "                            of every relay sees one server (numeric address)\n"
        "  --node NAME               this relay's name in the cluster (default: its client\n"
        "                            address); no blanks, \"|\", \"#\" or \"/\"\n"
        "  --advertise HOST:PORT     the client address that the address file hands out for\n"
        "                            this relay (default: the address it listens on)\n"
        "  --help                    this text\n"
        "\n"
        "Port 0 picks a free port. Once listening the relay prints\n"
        "  relay listening tcp=HOST:PORT http=HOST:PORT [admin=HOST:PORT] [admin-socket=PATH]\n"
        "and then one log line per event on standard error. SIGINT or SIGTERM stop it.\n"
        "\n"
        "The HTTP port also answers operators: GET /health is 200 \"ok\" while the relay\n"
        "serves and its database answers, 503 with the reason otherwise (database\n"
        "unreachable, draining); GET /metrics gives connections, signed-on clients,\n"
        "messages in and deliveries out by code, refusals by reason and the store's queue\n"
        "in the Prometheus text format. While PostgreSQL is away, reports are still\n"
        "relayed; their history writes wait (at most 20000, newer ones are dropped beyond\n"
        "that) and land when it returns; sign-ons wait up to 20 s, then their connection\n"
        "is closed and the client comes back later.\n"
        "\n"
        "migrate copies a SQLite file's accounts and history into an empty PostgreSQL\n"
        "database once and prints what it copied; it refuses a database that has accounts.\n"
        "\n"
        "Admin commands (fields separated by tabs, or by blanks with the last field\n"
        "taking the rest of the line; USER * means everybody; at most 4 connections at\n"
        "once, and a line that is no command closes the connection):\n");
}

bool ParseRelayOptions(const QStringList &arguments, RelayOptions *options, QString *error,
                       bool *helpRequested)
{
    *helpRequested = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString arg = arguments.at(i);
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            *helpRequested = true;
            return true;
        }
        if (i + 1 >= arguments.size()) {
            *error = QStringLiteral("unknown option or missing value: %1").arg(arg);
            return false;
        }
        const QString value = arguments.at(++i);
        bool ok = true;
        if (arg == QLatin1String("--listen"))
            ok = ParseHostPort(value, &options->listen);
        else if (arg == QLatin1String("--http"))
            ok = ParseHostPort(value, &options->http);
        else if (arg == QLatin1String("--admin")) {
            ok = ParseHostPort(value, &options->admin);
            options->adminEnabled = ok;
        } else if (arg == QLatin1String("--admin-token-file")) {
            options->adminTokenFile = value;
            ok = !value.isEmpty();
        } else if (arg == QLatin1String("--admin-socket")) {
            options->adminSocket = value;
            ok = !value.isEmpty();
        } else if (arg == QLatin1String("--admin-idle-seconds")) {
            ok = parseInt(value, 1, 24 * 3600, &options->adminIdleSeconds);
        } else if (arg == QLatin1String("--db")) {
            options->databasePath = value;
            ok = !value.isEmpty();
        } else if (arg == QLatin1String("--cluster")) {
            QString host;
            quint16 port = 0;
            options->cluster = value;
            ok = ParseRedisUrl(value, &host, &port);
        } else if (arg == QLatin1String("--node")) {
            options->node = value;
            ok = ValidNodeName(value);
        } else if (arg == QLatin1String("--advertise")) {
            HostPort advertised;
            options->advertise = value;
            ok = ParseHostPort(value, &advertised) && advertised.port != 0 &&
                 advertised.address.protocol() == QAbstractSocket::IPv4Protocol &&
                 advertised.address != QHostAddress::AnyIPv4;
        } else if (arg == QLatin1String("--keepalive-seconds"))
            ok = parseInt(value, 1, 24 * 3600, &options->keepaliveSeconds);
        else if (arg == QLatin1String("--max-connections"))
            ok = parseInt(value, 1, 100'000, &options->maxConnections);
        else if (arg == QLatin1String("--pbkdf2-iterations"))
            ok = parseInt(value, 1000, 10'000'000, &options->pbkdf2Iterations);
        else if (arg == QLatin1String("--max-per-address"))
            ok = parseInt(value, 0, 100'000, &options->maxPerAddress);
        else if (arg == QLatin1String("--signon-timeout-seconds"))
            ok = parseInt(value, 1, 24 * 3600, &options->signOnTimeoutSeconds);
        else if (arg == QLatin1String("--byte-rate") || arg == QLatin1String("--byte-burst")) {
            // A burst below the largest message would refuse honest ones.
            int v = 0;
            ok = parseInt(value, 4096, 100'000'000, &v);
            (arg == QLatin1String("--byte-rate") ? options->limits.bytesPerSecond
                                                 : options->limits.byteBurst) = v;
        } else if (arg == QLatin1String("--rate") || arg == QLatin1String("--burst") ||
                   arg == QLatin1String("--flood-drops")) {
            int v = 0;
            ok = parseInt(value, 1, 1'000'000, &v);
            if (arg == QLatin1String("--rate"))
                options->limits.perSecond = v;
            else if (arg == QLatin1String("--burst"))
                options->limits.burst = v;
            else
                options->limits.closeAfterDrops = v;
        } else {
            *error = QStringLiteral("unknown option: %1").arg(arg);
            return false;
        }
        if (!ok) {
            *error = QStringLiteral("bad value for %1: %2").arg(arg, value);
            return false;
        }
    }
    if (options->cluster.isEmpty() && (!options->node.isEmpty() || !options->advertise.isEmpty())) {
        *error = QStringLiteral("--node and --advertise need --cluster");
        return false;
    }
    // Any local program and any web page the operator opens can reach a
    // loopback port; only the token tells the operator apart.
    if (options->adminEnabled != !options->adminTokenFile.isEmpty()) {
        *error = options->adminEnabled ? QStringLiteral("--admin needs --admin-token-file")
                                       : QStringLiteral("--admin-token-file needs --admin");
        return false;
    }
    return true;
}
