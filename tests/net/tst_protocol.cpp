#include "base/client_state.h"
#include "literal_receive_buffer.h"
#include "net/dispatcher.h"
#include "net/protocol.h"
#include "net/receive_buffer.h"
#include "net/sign_on.h"
#include "net/wire_codec.h"

#include <QSignalSpy>
#include <QtTest>

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

// The wire below the link: bytes to text, arrivals to messages, messages to
// handlers, and the sign-on exchange.
class TestProtocol : public QObject
{
    Q_OBJECT
private slots:
    void everyByteSurvivesARoundTrip()
    {
        QByteArray all(256, Qt::Uninitialized);
        for (int i = 0; i < 256; ++i)
            all[i] = char(i);
        const QString text = WireCodec::decode(all);
        QCOMPARE(text.size(), 256);
        QCOMPARE(WireCodec::encode(text), all);
        // Distinct bytes decode to distinct characters.
        QSet<QChar> seen(text.begin(), text.end());
        QCOMPARE(seen.size(), 256);
        QCOMPARE(text.at(0x80), QChar(0x20AC));
        QCOMPARE(text.at(0x81), QChar(0x81));
    }

    void charactersOutsideTheCodePage_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("wire");
        QTest::newRow("cjk") << u"a\u4E2Db"_s << "a?b"_ba;
        QTest::newRow("latin1 C1 with a code-page byte") << u"\u0080"_s << "?"_ba;
        QTest::newRow("euro") << u"\u20AC"_s << "\x80"_ba;
        QTest::newRow("emoji surrogates") << u"x\U0001F32Ay"_s << "x??y"_ba;
    }
    void charactersOutsideTheCodePage()
    {
        QFETCH(QString, text);
        QTEST(WireCodec::encode(text), "wire");
    }

    void escapingPutsTheEscapeBytesOnTheWire()
    {
        const QString typed = u"it's 5:30 | hail ^ big"_s;
        const QString escaped = EscapeOutgoing(typed);
        QCOMPARE(escaped.size(), typed.size());
        const QByteArray wire = WireCodec::encode(escaped);
        QCOMPARE(wire, QByteArray("it\x7Fs 5\x81"
                                  "30 \x80 hail \x82 big"));
        QCOMPARE(CleanIncoming(WireCodec::decode(wire)), typed);
        // Byte 128 typed by the user travels unchanged and reads as a bar.
        QCOMPARE(CleanIncoming(WireCodec::decode(QByteArray("a\x80"
                                                            "b"))),
                 u"a|b"_s);
    }

    void splitFields_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("expected"); // the fields a handler reads
        QTest::newRow("no fields") << u":HUB|^"_s << QStringList{QString()};
        QTest::newRow("empty middle") << u":RPT|a||c|^"_s << QStringList{u"a"_s, QString(), u"c"_s};
        QTest::newRow("position five not examined") << u":MSGxA|B|^"_s << QStringList{u"A"_s, u"B"_s};
        QTest::newRow("colon inside") << u":RPT|R: hail|KS|^"_s << QStringList{u"R: hail"_s, u"KS"_s};
    }
    void splitFields()
    {
        QFETCH(QString, message);
        QFETCH(QStringList, expected);
        const QStringList fields = SplitFields(message);
        for (int i = 0; i < expected.size(); ++i)
            QCOMPARE(FieldAt(fields, i), expected.at(i));
        QCOMPARE(FieldAt(fields, 40), QString());
        QVERIFY(!fields.join(QString()).contains(u'^'));
    }

    void buildingMessages()
    {
        QCOMPARE(ServerMessage(u"GOB"), u":GOB|^"_s);
        QCOMPARE(ServerMessage(u"RPT", {u"a"_s, QString(), u"c"_s}), u":RPT|a||c|^"_s);
        QCOMPARE(CommandCode(u":C12|bob|^"), u"C12"_s);
    }

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

    // Separators typed into the profile are escaped on the wire but stored as
    // typed; the re-sign-on differs only by the missing version field.
    void messages()
    {
        SettingsRecord s;
        SignOnForm f;
        f.firstName = u"Ann"_s;
        f.lastName = u"Lee"_s;
        f.address = u"1 Main|Apt 2"_s;
        f.city = u"Ames"_s;
        f.county = u"Story"_s;
        f.state = u"ia"_s;
        f.zip = u"50010"_s;
        f.email = u"ann@example.org"_s;
        f.currentLocation = u"5 mi N: Ames"_s;
        f.userName = u"ann1"_s;
        f.password = u"pa'ss"_s;
        SignOn::StoreProfile(SignOn::TrimForLogIn(f), s);
        QCOMPARE(s.Address, u"1 Main|Apt 2"_s);
        QCOMPARE(s.Password, EscapeOutgoing(u"pa'ss"_s));
        const QString body = u"ann1|"_s + s.Password + u"|Ann||Lee|1 Main"_s + EscapeOutgoing(u"|"_s) +
                             u"Apt 2|Ames|Story|IA|50010|ann@example.org|5 mi N"_s + EscapeOutgoing(u":"_s) +
                             u" Ames|"_s;
        QCOMPARE(SignOn::BuildSignOnMessage(s, ClientState::ClientVersion), u":SGN|"_s + body + u"2.4|^"_s);
        QCOMPARE(SignOn::BuildReSignOnMessage(s), u":SGN|"_s + body + u"^"_s);
        QCOMPARE(SignOn::BuildNewAccountMessage(s), u":NEW|ann1|"_s + s.Password + u"|^"_s);
    }

    // Log In while signed on only keeps the profile; New Account trims, sends
    // and saves once, and is refused while signed on or without a password.
    void actions()
    {
        ClientState state;
        int saves = 0;
        QStringList queued;
        SignOnActions actions(
            state, [&] { ++saves; }, [&](const QString &m) { queued.append(m); });
        SignOnForm f;
        f.userName = u" bob "_s;
        f.password = u" x "_s;
        f.county = u" Polk "_s;
        auto out = actions.NewAccount(f);
        QVERIFY(out.check.accepted() && out.hideForm && out.showMainWindow);
        QCOMPARE(queued, QStringList{u":NEW|bob|x|^"_s});
        QCOMPARE(state.settings.UserCounty, u"Polk"_s);
        QCOMPARE(saves, 1);

        state.signedOn = true;
        QCOMPARE(actions.NewAccount(f).check.text, u"You are already logged in."_s);
        for (QString *box : {&f.firstName, &f.lastName, &f.address, &f.city, &f.state, &f.zip, &f.email})
            *box = u"x"_s;
        f.currentLocation = u"Boone"_s;
        QVERIFY(actions.LogIn(f).check.accepted());
        QCOMPARE(state.settings.UserLocation, u"Boone"_s);
        QCOMPARE(saves, 2);
        state.signedOn = false;
        f.password = u"  "_s;
        QCOMPARE(actions.NewAccount(f).check.text, u"User Name and password required."_s);
        QCOMPARE(queued.size(), 1);
        QCOMPARE(saves, 2);
    }

    void replies_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("showForm");
        QTest::addColumn<QString>("box");
        QTest::addColumn<bool>("endAfter");
        QTest::addColumn<bool>("signedOn");
        QTest::addColumn<int>("ineligible");
        QTest::addColumn<QString>("status");
        QTest::newRow("SGN 2") << ":SGN|2|^" << true << "Invalid password" << false << true << 0 << QString();
        QTest::newRow("SGN 3") << ":SGN|3|^" << false << QString() << false << true << 0 << "Welcome ann1!";
        QTest::newRow("SGN 4") << ":SGN|4|^" << true << "You are already logged in." << false << false << 0
                               << QString();
        QTest::newRow("SGN 5") << ":SGN|5|^" << false << "You are no longer eligible to use of this service."
                               << true << false << 1 << QString();
        QTest::newRow("SGN other") << ":SGN|9|^" << false << QString() << false << true << 0 << QString();
        QTest::newRow("NEW 2") << ":NEW|2|^" << true
                               << "User name already exists.  Please try another user name.  If you have "
                                  "already created an account, please click Log In."
                               << false << true << 0 << QString();
    }
    void replies()
    {
        QFETCH(QString, message);
        QFETCH(bool, showForm);
        QFETCH(QString, box);
        QFETCH(bool, endAfter);
        QFETCH(bool, signedOn);
        QFETCH(int, ineligible);
        QFETCH(QString, status);
        ClientState state;
        state.signedOn = true;
        state.settings.UserName = u"ann1"_s;
        int saves = 0;
        SignOnReplies replies(state, [&] { ++saves; });
        Dispatcher dispatcher;
        replies.registerOn(dispatcher);
        QSignalSpy form(&replies, &SignOnReplies::signOnFormRequested);
        QSignalSpy boxes(&replies, &SignOnReplies::messageBoxRequested);
        QSignalSpy line(&replies, &SignOnReplies::statusChanged);
        dispatcher.dispatch(message);
        QCOMPARE(form.size(), showForm ? 1 : 0);
        QCOMPARE(boxes.size(), box.isEmpty() ? 0 : 1);
        if (!box.isEmpty())
            QCOMPARE((QVariantList{boxes.at(0).at(0), boxes.at(0).at(2)}), (QVariantList{box, endAfter}));
        QCOMPARE(state.signedOn, signedOn);
        QCOMPARE(state.settings.Ineligible, ineligible);
        QCOMPARE(saves, ineligible);
        QCOMPARE(line.size(), status.isEmpty() ? 0 : 1);
        if (!status.isEmpty())
            QCOMPARE(line.at(0).at(0).toString(), status);
    }
};

QTEST_GUILESS_MAIN(TestProtocol)
#include "tst_protocol.moc"
