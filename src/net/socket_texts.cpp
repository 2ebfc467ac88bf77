#include "net/socket_texts.h"

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
