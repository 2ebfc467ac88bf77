#include "net/dispatcher.h"

#include <QTest>

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
        for (const QString &message : {u':' + code + QStringLiteral("|a|b|^"), u':' + code + u'^'}) {
            const auto calls = run(message);
            QCOMPARE(calls.size(), 1);
            QCOMPARE(calls.first().first, code);
            QCOMPARE(calls.first().second, message);
        }
    }

    void codesOutsideTheTableAreDropped_data()
    {
        QTest::addColumn<QString>("message");
        QTest::newRow("lower case") << QStringLiteral(":rpt|a|^");
        QTest::newRow("unknown") << QStringLiteral(":PNG|^");
        QTest::newRow("code shifted by a space") << QStringLiteral(": RPT|^");
        QTest::newRow("empty") << QString();
        QTest::newRow("two letters") << QStringLiteral(":RP");
        QTest::newRow("caret in the code") << QStringLiteral(":RP^");
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
        d.dispatch(QStringLiteral(":RPT|x|^"));
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
        d.dispatch(QStringLiteral(":SGN|3|^"));
        QCOMPARE(seen, QStringLiteral(":SGN|3|^"));
        seen.clear();
        d.dispatch(QStringLiteral(":SGN|3|^"));
        QVERIFY(seen.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestDispatcher)
#include "tst_dispatcher.moc"
