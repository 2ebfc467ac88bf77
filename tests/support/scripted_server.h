#pragma once

#include "wire_framer.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

using namespace Qt::Literals::StringLiterals;

// A stand-in for the protocol server on 127.0.0.1: records every message a
// client sends and sends scripted text to the latest client. It can stop
// listening and come back on the same port.
class ScriptedServer : public QObject
{
    Q_OBJECT

public:
    explicit ScriptedServer(QObject *parent = nullptr);

    bool listen(quint16 port = 0);
    void stopListening() { m_server.close(); }
    quint16 port() const { return m_port; }

    // Messages received from all clients, in order.
    QStringList received() const { return m_received; }
    QStringList receivedWithCode(const QString &code) const;
    int connectionCount() const { return m_connections; }
    bool hasClient() const { return latest(); }

    // Sends text (encoded for the wire) to the latest client.
    void send(const QString &text) { sendBytes(WireCodec::encode(text)); }
    void sendBytes(const QByteArray &bytes);
    // Drops every client at once.
    void dropClients();

private:
    QTcpSocket *latest() const;

    QTcpServer m_server;
    quint16 m_port = 0;
    QList<QPointer<QTcpSocket>> m_clients;
    QHash<QTcpSocket *, WireFramer> m_framers;
    QStringList m_received;
    int m_connections = 0;
};

// A tiny HTTP/1.1 server on 127.0.0.1 for download tests and the server
// address file. Each path answers with what was set for it; other paths 404.
class HttpResponder : public QObject
{
    Q_OBJECT

public:
    struct Response
    {
        int status = 200;
        QByteArray body = {};
        QByteArray location = {};   // for redirects
        bool stall = false;         // accept the request and never answer
        qint64 declaredLength = -1; // Content-Length to claim; -1 for the body's
        int trickleMs = 0;          // then one more byte this often, for ever

        static Response ok(const QByteArray &body) { return {.body = body}; }
        static Response error(int status) { return {.status = status, .body = "error page"}; }
        static Response redirect(const QByteArray &location) { return {.status = 302, .location = location}; }
        static Response stalled() { return {.stall = true}; }
        // Claims more bytes than it sends, then keeps the connection open.
        static Response cutShort(const QByteArray &body, qint64 declaredLength)
        {
            return {.body = body, .declaredLength = declaredLength};
        }
        static Response trickle(int everyMs) { return {.declaredLength = 1'000'000, .trickleMs = everyMs}; }
    };

    explicit HttpResponder(QObject *parent = nullptr);

    bool listen() { return m_server.listen(QHostAddress::LocalHost, 0); }
    quint16 port() const { return m_server.serverPort(); }
    QString base() const { return u"http://127.0.0.1:%1"_s.arg(port()); }
    QString url(const QString &path) const { return base() + path; }

    void setResponse(const QString &path, const Response &response) { m_responses.insert(path, response); }
    void setBody(const QString &path, const QByteArray &body) { setResponse(path, Response::ok(body)); }
    // The server address file the link fetches.
    void setAddressFile(const QByteArray &body) { setBody(u"/weather/WXIP.txt"_s, body); }
    int requestCount(const QString &path) const { return m_requests.value(path); }
    // The latest request's head (request line and headers) for a path.
    QByteArray lastRequest(const QString &path) const { return m_heads.value(path); }

private:
    void answer(QTcpSocket *socket, const QByteArray &request);

    QTcpServer m_server;
    QHash<QString, Response> m_responses;
    QHash<QString, int> m_requests;
    QHash<QString, QByteArray> m_heads;
};
