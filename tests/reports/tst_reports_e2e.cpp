// ctest-label: e2e
#include "relay_process.h"
#include "reports_window_fixture.h"
#include "scripted_server.h"

#include <QLabel>
#include <QSignalSpy>
#include <QtTest>

using namespace Qt::Literals::StringLiterals;

namespace {

using Client = ReportsWindow;

bool signOn(Client &c, const QString &password)
{
    QSignalSpy boxes(c.replies, &SignOnReplies::messageBoxRequested);
    c.link->Connect();
    if (!QTest::qWaitFor([&] { return c.link->state() == LinkState::Connected; }, 5000))
        return false;
    c.link->QueuePendingMessage(RelayTestText::NewAccount(c.state.settings.UserName, password));
    if (!QTest::qWaitFor([&] { return boxes.size() == 1; }, 5000))
        return false;
    c.link->QueuePendingMessage(RelayTestText::SignOn(c.state.settings.UserName, password));
    return QTest::qWaitFor([&] { return c.state.signedOn; }, 5000);
}

} // namespace

class TstReportsE2e : public QObject
{
    Q_OBJECT
private slots:
    void twoSpottersThroughTheRelay()
    {
        RelayProcess relay;
        QVERIFY2(relay.start({u"--pbkdf2-iterations"_s, u"1000"_s}), qPrintable(relay.log()));
        Client anna(u"ANNA"_s, relay.httpPort());
        Client bob(u"BOB"_s, relay.httpPort());
        bob.state.settings.TimeMode = 2;
        QVERIFY(signOn(anna, u"secret1"_s));
        QVERIFY(signOn(bob, u"secret2"_s));

        // Severe: listed, alert sound, navy status line.
        anna.send(u"Large hail falling"_s, true);
        QTRY_COMPARE_WITH_TIMEOUT(bob.rows(), 1, 5000);
        QCOMPARE(bob.topText(), u"Large hail falling"_s);
        QCOMPARE(bob.reports->reports().index(0, 5).data().toString(), u"ANNA"_s);
        QVERIFY(!bob.reports->reports().index(0, 0).data(Qt::ForegroundRole).isValid());
        QCOMPARE(bob.sound.played.size(), 1);
        QVERIFY(bob.sound.played.last().endsWith(u"/Nimbrel.wav"_s));
        QVERIFY(bob.statusLabel()->text().startsWith(u"Large hail falling | "_s));
        QCOMPARE(bob.statusLabel()->palette().color(QPalette::Window), QColor(0, 0, 128));
        // The relay's UTC stamp, shown in UTC mode.
        const QString shown = bob.reports->reports().index(0, 1).data().toString();
        const QDateTime now = QDateTime::currentDateTimeUtc();
        QVERIFY2(shown == now.toString(u"MM/dd HH:mm"_s) ||
                     shown == now.addSecs(-60).toString(u"MM/dd HH:mm"_s),
                 qPrintable(shown));

        // Too soon for an ordinary report: refused with the wait message.
        anna.clock.advance(5);
        anna.send(u"More hail"_s, true);
        QCOMPARE(anna.dialogs.shown.last().title,
                 u"Please wait at least one minute before sending another report."_s);
        QCOMPARE(anna.panel().txtData->text(), u"More hail"_s);

        // A tornado report skips the interval: red, with the alert sound.
        anna.send(u"Tornado on the ground"_s, true);
        QTRY_COMPARE_WITH_TIMEOUT(bob.rows(), 2, 5000);
        QCOMPARE(bob.reports->reports().index(0, 0).data(Qt::ForegroundRole).value<QBrush>().color(),
                 QColor(255, 0, 0));
        QCOMPARE(bob.sound.played.size(), 2);

        // Routine after the interval: "R: " in front, green, the routine sound.
        anna.clock.advance(41);
        anna.send(u"Light rain"_s, false);
        QTRY_COMPARE_WITH_TIMEOUT(bob.rows(), 3, 5000);
        QCOMPARE(bob.topText(), u"R: Light rain"_s);
        QCOMPARE(bob.reports->reports().index(0, 0).data(Qt::ForegroundRole).value<QBrush>().color(),
                 QColor(0, 128, 0));
        QCOMPARE(bob.sound.played.size(), 3);
        QVERIFY(bob.sound.played.last().endsWith(u"/Routine.wav"_s));

        // Bob blocks Anna: her next report leaves no trace on his side.
        bob.state.filterList = {u"anna"_s};
        const QString statusBefore = bob.statusLabel()->text();
        anna.clock.advance(41);
        anna.send(u"Wall cloud"_s, true);
        QTRY_COMPARE_WITH_TIMEOUT(anna.rows(), 4, 5000);
        bob.send(u"Clear skies here"_s, true);
        QTRY_COMPARE_WITH_TIMEOUT(bob.rows(), 4, 5000);
        QCOMPARE(bob.topText(), u"Clear skies here"_s);
        QCOMPARE(bob.reports->reports().index(1, 0).data().toString(), u"R: Light rain"_s);
        QCOMPARE(bob.sound.played.size(), 4); // his own report only
        QVERIFY(!bob.statusLabel()->text().contains(u"Wall cloud"_s));
        QVERIFY(statusBefore != bob.statusLabel()->text());
    }

    void deleteFromScriptedServer()
    {
        ScriptedServer server;
        QVERIFY(server.listen());
        Client carl;
        carl.link->connectTo(u"127.0.0.1"_s, QString::number(server.port()));
        QTRY_VERIFY_WITH_TIMEOUT(server.hasClient(), 5000);
        const auto rpt = [](const QString &text) { return report(EscapeOutgoing(text)); };
        server.send(rpt(u"Hail: 1 inch"_s) + rpt(u"HAIL: 1 INCH"_s) + rpt(u"Wind"_s) +
                    rpt(u"hail: 1 inch"_s));
        QTRY_COMPARE_WITH_TIMEOUT(carl.rows(), 4, 5000);
        server.send(ServerMessage(u"DEL", {EscapeOutgoing(u"Hail: 1 Inch"_s)}));
        QTRY_COMPARE_WITH_TIMEOUT(carl.rows(), 1, 5000);
        QCOMPARE(carl.topText(), u"Wind"_s);
        QCOMPARE(carl.panel().lblListTotal->text(), u"1  Listed Reports"_s);
    }
};

QTEST_MAIN(TstReportsE2e)
#include "tst_reports_e2e.moc"
