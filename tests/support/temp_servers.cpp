#include "temp_servers.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <algorithm>
#include <csignal>

#include <grp.h>
#include <pwd.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

quint16 FreeLoopbackPort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}

namespace {

bool AnswersPing(quint16 port)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(500))
        return false;
    socket.write("PING\r\n");
    if (!socket.waitForBytesWritten(500))
        return false;
    QByteArray answer;
    QDeadlineTimer deadline(1000);
    while (!answer.contains('\n') && !deadline.hasExpired() && socket.waitForReadyRead(200))
        answer += socket.readAll();
    return answer.startsWith("+PONG");
}

// initdb and postgres refuse to run as root: under root they run as the
// account the server package creates.
struct ServerAccount
{
    bool switchUser = false;
    uid_t uid = 0;
    gid_t gid = 0;
};

ServerAccount PostgresAccount()
{
    ServerAccount account;
    if (geteuid() != 0)
        return account;
    if (const passwd *pw = getpwnam("postgres")) {
        account.switchUser = true;
        account.uid = pw->pw_uid;
        account.gid = pw->pw_gid;
    }
    return account;
}

QString PostgresBin(const QString &program)
{
    QDir versions(u"/usr/lib/postgresql"_s);
    QStringList found = versions.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    // Highest version first: "15" sorts after "9" only numerically.
    std::sort(found.begin(), found.end(),
              [](const QString &a, const QString &b) { return a.toInt() > b.toInt(); });
    for (const QString &version : found) {
        const QString path = versions.filePath(version + u"/bin/"_s + program);
        if (QFile::exists(path))
            return path;
    }
    return program;
}

void RunAs(QProcess &process, const ServerAccount &account)
{
    if (!account.switchUser)
        return;
    process.setChildProcessModifier([account] {
        // Failing here leaves the child as root, which initdb then refuses.
        if (setgroups(0, nullptr) != 0 || setgid(account.gid) != 0 || setuid(account.uid) != 0)
            _exit(126);
    });
}

} // namespace

TempRedis::TempRedis() = default;

TempRedis::~TempRedis()
{
    stop();
}

bool TempRedis::start()
{
    if (isRunning())
        return true;
    if (!m_dir.isValid()) {
        m_error = u"no temporary folder"_s;
        return false;
    }
    if (m_port == 0)
        m_port = FreeLoopbackPort();
    // The append-only file lets a stopped and restarted server keep its
    // streams, as a production server does across a restart.
    m_process.setProgram(u"redis-server"_s);
    m_process.setArguments({u"--port"_s, QString::number(m_port), u"--bind"_s, u"127.0.0.1"_s, u"--dir"_s,
                            m_dir.path(), u"--save"_s, u""_s, u"--appendonly"_s, u"yes"_s,
                            u"--protected-mode"_s, u"no"_s, u"--daemonize"_s, u"no"_s, u"--loglevel"_s,
                            u"warning"_s});
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.start();
    if (!m_process.waitForStarted(5000)) {
        m_error = u"redis-server did not start: "_s + m_process.errorString();
        return false;
    }
    QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired()) {
        if (AnswersPing(m_port))
            return true;
        if (m_process.state() == QProcess::NotRunning)
            break;
        QThread::msleep(50);
    }
    m_error = u"redis-server did not answer: "_s + QString::fromLocal8Bit(m_process.readAll());
    stop();
    return false;
}

void TempRedis::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(2000);
    }
}

bool TempRedis::isRunning() const
{
    return m_process.state() != QProcess::NotRunning;
}

QString TempRedis::url() const
{
    return u"redis://127.0.0.1:%1"_s.arg(m_port);
}

TempPostgres::TempPostgres() = default;

TempPostgres::~TempPostgres()
{
    stop();
}

bool TempPostgres::run(const QString &program, const QStringList &arguments, QString *output) const
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    RunAs(process, PostgresAccount());
    process.start(PostgresBin(program), arguments);
    const bool finished = process.waitForStarted(5000) && process.waitForFinished(60000);
    const QString text = QString::fromLocal8Bit(process.readAll());
    if (output)
        *output = text;
    if (!finished || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        m_error = program + u" failed: "_s + text.trimmed();
        return false;
    }
    return true;
}

