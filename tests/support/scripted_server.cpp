#include "scripted_server.h"

#include <QTimer>

#include "net/wire_codec.h"

#include <QHostAddress>

ScriptedServer::ScriptedServer(QObject *parent) : QObject(parent)
{
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            socket->setParent(this);
            m_clients.append(socket);
            ++m_connections;
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
                QString &text = m_partial[socket];
                text += WireCodec::decode(socket->readAll());
                for (qsizetype end = text.indexOf(u'^'); end >= 0; end = text.indexOf(u'^')) {
                    const qsizetype start = text.indexOf(u':');
                    const QString message =
                        start >= 0 && start < end ? text.mid(start, end - start + 1) : QString();
                    text.remove(0, end + 1);
                    if (!message.isEmpty())
                        m_received.append(message);
                }
            });
            connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
                m_partial.remove(socket);
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

void ScriptedServer::stopListening()
{
    m_server.close();
}

QStringList ScriptedServer::receivedWithCode(const QString &code) const
{
    QStringList out;
    for (const QString &m : m_received) {
        if (m.mid(1, 3) == code)
            out.append(m);
    }
    return out;
}

bool ScriptedServer::hasClient() const
{
    for (const auto &c : m_clients) {
        if (c && c->state() == QAbstractSocket::ConnectedState)
            return true;
    }
    return false;
}

void ScriptedServer::send(const QString &text)
{
    sendBytes(WireCodec::encode(text));
}

void ScriptedServer::sendBytes(const QByteArray &bytes)
{
    for (auto it = m_clients.crbegin(); it != m_clients.crend(); ++it) {
        if (*it && (*it)->state() == QAbstractSocket::ConnectedState) {
            (*it)->write(bytes);
            (*it)->flush();
            return;
        }
    }
}

void ScriptedServer::dropClients()
{
    for (const auto &c : m_clients) {
        if (c)
            c->abort();
    }
    m_clients.clear();
}

HttpResponder::HttpResponder(QObject *parent) : QObject(parent)
{
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            socket->setParent(this);
            auto *request = new QByteArray;
            connect(socket, &QObject::destroyed, this, [request] { delete request; });
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

HttpResponder::Response HttpResponder::Response::ok(const QByteArray &body)
{
    Response r;
    r.body = body;
    return r;
}

HttpResponder::Response HttpResponder::Response::error(int status)
{
    Response r;
    r.status = status;
    r.body = "error page";
    return r;
}

HttpResponder::Response HttpResponder::Response::redirect(const QByteArray &location)
{
    Response r;
    r.status = 302;
    r.location = location;
    return r;
}

HttpResponder::Response HttpResponder::Response::stalled()
{
    Response r;
    r.stall = true;
    return r;
}

HttpResponder::Response HttpResponder::Response::cutShort(const QByteArray &body, qint64 declaredLength)
{
    Response r;
    r.body = body;
    r.declaredLength = declaredLength;
    return r;
}

HttpResponder::Response HttpResponder::Response::trickle(int everyMs)
{
    Response r;
    r.declaredLength = 1'000'000;
    r.trickleMs = everyMs;
    return r;
}

bool HttpResponder::listen()
{
    return m_server.listen(QHostAddress::LocalHost, 0);
}

QString HttpResponder::base() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(port());
}

void HttpResponder::setResponse(const QString &path, const Response &response)
{
    m_responses.insert(path, response);
}

void HttpResponder::answer(QTcpSocket *socket, const QByteArray &head)
{
    const QList<QByteArray> words = head.left(head.indexOf("\r\n")).split(' ');
    const QString path = words.size() > 1 ? QString::fromLatin1(words.at(1)) : QString();
    ++m_requests[path];
    m_heads.insert(path, head);
    Response r = m_responses.value(path, Response::error(404));
    if (r.stall)
        return;
    QByteArray reason = r.status == 200 ? "OK" : r.status == 404 ? "Not Found" : "Status";
    QByteArray out = "HTTP/1.1 " + QByteArray::number(r.status) + ' ' + reason + "\r\n";
    if (!r.location.isEmpty())
        out += "Location: " + r.location + "\r\n";
    const qint64 length = r.declaredLength >= 0 ? r.declaredLength : r.body.size();
    out += "Content-Length: " + QByteArray::number(length) + "\r\n";
    out += "Content-Type: application/octet-stream\r\nConnection: close\r\n\r\n";
    out += r.body;
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
