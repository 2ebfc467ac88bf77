#include "store_worker.h"

#include "relay_log.h"
#include "relay_metrics.h"

#include <deque>

namespace {

constexpr int FirstRetryMs = 100;
constexpr int LongestRetryMs = 2000;
// At a stop, how long queued writes may wait for an absent database.
constexpr int StopGraceMs = 5000;

} // namespace

// Lives on the store's thread and owns the connection.
class StoreEngine : public QObject
{
public:
    struct Call
    {
        StoreWorker::Run run;
        quint64 ticket = 0; // 0: a write nobody waits for
        std::shared_ptr<std::atomic<bool>> cancelled;
    };

    StoreEngine(StoreWorker &owner) : m_owner(owner)
    {
        // A child, so that it moves to the store's thread with this.
        m_retry.setParent(this);
        m_retry.setSingleShot(true);
        connect(&m_retry, &QTimer::timeout, this, &StoreEngine::pump);
        m_store.setLog(&owner.m_log);
    }

    RelayStore &store() { return m_store; }

    void enqueue(Call call)
    {
        m_queue.push_back(std::move(call));
        if (!m_retry.isActive())
            pump();
    }

    void pump()
    {
        while (!m_queue.empty()) {
            Call &call = m_queue.front();
            std::function<void()> deliver;
            // A call whose answer came too late is skipped, not run.
            if (!call.cancelled || !call.cancelled->load()) {
                deliver = call.run(m_store);
                if (m_store.unreachable()) {
                    wentAway();
                    m_retry.start(m_retryMs);
                    m_retryMs = std::min(m_retryMs * 2, LongestRetryMs);
                    m_owner.m_metrics.add(RelayMetrics::StoreRetries);
                    return;
                }
                cameBack();
            }
            const quint64 ticket = call.ticket;
            m_queue.pop_front();
            done(ticket);
            if (ticket != 0)
                QMetaObject::invokeMethod(
                    &m_owner, [owner = &m_owner, ticket, deliver] { owner->answered(ticket, deliver); },
                    Qt::QueuedConnection);
            else if (deliver)
                QMetaObject::invokeMethod(&m_owner, deliver, Qt::QueuedConnection);
        }
    }

    // Runs what is left, waiting a little for an absent database, and closes.
    void finish()
    {
        QElapsedTimer waited;
        waited.start();
        m_retry.stop();
        pump();
        while (!m_queue.empty() && !waited.hasExpired(StopGraceMs)) {
            QThread::msleep(FirstRetryMs * 2);
            pump();
            m_retry.stop();
        }
        if (!m_queue.empty())
            m_owner.m_log.line(QStringLiteral("stopping with %1 store call%2 not done: the database stayed "
                                              "out of reach")
                                   .arg(m_queue.size())
                                   .arg(m_queue.size() == 1 ? QString() : QStringLiteral("s")));
        m_queue.clear();
        m_store.close();
    }

private:
    void done(quint64 ticket)
    {
        --m_owner.m_queued;
        if (ticket == 0)
            --m_owner.m_queuedWrites;
        m_owner.m_metrics.set(RelayMetrics::StoreQueue, m_owner.m_queued.load());
        const QString failure = m_store.writeFailure();
        if (failure != m_lastFailure) {
            m_lastFailure = failure;
            QMutexLocker lock(&m_owner.m_failureMutex);
            m_owner.m_writeFailure = failure;
        }
    }

    void wentAway()
    {
        if (m_away.isValid())
            return;
        m_away.start();
        m_owner.m_away = true;
        const QString why = m_store.unreachableReason();
        m_owner.m_metrics.raise(RelayMetrics::StoreDown, QStringLiteral("database unreachable: %1").arg(why));
        m_owner.m_log.line(
            QStringLiteral("database unreachable: %1; reports are still relayed, their history waits in a "
                           "queue of at most %2 writes (newer ones are dropped beyond that), and sign-ons "
                           "wait at most %3 s before their connection is closed")
                .arg(why)
                .arg(StoreWorker::MaxQueuedWrites)
                .arg(StoreWorker::ReadDeadlineMs / 1000));
    }

