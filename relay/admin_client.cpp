#include "admin_client.h"

#include "relay_options.h"

#include <QTcpSocket>

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
    HostPort target;
    if (arguments.size() < 3 || arguments.at(0) != QLatin1String("--to") ||
        !ParseHostPort(arguments.at(1), &target)) {
        print(err, QStringLiteral("usage: nimbrel-relay admin --to HOST:PORT COMMAND [ARGUMENT ...]\n"));
        return 2;
    }
    QStringList command = arguments.mid(2);
    for (QString &part : command)
        part.replace(u'\t', u' ').replace(u'\n', u' ').replace(u'\r', u' ');

    // A small command-line tool with nothing else to do: blocking calls
    // with time-outs keep it simple.
    QTcpSocket socket;
    socket.connectToHost(target.address, target.port);
    if (!socket.waitForConnected(TimeoutMs)) {
        print(err, QStringLiteral("cannot reach %1: %2\n").arg(arguments.at(1), socket.errorString()));
        return 1;
    }
    socket.write(command.join(u'\t').toUtf8() + '\n');
    if (!socket.waitForBytesWritten(TimeoutMs)) {
        print(err, QStringLiteral("cannot send: %1\n").arg(socket.errorString()));
        return 1;
    }
    for (;;) {
        while (socket.canReadLine()) {
            const QString line = QString::fromUtf8(socket.readLine());
            print(out, line);
            if (line.startsWith(QLatin1String("ok")))
                return 0;
            if (line.startsWith(QLatin1String("error")))
                return 1;
        }
        if (!socket.waitForReadyRead(TimeoutMs)) {
            print(err, QStringLiteral("no answer: %1\n").arg(socket.errorString()));
            return 1;
        }
    }
}
