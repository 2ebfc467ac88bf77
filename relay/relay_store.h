#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

struct AccountRecord
{
    QString name;
    QByteArray salt;
    QByteArray hash;
    int iterations = 0;
    bool eligible = true;
    QString email;
};

struct StoredReport
{
    QDateTime receivedUtc;
    QString author;     // the account that sent it
    QStringList fields; // the seven report fields as relayed
    // Unique across the network when set: storing it again is a no-op, so
    // a write may be retried, or made by two relays, without a duplicate.
    QByteArray id;
};

// Account names match whatever their letter case; this is the form they
// are compared and stored under.
QString AccountKey(const QString &name);

// "postgresql://USER@HOST:PORT/DBNAME[?libpq options]"; false with a
// reason for anything else, a password in it included (libpq's
// PGPASSWORD and PGPASSFILE carry that, never the command line).
struct DatabaseAddress
{
    QString user;
    QString host;
    int port = 5432;
    QString name;
    QStringList options; // "key=value", handed to libpq
};
bool IsDatabaseAddress(const QString &target);
bool ParseDatabaseAddress(const QString &text, DatabaseAddress *out, QString *error);

// Accounts and report history in one SQLite file, or in a PostgreSQL
// database that several relays share. Every change is its own
// transaction, so the store is consistent whenever the relay stops. One
// thread uses a store: its connection belongs to the thread that opened it.
class RelayLog;

class RelayStore
{
public:
    RelayStore();
    ~RelayStore();
    RelayStore(const RelayStore &) = delete;
    RelayStore &operator=(const RelayStore &) = delete;

    // A file: creates missing folders 0700 and the file 0600 (SQLite gives
    // its WAL and SHM files the same mode), and refuses a file it cannot
    // write. A postgresql:// address: connects and creates the schema
    // where it is missing.
    bool open(const QString &target, QString *error);
    void close();
    bool isRemote() const { return m_remote; }

    // True while the database server cannot be reached: the last call
    // failed for that and nothing was done. Each call tries to connect
    // again first. A file is always reachable; its failures are final.
    bool unreachable() const { return m_unreachable; }
    QString unreachableReason() const { return m_unreachableWhy; }

    // Where a failed write is told, once when writing starts to fail and
    // once when it works again.
    void setLog(const RelayLog *log) { m_log = log; }
    // Why the last write failed; empty while writes succeed.
    QString writeFailure() const { return m_writeFailure; }

    std::optional<AccountRecord> account(const QString &name) const;
    // False when the name is taken (letter case does not matter) or the
    // write failed (writeFailure() says which).
    bool createAccount(const AccountRecord &account);
    bool setEligible(const QString &name, bool eligible);
    void setEmail(const QString &name, const QString &email);

    // A report whose id is stored already counts as stored.
    bool addReport(const StoredReport &report);
    // Oldest first.
    QList<StoredReport> reportsSince(const QDateTime &utc) const;
    // Removes the reports of author whose text is text; returns how many.
    int deleteReports(const QString &author, const QString &text);
    int purgeBefore(const QDateTime &utc);
    // Replaces the password digest, as when its cost is raised.
    bool setPassword(const QString &name, const QByteArray &salt, const QByteArray &hash, int iterations);
    // True when an author other than author has a stored report whose text
    // is text, letter case ignored.
    bool hasReportByOther(const QString &author, const QString &text) const;

    // For copying a whole store: every account, in name order.
    QList<AccountRecord> accounts() const;
    int accountCount() const;
    // Adds accounts and reports in one transaction; nothing on failure.
    bool importAll(const QList<AccountRecord> &accounts, const QList<StoredReport> &reports, QString *error);

private:
    bool openFile(const QString &path, QString *error);
    bool openServer(const QString &address, QString *error);
    bool createSchema(QString *error);
    // Before each call: false while the server stays out of reach.
    bool ready() const;
    // After a failed call: true when the link is gone rather than the
    // statement refused.
    bool linkLost(const QString &why) const;
    bool noteWrite(bool ok, const QString &error, const char *what);

    QString m_connection;
    bool m_remote = false;
    // Set by reads too, which are const for their callers.
    mutable bool m_unreachable = false;
    mutable QString m_unreachableWhy;
    const RelayLog *m_log = nullptr;
    QString m_writeFailure;
    int m_failedWrites = 0;
};
