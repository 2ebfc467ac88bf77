#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// Throwaway database and message-bus servers from the system's packages, on
// free loopback ports in temporary folders, removed when the object goes.
// stop() and start() again keep the data and the port, so a test can take an
// engine away for a few seconds and bring it back.

// A free TCP port on 127.0.0.1 at the moment of asking.
quint16 FreeLoopbackPort();

class TempRedis
{
public:
    TempRedis();
    ~TempRedis();

    // False (and error() says why) when redis-server is missing or does not
    // answer PING within a few seconds.
    bool start();
    // SIGKILL: what it said is gone, as after a crash (nothing is saved).
    void stop();
    bool isRunning() const;

    quint16 port() const { return m_port; }
    // redis://127.0.0.1:PORT
    QString url() const;
    QString error() const { return m_error; }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port = 0;
    QString m_error;
};

class TempPostgres
{
public:
    TempPostgres();
    ~TempPostgres();

    // Creates the cluster on first call (initdb, as the postgres user when
    // running as root, since initdb refuses root) and the database
    // "nimbrel" owned by the user "nimbrel", trusted on loopback.
    bool start();
    // Fast shutdown; the data stays for the next start().
    void stop();
    bool isRunning() const;

    quint16 port() const { return m_port; }
    // postgresql://nimbrel@127.0.0.1:PORT/nimbrel
    QString url() const;
    // Runs one SQL statement through psql; returns its unaligned output.
    QString query(const QString &sql, bool *ok = nullptr) const;
    QString error() const { return m_error; }

private:
    bool run(const QString &program, const QStringList &arguments, QString *output = nullptr) const;
    bool waitUntilReady(int timeoutMs);

    QTemporaryDir m_dir;
    QString m_dataDir;
    QProcess m_process;
    quint16 m_port = 0;
    bool m_initialised = false;
    mutable QString m_error;
};
