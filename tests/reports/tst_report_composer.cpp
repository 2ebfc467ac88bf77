#include "composer_fixture.h"
#include "net/wire_codec.h"

#include <QtTest>

using namespace Qt::Literals::StringLiterals;

namespace {

// The profile's own delimiters must be escaped on the wire too.
struct Fixture : ComposerFixture
{
    Fixture() : ComposerFixture(u"JOE'S|NAME"_s, u"Bel Air: north"_s) {}
};

} // namespace

class TstReportComposer : public QObject
{
    Q_OBJECT
private slots:
    // The wait message shows the last report's time in the user's own form.
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); }

    void interval_data()
    {
        QTest::addColumn<QStringList>("steps"); // "seconds later:text", all severe
        QTest::addColumn<QString>("outcomes");  // S: sent, T: too soon
        QTest::newRow("40 s is too soon") << QStringList{u"0:Hail"_s, u"40:Second"_s} << "ST";
        QTest::newRow("41 s") << QStringList{u"0:Hail"_s, u"41:Second"_s} << "SS";
        QTest::newRow("tornado skips the interval and leaves the time")
            << QStringList{u"0:Hail"_s, u"5:a TorNaDo now"_s, u"30:Second"_s, u"6:Second"_s} << "SSTS";
    }
    void interval()
    {
        QFETCH(QStringList, steps);
        QFETCH(QString, outcomes);
        Fixture fx;
        QString got;
        for (const QString &step : steps) {
            fx.clock.advance(step.section(u':', 0, 0).toInt());
            const ReportComposer::Result r = fx.composer.Send(step.section(u':', 1), true);
            const bool sent = r.outcome == ReportComposer::Outcome::Sent;
            got += sent ? u'S' : u'T';
            if (!sent) {
                QCOMPARE(r.boxText, u"Second"_s);
                QVERIFY(r.severe);
                QCOMPARE(fx.dialogs.lastText(), u"Please wait at least one minute before sending another "
                                                "report.  The time of your last report was 06.12.26 "
                                                "12:00:00."_s);
            }
        }
        QCOMPARE(got, outcomes);
        QCOMPARE(fx.sender.sent.size(), outcomes.count(u'S'));
    }

    void outgoingBytes_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("severe");
        QTest::addColumn<QByteArray>("wire");
        QTest::newRow("routine prefix")
            << "Heavy rain" << false
            << ":RPT|R: Heavy rain|MD|HARFORD|21014|JOE'S|NAME|Bel Air\x81 north|^"_ba;
        QTest::newRow("trimmed, then escaped")
            << "  a|b:c^d'e:  " << true
            << QByteArray(":RPT|a\x80"
                          "b\x81"
                          "c\x82"
                          "d\x7f"
                          "e\x81|MD|HARFORD|21014|JOE'S|NAME|Bel Air\x81 north|^");
    }
    void outgoingBytes()
    {
        QFETCH(QString, text);
        QFETCH(bool, severe);
        Fixture fx;
        const ReportComposer::Result r = fx.composer.Send(text, severe);
        QCOMPARE(r.outcome, ReportComposer::Outcome::Sent);
        QCOMPARE(r.boxText, QString());
        QVERIFY(!r.severe);
        QCOMPARE(fx.sender.sent.size(), 1);
        QTEST(WireCodec::encode(fx.sender.sent[0]), "wire");
    }
};

QTEST_GUILESS_MAIN(TstReportComposer)
#include "tst_report_composer.moc"
