#include "relay_server.h"

#include "frame_splitter.h"
#include "password_hash.h"
#include "relay_log.h"
#include "relay_store.h"
#include "report_stamp.h"

#include "net/protocol.h"
#include "net/wire_codec.h"
#include "platform/clock.h"

#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <cerrno>
#include <sys/socket.h>

namespace {

constexpr int MaxHistoryHours = 168;
constexpr int MaxNameLength = 64;
// Messages a client may send while its password is checked.
constexpr qsizetype MaxHeldMessages = 1000;
const QString SystemSender = QStringLiteral("SYSTEM");

QByteArray wire(const QString &code, const QStringList &fields = {})
{
    return WireCodec::encode(ServerMessage(code, fields));
}

bool validName(const QString &name)
{
    if (name.isEmpty() || name.size() > MaxNameLength)
        return false;
    for (QChar c : name)
        if (c.unicode() <= 0x20 || c.unicode() == 0x7F)
            return false;
    return true;
}

// Fields that clients read without unescaping may not hold the
// delimiters.
bool fitsUnescaped(const QString &text)
{
    return !text.contains(u'|') && !text.contains(u'^');
}

} // namespace

struct RelayServer::Connection
{
    QTcpSocket *socket = nullptr;
    quint64 id = 0;
    QHostAddress peer;
    QString peerText;
    FrameSplitter splitter;
    RateLimiter limiter;
    QByteArray pending;
    bool dirty = false;
    bool closing = false;
    bool gone = false;
    bool signedOn = false;
    bool toldNotSignedOn = false;
    // A password is being hashed; what arrives meanwhile waits here.
    bool hashing = false;
    QList<QByteArray> held;
    QString user;
    QString state;
    QString county;
    QString zip;
};

RelayServer::RelayServer(RelayStore &store, const Clock &clock, const RelayLog &log, RelaySettings settings,
                         QObject *parent)
    : QObject(parent), m_store(store), m_clock(clock), m_log(log), m_settings(settings),
      m_server(new QTcpServer(this))
{
    // One core stays free for the event loop.
    m_hashPool.setMaxThreadCount(std::max(1, QThread::idealThreadCount() - 1));
    m_monotonic.start();
    connect(m_server, &QTcpServer::newConnection, this, &RelayServer::onNewConnection);
    m_keepAlive.setInterval(std::max(1, m_settings.keepaliveSeconds) * 1000);
    connect(&m_keepAlive, &QTimer::timeout, this, &RelayServer::sendKeepAlive);
    m_purge.setInterval(3600 * 1000);
    connect(&m_purge, &QTimer::timeout, this,
            [this] { m_store.purgeBefore(m_clock.utcNow().addSecs(-3600LL * (MaxHistoryHours + 1))); });
}

RelayServer::~RelayServer()
{
    // Results still on their way are dropped with this object's events.
    m_hashPool.clear();
    m_hashPool.waitForDone();
    shutdown();
}

bool RelayServer::listen(QString *error)
{
    m_server->setMaxPendingConnections(100);
    if (!m_server->listen(m_settings.listenAddress, m_settings.listenPort)) {
        if (error)
            *error = m_server->errorString();
        return false;
    }
    m_store.purgeBefore(m_clock.utcNow().addSecs(-3600LL * (MaxHistoryHours + 1)));
    m_keepAlive.start();
    m_purge.start();
    return true;
}

QHostAddress RelayServer::serverAddress() const
{
    return m_server->serverAddress();
}

quint16 RelayServer::serverPort() const
{
    return m_server->serverPort();
}

void RelayServer::shutdown()
{
    m_keepAlive.stop();
    m_purge.stop();
    m_server->close();
    flushPending();
    for (auto &[socket, c] : m_connections) {
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
    }
    m_connections.clear();
    m_signedOn.clear();
    m_byUser.clear();
    m_dirty.clear();
}

