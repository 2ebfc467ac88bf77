#include "admin_server.h"

#include "relay_log.h"
#include "relay_server.h"

#include <QTcpServer>
#include <QTcpSocket>

namespace {

struct CommandShape
{
    const char *name;
    int minFields; // after the command word
    int maxFields;
    const char *usage;
};

constexpr CommandShape kCommands[] = {
    {"list", 0, 0, "list                                   connected observers"},
    {"smg", 2, 2, "smg USER|* TEXT                        system message to a user or everybody"},
    {"wrn", 6, 7, "wrn TEXT STATE COUNTY ZIP OBSERVER LOCATION [TIME]   warning to everybody"},
    {"hub", 3, 3, "hub USER|* HOST PORT                   move clients to another relay"},
    {"gad", 4, 4, "gad USER|* IMAGE-URL TOOLTIP LINK-URL  graphic announcement"},
    {"ban", 1, 1, "ban USER                               withdraw eligibility and tell the client"},
    {"c12", 1, 1, "c12 USER                               end the user's client"},
    {"dis", 1, 1, "dis USER|*                             ask clients to disconnect (they reconnect)"},
    {"help", 0, 0, "help                                   this list"},
};

const CommandShape *shapeOf(const QString &word)
{
    for (const CommandShape &s : kCommands)
        if (word.compare(QLatin1String(s.name), Qt::CaseInsensitive) == 0)
            return &s;
    return nullptr;
}

QString reached(int n)
{
    if (n < 0)
        return QStringLiteral("error a field holds \"|\" or \"^\", which cannot travel in it");
    return QStringLiteral("ok %1 connection%2").arg(n).arg(n == 1 ? QString() : QStringLiteral("s"));
}

} // namespace

AdminServer::AdminServer(RelayServer &relay, const RelayLog &log, QObject *parent)
    : QObject(parent), m_relay(relay), m_log(log), m_server(new QTcpServer(this))
{
    connect(m_server, &QTcpServer::newConnection, this, &AdminServer::onNewConnection);
}

bool AdminServer::listen(const QHostAddress &address, quint16 port, QString *error)
{
    if (!address.isLoopback()) {
        if (error)
            *error = QStringLiteral("the admin port listens on a loopback address only");
        return false;
    }
    if (m_server->listen(address, port))
        return true;
    if (error)
        *error = m_server->errorString();
    return false;
}

QHostAddress AdminServer::serverAddress() const
{
    return m_server->serverAddress();
}

quint16 AdminServer::serverPort() const
{
    return m_server->serverPort();
}

QString AdminServer::helpText()
{
    QStringList lines;
    for (const CommandShape &s : kCommands)
        lines.append(QLatin1String(s.usage));
    return lines.join(u'\n');
}

QStringList AdminServer::splitCommand(const QString &line)
{
    QString text = line;
    while (text.endsWith(u'\r') || text.endsWith(u'\n'))
        text.chop(1);
    if (text.contains(u'\t')) {
        QStringList fields = text.split(u'\t');
        // Surplus words belong to the last field, as typed on a shell line.
        const CommandShape *shape = shapeOf(fields.first());
        if (shape && shape->maxFields > 0 && fields.size() > shape->maxFields + 1) {
            const QString last = fields.mid(shape->maxFields).join(u' ');
            fields = fields.mid(0, shape->maxFields);
            fields.append(last);
        }
        return fields;
    }
    text = text.trimmed();
    const qsizetype space = text.indexOf(u' ');
    const QString word = space < 0 ? text : text.left(space);
    const CommandShape *shape = shapeOf(word);
    if (!shape || space < 0)
        return word.isEmpty() ? QStringList() : QStringList{word};
    QStringList fields{word};
    QString rest = text.mid(space + 1).trimmed();
    while (!rest.isEmpty()) {
        if (fields.size() == shape->maxFields) {
            fields.append(rest);
            break;
        }
        const qsizetype next = rest.indexOf(u' ');
        if (next < 0) {
            fields.append(rest);
            break;
        }
        fields.append(rest.left(next));
        rest = rest.mid(next + 1).trimmed();
    }
    return fields;
}

QStringList AdminServer::execute(const QString &line)
{
    const QStringList parts = splitCommand(line);
    if (parts.isEmpty())
        return {QStringLiteral("error empty command; try help")};
    const CommandShape *shape = shapeOf(parts.first());
    if (!shape)
        return {QStringLiteral("error unknown command \"%1\"; try help").arg(parts.first())};
    const QStringList args = parts.mid(1);
    if (args.size() < shape->minFields || args.size() > shape->maxFields)
        return {QStringLiteral("error usage: %1").arg(QString::fromLatin1(shape->usage).simplified())};
    const QString name = QString::fromLatin1(shape->name);
    m_log.line(QStringLiteral("admin: %1").arg(parts.join(u' ').left(300)));

    if (name == QLatin1String("help"))
        return helpText().split(u'\n') << QStringLiteral("ok");
    if (name == QLatin1String("list")) {
        QStringList out;
        const QList<ObserverInfo> list = m_relay.observers();
        const auto flat = [](QString text) {
            for (QChar &c : text)
                if (c.unicode() < 0x20)
                    c = u' ';
            return text;
        };
        for (const ObserverInfo &o : list)
            out.append(QStringList{QStringLiteral("observer"), o.user, flat(o.state), flat(o.county),
                                   flat(o.zip), o.peer}
                           .join(u'\t'));
        out.append(QStringLiteral("ok %1 observer%2")
                       .arg(list.size())
                       .arg(list.size() == 1 ? QString() : QStringLiteral("s")));
        return out;
    }
    if (name == QLatin1String("smg"))
        return {reached(m_relay.sendSystemMessage(args.at(0), args.at(1)))};
    if (name == QLatin1String("wrn"))
        return {reached(m_relay.sendWarning(args))};
    if (name == QLatin1String("hub"))
        return {reached(m_relay.sendRedirect(args.at(0), args.at(1), args.at(2)))};
    if (name == QLatin1String("gad"))
        return {reached(m_relay.sendAnnouncement(args.at(0), args.at(1), args.at(2), args.at(3)))};
    if (name == QLatin1String("ban")) {
        int n = 0;
        if (!m_relay.ban(args.at(0), &n))
            return {QStringLiteral("error no account named %1").arg(args.at(0))};
        return {reached(n) + QStringLiteral(", account marked ineligible")};
    }
    if (name == QLatin1String("c12")) {
        if (args.at(0) == QLatin1String("*"))
            return {QStringLiteral("error c12 needs one user name")};
        return {reached(m_relay.terminate(args.at(0)))};
    }
    return {reached(m_relay.disconnectUser(args.at(0)))};
}

void AdminServer::onNewConnection()
{
    while (m_server->hasPendingConnections()) {
        QTcpSocket *socket = m_server->nextPendingConnection();
        if (!socket->peerAddress().isLoopback()) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        socket->setReadBufferSize(MaxLineBytes + 1);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }
}

void AdminServer::onReadyRead(QTcpSocket *socket)
{
    while (socket->canReadLine()) {
        const QString line = QString::fromUtf8(socket->readLine(MaxLineBytes + 1));
        QByteArray out;
        for (const QString &answer : execute(line))
            out += answer.toUtf8() + '\n';
        socket->write(out);
    }
    if (socket->bytesAvailable() > MaxLineBytes) {
        socket->write("error line too long\n");
        socket->disconnectFromHost();
    }
}
