#pragma once

#include "wire_framer.h"

#include <QObject>
#include <QTcpSocket>

#include <functional>

// A scripted protocol client for end-to-end tests: sends raw bytes and
// waits for the messages that arrive.
class RawClient : public QObject
{
    Q_OBJECT
public:
    using Predicate = std::function<bool(const QString &message)>;

    explicit RawClient(QObject *parent = nullptr);

    // from picks the local loopback address, so that one machine can play
    // clients at different addresses (Linux routes all of 127/8 locally).
    bool connectTo(quint16 port, int timeoutMs = 3000, const QString &from = {});
    void send(const QByteArray &bytes)
    {
        m_socket.write(bytes);
        m_socket.flush();
    }
    // Encodes the text for the wire (Windows-1252) and sends it.
    void sendText(const QString &message) { send(WireCodec::encode(message)); }
    void close() { m_socket.abort(); }
    bool waitForDisconnected(int timeoutMs = 3000);

    // Every message received so far, keep-alives included.
    const QStringList &messages() const { return m_messages; }
    // The first count matching messages after the last one taken, waiting
    // up to timeoutMs for them; fewer after the time-out. Messages passed
    // over stay in messages() only.
    QStringList take(const Predicate &matches, int count = 1, int timeoutMs = 3000);
    // As take(), among what has arrived already: no wait, no event loop
    // turn, so that one loop can watch many clients at once.
    QStringList takeArrived(const Predicate &matches, int count = 1);
    QString waitFor(const Predicate &matches, int timeoutMs = 3000)
    {
        return take(matches, 1, timeoutMs).value(0);
    }
    QStringList collect(const QString &code, int count, int timeoutMs = 3000)
    {
        return take(hasCode(code), count, timeoutMs);
    }
    QString waitForCode(const QString &code, int timeoutMs = 3000)
    {
        return collect(code, 1, timeoutMs).value(0);
    }
    // Waits quietly, then the messages with this code after the last one
    // taken, leaving them to be taken.
    QStringList pendingWithCode(const QString &code, int quietMs);
    void skipAll() { m_cursor = m_messages.size(); }
    // Drops every message kept so far; long runs with many clients keep
    // their memory bounded with it.
    void forget()
    {
        m_messages.clear();
        m_cursor = 0;
    }
    bool isConnected() const { return m_socket.state() == QAbstractSocket::ConnectedState; }

    static Predicate hasCode(const QString &code)
    {
        return [prefix = QString(u':' + code + u'|')](const QString &m) { return m.startsWith(prefix); };
    }

private:
    QTcpSocket m_socket;
    WireFramer m_framer;
    QStringList m_messages;
    qsizetype m_cursor = 0;
};
