#pragma once

#include "rate_limiter.h"
#include "relay_store.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QThreadPool>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>
#include <unordered_map>

class Clock;
class ClusterBus;
struct ClusterObserver;
struct StoredReport;
class QTcpServer;
class QTcpSocket;
class RelayLog;
class RelayMetrics;
class StoreWorker;

struct RelaySettings
{
    QHostAddress listenAddress = QHostAddress(QHostAddress::LocalHost);
    quint16 listenPort = 5150;
    int maxConnections = 1000;
    // Connections from one address; 0 for no limit.
    int maxPerAddress = 16;
    // A connection not signed on by then is closed.
    int signOnTimeoutSeconds = 60;
    RateLimiter::Limits limits;
    int keepaliveSeconds = 240;
    int pbkdf2Iterations = 25'000;
    // A client that reads nothing for this long is cut off instead of
    // letting its queue grow without bound.
    qint64 maxQueuedBytes = 8 * 1024 * 1024;
    // Under load, what is queued within this many milliseconds of the last
    // write goes out together: one system call per receiver for several
    // messages instead of one for each. An idle relay writes at once.
    int coalesceMs = 4;
    // One history answer holds at most this much, the newest part.
    qint64 maxAnswerBytes = 2 * 1024 * 1024;
    int maxAnswerRecords = 10'000;
    // This relay's name for operators, as in a cluster (default: its
    // client address).
    QString nodeName;
    // DIS goes to this many clients at a time when draining, one wave
    // every drainWaveMs.
    int drainWave = 200;
    int drainWaveMs = 250;
};

struct ObserverInfo
{
    QString user;
    QString state;
    QString county;
    QString zip;
    QString peer;
    QString node; // the relay that holds him
};

// The relay proper: accounts, sign-on, and the fan-out of reports,
// messages, station readings and observer notices to signed-on clients.
class RelayServer : public QObject
{
    Q_OBJECT
public:
    RelayServer(StoreWorker &store, const Clock &clock, const RelayLog &log, RelayMetrics &metrics,
                RelaySettings settings, QObject *parent = nullptr);
    ~RelayServer() override;

    bool listen(QString *error);
    QHostAddress serverAddress() const;
    quint16 serverPort() const;
    void shutdown();

    // Operator actions. user "*" means every signed-on client. Each returns
    // the number of connections reached, or -1 when a field that travels
    // unescaped holds "|" or "^".
    int sendSystemMessage(const QString &user, const QString &text);
    int sendWarning(const QStringList &fields);
    int sendRedirect(const QString &user, const QString &host, const QString &port);
    int sendAnnouncement(const QString &user, const QString &image, const QString &tooltip,
                         const QString &link);
    // Marks the account ineligible, then tells its connection; marked is
    // false when there is no such account or the mark could not be stored
    // (failure says why; then nothing is sent). done runs once the store
    // has answered.
    void ban(const QString &user, std::function<void(bool marked, int reached, const QString &failure)> done);
    int terminate(const QString &user);
    int disconnectUser(const QString &user);
    QList<ObserverInfo> observers() const;

    // Sends the keep-alive now; the timer calls it every interval.
    void sendKeepAlive();

    // Joins a cluster: from now on what clients say goes through the bus
    // and reaches them in the cluster's order. Without it the relay is alone.
    void setCluster(ClusterBus *bus);
    // Stops taking new clients through the address file and sends DIS to
    // every client here in waves; done(n) once all n have been told.
    void drain(const std::function<void(int moved)> &done);
    bool isDraining() const { return m_draining; }
    int signedOnCount() const { return int(m_signedOn.size()); }
    // One line per live relay: NAME, HOST:PORT, signed-on clients, draining.
    QList<QStringList> relays() const;

private:
    struct Connection;
    // What one remote address may still do.
    struct AddressState
    {
        int connections = 0;
        RateLimiter newAccounts;
        RateLimiter passwordChecks;
        qint64 refusalLoggedMs = -1;
    };

