#include "address_file_server.h"

#include "descriptor_limit.h"
#include "relay_log.h"
#include "relay_metrics.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace {

const char *reasonFor(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 400:
        return "Bad Request";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 431:
        return "Request Header Fields Too Large";
    case 503:
        return "Service Unavailable";
    default:
        return "Error";
    }
}

QHostAddress asIPv4(const QHostAddress &address)
{
    bool ok = false;
    const quint32 v4 = address.toIPv4Address(&ok);
    return ok ? QHostAddress(v4) : address;
}

} // namespace

AddressFileServer::AddressFileServer(const RelayLog &log, QHostAddress relayAddress, quint16 relayPort,
                                     QObject *parent)
    : QObject(parent), m_log(log), m_relayAddress(relayAddress), m_relayPort(relayPort),
      m_server(new QTcpServer(this))
{
    connect(m_server, &QTcpServer::newConnection, this, &AddressFileServer::onNewConnection);
    DescriptorLimit::keepAccepting(m_server, m_log, QStringLiteral("address file"));
}

bool AddressFileServer::listen(const QHostAddress &address, quint16 port, QString *error)
{
    if (m_server->listen(address, port))
        return true;
    if (error)
        *error = m_server->errorString();
    return false;
}

QHostAddress AddressFileServer::serverAddress() const
{
    return m_server->serverAddress();
}

quint16 AddressFileServer::serverPort() const
{
    return m_server->serverPort();
}

AddressFileServer::Answer AddressFileServer::answerFor(const QByteArray &requestLine,
                                                       const QByteArray &addressText)
{
    const QList<QByteArray> parts = requestLine.trimmed().split(' ');
    if (parts.size() != 3 || !parts.at(2).startsWith("HTTP/"))
        return {400, "Bad Request\n"};
    if (parts.at(0) != "GET" && parts.at(0) != "HEAD")
        return {405, "Method Not Allowed\n"};
    QByteArray path = parts.at(1);
    const qsizetype query = path.indexOf('?');
    if (query >= 0)
        path.truncate(query);
    if (path != "/weather/WXIP.txt")
        return {404, "Not Found\n"};
    return {200, addressText};
}

std::optional<AddressFileServer::Answer> AddressFileServer::operatorAnswer(const QByteArray &requestLine,
                                                                           const RelayMetrics &metrics)
{
    const QList<QByteArray> parts = requestLine.trimmed().split(' ');
    if (parts.size() != 3 || (parts.at(0) != "GET" && parts.at(0) != "HEAD"))
        return std::nullopt;
    QByteArray path = parts.at(1);
    path.truncate(path.indexOf('?') < 0 ? path.size() : path.indexOf('?'));
    if (path == "/health") {
        const QString reason = metrics.unhealthyReason();
        if (reason.isEmpty())
            return Answer{200, "ok\n"};
        return Answer{503, reason.toUtf8() + '\n'};
    }
    if (path == "/metrics")
        return Answer{200, metrics.exposition(), "text/plain; version=0.0.4; charset=utf-8"};
    return std::nullopt;
}

void AddressFileServer::onNewConnection()
{
    while (m_server->hasPendingConnections()) {
        QTcpSocket *socket = m_server->nextPendingConnection();
        const QHostAddress peer = socket->peerAddress();
        if (m_open >= MaxConnections || m_openFrom.value(peer) >= MaxPerAddress) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        ++m_open;
        ++m_openFrom[peer];
        socket->setReadBufferSize(MaxRequestBytes + 1);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QObject::destroyed, this, [this, peer] {
            --m_open;
            if (--m_openFrom[peer] <= 0)
                m_openFrom.remove(peer);
        });
        // A client that never finishes its request does not keep a slot.
        QTimer::singleShot(HeaderDeadlineMs, socket, [socket] { socket->abort(); });
    }
}

void AddressFileServer::onReadyRead(QTcpSocket *socket)
{
    if (socket->property("answered").toBool()) {
        socket->readAll();
        return;
    }
    QByteArray request = socket->property("request").toByteArray() + socket->readAll();
    const qsizetype end = std::max(request.indexOf("\r\n\r\n"), request.indexOf("\n\n"));
    if (end < 0) {
        if (request.size() > MaxRequestBytes) {
            m_log.line(QStringLiteral("http %1: request too large").arg(socket->peerAddress().toString()));
            respond(socket, {431, "Request Header Fields Too Large\n"});
            return;
        }
        socket->setProperty("request", request);
        return;
    }
    const QByteArray requestLine = request.left(request.indexOf('\n'));
    const std::optional<Answer> forOperator =
        m_metrics ? operatorAnswer(requestLine, *m_metrics) : std::nullopt;
    const std::optional<QString> chosen = m_chooser && !forOperator ? m_chooser() : std::nullopt;
    Answer answer = forOperator
                        ? *forOperator
                        : answerFor(requestLine, chosen ? chosen->toLatin1() : addressTextFor(socket));
    if (answer.status == 200 && chosen && chosen->isEmpty())
        answer = {503, "No relay takes clients now\n"};
    // Load balancers and scrapers ask every few seconds: not worth a line each.
    if (!forOperator)
        m_log.line(
            QStringLiteral("http %1: %2 -> %3")
                .arg(socket->peerAddress().toString(), QString::fromLatin1(requestLine.trimmed().left(200)))
                .arg(answer.status));
    respond(socket, requestLine.startsWith("HEAD ") ? Answer{answer.status, {}} : answer);
}

void AddressFileServer::respond(QTcpSocket *socket, const Answer &answer)
{
    socket->setProperty("answered", true);
    socket->setProperty("request", QVariant());
    QByteArray out =
        "HTTP/1.1 " + QByteArray::number(answer.status) + ' ' + reasonFor(answer.status) + "\r\n";
    out += "Content-Type: " + answer.contentType +
           "\r\nContent-Length: " + QByteArray::number(answer.body.size()) +
           "\r\nConnection: close\r\nCache-Control: no-cache\r\n\r\n";
    out += answer.body;
    socket->write(out);
    socket->disconnectFromHost();
}

QByteArray AddressFileServer::addressTextFor(const QTcpSocket *socket) const
{
    QHostAddress address = asIPv4(m_relayAddress);
    if (address == QHostAddress::AnyIPv4 || address == QHostAddress::Any || address == QHostAddress::AnyIPv6)
        address = asIPv4(socket->localAddress());
    return address.toString().toLatin1() + ':' + QByteArray::number(m_relayPort);
}
