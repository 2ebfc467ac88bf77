#include "scripted_server.h"

#include <QTimer>

#include <memory>

ScriptedServer::ScriptedServer(QObject *parent) : QObject(parent)
{
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            socket->setParent(this);
            m_clients.append(socket);
            ++m_connections;
            connect(socket, &QTcpSocket::readyRead, this,
                    [this, socket] { m_received += m_framers[socket].feed(socket->readAll()); });
            connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
                m_framers.remove(socket);
                socket->deleteLater();
            });
        }
    });
}

bool ScriptedServer::listen(quint16 port)
{
    if (!m_server.listen(QHostAddress::LocalHost, port))
        return false;
    m_port = m_server.serverPort();
    return true;
}

QStringList ScriptedServer::receivedWithCode(const QString &code) const
{
    QStringList out;
    for (const QString &m : m_received)
        if (m.mid(1, 3) == code)
            out.append(m);
    return out;
}

QTcpSocket *ScriptedServer::latest() const
{
    for (auto it = m_clients.crbegin(); it != m_clients.crend(); ++it)
        if (*it && (*it)->state() == QAbstractSocket::ConnectedState)
            return *it;
    return nullptr;
}

void ScriptedServer::sendBytes(const QByteArray &bytes)
{
    if (QTcpSocket *socket = latest()) {
        socket->write(bytes);
        socket->flush();
    }
}

void ScriptedServer::dropClients()
{
    for (const auto &c : m_clients)
        if (c)
            c->abort();
    m_clients.clear();
}

HttpResponder::HttpResponder(QObject *parent) : QObject(parent)
{
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            socket->setParent(this);
            auto request = std::make_shared<QByteArray>();
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QTcpSocket::readyRead, this, [this, socket, request] {
                request->append(socket->readAll());
                const qsizetype end = request->indexOf("\r\n\r\n");
                if (end < 0)
                    return;
                const QByteArray head = request->left(end);
                request->remove(0, end + 4);
                answer(socket, head);
            });
        }
    });
}

void HttpResponder::answer(QTcpSocket *socket, const QByteArray &head)
{
    const QList<QByteArray> words = head.left(head.indexOf("\r\n")).split(' ');
    const QString path = QString::fromLatin1(words.value(1));
    ++m_requests[path];
    m_heads.insert(path, head);
    const Response r = m_responses.value(path, Response::error(404));
    if (r.stall)
        return;
    const QByteArray reason = r.status == 200 ? "OK" : r.status == 404 ? "Not Found" : "Status";
    QByteArray out = "HTTP/1.1 " + QByteArray::number(r.status) + ' ' + reason + "\r\n";
    if (!r.location.isEmpty())
        out += "Location: " + r.location + "\r\n";
    const qint64 length = r.declaredLength >= 0 ? r.declaredLength : r.body.size();
    out += "Content-Length: " + QByteArray::number(length) + "\r\n";
    out += "Content-Type: application/octet-stream\r\nConnection: close\r\n\r\n" + r.body;
    socket->write(out);
    socket->flush();
    if (r.trickleMs > 0) {
        auto *drip = new QTimer(socket);
        connect(drip, &QTimer::timeout, socket, [socket] { socket->write("x"); });
        drip->start(r.trickleMs);
    } else if (r.declaredLength < 0 || r.declaredLength == r.body.size()) {
        socket->disconnectFromHost();
    }
}
