#pragma once

// Many plain TCP clients on loopback, driven from one epoll loop, for the
// relay benchmarks: a Qt client per connection would measure Qt, not the
// server. Each client's bytes are cut at a terminator and handed to the
// bench one message at a time, with the moment they arrived.
#include "net/sign_on_message.h"
#include "nimbrel_version.h"

#include <QString>
#include <QtGlobal>

#include <cerrno>
#include <functional>
#include <string>
#include <vector>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

inline qint64 nowNs()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

class LoopbackClients
{
public:
    // handler(client, message including its terminator, arrival in ns)
    using Handler = std::function<void(int, const std::string &, qint64)>;

    LoopbackClients(char terminator, Handler handler)
        : m_terminator(terminator), m_handler(std::move(handler)), m_epoll(epoll_create1(0))
    {
    }
    ~LoopbackClients()
    {
        for (const Client &c : m_clients)
            if (c.fd >= 0)
                ::close(c.fd);
        ::close(m_epoll);
    }
    LoopbackClients(const LoopbackClients &) = delete;
    LoopbackClients &operator=(const LoopbackClients &) = delete;

    // The new client's index, or -1 when it could not connect.
    int open(int port)
    {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(quint16(port));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0) {
            if (fd >= 0)
                ::close(fd);
            return -1;
        }
        int one = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
        m_clients.push_back(Client{fd, {}});
        epoll_event ev{};
        ev.events = EPOLLIN;
        ev.data.u32 = quint32(m_clients.size() - 1);
        epoll_ctl(m_epoll, EPOLL_CTL_ADD, fd, &ev);
        return int(m_clients.size() - 1);
    }

    void drop(int i)
    {
        Client &c = m_clients[size_t(i)];
        if (c.fd < 0)
            return;
        epoll_ctl(m_epoll, EPOLL_CTL_DEL, c.fd, nullptr);
        ::close(c.fd);
        c.fd = -1;
    }

    // Blocks until all of data is written, reading meanwhile so that a
    // server waiting for us to read never deadlocks the bench.
    void send(int i, const std::string &data)
    {
        size_t off = 0;
        while (off < data.size() && m_clients[size_t(i)].fd >= 0) {
            const ssize_t n =
                ::send(m_clients[size_t(i)].fd, data.data() + off, data.size() - off, MSG_NOSIGNAL);
            if (n > 0)
                off += size_t(n);
            else if (n < 0 && (errno == EAGAIN || errno == EINTR))
                pump(1);
            else
                return;
        }
    }

    void pump(int timeoutMs)
    {
        epoll_event events[256];
        const int n = epoll_wait(m_epoll, events, 256, timeoutMs);
        char buf[65536];
        for (int e = 0; e < n; ++e) {
            const int i = int(events[e].data.u32);
            if (m_clients[size_t(i)].fd < 0)
                continue;
            const ssize_t got = ::recv(m_clients[size_t(i)].fd, buf, sizeof buf, 0);
            if (got == 0 || (got < 0 && errno != EAGAIN && errno != EINTR)) {
                drop(i);
                continue;
            }
            if (got < 0)
                continue;
            const qint64 arrival = nowNs();
            // Complete messages are taken out before any is handled: a
            // handler that sends may pump again and read more of this client.
            std::string &in = m_clients[size_t(i)].in;
            in.append(buf, size_t(got));
            const size_t last = in.rfind(m_terminator);
            if (last == std::string::npos)
                continue;
            const std::string whole = in.substr(0, last + 1);
            in.erase(0, last + 1);
            size_t pos = 0;
            for (size_t end; (end = whole.find(m_terminator, pos)) != std::string::npos; pos = end + 1)
                m_handler(i, whole.substr(pos, end - pos + 1), arrival);
        }
    }

    template <typename Done> bool pumpUntil(Done done, int timeoutMs)
    {
        const qint64 deadline = nowNs() + qint64(timeoutMs) * 1'000'000;
        while (!done()) {
            if (nowNs() > deadline)
                return false;
            pump(5);
        }
        return true;
    }

    void pumpFor(int ms)
    {
        const qint64 deadline = nowNs() + qint64(ms) * 1'000'000;
        while (nowNs() < deadline)
            pump(5);
    }

private:
    struct Client
    {
        int fd = -1;
        std::string in;
    };

    char m_terminator;
    Handler m_handler;
    int m_epoll;
    std::vector<Client> m_clients;
};

// The sign-on the real client sends, for a bench user whose password is "pw";
// without the version field it is the automatic re-sign-on.
inline std::string BenchSignOn(const std::string &user, bool withVersion = true)
{
    SignOnMessage::Profile profile;
    profile.userName = QString::fromStdString(user);
    profile.password = QStringLiteral("pw");
    profile.firstName = QStringLiteral("F");
    profile.lastName = QStringLiteral("L");
    profile.address = QStringLiteral("A");
    profile.city = QStringLiteral("C");
    profile.county = QStringLiteral("HARFORD");
    profile.state = QStringLiteral("MD");
    profile.zip = QStringLiteral("21001");
    profile.email = QStringLiteral("e");
    profile.location = QStringLiteral("H");
    return SignOnMessage::Build(profile, withVersion ? QStringLiteral(NIMBREL_WIRE_VERSION) : QString())
        .toStdString();
}