void RelayServer::onNewConnection()
{
    while (m_server->hasPendingConnections()) {
        QTcpSocket *socket = m_server->nextPendingConnection();
        if (qsizetype(m_connections.size()) >= m_settings.maxConnections) {
            m_log.line(QStringLiteral("refused %1: connection limit %2 reached")
                           .arg(socket->peerAddress().toString())
                           .arg(m_settings.maxConnections));
            socket->abort();
            socket->deleteLater();
            continue;
        }
        auto c = std::make_unique<Connection>();
        c->socket = socket;
        c->id = m_nextId++;
        c->peer = socket->peerAddress();
        c->peerText = QStringLiteral("%1:%2").arg(c->peer.toString()).arg(socket->peerPort());
        c->limiter = RateLimiter(m_settings.limits);
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        socket->setReadBufferSize(256 * 1024);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] { onDisconnected(socket); });
        m_log.line(QStringLiteral("connection #%1 from %2").arg(c->id).arg(c->peerText));
        m_connections.emplace(socket, std::move(c));
    }
}

void RelayServer::onReadyRead(QTcpSocket *socket)
{
    auto it = m_connections.find(socket);
    if (it == m_connections.end())
        return;
    Connection &c = *it->second;
    const QByteArray data = socket->readAll();
    if (c.closing)
        return;
    QList<QByteArray> messages;
    const bool withinCap = c.splitter.feed(data, messages);
    for (const QByteArray &m : messages) {
        if (c.closing)
            return;
        switch (c.limiter.take(m_monotonic.elapsed())) {
        case RateLimiter::Verdict::Accept:
            if (!c.hashing) {
                handleMessage(c, m);
            } else if (c.held.size() < MaxHeldMessages) {
                c.held.append(m);
            } else {
                close(c, QStringLiteral("sent too much while its password was checked"), false);
                return;
            }
            break;
        case RateLimiter::Verdict::Drop:
            if (c.limiter.dropsInWindow() == 1)
                m_log.line(
                    QStringLiteral("%1 sends too fast: dropping its excess messages").arg(describe(c)));
            break;
        case RateLimiter::Verdict::Close:
            close(c, QStringLiteral("kept flooding"), false);
            return;
        }
    }
    if (!withinCap && !c.closing)
        close(c, QStringLiteral("sent more than %1 bytes without \"^\"").arg(FrameSplitter::DefaultCap),
              false);
}

void RelayServer::onDisconnected(QTcpSocket *socket)
{
    auto it = m_connections.find(socket);
    if (it == m_connections.end() || it->second->gone)
        return;
    Connection &c = *it->second;
    c.gone = true;
    c.closing = true;
    if (c.signedOn)
        signOff(c, true);
    m_log.line(QStringLiteral("connection #%1 closed").arg(c.id));
    // The socket may still be inside one of its own signals: let go later.
    QMetaObject::invokeMethod(
        this,
        [this, socket] {
            auto found = m_connections.find(socket);
            if (found == m_connections.end())
                return;
            m_dirty.removeAll(found->second.get());
            m_connections.erase(found);
            socket->deleteLater();
        },
        Qt::QueuedConnection);
}

void RelayServer::handleMessage(Connection &c, const QByteArray &bytes)
{
    const QByteArray code = bytes.mid(1, 3);
    if (code == "NEW" || code == "SGN" || code == "FGT") {
        const QStringList fields = SplitFields(WireCodec::decode(bytes));
        if (code == "NEW")
            handleNewAccount(c, fields);
        else if (code == "SGN")
            handleSignOn(c, fields);
        else
            handleForgot(c, fields);
        return;
    }
    static const QByteArrayList signedOnCodes = {"RPT", "MSG", "RPA", "GOB", "GLD", "XRP", "DOB"};
    if (!signedOnCodes.contains(code))
        return;
    if (!c.signedOn) {
        if (!c.toldNotSignedOn)
            m_log.line(QStringLiteral("%1 is not signed on: ignoring its %2 and later requests")
                           .arg(describe(c), QString::fromLatin1(code)));
        c.toldNotSignedOn = true;
        return;
    }
    if (code == "MSG" || code == "RPA") {
        // Relayed exactly as received, encoded once for every receiver.
        broadcast(bytes);
        return;
    }
    if (code == "GOB") {
        handleObserverList(c);
        return;
    }
    if (code == "DOB") {
        signOff(c, true);
        return;
    }
    const QStringList fields = SplitFields(WireCodec::decode(bytes));
    if (code == "RPT")
        handleReport(c, fields);
    else if (code == "GLD")
        handleHistory(c, fields);
    else
        handleRetract(c, fields);
}

