#include "relay_process.h"

#include "raw_client.h"
#include "test_files.h"

#include "base/client_state.h"
#include "net/protocol.h"
#include "net/sign_on_message.h"

#include <QRegularExpression>
#include <QTcpSocket>
#include <QTest>

namespace RelayTestText {

QString SignOn(const QString &user, const QString &password, const QString &state, const QString &county,
               const QString &zip, bool withVersion)
{
    const SignOnMessage::Profile p{user,
                                   password,
                                   u"Pat"_s,
                                   {},
                                   u"Doe"_s,
                                   u"1 Main St"_s,
                                   u"Bel Air"_s,
                                   county,
                                   state,
                                   zip,
                                   user + u"@example.org"_s,
                                   u"Home"_s};
    return SignOnMessage::Build(p, withVersion ? ClientState::ClientVersion : QString());
}

QString NewAccount(const QString &user, const QString &password)
{
    return ServerMessage(u"NEW", {user, password});
}

QString Report(const QString &text, const QString &user, const QString &state, const QString &county)
{
    return ServerMessage(u"RPT", {text, state, county, u"21001"_s, user, u"Bel Air"_s});
}

} // namespace RelayTestText

bool JoinRelay(RawClient &client, quint16 port, const QString &user, const QString &county,
               const QString &from)
{
    if (!client.connectTo(port, 3000, from))
        return false;
    client.sendText(RelayTestText::NewAccount(user, u"pw"_s));
    client.sendText(RelayTestText::SignOn(user, u"pw"_s, u"MD"_s, county));
    return client.waitForCode(u"SGN"_s) == u":SGN|3|^"_s;
}

QByteArray HttpGet(quint16 port, const QByteArray &path)
{
    QTcpSocket s;
    s.connectToHost(u"127.0.0.1"_s, port);
    if (!s.waitForConnected(3000))
        return {};
    s.write("GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    QByteArray answer;
    (void)QTest::qWaitFor(
        [&] {
            answer += s.readAll();
            return s.state() == QAbstractSocket::UnconnectedState;
        },
        3000);
    return answer + s.readAll();
}

RelayProcess::RelayProcess() = default;

RelayProcess::~RelayProcess()
{
    if (isRunning()) {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
}

bool RelayProcess::start(const QStringList &extraArguments, const QString &databasePath)
{
    m_databasePath = databasePath.isEmpty() ? m_dir.filePath(u"relay.sqlite"_s) : databasePath;
    m_process.setProgram(QStringLiteral(NIMBREL_RELAY_BIN));
    m_process.setArguments(QStringList{u"--listen"_s, u"127.0.0.1:0"_s, u"--http"_s, u"127.0.0.1:0"_s,
                                       u"--admin-socket"_s, adminSocket(), u"--db"_s, m_databasePath} +
                           extraArguments);
    // The log goes to a file so that a chatty relay never blocks on a pipe.
    m_process.setStandardErrorFile(m_dir.filePath(u"relay.log"_s), QIODevice::Append);
    m_process.start();
    if (!m_process.waitForStarted(5000))
        return false;
    QByteArray out;
    const bool ready = QTest::qWaitFor(
        [&] {
            out += m_process.readAllStandardOutput();
            return out.contains('\n') || m_process.state() == QProcess::NotRunning;
        },
        10000);
    m_readyLine = QString::fromUtf8(out.left(out.indexOf('\n')));
    static const QRegularExpression form(
        u"^relay listening tcp=127\\.0\\.0\\.1:(\\d+) http=127\\.0\\.0\\.1:(\\d+)"
        u"(?: admin=127\\.0\\.0\\.1:(\\d+))? admin-socket=/\\S+$"_s);
    const QRegularExpressionMatch m = form.match(m_readyLine);
    if (!ready || !m.hasMatch())
        return false;
    m_tcpPort = quint16(m.captured(1).toUInt());
    m_httpPort = quint16(m.captured(2).toUInt());
    m_adminPort = quint16(m.captured(3).toUInt());
    return true;
}

bool RelayProcess::stop()
{
    if (!isRunning())
        return false;
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(3000);
        return false;
    }
    return m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
}

bool RelayProcess::kill()
{
    if (!isRunning())
        return false;
    m_process.kill();
    return m_process.waitForFinished(5000) && m_process.exitStatus() == QProcess::CrashExit;
}

bool RelayProcess::isRunning() const
{
    return m_process.state() != QProcess::NotRunning;
}

QString RelayProcess::log() const
{
    return QString::fromUtf8(TestFiles::read(m_dir.filePath(u"relay.log"_s)));
}

QString RelayProcess::admin(const QStringList &arguments, int *exitCode) const
{
    QProcess p;
    p.start(QStringLiteral(NIMBREL_RELAY_BIN),
            QStringList{u"admin"_s, u"--socket"_s, adminSocket()} + arguments);
    p.waitForFinished(10000);
    if (exitCode)
        *exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
}
