#include "cluster_bus.h"

#include "relay_log.h"

#include "base/wire_codec.h"
#include "net/protocol.h"

#include <QDateTime>
#include <QHostAddress>
#include <QRandomGenerator>
#include <QUrl>

#include <hiredis/adapters/qt.h>
#include <hiredis/hiredis.h>

#include <algorithm>
#include <vector>

namespace {

constexpr int MaxBackOffMs = 4000;
constexpr int ConnectDeadlineMs = 3000;
constexpr int BlockMs = 2000;
constexpr int HistoryBlockMs = 500;
constexpr int ClaimRetryMs = 5000;
const QByteArray Group = "history";

// A sign-on (G) or a departure (D) changes the roster hash in the same
// step as it enters the stream, so that a relay joining later reads both
// at one point in time.
const QByteArray PublishPresence = R"(
if ARGV[1] == 'G' then
  redis.call('HSET', KEYS[2], ARGV[2], ARGV[3])
else
  local r = redis.call('HGET', KEYS[2], ARGV[2])
  if r and string.sub(r, 1, #ARGV[3] + 1) == ARGV[3] .. '|' then redis.call('HDEL', KEYS[2], ARGV[2]) end
end
return redis.call('XADD', KEYS[1], 'MAXLEN', '~', ARGV[4], '*', unpack(ARGV, 5))
)";

const QByteArray Snapshot = R"(
local last = redis.call('XREVRANGE', KEYS[1], '+', '-', 'COUNT', 1)
local id = '0-0'
if #last > 0 then id = last[1][1] end
return {id, redis.call('HGETALL', KEYS[2])}
)";

// Refreshes this relay's presence and reads everyone's: the relays in the
// set, and those the caller still holds observers of.
const QByteArray Heartbeat = R"(
redis.call('SADD', KEYS[1], ARGV[2])
redis.call('SET', ARGV[1] .. 'alive:' .. ARGV[2], ARGV[3], 'PX', ARGV[4])
local seen, out = {}, {}
local function look(o)
  if seen[o] then return end
  seen[o] = true
  out[#out + 1] = o
  out[#out + 1] = redis.call('GET', ARGV[1] .. 'alive:' .. o) or ''
end
for _, o in ipairs(redis.call('SMEMBERS', KEYS[1])) do look(o) end
for i = 5, #ARGV do look(ARGV[i]) end
return out
)";

// After a lost link: this relay's sign-ons are back in the roster unless
// somebody signed on in their place meanwhile.
const QByteArray Reassert = R"(
for i = 1, #ARGV, 2 do redis.call('HSETNX', KEYS[1], ARGV[i], ARGV[i + 1]) end
return 0
)";

