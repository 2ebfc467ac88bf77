#pragma once

#include <QHash>
#include <QHostAddress>
#include <QObject>

#include <functional>
#include <optional>

class QTcpServer;
class QTcpSocket;
class RelayLog;
class RelayMetrics;

// A minimal HTTP responder that publishes the relay's address file:
// GET /weather/WXIP.txt answers the numeric address and port of the relay;
// everything else is 404. One request per connection, requests capped.
// With metrics set it also answers the operator: GET /health (200, or 503
// with the reason while the relay should get no clients) and GET /metrics
// (the Prometheus text format).
class AddressFileServer : public QObject
{
    Q_OBJECT
public:
    static constexpr qsizetype MaxRequestBytes = 8 * 1024;
    static constexpr int MaxConnections = 64;
    // One address may not hold every slot, nor hold one for long.
    static constexpr int MaxPerAddress = 4;
    static constexpr int HeaderDeadlineMs = 3'000;

    // relayAddress may be the any-address; the answer then names the
    // address on which the asking client reached this machine.
    AddressFileServer(const RelayLog &log, QHostAddress relayAddress, quint16 relayPort,
                      QObject *parent = nullptr);

    bool listen(const QHostAddress &address, quint16 port, QString *error);
    // In a cluster: the relay to hand out, nullopt for this one, an empty
    // text when none can take clients now.
    void setChooser(std::function<std::optional<QString>()> chooser) { m_chooser = std::move(chooser); }
    void setMetrics(const RelayMetrics *metrics) { m_metrics = metrics; }
    QHostAddress serverAddress() const;
    quint16 serverPort() const;

    // The status line and body for one request line ("GET /path HTTP/1.1").
    struct Answer
    {
        int status;
        QByteArray body;
        QByteArray contentType = "text/plain";
    };
    static Answer answerFor(const QByteArray &requestLine, const QByteArray &addressText);
    // /health and /metrics; nullopt for any other request.
    static std::optional<Answer> operatorAnswer(const QByteArray &requestLine, const RelayMetrics &metrics);

private:
    void onNewConnection();
    void onReadyRead(QTcpSocket *socket);
    void respond(QTcpSocket *socket, const Answer &answer);
    QByteArray addressTextFor(const QTcpSocket *socket) const;

    const RelayLog &m_log;
    QHostAddress m_relayAddress;
    quint16 m_relayPort;
    QTcpServer *m_server;
    int m_open = 0;
    QHash<QHostAddress, int> m_openFrom;
    std::function<std::optional<QString>()> m_chooser;
    const RelayMetrics *m_metrics = nullptr;
};