void RelayServer::handleNewAccount(Connection &c, const QStringList &fields)
{
    const QString name = FieldAt(fields, 0);
    const QString password = FieldAt(fields, 1);
    if (!validName(name) || password.isEmpty() || password.size() > MaxNameLength) {
        m_log.line(
            QStringLiteral("%1: new account refused, unusable user name or password").arg(describe(c)));
        send(c, wire(QStringLiteral("NEW"), {QStringLiteral("2")}));
        return;
    }
    AccountRecord account;
    account.name = name;
    account.salt = PasswordHash::newSalt();
    account.iterations = m_settings.pbkdf2Iterations;
    digestThen(
        c, password, account.salt, account.iterations,
        [this, account](Connection &c, const QByteArray &digest) mutable {
            account.hash = digest;
            const bool created = m_store.createAccount(account);
            const QString why = created                            ? QStringLiteral("created")
                                : m_store.writeFailure().isEmpty() ? QStringLiteral("refused, name taken")
                                                                   : QStringLiteral("could not be stored");
            m_log.line(QStringLiteral("%1: account %2 %3").arg(describe(c), account.name, why));
            send(c, wire(QStringLiteral("NEW"), {created ? QStringLiteral("1") : QStringLiteral("2")}));
        });
}

void RelayServer::handleSignOn(Connection &c, const QStringList &fields)
{
    const QString name = FieldAt(fields, 0);
    const auto reply = [&](const char *code, const QString &why) {
        m_log.line(QStringLiteral("%1: sign-on as %2: %3").arg(describe(c), name, why));
        send(c, wire(QStringLiteral("SGN"), {QString::fromLatin1(code)}));
    };
    const std::optional<AccountRecord> account = validName(name) ? m_store.account(name) : std::nullopt;
    if (!account)
        return reply("1", QStringLiteral("unknown user"));
    digestThen(c, FieldAt(fields, 1), account->salt, account->iterations,
               [this, fields](Connection &c, const QByteArray &digest) { finishSignOn(c, fields, digest); });
}

void RelayServer::finishSignOn(Connection &c, const QStringList &fields, const QByteArray &digest)
{
    const QString name = FieldAt(fields, 0);
    const auto reply = [&](const char *code, const QString &why) {
        m_log.line(QStringLiteral("%1: sign-on as %2: %3").arg(describe(c), name, why));
        send(c, wire(QStringLiteral("SGN"), {QString::fromLatin1(code)}));
    };
    // Read again: the account may have been banned while the password was checked.
    const std::optional<AccountRecord> account = m_store.account(name);
    if (!account)
        return reply("1", QStringLiteral("unknown user"));
    if (digest.isEmpty() || !PasswordHash::constantTimeEquals(digest, account->hash))
        return reply("2", QStringLiteral("wrong password"));
    if (!account->eligible)
        return reply("5", QStringLiteral("account no longer eligible"));

    const QString key = AccountKey(account->name);
    Connection *previous = m_byUser.value(key);
    // A client that lost its link signs on again before this side may have
    // noticed the loss: a re-sign-on (no version field) or a sign-on from
    // the same address replaces the stale connection instead of being
    // locked out by it.
    const bool reSignOn = FieldAt(fields, 12).isEmpty();
    if (previous && previous != &c && previous->peer != c.peer && !reSignOn)
        return reply("4", QStringLiteral("already signed on from %1").arg(previous->peerText));

    if (c.signedOn)
        signOff(c, true);
    if (previous && previous != &c) {
        signOff(*previous, true);
        close(*previous, QStringLiteral("replaced by a new sign-on of %1").arg(account->name), true);
    }

    c.signedOn = true;
    c.user = name;
    c.county = FieldAt(fields, 7);
    c.state = FieldAt(fields, 8);
    c.zip = FieldAt(fields, 9);
    m_signedOn.append(&c);
    m_byUser.insert(key, &c);
    // Written only when it changed: most sign-ons then cost no write.
    if (account->email != FieldAt(fields, 10))
        m_store.setEmail(account->name, FieldAt(fields, 10));
    reply("3", reSignOn ? QStringLiteral("signed on again")
                        : QStringLiteral("signed on (client %1)").arg(FieldAt(fields, 12)));
    broadcast(observerMessage(QStringLiteral("GOB"), c, true));
}

