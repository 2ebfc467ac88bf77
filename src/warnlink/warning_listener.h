#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class QTcpServer;
class QTcpSocket;
class StatusLine;
class WarningsModel;

// The local link the warning program connects to. It listens on the
// loopback address only: anyone else on the network could otherwise push
// official-looking warnings into the list. One peer at a time; accepting it
// ends the listening, and the minute retry listens again after a loss.
class WarningListener final : public QObject
{
    Q_OBJECT
public:
    static constexpr quint16 DefaultPort = 1003;
    static constexpr int RetryTicks = 6;

    WarningListener(WarningsModel &model, StatusLine &status, quint16 port = DefaultPort,
                    QObject *parent = nullptr);
    ~WarningListener() override;

    void StartWarningListener();
    void Close();
    // Timer2's step while the link is on.
    void MinuteTick();

    bool isListening() const;
    bool isConnected() const;
    // The port actually listened on (useful when constructed with port 0).
    quint16 listeningPort() const;
    int ListenRetryCount() const { return m_retryCount; }
    const QString &WarningBuffer() const { return m_buffer; }

    // What the status line says when listening fails.
    static QString ListenFailureText(quint16 port, const QString &reason, bool denied);

private:
    void Winsock2_ConnectionRequest();
    void Winsock2_DataArrival();

    WarningsModel &m_model;
    StatusLine &m_status;
    quint16 m_port;
    QTcpServer *m_server;
    QPointer<QTcpSocket> m_peer;
    QString m_buffer;
    int m_retryCount = 0;
};
