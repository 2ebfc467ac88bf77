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
};

// Account names match whatever their letter case; this is the form they
// are compared and stored under.
QString AccountKey(const QString &name);

// Accounts and report history in one SQLite file. Every change is its own
// transaction, so the file is consistent whenever the relay stops.
class RelayLog;

class RelayStore
{
public:
    RelayStore();
    ~RelayStore();
    RelayStore(const RelayStore &) = delete;
    RelayStore &operator=(const RelayStore &) = delete;

    // Creates missing folders 0700 and the file 0600 (SQLite gives its WAL
    // and SHM files the same mode), and refuses a file it cannot write.
    bool open(const QString &path, QString *error);
    void close();

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

private:
    bool noteWrite(bool ok, const QString &error, const char *what);

    QString m_connection;
    const RelayLog *m_log = nullptr;
    QString m_writeFailure;
    int m_failedWrites = 0;
};