    void cameBack()
    {
        m_retryMs = FirstRetryMs;
        if (!m_away.isValid())
            return;
        m_owner.m_metrics.clear(RelayMetrics::StoreDown);
        m_owner.m_away = false;
        m_owner.m_log.line(QStringLiteral("database reachable again after %1 s; %2 queued store calls follow")
                               .arg(double(m_away.elapsed()) / 1000.0, 0, 'f', 1)
                               .arg(m_queue.size()));
        m_away.invalidate();
    }

    StoreWorker &m_owner;
    RelayStore m_store;
    std::deque<Call> m_queue;
    QTimer m_retry;
    int m_retryMs = FirstRetryMs;
    QElapsedTimer m_away;
    QString m_lastFailure;
};

StoreWorker::StoreWorker(const RelayLog &log, RelayMetrics &metrics, QObject *parent)
    : QObject(parent), m_log(log), m_metrics(metrics)
{
    m_clock.start();
    m_thread.setObjectName(QStringLiteral("store"));
    m_engine = new StoreEngine(*this);
    m_engine->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_engine, &QObject::deleteLater);
    m_thread.start();
    m_deadlines.setInterval(500);
    connect(&m_deadlines, &QTimer::timeout, this, &StoreWorker::expireWaiting);
}

StoreWorker::~StoreWorker()
{
    close();
}

bool StoreWorker::open(const QString &target, QString *error)
{
    bool ok = false;
    QString why;
    QMetaObject::invokeMethod(
        m_engine, [&] { ok = m_engine->store().open(target, &why); }, Qt::BlockingQueuedConnection);
    m_remote = IsDatabaseAddress(target);
    if (!ok && error)
        *error = why;
    return ok;
}

