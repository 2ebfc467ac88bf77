#include "relay_store.h"

#include "relay_log.h"

#include <QAtomicInt>
#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

// Creates the missing folders of path owner-only; folders that exist keep
// their mode, as the operator chose it.
bool makePrivateFolders(const QString &path, QString *error)
{
    QStringList missing;
    for (QDir dir(path); !dir.exists(); dir.setPath(QFileInfo(dir.path()).path())) {
        missing.prepend(dir.path());
        if (dir.isRoot())
            break;
    }
    for (const QString &folder : std::as_const(missing)) {
        if (::mkdir(QFile::encodeName(folder).constData(), 0700) != 0 && errno != EEXIST) {
            if (error)
                *error = QStringLiteral("cannot create %1: %2")
                             .arg(folder, QString::fromLocal8Bit(strerror(errno)));
            return false;
        }
    }
    return true;
}

// Hashes, salts and e-mail addresses are the relay's user's alone, in a
// file made before SQLite makes it and tightened when it is older.
bool makePrivateFile(const QString &path, QString *error)
{
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        if (error)
            *error = QString::fromLocal8Bit(strerror(errno));
        return false;
    }
    (void)::fchmod(fd, 0600);
    ::close(fd);
    for (const char *suffix : {"-wal", "-shm"})
        (void)::chmod(QByteArray(name + suffix).constData(), 0600);
    return true;
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
    if (!makePrivateFolders(info.absolutePath(), error) || !makePrivateFile(path, error))
        return false;
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    db.setDatabaseName(path);
    // Everything runs on the relay's one thread: a lock held elsewhere may
    // stall it this long at most before the write counts as failed.
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=1000"));
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
    // The schema and a stamp of this start in one write: a file the relay
    // cannot write (read-only, locked by another writer, a full disk)
    // stops it here rather than at a spotter's first report.
    QString why;
    const bool written =
        exec(db, QStringLiteral("BEGIN IMMEDIATE"), &why) &&
        exec(db,
             QStringLiteral(
                 "CREATE TABLE IF NOT EXISTS accounts (name_key TEXT PRIMARY KEY, name TEXT NOT NULL,"
                 " salt BLOB NOT NULL, hash BLOB NOT NULL, iterations INTEGER NOT NULL,"
                 " eligible INTEGER NOT NULL DEFAULT 1, email TEXT NOT NULL DEFAULT '')"),
             &why) &&
        exec(db,
             QStringLiteral("CREATE TABLE IF NOT EXISTS reports (id INTEGER PRIMARY KEY AUTOINCREMENT,"
                            " received_ms INTEGER NOT NULL, author_key TEXT NOT NULL, text TEXT NOT NULL,"
                            " state TEXT, county TEXT, zip TEXT, observer TEXT, location TEXT, stamp TEXT)"),
             &why) &&
        exec(db, QStringLiteral("CREATE INDEX IF NOT EXISTS reports_by_time ON reports(received_ms)"),
             &why) &&
        exec(db, QStringLiteral("CREATE INDEX IF NOT EXISTS reports_by_author ON reports(author_key)"),
             &why) &&
        exec(db, QStringLiteral("CREATE TABLE IF NOT EXISTS relay_meta (key TEXT PRIMARY KEY, value)"),
             &why) &&
        exec(db,
             QStringLiteral("INSERT OR REPLACE INTO relay_meta (key, value)"
                            " VALUES ('opened_ms', CAST(strftime('%s', 'now') AS INTEGER) * 1000)"),
             &why) &&
        exec(db, QStringLiteral("COMMIT"), &why);
    if (!written) {
        QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
        if (error)
            *error = QStringLiteral("the database cannot be written: %1").arg(why);
        return false;
    }
    return true;
}

bool RelayStore::noteWrite(bool ok, const QString &error, const char *what)
{
    if (ok) {
        if (!m_writeFailure.isEmpty() && m_log)
            m_log->line(QStringLiteral("database written again after %1 failed write%2")
                            .arg(m_failedWrites)
                            .arg(m_failedWrites == 1 ? QString() : QStringLiteral("s")));
        m_writeFailure.clear();
        m_failedWrites = 0;
        return true;
    }
    if (m_writeFailure.isEmpty() && m_log)
        m_log->line(QStringLiteral("database cannot be written (%1): %2; until it can, reports, accounts,"
                                   " bans and e-mail changes are not stored")
                        .arg(QLatin1String(what), error));
    m_writeFailure = error.isEmpty() ? QStringLiteral("unknown error") : error;
    ++m_failedWrites;
    return false;
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
    return noteWrite(q.exec(), q.lastError().text(), "new account") && q.numRowsAffected() == 1;
}

bool RelayStore::setEligible(const QString &name, bool eligible)
{
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.prepare(QStringLiteral("UPDATE accounts SET eligible = ? WHERE name_key = ?"));
    q.addBindValue(eligible ? 1 : 0);
    q.addBindValue(AccountKey(name));
    return noteWrite(q.exec(), q.lastError().text(), "eligibility") && q.numRowsAffected() == 1;
}

void RelayStore::setEmail(const QString &name, const QString &email)
{
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.prepare(QStringLiteral("UPDATE accounts SET email = COALESCE(?, '') WHERE name_key = ?"));
    q.addBindValue(email);
    q.addBindValue(AccountKey(name));
    noteWrite(q.exec(), q.lastError().text(), "e-mail address");
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
    return noteWrite(q.exec(), q.lastError().text(), "report");
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
    bool ok = db.transaction();
    QString why = db.lastError().text();
    QSqlQuery del(db);
    del.prepare(QStringLiteral("DELETE FROM reports WHERE id = ?"));
    for (qsizetype i = 0; ok && i < ids.size(); ++i) {
        del.addBindValue(ids.at(i));
        ok = del.exec();
        removed += ok ? del.numRowsAffected() : 0;
        why = del.lastError().text();
    }
    if (ok) {
        ok = db.commit();
        why = db.lastError().text();
    }
    if (!noteWrite(ok, why, "retraction")) {
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
    return noteWrite(q.exec(), q.lastError().text(), "history purge") ? q.numRowsAffected() : 0;
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
