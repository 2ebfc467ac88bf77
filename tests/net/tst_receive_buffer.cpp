#include "net/receive_buffer.h"

#include "literal_receive_buffer.h"

#include <QTest>

#include <random>

using namespace Qt::Literals::StringLiterals;

namespace {

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
    B buffer(
        [&](const QString &m) {
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
        },
        cap);
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

} // namespace

class TestReceiveBuffer : public QObject
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
    }
    void edgeCases()
    {
        QFETCH(QStringList, arrivals);
        QFETCH(QStringList, messages);
        QFETCH(QString, left);
        QFETCH(qsizetype, cap);
        const Run run = feed<ReceiveBuffer>(arrivals, SinkKind::Record, cap);
        QCOMPARE(run.messages, messages);
        QCOMPARE(run.afterEachArrival.last(), left);
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
};

QTEST_GUILESS_MAIN(TestReceiveBuffer)
#include "tst_receive_buffer.moc"
