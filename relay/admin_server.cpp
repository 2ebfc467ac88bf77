#include "admin_server.h"

#include "password_hash.h"
#include "relay_log.h"
#include "relay_server.h"
#include "store_worker.h"

#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <memory>

#include <sys/stat.h>

namespace {

struct CommandShape
{
    const char *name;
    int minFields; // after the command word
    int maxFields;
    const char *usage;
};

constexpr CommandShape kCommands[] = {
    {"list", 0, 0,
     "list                                   signed-on observers of every relay, the relay last"},
    {"smg", 2, 2, "smg USER|* TEXT                        system message to a user or everybody"},
    {"wrn", 6, 7, "wrn TEXT STATE COUNTY ZIP OBSERVER LOCATION [TIME]   warning to everybody"},
    {"hub", 3, 3, "hub USER|* HOST PORT                   move clients to another relay"},
    {"gad", 4, 4, "gad USER|* IMAGE-URL TOOLTIP LINK-URL  graphic announcement"},
    {"ban", 1, 1, "ban USER                               withdraw eligibility and tell the client"},
    {"unban", 1, 1, "unban USER                             let a banned account sign on again"},
    {"c12", 1, 1, "c12 USER                               end the user's client"},
    {"dis", 1, 1, "dis USER|*                             ask clients to disconnect (they reconnect)"},
    {"relays", 0, 0, "relays                                 live relays: NAME HOST:PORT SIGNED_ON DRAINING"},
    {"drain", 0, 0,
     "drain                                  hand out the other relays and move this one's clients"},
    {"help", 0, 0, "help                                   this list"},
};

const CommandShape *shapeOf(const QString &word)
{
    for (const CommandShape &s : kCommands)
        if (word.compare(QLatin1String(s.name), Qt::CaseInsensitive) == 0)
            return &s;
    return nullptr;
}

QString FormatPeer(const QTcpSocket *socket)
{
    return QStringLiteral("%1:%2").arg(socket->peerAddress().toString()).arg(socket->peerPort());
}

QString reached(int n)
{
    if (n < 0)
        return QStringLiteral("error a field holds \"|\" or \"^\", which cannot travel in it");
    return QStringLiteral("ok %1 connection%2").arg(n).arg(n == 1 ? QString() : QStringLiteral("s"));
}

} // namespace

AdminServer::AdminServer(RelayServer &relay, StoreWorker &store, const RelayLog &log, QObject *parent)
    : QObject(parent), m_relay(relay), m_store(store), m_log(log), m_server(new QTcpServer(this)),
      m_local(new QLocalServer(this))
{
    connect(m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = m_server->nextPendingConnection()) {
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            if (!socket->peerAddress().isLoopback()) {
                socket->abort();
                socket->deleteLater();
                continue;
            }
            socket->setReadBufferSize(MaxLineBytes + 1);
            adopt(socket, FormatPeer(socket), true);
        }
    });
    connect(m_local, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *socket = m_local->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            socket->setReadBufferSize(MaxLineBytes + 1);
            adopt(socket, QStringLiteral("socket"), false);
        }
    });
}

bool AdminServer::listen(const QHostAddress &address, quint16 port, const QByteArray &token, QString *error)
{
    if (!address.isLoopback() || token.size() < MinTokenLength) {
        if (error)
            *error = address.isLoopback()
                         ? QStringLiteral("the admin port needs a token")
                         : QStringLiteral("the admin port listens on a loopback address only");
        return false;
    }
    m_token = token;
    if (m_server->listen(address, port))
        return true;
    if (error)
        *error = m_server->errorString();
    return false;
}

