#include "literal_receive_buffer.h"
#include "net/dispatcher.h"
#include "net/receive_buffer.h"

#include <QtTest>

#include <random>

using namespace Qt::Literals::StringLiterals;

enum class SinkKind { Record, ClearEveryThird, ClearOnX, AppendTwice };

struct Run
{
    QStringList messages;
    QStringList afterEachArrival; // buffer text once each arrival is done
};

// Feeds the arrivals to a buffer of type B whose sink records every message
// and, depending on the kind, changes the buffer from inside the loop.
template <typename B>
Run feed(const QStringList &arrivals, SinkKind kind, qsizetype cap, bool capAfterArrival = false)
{
    Run run;
    B *self = nullptr;
    int count = 0;
    const auto sink = [&](const QString &m) {
        run.messages.append(m);
        ++count;
        switch (kind) {
        case SinkKind::Record:
            break;
        case SinkKind::ClearEveryThird:
            if (count % 3 == 0)
                self->clear();
            break;
        case SinkKind::ClearOnX:
            if (m.contains(u'X'))
                self->clear();
            break;
        case SinkKind::AppendTwice:
            // Re-entrant arrivals, bounded so the nested pass (which
            // sees this message again) cannot recurse for ever.
            if (count == 2)
                self->Append(u"x:Q|^\r\n:W^");
            else if (count == 5)
                self->Append(u":X|^:Y");
            break;
        }
    };
    // Cap 0: the buffer the link builds.
    B buffer = cap ? B(sink, cap) : B(sink);
    self = &buffer;
    for (const QString &a : arrivals) {
        buffer.Append(a);
        if (capAfterArrival && buffer.size() > cap)
            buffer.clear();
        run.afterEachArrival.append(buffer.text());
    }
    return run;
}

QString randomText(std::mt19937 &rng, bool structured)
{
    static const QStringList pieces = {u":RPT|hail|KS|^"_s, u":^"_s,     u"^"_s,    u":"_s,   u"\r\n"_s,
                                       u"junk"_s,           u":GOB|^"_s, u"::^^"_s, u":X^"_s, u"|"_s,
                                       u":DIS|^"_s,         u"R: x"_s};
    static const QString alphabet = u"::::^^^^||RPTXQ\r\n 9"_s;
    QString out;
    const int n = int(rng() % 60);
    for (int i = 0; i < n; ++i) {
        if (structured)
            out += pieces.at(int(rng() % pieces.size()));
        else
            out += alphabet.at(int(rng() % alphabet.size()));
    }
    return out;
}

// Cuts text into arrivals of 1..maxPart characters, with an empty arrival
// now and then: it still runs the junk rule.
QStringList split(const QString &text, qsizetype maxPart, std::mt19937 &rng)
{
    QStringList parts;
    for (qsizetype at = 0; at < text.size();) {
        const qsizetype len = 1 + qsizetype(rng() % maxPart);
        parts.append(text.mid(at, len));
        at += len;
    }
    if (rng() % 4 == 0)
        parts.insert(qsizetype(rng() % (parts.size() + 1)), QString());
    return parts;
}

