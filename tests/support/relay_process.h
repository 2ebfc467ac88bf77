#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// Starts the real nimbrel-relay on free loopback ports with a database in
// a temporary folder (or a given file, to survive a restart).
class RelayProcess
{
public:
    RelayProcess();
    ~RelayProcess();

    bool start(const QStringList &extraArguments = {}, const QString &databasePath = {});
    // SIGTERM and wait; true when the relay ended by itself with code 0.
    bool stop();
    bool isRunning() const;

    quint16 tcpPort() const { return m_tcpPort; }
    quint16 httpPort() const { return m_httpPort; }
    quint16 adminPort() const { return m_adminPort; }
    QString databasePath() const { return m_databasePath; }
    QString readyLine() const { return m_readyLine; }
    QString log() const;
    // Runs "nimbrel-relay admin --to ... arguments" and returns its output.
    QString admin(const QStringList &arguments, int *exitCode = nullptr) const;

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    QString m_databasePath;
    QString m_readyLine;
    quint16 m_tcpPort = 0;
    quint16 m_httpPort = 0;
    quint16 m_adminPort = 0;
};
