#include "relay_store.h"

#include "relay_log.h"

#include <QAtomicInt>
#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <QUrlQuery>
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

bool IsDatabaseAddress(const QString &target)
{
    return target.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive) ||
           target.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive);
}

bool ParseDatabaseAddress(const QString &text, DatabaseAddress *out, QString *error)
{
    const auto fail = [&](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    const QUrl url(text, QUrl::StrictMode);
    if (!IsDatabaseAddress(text) || !url.isValid())
        return fail(QStringLiteral("not a database address of the form postgresql://USER@HOST:PORT/DBNAME"));
    // Command lines are visible to every local user, and land in shell
    // histories and unit files.
    if (!url.password().isEmpty() || text.section(u'@', 0, 0).mid(text.indexOf(u"//") + 2).contains(u':'))
        return fail(
            QStringLiteral("the database address holds a password: leave it out and give it in "
                           "PGPASSWORD or a password file (~/.pgpass, or the file PGPASSFILE names)"));
    DatabaseAddress a;
    a.user = url.userName();
    a.host = url.host();
    a.port = url.port(5432);
    a.name = url.path().mid(1);
    if (a.host.isEmpty() || a.name.isEmpty() || a.name.contains(u'/'))
        return fail(QStringLiteral("the database address needs a host and a database name: "
                                   "postgresql://USER@HOST:PORT/DBNAME"));
    for (const auto &[key, value] : QUrlQuery(url).queryItems(QUrl::FullyDecoded)) {
        if (key.compare(QLatin1String("password"), Qt::CaseInsensitive) == 0)
            return fail(QStringLiteral("the database address holds a password: give it in PGPASSWORD or "
                                       "a password file instead"));
        if (key.isEmpty() || value.contains(u' ') || value.contains(u';') || value.contains(u'\''))
            return fail(QStringLiteral("unusable database option: %1").arg(key));
        a.options.append(key + u'=' + value);
    }
    *out = a;
    return true;
}

RelayStore::RelayStore()
    : m_connection(QStringLiteral("nimbrel_relay_%1").arg(g_connectionCounter.fetchAndAddRelaxed(1)))
{
}

RelayStore::~RelayStore()
{
    close();
}

bool RelayStore::open(const QString &target, QString *error)
{
    return IsDatabaseAddress(target) ? openServer(target, error) : openFile(target, error);
}

bool RelayStore::openFile(const QString &path, QString *error)
{
    const QFileInfo info(path);
    if (!makePrivateFolders(info.absolutePath(), error) || !makePrivateFile(path, error))
        return false;
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    db.setDatabaseName(path);
    // A lock held elsewhere may stall the store's thread this long at most
    // before the write counts as failed.
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
    return createSchema(error);
}

bool RelayStore::openServer(const QString &address, QString *error)
{
    DatabaseAddress a;
    if (!ParseDatabaseAddress(address, &a, error))
        return false;
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL"))) {
        if (error)
            *error = QStringLiteral("Qt's PostgreSQL driver is not installed (Debian: libqt6sql6-psql)");
        return false;
    }
    m_remote = true;
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_connection);
    db.setHostName(a.host);
    db.setPort(a.port);
    db.setUserName(a.user);
    db.setDatabaseName(a.name);
    // A server that stops answering is noticed within some 20 s, not
    // after the system's TCP time-outs; the operator's options come last
    // and win.
    db.setConnectOptions(
        (QStringList{QStringLiteral("connect_timeout=5"), QStringLiteral("keepalives=1"),
                     QStringLiteral("keepalives_idle=10"), QStringLiteral("keepalives_interval=3"),
                     QStringLiteral("keepalives_count=3"), QStringLiteral("application_name=nimbrel-relay")} +
         a.options)
            .join(u';'));
    if (!db.open()) {
        if (error)
            *error = db.lastError().text().trimmed();
        return false;
    }
    return createSchema(error);
}

