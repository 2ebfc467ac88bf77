#include "base/client_state.h"
#include "graphics/url_download.h"
#include "net/protocol.h"
#include "net/server_link.h"
#include "net/server_notices.h"
#include "net/sign_on.h"
#include "scripted_server.h"
#include "test_files.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::Literals::StringLiterals;

constexpr int Wait = 5000;

// The link to the server, and the notices by which the server steers it.
class TstServerLink : public QObject
{
    Q_OBJECT

private slots:
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

    // Start-up: Log In queues the sign-on, the start timer connects, and the
    // first supervision tick that finds the link up sends it, once.
    void signOnSentOnceWhenTheLinkComesUp()
    {
        const QString sgn = SignOn::BuildSignOnMessage(m_f->state.settings, ClientState::ClientVersion);
        m_f->link.setTimer1Interval(ServerLink::ConnectedInterval);
        m_f->link.QueuePendingMessage(sgn);
        QCOMPARE(m_f->link.timer1Interval(), ServerLink::StartInterval);
        m_f->link.Connect();
        // A tick while the address is still being fetched neither reconnects
        // nor fetches twice.
        m_f->link.Timer1_Timer();
        QCOMPARE(m_f->link.timer1Interval(), ServerLink::StartInterval);
        QTRY_COMPARE_WITH_TIMEOUT(m_f->link.state(), LinkState::Connected, Wait);
        QVERIFY(m_f->server.received().isEmpty());
        m_f->link.Timer1_Timer();
        QCOMPARE(m_f->link.timer1Interval(), ServerLink::ConnectedInterval);
        QVERIFY(m_f->state.pendingMessage.isEmpty());
        m_f->link.Timer1_Timer();
        QTRY_COMPARE_WITH_TIMEOUT(m_f->server.received().size(), 1, Wait);
        QTest::qWait(50);
        QCOMPARE(m_f->server.received(), QStringList{sgn});
        QCOMPARE(m_f->server.connectionCount(), 1);
        QCOMPARE(m_f->http.requestCount(u"/weather/WXIP.txt"_s), 1);
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

        m_f->link.Timer1_Timer();
        QCOMPARE(m_f->link.timer1Interval(), ServerLink::LostInterval);
        QTRY_COMPARE_WITH_TIMEOUT(errors.size(), 1, Wait);
        QCOMPARE(errors.at(0).at(0).toInt(), 10061);
        QCOMPARE(status.last().at(0).toString(), u"ERROR: Connection is forcefully rejected."_s);

        QVERIFY(m_f->server.listen(port));
        m_f->link.Timer1_Timer();
        QTRY_COMPARE_WITH_TIMEOUT(m_f->link.state(), LinkState::Connected, Wait);
        m_f->link.Timer1_Timer();
        m_f->link.Timer1_Timer();
        const QString reSignOn = SignOn::BuildReSignOnMessage(m_f->state.settings);
        QTRY_COMPARE_WITH_TIMEOUT(m_f->server.receivedWithCode(u"SGN"_s), QStringList{reSignOn}, Wait);
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
            QVERIFY(m_f->state.pendingMessage.isEmpty());
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

    void sendDataDroppedWhileConnecting()
    {
        m_f->link.connectTo(u"127.0.0.1"_s, QString::number(m_f->server.port()));
        QVERIFY(m_f->link.state() != LinkState::Connected);
        m_f->link.SendData(u":MSG|early|^"_s);
        QTRY_COMPARE_WITH_TIMEOUT(m_f->link.state(), LinkState::Connected, Wait);
        m_f->link.SendData(u":MSG|late\u00b0|^"_s);
        QTRY_COMPARE_WITH_TIMEOUT(m_f->server.received().size(), 1, Wait);
        QTest::qWait(50);
        QCOMPARE(m_f->server.received(), QStringList{u":MSG|late\u00b0|^"_s});
        // A queued sign-on goes out at once when the link is already up.
        m_f->link.QueuePendingMessage(u":FGT|spotter1|^"_s);
        QTRY_COMPARE_WITH_TIMEOUT(m_f->server.received().size(), 2, Wait);
        QVERIFY(m_f->state.pendingMessage.isEmpty());
    }

    void connectLeavesAConnectedSocketAlone()
    {
        connectLink();
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
        m_f->state.pendingMessage = u":SGN|x|^"_s;
        QTRY_VERIFY_WITH_TIMEOUT(first.hasClient(), Wait);
        // Redirected from inside the socket's own arrival.
        first.send(ServerMessage(u"HUB", {u"127.0.0.1"_s, QString::number(second.port())}));
        QTRY_COMPARE_WITH_TIMEOUT(second.connectionCount(), 1, Wait);
        QTRY_COMPARE_WITH_TIMEOUT(m_f->link.state(), LinkState::Connected, Wait);
        QCOMPARE(m_f->http.requestCount(u"/weather/WXIP.txt"_s), 0);
        QCOMPARE(m_f->state.pendingMessage, u":SGN|x|^"_s);

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
