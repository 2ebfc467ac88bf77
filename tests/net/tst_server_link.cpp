#include "link_fixture.h"
#include "net/address_file.h"
#include "net/sign_on.h"

#include <QtTest>

// The link to the server: address file, sign-on, supervision and loss.
class TstServerLink : public QObject
{
    Q_OBJECT

private slots:
    void init() { QVERIFY((m_f = std::make_unique<LinkFixture>())->start()); }

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

private:
    void connectLink()
    {
        m_f->link.Connect();
        QTRY_COMPARE_WITH_TIMEOUT(m_f->link.state(), LinkState::Connected, Wait);
        QTRY_VERIFY_WITH_TIMEOUT(m_f->server.hasClient(), Wait);
        m_f->link.Timer1_Timer();
        QCOMPARE(m_f->link.timer1Interval(), ServerLink::ConnectedInterval);
    }

    std::unique_ptr<LinkFixture> m_f;
};

QTEST_GUILESS_MAIN(TstServerLink)
#include "tst_server_link.moc"
