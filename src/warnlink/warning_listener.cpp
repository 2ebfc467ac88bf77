#include "warnlink/warning_listener.h"

#include "base/status_line.h"
#include "warnlink/warnings_model.h"
#include "warnlink/warnings_parser.h"

#include <QTcpServer>
#include <QTcpSocket>

using namespace Qt::Literals::StringLiterals;

WarningListener::WarningListener(WarningsModel &model, StatusLine &status, quint16 port, QObject *parent)
    : QObject(parent), m_model(model), m_status(status), m_port(port), m_server(new QTcpServer(this))
{
    connect(m_server, &QTcpServer::newConnection, this, &WarningListener::Winsock2_ConnectionRequest);
}

WarningListener::~WarningListener() = default;

QString WarningListener::ListenFailureText(quint16 port, const QString &reason, bool denied)
{
    QString text = u"Unable to listen for Tavrel on port "_s + QString::number(port) + u": "_s;
    if (denied && port < 1024)
        return text + u"a port below 1024 needs a privilege this program was not given (see the README)."_s;
    return text + reason;
}

void WarningListener::Close()
{
    m_server->close();
    if (m_peer) {
        m_peer->abort();
        m_peer->deleteLater();
        m_peer = nullptr;
    }
}

void WarningListener::StartWarningListener()
{
    Close();
    if (m_server->listen(QHostAddress::LocalHost, m_port)) {
        m_status.show(u"Listen for Tavrel called."_s);
        return;
    }
    const bool denied = m_server->serverError() == QAbstractSocket::SocketAccessError;
    m_status.show(ListenFailureText(m_port, m_server->errorString(), denied));
}

void WarningListener::MinuteTick()
{
    ++m_retryCount;
    if (!isListening() && !isConnected() && m_retryCount >= RetryTicks) {
        StartWarningListener();
        m_retryCount = 0;
    }
}

bool WarningListener::isListening() const
{
    return m_server->isListening();
}

bool WarningListener::isConnected() const
{
    return m_peer && m_peer->state() == QAbstractSocket::ConnectedState;
}

quint16 WarningListener::listeningPort() const
{
    return m_server->isListening() ? m_server->serverPort() : m_port;
}

void WarningListener::Winsock2_ConnectionRequest()
{
    QTcpSocket *next = m_server->nextPendingConnection();
    if (!next)
        return;
    // One peer at a time: the listening ends with the accepted connection.
    m_server->close();
    while (QTcpSocket *extra = m_server->nextPendingConnection())
        extra->deleteLater();
    if (m_peer)
        m_peer->deleteLater();
    m_peer = next;
    m_peer->setParent(this);
    // A new peer starts a new message.
    m_buffer.clear();
    connect(m_peer, &QTcpSocket::readyRead, this, &WarningListener::Winsock2_DataArrival);
    connect(m_peer, &QTcpSocket::disconnected, m_peer, &QObject::deleteLater);
    if (m_peer->bytesAvailable() > 0)
        Winsock2_DataArrival();
}

void WarningListener::Winsock2_DataArrival()
{
    if (!m_peer)
        return;
    m_retryCount = 0;
    m_buffer += QString::fromLatin1(m_peer->readAll());
    const WarningArrival arrival = WarningsParser::Parse(m_buffer);
    if (!arrival.clearList)
        return;
    m_model.Clear();
    for (qsizetype i = arrival.rows.size() - 1; i >= 0; --i)
        m_model.InsertAtTop(arrival.rows.at(i));
    m_model.HighlightWarnings();
}
