// A history answer of 20,000 GLD records arriving in one piece: decoded,
// framed and dispatched into the report intake, committed to the report
// list and painted once. Prints the time the UI thread is busy with the
// arrival and the rows listed. Goal: ui_ms <= 250, 1,999 rows.
#include "app/client_state.h"
#include "net/dispatcher.h"
#include "net/message_sender.h"
#include "net/protocol.h"
#include "net/receive_buffer.h"
#include "net/wire_codec.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/sound_player.h"
#include "reports/alert_sounds.h"
#include "reports/report_composer.h"
#include "reports/report_intake.h"
#include "reports/report_list_model.h"
#include "reports/ui/form1_window_actions.h"
#include "reports/ui/report_panel.h"
#include "warnlink/warnings_model.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTreeView>
#include <QVBoxLayout>
#include <QtTest>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int Records = 20'000;
constexpr int Runs = 3;

class SilentPlayer final : public SoundPlayer
{
public:
    void play(const QString &) override {}
    void stop() override {}
};

class NoSender final : public MessageSender
{
public:
    void SendData(const QString &) override {}
};

QByteArray historyAnswer(int run)
{
    QString text;
    text.reserve(Records * 110);
    const QStringList states = {QStringLiteral("KS"), QStringLiteral("MD"), QStringLiteral("OK")};
    for (int i = 0; i < Records; ++i) {
        const QString report = (i % 3 == 0 ? QStringLiteral("R: Nickel size hail, wind 60 mph #")
                                           : QStringLiteral("Tornado on the ground near town #")) +
                               QString::number(run * Records + i);
        const QString time = QStringLiteral("12/%1/2026 %2:44:52 PM").arg(1 + i % 28).arg(1 + i % 12);
        text += ServerMessage(u"GLD",
                              {report, states.at(i % 3), QStringLiteral("SEDGWICK"), QStringLiteral("67202"),
                               QStringLiteral("SPOTTER%1").arg(i % 50), QStringLiteral("WICHITA"), time});
    }
    return WireCodec::encode(text);
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    ClientState state;
    state.dataDir = QDir::tempPath();
    state.settings.UserState = QStringLiteral("KS");
    state.settings.UserCounty = QStringLiteral("SEDGWICK");
    for (int i = 0; i < 2000; ++i)
        state.filterList << QStringLiteral("BLOCKED%1").arg(i);
    SystemClock clock;
    SilentPlayer player;
    AlertSounds sounds(player, state.dataDir);
    ReportListModel reports;
    WarningsModel warnings;
    NoSender sender;

    QWidget window;
    MainWindowAlertActions actions(window, [] {});
    ReportIntake intake(state, clock, actions, sounds, reports, warnings);
    Dispatcher dispatcher;
    intake.RegisterHandlers(dispatcher);
    ReceiveBuffer buffer([&dispatcher](const QString &m) { dispatcher.dispatch(m); });

    struct : Dialogs
    {
        Button messageBox(const QString &, const QString &, Buttons, Icon, Button) override { return Ok; }
        std::optional<QString> inputBox(const QString &, const QString &, const QString &) override
        {
            return std::nullopt;
        }
        QString openFile(const QString &, const QString &, const QString &) override { return {}; }
        std::optional<Font> chooseFont(const Font &) override { return std::nullopt; }
    } dialogs;
    ReportComposer composer(state, clock, dialogs, sender);
    auto *panel = new ReportPanel(reports, composer, state, &window);
    auto *layout = new QVBoxLayout(&window);
    layout->addWidget(panel);
    window.resize(1000, 700);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return 1;

    qint64 worstMs = 0;
    for (int run = 0; run < Runs; ++run) {
        const QByteArray bytes = historyAnswer(run);
        intake.setClearOnNextHistorical(true);
        QCoreApplication::processEvents();

        QElapsedTimer busy;
        busy.start();
        buffer.Append(WireCodec::decode(bytes));
        // The staged rows are committed on the next pass; then the window
        // lays out and paints once.
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents();
        window.repaint();
        worstMs = std::max(worstMs, busy.elapsed());
    }
    std::printf("gld_burst ui_ms=%lld rows=%d\n", static_cast<long long>(worstMs),
                panel->ListView1->model()->rowCount());
    return 0;
}