// Arrivals to messages, and messages to their handlers.
class TstReceiveBuffer : public QObject
{
    Q_OBJECT

private slots:
    void edgeCases_data()
    {
        QTest::addColumn<QStringList>("arrivals");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QString>("left");
        QTest::addColumn<qsizetype>("cap");
        using L = QStringList;
        const qsizetype Cap = ReceiveBuffer::Cap, Small = 10;
        QTest::newRow("two messages in one arrival")
            << L{u":RPT|a|^:MSG|b|^"_s} << L{u":RPT|a|^"_s, u":MSG|b|^"_s} << QString() << Cap;
        QTest::newRow("text without a colon empties the buffer")
            << L{u":RPT|partial"_s, u"^"_s, u"no colon here^"_s} << L{u":RPT|partial^"_s} << QString() << Cap;
        QTest::newRow("a line break between messages is skipped")
            << L{u":RPT|a|^\r\n:RPT|b|^"_s} << L{u":RPT|a|^"_s, u":RPT|b|^"_s} << QString() << Cap;
        QTest::newRow("a partial message waits behind junk")
            << L{u":A|^xx:B|part"_s} << L{u":A|^"_s} << u":B|part"_s << Cap;
        QTest::newRow("trailing junk without a colon goes")
            << L{u":A|^tail^"_s} << L{u":A|^"_s} << QString() << Cap;
        QTest::newRow("caret right after the colon")
            << L{u":^:GOB|^"_s} << L{u":^"_s, u":GOB|^"_s} << QString() << Cap;
        QTest::newRow("a message runs from a colon to the next caret")
            << L{u"::x:^^"_s} << L{u"::x:^"_s} << QString() << Cap;
        QTest::newRow("junk between messages is skipped")
            << L{u":A|^xx:B|^"_s} << L{u":A|^"_s, u":B|^"_s} << QString() << Cap;
        // Fifty reports behind line breaks in one arrival are all dispatched
        // by it: none waits for an arrival that may not come.
        QString burst;
        QStringList numbered;
        for (int i = 0; i < 50; ++i) {
            burst += u":RPT|%1|^\r\n"_s.arg(i);
            numbered.append(u":RPT|%1|^"_s.arg(i));
        }
        QTest::newRow("a burst behind line breaks") << L{burst} << numbered << QString() << Cap;
        // A small cap bounds a buffer that never sees a caret; whole messages
        // longer than the cap still pass.
        QTest::newRow("cap: one long arrival") << L{u":RPT|0123456789"_s} << L{} << QString() << Small;
        QTest::newRow("cap: growing over arrivals, then a fresh start")
            << L{u":RPT|0123"_s, u"456789"_s, u"ab|^:GOB|^"_s} << L{u":GOB|^"_s} << QString() << Small;
        QTest::newRow("cap: a whole message longer than the cap")
            << L{u":RPT|0123456789|^"_s} << L{u":RPT|0123456789|^"_s} << QString() << Small;
        // The link's own buffer keeps 5,000,000 waiting characters, not one more.
        const QString waiting = u':' + QString(4'999'999, u'x');
        QTest::newRow("cap: 5,000,000 kept")
            << L{u":A|^"_s + waiting} << L{u":A|^"_s} << waiting << qsizetype(0);
        QTest::newRow("cap: 5,000,001 emptied")
            << L{u":A|^"_s + waiting + u'x'} << L{u":A|^"_s} << QString() << qsizetype(0);
    }
    void edgeCases()
    {
        QFETCH(QStringList, arrivals);
        QFETCH(qsizetype, cap);
        const Run run = feed<ReceiveBuffer>(arrivals, SinkKind::Record, cap);
        QTEST(run.messages, "messages");
        QTEST(run.afterEachArrival.last(), "left");
        if (cap == ReceiveBuffer::Cap) {
            const Run literal = feed<LiteralReceiveBuffer>(arrivals, SinkKind::Record, cap);
            QCOMPARE(run.afterEachArrival, literal.afterEachArrival);
        }
    }

    // Random arrivals give the same messages and leftovers as the
    // step-by-step procedure. With a small cap the only differences are the
    // cap after every arrival and no empty message after the in-loop
    // emptying; both are modelled on the reference's side.
    void sameMessagesAsTheStepByStepProcedure_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("smallCap");
        QTest::newRow("record") << int(SinkKind::Record) << false;
        QTest::newRow("clear every third") << int(SinkKind::ClearEveryThird) << false;
        QTest::newRow("clear on X") << int(SinkKind::ClearOnX) << false;
        QTest::newRow("re-entrant") << int(SinkKind::AppendTwice) << false;
        QTest::newRow("small caps") << int(SinkKind::Record) << true;
    }
    void sameMessagesAsTheStepByStepProcedure()
    {
        QFETCH(int, kind);
        QFETCH(bool, smallCap);
        std::mt19937 rng(20261206u + unsigned(kind) + (smallCap ? 100u : 0u));
        // Every character apart, small pieces, or (mostly) whole.
        const qsizetype maxParts[] = {1, 12, 1000};
        for (int i = 0; i < 1800; ++i) {
            const qsizetype cap = smallCap ? 4 + qsizetype(rng() % 20) : ReceiveBuffer::Cap;
            QStringList arrivals;
            for (int k = 1 + int(rng() % 4); k > 0; --k)
                arrivals += ::split(randomText(rng, i % 2 == 0), maxParts[i / 2 % 3], rng);
            const Run fast = feed<ReceiveBuffer>(arrivals, SinkKind(kind), cap);
            Run model = feed<LiteralReceiveBuffer>(arrivals, SinkKind(kind), cap, true);
            model.messages.removeAll(QString());
            if (fast.messages != model.messages || fast.afterEachArrival != model.afterEachArrival)
                qWarning() << "cap" << cap << "arrivals" << arrivals;
            QCOMPARE(fast.messages, model.messages);
            QCOMPARE(fast.afterEachArrival, model.afterEachArrival);
            for (const QString &t : fast.afterEachArrival)
                QVERIFY(t.size() <= cap);
        }
    }

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

QTEST_GUILESS_MAIN(TstReceiveBuffer)
#include "tst_receive_buffer.moc"