void RelayServer::digestThen(Connection &c, const QString &password, const QByteArray &salt, int iterations,
                             std::function<void(Connection &, const QByteArray &)> then)
{
    c.hashing = true;
    const QPointer<QTcpSocket> socket = c.socket;
    const quint64 id = c.id;
    // Taken over the password's wire bytes, as it arrives from any client.
    m_hashPool.start([this, socket, id, bytes = WireCodec::encode(password), salt, iterations,
                      then = std::move(then)]() mutable {
        const QByteArray digest =
            PasswordHash::pbkdf2Sha256(bytes, salt, iterations, PasswordHash::KeyLength);
        QMetaObject::invokeMethod(
            this,
            [this, socket, id, digest, then = std::move(then)] { digestDone(socket, id, digest, then); },
            Qt::QueuedConnection);
    });
}

void RelayServer::digestDone(QTcpSocket *socket, quint64 id, const QByteArray &digest,
                             const std::function<void(Connection &, const QByteArray &)> &then)
{
    const auto it = socket ? m_connections.find(socket) : m_connections.end();
    if (it == m_connections.end() || it->second->id != id || it->second->closing)
        return;
    Connection &c = *it->second;
    c.hashing = false;
    then(c, digest);
    while (!c.hashing && !c.closing && !c.held.isEmpty())
        handleMessage(c, c.held.takeFirst());
}

void RelayServer::handleForgot(Connection &c, const QStringList &fields)
{
    const QString name = FieldAt(fields, 0).trimmed();
    const std::optional<AccountRecord> account = validName(name) ? m_store.account(name) : std::nullopt;
    if (!account) {
        m_log.line(QStringLiteral("%1: password reminder for unknown user %2: nothing to send")
                       .arg(describe(c), name));
        return;
    }
    m_log.line(QStringLiteral("%1: the password of %2 would be e-mailed to \"%3\"; this relay sends no mail")
                   .arg(describe(c), account->name, CleanIncoming(account->email)));
}

void RelayServer::handleReport(Connection &c, const QStringList &fields)
{
    StoredReport report;
    report.receivedUtc = m_clock.utcNow();
    report.author = c.user;
    for (int i = 0; i < 6; ++i)
        report.fields.append(FieldAt(fields, i));
    report.fields.append(ReportTimeStamp(report.receivedUtc));
    if (!m_store.addReport(report))
        m_log.line(QStringLiteral("%1: report could not be stored in the history").arg(describe(c)));
    const int reached = broadcast(wire(QStringLiteral("RPT"), report.fields));
    m_log.line(QStringLiteral("report from %1 relayed to %2: %3")
                   .arg(c.user)
                   .arg(reached)
                   .arg(CleanIncoming(report.fields.first())));
}

void RelayServer::handleHistory(Connection &c, const QStringList &fields)
{
    bool ok = false;
    const int hours = FieldAt(fields, 0).trimmed().toInt(&ok);
    if (!ok || hours < 1) {
        m_log.line(QStringLiteral("%1: history request for \"%2\" hours ignored")
                       .arg(describe(c), FieldAt(fields, 0)));
        return;
    }
    const int span = std::min(hours, MaxHistoryHours);
    const QList<StoredReport> reports = m_store.reportsSince(m_clock.utcNow().addSecs(-3600LL * span));
    QByteArray out;
    for (const StoredReport &r : reports)
        out += wire(QStringLiteral("GLD"), r.fields);
    if (!out.isEmpty())
        send(c, out);
    m_log.line(QStringLiteral("%1: %2 historical records of %3 hours sent")
                   .arg(describe(c))
                   .arg(reports.size())
                   .arg(span));
}