bool RelayStore::createSchema(QString *error)
{
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    // The schema and, in a file, a stamp of this start in one write: a
    // store the relay cannot write (read-only, locked by another writer, a
    // full disk, no rights) stops it here rather than at a spotter's
    // first report. Relays starting together take turns on a server.
    const QString blob = m_remote ? QStringLiteral("BYTEA") : QStringLiteral("BLOB");
    const QString serial = m_remote ? QStringLiteral("BIGSERIAL PRIMARY KEY")
                                    : QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT");
    const QString integer = m_remote ? QStringLiteral("BIGINT") : QStringLiteral("INTEGER");
    QStringList steps{
        m_remote ? QStringLiteral("BEGIN") : QStringLiteral("BEGIN IMMEDIATE"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS accounts (name_key TEXT PRIMARY KEY, name TEXT NOT NULL,"
                       " salt %1 NOT NULL, hash %1 NOT NULL, iterations INTEGER NOT NULL,"
                       " eligible INTEGER NOT NULL DEFAULT 1, email TEXT NOT NULL DEFAULT '')")
            .arg(blob),
        QStringLiteral("CREATE TABLE IF NOT EXISTS reports (id %1, received_ms %2 NOT NULL,"
                       " author_key TEXT NOT NULL, text TEXT NOT NULL, state TEXT, county TEXT, zip TEXT,"
                       " observer TEXT, location TEXT, stamp TEXT, uid TEXT)")
            .arg(serial, integer),
        QStringLiteral("CREATE INDEX IF NOT EXISTS reports_by_time ON reports(received_ms)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS reports_by_author ON reports(author_key)"),
    };
    if (m_remote) {
        // "already exists, skipping" on every start is no news.
        steps.prepend(QStringLiteral("SET client_min_messages TO WARNING"));
        steps.insert(2, QStringLiteral("SELECT pg_advisory_xact_lock(5150)"));
    } else {
        steps << QStringLiteral("CREATE TABLE IF NOT EXISTS relay_meta (key TEXT PRIMARY KEY, value)")
              << QStringLiteral("INSERT OR REPLACE INTO relay_meta (key, value)"
                                " VALUES ('opened_ms', CAST(strftime('%s', 'now') AS INTEGER) * 1000)");
    }
    QString why;
    bool written = true;
    for (const QString &sql : std::as_const(steps))
        if (!(written = exec(db, sql, &why)))
            break;
    // Files from before report ids lack the column.
    if (written && !m_remote) {
        QSqlQuery columns(db);
        bool hasId = false;
        if (columns.exec(QStringLiteral("PRAGMA table_info(reports)")))
            while (columns.next())
                hasId = hasId || columns.value(1).toString() == QLatin1String("uid");
        written = hasId || exec(db, QStringLiteral("ALTER TABLE reports ADD COLUMN uid TEXT"), &why);
    }
    written =
        written &&
        exec(db, QStringLiteral("CREATE UNIQUE INDEX IF NOT EXISTS reports_by_id ON reports(uid)"), &why) &&
        exec(db, QStringLiteral("COMMIT"), &why);
    if (!written) {
        QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
        if (error)
            *error = QStringLiteral("the database cannot be written: %1").arg(why.trimmed());
        return false;
    }
    return true;
}

bool RelayStore::ready() const
{
    if (!m_unreachable)
        return true;
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    db.close();
    if (!db.open()) {
        m_unreachableWhy = db.lastError().text().simplified();
        return false;
    }
    m_unreachable = false;
    m_unreachableWhy.clear();
    return true;
}

bool RelayStore::linkLost(const QString &why) const
{
    if (!m_remote)
        return false;
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    // A refused statement leaves the link working; a lost server does not.
    if (db.isOpen() && QSqlQuery(db).exec(QStringLiteral("SELECT 1")))
        return false;
    m_unreachable = true;
    m_unreachableWhy = why.simplified().isEmpty() ? QStringLiteral("connection lost") : why.simplified();
    return true;
}

bool RelayStore::noteWrite(bool ok, const QString &error, const char *what)
{
    if (!ok && linkLost(error))
        return false;
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
            if (!m_remote)
                QSqlQuery(db).exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(m_connection);
}

namespace {

AccountRecord accountFrom(const QSqlQuery &q)
{
    AccountRecord a;
    a.name = q.value(0).toString();
    a.salt = q.value(1).toByteArray();
    a.hash = q.value(2).toByteArray();
    a.iterations = q.value(3).toInt();
    a.eligible = q.value(4).toInt() != 0;
    a.email = q.value(5).toString();
    return a;
}

QVariant idValue(const QByteArray &id)
{
    return id.isEmpty() ? QVariant(QMetaType::fromType<QString>()) : QVariant(QString::fromLatin1(id));
}

const QString InsertAccount =
    QStringLiteral("INSERT INTO accounts (name_key, name, salt, hash, iterations, eligible, email)"
                   " VALUES (?, ?, ?, ?, ?, ?, COALESCE(?, '')) ON CONFLICT DO NOTHING");
const QString InsertReport = QStringLiteral(
    "INSERT INTO reports (uid, received_ms, author_key, text, state, county, zip, observer,"
    " location, stamp) VALUES (?, ?, ?, COALESCE(?, ''), ?, ?, ?, ?, ?, ?) ON CONFLICT DO NOTHING");

void bindAccount(QSqlQuery &q, const AccountRecord &account)
{
    q.addBindValue(AccountKey(account.name));
    q.addBindValue(account.name);
    q.addBindValue(account.salt);
    q.addBindValue(account.hash);
    q.addBindValue(account.iterations);
    q.addBindValue(account.eligible ? 1 : 0);
    q.addBindValue(account.email);
}

void bindReport(QSqlQuery &q, const StoredReport &report)
{
    q.addBindValue(idValue(report.id));
    q.addBindValue(report.receivedUtc.toMSecsSinceEpoch());
    q.addBindValue(AccountKey(report.author));
    for (int i = 0; i < 7; ++i)
        q.addBindValue(report.fields.value(i));
}

} // namespace

std::optional<AccountRecord> RelayStore::account(const QString &name) const
{
    if (!ready())
        return std::nullopt;
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.prepare(QStringLiteral(
        "SELECT name, salt, hash, iterations, eligible, email FROM accounts WHERE name_key = ?"));
    q.addBindValue(AccountKey(name));
    if (!q.exec()) {
        linkLost(q.lastError().text());
        return std::nullopt;
    }
    if (!q.next())
        return std::nullopt;
    return accountFrom(q);
}

QList<AccountRecord> RelayStore::accounts() const
{
    QList<AccountRecord> out;
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.setForwardOnly(true);
    if (q.exec(QStringLiteral(
            "SELECT name, salt, hash, iterations, eligible, email FROM accounts ORDER BY name_key")))
        while (q.next())
            out.append(accountFrom(q));
    return out;
}

int RelayStore::accountCount() const
{
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    return q.exec(QStringLiteral("SELECT COUNT(*) FROM accounts")) && q.next() ? q.value(0).toInt() : -1;
}

bool RelayStore::importAll(const QList<AccountRecord> &accounts, const QList<StoredReport> &reports,
                           QString *error)
{
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QString why;
    bool ok = db.transaction();
    why = db.lastError().text();
    QSqlQuery q(db);
    q.prepare(InsertAccount);
    for (qsizetype i = 0; ok && i < accounts.size(); ++i) {
        bindAccount(q, accounts.at(i));
        ok = q.exec();
        why = q.lastError().text();
    }
    QSqlQuery r(db);
    r.prepare(InsertReport);
    for (qsizetype i = 0; ok && i < reports.size(); ++i) {
        bindReport(r, reports.at(i));
        ok = r.exec();
        why = r.lastError().text();
    }
    if (ok) {
        ok = db.commit();
        why = db.lastError().text();
    }
    if (!ok) {
        db.rollback();
        if (error)
            *error = why.trimmed();
    }
    return ok;
}

bool RelayStore::createAccount(const AccountRecord &account)
{
    if (!ready())
        return false;
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.prepare(InsertAccount);
    bindAccount(q, account);
    return noteWrite(q.exec(), q.lastError().text(), "new account") && q.numRowsAffected() == 1;
}

bool RelayStore::setEligible(const QString &name, bool eligible)
{
    if (!ready())
        return false;
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.prepare(QStringLiteral("UPDATE accounts SET eligible = ? WHERE name_key = ?"));
    q.addBindValue(eligible ? 1 : 0);
    q.addBindValue(AccountKey(name));
    return noteWrite(q.exec(), q.lastError().text(), "eligibility") && q.numRowsAffected() == 1;
}

void RelayStore::setEmail(const QString &name, const QString &email)
{
    if (!ready())
        return;
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.prepare(QStringLiteral("UPDATE accounts SET email = COALESCE(?, '') WHERE name_key = ?"));
    q.addBindValue(email);
    q.addBindValue(AccountKey(name));
    noteWrite(q.exec(), q.lastError().text(), "e-mail address");
}

bool RelayStore::addReport(const StoredReport &report)
{
    if (!ready())
        return false;
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.prepare(InsertReport);
    bindReport(q, report);
    return noteWrite(q.exec(), q.lastError().text(), "report");
}

QList<StoredReport> RelayStore::reportsSince(const QDateTime &utc) const
{
    QList<StoredReport> out;
    if (!ready())
        return out;
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.setForwardOnly(true);
    q.prepare(QStringLiteral(
        "SELECT received_ms, author_key, text, state, county, zip, observer, location, stamp, uid"
        " FROM reports WHERE received_ms >= ? ORDER BY received_ms, id"));
    q.addBindValue(utc.toMSecsSinceEpoch());
    if (!q.exec()) {
        linkLost(q.lastError().text());
        return out;
    }
    while (q.next()) {
        StoredReport r;
        r.receivedUtc = QDateTime::fromMSecsSinceEpoch(q.value(0).toLongLong(), Qt::UTC);
        r.author = q.value(1).toString();
        for (int i = 2; i < 9; ++i)
            r.fields.append(q.value(i).toString());
        r.id = q.value(9).toString().toLatin1();
        out.append(r);
    }
    return out;
}

int RelayStore::deleteReports(const QString &author, const QString &text)
{
    if (!ready())
        return 0;
    // Letter case is ignored, as clients ignore it when they remove rows;
    // SQLite's own case folding knows ASCII only, so compare here.
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QSqlQuery find(db);
    find.prepare(QStringLiteral("SELECT id, text FROM reports WHERE author_key = ?"));
    find.addBindValue(AccountKey(author));
    if (!find.exec()) {
        linkLost(find.lastError().text());
        return 0;
    }
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
    if (!ready())
        return 0;
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.prepare(QStringLiteral("DELETE FROM reports WHERE received_ms < ?"));
    q.addBindValue(utc.toMSecsSinceEpoch());
    return noteWrite(q.exec(), q.lastError().text(), "history purge") ? q.numRowsAffected() : 0;
}

bool RelayStore::setPassword(const QString &name, const QByteArray &salt, const QByteArray &hash,
                             int iterations)
{
    if (!ready())
        return false;
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.prepare(QStringLiteral("UPDATE accounts SET salt = ?, hash = ?, iterations = ? WHERE name_key = ?"));
    q.addBindValue(salt);
    q.addBindValue(hash);
    q.addBindValue(iterations);
    q.addBindValue(AccountKey(name));
    const bool ok = q.exec();
    if (!ok)
        linkLost(q.lastError().text());
    return ok && q.numRowsAffected() == 1;
}

bool RelayStore::hasReportByOther(const QString &author, const QString &text) const
{
    if (!ready())
        return false;
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    // The length narrows the candidates; the comparison folds case beyond ASCII.
    q.prepare(QStringLiteral(
        "SELECT text FROM reports WHERE author_key != ? AND length(text) = length(CAST(? AS TEXT))"));
    q.addBindValue(AccountKey(author));
    q.addBindValue(text);
    if (!q.exec()) {
        linkLost(q.lastError().text());
        return false;
    }
    while (q.next())
        if (q.value(0).toString().compare(text, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}