    void onNewConnection();
    void onReadyRead(QTcpSocket *socket);
    void onDisconnected(QTcpSocket *socket);
    void handleMessage(Connection &c, const QByteArray &bytes);
    void handleNewAccount(Connection &c, const QStringList &fields);
    void handleSignOn(Connection &c, const QStringList &fields);
    void handleForgot(Connection &c, const QStringList &fields);
    void handleReport(Connection &c, const QStringList &fields);
    void handleHistory(Connection &c, const QStringList &fields);
    void handleRetract(Connection &c, const QStringList &fields);
    void handleObserverList(Connection &c);
    // GLD and GOB answers: one of each kind at a time, not more often than
    // a minimum interval, handed to the socket as it drains.
    bool mayAnswer(Connection &c, char kind);
    void queueAnswer(Connection &c, char kind, const QByteArray &bytes);
    void takeAnswerChunk(Connection &c, QByteArray &out);
    QByteArray historyAnswer(const QList<StoredReport> &reports, int *records) const;
    void forgetHistory();
    bool fieldsFit(Connection &c, const QByteArray &code, const QStringList &fields);
    void relayAsSender(Connection &c, const QByteArray &bytes, int senderField);
    // True the first time this connection meets event: repeats are not logged.
    bool firstTime(Connection &c, int event);
    void closeUnsignedAfterDeadline(Connection &c);
    void finishSignOn(Connection &c, const QStringList &fields, const QByteArray &digest,
                      const std::optional<AccountRecord> &account);
    // The connection's later messages wait until the function this
    // returns has been called with what to do once the store answered.
    using Resume = std::function<void(const std::function<void(Connection &)> &)>;
    Resume hold(Connection &c);
    void resume(QTcpSocket *socket, quint64 id, const std::function<void(Connection &)> &then);
    // The store did not answer in time: the client comes back later.
    void storeUnavailable(Connection &c);
    // Hashing a password takes a tenth of a second: it runs on a worker so
    // that a wave of sign-ons never stalls the fan-out to everyone else.
    // The connection's later messages wait, in order, until then() has run.
    void digestThen(Connection &c, const QString &password, const QByteArray &salt, int iterations,
                    std::function<void(Connection &, const QByteArray &)> then);
    void digestDone(QTcpSocket *socket, quint64 id, const QByteArray &digest,
                    const std::function<void(Connection &, const QByteArray &)> &then);
    // Re-hashes a password at the current cost, off the sign-on's path.
    void upgradeHash(const QString &name, const QString &password);
    void signOff(Connection &c, bool announce);

    void send(Connection &c, const QByteArray &bytes);
    void enqueue(Connection &c, const QByteArray &bytes);
    void refuse(const char *reason);
    void markDirty(Connection &c);
    int broadcast(const QByteArray &bytes, const Connection *except = nullptr);
    int sendToUser(const QString &user, const QByteArray &bytes);
    void flushPending();
    void close(Connection &c, const QString &reason, bool graceful);
    QByteArray observerMessage(const QString &code, const Connection &c, bool withCount) const;
    QString describe(const Connection &c) const;
    // Cluster: to every client of every relay; returns how many there are.
    int toEveryone(const QByteArray &bytes);
    void publishReport(Connection &c, const StoredReport &report);
    bool signedOnElsewhere(const Connection &c, const QString &key, bool reSignOn) const;
    QString connId(const Connection &c) const;
    QString ownName() const;
    ClusterObserver observerOf(const Connection &c) const;
    Connection *localSignOn(const QString &key, const QString &conn) const;

    StoreWorker &m_store;
    const Clock &m_clock;
    const RelayLog &m_log;
    RelayMetrics &m_metrics;
    RelaySettings m_settings;
    QTcpServer *m_server;
    QTimer m_keepAlive;
    QTimer m_purge;
    QElapsedTimer m_monotonic;
    quint64 m_nextId = 1;
    std::unordered_map<QTcpSocket *, std::unique_ptr<Connection>> m_connections;
    QList<Connection *> m_signedOn; // in order of sign-on
    QHash<QString, Connection *> m_byUser;
    QList<Connection *> m_dirty;
    bool m_flushQueued = false;
    qint64 m_lastFlushNs = -1;
    ClusterBus *m_cluster = nullptr;
    bool m_draining = false;
    quint64 m_nextSignOn = 1;
    QThreadPool m_hashPool;
    int m_hashesQueued = 0;
    qint64 m_capLoggedMs = -1;
    QHash<QHostAddress, AddressState> m_addresses;
    struct Failures
    {
        int count = 0;
        qint64 untilMs = 0;
    };
    QHash<QString, Failures> m_failures; // by account key
    struct CachedHistory
    {
        int hours = 0;
        qint64 builtMs = -1;
        int records = 0;
        QByteArray bytes;
    } m_history;
    // Changes whenever the history does: an answer read before a change
    // is not kept for others.
    quint64 m_historyGeneration = 0;
};
