#include "relay_store.h"

#include <QAtomicInt>
#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace {

QAtomicInt g_connectionCounter;

bool exec(QSqlDatabase &db, const QString &sql, QString *error)
{
    QSqlQuery q(db);
    if (q.exec(sql))
        return true;
    if (error)
        *error = q.lastError().text();
    return false;
}

} // namespace

QString AccountKey(const QString &name)
{
    return name.toUpper();
}

RelayStore::RelayStore()
    : m_connection(QStringLiteral("nimbrel_relay_%1").arg(g_connectionCounter.fetchAndAddRelaxed(1)))
{
}

RelayStore::~RelayStore()
{
    close();
}

bool RelayStore::open(const QString &path, QString *error)
{
    const QFileInfo info(path);
    QDir().mkpath(info.absolutePath());
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    db.setDatabaseName(path);
    if (!db.open()) {
        if (error)
            *error = db.lastError().text();
        return false;
    }
    // WAL keeps readers and the one writer apart and survives a kill
    // between transactions; NORMAL sync is enough for a relay's history.
    QSqlQuery pragma(db);
    pragma.exec(QStringLiteral("PRAGMA journal_mode=WAL"));
    pragma.exec(QStringLiteral("PRAGMA synchronous=NORMAL"));
    return exec(db,
                QStringLiteral(
                    "CREATE TABLE IF NOT EXISTS accounts (name_key TEXT PRIMARY KEY, name TEXT NOT NULL,"
                    " salt BLOB NOT NULL, hash BLOB NOT NULL, iterations INTEGER NOT NULL,"
                    " eligible INTEGER NOT NULL DEFAULT 1, email TEXT NOT NULL DEFAULT '')"),
                error) &&
           exec(db,
                QStringLiteral(
                    "CREATE TABLE IF NOT EXISTS reports (id INTEGER PRIMARY KEY AUTOINCREMENT,"
                    " received_ms INTEGER NOT NULL, author_key TEXT NOT NULL, text TEXT NOT NULL,"
                    " state TEXT, county TEXT, zip TEXT, observer TEXT, location TEXT, stamp TEXT)"),
                error) &&
           exec(db, QStringLiteral("CREATE INDEX IF NOT EXISTS reports_by_time ON reports(received_ms)"),
                error);
}

