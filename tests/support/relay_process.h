#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>

using namespace Qt::Literals::StringLiterals;

// Protocol texts a test client sends, built as the real client builds them.
namespace RelayTestText {
QString SignOn(const QString &user, const QString &password, const QString &state = u"MD"_s,
               const QString &county = u"HARFORD"_s, const QString &zip = u"21001"_s,
               bool withVersion = true);
QString NewAccount(const QString &user, const QString &password);
QString Report(const QString &text, const QString &user, const QString &state = u"MD"_s,
               const QString &county = u"HARFORD"_s);
} // namespace RelayTestText

class RawClient;

// One request to a relay's HTTP port; the whole answer, headers included.
QByteArray HttpGet(quint16 port, const QByteArray &path);

// Connects, creates the account (password "pw") and signs on in MD; true
// when the relay answers ":SGN|3|^".
bool JoinRelay(RawClient &client, quint16 port, const QString &user, const QString &county = u"HARFORD"_s,
               const QString &from = {});

// Starts the real nimbrel-relay on free loopback ports with a database in
// a temporary folder (or a given file, to survive a restart).
class RelayProcess
{
public:
    RelayProcess();
    ~RelayProcess();

    bool start(const QStringList &extraArguments = {}, const QString &databasePath = {});
    // Runs in the relay's process before it starts (limits, descriptors).
    void setChildSetup(const std::function<void()> &setup) { m_process.setChildProcessModifier(setup); }
    // SIGTERM and wait; true when the relay ended by itself with code 0.
    bool stop();
    // SIGKILL, as a crash or a power cut ends it; true once it is gone.
    bool kill();
    bool isRunning() const;
    qint64 processId() const { return m_process.processId(); }

    quint16 tcpPort() const { return m_tcpPort; }
    quint16 httpPort() const { return m_httpPort; }
    QString databasePath() const { return m_databasePath; }
    QString readyLine() const { return m_readyLine; }
    QString log() const;
    // Runs "nimbrel-relay admin --socket ... arguments" and returns its output.
    QString admin(const QStringList &arguments, int *exitCode = nullptr) const;
    // The admin port when started with --admin (and a token file), else 0.
    quint16 adminPort() const { return m_adminPort; }
    QString adminSocket() const { return m_dir.filePath(u"admin.sock"_s); }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    QString m_databasePath;
    QString m_readyLine;
    quint16 m_tcpPort = 0;
    quint16 m_httpPort = 0;
    quint16 m_adminPort = 0;
};
