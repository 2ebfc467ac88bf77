#pragma once

#include "relay_store.h"

#include <QElapsedTimer>
#include <QHash>
#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <functional>
#include <memory>

class RelayLog;
class RelayMetrics;
class StoreEngine;

// The relay's store on a thread of its own, so that no database call,
// least of all one to a remote server that stalls or goes away, ever
// holds up the fan-out. Calls are made on the relay's thread and run on
// the store's thread in the order they were made; answers come back on
// the relay's thread.
//
// While the database cannot be reached, calls wait at the head of the
// queue and are retried with a back-off (0.1 s doubling to 2 s) until it
// answers again; then they run in order. Writes that nobody waits for
// (history, e-mail, password upgrades, purges) wait in a queue of at most
// MaxQueuedWrites; beyond that new ones are dropped, counted and logged.
// Calls that somebody waits for (sign-on, account creation, history,
// retraction, bans) are answered "unavailable" after ReadDeadlineMs, so
// that no client waits for ever; at most MaxWaitingCalls wait at once.
class StoreWorker : public QObject
{
    Q_OBJECT
public:
    static constexpr int MaxQueuedWrites = 20'000;
    static constexpr int MaxWaitingCalls = 5'000;
    static constexpr int ReadDeadlineMs = 20'000;

    StoreWorker(const RelayLog &log, RelayMetrics &metrics, QObject *parent = nullptr);
    ~StoreWorker() override;

    // Opens the store on its thread and waits for the outcome.
    bool open(const QString &target, QString *error);
    // Runs what is queued (giving up on it when the database stays out of
    // reach), closes the store and ends its thread.
    void close();
    bool isRemote() const { return m_remote; }
    // Why the last write failed; empty while writes succeed.
    QString writeFailure() const;

    // Answers: available is false when the database could not be reached
    // in time (the call may still run later). Each answer runs only while
    // context lives.
    void account(const QString &name, QObject *context,
                 std::function<void(bool available, const std::optional<AccountRecord> &)> done);
    // created false: the name is taken, or failure says why it was not stored.
    void createAccount(const AccountRecord &account, QObject *context,
                       std::function<void(bool available, bool created, const QString &failure)> done);
    void reportsSince(const QDateTime &utc, QObject *context,
                      std::function<void(bool available, const QList<StoredReport> &)> done);
    // Removes author's reports with text; says how many, and whether
    // another author's report with that text still stands.
    void retract(const QString &author, const QString &text, QObject *context,
                 std::function<void(bool available, int removed, bool othersHaveIt)> done);
    void setEligible(const QString &name, bool eligible, QObject *context,
                     std::function<void(bool available, bool marked, const QString &failure)> done);

    // Writes nobody waits for. stored runs (while context lives) once the
    // report is written, or at once when it is dropped.
    void addReport(const StoredReport &report, QObject *context = nullptr, std::function<void()> stored = {});
    // A history write that the cluster waits for before it lets go of the
    // report: stored is false when it could not be written (or was dropped).
    void writeReport(const StoredReport &report, QObject *context, std::function<void(bool stored)> done);
    void setEmail(const QString &name, const QString &email);
    void setPassword(const QString &name, const QByteArray &salt, const QByteArray &hash, int iterations);
    void purgeBefore(const QDateTime &utc);

    // What waits on the store's thread now.
    int queued() const { return m_queued.load(); }
    // True from the first call that found the database out of reach until
    // one gets through again.
    bool isAway() const { return m_away.load(); }

private:
    friend class StoreEngine;
    // Runs on the store's thread; returns what to do on the relay's.
    using Run = std::function<std::function<void()>(RelayStore &)>;
    struct Waiting
    {
        QPointer<QObject> context;
        bool hasContext = false;
        std::function<void()> unavailable;
        qint64 deadlineMs = 0;
        std::shared_ptr<std::atomic<bool>> cancelled;
    };
    // False when the queue is full and run was dropped.
    bool write(Run run);
    void ask(QObject *context, Run run, std::function<void()> unavailable);
    void answered(quint64 ticket, const std::function<void()> &deliver);
    void expireWaiting();

    const RelayLog &m_log;
    RelayMetrics &m_metrics;
    QThread m_thread;
    StoreEngine *m_engine = nullptr;
    bool m_remote = false;
    std::atomic<int> m_queued{0};
    std::atomic<int> m_queuedWrites{0};
    std::atomic<bool> m_away{false};
    qint64 m_dropped = 0;
    bool m_dropLogged = false;
    quint64 m_nextTicket = 1;
    QHash<quint64, Waiting> m_waiting;
    QTimer m_deadlines;
    QElapsedTimer m_clock;
    mutable QMutex m_failureMutex;
    QString m_writeFailure;
};
