#pragma once

#include "rate_limiter.h"

#include <QHostAddress>
#include <QString>
#include <QStringList>

struct HostPort
{
    QHostAddress address;
    quint16 port = 0;
};

// "HOST:PORT" with a numeric IPv4 address, "localhost", "*" or "0.0.0.0"
// for every interface, or "[v6]:port"; port 0 asks for a free port.
bool ParseHostPort(const QString &text, HostPort *out);
QString FormatHostPort(const QHostAddress &address, quint16 port);

struct RelayOptions
{
    HostPort listen{QHostAddress(QHostAddress::LocalHost), 5150};
    HostPort http{QHostAddress(QHostAddress::LocalHost), 8080};
    // Operator commands: a Unix-domain socket, and a loopback port for
    // scripts that only opens with a token file.
    bool adminEnabled = false;
    HostPort admin{QHostAddress(QHostAddress::LocalHost), 5151};
    QString adminTokenFile;
    QString adminSocket;
    int adminIdleSeconds = 60;
    QString databasePath; // empty: the per-user data folder
    int keepaliveSeconds = 240;
    int maxConnections = 1000;
    RateLimiter::Limits limits;
    int pbkdf2Iterations = 25'000;
    // Limits on what one address or one connection may take.
    int maxPerAddress = 16;
    int signOnTimeoutSeconds = 60;
    // Several relays as one: the Redis that carries the cluster, this
    // relay's name in it, and the client address others hand out for it.
    QString cluster;
    QString node;
    QString advertise;
};

// Parses the relay's own arguments (without the program name). On a
// problem returns false with a message; helpRequested is set for --help.
bool ParseRelayOptions(const QStringList &arguments, RelayOptions *options, QString *error,
                       bool *helpRequested);
QString RelayUsage();
