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
class RelayStore
{
public:
    RelayStore();
    ~RelayStore();
    RelayStore(const RelayStore &) = delete;
    RelayStore &operator=(const RelayStore &) = delete;

    bool open(const QString &path, QString *error);
    void close();

    std::optional<AccountRecord> account(const QString &name) const;
    // False when the name is taken (letter case does not matter).
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
    QString m_connection;
};