void RelayServer::handleRetract(Connection &c, const QStringList &fields)
{
    const QString text = FieldAt(fields, 0);
    const int removed = m_store.deleteReports(c.user, text);
    if (removed == 0) {
        m_log.line(
            QStringLiteral("%1: retraction of a report not found among its own: ignored").arg(describe(c)));
        return;
    }
    const int reached = broadcast(wire(QStringLiteral("DEL"), {text}));
    m_log.line(QStringLiteral("%1: report retracted (%2 stored), DEL sent to %3")
                   .arg(describe(c))
                   .arg(removed)
                   .arg(reached));
}

void RelayServer::handleObserverList(Connection &c)
{
    QByteArray out;
    for (const Connection *o : std::as_const(m_signedOn))
        out += observerMessage(QStringLiteral("GOB"), *o, true);
    send(c, out);
}

void RelayServer::signOff(Connection &c, bool announce)
{
    if (!c.signedOn)
        return;
    m_log.line(QStringLiteral("%1 signed off").arg(describe(c)));
    c.signedOn = false;
    m_signedOn.removeAll(&c);
    const QString key = AccountKey(c.user);
    if (m_byUser.value(key) == &c)
        m_byUser.remove(key);
    if (announce)
        broadcast(observerMessage(QStringLiteral("DOB"), c, false), &c);
}

QByteArray RelayServer::observerMessage(const QString &code, const Connection &c, bool withCount) const
{
    QStringList fields = {c.state, c.county, c.zip, c.user};
    if (withCount)
        fields.append(QString::number(m_signedOn.size()));
    return wire(code, fields);
}

QString RelayServer::describe(const Connection &c) const
{
    return c.signedOn ? QStringLiteral("#%1 (%2)").arg(c.id).arg(c.user) : QStringLiteral("#%1").arg(c.id);
}

