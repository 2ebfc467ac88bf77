#include "net/dispatcher.h"

#include <QTest>

using namespace Qt::Literals::StringLiterals;

class TestDispatcher : public QObject
{
    Q_OBJECT
private slots:
    // Every code reaches its own handler, with fields or alone; anything
    // else reaches none.
    void routing_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("code"); // empty: dropped
        for (const char16_t *code : Dispatcher::Codes) {
            const QString c = QString::fromUtf16(code);
            QTest::addRow("%s", qPrintable(c)) << u':' + c + u"|a|b|^"_s << c;
            QTest::addRow("%s alone", qPrintable(c)) << u':' + c + u'^' << c;
        }
        QTest::newRow("lower case") << u":rpt|a|^"_s << QString();
        QTest::newRow("unknown") << u":PNG|^"_s << QString();
        QTest::newRow("code shifted by a space") << u": RPT|^"_s << QString();
        QTest::newRow("empty") << QString() << QString();
        QTest::newRow("two letters") << u":RP"_s << QString();
        QTest::newRow("caret in the code") << u":RP^"_s << QString();
    }
    void routing()
    {
        QFETCH(QString, message);
        QFETCH(QString, code);
        Dispatcher d;
        QStringList calls; // "code message"
        for (const char16_t *c : Dispatcher::Codes)
            d.setHandler(c,
                         [&calls, c](const QString &m) { calls.append(QString::fromUtf16(c) + u' ' + m); });
        d.dispatch(message);
        QCOMPARE(calls, code.isEmpty() ? QStringList() : QStringList{code + u' ' + message});
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
