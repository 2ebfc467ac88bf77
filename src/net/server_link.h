#pragma once

#include "base/status_style.h"
#include "net/dispatcher.h"
#include "net/message_sender.h"
#include "net/receive_buffer.h"
#include "net/socket_texts.h"

#include <QAbstractSocket>
#include <QObject>
#include <QString>
#include <QTcpSocket>
#include <QTimer>

struct ClientState;
class UrlDownloader;

// Owns the server socket (Winsock1), the receive buffer and the dispatcher,
// the supervision timer (Timer1) and the idle count. Sends through SendData,
// reports through signals carrying plain values.
class ServerLink final : public QObject, public MessageSender
{
    Q_OBJECT

public:
    // The server socket's states, numbered as the status line numbers them.
    enum class LinkState {
        Closed = 0,
        Open = 1,
        Listening = 2,
        ConnectPending = 3,
        ResolvingHost = 4,
        HostResolved = 5,
        Connecting = 6,
        Connected = 7,
        PeerClosing = 8,
        Error = 9,
    };
    Q_ENUM(LinkState)

    static constexpr int StartInterval = 2'000;
    static constexpr int ConnectedInterval = 60'000;
    static constexpr int LostInterval = 50'000;
    // The connection is closed on the sixth idle minute.
    static constexpr int IdleLimitMinutes = 5;

    ServerLink(ClientState &state, UrlDownloader &downloader, QObject *parent = nullptr);
    ~ServerLink() override;

    // Other subsystems register their handlers here.
    Dispatcher &dispatcher() { return m_dispatcher; }
    ReceiveBuffer &receiveBuffer() { return m_buffer; }
    quint16 peerPort() const { return m_socket.peerPort(); }

    // Starts Timer1 at its current interval (the main window does this when
    // it loads). Tests drive Timer1_Timer() directly instead.
    void start();

    // Fetches the address file and connects to what it names, unless the
    // socket is connected already. Asynchronous; failures end it quietly.
    void Connect();
    // Connects to host and port directly (server redirect); an empty host or
    // port only closes the socket.
    void connectTo(const QString &host, const QString &port);
    // Closes the socket at once (state 0).
    void closeLink();

    void SendData(const QString &message) override;
    bool SendTyped(const QString &message) override;
    // Hands what waits to be sent to the system now, waiting a short bounded
    // time for a full send buffer without running events: for the sign-off,
    // right before the program ends.
    void flushNow();
    static QString NotSentText();
    // The status line while a sent sign-on waits for its reply.
    static QString WaitingText();

    // Queues a sign-on, new-account or forgotten-password message: it
    // replaces an unsent one, Timer1 goes to 2 s, and it goes out at once when
    // connected. A sign-on stays queued until its reply arrives and goes out
    // again on every new connection.
    void QueuePendingMessage(const QString &message);

    // The supervision tick (Timer1) and the idle watchdog step of Timer2.
    void Timer1_Timer();
    void IdleWatchdogStep();

    // A subsystem wrote its own status line: the next supervision tick, which
    // writes the link's state, waits one full interval.
    void restartSupervisionInterval();

    LinkState state() const;
    int idleMinutes() const { return m_idleMinutes; }
    int timer1Interval() const { return m_timer1.interval(); }
    void setTimer1Interval(int ms);
    bool timer1Active() const { return m_timer1.isActive(); }
    // True while Connect waits for the address file.
    bool addressFetchPending() const { return m_addressFetch != 0; }

signals:
    void statusChanged(const QString &text, StatusStyle style);
    // Every piece of text received, before it is buffered.
    void rawArrival(const QString &data);
    void stateChanged(ServerLink::LinkState linkState);
    void socketError(int number, const QString &text);

private:
    void onStateChanged(QAbstractSocket::SocketState socketState);
    bool awaitingSignOnReply() const;
    void onReadyRead();
    void onSocketError(QAbstractSocket::SocketError error);
    void onAddressFile(const QString &body);
    void sendPending();
    void showState(StatusStyle style = StatusStyle::Normal);
    void openSocket(const QString &host, quint16 port);

    ClientState &m_state;
    UrlDownloader &m_downloader;
    QTcpSocket m_socket;
    Dispatcher m_dispatcher;
    ReceiveBuffer m_buffer;
    QTimer m_timer1;
    int m_idleMinutes = 0;
    bool m_pendingSent = false; // the queued message went out on this connection
    quint64 m_addressFetch = 0;
};

using LinkState = ServerLink::LinkState;
LinkState LinkStateFromSocket(QAbstractSocket::SocketState state);
inline QString StatusText(LinkState state)
{
    return StatusText(static_cast<int>(state));
}
