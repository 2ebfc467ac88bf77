#include "raw_client.h"

#include "net/wire_codec.h"

#include <QTest>

RawClient::RawClient(QObject *parent) : QObject(parent)
{
    connect(&m_socket, &QTcpSocket::readyRead, this, &RawClient::onReadyRead);
}

bool RawClient::connectTo(quint16 port, int timeoutMs, const QString &from)
{
    if (!from.isEmpty() && !m_socket.bind(QHostAddress(from)))
        return false;
    m_socket.connectToHost(QStringLiteral("127.0.0.1"), port);
    return QTest::qWaitFor([this] { return m_socket.state() == QAbstractSocket::ConnectedState; }, timeoutMs);
}

void RawClient::send(const QByteArray &bytes)
{
    m_socket.write(bytes);
    m_socket.flush();
}

void RawClient::sendText(const QString &message)
{
    send(WireCodec::encode(message));
}

void RawClient::close()
{
    m_socket.abort();
}

bool RawClient::waitForDisconnected(int timeoutMs)
{
    return QTest::qWaitFor([this] { return m_socket.state() == QAbstractSocket::UnconnectedState; },
                           timeoutMs);
}

void RawClient::onReadyRead()
{
    m_buffer += m_socket.readAll();
    qsizetype pos = 0;
    for (;;) {
        const qsizetype start = m_buffer.indexOf(':', pos);
        if (start < 0) {
            pos = m_buffer.size();
            break;
        }
        const qsizetype end = m_buffer.indexOf('^', start);
        if (end < 0) {
            pos = start;
            break;
        }
        m_messages.append(WireCodec::decode(QByteArrayView(m_buffer).sliced(start, end - start + 1)));
        pos = end + 1;
    }
    m_buffer.remove(0, pos);
}

QString RawClient::waitFor(const Predicate &matches, int timeoutMs)
{
    QString found;
    (void)QTest::qWaitFor(
        [&] {
            for (qsizetype i = m_cursor; i < m_messages.size(); ++i) {
                if (matches(m_messages.at(i))) {
                    found = m_messages.at(i);
                    m_cursor = i + 1;
                    return true;
                }
            }
            return false;
        },
        timeoutMs);
    return found;
}

QString RawClient::waitForCode(const QString &code, int timeoutMs)
{
    const QString prefix = u':' + code + u'|';
    return waitFor([&](const QString &m) { return m.startsWith(prefix); }, timeoutMs);
}

QStringList RawClient::collect(const QString &code, int count, int timeoutMs)
{
    QStringList out;
    const QString prefix = u':' + code + u'|';
    (void)QTest::qWaitFor(
        [&] {
            for (; m_cursor < m_messages.size() && out.size() < count; ++m_cursor)
                if (m_messages.at(m_cursor).startsWith(prefix))
                    out.append(m_messages.at(m_cursor));
            return out.size() >= count;
        },
        timeoutMs);
    return out;
}

QStringList RawClient::pendingWithCode(const QString &code, int quietMs)
{
    QTest::qWait(quietMs);
    QStringList out;
    const QString prefix = u':' + code + u'|';
    for (qsizetype i = m_cursor; i < m_messages.size(); ++i)
        if (m_messages.at(i).startsWith(prefix))
            out.append(m_messages.at(i));
    return out;
}
