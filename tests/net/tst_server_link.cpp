#include "base/client_state.h"
#include "base/wire_codec.h"
#include "literal_receive_buffer.h"
#include "net/address_file.h"
#include "net/dispatcher.h"
#include "net/protocol.h"
#include "net/server_link.h"
#include "net/server_notices.h"
#include "net/sign_on.h"
#include "net/url_download.h"
#include "scripted_server.h"
#include "test_files.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <random>

using namespace Qt::Literals::StringLiterals;

constexpr int Wait = 5000;

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

} // namespace

// The wire below the link (bytes to text, arrivals to messages, messages to
// handlers), the sign-on exchange, the link to the server, and the notices
// by which the server steers it.
class TstServerLink : public QObject
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
        QCOMPARE(text.at(0x80), QChar(0x20AC));
        QCOMPARE(text.at(0x81), QChar(0x81));
    }

    void charactersOutsideTheCodePage_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("wire");
        QTest::newRow("cjk") << u"a\u4E2Db"_s << "a?b"_ba;
        QTest::newRow("latin1 C1 with a code-page byte") << u"\u0080"_s << "?"_ba;
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

    // What each reply asks of the window, in order, and what it leaves.
    void replies_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("requests");
        QTest::addColumn<bool>("signedOn");
        QTest::addColumn<int>("ineligible");
        using L = QStringList;
        QTest::newRow("SGN 2") << ":SGN|2|^"
                               << L{u"status: Connected"_s, u"form"_s, u"box: Invalid password"_s} << true
                               << 0;
        QTest::newRow("SGN 3") << ":SGN|3|^" << L{u"status: Welcome ann1!"_s} << true << 0;
        QTest::newRow("SGN 4") << ":SGN|4|^"
                               << L{u"status: Connected"_s, u"form"_s, u"box: You are already logged in."_s}
                               << false << 0;
        QTest::newRow("SGN 5") << ":SGN|5|^"
                               << L{u"box, then end: You are no longer eligible to use of this service."_s}
                               << false << 1;
        QTest::newRow("SGN other") << ":SGN|9|^" << L{} << true << 0;
        QTest::newRow("NEW 2") << ":NEW|2|^"
                               << L{u"form"_s, u"box: User name already exists.  Please try another user "
                                               "name.  If you have already created an account, please "
                                               "click Log In."_s}
                               << true << 0;
    }
    void replies()
    {
        QFETCH(QString, message);
        QFETCH(int, ineligible);
        ClientState state;
        state.signedOn = true;
        state.settings.UserName = u"ann1"_s;
        int saves = 0;
        SignOnReplies replies(state, [&] { ++saves; });
        Dispatcher dispatcher;
        replies.registerOn(dispatcher);
        QStringList requests;
        connect(&replies, &SignOnReplies::signOnFormRequested, this, [&] { requests << u"form"_s; });
        connect(&replies, &SignOnReplies::messageBoxRequested, this,
                [&](const QString &text, const QString &, bool endAfter) {
                    requests << (endAfter ? u"box, then end: "_s : u"box: "_s) + text;
                });
        connect(&replies, &SignOnReplies::statusChanged, this,
                [&](const QString &text) { requests << u"status: "_s + text; });
        dispatcher.dispatch(message);
        QTEST(requests, "requests");
        QTEST(state.signedOn, "signedOn");
        QCOMPARE(state.settings.Ineligible, ineligible);
        QCOMPARE(saves, ineligible);
    }

    void parseAddress_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("port");
        QTest::newRow("colon") << u"192.168.1.20:6000"_s << u"192.168.1.20"_s << u"6000"_s;
        QTest::newRow("CR LF leaves no port") << u"10.0.0.1\r\n81"_s << u"10.0.0.1"_s << QString();
        QTest::newRow("leading space") << u" 10.0.0.1:81"_s << QString() << u"10.0.0.1"_s;
        QTest::newRow("trailing text ignored")
            << u"10.0.0.1:81\r\nold 9.9.9.9:1"_s << u"10.0.0.1"_s << u"81"_s;
        QTest::newRow("host name cannot be expressed") << u"relay.example:81"_s << QString() << QString();
    }
    void parseAddress()
    {
        QFETCH(QString, text);
        const ServerAddress a = ParseServerAddress(text);
        QTEST(a.host, "host");
        QTEST(a.port, "port");
    }

    void init()
    {
        m_f = std::make_unique<Fixture>();
        m_f->state.dataDir = m_f->dir.path();
        m_f->state.settings.UserName = u"spotter1"_s;
        m_f->state.settings.Password = u"pw"_s;
        QVERIFY(m_f->server.listen() && m_f->http.listen());
        m_f->http.setAddressFile("127.0.0.1:" + QByteArray::number(m_f->server.port()) + "\r\n");
        // Surrounding blanks, a trailing slash and a second line are all ignored.
        QVERIFY(TestFiles::write(m_f->dir.filePath(u"AddressHost.txt"_s),
                                 "  " + m_f->http.base().toUtf8() + "/ \r\nsecond line\r\n"));
        m_f->http.setBody(u"/ad/banner.PNG"_s, "PNGDATA");
        m_f->http.setBody(u"/ad/banner.gif"_s, "GIFDATA");
        m_f->http.setBody(u"/ad/run.sh"_s, "rm -rf");
        m_f->http.setResponse(u"/slow.gif"_s, HttpResponder::Response::stalled());
        m_f->http.setBody(u"/fast.gif"_s, "FAST");
        m_f->notices.registerOn(m_f->link.dispatcher());
    }

    // Log In queues the sign-on; it goes out as the link comes up, once per
    // connection, and stays queued until answered: a server that restarts
    // without answering gets it again. Meanwhile the status line says so.
    void signOnSentOnceWhenTheLinkComesUp()
    {
        const QString sgn = SignOn::BuildSignOnMessage(m_f->state.settings, ClientState::ClientVersion);
        m_f->link.setTimer1Interval(ServerLink::ConnectedInterval);
        m_f->link.QueuePendingMessage(sgn);
        QCOMPARE(m_f->link.timer1Interval(), ServerLink::StartInterval);
        QSignalSpy status(&m_f->link, &ServerLink::statusChanged);
        m_f->link.Connect();
        // A tick while the address is still being fetched neither reconnects
        // nor fetches twice.
        m_f->link.Timer1_Timer();
        QCOMPARE(m_f->link.timer1Interval(), ServerLink::StartInterval);
        QTRY_COMPARE_WITH_TIMEOUT(m_f->server.received(), QStringList{sgn}, Wait);
        QCOMPARE(status.last().at(0).toString(), ServerLink::WaitingText());
        m_f->link.Timer1_Timer();
        QCOMPARE(m_f->link.timer1Interval(), ServerLink::ConnectedInterval);
        m_f->link.Timer1_Timer();
        QCOMPARE(status.last().at(0).toString(), ServerLink::WaitingText());
        QTest::qWait(50);
        QCOMPARE(m_f->server.received(), QStringList{sgn});

        m_f->server.dropClients();
        QTRY_COMPARE_WITH_TIMEOUT(m_f->link.state(), LinkState::Closed, Wait);
        QCOMPARE(status.last().at(0).toString(), u"Disconnected"_s);
        m_f->link.Timer1_Timer();
        QTRY_COMPARE_WITH_TIMEOUT(m_f->server.received(), (QStringList{sgn, sgn}), Wait);
        SignOnReplies replies(m_f->state, {});
        replies.registerOn(m_f->link.dispatcher());
        m_f->server.send(u":SGN|3|^"_s);
        QTRY_VERIFY_WITH_TIMEOUT(m_f->state.pendingMessage.isEmpty(), Wait);
        m_f->link.Timer1_Timer();
        QCOMPARE(status.last().at(0).toString(), u"Connected"_s);
        QCOMPARE(m_f->server.connectionCount(), 2);
    }

    // The server goes away and comes back: one reconnect per tick that sees
    // the loss, and one re-sign-on without the version field.
    void serverBackGetsReSignOnWithoutVersion()
    {
        connectLink();
        m_f->state.signedOn = true;
        QSignalSpy status(&m_f->link, &ServerLink::statusChanged);
        QSignalSpy errors(&m_f->link, &ServerLink::socketError);
        const quint16 port = m_f->server.port();
        m_f->server.stopListening();
        m_f->server.dropClients();
        QTRY_COMPARE_WITH_TIMEOUT(m_f->link.state(), LinkState::Closed, Wait);
        QCOMPARE(status.last().at(0).toString(), u"Disconnected"_s);

        m_f->link.Timer1_Timer();
        QCOMPARE(m_f->link.timer1Interval(), ServerLink::LostInterval);
        QTRY_COMPARE_WITH_TIMEOUT(errors.size(), 1, Wait);
        QCOMPARE(errors.at(0).at(0).toInt(), 10061);
        QCOMPARE(status.last().at(0).toString(), u"ERROR: Connection is forcefully rejected."_s);

        QVERIFY(m_f->server.listen(port));
        m_f->link.Timer1_Timer();
        // The status line and the re-sign-on follow the socket, not the tick.
        const QString reSignOn = SignOn::BuildReSignOnMessage(m_f->state.settings);
        QTRY_COMPARE_WITH_TIMEOUT(m_f->server.receivedWithCode(u"SGN"_s), QStringList{reSignOn}, Wait);
        QCOMPARE(status.last().at(0).toString(), ServerLink::WaitingText());
        m_f->link.Timer1_Timer();
        m_f->link.Timer1_Timer();
        QTest::qWait(50);
        QCOMPARE(m_f->server.receivedWithCode(u"SGN"_s).size(), 1);
        QCOMPARE(m_f->link.timer1Interval(), ServerLink::ConnectedInterval);
    }

    // A hundred times the server vanishes in the middle of a message and
    // comes back: each connection gets exactly one re-sign-on, the half
    // message of a dead connection is never joined to the next one's text,
    // and nothing piles up.
    void vanishingServerHundredTimes()
    {
        connectLink();
        m_f->state.signedOn = true;
        QStringList dispatched;
        m_f->link.dispatcher().setHandler(u"SMG", [&](const QString &m) { dispatched << m; });
        for (int cycle = 1; cycle <= 100; ++cycle) {
            m_f->server.sendBytes(":SMG|cut off in the midd");
            QTest::qWait(1);
            m_f->server.dropClients();
            QTRY_COMPARE_WITH_TIMEOUT(m_f->link.state(), LinkState::Closed, Wait);
            m_f->link.Timer1_Timer(); // sees the loss: reconnects
            QTRY_COMPARE_WITH_TIMEOUT(m_f->link.state(), LinkState::Connected, Wait);
            m_f->link.Timer1_Timer();
            m_f->link.Timer1_Timer();
            QTRY_COMPARE_WITH_TIMEOUT(m_f->server.receivedWithCode(u"SGN"_s).size(), cycle, Wait);
        }
        m_f->server.sendBytes(":SMG|whole|^");
        QTRY_COMPARE_WITH_TIMEOUT(dispatched.size(), 1, Wait);
        QCOMPARE(dispatched, QStringList{u":SMG|whole|^"_s});
        QCOMPARE(m_f->server.connectionCount(), 101);
        QCOMPARE(m_f->link.receiveBuffer().size(), 0);
    }

    // DIS closes the link and what follows it is still dispatched; the next
    // tick reconnects. Then the idle watchdog: arrivals reset the count and
    // the sixth silent minute closes.
    void disAndIdleWatchdogClose()
    {
        connectLink();
        QStringList seen;
        m_f->link.dispatcher().setHandler(u"SMG", [&](const QString &m) {
            seen.append(m + QString::number(static_cast<int>(m_f->link.state())));
        });
        m_f->server.send(u":DIS|^:SMG|after|^:SMG|cut off"_s);
        QTRY_COMPARE_WITH_TIMEOUT(seen, QStringList{u":SMG|after|^0"_s}, Wait);
        QCOMPARE(m_f->link.state(), LinkState::Closed);
        connectLink();
        QCOMPARE(m_f->server.connectionCount(), 2);
        // The old link's partial message must not swallow the new one's first.
        m_f->server.send(u":SMG|fresh|^"_s);
        QTRY_COMPARE_WITH_TIMEOUT(seen.size(), 2, Wait);
        QCOMPARE(seen.last(), u":SMG|fresh|^7"_s);

        QSignalSpy raw(&m_f->link, &ServerLink::rawArrival);
        for (int i = 0; i < 5; ++i)
            m_f->link.IdleWatchdogStep();
        m_f->server.sendBytes(":SMG|x\x81|^"_ba);
        QTRY_COMPARE_WITH_TIMEOUT(raw.size(), 1, Wait);
        QCOMPARE(raw.at(0).at(0).toString(), u":SMG|x\u0081|^"_s);
        QCOMPARE(m_f->link.idleMinutes(), 0);
        for (int i = 0; i < 5; ++i)
            m_f->link.IdleWatchdogStep();
        QCOMPARE(m_f->link.state(), LinkState::Connected);
        m_f->link.IdleWatchdogStep();
        QCOMPARE(m_f->link.state(), LinkState::Closed);
    }

    void sendDataDroppedWhileConnectingAndConnectLeavesAConnectedSocketAlone()
    {
        m_f->link.connectTo(u"127.0.0.1"_s, QString::number(m_f->server.port()));
        QVERIFY(m_f->link.state() != LinkState::Connected);
        m_f->link.SendData(u":MSG|early|^"_s);
        // What a person typed is refused aloud, in red, for the caller to keep.
        QSignalSpy status(&m_f->link, &ServerLink::statusChanged);
        QVERIFY(!m_f->link.SendTyped(u":MSG|typed|^"_s));
        QCOMPARE(status.last().at(0).toString(), ServerLink::NotSentText());
        QCOMPARE(status.last().at(1).value<StatusStyle>(), StatusStyle::Red);
        QTRY_COMPARE_WITH_TIMEOUT(m_f->link.state(), LinkState::Connected, Wait);
        QVERIFY(m_f->link.SendTyped(u":MSG|late\u00b0|^"_s));
        QTRY_COMPARE_WITH_TIMEOUT(m_f->server.received().size(), 1, Wait);
        QTest::qWait(50);
        QCOMPARE(m_f->server.received(), QStringList{u":MSG|late\u00b0|^"_s});
        // A queued sign-on goes out at once when the link is already up.
        m_f->link.QueuePendingMessage(u":FGT|spotter1|^"_s);
        QTRY_COMPARE_WITH_TIMEOUT(m_f->server.received().size(), 2, Wait);
        QVERIFY(m_f->state.pendingMessage.isEmpty());

        // Connect leaves a connected socket alone.
        ScriptedServer other;
        QVERIFY(other.listen());
        m_f->http.setAddressFile("127.0.0.1:" + QByteArray::number(other.port()));
        m_f->link.Connect();
        QTRY_VERIFY_WITH_TIMEOUT(!m_f->link.addressFetchPending(), Wait);
        QTest::qWait(50);
        QCOMPARE(other.connectionCount(), 0);
        QCOMPARE(m_f->link.state(), LinkState::Connected);
    }

    // A port past 65535 must not wrap round onto another one (here, the server's).
    void portOutOfRangeLeavesTheSocketClosed()
    {
        m_f->http.setAddressFile("127.0.0.1:" + QByteArray::number(65536 + m_f->server.port()));
        // A stalled picture download does not hold back the reconnect.
        m_f->http.setResponse(u"/stall"_s, HttpResponder::Response::stalled());
        m_f->downloader.fetchText(m_f->http.url(u"/stall"_s), [](const DownloadError &, const QString &) {});
        m_f->link.Timer1_Timer();
        QVERIFY(m_f->link.addressFetchPending());
        QTRY_VERIFY_WITH_TIMEOUT(!m_f->link.addressFetchPending(), Wait);
        QCOMPARE(m_f->link.state(), LinkState::Closed);
        QCOMPARE(m_f->link.timer1Interval(), ServerLink::LostInterval);
        QTest::qWait(50);
        QCOMPARE(m_f->server.connectionCount(), 0);
    }

    // Only the picture type of the address's last characters names the file.
    void announcementFileName()
    {
        QCOMPARE(ServerNotices::AnnouncementFileName(u"http://ads.example/b.png?v=1/../x.exe"_s),
                 u"add.png"_s);
        QCOMPARE(ServerNotices::AnnouncementFileName(u"http://ads.example/x/..\\..\\a.bat"_s), QString());
        QCOMPARE(ServerNotices::AnnouncementFileName(u"http://ads.example/v1.2/banner"_s), QString());
    }

    void announcement_data()
    {
        QTest::addColumn<QString>("imagePath");
        QTest::addColumn<QString>("link");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("linkKept");
        QTest::newRow("picture and web link") << u"/ad/banner.PNG"_s << u"https://spotters.example/news"_s
                                              << u"add.png"_s << u"https://spotters.example/news"_s;
        QTest::newRow("program link refused")
            << u"/ad/banner.gif"_s << u"file:///usr/bin/xterm"_s << u"add.gif"_s << QString();
        QTest::newRow("not a picture") << u"/ad/run.sh"_s << QString() << QString() << QString();
    }
    void announcement()
    {
        QFETCH(QString, imagePath);
        QFETCH(QString, link);
        QFETCH(QString, file);
        QSignalSpy ready(&m_f->notices, &ServerNotices::announcementReady);
        m_f->link.dispatcher().dispatch(gad(imagePath, link));
        QTRY_COMPARE_WITH_TIMEOUT(ready.size(), 1, Wait);
        const QString expected = file.isEmpty() ? QString() : m_f->dir.filePath(file);
        QCOMPARE(ready.at(0).at(0).toString(), expected);
        QTEST(ready.at(0).at(2).toString(), "linkKept");
        QCOMPARE(m_f->http.requestCount(u"/ad/run.sh"_s), 0);
        QCOMPARE(QDir(m_f->dir.path()).entryList({u"add.*"_s}),
                 file.isEmpty() ? QStringList() : QStringList{file});
    }

    void newerAnnouncementWins()
    {
        QSignalSpy ready(&m_f->notices, &ServerNotices::announcementReady);
        m_f->notices.HandleGraphicAnnouncement(gad(u"/slow.gif"_s, QString()));
        m_f->notices.HandleGraphicAnnouncement(gad(u"/fast.gif"_s, QString()));
        QTRY_COMPARE_WITH_TIMEOUT(ready.size(), 1, Wait);
        QCOMPARE(ready.at(0).at(0).toString(), m_f->dir.filePath(u"add.gif"_s));
        QCOMPARE(ready.at(0).at(1).toString(), u"/fast.gif"_s);
        QVERIFY(!m_f->downloader.busy());
    }

    // BAN and C12 name a user; only a match (in any letter case) acts, and
    // C12 also ends a client that has no user name yet.
    void userNotices_data()
    {
        QTest::addColumn<QString>("own");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("banned");
        QTest::addColumn<bool>("ends");
        QTest::newRow("BAN this user, other case") << u"Storm1"_s << u":BAN|STORM1|^"_s << true << false;
        QTest::newRow("BAN name prefix") << u"Storm1"_s << u":BAN|Storm|^"_s << false << false;
        QTest::newRow("C12 this user") << u"Storm1"_s << u":C12|storm1|^"_s << false << true;
        QTest::newRow("C12 not signed in yet") << QString() << u":C12|Storm9|^"_s << false << true;
    }
    void userNotices()
    {
        QFETCH(QString, own);
        QFETCH(QString, message);
        QFETCH(bool, banned);
        QFETCH(bool, ends);
        m_f->state.settings.UserName = own;
        QSignalSpy ban(&m_f->notices, &ServerNotices::banned);
        QSignalSpy ended(&m_f->notices, &ServerNotices::terminateRequested);
        m_f->link.dispatcher().dispatch(message);
        QCOMPARE(ban.size(), banned ? 1 : 0);
        QCOMPARE(ended.size(), ends ? 1 : 0);
        QCOMPARE(m_f->state.settings.Ineligible, banned ? 1 : 0);
        QCOMPARE(m_f->saves, banned ? 1 : 0);
    }

    void redirect()
    {
        ScriptedServer &first = m_f->server, second;
        QVERIFY(second.listen());
        m_f->link.connectTo(u"127.0.0.1"_s, QString::number(first.port()));
        QTRY_COMPARE_WITH_TIMEOUT(m_f->link.state(), LinkState::Connected, Wait);
        m_f->link.Timer1_Timer();
        m_f->state.signedOn = true;
        QTRY_VERIFY_WITH_TIMEOUT(first.hasClient(), Wait);
        // Redirected from inside the socket's own arrival; the new server
        // gets the re-sign-on as soon as the link is up, without a tick.
        first.send(ServerMessage(u"HUB", {u"127.0.0.1"_s, QString::number(second.port())}));
        QTRY_COMPARE_WITH_TIMEOUT(second.receivedWithCode(u"SGN"_s),
                                  QStringList{SignOn::BuildReSignOnMessage(m_f->state.settings)}, Wait);
        QCOMPARE(second.connectionCount(), 1);
        QCOMPARE(m_f->http.requestCount(u"/weather/WXIP.txt"_s), 0);

        m_f->link.dispatcher().dispatch(u":HUB|127.0.0.1||^"_s);
        QCOMPARE(m_f->link.state(), LinkState::Closed);
    }

private:
    void connectLink()
    {
        m_f->link.Connect();
        QTRY_COMPARE_WITH_TIMEOUT(m_f->link.state(), LinkState::Connected, Wait);
        QTRY_VERIFY_WITH_TIMEOUT(m_f->server.hasClient(), Wait);
        m_f->link.Timer1_Timer();
        QCOMPARE(m_f->link.timer1Interval(), ServerLink::ConnectedInterval);
    }

    // The tool tip carries the picture's path so a test can tell which one won.
    QString gad(const QString &imagePath, const QString &link) const
    {
        return ServerMessage(u"GAD", {m_f->http.url(imagePath), imagePath, link});
    }

    struct Fixture
    {
        QTemporaryDir dir;
        ClientState state;
        ScriptedServer server;
        HttpResponder http;
        UrlDownloader downloader;
        ServerLink link{state, downloader};
        int saves = 0;
        ServerNotices notices{state, link, downloader, [this] { ++saves; }};
    };
    std::unique_ptr<Fixture> m_f;
};

QTEST_GUILESS_MAIN(TstServerLink)
#include "tst_server_link.moc"
