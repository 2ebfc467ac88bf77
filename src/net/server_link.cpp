#include "net/server_link.h"

#include "base/client_state.h"
#include "base/wire_codec.h"
#include "net/sign_on.h"
#include "net/url_download.h"

#include <QFile>

namespace {

// The port a socket can connect to, or 0 when the text is none.
quint16 PortNumber(const QString &text)
{
    bool ok = false;
    const qint32 number = text.toInt(&ok);
    return ok && number > 0 && number <= 65535 ? quint16(number) : 0;
}

} // namespace

ServerAddress ParseServerAddress(QStringView text)
{
    ServerAddress address;
    int field = 0;
    for (const QChar c : text) {
        const char16_t code = c.unicode();
        if (code >= 46 && code <= 57) {
            if (field == 0)
                address.host.append(c);
            else if (field == 1)
                address.port.append(c);
        } else {
            ++field;
        }
    }
    return address;
}

QString StatusText(int index)
{
    switch (index) {
    case 1:
        return QStringLiteral("Open");
    case 2:
        return QStringLiteral("Listening");
    case 3:
        return QStringLiteral("Connect pending");
    case 4:
        return QStringLiteral("Resolving host");
    case 5:
        return QStringLiteral("Host resolved");
    case 6:
        return QStringLiteral("Connecting...");
    case 7:
        return QStringLiteral("Connected");
    case 8:
        return QStringLiteral("Peer is closing");
    case 9:
        return QStringLiteral("Error");
    default:
        return QString();
    }
}

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

// Qt's socket errors shown as the nearest of the error numbers users of this
// network know from the status line:
//   refused (also by a proxy)            10061  forcefully rejected
//   remote host closed                    10054  reset by remote side
//   host not found (also the proxy)       11001  host not found
//   access denied, unknown failure        10050  network subsystem failed
//   out of resources                      10055  no buffer space
//   timed out (also at the proxy)         10060
//   datagram too large                    10040
//   network unreachable                   10051
//   address in use                        10048
//   address not available                 10049
//   unsupported operation                 10043  not supported
//   operation still unfinished            10036  operation in progress
//   operation not valid in this state     10057  not connected
//   temporary failure                     10035  would block
//   proxy closed or garbled, TLS failures 10053  aborted
int SocketErrorNumber(QAbstractSocket::SocketError error)
{
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
    case QAbstractSocket::ProxyConnectionRefusedError:
    case QAbstractSocket::ProxyAuthenticationRequiredError:
        return 10061;
    case QAbstractSocket::RemoteHostClosedError:
        return 10054;
    case QAbstractSocket::HostNotFoundError:
    case QAbstractSocket::ProxyNotFoundError:
        return 11001;
    case QAbstractSocket::SocketAccessError:
        return 10050;
    case QAbstractSocket::SocketResourceError:
        return 10055;
    case QAbstractSocket::SocketTimeoutError:
    case QAbstractSocket::ProxyConnectionTimeoutError:
        return 10060;
    case QAbstractSocket::DatagramTooLargeError:
        return 10040;
    case QAbstractSocket::NetworkError:
        return 10051;
    case QAbstractSocket::AddressInUseError:
        return 10048;
    case QAbstractSocket::SocketAddressNotAvailableError:
        return 10049;
    case QAbstractSocket::UnsupportedSocketOperationError:
        return 10043;
    case QAbstractSocket::UnfinishedSocketOperationError:
        return 10036;
    case QAbstractSocket::OperationError:
        return 10057;
    case QAbstractSocket::TemporaryError:
        return 10035;
    case QAbstractSocket::ProxyConnectionClosedError:
    case QAbstractSocket::ProxyProtocolError:
    case QAbstractSocket::SslHandshakeFailedError:
    case QAbstractSocket::SslInternalError:
    case QAbstractSocket::SslInvalidUserDataError:
        return 10053;
    case QAbstractSocket::UnknownSocketError:
        return 10050;
    }
    return 10050;
}

QString SocketErrorText(int number)
{
    // The classic socket numbers and texts word for word ("Winsock" included): users report them so.
    const char *text = nullptr;
    switch (number) {
    case 7:
        text = "ERROR: Out of memory.";
        break;
    case 380:
        text = "ERROR: The property value is invalid.";
        break;
    case 383:
        text = "ERROR: The property is read-only.";
        break;
    case 394:
        text = "ERROR: The property can't be read.";
        break;
    case 1004:
        text = "ERROR: The operation was canceled.";
        break;
    case 10014:
        text = "ERROR: The requested address is a broadcast address, but flag is not set.";
        break;
    case 10035:
        text = "ERROR: Socket is non-blocking and the specified operation will block.";
        break;
    case 10036:
        text = "ERROR: A blocking Winsock operation in progress.";
        break;
    case 10037:
        text = "ERROR: The operation is completed. No blocking operation in progress";
        break;
    case 10038:
        text = "ERROR: The descriptor is not a socket.";
        break;
    case 10040:
        text = "ERROR: The datagram is too large to fit into the buffer and is truncated.";
        break;
    case 10043:
        text = "ERROR: The specified port is not supported.";
        break;
    case 10048:
        text = "ERROR: Address in use.";
        break;
    case 10049:
        text = "ERROR: Address not available from the local machine.";
        break;
    case 10050:
        text = "ERROR: Network subsystem failed.";
        break;
    case 10051:
        text = "ERROR: The network cannot be reached from this host at this time.";
        break;
    case 10052:
        text = "ERROR: Connection has timed out when SO_KEEPALIVE is set.";
        break;
    case 10053:
        text = "ERROR: Connection is aborted due to timeout or other failure.";
        break;
    case 10054:
        text = "ERROR: The connection is reset by remote side.!";
        break;
    case 10055:
        text = "ERROR: No buffer space is available.";
        break;
    case 10056:
        text = "ERROR: Socket is already connected.";
        break;
    case 10057:
        text = "ERROR: Socket is not connected.";
        break;
    case 10058:
        text = "ERROR: Socket has been shut down.";
        break;
    case 10060:
        text = "ERROR: Socket has been shut down.";
        break;
    case 10061:
        text = "ERROR: Connection is forcefully rejected.";
        break;
    case 10093:
        text = "ERROR: WinsockInit should be called first.";
        break;
    case 11001:
        text = "ERROR: Authoritative answer: Host not found.";
        break;
    case 11002:
        text = "ERROR: Non-Authoritative answer: Host not found.";
        break;
    case 11003:
        text = "ERROR: Non-recoverable errors.";
        break;
    case 11004:
        text = "ERROR: Valid name, no data record of requested type.";
        break;
    default:
        return QStringLiteral("Error number %1").arg(number);
    }
    return QString::fromLatin1(text);
}

QString ReadAddressHost(const QString &dataDir)
{
    QFile file(dataDir + QStringLiteral("/AddressHost.txt"));
    if (file.open(QIODevice::ReadOnly)) {
        const QString line = QString::fromUtf8(file.readLine(4096)).trimmed();
        if (!line.isEmpty())
            return line;
    }
    return QString::fromUtf16(DefaultAddressHost);
}

QString AddressFileUrl(const QString &baseAddress)
{
    QString base = baseAddress.trimmed();
    while (base.endsWith(u'/'))
        base.chop(1);
    return base + QStringLiteral("/weather/WXIP.txt");
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