void RelayStore::close()
{
    if (!QSqlDatabase::contains(m_connection))
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        if (db.isOpen()) {
            QSqlQuery(db).exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(m_connection);
}

std::optional<AccountRecord> RelayStore::account(const QString &name) const
{
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.prepare(QStringLiteral(
        "SELECT name, salt, hash, iterations, eligible, email FROM accounts WHERE name_key = ?"));
    q.addBindValue(AccountKey(name));
    if (!q.exec() || !q.next())
        return std::nullopt;
    AccountRecord a;
    a.name = q.value(0).toString();
    a.salt = q.value(1).toByteArray();
    a.hash = q.value(2).toByteArray();
    a.iterations = q.value(3).toInt();
    a.eligible = q.value(4).toInt() != 0;
    a.email = q.value(5).toString();
    return a;
}

bool RelayStore::createAccount(const AccountRecord &account)
{
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.prepare(QStringLiteral(
        "INSERT OR IGNORE INTO accounts (name_key, name, salt, hash, iterations, eligible, email)"
        " VALUES (?, ?, ?, ?, ?, ?, COALESCE(?, ''))"));
    q.addBindValue(AccountKey(account.name));
    q.addBindValue(account.name);
    q.addBindValue(account.salt);
    q.addBindValue(account.hash);
    q.addBindValue(account.iterations);
    q.addBindValue(account.eligible ? 1 : 0);
    q.addBindValue(account.email);
    return q.exec() && q.numRowsAffected() == 1;
}

bool RelayStore::setEligible(const QString &name, bool eligible)
{
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.prepare(QStringLiteral("UPDATE accounts SET eligible = ? WHERE name_key = ?"));
    q.addBindValue(eligible ? 1 : 0);
    q.addBindValue(AccountKey(name));
    return q.exec() && q.numRowsAffected() == 1;
}

void RelayStore::setEmail(const QString &name, const QString &email)
{
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.prepare(QStringLiteral("UPDATE accounts SET email = COALESCE(?, '') WHERE name_key = ?"));
    q.addBindValue(email);
    q.addBindValue(AccountKey(name));
    q.exec();
}

bool RelayStore::addReport(const StoredReport &report)
{
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.prepare(
        QStringLiteral("INSERT INTO reports (received_ms, author_key, text, state, county, zip, observer,"
                       " location, stamp) VALUES (?, ?, COALESCE(?, ''), ?, ?, ?, ?, ?, ?)"));
    q.addBindValue(report.receivedUtc.toMSecsSinceEpoch());
    q.addBindValue(AccountKey(report.author));
    for (int i = 0; i < 7; ++i)
        q.addBindValue(report.fields.value(i));
    return q.exec();
}

QList<StoredReport> RelayStore::reportsSince(const QDateTime &utc) const
{
    QList<StoredReport> out;
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.setForwardOnly(true);
    q.prepare(
        QStringLiteral("SELECT received_ms, author_key, text, state, county, zip, observer, location, stamp"
                       " FROM reports WHERE received_ms >= ? ORDER BY received_ms, id"));
    q.addBindValue(utc.toMSecsSinceEpoch());
    if (!q.exec())
        return out;
    while (q.next()) {
        StoredReport r;
        r.receivedUtc = QDateTime::fromMSecsSinceEpoch(q.value(0).toLongLong(), Qt::UTC);
        r.author = q.value(1).toString();
        for (int i = 2; i < 9; ++i)
            r.fields.append(q.value(i).toString());
        out.append(r);
    }
    return out;
}

int RelayStore::deleteReports(const QString &author, const QString &text)
{
    // Letter case is ignored, as clients ignore it when they remove rows;
    // SQLite's own case folding knows ASCII only, so compare here.
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QSqlQuery find(db);
    find.prepare(QStringLiteral("SELECT id, text FROM reports WHERE author_key = ?"));
    find.addBindValue(AccountKey(author));
    if (!find.exec())
        return 0;
    QVariantList ids;
    while (find.next())
        if (find.value(1).toString().compare(text, Qt::CaseInsensitive) == 0)
            ids.append(find.value(0));
    if (ids.isEmpty())
        return 0;
    // One transaction for all of them: one commit, and never half a retraction.
    int removed = 0;
    db.transaction();
    QSqlQuery del(db);
    del.prepare(QStringLiteral("DELETE FROM reports WHERE id = ?"));
    for (const QVariant &id : std::as_const(ids)) {
        del.addBindValue(id);
        if (del.exec())
            removed += del.numRowsAffected();
    }
    if (!db.commit()) {
        db.rollback();
        return 0;
    }
    return removed;
}

int RelayStore::purgeBefore(const QDateTime &utc)
{
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.prepare(QStringLiteral("DELETE FROM reports WHERE received_ms < ?"));
    q.addBindValue(utc.toMSecsSinceEpoch());
    return q.exec() ? q.numRowsAffected() : 0;
}

bool RelayStore::setPassword(const QString &name, const QByteArray &salt, const QByteArray &hash,
                             int iterations)
{
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.prepare(QStringLiteral("UPDATE accounts SET salt = ?, hash = ?, iterations = ? WHERE name_key = ?"));
    q.addBindValue(salt);
    q.addBindValue(hash);
    q.addBindValue(iterations);
    q.addBindValue(AccountKey(name));
    return q.exec() && q.numRowsAffected() == 1;
}

bool RelayStore::hasReportByOther(const QString &author, const QString &text) const
{
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    // The length narrows the candidates; the comparison folds case beyond ASCII.
    q.prepare(QStringLiteral("SELECT text FROM reports WHERE author_key != ? AND length(text) = length(?)"));
    q.addBindValue(AccountKey(author));
    q.addBindValue(text);
    if (!q.exec())
        return false;
    while (q.next())
        if (q.value(0).toString().compare(text, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}
