#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTcpSocket>

#include <functional>

// A scripted protocol client for end-to-end tests: sends raw bytes, frames
// what arrives (":" to "^", junk dropped) and waits for messages.
class RawClient : public QObject
{
    Q_OBJECT
public:
    using Predicate = std::function<bool(const QString &message)>;

    explicit RawClient(QObject *parent = nullptr);

    // from picks the local loopback address, so that one machine can play
    // clients at different addresses (Linux routes all of 127/8 locally).
    bool connectTo(quint16 port, int timeoutMs = 3000, const QString &from = {});
    void send(const QByteArray &bytes);
    // Encodes the text for the wire (Windows-1252) and sends it.
    void sendText(const QString &message);
    void close();
    bool waitForDisconnected(int timeoutMs = 3000);

    // Every message received so far, decoded, keep-alives included.
    const QStringList &messages() const { return m_messages; }
    // The first message after the last one a wait returned that matches;
    // an empty text after the time-out. Messages skipped on the way stay
    // in messages().
    QString waitFor(const Predicate &matches, int timeoutMs = 3000);
    QString waitForCode(const QString &code, int timeoutMs = 3000);
    // The messages with this code that arrive after the current position
    // until count of them have arrived or the time-out passes.
    QStringList collect(const QString &code, int count, int timeoutMs = 3000);
    // Waits quietly and returns the messages with this code received after
    // the current position, without moving it.
    QStringList pendingWithCode(const QString &code, int quietMs);
    void skipAll() { m_cursor = m_messages.size(); }

private:
    void onReadyRead();

    QTcpSocket m_socket;
    QByteArray m_buffer;
    QStringList m_messages;
    qsizetype m_cursor = 0;
};
