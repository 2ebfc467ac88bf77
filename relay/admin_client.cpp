#include "admin_client.h"

#include "admin_server.h"
#include "relay_options.h"

#include <QFileInfo>
#include <QLocalSocket>
#include <QTcpSocket>

#include <memory>

namespace {

constexpr int TimeoutMs = 5000;

void print(FILE *f, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), f);
    std::fflush(f);
}

} // namespace

int RunAdminClient(const QStringList &arguments, FILE *out, FILE *err)
{
    const auto usage = [err] {
        print(err, QStringLiteral("usage: nimbrel-relay admin --socket PATH COMMAND [ARGUMENT ...]\n"
                                  "       nimbrel-relay admin --to HOST:PORT --token-file FILE COMMAND"
                                  " [ARGUMENT ...]\n"));
        return 2;
    };
    QStringList command;
    QByteArray greeting;
    // A small command-line tool with nothing else to do: blocking calls
    // with time-outs keep it simple.
    std::unique_ptr<QIODevice> device;
    QString where;
    if (arguments.size() >= 3 && arguments.at(0) == QLatin1String("--socket")) {
        // A name without a folder would be looked for in the temporary folder.
        where = QFileInfo(arguments.at(1)).absoluteFilePath();
        command = arguments.mid(2);
        auto *socket = new QLocalSocket;
        device.reset(socket);
        socket->connectToServer(where);
        if (!socket->waitForConnected(TimeoutMs)) {
            print(err, QStringLiteral("cannot reach %1: %2\n").arg(where, socket->errorString()));
            return 1;
        }
    } else if (arguments.size() >= 5 && arguments.at(0) == QLatin1String("--to") &&
               arguments.at(2) == QLatin1String("--token-file")) {
        HostPort target;
        if (!ParseHostPort(arguments.at(1), &target))
            return usage();
        QString error;
        if (!AdminServer::readToken(arguments.at(3), &greeting, &error)) {
            print(err, error + u'\n');
            return 2;
        }
        greeting += '\n';
        where = arguments.at(1);
        command = arguments.mid(4);
        auto *socket = new QTcpSocket;
        device.reset(socket);
        socket->connectToHost(target.address, target.port);
        if (!socket->waitForConnected(TimeoutMs)) {
            print(err, QStringLiteral("cannot reach %1: %2\n").arg(where, socket->errorString()));
            return 1;
        }
    } else {
        return usage();
    }
    for (QString &part : command)
        part.replace(u'\t', u' ').replace(u'\n', u' ').replace(u'\r', u' ');

    device->write(greeting + command.join(u'\t').toUtf8() + '\n');
    if (device->bytesToWrite() > 0 && !device->waitForBytesWritten(TimeoutMs)) {
        print(err, QStringLiteral("cannot send: %1\n").arg(device->errorString()));
        return 1;
    }
    for (;;) {
        while (device->canReadLine()) {
            const QString line = QString::fromUtf8(device->readLine());
            print(out, line);
            if (line.startsWith(QLatin1String("ok")))
                return 0;
            if (line.startsWith(QLatin1String("error")))
                return 1;
        }
        if (!device->waitForReadyRead(TimeoutMs)) {
            print(err, QStringLiteral("no answer from %1: %2\n").arg(where, device->errorString()));
            return 1;
        }
    }
}
