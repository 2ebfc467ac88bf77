#include "net/server_link.h"

#include "base/client_state.h"
#include "base/wire_codec.h"
#include "net/address_file.h"
#include "net/sign_on.h"
#include "net/url_download.h"

LinkState LinkStateFromSocket(QAbstractSocket::SocketState state)
{
    switch (state) {
    case QAbstractSocket::UnconnectedState:
        return LinkState::Closed;
    case QAbstractSocket::HostLookupState:
        return LinkState::ResolvingHost;
    case QAbstractSocket::ConnectingState:
        return LinkState::Connecting;
    case QAbstractSocket::ConnectedState:
        return LinkState::Connected;
    case QAbstractSocket::BoundState:
        return LinkState::Open;
    case QAbstractSocket::ListeningState:
        return LinkState::Listening;
    case QAbstractSocket::ClosingState:
        return LinkState::PeerClosing;
    }
    return LinkState::Closed;
}

ServerLink::ServerLink(ClientState &state, UrlDownloader &downloader, QObject *parent)
    : QObject(parent), m_state(state), m_downloader(downloader), m_socket(this),
      m_buffer([this](const QString &message) { m_dispatcher.dispatch(message); }), m_timer1(this)
{
    m_socket.setObjectName(QStringLiteral("Winsock1"));
    m_timer1.setObjectName(QStringLiteral("Timer1"));
    m_timer1.setInterval(StartInterval);
    connect(&m_timer1, &QTimer::timeout, this, &ServerLink::Timer1_Timer);
    connect(&m_socket, &QTcpSocket::readyRead, this, &ServerLink::onReadyRead);
    connect(&m_socket, &QTcpSocket::errorOccurred, this, &ServerLink::onSocketError);
    connect(&m_socket, &QTcpSocket::stateChanged, this, &ServerLink::onStateChanged);
    // A server's request to disconnect closes the link in the middle of the
    // arrival; what else came with it is still dispatched.
    m_dispatcher.setHandler(u"DIS", [this](const QString &) { closeLink(); });
}

ServerLink::~ServerLink()
{
    if (m_addressFetch != 0)
        m_downloader.abort(m_addressFetch);
    m_socket.disconnect(this);
    m_socket.abort();
}

void ServerLink::start()
{
    m_timer1.start();
}

LinkState ServerLink::state() const
{
    return LinkStateFromSocket(m_socket.state());
}

void ServerLink::setTimer1Interval(int ms)
{
    m_timer1.setInterval(ms);
}

void ServerLink::restartSupervisionInterval()
{
    m_timer1.start();
}

bool ServerLink::awaitingSignOnReply() const
{
    return m_pendingSent && m_state.pendingMessage.startsWith(u":SGN|");
}

void ServerLink::showState(StatusStyle style)
{
    const LinkState current = state();
    const bool waiting = current == LinkState::Connected && awaitingSignOnReply();
    emit statusChanged(waiting ? WaitingText() : StatusText(current), style);
}

// The status line follows the socket at once, and a new connection signs on
// at once (a redirect included): a spotter must never read "Welcome" or
// "Connected" while nothing he sends reaches anyone.
void ServerLink::onStateChanged(QAbstractSocket::SocketState socketState)
{
    const LinkState current = LinkStateFromSocket(socketState);
    emit stateChanged(current);
    if (current == LinkState::Connected) {
        m_pendingSent = false;
        sendPending();
        showState(StatusStyle::ButtonFace);
        // Up: the next supervision tick is a full interval away, so the
        // server's "Welcome" is not overwritten at once.
        m_timer1.setInterval(ConnectedInterval);
    } else if (current == LinkState::Closed) {
        m_pendingSent = false;
        if (m_state.signedOn)
            m_state.pendingMessage = SignOn::BuildReSignOnMessage(m_state.settings);
        emit statusChanged(QStringLiteral("Disconnected"), StatusStyle::Red);
    } else {
        showState();
    }
}

void ServerLink::Connect()
{
    // One address fetch at a time: a second Connect while the first waits
    // would connect twice.
    if (m_addressFetch != 0)
        return;
    const QString url = AddressFileUrl(ReadAddressHost(m_state.dataDir));
    m_addressFetch = m_downloader.fetchText(
        url,
        [this](const DownloadError &error, const QString &body) {
            m_addressFetch = 0;
            if (error.ok())
                onAddressFile(body);
        },
        this);
}