bool AdminServer::listenLocal(const QString &path, QString *error)
{
    const QString full = QFileInfo(path).absoluteFilePath();
    const QByteArray name = QFile::encodeName(full);
    const auto fail = [&](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    struct stat st = {};
    if (::lstat(name.constData(), &st) == 0) {
        if (!S_ISSOCK(st.st_mode))
            return fail(QStringLiteral("%1 exists and is not a socket").arg(full));
        QLocalSocket probe;
        probe.connectToServer(full);
        if (probe.waitForConnected(1000))
            return fail(QStringLiteral("another program answers on %1").arg(full));
        // Left behind by a relay that was killed.
        QLocalServer::removeServer(full);
    }
    m_local->setSocketOptions(QLocalServer::UserAccessOption | QLocalServer::GroupAccessOption);
    if (!m_local->listen(full))
        return fail(m_local->errorString());
    // Connecting needs write access: the relay's user and group, nobody else.
    if (::chmod(name.constData(), 0660) != 0) {
        m_local->close();
        return fail(QStringLiteral("cannot set the mode of %1").arg(full));
    }
    return true;
}

QString AdminServer::socketPath() const
{
    return m_local->fullServerName();
}

bool AdminServer::readToken(const QString &path, QByteArray *token, QString *error)
{
    QFile file(path);
    const auto fail = [&](const QString &why) {
        if (error)
            *error = QStringLiteral("token file %1: %2").arg(path, why);
        return false;
    };
    if (!file.open(QIODevice::ReadOnly))
        return fail(file.errorString());
    if (file.permissions() & (QFile::ReadOther | QFile::WriteOther))
        return fail(QStringLiteral("others may read or write it (chmod o-rw)"));
    *token = file.readLine(4096).trimmed();
    if (token->size() < MinTokenLength)
        return fail(
            QStringLiteral("its first line must hold a token of at least %1 characters").arg(MinTokenLength));
    return true;
}

QHostAddress AdminServer::serverAddress() const
{
    return m_server->serverAddress();
}

quint16 AdminServer::serverPort() const
{
    return m_server->serverPort();
}

QString AdminServer::helpText()
{
    QStringList lines;
    for (const CommandShape &s : kCommands)
        lines.append(QLatin1String(s.usage));
    return lines.join(u'\n');
}

QStringList AdminServer::splitCommand(const QString &line)
{
    QString text = line;
    while (text.endsWith(u'\r') || text.endsWith(u'\n'))
        text.chop(1);
    if (text.contains(u'\t')) {
        QStringList fields = text.split(u'\t');
        // Surplus words belong to the last field, as typed on a shell line.
        const CommandShape *shape = shapeOf(fields.first());
        if (shape && shape->maxFields > 0 && fields.size() > shape->maxFields + 1) {
            const QString last = fields.mid(shape->maxFields).join(u' ');
            fields = fields.mid(0, shape->maxFields);
            fields.append(last);
        }
        return fields;
    }
    text = text.trimmed();
    const qsizetype space = text.indexOf(u' ');
    const QString word = space < 0 ? text : text.left(space);
    const CommandShape *shape = shapeOf(word);
    if (!shape || space < 0)
        return word.isEmpty() ? QStringList() : QStringList{word};
    QStringList fields{word};
    QString rest = text.mid(space + 1).trimmed();
    while (!rest.isEmpty()) {
        if (fields.size() == shape->maxFields) {
            fields.append(rest);
            break;
        }
        const qsizetype next = rest.indexOf(u' ');
        if (next < 0) {
            fields.append(rest);
            break;
        }
        fields.append(rest.left(next));
        rest = rest.mid(next + 1).trimmed();
    }
    return fields;
}

namespace {

QString notMarked(const QString &user, const QString &failure)
{
    return failure.isEmpty() ? QStringLiteral("error no account named %1").arg(user)
                             : QStringLiteral("error the database cannot be written: %1").arg(failure);
}

} // namespace

void AdminServer::perform(const QString &line, std::function<void(const QStringList &, bool)> done)
{
    const QStringList parts = splitCommand(line);
    const CommandShape *shape = parts.isEmpty() ? nullptr : shapeOf(parts.first());
    const QString name = shape ? QString::fromLatin1(shape->name) : QString();
    const bool marks = name == QLatin1String("ban") || name == QLatin1String("unban");
    if (name == QLatin1String("drain") && parts.size() == 1) {
        // The answer comes once the last wave is out.
        m_log.line(QStringLiteral("admin: drain"));
        m_relay.drain([done](int moved) {
            done({QStringLiteral("ok %1 client%2 moved")
                      .arg(moved)
                      .arg(moved == 1 ? QString() : QStringLiteral("s"))},
                 true);
        });
        return;
    }
    if (!marks || parts.size() != 2) {
        bool valid = false;
        const QStringList out = execute(line, &valid);
        return done(out, valid);
    }
    // Bans are stored before the client hears of them; the answer follows.
    m_log.line(QStringLiteral("admin: %1").arg(parts.join(u' ').left(300)));
    const QString user = parts.at(1);
    if (name == QLatin1String("ban")) {
        m_relay.ban(user, [user, done](bool marked, int n, const QString &failure) {
            done({marked ? reached(n) + QStringLiteral(", account marked ineligible")
                         : notMarked(user, failure)},
                 true);
        });
        return;
    }
    m_store.setEligible(user, true, this, [user, done](bool available, bool marked, const QString &failure) {
        done({marked ? QStringLiteral("ok account %1 may sign on again").arg(user)
                     : notMarked(user, available ? failure : QStringLiteral("the database did not answer"))},
             true);
    });
}

QStringList AdminServer::execute(const QString &line, bool *valid)
{
    if (valid)
        *valid = false;
    const QStringList parts = splitCommand(line);
    if (parts.isEmpty())
        return {QStringLiteral("error empty command; try help")};
    const CommandShape *shape = shapeOf(parts.first());
    if (!shape)
        return {QStringLiteral("error unknown command \"%1\"; try help").arg(parts.first().left(40))};
    const QStringList args = parts.mid(1);
    if (args.size() < shape->minFields || args.size() > shape->maxFields)
        return {QStringLiteral("error usage: %1").arg(QString::fromLatin1(shape->usage).simplified())};
    if (valid)
        *valid = true;
    const QString name = QString::fromLatin1(shape->name);
    m_log.line(QStringLiteral("admin: %1").arg(parts.join(u' ').left(300)));
    QStringList out = run(name, args);
    // The operator hears of failing writes at every command until they work.
    const QString failure = m_store.writeFailure();
    if (!failure.isEmpty() && !out.isEmpty() && !out.constLast().contains(failure))
        out.prepend(QStringLiteral("warning the database cannot be written: %1").arg(failure));
    return out;
}

QStringList AdminServer::run(const QString &name, const QStringList &args)
{
    if (name == QLatin1String("help"))
        return helpText().split(u'\n') << QStringLiteral("ok");
    if (name == QLatin1String("list")) {
        QStringList out;
        const QList<ObserverInfo> list = m_relay.observers();
        const auto flat = [](QString text) {
            for (QChar &c : text)
                if (c.unicode() < 0x20)
                    c = u' ';
            return text;
        };
        for (const ObserverInfo &o : list)
            out.append(QStringList{QStringLiteral("observer"), o.user, flat(o.state), flat(o.county),
                                   flat(o.zip), o.peer, o.node}
                           .join(u'\t'));
        out.append(QStringLiteral("ok %1 observer%2")
                       .arg(list.size())
                       .arg(list.size() == 1 ? QString() : QStringLiteral("s")));
        return out;
    }
    if (name == QLatin1String("relays")) {
        QStringList out;
        const QList<QStringList> relays = m_relay.relays();
        for (const QStringList &r : relays)
            out.append(r.join(u'\t'));
        out.append(QStringLiteral("ok %1 relay%2")
                       .arg(relays.size())
                       .arg(relays.size() == 1 ? QString() : QStringLiteral("s")));
        return out;
    }
    if (name == QLatin1String("drain")) {
        m_relay.drain([](int) {});
        return {QStringLiteral("ok draining")};
    }
    if (name == QLatin1String("smg"))
        return {reached(m_relay.sendSystemMessage(args.at(0), args.at(1)))};
    if (name == QLatin1String("wrn"))
        return {reached(m_relay.sendWarning(args))};
    if (name == QLatin1String("hub"))
        return {reached(m_relay.sendRedirect(args.at(0), args.at(1), args.at(2)))};
    if (name == QLatin1String("gad"))
        return {reached(m_relay.sendAnnouncement(args.at(0), args.at(1), args.at(2), args.at(3)))};
    if (name == QLatin1String("c12")) {
        if (args.at(0) == QLatin1String("*"))
            return {QStringLiteral("error c12 needs one user name")};
        return {reached(m_relay.terminate(args.at(0)))};
    }
    if (name == QLatin1String("dis"))
        return {reached(m_relay.disconnectUser(args.at(0)))};
    return {QStringLiteral("error %1 answers through perform()").arg(name)};
}

void AdminServer::adopt(QIODevice *device, const QString &peer, bool needsToken)
{
    const auto hangUp = [device] {
        if (auto *tcp = qobject_cast<QTcpSocket *>(device))
            tcp->disconnectFromHost();
        else if (auto *local = qobject_cast<QLocalSocket *>(device))
            local->disconnectFromServer();
    };
    if (m_open >= MaxConnections) {
        device->write("error too many admin connections\n");
        hangUp();
        if (!m_lastRefusalLogged.isValid() || m_lastRefusalLogged.hasExpired(60'000)) {
            m_lastRefusalLogged.start();
            m_log.line(QStringLiteral("admin: %1 refused, %2 admin connections open").arg(peer).arg(m_open));
        }
        return;
    }
    ++m_open;
    connect(device, &QObject::destroyed, this, [this] { --m_open; });
    auto *idle = new QTimer(device);
    idle->setSingleShot(true);
    idle->setInterval(m_idleMs);
    struct State
    {
        bool needsToken;
        bool closed = false;
        // A command waits for the store: later lines wait for its answer.
        bool busy = false;
        std::function<void()> process;
    };
    auto state = std::make_shared<State>();
    state->needsToken = needsToken;
    // Weak: the state holds what refers to this.
    const auto close = [this, weak = std::weak_ptr<State>(state), hangUp, peer](const QString &why) {
        if (const auto s = weak.lock())
            s->closed = true;
        if (!why.isEmpty())
            m_log.line(QStringLiteral("admin: %1 closed: %2").arg(peer, why));
        hangUp();
    };
    connect(idle, &QTimer::timeout, device, [close] { close(QStringLiteral("idle")); });
    idle->start();
    state->process = [this, device, idle, weak = std::weak_ptr<State>(state), close] {
        const std::shared_ptr<State> state = weak.lock();
        while (state && !state->closed && !state->busy && device->canReadLine()) {
            idle->start();
            const QByteArray raw = device->readLine(MaxLineBytes + 1);
            if (state->needsToken) {
                if (!PasswordHash::constantTimeEquals(raw.trimmed(), m_token))
                    return close(QStringLiteral("wrong token"));
                state->needsToken = false;
                continue;
            }
            state->busy = true;
            perform(QString::fromUtf8(raw), [device = QPointer<QIODevice>(device), weak,
                                             close](const QStringList &answer, bool valid) {
                const std::shared_ptr<State> state = weak.lock();
                if (!device || !state || state->closed)
                    return;
                state->busy = false;
                QByteArray out;
                for (const QString &line : answer)
                    out += line.toUtf8() + '\n';
                device->write(out);
                if (!valid)
                    return close(QString());
                // Lines that came in meanwhile.
                QMetaObject::invokeMethod(
                    device,
                    [weak] {
                        if (const auto s = weak.lock())
                            s->process();
                    },
                    Qt::QueuedConnection);
            });
        }
        if (state && !state->closed && !state->busy && device->bytesAvailable() > MaxLineBytes) {
            device->write("error line too long\n");
            close(QStringLiteral("line too long"));
        }
    };
    connect(device, &QIODevice::readyRead, this, [state] { state->process(); });
}
