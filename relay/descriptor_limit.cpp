#include "descriptor_limit.h"

#include "relay_log.h"

#include <QTcpServer>
#include <QTimer>
#include <QVariant>

#include <algorithm>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

namespace DescriptorLimit {

namespace {

constexpr int PauseMs = 250;

// Held open so that, with every other descriptor in use, one is still
// there to accept a connection and close it at once.
int spare = -1;

void openSpare()
{
    if (spare < 0)
        spare = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
}

} // namespace

int raiseSoftLimit()
{
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return 1024;
    if (limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
        getrlimit(RLIMIT_NOFILE, &limit);
    }
    openSpare();
    return limit.rlim_cur == RLIM_INFINITY ? 1 << 20 : int(std::min<rlim_t>(limit.rlim_cur, 1 << 20));
}

int fitConnections(int wanted, const RelayLog &log)
{
    const int limit = raiseSoftLimit();
    const int fits = std::max(1, limit - Reserve);
    if (wanted <= fits)
        return wanted;
    log.line(QStringLiteral("open-file limit %1: at most %2 client connections instead of %3")
                 .arg(limit)
                 .arg(fits)
                 .arg(wanted));
    return fits;
}

void keepAccepting(QTcpServer *server, const RelayLog &log, const QString &what)
{
    QObject::connect(server, &QTcpServer::acceptError, server, [server, &log, what] {
        if (!server->property("acceptFailing").toBool())
            log.line(QStringLiteral("%1: cannot accept connections (%2); turning them away until it can")
                         .arg(what, server->errorString()));
        server->setProperty("acceptFailing", true);
        if (spare >= 0) {
            ::close(spare);
            spare = -1;
            const int fd = ::accept4(int(server->socketDescriptor()), nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0)
                ::close(fd);
            openSpare();
        }
        QTimer::singleShot(PauseMs, server, [server] { server->resumeAccepting(); });
    });
    QObject::connect(server, &QTcpServer::newConnection, server,
                     [server] { server->setProperty("acceptFailing", false); });
}

} // namespace DescriptorLimit