void ServerLink::onAddressFile(const QString &body)
{
    const ServerAddress address = ParseServerAddress(body);
    if (address.host.isEmpty() || address.port.isEmpty())
        return;
    if (state() != LinkState::Connected) {
        const quint16 port = PortNumber(address.port);
        if (port == 0)
            return;
        closeLink();
        openSocket(address.host, port);
    }
    // Queued behind the address file's own transfer states, which reach the
    // status line queued too: the link's state must be the last line shown.
    QMetaObject::invokeMethod(
        this, [this] { showState(); }, Qt::QueuedConnection);
}

void ServerLink::connectTo(const QString &host, const QString &port)
{
    // A redirect wins over an address fetch still under way.
    if (m_addressFetch != 0) {
        m_downloader.abort(m_addressFetch);
        m_addressFetch = 0;
    }
    closeLink();
    const quint16 number = PortNumber(port);
    if (host.isEmpty() || number == 0)
        return;
    openSocket(host, number);
    showState();
}

void ServerLink::openSocket(const QString &host, quint16 port)
{
    // A partial message left by a broken link would swallow the new
    // connection's sign-on reply.
    m_buffer.clear();
    m_socket.connectToHost(host, port);
}

void ServerLink::closeLink()
{
    m_socket.abort();
}

void ServerLink::SendData(const QString &message)
{
    if (state() == LinkState::Connected)
        m_socket.write(WireCodec::encode(message));
}

bool ServerLink::SendTyped(const QString &message)
{
    if (state() != LinkState::Connected) {
        emit statusChanged(NotSentText(), StatusStyle::Red);
        return false;
    }
    SendData(message);
    return true;
}

void ServerLink::flushNow()
{
    m_socket.flush();
    if (m_socket.bytesToWrite() > 0)
        m_socket.waitForBytesWritten(500);
}

QString ServerLink::NotSentText()
{
    return QStringLiteral("Not sent: the link to the server is down.");
}

QString ServerLink::WaitingText()
{
    return QStringLiteral("Signing on: waiting for the server's answer");
}

void ServerLink::QueuePendingMessage(const QString &message)
{
    m_state.pendingMessage = message;
    m_pendingSent = false;
    m_timer1.setInterval(StartInterval);
    if (state() == LinkState::Connected) {
        sendPending();
        showState();
    }
}

void ServerLink::sendPending()
{
    if (m_pendingSent || m_state.pendingMessage.isEmpty() || state() != LinkState::Connected)
        return;
    SendData(m_state.pendingMessage);
    // A sign-on waits for its reply (the sign-on replies clear it); NEW and
    // FGT go once.
    if (m_state.pendingMessage.startsWith(u":SGN|"))
        m_pendingSent = true;
    else
        m_state.pendingMessage.clear();
}

void ServerLink::Timer1_Timer()
{
    const LinkState current = state();
    if (current != LinkState::Connected && m_state.signedOn)
        m_state.pendingMessage = SignOn::BuildReSignOnMessage(m_state.settings);
    showState();
    if (m_timer1.interval() < ConnectedInterval && current == LinkState::Connected) {
        sendPending();
        showState(StatusStyle::ButtonFace);
        m_timer1.setInterval(ConnectedInterval);
    }
    // Only the address fetch holds back reconnecting: a stalled picture
    // whose address the server chose must not keep the client off the air.
    if (m_addressFetch == 0 && (current == LinkState::Closed || current > LinkState::Connected)) {
        emit statusChanged(QStringLiteral("Disconnected"), StatusStyle::Red);
        m_timer1.setInterval(LostInterval);
        Connect();
    }
}

void ServerLink::IdleWatchdogStep()
{
    if (state() != LinkState::Connected)
        return;
    ++m_idleMinutes;
    if (m_idleMinutes > IdleLimitMinutes) {
        m_idleMinutes = 0;
        closeLink();
    }
}

void ServerLink::onReadyRead()
{
    m_idleMinutes = 0;
    const QString data = WireCodec::decode(m_socket.readAll());
    if (data.isEmpty())
        return;
    emit rawArrival(data);
    m_buffer.Append(data);
}

void ServerLink::onSocketError(QAbstractSocket::SocketError error)
{
    // The server closing the link is no fault of its own: the next
    // supervision tick sees the closed socket and reconnects.
    if (error == QAbstractSocket::RemoteHostClosedError)
        return;
    const int number = SocketErrorNumber(error);
    const QString text = SocketErrorText(number);
    closeLink();
    emit statusChanged(text, StatusStyle::Normal);
    emit socketError(number, text);
}