void StoreWorker::close()
{
    if (!m_thread.isRunning())
        return;
    QMetaObject::invokeMethod(
        m_engine, [engine = m_engine] { engine->finish(); }, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
    m_engine = nullptr;
    m_deadlines.stop();
    m_waiting.clear();
}

QString StoreWorker::writeFailure() const
{
    QMutexLocker lock(&m_failureMutex);
    return m_writeFailure;
}

bool StoreWorker::write(Run run)
{
    if (!m_engine)
        return false;
    if (m_queuedWrites.load() >= MaxQueuedWrites) {
        ++m_dropped;
        m_metrics.add(RelayMetrics::StoreDropped);
        if (!m_dropLogged)
            m_log.line(QStringLiteral("store queue full (%1 writes waiting for the database): newer history, "
                                      "e-mail and password writes are dropped until it drains")
                           .arg(MaxQueuedWrites));
        m_dropLogged = true;
        return false;
    }
    if (m_dropLogged && m_queuedWrites.load() < MaxQueuedWrites / 2) {
        m_log.line(QStringLiteral("store queue draining: %1 writes were dropped").arg(m_dropped));
        m_dropLogged = false;
    }
    ++m_queuedWrites;
    ++m_queued;
    m_metrics.set(RelayMetrics::StoreQueue, m_queued.load());
    QMetaObject::invokeMethod(
        m_engine,
        [engine = m_engine, run = std::move(run)] {
            engine->enqueue({run, 0, nullptr});
        },
        Qt::QueuedConnection);
    return true;
}

void StoreWorker::ask(QObject *context, Run run, std::function<void()> unavailable)
{
    if (!m_engine || m_waiting.size() >= MaxWaitingCalls) {
        QMetaObject::invokeMethod(context ? context : this, unavailable, Qt::QueuedConnection);
        return;
    }
    const quint64 ticket = m_nextTicket++;
    auto cancelled = std::make_shared<std::atomic<bool>>(false);
    m_waiting.insert(ticket, {context, context != nullptr, std::move(unavailable),
                              m_clock.elapsed() + ReadDeadlineMs, cancelled});
    if (!m_deadlines.isActive())
        m_deadlines.start();
    ++m_queued;
    m_metrics.set(RelayMetrics::StoreQueue, m_queued.load());
    QMetaObject::invokeMethod(
        m_engine,
        [engine = m_engine, run = std::move(run), ticket, cancelled] {
            engine->enqueue({run, ticket, cancelled});
        },
        Qt::QueuedConnection);
}

void StoreWorker::answered(quint64 ticket, const std::function<void()> &deliver)
{
    const auto it = m_waiting.find(ticket);
    if (it == m_waiting.end())
        return;
    const bool live = !it->hasContext || it->context;
    m_waiting.erase(it);
    if (live && deliver)
        deliver();
}

void StoreWorker::expireWaiting()
{
    const qint64 now = m_clock.elapsed();
    QList<std::function<void()>> expired;
    for (auto it = m_waiting.begin(); it != m_waiting.end();) {
        if (it->deadlineMs > now) {
            ++it;
            continue;
        }
        it->cancelled->store(true);
        if (!it->hasContext || it->context)
            expired.append(it->unavailable);
        it = m_waiting.erase(it);
    }
    if (m_waiting.isEmpty())
        m_deadlines.stop();
    for (const auto &f : std::as_const(expired))
        f();
}

void StoreWorker::account(const QString &name, QObject *context,
                          std::function<void(bool, const std::optional<AccountRecord> &)> done)
{
    ask(
        context,
        [name, done](RelayStore &store) -> std::function<void()> {
            auto found = store.account(name);
            return [done, found] { done(true, found); };
        },
        [done] { done(false, std::nullopt); });
}

void StoreWorker::createAccount(const AccountRecord &account, QObject *context,
                                std::function<void(bool, bool, const QString &)> done)
{
    ask(
        context,
        [account, done](RelayStore &store) -> std::function<void()> {
            const bool created = store.createAccount(account);
            return [done, created, failure = store.writeFailure()] { done(true, created, failure); };
        },
        [done] { done(false, false, QString()); });
}

void StoreWorker::reportsSince(const QDateTime &utc, QObject *context,
                               std::function<void(bool, const QList<StoredReport> &)> done)
{
    ask(
        context,
        [utc, done](RelayStore &store) -> std::function<void()> {
            auto reports = store.reportsSince(utc);
            return [done, reports = std::move(reports)] { done(true, reports); };
        },
        [done] { done(false, {}); });
}

void StoreWorker::retract(const QString &author, const QString &text, QObject *context,
                          std::function<void(bool, int, bool)> done)
{
    ask(
        context,
        [author, text, done](RelayStore &store) -> std::function<void()> {
            const int removed = store.deleteReports(author, text);
            const bool others = removed > 0 && !store.unreachable() && store.hasReportByOther(author, text);
            return [done, removed, others] { done(true, removed, others); };
        },
        [done] { done(false, 0, false); });
}

void StoreWorker::setEligible(const QString &name, bool eligible, QObject *context,
                              std::function<void(bool, bool, const QString &)> done)
{
    ask(
        context,
        [name, eligible, done](RelayStore &store) -> std::function<void()> {
            const bool marked = store.setEligible(name, eligible);
            return [done, marked, failure = store.writeFailure()] { done(true, marked, failure); };
        },
        [done] { done(false, false, QString()); });
}

void StoreWorker::addReport(const StoredReport &report, QObject *context, std::function<void()> stored)
{
    const auto done = [context = QPointer<QObject>(context), stored] {
        if (context && stored)
            stored();
    };
    const bool queued =
        write([report, done, told = bool(stored)](RelayStore &store) -> std::function<void()> {
            store.addReport(report);
            return told ? std::function<void()>(done) : std::function<void()>();
        });
    if (!queued && stored)
        QMetaObject::invokeMethod(this, done, Qt::QueuedConnection);
}

void StoreWorker::writeReport(const StoredReport &report, QObject *context, std::function<void(bool)> done)
{
    ask(
        context,
        [report, done](RelayStore &store) -> std::function<void()> {
            const bool stored = store.addReport(report);
            return [done, stored] { done(stored); };
        },
        [done] { done(false); });
}

void StoreWorker::setEmail(const QString &name, const QString &email)
{
    write([name, email](RelayStore &store) -> std::function<void()> {
        store.setEmail(name, email);
        return {};
    });
}

void StoreWorker::setPassword(const QString &name, const QByteArray &salt, const QByteArray &hash,
                              int iterations)
{
    write([this, name, salt, hash, iterations](RelayStore &store) -> std::function<void()> {
        if (store.setPassword(name, salt, hash, iterations))
            m_log.line(
                QStringLiteral("password hash of %1 raised to %2 iterations").arg(name).arg(iterations));
        return {};
    });
}

void StoreWorker::purgeBefore(const QDateTime &utc)
{
    write([utc](RelayStore &store) -> std::function<void()> {
        store.purgeBefore(utc);
        return {};
    });
}
