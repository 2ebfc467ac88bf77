// A history answer of 20,000 GLD records arriving in one piece: decoded,
// framed and dispatched into the report intake, committed to the report
// list and painted once, in the real main window. Prints the time the UI
// thread is busy with the arrival (the worst of three) and the rows listed.
// Goal: ui_ms <= 250, 1,999 rows.
#include "app/ui/form1.h"
#include "base/wire_codec.h"
#include "bench_client.h"
#include "net/protocol.h"
#include "net/server_link.h"
#include "reports/ui/report_panel.h"
#include "reports/ui/reports_subsystem.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTreeView>
#include <QtTest>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int Records = 20'000;
constexpr int Runs = 3;

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

    BenchClient bench([](ClientState &state) {
        state.settings.UserState = QStringLiteral("KS");
        state.settings.UserCounty = QStringLiteral("SEDGWICK");
        // A full filter list: every record is screened against 2,000 names.
        for (int i = 0; i < 2000; ++i)
            state.filterList << QStringLiteral("BLOCKED%1").arg(i);
    });
    ClientApp &client = *bench.app;
    Form1 &form = client.createMainWindow();
    ReportsSubsystem *reports = &client.reports();
    ServerLink &link = client.link();
    form.resize(1000, 700);
    form.show();
    if (!QTest::qWaitForWindowExposed(&form))
        return 1;

    qint64 worstMs = 0;
    for (int run = 0; run < Runs; ++run) {
        const QByteArray bytes = historyAnswer(run);
        reports->intake().setClearOnNextHistorical(true);
        QCoreApplication::processEvents();

        QElapsedTimer busy;
        busy.start();
        link.receiveBuffer().Append(WireCodec::decode(bytes));
        // The staged rows are committed on the next pass; then the window
        // lays out and paints once.
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents();
        form.repaint();
        worstMs = std::max(worstMs, busy.elapsed());
    }
    std::printf("gld_burst ui_ms=%lld rows=%d\n", static_cast<long long>(worstMs),
                reports->panel()->ListView1->model()->rowCount());
    return 0;
}
