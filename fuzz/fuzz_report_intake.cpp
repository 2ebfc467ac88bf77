// Text from the network through the report handlers: RPT, WRN, GLD and DEL
// framed by the receive buffer. Both lists stay within their caps, a time
// field either parses to a valid UTC time or is refused, and the report
// colour is one of the three table colours.
#include "base/alert_sounds.h"
#include "base/client_state.h"
#include "base/wire_codec.h"
#include "net/dispatcher.h"
#include "net/receive_buffer.h"
#include "platform/clock.h"
#include "platform/sound_player.h"
#include "platform/window_actions.h"
#include "reports/report_intake.h"
#include "reports/report_list_model.h"
#include "warnlink/warnings_model.h"

#include <QCoreApplication>

#include <cstdlib>

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

class QuietPlayer final : public SoundPlayer
{
public:
    void play(const QString &) override {}
    void stop() override {}
};

class StillWindow final : public WindowActions
{
public:
    bool isMinimised() const override { return false; }
    bool isInTray() const override { return false; }
    void restoreFromMinimised() override {}
    void showFromTray() override {}
    void bringToFront() override {}
    void hideToTray() override {}
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static int argc = 1;
    static char name[] = "fuzz_report_intake";
    static char *argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);

    const QString text =
        WireCodec::decode(QByteArrayView(reinterpret_cast<const char *>(data), qsizetype(size)));

    const std::optional<QDateTime> time = ParseReportTime(text);
    check(!time || (time->isValid() && time->timeSpec() == Qt::UTC));
    const std::optional<Rgb> colour = SeverityColour(text);
    check(!colour || *colour == ReportColours::Red || *colour == ReportColours::Green ||
          *colour == ReportColours::Blue);

    ClientState state;
    state.dataDir = QStringLiteral("/nonexistent");
    state.settings.UserState = QStringLiteral("MD");
    state.settings.UserCounty = QStringLiteral("HARFORD");
    state.filterList = {QStringLiteral("TROLL")};
    state.additionalCounties = {QStringLiteral("PA"), QStringLiteral("VA YORK")};
    SystemClock clock;
    QuietPlayer player;
    StillWindow window;
    AlertSounds sounds(player, state.dataDir);
    ReportListModel reports;
    WarningsModel warnings;
    ReportIntake intake(state, clock, window, sounds, reports);
    QObject::connect(&intake, &ReportIntake::warningRelayed, &warnings,
                     [&warnings](const QString &t, const QString &time, const QString &st, const QString &c) {
                         warnings.InsertAtTop(WarningsModel::FromRelayedWarning(t, time, st, c));
                     });
    Dispatcher dispatcher;
    intake.RegisterHandlers(dispatcher);
    ReceiveBuffer buffer([&dispatcher](const QString &m) { dispatcher.dispatch(m); });
    buffer.Append(text);
    reports.flush();
    check(reports.rowCount() <= ReportListModel::MaxRows);
    check(warnings.rowCount() <= WarningsModel::MaxRows);
    check(!intake.HistoricalMode());
    return 0;
}