bool TempPostgres::start()
{
    if (isRunning())
        return true;
    if (!m_dir.isValid()) {
        m_error = u"no temporary folder"_s;
        return false;
    }
    const ServerAccount account = PostgresAccount();
    if (!m_initialised) {
        m_dataDir = m_dir.filePath(u"data"_s);
        if (account.switchUser) {
            // The server's account must reach its folder inside ours.
            QFile::setPermissions(m_dir.path(), QFile::permissions(m_dir.path()) | QFile::ExeOther);
            if (!QDir().mkpath(m_dataDir) ||
                chown(QFile::encodeName(m_dataDir).constData(), account.uid, account.gid) != 0) {
                m_error = u"cannot hand the data folder to the postgres account"_s;
                return false;
            }
        }
        if (!run(u"initdb"_s, {u"-D"_s, m_dataDir, u"-U"_s, u"nimbrel"_s, u"--auth=trust"_s, u"-E"_s,
                               u"UTF8"_s, u"--no-locale"_s, u"--no-sync"_s}))
            return false;
        m_port = FreeLoopbackPort();
    }
    m_process.setProgram(PostgresBin(u"postgres"_s));
    // Durability is not what the tests measure; a throwaway server skips it.
    m_process.setArguments({u"-D"_s, m_dataDir, u"-p"_s, QString::number(m_port), u"-c"_s,
                            u"listen_addresses=127.0.0.1"_s, u"-c"_s, u"unix_socket_directories="_s, u"-c"_s,
                            u"fsync=off"_s, u"-c"_s, u"synchronous_commit=off"_s, u"-c"_s,
                            u"full_page_writes=off"_s, u"-c"_s, u"max_connections=200"_s});
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    RunAs(m_process, account);
    m_process.start();
    if (!m_process.waitForStarted(5000)) {
        m_error = u"postgres did not start: "_s + m_process.errorString();
        return false;
    }
    if (!waitUntilReady(30000)) {
        m_error = u"postgres did not answer: "_s + QString::fromLocal8Bit(m_process.readAll());
        stop();
        return false;
    }
    if (!m_initialised) {
        if (!run(u"createdb"_s, {u"-h"_s, u"127.0.0.1"_s, u"-p"_s, QString::number(m_port), u"-U"_s,
                                 u"nimbrel"_s, u"nimbrel"_s}))
            return false;
        m_initialised = true;
    }
    return true;
}

bool TempPostgres::waitUntilReady(int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        QProcess probe;
        probe.start(PostgresBin(u"pg_isready"_s),
                    {u"-h"_s, u"127.0.0.1"_s, u"-p"_s, QString::number(m_port), u"-U"_s, u"nimbrel"_s});
        if (probe.waitForFinished(5000) && probe.exitCode() == 0)
            return true;
        if (m_process.state() == QProcess::NotRunning)
            return false;
        QThread::msleep(100);
    }
    return false;
}

void TempPostgres::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    // SIGINT is the server's fast shutdown: clients are cut off at once.
    ::kill(static_cast<pid_t>(m_process.processId()), SIGINT);
    if (!m_process.waitForFinished(15000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

bool TempPostgres::isRunning() const
{
    return m_process.state() != QProcess::NotRunning;
}

QString TempPostgres::url() const
{
    return u"postgresql://nimbrel@127.0.0.1:%1/nimbrel"_s.arg(m_port);
}

QString TempPostgres::query(const QString &sql, bool *ok) const
{
    QProcess psql;
    psql.start(u"psql"_s, {u"-h"_s, u"127.0.0.1"_s, u"-p"_s, QString::number(m_port), u"-U"_s, u"nimbrel"_s,
                           u"-d"_s, u"nimbrel"_s, u"-XAtq"_s, u"-v"_s, u"ON_ERROR_STOP=1"_s, u"-c"_s, sql});
    const bool done =
        psql.waitForFinished(30000) && psql.exitStatus() == QProcess::NormalExit && psql.exitCode() == 0;
    if (ok)
        *ok = done;
    if (!done)
        m_error = QString::fromLocal8Bit(psql.readAllStandardError()).trimmed();
    return QString::fromUtf8(psql.readAllStandardOutput()).trimmed();
}
