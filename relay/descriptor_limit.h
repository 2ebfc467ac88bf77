#pragma once

class QString;
class QTcpServer;
class RelayLog;

namespace DescriptorLimit {

// Descriptors kept free beyond the client connections: the address file's
// slots, admin connections, the database and its journal, listeners, the
// log and a margin.
inline constexpr int Reserve = 128;

// Raises the soft limit on open files to the hard one; returns the limit
// now in force.
int raiseSoftLimit();
// The client connection cap that leaves Reserve descriptors free, logged
// when it is lower than wanted.
int fitConnections(int wanted, const RelayLog &log);
// A listener that runs out of descriptors is switched off by Qt: this logs
// that once, turns away the waiting connection with a spare descriptor and
// listens again after a short pause.
void keepAccepting(QTcpServer *server, const RelayLog &log, const QString &what);

} // namespace DescriptorLimit
