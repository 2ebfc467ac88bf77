#include "base/wire_codec.h"
#include "composer_fixture.h"

#include <QtTest>

using namespace Qt::Literals::StringLiterals;

struct Composer : ComposerFixture
{
    Composer() : ComposerFixture(u"JOE'S|NAME"_s, u"Bel Air: north"_s) {}
};

// Sending a report: intervals and the bytes on the wire.
class TstReportComposer : public QObject
{
    Q_OBJECT
    QLocale m_locale;
private slots:
    void cleanup() { QLocale::setDefault(m_locale); }

    void interval_data()
    {
        // "seconds later:text", all severe; "seconds later:text:wall-clock
        // jump" also sets the wall clock; "!" before the text: the link is down.
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("outcomes"); // S: sent, T: too soon, L: kept, link down
        QTest::newRow("40 s is too soon") << QStringList{u"0:Hail"_s, u"40:Second"_s} << "ST";
        QTest::newRow("41 s") << QStringList{u"0:Hail"_s, u"41:Second"_s} << "SS";
        QTest::newRow("tornado skips the interval and leaves the time")
            << QStringList{u"0:Hail"_s, u"5:a TorNaDo now"_s, u"30:Second"_s, u"6:Second"_s} << "SSTS";
        QTest::newRow("clock set back an hour") << QStringList{u"0:Hail"_s, u"41:Second:-3600"_s} << "SS";
        QTest::newRow("clock set on an hour") << QStringList{u"0:Hail"_s, u"10:Second:3600"_s} << "ST";
        QTest::newRow("link down keeps the text and the interval")
            << QStringList{u"0:Hail"_s, u"41:!Second"_s, u"1:Second"_s} << "SLS";
    }
    void interval()
    {
        QFETCH(QStringList, steps);
        QFETCH(QString, outcomes);
        // The wait message shows the last report's time in the user's own form.
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        Composer fx;
        QString got;
        for (const QString &step : steps) {
            fx.clock.advance(step.section(u':', 0, 0).toInt());
            fx.clock.setUtc(fx.clock.utcNow().addSecs(step.section(u':', 2).toInt()));
            QString text = step.section(u':', 1, 1);
            fx.sender.linkUp = !text.startsWith(u'!');
            text.remove(u'!');
            const ReportComposer::Result r = fx.composer.Send(text, true);
            const bool sent = r.outcome == ReportComposer::Outcome::Sent;
            got += sent ? u'S' : r.outcome == ReportComposer::Outcome::NotSent ? u'L' : u'T';
            if (!sent) {
                QCOMPARE(r.boxText, u"Second"_s);
                QVERIFY(r.severe);
            }
            if (r.outcome == ReportComposer::Outcome::TooSoon)
                QCOMPARE(fx.dialogs.lastText(), u"Please wait at least one minute before sending another "
                                                "report.  The time of your last report was 06.12.26 "
                                                "12:00:00."_s);
        }
        QCOMPARE(got, outcomes);
        QCOMPARE(fx.sender.sent.size(), outcomes.count(u'S'));
    }

    // Trimmed, then escaped; the profile's own delimiters too.
    void outgoingBytes()
    {
        Composer fx;
        const ReportComposer::Result r = fx.composer.Send(u"  a|b:c^d'e:  "_s, true);
        QCOMPARE(r.outcome, ReportComposer::Outcome::Sent);
        QCOMPARE(r.boxText, QString());
        QVERIFY(!r.severe);
        QCOMPARE(fx.sender.sent.size(), 1);
        QCOMPARE(WireCodec::encode(fx.sender.sent[0]),
                 QByteArray(":RPT|a\x80"
                            "b\x81"
                            "c\x82"
                            "d\x7f"
                            "e\x81|MD|HARFORD|21014|JOE'S|NAME|Bel Air\x81 north|^"));
    }
};

QTEST_GUILESS_MAIN(TstReportComposer)
#include "tst_report_composer.moc"
