#include "net/dispatcher.h"

#include <QTest>

using namespace Qt::Literals::StringLiterals;

class TestDispatcher : public QObject
{
    Q_OBJECT
private:
    // Registers a recorder for every code; returns the (code, message) calls.
    static QList<QPair<QString, QString>> run(const QString &message)
    {
        Dispatcher d;
        QList<QPair<QString, QString>> calls;
        for (const char16_t *code : Dispatcher::Codes) {
            const QString c = QString::fromUtf16(code);
            d.setHandler(c, [&calls, c](const QString &m) { calls.append({c, m}); });
        }
        d.dispatch(message);
        return calls;
    }

private slots:
    void everyCodeReachesItsOwnHandler_data()
    {
        QTest::addColumn<QString>("code");
        for (const char16_t *code : Dispatcher::Codes)
            QTest::newRow(qPrintable(QString::fromUtf16(code))) << QString::fromUtf16(code);
    }
    void everyCodeReachesItsOwnHandler()
    {
        QFETCH(QString, code);
        // With fields, and without: the code alone is enough.
        for (const QString &message : {u':' + code + u"|a|b|^"_s, u':' + code + u'^'}) {
            const auto calls = run(message);
            QCOMPARE(calls.size(), 1);
            QCOMPARE(calls.first().first, code);
            QCOMPARE(calls.first().second, message);
        }
    }

    void codesOutsideTheTableAreDropped_data()
    {
        QTest::addColumn<QString>("message");
        QTest::newRow("lower case") << u":rpt|a|^"_s;
        QTest::newRow("unknown") << u":PNG|^"_s;
        QTest::newRow("code shifted by a space") << u": RPT|^"_s;
        QTest::newRow("empty") << QString();
        QTest::newRow("two letters") << u":RP"_s;
        QTest::newRow("caret in the code") << u":RP^"_s;
    }
    void codesOutsideTheTableAreDropped()
    {
        QFETCH(QString, message);
        QVERIFY(run(message).isEmpty());
    }

    void registrationRejectsUnknownCodesAndReplacesHandlers()
    {
        Dispatcher d;
        QVERIFY(!d.setHandler(u"PNG", [](const QString &) {}));
        QVERIFY(!d.setHandler(u"rpt", [](const QString &) {}));
        int first = 0, second = 0;
        QVERIFY(d.setHandler(u"RPT", [&](const QString &) { ++first; }));
        QVERIFY(d.setHandler(u"RPT", [&](const QString &) { ++second; }));
        d.dispatch(u":RPT|x|^"_s);
        QCOMPARE(first, 0);
        QCOMPARE(second, 1);
    }

    void aHandlerMayReplaceItselfWhileRunning()
    {
        Dispatcher d;
        QString seen;
        d.setHandler(u"SGN", [&](const QString &m) {
            d.setHandler(u"SGN", {});
            seen = m; // the replaced handler's captures must still be alive
        });
        d.dispatch(u":SGN|3|^"_s);
        QCOMPARE(seen, u":SGN|3|^"_s);
        seen.clear();
        d.dispatch(u":SGN|3|^"_s);
        QVERIFY(seen.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestDispatcher)
#include "tst_dispatcher.moc"
