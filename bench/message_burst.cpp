// 5,000 MSG messages arriving in one piece: direct messages, group
// messages, quick chat and traffic for others, in the real main window and
// messaging window. Prints the time the UI thread is busy with the arrival
// and the length of both panes. Goal: ui_ms <= 250, both panes at most
// 15,000 characters.
#include "app/ui/form1.h"
#include "bench_client.h"
#include "community/ui/community_subsystem.h"
#include "community/ui/frm_msg.h"
#include "net/protocol.h"
#include "net/server_link.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QtTest>

#include <cstdio>

namespace {

constexpr int Messages = 5'000;

QString burst()
{
    const QStringList to = {QStringLiteral("ME"), QStringLiteral("SKYWARN"), QStringLiteral("QUICKCHAT"),
                            QStringLiteral("SOMEONE")};
    QString text;
    text.reserve(Messages * 90);
    for (int i = 0; i < Messages; ++i)
        text += ServerMessage(u"MSG", {to.at(i % 4), QStringLiteral("SPOTTER%1").arg(i % 40),
                                       QStringLiteral("Rotation seen west of town, moving east #%1").arg(i)});
    return text;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    BenchClient bench([](ClientState &state) {
        state.settings.UserName = QStringLiteral("ME");
        state.groupList << QStringLiteral("SKYWARN");
        state.signedOn = true;
    });
    ClientApp &client = *bench.app;
    Form1 &form = client.createMainWindow();
    form.resize(1000, 700);
    form.show();
    frmMsg &messenger = client.community().messenger();
    messenger.show();
    if (!QTest::qWaitForWindowExposed(&form) || !QTest::qWaitForWindowExposed(&messenger))
        return 1;

    const QString text = burst();
    QElapsedTimer busy;
    busy.start();
    client.link().receiveBuffer().Append(text);
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents();
    form.repaint();
    messenger.repaint();
    const qint64 ms = busy.elapsed();
    std::printf("message_burst ui_ms=%lld chat_chars=%lld monitor_chars=%lld\n", static_cast<long long>(ms),
                static_cast<long long>(messenger.txtMessage->toPlainText().size()),
                static_cast<long long>(messenger.txtMonitor->toPlainText().size()));
    return 0;
}