// One survivor takes over a dead relay run: its roster entries go, its
// unwritten history passes to the survivor, and one event tells everybody.
const QByteArray Claim = R"(
local p = ARGV[1]
if redis.call('EXISTS', p .. 'alive:' .. ARGV[2]) == 1 then return 0 end
if not redis.call('SET', p .. 'gone:' .. ARGV[2], ARGV[3], 'NX', 'PX', 3600000) then return 0 end
redis.call('SREM', KEYS[3], ARGV[2])
local all = redis.call('HGETALL', KEYS[2])
local prefix = ARGV[2] .. '#'
for i = 1, #all, 2 do
  if string.sub(all[i + 1], 1, #prefix) == prefix then redis.call('HDEL', KEYS[2], all[i]) end
end
local ok, pending = pcall(redis.call, 'XPENDING', KEYS[1], ARGV[5], '-', '+', 100000, ARGV[2])
if ok and #pending > 0 then
  local ids = {}
  for i, e in ipairs(pending) do ids[i] = e[1] end
  for i = 1, #ids, 1000 do
    redis.call('XCLAIM', KEYS[1], ARGV[5], ARGV[3], 0, unpack(ids, i, math.min(i + 999, #ids)))
  end
end
pcall(redis.call, 'XGROUP', 'DELCONSUMER', KEYS[1], ARGV[5], ARGV[2])
redis.call('XADD', KEYS[1], 'MAXLEN', '~', ARGV[4], '*', 'k', 'X', 'o', ARGV[3], 's', '0', 'g', ARGV[2])
return 1
)";

QByteArray bytesOf(const redisReply *r)
{
    return r && (r->type == REDIS_REPLY_STRING || r->type == REDIS_REPLY_STATUS)
               ? QByteArray(r->str, qsizetype(r->len))
               : QByteArray();
}

bool isError(const redisReply *r)
{
    return !r || r->type == REDIS_REPLY_ERROR;
}

qint64 idMilliseconds(const QByteArray &id)
{
    return id.left(id.indexOf('-')).toLongLong();
}

QByteArray observerMessage(const char *code, const ClusterObserver &o, int count)
{
    QStringList fields{o.state, o.county, o.zip, o.user};
    if (count >= 0)
        fields.append(QString::number(count));
    return WireCodec::encode(ServerMessage(QString::fromLatin1(code), fields));
}

} // namespace

bool ParseRedisUrl(const QString &url, QString *host, quint16 *port)
{
    const QUrl u(url, QUrl::StrictMode);
    if (!u.isValid() || u.scheme() != QLatin1String("redis") || u.host().isEmpty() ||
        !u.userInfo().isEmpty() || (!u.path().isEmpty() && u.path() != QLatin1String("/")))
        return false;
    // Names would be looked up on the event loop: numeric addresses only.
    QHostAddress address;
    if (u.host() != QLatin1String("localhost") && !address.setAddress(u.host()))
        return false;
    const int p = u.port(6379);
    if (p <= 0 || p > 65535)
        return false;
    *host = u.host() == QLatin1String("localhost") ? QStringLiteral("127.0.0.1") : u.host();
    *port = quint16(p);
    return true;
}

bool ValidNodeName(const QString &name)
{
    if (name.isEmpty() || name.size() > 64)
        return false;
    for (QChar c : name)
        if (c.unicode() <= 0x20 || c.unicode() >= 0x7F || c == u'|' || c == u'#' || c == u'/')
            return false;
    return true;
}

ClusterBus::ClusterBus(ClusterSettings settings, const RelayLog &log, QObject *parent)
    : QObject(parent), m_settings(std::move(settings)), m_log(log)
{
    m_origin = m_settings.node + u'/' + QString::number(QRandomGenerator::global()->generate64(), 36);
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, &ClusterBus::connectLinks);
    m_connectDeadline.setSingleShot(true);
    connect(&m_connectDeadline, &QTimer::timeout, this,
            [this] { goDown(QStringLiteral("no answer within %1 s").arg(ConnectDeadlineMs / 1000)); });
    m_heartbeat.setInterval(m_settings.heartbeatMs);
    connect(&m_heartbeat, &QTimer::timeout, this, &ClusterBus::heartbeat);
    m_historyRetry.setSingleShot(true);
    connect(&m_historyRetry, &QTimer::timeout, this, &ClusterBus::readHistory);
}

ClusterBus::~ClusterBus()
{
    stop();
    // Parked adapters write into m_parking as they go: before it does.
    qDeleteAll(findChildren<RedisQtAdapter *>(Qt::FindDirectChildrenOnly));
}

void ClusterBus::start()
{
    m_running = true;
    m_downSince.start();
    connectLinks();
}

void ClusterBus::stop()
{
    if (m_up) {
        // The others take over at their next heartbeat instead of waiting
        // for this relay's presence to lapse. One short blocking call, as
        // the relay ends.
        const timeval timeout{1, 0};
        if (redisContext *c =
                redisConnectWithTimeout(m_settings.host.toLatin1().constData(), m_settings.port, timeout)) {
            if (!c->err) {
                redisSetTimeout(c, timeout);
                const QByteArray alive = key("alive:") + m_origin.toLatin1();
                freeReplyObject(redisCommand(c, "DEL %b", alive.constData(), size_t(alive.size())));
            }
            redisFree(c);
        }
    }
    m_running = false;
    ++m_generation;
    for (Link &l : m_links)
        release(l, false);
    m_retry.stop();
    m_connectDeadline.stop();
    m_heartbeat.stop();
    m_historyRetry.stop();
    m_up = false;
}

void ClusterBus::connectLinks()
{
    if (!m_running)
        return;
    ++m_generation;
    for (Link &l : m_links) {
        release(l, false);
        redisAsyncContext *ctx = redisAsyncConnect(m_settings.host.toLatin1().constData(), m_settings.port);
        if (!ctx || ctx->err) {
            const QString why = ctx ? QString::fromLocal8Bit(ctx->errstr) : QStringLiteral("out of memory");
            if (ctx)
                redisAsyncFree(ctx);
            goDown(why);
            return;
        }
        ctx->data = this;
        l.ctx = ctx;
        l.adapter = new RedisQtAdapter(this);
        l.adapter->setContext(ctx);
        redisAsyncSetConnectCallback(ctx, &ClusterBus::onConnect);
        redisAsyncSetDisconnectCallback(ctx, &ClusterBus::onDisconnect);
    }
    m_connectDeadline.start(ConnectDeadlineMs);
}

void ClusterBus::onConnect(const redisAsyncContext *ctx, int status)
{
    if (auto *bus = static_cast<ClusterBus *>(ctx->data))
        bus->linkConnected(ctx, status);
}

void ClusterBus::onDisconnect(const redisAsyncContext *ctx, int)
{
    if (auto *bus = static_cast<ClusterBus *>(ctx->data))
        bus->linkDisconnected(ctx);
}

void ClusterBus::linkConnected(const redisAsyncContext *ctx, int status)
{
    for (Link &l : m_links) {
        if (l.ctx != ctx)
            continue;
        if (status != REDIS_OK) {
            const QString why = QString::fromLocal8Bit(ctx->errstr);
            // hiredis frees this context once we return.
            release(l, true);
            goDown(why);
            return;
        }
        l.connected = true;
    }
    if (std::all_of(std::begin(m_links), std::end(m_links), [](const Link &l) { return l.connected; }))
        becomeUp();
}

void ClusterBus::linkDisconnected(const redisAsyncContext *ctx)
{
    for (Link &l : m_links)
        if (l.ctx == ctx)
            release(l, true);
    goDown(QStringLiteral("connection lost"));
}

void ClusterBus::release(Link &link, bool hiredisFrees)
{
    if (redisAsyncContext *ctx = std::exchange(link.ctx, nullptr)) {
        ctx->data = nullptr;
        ctx->onConnect = nullptr;
        ctx->onDisconnect = nullptr;
        if (ctx->ev.cleanup)
            ctx->ev.cleanup(ctx->ev.data);
        ctx->ev.data = nullptr;
        ctx->ev.addRead = ctx->ev.delRead = ctx->ev.addWrite = ctx->ev.delWrite = ctx->ev.cleanup = nullptr;
        if (!hiredisFrees)
            redisAsyncFree(ctx);
    }
    if (link.adapter) {
        m_parking.ev.data = nullptr;
        link.adapter->setContext(&m_parking);
        link.adapter->deleteLater();
        link.adapter = nullptr;
    }
    link.connected = false;
}

void ClusterBus::goDown(const QString &why)
{
    ++m_generation;
    for (Link &l : m_links)
        release(l, false);
    m_connectDeadline.stop();
    m_heartbeat.stop();
    m_historyRetry.stop();
    const bool wasUp = m_up;
    m_up = false;
    if (!m_toldDown) {
        m_toldDown = true;
        m_downSince.start();
        m_log.line(QStringLiteral("cluster: Redis at %1:%2 %3 (%4): serving this relay's clients alone "
                                  "and keeping what they say for the others; retrying")
                       .arg(m_settings.host)
                       .arg(m_settings.port)
                       .arg(m_everUp ? QStringLiteral("lost") : QStringLiteral("unreachable"), why));
    }
    // What was sent but not yet read back is applied here now; the others
    // get it again when the link is back and drop what they had.
    if (wasUp)
        for (Event &e : m_outbox)
            if (e.seq > m_appliedOwn)
                applyLocally(e);
    if (m_hooks.status)
        m_hooks.status(0, false);
    if (m_running) {
        m_backOffMs = m_backOffMs == 0 ? 250 : std::min(MaxBackOffMs, m_backOffMs * 2);
        m_retry.start(m_backOffMs);
    }
}

void ClusterBus::becomeUp()
{
    m_connectDeadline.stop();
    const quint64 generation = m_generation;
    const QByteArray stream = key("events");
    command(Commands, {"XGROUP", "CREATE", stream, Group, "0", "MKSTREAM"}, [](redisReply *) {});
    if (m_lastId.isEmpty()) {
        command(Commands, {"EVAL", Snapshot, "2", stream, key("roster")}, [this, generation](redisReply *r) {
            if (generation != m_generation)
                return;
            if (isError(r) || r->type != REDIS_REPLY_ARRAY || r->elements != 2) {
                goDown(QStringLiteral("unexpected answer to the roster snapshot"));
                return;
            }
            m_lastId = bytesOf(r->element[0]);
            const redisReply *hash = r->element[1];
            for (size_t i = 1; hash->type == REDIS_REPLY_ARRAY && i < hash->elements; i += 2) {
                const auto o = ClusterObserver::fromRecord(bytesOf(hash->element[i]));
                // This relay's own sign-ons, applied already, stay as they are.
                if (o && o->origin() != m_origin && !m_roster.find(AccountKey(o->user)))
                    m_roster.signOn(*o);
            }
            readNext();
        });
    } else {
        readNext();
    }
    QList<QByteArray> reassert{"EVAL", Reassert, "1", key("roster")};
    if (m_hooks.localObservers)
        for (const ClusterObserver &o : m_hooks.localObservers())
            reassert << WireCodec::encode(AccountKey(o.user)) << o.record();
    if (reassert.size() > 4)
        command(Commands, reassert, [](redisReply *) {});
    const qsizetype replayed = qsizetype(m_outbox.size());
    for (const Event &e : m_outbox)
        send(e);
    m_up = true;
    m_upSince.start();
    m_beatPending = false;
    heartbeat();
    m_heartbeat.start();
    m_historyPending = true;
    m_storesInFlight = 0;
    readHistory();
    m_backOffMs = 0;
    if (!m_everUp)
        m_log.line(QStringLiteral("cluster: joined through Redis at %1:%2 as %3 (run %4)")
                       .arg(m_settings.host)
                       .arg(m_settings.port)
                       .arg(m_settings.node, m_origin));
    else if (m_toldDown)
        m_log.line(QStringLiteral("cluster: Redis back after %1 s; %2 events passed on to the others%3")
                       .arg(m_downSince.elapsed() / 1000.0, 0, 'f', 1)
                       .arg(replayed)
                       .arg(m_outboxDropped
                                ? QStringLiteral(", %1 older ones were dropped").arg(m_outboxDropped)
                                : QString()));
    m_everUp = true;
    m_toldDown = false;
    m_outboxDropped = 0;
    if (m_hooks.status)
        m_hooks.status(0, true);
}

bool ClusterBus::command(LinkIndex link, const QList<QByteArray> &args, ReplyHandler then)
{
    redisAsyncContext *ctx = m_links[link].ctx;
    if (!ctx)
        return false;
    std::vector<const char *> argv;
    std::vector<size_t> lengths;
    for (const QByteArray &a : args) {
        argv.push_back(a.constData());
        lengths.push_back(size_t(a.size()));
    }
    auto *handler = new ReplyHandler(std::move(then));
    if (redisAsyncCommandArgv(ctx, &ClusterBus::onReply, handler, int(argv.size()), argv.data(),
                              lengths.data()) != REDIS_OK) {
        delete handler;
        return false;
    }
    return true;
}

void ClusterBus::onReply(redisAsyncContext *, void *reply, void *privdata)
{
    auto *handler = static_cast<ReplyHandler *>(privdata);
    (*handler)(static_cast<redisReply *>(reply));
    delete handler;
}

// ---- publishing

void ClusterBus::publish(Event e)
{
    e.origin = m_origin;
    e.seq = ++m_seq;
    m_outbox.push_back(std::move(e));
    if (qsizetype(m_outbox.size()) > m_settings.outboxLength) {
        Event &oldest = m_outbox.front();
        if (oldest.seq > m_appliedOwn)
            applyLocally(oldest);
        m_outbox.pop_front();
        if (m_outboxDropped++ == 0)
            m_log.line(QStringLiteral("cluster: more than %1 events wait for Redis: the oldest will not "
                                      "reach the other relays")
                           .arg(m_settings.outboxLength));
    }
    if (m_up)
        send(m_outbox.back());
    else
        applyLocally(m_outbox.back());
}

void ClusterBus::send(const Event &e)
{
    const QByteArray length = QByteArray::number(m_settings.streamLength);
    QList<QByteArray> args;
    if (e.kind == 'G' || e.kind == 'D')
        args = {"EVAL",
                PublishPresence,
                "2",
                key("events"),
                key("roster"),
                QByteArray(1, e.kind),
                WireCodec::encode(e.user),
                e.kind == 'G' ? e.record : e.conn.toLatin1(),
                length};
    else
        args = {"XADD", key("events"), "MAXLEN", "~", length, "*"};
    args += fieldsOf(e);
    const quint64 generation = m_generation;
    command(Commands, args, [this, generation](redisReply *r) {
        if (generation == m_generation && r && r->type == REDIS_REPLY_ERROR)
            m_log.line(
                QStringLiteral("cluster: Redis refused an event: %1").arg(QString::fromLocal8Bit(r->str)));
    });
}

void ClusterBus::applyLocally(Event &e)
{
    m_appliedOwn = std::max(m_appliedOwn, e.seq);
    if (e.kind == 'R' && !e.stored && m_hooks.storeReport) {
        const quint64 seq = e.seq;
        m_hooks.storeReport(reportOf(e), [this, seq](bool ok) {
            if (!ok)
                return;
            for (Event &queued : m_outbox)
                if (queued.seq == seq)
                    queued.stored = true;
        });
    }
    apply(e);
}

StoredReport ClusterBus::reportOf(const Event &e)
{
    StoredReport report;
    report.receivedUtc = QDateTime::fromMSecsSinceEpoch(e.receivedMs, Qt::UTC);
    report.fields = SplitFields(WireCodec::decode(e.bytes));
    report.author = FieldAt(report.fields, 4);
    // The same report from the stream twice (a claimed entry, a retry) is
    // stored once.
    report.id = e.origin.toLatin1() + '#' + QByteArray::number(e.seq);
    return report;
}

QList<QByteArray> ClusterBus::fieldsOf(const Event &e)
{
    QList<QByteArray> f{"k", QByteArray(1, e.kind), "o", e.origin.toLatin1(), "s", QByteArray::number(e.seq)};
    if (!e.bytes.isEmpty())
        f << "b" << e.bytes;
    if (!e.user.isEmpty())
        f << "u" << WireCodec::encode(e.user);
    if (!e.record.isEmpty())
        f << "r" << e.record;
    if (!e.conn.isEmpty())
        f << "c" << e.conn.toLatin1();
    if (e.kind == 'R')
        f << "t" << QByteArray::number(e.receivedMs) << "d" << (e.stored ? "1" : "0");
    return f;
}

std::optional<ClusterBus::Event> ClusterBus::eventFrom(const redisReply *fields)
{
    if (!fields || fields->type != REDIS_REPLY_ARRAY)
        return std::nullopt;
    Event e;
    for (size_t i = 0; i + 1 < fields->elements; i += 2) {
        const QByteArray name = bytesOf(fields->element[i]);
        const QByteArray value = bytesOf(fields->element[i + 1]);
        if (name == "k")
            e.kind = value.isEmpty() ? 0 : value.at(0);
        else if (name == "o")
            e.origin = QString::fromLatin1(value);
        else if (name == "s")
            e.seq = value.toULongLong();
        else if (name == "b")
            e.bytes = value;
        else if (name == "u")
            e.user = WireCodec::decode(value);
        else if (name == "r")
            e.record = value;
        else if (name == "c")
            e.conn = QString::fromLatin1(value);
        else if (name == "t")
            e.receivedMs = value.toLongLong();
        else if (name == "d")
            e.stored = value == "1";
        else if (name == "g")
            e.gone = QString::fromLatin1(value);
    }
    if (e.kind == 0 || e.origin.isEmpty())
        return std::nullopt;
    return e;
}

void ClusterBus::publishToAll(const QByteArray &bytes)
{
    Event e;
    e.kind = 'B';
    e.bytes = bytes;
    publish(std::move(e));
}

void ClusterBus::publishReport(const QByteArray &bytes, const StoredReport &report)
{
    Event e;
    e.kind = 'R';
    e.bytes = bytes;
    e.receivedMs = report.receivedUtc.toMSecsSinceEpoch();
    publish(std::move(e));
}

void ClusterBus::publishToUser(const QString &userKey, const QByteArray &bytes)
{
    Event e;
    e.kind = 'U';
    e.user = userKey;
    e.bytes = bytes;
    publish(std::move(e));
}

void ClusterBus::publishBan(const QString &userKey)
{
    Event e;
    e.kind = 'N';
    e.user = userKey;
    publish(std::move(e));
}

void ClusterBus::publishSignOn(const ClusterObserver &o)
{
    Event e;
    e.kind = 'G';
    e.user = AccountKey(o.user);
    e.record = o.record();
    publish(std::move(e));
}

void ClusterBus::publishSignOff(const QString &userKey, const QString &conn)
{
    Event e;
    e.kind = 'D';
    e.user = userKey;
    e.conn = conn;
    publish(std::move(e));
}

// ---- applying, in the cluster's order

void ClusterBus::apply(const Event &e)
{
    switch (e.kind) {
    case 'R':
    case 'B':
        m_hooks.toAll(e.bytes, {});
        m_hooks.historyChanged();
        break;
    case 'U':
        m_hooks.toUser(e.user, e.bytes);
        break;
    case 'N':
        m_hooks.ban(e.user);
        break;
    case 'G': {
        const std::optional<ClusterObserver> o = ClusterObserver::fromRecord(e.record);
        if (!o)
            break;
        const std::optional<ClusterObserver> previous = m_roster.signOn(*o);
        if (previous && previous->conn == o->conn)
            break;
        if (previous) {
            // The replaced connection closes first: it hears of nobody's departure.
            if (previous->origin() == m_origin)
                m_hooks.replaced(AccountKey(previous->user), previous->conn);
            m_hooks.toAll(observerMessage("DOB", *previous, -1), o->conn);
        }
        m_hooks.toAll(observerMessage("GOB", *o, m_roster.size()), {});
        break;
    }
    case 'D':
        if (const auto gone = m_roster.signOff(e.user, e.conn))
            m_hooks.toAll(observerMessage("DOB", *gone, -1), {});
        break;
    case 'X': {
        const QList<ClusterObserver> gone = m_roster.dropOrigin(e.gone);
        for (const ClusterObserver &o : gone)
            m_hooks.toAll(observerMessage("DOB", o, -1), {});
        if (e.gone == m_origin) {
            // Taken for dead while cut off: this relay's clients are still
            // here, so they arrive again for everybody.
            m_log.line(QStringLiteral("cluster: the others took this relay for gone; announcing its %1 "
                                      "observers again")
                           .arg(gone.size()));
            if (m_hooks.localObservers)
                for (const ClusterObserver &o : m_hooks.localObservers())
                    publishSignOn(o);
        } else {
            m_log.line(QStringLiteral("cluster: relay run %1 gone; %2 of its observers signed off")
                           .arg(e.gone)
                           .arg(gone.size()));
        }
        break;
    }
    default:
        break;
    }
}

void ClusterBus::readNext()
{
    const quint64 generation = m_generation;
    command(
        Reader,
        {"XREAD", "COUNT", "1000", "BLOCK", QByteArray::number(BlockMs), "STREAMS", key("events"), m_lastId},
        [this, generation](redisReply *r) {
            if (generation != m_generation)
                return;
            if (isError(r)) {
                goDown(r ? QString::fromLocal8Bit(r->str) : QStringLiteral("connection lost"));
                return;
            }
            onEntries(r);
            readNext();
        });
}

void ClusterBus::onEntries(redisReply *r)
{
    if (r->type != REDIS_REPLY_ARRAY || r->elements == 0) {
        m_lagSeconds = 0;
        if (m_hooks.status)
            m_hooks.status(0, true);
        return;
    }
    const redisReply *entries = r->element[0]->type == REDIS_REPLY_ARRAY && r->element[0]->elements == 2
                                    ? r->element[0]->element[1]
                                    : nullptr;
    for (size_t i = 0; entries && i < entries->elements; ++i) {
        const redisReply *entry = entries->element[i];
        if (entry->type != REDIS_REPLY_ARRAY || entry->elements != 2)
            continue;
        m_lastId = bytesOf(entry->element[0]);
        std::optional<Event> e = eventFrom(entry->element[1]);
        if (!e)
            continue;
        if (e->origin == m_origin && e->seq > 0) {
            while (!m_outbox.empty() && m_outbox.front().seq <= e->seq)
                m_outbox.pop_front();
            if (e->seq <= m_appliedOwn)
                continue;
            m_appliedOwn = e->seq;
        } else if (e->seq > 0) {
            quint64 &seen = m_seen[e->origin];
            if (e->seq <= seen)
                continue;
            seen = e->seq;
        }
        apply(*e);
    }
    m_lagSeconds =
        std::max<qint64>(0, QDateTime::currentMSecsSinceEpoch() - idMilliseconds(m_lastId)) / 1000.0;
    if (m_hooks.status)
        m_hooks.status(m_lagSeconds, true);
}

// ---- history through the consumer group

void ClusterBus::readHistory()
{
    if (!m_up || m_storesInFlight > 0 || m_historyRetry.isActive())
        return;
    QList<QByteArray> args{"XREADGROUP", "GROUP", Group, m_origin.toLatin1(), "COUNT", "200"};
    // Short, so that a dead relay's history claimed meanwhile is taken up soon.
    if (!m_historyPending)
        args << "BLOCK" << QByteArray::number(HistoryBlockMs);
    args << "STREAMS" << key("events") << (m_historyPending ? "0" : ">");
    const quint64 generation = m_generation;
    command(History, args, [this, generation, pendingRead = m_historyPending](redisReply *r) {
        if (generation != m_generation)
            return;
        if (!r) {
            goDown(QStringLiteral("connection lost"));
            return;
        }
        if (r->type == REDIS_REPLY_ERROR) {
            // A Redis that lost its data lost the group too.
            command(Commands, {"XGROUP", "CREATE", key("events"), Group, "0", "MKSTREAM"},
                    [](redisReply *) {});
            m_historyRetry.start(500);
            return;
        }
        onHistory(r, pendingRead);
    });
}

void ClusterBus::onHistory(redisReply *r, bool pendingRead)
{
    const redisReply *entries = r->type == REDIS_REPLY_ARRAY && r->elements > 0 &&
                                        r->element[0]->type == REDIS_REPLY_ARRAY &&
                                        r->element[0]->elements == 2
                                    ? r->element[0]->element[1]
                                    : nullptr;
    // Only a read of the pending entries says there are none left: a claim
    // may have added some since a read of new ones was sent.
    if (pendingRead && (!entries || entries->elements == 0))
        m_historyPending = false;
    const quint64 generation = m_generation;
    QList<QByteArray> ack{"XACK", key("events"), Group};
    auto failed = std::make_shared<bool>(false);
    const auto finished = [this, generation, failed] {
        if (generation != m_generation || m_storesInFlight > 0)
            return;
        if (*failed) {
            m_historyPending = true;
            m_historyRetry.start(2000);
        } else {
            readHistory();
        }
    };
    for (size_t i = 0; entries && i < entries->elements; ++i) {
        const redisReply *entry = entries->element[i];
        if (entry->type != REDIS_REPLY_ARRAY || entry->elements != 2)
            continue;
        const QByteArray id = bytesOf(entry->element[0]);
        const std::optional<Event> e = eventFrom(entry->element[1]);
        if (!e || e->kind != 'R' || e->stored || !m_hooks.storeReport) {
            ack << id;
            continue;
        }
        ++m_storesInFlight;
        m_hooks.storeReport(reportOf(*e), [this, generation, id, failed, finished](bool ok) {
            if (generation != m_generation)
                return;
            --m_storesInFlight;
            if (ok)
                command(Commands, {"XACK", key("events"), Group, id}, [](redisReply *) {});
            else
                *failed = true;
            finished();
        });
    }
    if (ack.size() > 3)
        command(Commands, ack, [](redisReply *) {});
    finished();
}

// ---- presence

QByteArray ClusterBus::presenceValue() const
{
    return WireCodec::encode(QStringList{m_settings.node, m_settings.advertise,
                                         QString::number(m_hooks.localCount ? m_hooks.localCount() : 0),
                                         m_draining ? QStringLiteral("1") : QStringLiteral("0")}
                                 .join(u'|'));
}

void ClusterBus::heartbeat()
{
    if (!m_up)
        return;
    if (m_beatPending && m_lastBeatAnswer.elapsed() > m_settings.ttlMs) {
        goDown(QStringLiteral("no answer for %1 s").arg(m_settings.ttlMs / 1000));
        return;
    }
    if (m_beatPending)
        return;
    QList<QByteArray> args{"EVAL",
                           Heartbeat,
                           "1",
                           key("origins"),
                           m_prefix,
                           m_origin.toLatin1(),
                           presenceValue(),
                           QByteArray::number(m_settings.ttlMs)};
    for (const QString &o : m_roster.origins())
        args << o.toLatin1();
    const quint64 generation = m_generation;
    m_beatPending = true;
    m_lastBeatAnswer.start();
    command(Commands, args, [this, generation](redisReply *r) {
        if (generation != m_generation)
            return;
        m_beatPending = false;
        m_lastBeatAnswer.start();
        if (!isError(r))
            onHeartbeat(r);
    });
}

void ClusterBus::onHeartbeat(redisReply *r)
{
    if (r->type != REDIS_REPLY_ARRAY)
        return;
    QList<ClusterRelay> relays;
    QStringList gone;
    for (size_t i = 0; i + 1 < r->elements; i += 2) {
        const QString origin = QString::fromLatin1(bytesOf(r->element[i]));
        const QStringList value = WireCodec::decode(bytesOf(r->element[i + 1])).split(u'|');
        if (origin == m_origin)
            continue;
        if (value.size() != 4) {
            gone.append(origin);
            continue;
        }
        relays.append({origin, value.at(0), value.at(1), value.at(2).toInt(),
                       value.at(3) == QLatin1String("1"), false});
    }
    std::sort(relays.begin(), relays.end(),
              [](const ClusterRelay &a, const ClusterRelay &b) { return a.name < b.name; });
    m_relays = relays;
    m_handedOut.clear();
    // Just back from a lost link, the others may not have refreshed their
    // presence yet: nobody is judged before one whole time-to-live.
    if (m_upSince.elapsed() < m_settings.ttlMs)
        return;
    for (const QString &origin : gone)
        claim(origin);
}

void ClusterBus::claim(const QString &origin)
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (now - m_claimed.value(origin, 0) < ClaimRetryMs)
        return;
    m_claimed.insert(origin, now);
    const quint64 generation = m_generation;
    command(Commands,
            {"EVAL", Claim, "3", key("events"), key("roster"), key("origins"), m_prefix, origin.toLatin1(),
             m_origin.toLatin1(), QByteArray::number(m_settings.streamLength), Group},
            [this, generation, origin](redisReply *r) {
                if (generation != m_generation || isError(r) || r->integer != 1)
                    return;
                m_log.line(
                    QStringLiteral("cluster: relay run %1 stopped answering; this relay cleans up after it")
                        .arg(origin));
                // Its unwritten history is ours now.
                m_historyPending = true;
            });
}

QList<ClusterRelay> ClusterBus::relays() const
{
    QList<ClusterRelay> out{{m_origin, m_settings.node, m_settings.advertise,
                             m_hooks.localCount ? m_hooks.localCount() : 0, m_draining, true}};
    if (m_up)
        out += m_relays;
    return out;
}

std::optional<QString> ClusterBus::addressToHandOut()
{
    // Addresses handed out since the last heartbeat count as clients, so
    // that a wave of reconnecting clients spreads instead of all going to
    // the relay that was least loaded a moment ago.
    const auto load = [this](const ClusterRelay &r) { return r.signedOn + m_handedOut.value(r.origin); };
    const int own = (m_hooks.localCount ? m_hooks.localCount() : 0) + m_handedOut.value(m_origin);
    const ClusterRelay *best = nullptr;
    if (m_up)
        for (const ClusterRelay &r : m_relays)
            if (!r.draining && !r.advertise.isEmpty() && (!best || load(r) < load(*best)))
                best = &r;
    if (!m_draining && (!best || own <= load(*best))) {
        ++m_handedOut[m_origin];
        return std::nullopt;
    }
    if (!best)
        return QString();
    ++m_handedOut[best->origin];
    return best->advertise;
}
