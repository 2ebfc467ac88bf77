#pragma once

#include "cluster_roster.h"
#include "relay_store.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QTimer>

#include <hiredis/async.h>

#include <deque>
#include <functional>
#include <optional>

class RedisQtAdapter;
class RelayLog;

struct ClusterSettings
{
    QString host;
    quint16 port = 6379;
    QString node;      // this relay's name
    QString advertise; // HOST:PORT that the address file hands out for it
    int heartbeatMs = 1000;
    // A relay whose heartbeat is this old is gone: the others send DOB for
    // its users and stop handing out its address.
    int ttlMs = 4000;
    // The cluster stream keeps about this many events: a relay whose link
    // drops catches up on everything said meanwhile up to this bound.
    int streamLength = 100'000;
    // What this relay says while Redis is away waits here for it.
    int outboxLength = 50'000;
};

// "redis://HOST:PORT" (port 6379 when left out).
bool ParseRedisUrl(const QString &url, QString *host, quint16 *port);
// Names that fit in the bus's records: no blanks, "|", "#" or "/".
bool ValidNodeName(const QString &name);

struct ClusterRelay
{
    QString origin;
    QString name;
    QString advertise;
    int signedOn = 0;
    bool draining = false;
    bool self = false;
};

// Several relays as one server, through one Redis: every event that one
// relay's clients cause (reports, messages, readings, sign-ons and
// departures, operator actions for a user) goes into one Redis stream, and
// every relay applies the stream's events in the stream's order, its own
// included, so that all clients see one order. Presence (live relays,
// their load, who is signed on where) lives beside it. Runs on the
// relay's own event loop through hiredis's Qt adapter.
//
// While Redis cannot be reached the relay serves its own clients alone:
// what it says is applied at once and kept (bounded) for the others, who
// get it when the link is back; readers drop what they have seen already.
class ClusterBus : public QObject
{
    Q_OBJECT
public:
    // What the relay does with an event applied in the cluster's order.
    struct Hooks
    {
        // To every signed-on client here, except the sign-on exceptConn.
        std::function<void(const QByteArray &bytes, const QString &exceptConn)> toAll;
        std::function<void(const QString &userKey, const QByteArray &bytes)> toUser;
        std::function<void(const QString &userKey)> ban;
        // A sign-on here was replaced by a later one of the same user.
        std::function<void(const QString &userKey, const QString &conn)> replaced;
        std::function<void()> historyChanged;
        // Writes a report into the history; done(true) once it is there.
        std::function<void(const StoredReport &, std::function<void(bool)> done)> storeReport;
        std::function<int()> localCount;
        std::function<QList<ClusterObserver>()> localObservers;
        // The lag behind the cluster, and whether the bus is up.
        std::function<void(double lagSeconds, bool up)> status;
    };

    ClusterBus(ClusterSettings settings, const RelayLog &log, QObject *parent = nullptr);
    ~ClusterBus() override;

    void setHooks(Hooks hooks) { m_hooks = std::move(hooks); }
    void start();
    void stop();

    // This run of this relay, "NAME/BOOT": connection ids start with it.
    QString origin() const { return m_origin; }
    QString node() const { return m_settings.node; }
    bool isUp() const { return m_up; }
    double lagSeconds() const { return m_lagSeconds; }

    void publishToAll(const QByteArray &bytes);
    void publishReport(const QByteArray &bytes, const StoredReport &report);
    void publishToUser(const QString &userKey, const QByteArray &bytes);
    void publishBan(const QString &userKey);
    void publishSignOn(const ClusterObserver &o);
    void publishSignOff(const QString &userKey, const QString &conn);

    const ClusterRoster &roster() const { return m_roster; }
    // Live relays as last seen, this one first with its current figures.
    QList<ClusterRelay> relays() const;
    // Where the address file sends a client: the live relay that is not
    // draining with the fewest signed-on clients, this one on a tie.
    // nullopt: this relay; an empty text: none can take clients.
    std::optional<QString> addressToHandOut();
    void setDraining(bool draining) { m_draining = draining; }
    bool draining() const { return m_draining; }

private:
    struct Event
    {
        char kind = 0;
        QString origin;
        quint64 seq = 0;
        QByteArray bytes;
        QString user;      // account key
        QByteArray record; // a sign-on's observer record
        QString conn;      // the sign-on that ends
        qint64 receivedMs = 0;
        bool stored = false; // a report the origin wrote itself
        QString gone;        // the relay run that died
    };
    enum LinkIndex { Commands, Reader, History, LinkCount };
    struct Link
    {
        redisAsyncContext *ctx = nullptr;
        RedisQtAdapter *adapter = nullptr;
        bool connected = false;
    };
    using ReplyHandler = std::function<void(redisReply *)>;

    void publish(Event e);
    void send(const Event &e);
    void apply(const Event &e);
    void applyLocally(Event &e);
    static QList<QByteArray> fieldsOf(const Event &e);
    static StoredReport reportOf(const Event &e);
    static std::optional<Event> eventFrom(const redisReply *fields);

    void connectLinks();
    void linkConnected(const redisAsyncContext *ctx, int status);
    void linkDisconnected(const redisAsyncContext *ctx);
    void release(Link &link, bool hiredisFrees);
    void goDown(const QString &why);
    void becomeUp();
    bool command(LinkIndex link, const QList<QByteArray> &args, ReplyHandler then);
    static void onReply(redisAsyncContext *ctx, void *reply, void *privdata);
    static void onConnect(const redisAsyncContext *ctx, int status);
    static void onDisconnect(const redisAsyncContext *ctx, int status);

    void readNext();
    void onEntries(redisReply *reply);
    void readHistory();
    void onHistory(redisReply *reply, bool pendingRead);
    void heartbeat();
    void onHeartbeat(redisReply *reply);
    void claim(const QString &origin);
    QByteArray presenceValue() const;
    QByteArray key(const char *name) const { return m_prefix + name; }

    ClusterSettings m_settings;
    const RelayLog &m_log;
    Hooks m_hooks;
    QString m_origin;
    QByteArray m_prefix = "nimbrel:";
    Link m_links[LinkCount];
    // Adapters of closed links are parked here: their destructor writes
    // into their context, which hiredis may have freed.
    redisAsyncContext m_parking{};
    quint64 m_generation = 0;
    bool m_running = false;
    bool m_up = false;
    bool m_everUp = false;
    bool m_toldDown = false;
    bool m_draining = false;
    QTimer m_retry;
    QTimer m_connectDeadline;
    QTimer m_heartbeat;
    int m_backOffMs = 0;
    QElapsedTimer m_downSince;
    QElapsedTimer m_upSince;
    QElapsedTimer m_lastBeatAnswer;
    bool m_beatPending = false;

    QByteArray m_lastId;
    quint64 m_seq = 0;
    // Own events with a higher number are not yet applied here.
    quint64 m_appliedOwn = 0;
    // Own events not yet read back from the stream, oldest first.
    std::deque<Event> m_outbox;
    qint64 m_outboxDropped = 0;
    // Highest event number applied, by relay run.
    QHash<QString, quint64> m_seen;
    ClusterRoster m_roster;
    double m_lagSeconds = 0;

    QList<ClusterRelay> m_relays; // others, from the last heartbeat
    QHash<QString, qint64> m_claimed;
    QHash<QString, int> m_handedOut; // since the last heartbeat, by relay run

    bool m_historyPending = true; // read own unacknowledged entries first
    int m_storesInFlight = 0;
    QTimer m_historyRetry;
};
