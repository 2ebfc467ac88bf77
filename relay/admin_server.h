#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>
#include <QStringList>

#include <functional>

class QIODevice;
class QLocalServer;
class QTcpServer;
class RelayLog;
class RelayServer;
class StoreWorker;

// Operator commands, one text line each, on a Unix-domain socket that the
// file mode guards (0660: the relay's user and group), or on a loopback
// port where the first line must be the token. Fields are separated by
// tabs; a line without a tab is split on blanks, the last field taking
// the rest of the line. Every answer ends with a line that begins "ok" or
// "error"; a line that is no command closes the connection, so that a web
// page posting to the port gets nowhere.
class AdminServer : public QObject
{
    Q_OBJECT
public:
    static constexpr qsizetype MaxLineBytes = 64 * 1024;
    static constexpr int MaxConnections = 4;
    static constexpr qsizetype MinTokenLength = 16;

    AdminServer(RelayServer &relay, StoreWorker &store, const RelayLog &log, QObject *parent = nullptr);

    // Refuses any address that is not loopback, and an empty token.
    bool listen(const QHostAddress &address, quint16 port, const QByteArray &token, QString *error);
    // Takes over a stale socket file; refuses a path another program
    // answers on or that is no socket.
    bool listenLocal(const QString &path, QString *error);
    QHostAddress serverAddress() const;
    quint16 serverPort() const;
    QString socketPath() const;
    // A connection without a complete line for this long is closed.
    void setIdleSeconds(int seconds) { m_idleMs = seconds * 1000; }

    // The token is the file's first line; a file that others may read or
    // write is refused.
    static bool readToken(const QString &path, QByteArray *token, QString *error);

    // Runs one command line and returns the answer lines; valid is false
    // for a line that is no command (unknown word, wrong field count).
    QStringList execute(const QString &line, bool *valid = nullptr);
    // The same for every command, those that wait for the store included:
    // done gets the answer lines, at once or once the store has answered.
    void perform(const QString &line, std::function<void(const QStringList &, bool valid)> done);
    static QStringList splitCommand(const QString &line);
    static QString helpText();

private:
    QStringList run(const QString &name, const QStringList &args);
    void adopt(QIODevice *device, const QString &peer, bool needsToken);

    RelayServer &m_relay;
    StoreWorker &m_store;
    const RelayLog &m_log;
    QTcpServer *m_server;
    QLocalServer *m_local;
    QByteArray m_token;
    int m_idleMs = 60'000;
    int m_open = 0;
    QElapsedTimer m_lastRefusalLogged;
};
