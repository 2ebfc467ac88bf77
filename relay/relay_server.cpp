#include "relay_server.h"

#include "cluster_bus.h"
#include "descriptor_limit.h"
#include "frame_splitter.h"
#include "password_hash.h"
#include "relay_log.h"
#include "relay_metrics.h"
#include "relay_options.h"
#include "report_stamp.h"
#include "store_worker.h"

#include "base/wire_codec.h"
#include "net/protocol.h"
#include "net/sign_on_message.h"
#include "platform/clock.h"

#include <QPointer>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <sys/socket.h>

namespace {

constexpr int MaxHistoryHours = 168;
constexpr int MaxNameLength = 64;
// What a client may send while its password is checked.
constexpr qsizetype MaxHeldBytes = 8 * 1024;
// No honest message comes near this; a report or a chat line is far shorter.
constexpr qsizetype MaxMessageBytes = 4096;
constexpr qint64 MinAnswerIntervalMs = 5000;
// Answers go to the socket in pieces of this size as it drains.
constexpr qsizetype AnswerChunk = 64 * 1024;
// Clients signing on together mostly ask for the same span: one answer
// serves them all while no report arrives or leaves.
constexpr qint64 HistoryCacheMs = 10'000;
constexpr qint64 ClusterHistoryCacheMs = 1'000;
constexpr int MaxQueuedHashes = 2048;
// What a signed-on client may send while its report is stored: its
// whole byte burst and then some.
constexpr qsizetype MaxHeldBytesSignedOn = 64 * 1024;
// The longest a report waits for its history write before it goes out
// anyway: a store that is slow, not gone, delays the fan-out no more.
constexpr int ReportHoldMs = 250;
// Wrong passwords for one account before its checks pause, and the
// longest pause: long enough to stop guessing, short enough that the
// owner is never locked out for long by somebody else's guesses.
constexpr int FailuresBeforeBackOff = 3;
constexpr qint64 MaxBackOffMs = 30'000;
constexpr int NewAccountsPerAddressPerHour = 10;
constexpr qsizetype LogExcerpt = 40;
const QString SystemSender = QStringLiteral("SYSTEM");

// The longest accepted field, in characters, by message and field index.
// Sign-on: county, state, zip, e-mail. Report: text, state, county, zip,
// location. Readings: state, county, zip, location. Message: addressee,
// text. Retraction: text.
struct FieldLimit
{
    const char *code;
    int field;
    int maxChars;
};
constexpr FieldLimit FieldLimits[] = {
    {"SGN", SignOnMessage::County, 64},
    {"SGN", SignOnMessage::State, 32},
    {"SGN", SignOnMessage::Zip, 16},
    {"SGN", SignOnMessage::Email, 254},
    {"RPT", 0, 1000},
    {"RPT", 1, 32},
    {"RPT", 2, 64},
    {"RPT", 3, 16},
    {"RPT", 5, 128},
    {"RPA", 6, 32},
    {"RPA", 7, 64},
    {"RPA", 8, 16},
    {"RPA", 10, 128},
    {"MSG", 0, 64},
    {"MSG", 2, 3000},
    {"XRP", 0, 1000},
};

// Events a connection may repeat at will; each is logged once per connection.
enum LogEvent {
    NotSignedOn = 1 << 0,
    SignOnRefused = 1 << 1,
    Forgot = 1 << 2,
    HistoryIgnored = 1 << 3,
    AnswerTooSoon = 1 << 4,
    Oversized = 1 << 5,
    NewRefused = 1 << 6,
    RetractIgnored = 1 << 7,
};

QByteArray wire(const QString &code, const QStringList &fields = {})
{
    return WireCodec::encode(ServerMessage(code, fields));
}

// The start of a text from the network, for the log.
QString excerpt(const QString &text)
{
    QString out = CleanIncoming(QStringView(text).left(LogExcerpt));
    if (text.size() > LogExcerpt)
        out += QStringLiteral("...");
    return out;
}

// Control characters, C1 as well as C0, as blanks: for the operator's list.
QString printable(QString text)
{
    for (QChar &c : text)
        if (c.unicode() < 0x20 || (c.unicode() >= 0x7F && c.unicode() <= 0x9F))
            c = u' ';
    return text;
}

// New accounts: names that look alike cannot be told apart on screen, so
// only these characters; names the clients give a meaning of their own
// are reserved. Older accounts keep working under validName.
bool newNameAllowed(const QString &name)
{
    static const QStringList reserved = {QStringLiteral("SYSTEM"), QStringLiteral("ALL"),
                                         QStringLiteral("SOS"), QStringLiteral("QUICKCHAT"),
                                         QStringLiteral("WXCHAT")};
    if (name.size() < 3 || name.size() > 20 || reserved.contains(name, Qt::CaseInsensitive))
        return false;
    for (QChar c : name) {
        const char16_t u = c.unicode();
        const bool letterOrDigit =
            (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9');
        if (!letterOrDigit && u != u'_' && u != u'.' && u != u'-')
            return false;
    }
    return true;
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
    // More than maxQueuedBytes was queued; the next flush closes it.
    bool overflow = false;
    struct Answer
    {
        char kind;
        QByteArray bytes;
        qsizetype offset = 0;
    };
    QList<Answer> answers;
    qint64 lastHistoryMs = -1;
    qint64 lastListMs = -1;
    int loggedEvents = 0;
    bool everSignedOn = false;
    bool deadlinePassed = false;
    bool dirty = false;
    bool closing = false;
    bool gone = false;
    bool signedOn = false;
    bool toldNotSignedOn = false;
    // A password is being hashed or the store asked; what arrives
    // meanwhile waits here.
    bool waiting = false;
    QList<QByteArray> held;
    qsizetype heldBytes = 0;
    QString user;
    QString state;
    QString county;
    QString zip;
    // Tells this sign-on from a later one on the same connection.
    quint64 signOn = 0;
};

RelayServer::RelayServer(StoreWorker &store, const Clock &clock, const RelayLog &log, RelayMetrics &metrics,
                         RelaySettings settings, QObject *parent)
    : QObject(parent), m_store(store), m_clock(clock), m_log(log), m_metrics(metrics), m_settings(settings),
      m_server(new QTcpServer(this))
{
    // One core stays free for the event loop.
    m_hashPool.setMaxThreadCount(std::max(1, QThread::idealThreadCount() - 1));
    m_monotonic.start();
    connect(m_server, &QTcpServer::newConnection, this, &RelayServer::onNewConnection);
    DescriptorLimit::keepAccepting(m_server, m_log, QStringLiteral("client port"));
    m_keepAlive.setInterval(std::max(1, m_settings.keepaliveSeconds) * 1000);
    connect(&m_keepAlive, &QTimer::timeout, this, &RelayServer::sendKeepAlive);
    m_purge.setInterval(3600 * 1000);
    connect(&m_purge, &QTimer::timeout, this, [this] {
        m_store.purgeBefore(m_clock.utcNow().addSecs(-3600LL * (MaxHistoryHours + 1)));
        forgetHistory();
        const qint64 now = m_monotonic.elapsed();
        m_failures.removeIf([now](const auto &f) { return f.value().untilMs < now - 3600'000; });
        m_addresses.removeIf([](const auto &a) { return a.value().connections == 0; });
    });
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
            refuse("connection_limit");
            const qint64 now = m_monotonic.elapsed();
            if (m_capLoggedMs < 0 || now - m_capLoggedMs >= 60'000) {
                m_capLoggedMs = now;
                m_log.line(QStringLiteral("refused %1: connection limit %2 reached (logged once a minute)")
                               .arg(socket->peerAddress().toString())
                               .arg(m_settings.maxConnections));
            }
            socket->abort();
            socket->deleteLater();
            continue;
        }
        const QHostAddress peer = socket->peerAddress();
        auto found = m_addresses.find(peer);
        if (found == m_addresses.end()) {
            const int perAddress = std::max(1, m_settings.maxPerAddress);
            AddressState fresh;
            fresh.newAccounts = RateLimiter(
                {NewAccountsPerAddressPerHour / 3600.0, double(NewAccountsPerAddressPerHour), INT_MAX});
            fresh.passwordChecks = RateLimiter({1.0, 2.0 * perAddress, INT_MAX});
            found = m_addresses.insert(peer, fresh);
        }
        if (m_settings.maxPerAddress > 0 && found->connections >= m_settings.maxPerAddress) {
            refuse("address_limit");
            const qint64 now = m_monotonic.elapsed();
            if (found->refusalLoggedMs < 0 || now - found->refusalLoggedMs >= 60'000) {
                found->refusalLoggedMs = now;
                m_log.line(QStringLiteral("refused %1: %2 connections from that address already")
                               .arg(peer.toString())
                               .arg(found->connections));
            }
            socket->abort();
            socket->deleteLater();
            continue;
        }
        ++found->connections;
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
        connect(socket, &QTcpSocket::bytesWritten, this, [this, socket] {
            const auto it = m_connections.find(socket);
            if (it != m_connections.end() && !it->second->answers.isEmpty() &&
                socket->bytesToWrite() < AnswerChunk)
                markDirty(*it->second);
        });
        if (m_settings.signOnTimeoutSeconds > 0)
            QTimer::singleShot(m_settings.signOnTimeoutSeconds * 1000, socket, [this, socket] {
                const auto it = m_connections.find(socket);
                if (it == m_connections.end() || it->second->everSignedOn)
                    return;
                // In a sign-on storm the password check may still be queued:
                // its answer decides.
                it->second->deadlinePassed = true;
                if (!it->second->waiting)
                    closeUnsignedAfterDeadline(*it->second);
            });
        m_log.line(QStringLiteral("connection #%1 from %2").arg(c->id).arg(c->peerText));
        m_connections.emplace(socket, std::move(c));
        m_metrics.set(RelayMetrics::Connections, double(m_connections.size()));
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
        if (m.size() > MaxMessageBytes) {
            refuse("oversized");
            if (firstTime(c, Oversized))
                m_log.line(QStringLiteral("%1 sent a message of %2 bytes: dropped, as are later ones")
                               .arg(describe(c))
                               .arg(m.size()));
            continue;
        }
        switch (c.limiter.take(m_monotonic.elapsed(), m.size())) {
        case RateLimiter::Verdict::Accept:
            if (!c.waiting) {
                handleMessage(c, m);
            } else if (c.heldBytes + m.size() <= (c.signedOn ? MaxHeldBytesSignedOn : MaxHeldBytes)) {
                c.held.append(m);
                c.heldBytes += m.size();
            } else {
                close(c, QStringLiteral("sent too much while its sign-on was checked"), false);
                return;
            }
            break;
        case RateLimiter::Verdict::Drop:
            refuse("rate");
            if (c.limiter.dropsInWindow() == 1)
                m_log.line(
                    QStringLiteral("%1 sends too fast: dropping its excess messages").arg(describe(c)));
            break;
        case RateLimiter::Verdict::Close:
            refuse("flood");
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
            const auto address = m_addresses.find(found->second->peer);
            if (address != m_addresses.end())
                --address->connections;
            m_connections.erase(found);
            m_metrics.set(RelayMetrics::Connections, double(m_connections.size()));
            socket->deleteLater();
        },
        Qt::QueuedConnection);
}

void RelayServer::handleMessage(Connection &c, const QByteArray &bytes)
{
    const QByteArray code = bytes.mid(1, 3);
    static const QByteArrayList accountCodes = {"NEW", "SGN", "FGT"};
    static const QByteArrayList signedOnCodes = {"RPT", "MSG", "RPA", "GOB", "GLD", "XRP", "DOB"};
    const bool accountCode = accountCodes.contains(code);
    // Only codes the relay knows get a series of their own: anybody can
    // send any three bytes.
    const bool known = accountCode || signedOnCodes.contains(code);
    m_metrics.add(RelayMetrics::MessagesIn, 1, known ? code : QByteArray("other"));
    if (!known)
        return;
    if (!accountCode && !c.signedOn) {
        if (firstTime(c, NotSignedOn))
            m_log.line(QStringLiteral("%1 is not signed on: ignoring its %2 and later requests")
                           .arg(describe(c), QString::fromLatin1(code)));
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
    if (!fieldsFit(c, code, fields))
        return;
    if (code == "NEW")
        handleNewAccount(c, fields);
    else if (code == "SGN")
        handleSignOn(c, fields);
    else if (code == "FGT")
        handleForgot(c, fields);
    else if (code == "RPT")
        handleReport(c, fields);
    else if (code == "GLD")
        handleHistory(c, fields);
    else if (code == "XRP")
        handleRetract(c, fields);
    else
        relayAsSender(c, bytes, code == "MSG" ? 1 : 9);
}

bool RelayServer::fieldsFit(Connection &c, const QByteArray &code, const QStringList &fields)
{
    for (const FieldLimit &limit : FieldLimits) {
        if (code != limit.code || FieldAt(fields, limit.field).size() <= limit.maxChars)
            continue;
        const QString why = QStringLiteral("%1 field %2 longer than %3 characters")
                                .arg(QString::fromLatin1(code))
                                .arg(limit.field)
                                .arg(limit.maxChars);
        // No client sends such a sign-on; nothing good can follow it.
        if (code == "SGN")
            close(c, why, false);
        else if (firstTime(c, Oversized))
            m_log.line(QStringLiteral("%1: %2: dropped, as are later ones").arg(describe(c), why));
        return false;
    }
    return true;
}

void RelayServer::relayAsSender(Connection &c, const QByteArray &bytes, int senderField)
{
    // Whoever a client names as the sender, it goes out under the name it
    // signed on with; honest clients write exactly that.
    qsizetype start = 0;
    for (int i = 0; i <= senderField; ++i) {
        start = bytes.indexOf('|', start);
        if (start < 0)
            return;
        ++start;
    }
    qsizetype end = bytes.indexOf('|', start);
    if (end < 0)
        end = bytes.size() - 1;
    toEveryone(bytes.left(start) + WireCodec::encode(c.user) + bytes.mid(end));
}

void RelayServer::closeUnsignedAfterDeadline(Connection &c)
{
    refuse("signon_timeout");
    close(c, QStringLiteral("not signed on within %1 s").arg(m_settings.signOnTimeoutSeconds), false);
}

bool RelayServer::firstTime(Connection &c, int event)
{
    const bool first = !(c.loggedEvents & event);
    c.loggedEvents |= event;
    return first;
}

void RelayServer::handleNewAccount(Connection &c, const QStringList &fields)
{
    const QString name = FieldAt(fields, 0);
    const QString password = FieldAt(fields, 1);
    const auto refuse = [&](const QString &why) {
        if (firstTime(c, NewRefused))
            m_log.line(QStringLiteral("%1: new account %2 refused: %3").arg(describe(c), excerpt(name), why));
        send(c, wire(QStringLiteral("NEW"), {QStringLiteral("2")}));
    };
    if (!newNameAllowed(name) || password.isEmpty() || password.size() > MaxNameLength)
        return refuse(QStringLiteral("unusable user name or password"));
    if (m_settings.maxPerAddress > 0 &&
        m_addresses[c.peer].newAccounts.take(m_monotonic.elapsed()) != RateLimiter::Verdict::Accept) {
        this->refuse("new_account_limit");
        return refuse(QStringLiteral("too many new accounts from %1").arg(c.peer.toString()));
    }
    AccountRecord account;
    account.name = name;
    account.salt = PasswordHash::newSalt();
    account.iterations = m_settings.pbkdf2Iterations;
    digestThen(c, password, account.salt, account.iterations,
               [this, account](Connection &c, const QByteArray &digest) mutable {
                   account.hash = digest;
                   m_store.createAccount(
                       account, this,
                       [this, name = account.name, resume = hold(c)](bool available, bool created,
                                                                     const QString &failure) {
                           resume([&](Connection &c) {
                               if (!available)
                                   return storeUnavailable(c);
                               const QString why = created ? QStringLiteral("created")
                                                   : failure.isEmpty()
                                                       ? QStringLiteral("refused, name taken")
                                                       : QStringLiteral("could not be stored");
                               m_log.line(QStringLiteral("%1: account %2 %3").arg(describe(c), name, why));
                               send(c, wire(QStringLiteral("NEW"),
                                            {created ? QStringLiteral("1") : QStringLiteral("2")}));
                           });
                       });
               });
}

void RelayServer::handleSignOn(Connection &c, const QStringList &fields)
{
    const QString name = FieldAt(fields, SignOnMessage::UserName);
    const auto reply = [this, name](Connection &c, const char *code, const QString &why) {
        if (firstTime(c, SignOnRefused))
            m_log.line(QStringLiteral("%1: sign-on as %2: %3").arg(describe(c), excerpt(name), why));
        send(c, wire(QStringLiteral("SGN"), {QString::fromLatin1(code)}));
    };
    if (!validName(name))
        return reply(c, "1", QStringLiteral("unknown user"));
    m_store.account(
        name, this,
        [this, fields, reply, resume = hold(c)](bool available, const std::optional<AccountRecord> &account) {
            resume([&](Connection &c) {
                if (!available)
                    return storeUnavailable(c);
                if (!account)
                    return reply(c, "1", QStringLiteral("unknown user"));
                const auto failures = m_failures.constFind(AccountKey(account->name));
                if (failures != m_failures.cend() && failures->untilMs > m_monotonic.elapsed()) {
                    refuse("password_backoff");
                    return reply(
                        c, "2",
                        QStringLiteral("password checks paused after %1 failures").arg(failures->count));
                }
                digestThen(c, FieldAt(fields, SignOnMessage::Password), account->salt, account->iterations,
                           [this, fields](Connection &c, const QByteArray &digest) {
                               // Read again: the account may have been banned while
                               // the password was checked.
                               m_store.account(
                                   FieldAt(fields, SignOnMessage::UserName), this,
                                   [this, fields, digest, resume = hold(c)](
                                       bool available, const std::optional<AccountRecord> &account) {
                                       resume([&](Connection &c) {
                                           if (!available)
                                               return storeUnavailable(c);
                                           finishSignOn(c, fields, digest, account);
                                       });
                                   });
                           });
            });
        });
}

void RelayServer::finishSignOn(Connection &c, const QStringList &fields, const QByteArray &digest,
                               const std::optional<AccountRecord> &account)
{
    const QString name = FieldAt(fields, SignOnMessage::UserName);
    const auto reply = [&](const char *code, const QString &why) {
        if (code[0] == '3' || firstTime(c, SignOnRefused))
            m_log.line(QStringLiteral("%1: sign-on as %2: %3").arg(describe(c), excerpt(name), why));
        send(c, wire(QStringLiteral("SGN"), {QString::fromLatin1(code)}));
    };
    if (!account)
        return reply("1", QStringLiteral("unknown user"));
    const QString key = AccountKey(account->name);
    if (digest.isEmpty() || !PasswordHash::constantTimeEquals(digest, account->hash)) {
        Failures &f = m_failures[key];
        if (++f.count >= FailuresBeforeBackOff)
            f.untilMs = m_monotonic.elapsed() +
                        std::min(MaxBackOffMs, 1000LL << std::min(f.count - FailuresBeforeBackOff, 5));
        return reply("2", QStringLiteral("wrong password"));
    }
    m_failures.remove(key);
    if (!account->eligible)
        return reply("5", QStringLiteral("account no longer eligible"));

    Connection *previous = m_byUser.value(key);
    // A client that lost its link signs on again before this side may have
    // noticed the loss: a re-sign-on (no version field) or a sign-on from
    // the same address replaces the stale connection instead of being
    // locked out by it.
    const bool reSignOn = FieldAt(fields, SignOnMessage::Version).isEmpty();
    if (previous && previous != &c && previous->peer != c.peer && !reSignOn)
        return reply("4", QStringLiteral("already signed on from %1").arg(previous->peerText));
    if (m_cluster && signedOnElsewhere(c, key, reSignOn))
        return reply("4", QStringLiteral("already signed on at another relay"));

    // In a cluster the sign-on's own event tells everybody of the one it
    // replaces, wherever that was.
    if (c.signedOn)
        signOff(c, !m_cluster);
    if (previous && previous != &c) {
        signOff(*previous, !m_cluster);
        close(*previous, QStringLiteral("replaced by a new sign-on of %1").arg(account->name), true);
    }

    c.signedOn = true;
    c.everSignedOn = true;
    c.signOn = m_nextSignOn++;
    c.user = account->name;
    c.county = FieldAt(fields, SignOnMessage::County);
    c.state = FieldAt(fields, SignOnMessage::State);
    c.zip = FieldAt(fields, SignOnMessage::Zip);
    m_signedOn.append(&c);
    m_byUser.insert(key, &c);
    m_metrics.set(RelayMetrics::SignedOn, double(m_signedOn.size()));
    // Written only when it changed: most sign-ons then cost no write.
    if (account->email != FieldAt(fields, SignOnMessage::Email))
        m_store.setEmail(account->name, FieldAt(fields, SignOnMessage::Email));
    if (account->iterations < m_settings.pbkdf2Iterations)
        upgradeHash(account->name, FieldAt(fields, SignOnMessage::Password));
    reply(
        "3",
        reSignOn
            ? QStringLiteral("signed on again")
            : QStringLiteral("signed on (client %1)").arg(excerpt(FieldAt(fields, SignOnMessage::Version))));
    if (m_cluster)
        m_cluster->publishSignOn(observerOf(c));
    else
        broadcast(observerMessage(QStringLiteral("GOB"), c, true));
}

void RelayServer::upgradeHash(const QString &name, const QString &password)
{
    ++m_hashesQueued;
    const int iterations = m_settings.pbkdf2Iterations;
    m_hashPool.start([this, name, bytes = WireCodec::encode(password), iterations] {
        const QByteArray salt = PasswordHash::newSalt();
        const QByteArray digest =
            PasswordHash::pbkdf2Sha256(bytes, salt, iterations, PasswordHash::KeyLength);
        QMetaObject::invokeMethod(
            this,
            [this, name, salt, digest, iterations] {
                --m_hashesQueued;
                m_store.setPassword(name, salt, digest, iterations);
            },
            Qt::QueuedConnection);
    });
}

void RelayServer::digestThen(Connection &c, const QString &password, const QByteArray &salt, int iterations,
                             std::function<void(Connection &, const QByteArray &)> then)
{
    // The hashing threads serve everybody: one address may not keep them busy.
    if (m_hashesQueued >= MaxQueuedHashes ||
        (m_settings.maxPerAddress > 0 &&
         m_addresses[c.peer].passwordChecks.take(m_monotonic.elapsed()) != RateLimiter::Verdict::Accept)) {
        refuse("password_checks");
        close(c, QStringLiteral("too many password checks at once"), false);
        return;
    }
    ++m_hashesQueued;
    c.waiting = true;
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
    --m_hashesQueued;
    resume(socket, id, [&](Connection &c) { then(c, digest); });
}

RelayServer::Resume RelayServer::hold(Connection &c)
{
    c.waiting = true;
    return [this, socket = QPointer<QTcpSocket>(c.socket),
            id = c.id](const std::function<void(Connection &)> &then) { resume(socket, id, then); };
}

void RelayServer::resume(QTcpSocket *socket, quint64 id, const std::function<void(Connection &)> &then)
{
    const auto it = socket ? m_connections.find(socket) : m_connections.end();
    if (it == m_connections.end() || it->second->id != id || it->second->closing)
        return;
    Connection &c = *it->second;
    c.waiting = false;
    then(c);
    // then() may have asked again; the deadline waits for its answer.
    if (c.waiting || c.closing)
        return;
    if (c.deadlinePassed && !c.everSignedOn)
        return closeUnsignedAfterDeadline(c);
    while (!c.waiting && !c.closing && !c.held.isEmpty()) {
        c.heldBytes -= c.held.first().size();
        handleMessage(c, c.held.takeFirst());
    }
}

void RelayServer::storeUnavailable(Connection &c)
{
    refuse("store_unavailable");
    close(c,
          QStringLiteral("the database did not answer within %1 s; the client may come back later")
              .arg(StoreWorker::ReadDeadlineMs / 1000),
          false);
}

void RelayServer::handleForgot(Connection &c, const QStringList &fields)
{
    const QString name = FieldAt(fields, 0).trimmed();
    if (!firstTime(c, Forgot))
        return;
    const auto note = [this, name](Connection &c, const std::optional<AccountRecord> &account) {
        // The address stays out of the log: anybody may ask for any account.
        m_log.line(QStringLiteral("%1: password reminder for %2 %3; this relay sends no mail")
                       .arg(describe(c), account ? QStringLiteral("account") : QStringLiteral("unknown user"),
                            account ? account->name : excerpt(name)));
    };
    if (!validName(name))
        return note(c, std::nullopt);
    m_store.account(name, this, [note, resume = hold(c)](bool, const std::optional<AccountRecord> &account) {
        resume([&](Connection &c) { note(c, account); });
    });
}

void RelayServer::handleReport(Connection &c, const QStringList &fields)
{
    StoredReport report;
    // Makes a retried or repeated write of this report harmless.
    const quint64 random[2] = {QRandomGenerator::global()->generate64(),
                               QRandomGenerator::global()->generate64()};
    report.id = QByteArray(reinterpret_cast<const char *>(random), sizeof random).toHex();
    report.receivedUtc = m_clock.utcNow();
    report.author = c.user;
    for (int i = 0; i < 6; ++i)
        report.fields.append(i == 4 ? c.user : FieldAt(fields, i));
    report.fields.append(ReportTimeStamp(report.receivedUtc));
    if (m_cluster)
        return publishReport(c, report);
    forgetHistory();
    // Out once stored, so that what clients heard survives a crash; the
    // sender's later messages follow it. Not held while the store is away.
    const auto relay = [this, bytes = wire(QStringLiteral("RPT"), report.fields), from = c.user,
                        text = excerpt(report.fields.first())] {
        const int reached = broadcast(bytes);
        m_log.line(QStringLiteral("report from %1 relayed to %2: %3").arg(from).arg(reached).arg(text));
    };
    if (m_store.isAway()) {
        m_store.addReport(report);
        return relay();
    }
    const auto release = [relay, resume = hold(c), done = std::make_shared<bool>(false)] {
        if (std::exchange(*done, true))
            return;
        relay();
        resume([](Connection &) {});
    };
    m_store.addReport(report, this, release);
    QTimer::singleShot(ReportHoldMs, this, release);
}

void RelayServer::handleHistory(Connection &c, const QStringList &fields)
{
    bool ok = false;
    const int hours = FieldAt(fields, 0).trimmed().toInt(&ok);
    if (!ok || hours < 1) {
        if (firstTime(c, HistoryIgnored))
            m_log.line(QStringLiteral("%1: history request for \"%2\" hours ignored")
                           .arg(describe(c), excerpt(FieldAt(fields, 0))));
        return;
    }
    if (!mayAnswer(c, 'H'))
        return;
    const int span = std::min(hours, MaxHistoryHours);
    const auto answer = [this, span](Connection &c, const QByteArray &bytes, int records) {
        queueAnswer(c, 'H', bytes);
        m_log.line(QStringLiteral("%1: %2 historical records of %3 hours sent")
                       .arg(describe(c))
                       .arg(records)
                       .arg(span));
    };
    // In a cluster other relays write history too, unseen here: the answer
    // is kept only for a moment.
    if (m_history.builtMs >= 0 && m_history.hours == span &&
        m_monotonic.elapsed() - m_history.builtMs <= (m_cluster ? ClusterHistoryCacheMs : HistoryCacheMs))
        return answer(c, m_history.bytes, m_history.records);
    m_store.reportsSince(
        m_clock.utcNow().addSecs(-3600LL * span), this,
        [this, span, answer, generation = m_historyGeneration,
         resume = hold(c)](bool available, const QList<StoredReport> &reports) {
            resume([&](Connection &c) {
                if (!available) {
                    m_log.line(QStringLiteral("%1: history request not answered: the database did not answer")
                                   .arg(describe(c)));
                    return;
                }
                int records = 0;
                const QByteArray bytes = historyAnswer(reports, &records);
                if (generation == m_historyGeneration)
                    m_history = {span, m_monotonic.elapsed(), records, bytes};
                answer(c, bytes, records);
            });
        });
}

QByteArray RelayServer::historyAnswer(const QList<StoredReport> &reports, int *records) const
{
    // The newest records that fit, oldest first.
    QByteArrayList parts;
    qint64 total = 0;
    for (qsizetype i = reports.size() - 1; i >= 0 && parts.size() < m_settings.maxAnswerRecords; --i) {
        QByteArray one = wire(QStringLiteral("GLD"), reports.at(i).fields);
        if (total + one.size() > m_settings.maxAnswerBytes)
            break;
        total += one.size();
        parts.append(std::move(one));
    }
    std::reverse(parts.begin(), parts.end());
    *records = int(parts.size());
    return parts.join();
}

void RelayServer::forgetHistory()
{
    m_history.builtMs = -1;
    ++m_historyGeneration;
}

void RelayServer::handleRetract(Connection &c, const QStringList &fields)
{
    const QString text = FieldAt(fields, 0);
    m_store.retract(
        c.user, text, this, [this, text, resume = hold(c)](bool available, int removed, bool othersHaveIt) {
            resume([&](Connection &c) {
                if (!available) {
                    m_log.line(QStringLiteral("%1: retraction not done: the database did not answer")
                                   .arg(describe(c)));
                    return;
                }
                if (removed == 0) {
                    if (firstTime(c, RetractIgnored))
                        m_log.line(
                            QStringLiteral("%1: retraction of a report not found among its own: ignored")
                                .arg(describe(c)));
                    return;
                }
                forgetHistory();
                // Clients remove every row with this text: not while another
                // author's report with it is still standing.
                if (othersHaveIt) {
                    m_log.line(
                        QStringLiteral(
                            "%1: report retracted (%2 stored); another author's has the same text: no DEL")
                            .arg(describe(c))
                            .arg(removed));
                    return;
                }
                const int reached = toEveryone(wire(QStringLiteral("DEL"), {text}));
                m_log.line(QStringLiteral("%1: report retracted (%2 stored), DEL sent to %3")
                               .arg(describe(c))
                               .arg(removed)
                               .arg(reached));
            });
        });
}

void RelayServer::handleObserverList(Connection &c)
{
    if (!mayAnswer(c, 'O'))
        return;
    QByteArray out;
    int records = 0;
    QList<QByteArray> all;
    if (m_cluster) {
        const QList<ClusterObserver> roster = m_cluster->roster().all();
        const QString count = QString::number(roster.size());
        for (const ClusterObserver &o : roster)
            all.append(wire(QStringLiteral("GOB"), {o.state, o.county, o.zip, o.user, count}));
    } else {
        for (const Connection *o : std::as_const(m_signedOn))
            all.append(observerMessage(QStringLiteral("GOB"), *o, true));
    }
    for (const QByteArray &one : std::as_const(all)) {
        if (records == m_settings.maxAnswerRecords || out.size() + one.size() > m_settings.maxAnswerBytes)
            break;
        out += one;
        ++records;
    }
    queueAnswer(c, 'O', out);
}

bool RelayServer::mayAnswer(Connection &c, char kind)
{
    qint64 &last = kind == 'H' ? c.lastHistoryMs : c.lastListMs;
    const qint64 now = m_monotonic.elapsed();
    const bool busy =
        std::ranges::any_of(c.answers, [kind](const Connection::Answer &a) { return a.kind == kind; });
    if (busy || (last >= 0 && now - last < MinAnswerIntervalMs)) {
        if (firstTime(c, AnswerTooSoon))
            m_log.line(QStringLiteral("%1: %2 request too soon after the last: ignored, as are later ones")
                           .arg(describe(c),
                                kind == 'H' ? QStringLiteral("history") : QStringLiteral("observer list")));
        return false;
    }
    last = now;
    return true;
}

void RelayServer::queueAnswer(Connection &c, char kind, const QByteArray &bytes)
{
    if (c.closing || bytes.isEmpty())
        return;
    c.answers.append({kind, bytes});
    markDirty(c);
}

void RelayServer::takeAnswerChunk(Connection &c, QByteArray &out)
{
    while (!c.answers.isEmpty() && out.size() < AnswerChunk) {
        Connection::Answer &a = c.answers.first();
        qsizetype n = std::min(AnswerChunk, a.bytes.size() - a.offset);
        // Whole messages only: what else is queued may follow this piece.
        if (a.offset + n < a.bytes.size()) {
            const qsizetype cut = a.bytes.lastIndexOf('^', a.offset + n - 1);
            n = (cut >= a.offset ? cut : a.bytes.indexOf('^', a.offset)) + 1 - a.offset;
        }
        out.append(a.bytes.constData() + a.offset, n);
        a.offset += n;
        if (a.offset >= a.bytes.size())
            c.answers.removeFirst();
    }
}

void RelayServer::signOff(Connection &c, bool announce)
{
    if (!c.signedOn)
        return;
    m_log.line(QStringLiteral("%1 signed off").arg(describe(c)));
    c.signedOn = false;
    m_signedOn.removeAll(&c);
    m_metrics.set(RelayMetrics::SignedOn, double(m_signedOn.size()));
    const QString key = AccountKey(c.user);
    if (m_byUser.value(key) == &c)
        m_byUser.remove(key);
    if (announce && m_cluster)
        m_cluster->publishSignOff(key, connId(c));
    else if (announce)
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
    if (c.closing || c.overflow || bytes.isEmpty())
        return;
    m_metrics.add(RelayMetrics::DeliveriesOut, 1, bytes.mid(1, 3));
    enqueue(c, bytes);
}

void RelayServer::refuse(const char *reason)
{
    m_metrics.add(RelayMetrics::Refusals, 1, reason);
}

void RelayServer::enqueue(Connection &c, const QByteArray &bytes)
{
    if (c.closing || c.overflow || bytes.isEmpty())
        return;
    // Checked here, not only at the flush: one burst of requests must not
    // queue more than this before anything is written.
    if (c.pending.size() + bytes.size() > m_settings.maxQueuedBytes) {
        c.overflow = true;
        c.pending.clear();
    } else {
        c.pending += bytes;
    }
    markDirty(c);
}

void RelayServer::markDirty(Connection &c)
{
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
        enqueue(*c, bytes);
        ++reached;
    }
    // Counted once per message, not once per receiver.
    m_metrics.add(RelayMetrics::DeliveriesOut, reached, bytes.mid(1, 3));
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
        if (c->overflow) {
            refuse("slow_reader");
            close(
                *c,
                QStringLiteral("reads too slowly (more than %1 bytes queued)").arg(m_settings.maxQueuedBytes),
                false);
            continue;
        }
        QByteArray out = std::exchange(c->pending, {});
        if (!c->answers.isEmpty() && c->socket->bytesToWrite() < AnswerChunk)
            takeAnswerChunk(*c, out);
        if (out.isEmpty())
            continue;
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
        // The kernel took everything: the next piece of an answer can go now.
        else if (!c->answers.isEmpty() && c->socket->bytesToWrite() == 0)
            markDirty(*c);
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
        return toEveryone(bytes);
    if (m_cluster) {
        const QString key = AccountKey(user);
        m_cluster->publishToUser(key, bytes);
        return m_cluster->roster().find(key) ? 1 : 0;
    }
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
    return toEveryone(wire(QStringLiteral("WRN"), out));
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

void RelayServer::ban(const QString &user, std::function<void(bool, int, const QString &)> done)
{
    m_store.setEligible(
        user, false, this, [this, user, done](bool available, bool marked, const QString &failure) {
            if (!available || !marked)
                return done(false, 0, available ? failure : QStringLiteral("the database did not answer"));
            if (m_cluster) {
                const QString key = AccountKey(user);
                m_cluster->publishBan(key);
                return done(true, m_cluster->roster().find(key) ? 1 : 0, QString());
            }
            Connection *c = m_byUser.value(AccountKey(user));
            const bool signedOn = c && !c->closing;
            if (signedOn) {
                // The client ends itself on BAN; until its link drops it
                // is signed off and may sign on no more.
                send(*c, wire(QStringLiteral("BAN"), {c->user}));
                signOff(*c, true);
            }
            done(true, signedOn ? 1 : 0, QString());
        });
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
    if (m_cluster) {
        for (const ClusterObserver &o : m_cluster->roster().all())
            out.append({printable(o.user), printable(CleanIncoming(o.state)),
                        printable(CleanIncoming(o.county)), printable(CleanIncoming(o.zip)),
                        QStringLiteral("%1:%2").arg(o.address).arg(o.port), o.node});
        return out;
    }
    for (const Connection *c : m_signedOn)
        out.append({printable(c->user), printable(CleanIncoming(c->state)),
                    printable(CleanIncoming(c->county)), printable(CleanIncoming(c->zip)), c->peerText,
                    ownName()});
    return out;
}

void RelayServer::sendKeepAlive()
{
    // A code no client acts on; it only keeps idle links from timing out.
    static const QByteArray keepAlive = wire(QStringLiteral("PNG"));
    for (auto &[socket, c] : m_connections)
        send(*c, keepAlive);
}

// ---- several relays as one

void RelayServer::setCluster(ClusterBus *bus)
{
    m_cluster = bus;
    ClusterBus::Hooks hooks;
    hooks.toAll = [this](const QByteArray &bytes, const QString &exceptConn) {
        for (Connection *c : std::as_const(m_signedOn))
            if (!c->closing && (exceptConn.isEmpty() || connId(*c) != exceptConn))
                send(*c, bytes);
    };
    hooks.toUser = [this](const QString &key, const QByteArray &bytes) {
        Connection *c = m_byUser.value(key);
        if (c && !c->closing)
            send(*c, bytes);
    };
    hooks.ban = [this](const QString &key) {
        Connection *c = m_byUser.value(key);
        if (!c || c->closing)
            return;
        send(*c, wire(QStringLiteral("BAN"), {c->user}));
        signOff(*c, true);
    };
    hooks.replaced = [this](const QString &key, const QString &conn) {
        if (Connection *c = localSignOn(key, conn)) {
            signOff(*c, false);
            close(*c, QStringLiteral("replaced by a new sign-on of %1 at another relay").arg(c->user), true);
        }
    };
    hooks.historyChanged = [this] { forgetHistory(); };
    hooks.storeReport = [this](const StoredReport &report, const std::function<void(bool)> &done) {
        m_store.writeReport(report, this, [this, done](bool stored) {
            if (stored)
                forgetHistory();
            done(stored);
        });
    };
    hooks.localCount = [this] { return int(m_signedOn.size()); };
    hooks.status = [this](double lagSeconds, bool up) {
        m_metrics.set(RelayMetrics::BusLag, lagSeconds);
        if (up)
            m_metrics.clear(RelayMetrics::BusDown);
        else
            m_metrics.raise(RelayMetrics::BusDown,
                            QStringLiteral("Redis out of reach: serving this relay's clients alone"));
    };
    hooks.localObservers = [this] {
        QList<ClusterObserver> out;
        for (const Connection *c : std::as_const(m_signedOn))
            out.append(observerOf(*c));
        return out;
    };
    bus->setHooks(std::move(hooks));
}

int RelayServer::toEveryone(const QByteArray &bytes)
{
    if (!m_cluster)
        return broadcast(bytes);
    m_cluster->publishToAll(bytes);
    return m_cluster->roster().size();
}

void RelayServer::publishReport(Connection &c, const StoredReport &report)
{
    // The history is written by whichever relay takes it from the stream.
    m_cluster->publishReport(wire(QStringLiteral("RPT"), report.fields), report);
    m_log.line(QStringLiteral("report from %1 passed to the cluster: %2")
                   .arg(c.user, excerpt(report.fields.first())));
}

bool RelayServer::signedOnElsewhere(const Connection &c, const QString &key, bool reSignOn) const
{
    const ClusterObserver *held = m_cluster->roster().find(key);
    return held && !reSignOn && held->origin() != m_cluster->origin() && held->address != c.peer.toString();
}

QString RelayServer::connId(const Connection &c) const
{
    return m_cluster->origin() + u'#' + QString::number(c.signOn);
}

ClusterObserver RelayServer::observerOf(const Connection &c) const
{
    return {connId(c),         m_cluster->node(),   c.user, c.state, c.county, c.zip,
            c.peer.toString(), c.socket->peerPort()};
}

RelayServer::Connection *RelayServer::localSignOn(const QString &key, const QString &conn) const
{
    Connection *c = m_byUser.value(key);
    return c && c->signedOn && !c->closing && connId(*c) == conn ? c : nullptr;
}

void RelayServer::drain(const std::function<void(int moved)> &done)
{
    m_draining = true;
    m_metrics.raise(RelayMetrics::Draining, QStringLiteral("draining: clients are sent to the other relays"));
    if (m_cluster)
        m_cluster->setDraining(true);
    m_log.line(QStringLiteral("draining: clients are sent to the other relays"));
    // Every connection now, in waves, so that the others are not hit by all
    // of them at once.
    QList<QPointer<QTcpSocket>> sockets;
    for (const auto &[socket, c] : m_connections)
        if (!c->closing)
            sockets.append(socket);
    const int total = int(sockets.size());
    auto wave = std::make_shared<std::function<void(qsizetype)>>();
    *wave = [this, sockets, total, done, weak = std::weak_ptr(wave)](qsizetype from) {
        int sent = 0;
        for (qsizetype i = from; i < sockets.size() && sent < m_settings.drainWave; ++i, ++sent) {
            const auto it = sockets.at(i) ? m_connections.find(sockets.at(i).data()) : m_connections.end();
            if (it != m_connections.end())
                send(*it->second, wire(QStringLiteral("DIS")));
        }
        if (from + sent >= sockets.size()) {
            m_log.line(QStringLiteral("draining: %1 clients told to move").arg(total));
            done(total);
            return;
        }
        QTimer::singleShot(m_settings.drainWaveMs, this,
                           [self = weak.lock(), at = from + sent] { (*self)(at); });
    };
    (*wave)(0);
}

QString RelayServer::ownName() const
{
    return m_settings.nodeName.isEmpty() ? FormatHostPort(serverAddress(), serverPort())
                                         : m_settings.nodeName;
}

QList<QStringList> RelayServer::relays() const
{
    const auto line = [](const QString &name, const QString &address, int signedOn, bool draining) {
        return QStringList{name, address, QString::number(signedOn),
                           draining ? QStringLiteral("1") : QStringLiteral("0")};
    };
    if (!m_cluster)
        return {line(ownName(), FormatHostPort(serverAddress(), serverPort()), int(m_signedOn.size()),
                     m_draining)};
    QList<QStringList> out;
    for (const ClusterRelay &r : m_cluster->relays())
        out.append(line(r.name, r.advertise, r.signedOn, r.draining));
    return out;
}
