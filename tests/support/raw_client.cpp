#include "raw_client.h"

#include <QTest>

using namespace Qt::Literals::StringLiterals;

RawClient::RawClient(QObject *parent) : QObject(parent)
{
    connect(&m_socket, &QTcpSocket::readyRead, this,
            [this] { m_messages += m_framer.feed(m_socket.readAll()); });
}

bool RawClient::connectTo(quint16 port, int timeoutMs, const QString &from)
{
    if (!from.isEmpty() && !m_socket.bind(QHostAddress(from)))
        return false;
    m_socket.connectToHost(u"127.0.0.1"_s, port);
    return QTest::qWaitFor([this] { return m_socket.state() == QAbstractSocket::ConnectedState; }, timeoutMs);
}

bool RawClient::waitForDisconnected(int timeoutMs)
{
    return QTest::qWaitFor([this] { return m_socket.state() == QAbstractSocket::UnconnectedState; },
                           timeoutMs);
}

QStringList RawClient::take(const Predicate &matches, int count, int timeoutMs)
{
    QStringList out;
    (void)QTest::qWaitFor(
        [&] {
            out += takeArrived(matches, count - int(out.size()));
            return out.size() >= count;
        },
        timeoutMs);
    return out;
}

QStringList RawClient::takeArrived(const Predicate &matches, int count)
{
    QStringList out;
    for (; m_cursor < m_messages.size() && out.size() < count; ++m_cursor)
        if (matches(m_messages.at(m_cursor)))
            out.append(m_messages.at(m_cursor));
    return out;
}

QStringList RawClient::pendingWithCode(const QString &code, int quietMs)
{
    QTest::qWait(quietMs);
    QStringList out;
    for (const QString &m : m_messages.mid(m_cursor))
        if (hasCode(code)(m))
            out.append(m);
    return out;
}