void RelayServer::send(Connection &c, const QByteArray &bytes)
{
    if (c.closing || bytes.isEmpty())
        return;
    c.pending += bytes;
    if (!c.dirty) {
        c.dirty = true;
        m_dirty.append(&c);
    }
    if (!m_flushQueued) {
        m_flushQueued = true;
        const qint64 windowNs = qint64(m_settings.coalesceMs) * 1'000'000;
        const qint64 sinceNs = m_monotonic.nsecsElapsed() - m_lastFlushNs;
        if (m_lastFlushNs < 0 || sinceNs >= windowNs)
            QMetaObject::invokeMethod(this, &RelayServer::flushPending, Qt::QueuedConnection);
        else
            QTimer::singleShot(int((windowNs - sinceNs + 999'999) / 1'000'000), Qt::PreciseTimer, this,
                               &RelayServer::flushPending);
    }
}

int RelayServer::broadcast(const QByteArray &bytes, const Connection *except)
{
    int reached = 0;
    for (Connection *c : std::as_const(m_signedOn)) {
        if (c == except || c->closing)
            continue;
        send(*c, bytes);
        ++reached;
    }
    return reached;
}

void RelayServer::flushPending()
{
    m_flushQueued = false;
    m_lastFlushNs = m_monotonic.nsecsElapsed();
    const QList<Connection *> dirty = std::exchange(m_dirty, {});
    for (Connection *c : dirty) {
        c->dirty = false;
        if (c->closing) {
            c->pending.clear();
            continue;
        }
        QByteArray out = std::exchange(c->pending, {});
        // Everything queued in this pass goes out in one system call, and
        // straight to the kernel while the socket has nothing of its own
        // waiting; only a remainder takes the socket's buffered path.
        qsizetype written = 0;
        if (c->socket->bytesToWrite() == 0) {
            const ssize_t n = ::send(int(c->socket->socketDescriptor()), out.constData(), size_t(out.size()),
                                     MSG_DONTWAIT | MSG_NOSIGNAL);
            if (n > 0)
                written = n;
            else if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
                close(*c, QStringLiteral("write failed"), false);
                continue;
            }
        }
        if (written < out.size())
            c->socket->write(out.constData() + written, out.size() - written);
        if (c->socket->bytesToWrite() > m_settings.maxQueuedBytes)
            close(*c, QStringLiteral("reads too slowly (%1 bytes queued)").arg(c->socket->bytesToWrite()),
                  false);
    }
}

void RelayServer::close(Connection &c, const QString &reason, bool graceful)
{
    if (c.closing)
        return;
    m_log.line(QStringLiteral("closing %1: %2").arg(describe(c), reason));
    if (c.signedOn)
        signOff(c, true);
    if (graceful && !c.pending.isEmpty()) {
        c.socket->write(c.pending);
        c.pending.clear();
    }
    c.closing = true;
    QTcpSocket *socket = c.socket;
    QTimer::singleShot(0, socket, [socket, graceful] {
        if (graceful)
            socket->disconnectFromHost();
        else
            socket->abort();
    });
}

int RelayServer::sendToUser(const QString &user, const QByteArray &bytes)
{
    if (user == QLatin1String("*"))
        return broadcast(bytes);
    // A sign-on replaces any earlier connection of the same account, so
    // there is at most one.
    Connection *c = m_byUser.value(AccountKey(user));
    if (!c || c->closing)
        return 0;
    send(*c, bytes);
    return 1;
}

int RelayServer::sendSystemMessage(const QString &user, const QString &text)
{
    const QString addressee = user == QLatin1String("*") ? QStringLiteral("ALL") : user;
    return sendToUser(user, wire(QStringLiteral("SMG"), {addressee, SystemSender, EscapeOutgoing(text)}));
}

int RelayServer::sendWarning(const QStringList &fields)
{
    QStringList out;
    for (int i = 0; i < 6; ++i)
        out.append(i == 4 ? FieldAt(fields, i) : EscapeOutgoing(FieldAt(fields, i)));
    const QString stamp = FieldAt(fields, 6).trimmed();
    out.append(stamp.isEmpty() ? ReportTimeStamp(m_clock.utcNow()) : stamp);
    if (!fitsUnescaped(out.at(4)) || !fitsUnescaped(out.at(6)))
        return -1;
    return broadcast(wire(QStringLiteral("WRN"), out));
}

int RelayServer::sendRedirect(const QString &user, const QString &host, const QString &port)
{
    if (!fitsUnescaped(host) || !fitsUnescaped(port))
        return -1;
    return sendToUser(user, wire(QStringLiteral("HUB"), {host, port}));
}

int RelayServer::sendAnnouncement(const QString &user, const QString &image, const QString &tooltip,
                                  const QString &link)
{
    // Clients read these fields as they arrive, without unescaping.
    if (!fitsUnescaped(image) || !fitsUnescaped(tooltip) || !fitsUnescaped(link))
        return -1;
    return sendToUser(user, wire(QStringLiteral("GAD"), {image, tooltip, link}));
}

bool RelayServer::ban(const QString &user, int *reached)
{
    if (!m_store.setEligible(user, false))
        return false;
    Connection *c = m_byUser.value(AccountKey(user));
    const bool signedOn = c && !c->closing;
    if (signedOn) {
        // The client ends itself on BAN; until its link drops it is
        // signed off and may sign on no more.
        send(*c, wire(QStringLiteral("BAN"), {c->user}));
        signOff(*c, true);
    }
    if (reached)
        *reached = signedOn ? 1 : 0;
    return true;
}

int RelayServer::terminate(const QString &user)
{
    if (user == QLatin1String("*"))
        return 0;
    return sendToUser(user, wire(QStringLiteral("C12"), {user}));
}

int RelayServer::disconnectUser(const QString &user)
{
    return sendToUser(user, wire(QStringLiteral("DIS")));
}

QList<ObserverInfo> RelayServer::observers() const
{
    QList<ObserverInfo> out;
    for (const Connection *c : m_signedOn)
        out.append(
            {c->user, CleanIncoming(c->state), CleanIncoming(c->county), CleanIncoming(c->zip), c->peerText});
    return out;
}

void RelayServer::sendKeepAlive()
{
    // A code no client acts on; it only keeps idle links from timing out.
    static const QByteArray keepAlive = wire(QStringLiteral("PNG"));
    for (auto &[socket, c] : m_connections)
        send(*c, keepAlive);
}
