#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QStringList>

class QTcpServer;
class QTcpSocket;
class RelayLog;
class RelayServer;

// Operator commands, one text line each, on a loopback-only port. Fields
// are separated by tabs; a line without a tab is split on blanks, the last
// field taking the rest of the line. Every answer ends with a line that
// begins "ok" or "error".
class AdminServer : public QObject
{
    Q_OBJECT
public:
    static constexpr qsizetype MaxLineBytes = 64 * 1024;

    AdminServer(RelayServer &relay, const RelayLog &log, QObject *parent = nullptr);

    // Refuses any address that is not loopback.
    bool listen(const QHostAddress &address, quint16 port, QString *error);
    QHostAddress serverAddress() const;
    quint16 serverPort() const;

    // Runs one command line and returns the answer lines.
    QStringList execute(const QString &line);
    static QStringList splitCommand(const QString &line);
    static QString helpText();

private:
    void onNewConnection();
    void onReadyRead(QTcpSocket *socket);

    RelayServer &m_relay;
    const RelayLog &m_log;
    QTcpServer *m_server;
};
