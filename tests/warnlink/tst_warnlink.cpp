#include "base/status_line.h"
#include "warnlink/warning_listener.h"
#include "warnlink/warnings_model.h"
#include "warnlink/warnings_parser.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

using namespace Qt::Literals::StringLiterals;

class TstWarnlink : public QObject
{
    Q_OBJECT

    static QString row(const QString &state, const QString &severity)
    {
        return state + u'|' + severity + u"|Headline " + state + u"|1:00|2:00|http://w.example/" + state +
               u'|';
    }

private slots:
    // Arrivals in order; after the last one the list shows rows (state cells,
    // top first, "-" for a list left as it was) and the buffer keeps rest.
    void parse_data()
    {
        QTest::addColumn<QStringList>("arrivals");
        QTest::addColumn<QString>("listed");
        QTest::addColumn<QString>("rest");
        const QString tx = row(u"TX"_s, u"Tornado"_s);
        QTest::newRow("one row") << QStringList{u':' + tx + u'^'} << u"TX"_s << QString();
        QTest::newRow("reversed") << QStringList{u':' + row(u"A"_s, {}) + row(u"B"_s, {}) + row(u"C"_s, {}) +
                                                 u'^'}
                                  << u"C,B,A"_s << QString();
        QTest::newRow("junk first") << QStringList{u"noise:"_s + tx + u'^'} << u"TX"_s << QString();
        QTest::newRow("no colon") << QStringList{u"noise only"_s} << u"-"_s << QString();
        QTest::newRow("lone caret") << QStringList{u"^"_s} << u"-"_s << QString();
        QTest::newRow("empty message") << QStringList{u":^"_s} << QString() << QString();
        QTest::newRow("incomplete last row")
            << QStringList{u':' + tx + u"OK|Warning|x|y|^"} << u"TX"_s << QString();
        QTest::newRow("split: first half")
            << QStringList{u':' + tx.left(10)} << QString() << QString(u':' + tx.left(10));
        QTest::newRow("split: completed")
            << QStringList{u':' + tx.left(10), tx.mid(10) + u'^'} << u"TX"_s << QString();
        QTest::newRow("after caret lost")
            << QStringList{u':' + tx + u"^:" + row(u"NE"_s, {}) + u'^'} << u"TX"_s << QString();
        QTest::newRow("never a caret")
            << QStringList{u':' + QString(WarningsParser::MaxBufferChars, u'x')} << QString() << QString();
    }
    void parse()
    {
        QFETCH(QStringList, arrivals);
        QString buffer;
        QStringList listed{u"-"_s};
        for (const QString &a : arrivals) {
            buffer += a;
            const WarningArrival got = WarningsParser::Parse(buffer);
            if (!got.clearList)
                continue;
            listed.clear();
            for (const WarningRow &r : got.rows)
                listed << r.cells[0];
        }
        QTEST(listed.join(u','), "listed");
        QTEST(buffer, "rest");
    }

    void highlight_data()
    {
        QTest::addColumn<QString>("severity");
        QTest::addColumn<int>("bold");
        QTest::addColumn<int>("red");
        QTest::addColumn<int>("older"); // rows listed before
        QTest::addColumn<int>("kept");
        QTest::newRow("tornado") << u"Tornado"_s << 0x3f << 0x3e << 0 << 1;
        // The list keeps 1,999 rows: the oldest goes.
        QTest::newRow("t-storm, 1,998 older") << u"T-Storm"_s << 0x03 << 0 << 1998 << 1999;
        QTest::newRow("warning, 1,999 older") << u"Warning"_s << 0x01 << 0 << 1999 << 1999;
        QTest::newRow("lower-case tornado") << u"tornado"_s << 0 << 0 << 0 << 1;
        QTest::newRow("watch") << u"Watch"_s << 0 << 0 << 0 << 1;
    }
    void highlight()
    {
        QFETCH(QString, severity);
        QFETCH(int, older);
        WarningsModel model;
        for (int i = 0; i < older; ++i) {
            WarningRow r;
            r.cells[0] = QString::number(i);
            model.InsertAtTop(r);
        }
        QString buffer = u':' + row(u"TX"_s, severity) + u'^';
        model.InsertAtTop(WarningsParser::Parse(buffer).rows.first());
        QTEST(model.rowCount(), "kept");
        if (older)
            QCOMPARE(model.row(model.rowCount() - 1).cells[0], QString::number(older + 1 - model.rowCount()));
        model.HighlightWarnings();
        int gotBold = 0, gotRed = 0;
        for (int c = 0; c < WarningRow::ColumnCount; ++c) {
            gotBold |= model.index(0, c).data(WarningsModel::BoldRole).toBool() << c;
            gotRed |= (model.index(0, c).data(WarningsModel::ColourRole).toInt() == 0xff0000) << c;
        }
        QTEST(gotBold, "bold");
        QTEST(gotRed, "red");
    }

    // A local peer on a test port; the retry listens again on the sixth tick
    // after the peer is gone, not before.
    void listenerAndRetry()
    {
        WarningsModel model;
        StatusLine status;
        WarningListener listener(model, status, 0);
        listener.StartWarningListener();
        QCOMPARE(status.text(), u"Listen for Tavrel called."_s);
        QVERIFY(listener.isListening());

        QTcpSocket peer;
        peer.connectToHost(QHostAddress::LocalHost, listener.listeningPort());
        QVERIFY(peer.waitForConnected(3000));
        QTRY_VERIFY(listener.isConnected());
        QVERIFY(!listener.isListening());
        listener.MinuteTick();
        peer.write(":TX|Tornado|t|1|2|http://x/|");
        QTRY_COMPARE(listener.WarningBuffer().size(), 28);
        QCOMPARE(listener.ListenRetryCount(), 0);
        peer.write("^");
        QTRY_COMPARE(model.rowCount(), 1);

        peer.disconnectFromHost();
        QTRY_VERIFY(!listener.isConnected());
        for (int tick = 1; tick < WarningListener::RetryTicks; ++tick) {
            listener.MinuteTick();
            QVERIFY(!listener.isListening());
        }
        listener.MinuteTick();
        QVERIFY(listener.isListening());
        QCOMPARE(listener.ListenRetryCount(), 0);
    }

    void listenFailureSaysWhy()
    {
        QVERIFY(
            WarningListener::ListenFailureText(1003, u"x"_s, true).contains(u"below 1024 needs a privilege"));
        QVERIFY(
            WarningListener::ListenFailureText(4000, u"Address in use"_s, false).endsWith(u"Address in use"));
        // A port already taken on the loopback address is reported, not hidden.
        WarningsModel model;
        StatusLine status;
        QTcpServer taken;
        QVERIFY(taken.listen(QHostAddress::LocalHost));
        WarningListener listener(model, status, taken.serverPort());
        listener.StartWarningListener();
        QVERIFY2(status.text().startsWith(u"Unable to listen for Tavrel on port "),
                 qPrintable(status.text()));
    }
};

QTEST_GUILESS_MAIN(TstWarnlink)
#include "tst_warnlink.moc"
