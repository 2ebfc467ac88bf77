#include "relay_process.h"

#include "raw_client.h"

#include "net/protocol.h"

#include <QFile>
#include <QRegularExpression>
#include <QTest>

namespace RelayTestText {

QString SignOn(const QString &user, const QString &password, const QString &state, const QString &county,
               const QString &zip, bool withVersion)
{
    QStringList fields{user,
                       password,
                       QStringLiteral("Pat"),
                       QString(),
                       QStringLiteral("Doe"),
                       QStringLiteral("1 Main St"),
                       QStringLiteral("Bel Air"),
                       county,
                       state,
                       zip,
                       user + QStringLiteral("@example.org"),
                       QStringLiteral("Home")};
    if (withVersion)
        fields.append(QStringLiteral("2.4"));
    return ServerMessage(QStringLiteral("SGN"), fields);
}

QString NewAccount(const QString &user, const QString &password)
{
    return ServerMessage(QStringLiteral("NEW"), {user, password});
}

QString Report(const QString &text, const QString &user, const QString &state, const QString &county)
{
    return ServerMessage(QStringLiteral("RPT"),
                         {text, state, county, QStringLiteral("21001"), user, QStringLiteral("Bel Air")});
}

} // namespace RelayTestText

bool JoinRelay(RawClient &client, quint16 port, const QString &user, const QString &county,
               const QString &from)
{
    using namespace RelayTestText;
    if (!client.connectTo(port, 3000, from))
        return false;
    client.sendText(NewAccount(user, QStringLiteral("pw")));
    client.sendText(SignOn(user, QStringLiteral("pw"), QStringLiteral("MD"), county));
    return client.waitForCode(QStringLiteral("SGN")) == QStringLiteral(":SGN|3|^");
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
    m_databasePath = databasePath.isEmpty() ? m_dir.filePath(QStringLiteral("relay.sqlite")) : databasePath;
    m_process.setProgram(QStringLiteral(NIMBREL_RELAY_BIN));
    m_process.setArguments(QStringList{QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"),
                                       QStringLiteral("--http"), QStringLiteral("127.0.0.1:0"),
                                       QStringLiteral("--admin"), QStringLiteral("127.0.0.1:0"),
                                       QStringLiteral("--db"), m_databasePath} +
                           extraArguments);
    // The log goes to a file so that a chatty relay never blocks on a pipe.
    m_process.setStandardErrorFile(m_dir.filePath(QStringLiteral("relay.log")), QIODevice::Append);
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
        QStringLiteral("^relay listening tcp=127\\.0\\.0\\.1:(\\d+) http=127\\.0\\.0\\.1:(\\d+) "
                       "admin=127\\.0\\.0\\.1:(\\d+)$"));
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

bool RelayProcess::isRunning() const
{
    return m_process.state() != QProcess::NotRunning;
}

QString RelayProcess::log() const
{
    QFile f(m_dir.filePath(QStringLiteral("relay.log")));
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

QString RelayProcess::admin(const QStringList &arguments, int *exitCode) const
{
    QProcess p;
    p.start(QStringLiteral(NIMBREL_RELAY_BIN), QStringList{QStringLiteral("admin"), QStringLiteral("--to"),
                                                           QStringLiteral("127.0.0.1:%1").arg(m_adminPort)} +
                                                   arguments);
    p.waitForFinished(10000);
    if (exitCode)
        *exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
}
