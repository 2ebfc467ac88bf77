#include "app/client_state.h"
#include "fakes.h"
#include "net/wire_codec.h"
#include "recording_sender.h"
#include "reports/report_composer.h"

#include <QtTest>

using namespace Qt::Literals::StringLiterals;

namespace {

struct Fixture
{
    ClientState state;
    FakeClock clock;
    FakeDialogs dialogs;
    RecordingSender sender;
    ReportComposer composer{state, clock, dialogs, sender};

    Fixture()
    {
        state.signedOn = true;
        state.settings.UserState = u"MD"_s;
        state.settings.UserCounty = u"HARFORD"_s;
        state.settings.UserZip = u"21014"_s;
        state.settings.UserName = u"JOE'S|NAME"_s;
        state.settings.UserLocation = u"Bel Air: north"_s;
    }
};

} // namespace

class TstReportComposer : public QObject
{
    Q_OBJECT
private slots:
    void interval_data();
    void interval();
    void tornadoSkipsInterval();
    void outgoingBytes_data();
    void outgoingBytes();
};

void TstReportComposer::interval_data()
{
    QTest::addColumn<int>("seconds");
    QTest::addColumn<bool>("blocked");
    QTest::newRow("30 s") << 30 << true;
    QTest::newRow("40 s") << 40 << true;
    QTest::newRow("41 s") << 41 << false;
    QTest::newRow("5 min") << 300 << false;
}

void TstReportComposer::interval()
{
    QFETCH(int, seconds);
    QFETCH(bool, blocked);
    Fixture fx;
    QCOMPARE(fx.composer.Send(u"First"_s, true).outcome, ReportComposer::Outcome::Sent);
    const QDateTime first = fx.clock.localNow();
    QCOMPARE(fx.composer.LastReportTime(), first);
    fx.clock.advance(seconds);
    const ReportComposer::Result r = fx.composer.Send(u"Second"_s, true);
    QCOMPARE(r.outcome, blocked ? ReportComposer::Outcome::TooSoon : ReportComposer::Outcome::Sent);
    QCOMPARE(fx.sender.sent.size(), blocked ? 1 : 2);
    if (blocked) {
        QCOMPARE(r.boxText, u"Second"_s);
        QVERIFY(r.severe);
        QCOMPARE(fx.dialogs.shown.size(), 1);
        QCOMPARE(fx.dialogs.shown[0].title,
                 u"Please wait at least one minute before sending another report."_s);
        QCOMPARE(fx.dialogs.shown[0].text,
                 u"Please wait at least one minute before sending another report.  The time of "
                 "your last report was 12/6/2026 12:00:00 PM."_s);
        QCOMPARE(fx.composer.LastReportTime(), first);
    } else {
        QVERIFY(fx.dialogs.shown.isEmpty());
        QCOMPARE(fx.composer.LastReportTime(), fx.clock.localNow());
    }
}

void TstReportComposer::tornadoSkipsInterval()
{
    Fixture fx;
    fx.composer.Send(u"Hail"_s, true);
    const QDateTime first = fx.composer.LastReportTime();
    fx.clock.advance(5);
    QCOMPARE(fx.composer.Send(u"a TorNaDo now"_s, true).outcome, ReportComposer::Outcome::Sent);
    QCOMPARE(fx.composer.LastReportTime(), first);
    fx.clock.advance(30); // 35 s after the last ordinary report
    QCOMPARE(fx.composer.Send(u"Hail again"_s, true).outcome, ReportComposer::Outcome::TooSoon);
    fx.clock.advance(6);
    QCOMPARE(fx.composer.Send(u"Hail again"_s, true).outcome, ReportComposer::Outcome::Sent);
}

void TstReportComposer::outgoingBytes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("severe");
    QTest::addColumn<QByteArray>("wire");
    QTest::newRow("routine prefix")
        << "Heavy rain" << false
        << QByteArray(":RPT|R: Heavy rain|MD|HARFORD|21014|JOE'S|NAME|Bel Air\x81 north|^");
    QTest::newRow("severe unchanged")
        << "Heavy rain" << true
        << QByteArray(":RPT|Heavy rain|MD|HARFORD|21014|JOE'S|NAME|Bel Air\x81 north|^");
    QTest::newRow("escaped text") << "a|b:c^d'e" << true
                                  << QByteArray(":RPT|a\x80"
                                                "b\x81"
                                                "c\x82"
                                                "d\x7f"
                                                "e|MD|HARFORD|21014|JOE'S|NAME|Bel Air\x81 north|^");
    QTest::newRow("trimmed") << "  Funnel Cloud:  " << true
                             << QByteArray(
                                    ":RPT|Funnel Cloud\x81|MD|HARFORD|21014|JOE'S|NAME|Bel Air\x81 north|^");
}

void TstReportComposer::outgoingBytes()
{
    QFETCH(QString, text);
    QFETCH(bool, severe);
    QFETCH(QByteArray, wire);
    Fixture fx;
    const ReportComposer::Result r = fx.composer.Send(text, severe);
    QCOMPARE(r.outcome, ReportComposer::Outcome::Sent);
    QCOMPARE(r.boxText, QString());
    QVERIFY(!r.severe);
    QCOMPARE(fx.sender.sent.size(), 1);
    QCOMPARE(WireCodec::encode(fx.sender.sent[0]), wire);
}

QTEST_GUILESS_MAIN(TstReportComposer)
#include "tst_report_composer.moc"
