#include "base/client_state.h"
#include "graphics/url_download.h"
#include "net/server_link.h"
#include "net/sign_on.h"
#include "scripted_server.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

constexpr int Wait = 5000;

class TstServerLink : public QObject
{
    Q_OBJECT

private slots:
    void parseAddress_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("port");
        QTest::newRow("colon") << u"192.168.1.20:6000"_qs << u"192.168.1.20"_qs << u"6000"_qs;
        QTest::newRow("CR LF leaves no port") << u"10.0.0.1\r\n81"_qs << u"10.0.0.1"_qs << QString();
        QTest::newRow("leading space") << u" 10.0.0.1:81"_qs << QString() << u"10.0.0.1"_qs;
        QTest::newRow("trailing text ignored")
            << u"10.0.0.1:81\r\nold 9.9.9.9:1"_qs << u"10.0.0.1"_qs << u"81"_qs;
        QTest::newRow("host name cannot be expressed") << u"relay.example:81"_qs << QString() << QString();
    }
    void parseAddress()
    {
        QFETCH(QString, text);
        QFETCH(QString, host);
        QFETCH(QString, port);
        const ServerAddress a = ParseServerAddress(text);
        QCOMPARE(a.host, host);
        QCOMPARE(a.port, port);
    }

    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_state = std::make_unique<ClientState>();
        m_state->dataDir = m_dir->path();
        m_state->settings.UserName = QStringLiteral("spotter1");
        m_state->settings.Password = QStringLiteral("pw");
        m_server = std::make_unique<ScriptedServer>();
        QVERIFY(m_server->listen());
        m_http = std::make_unique<HttpResponder>();
        QVERIFY(m_http->listen());
        m_http->setAddressFile("127.0.0.1:" + QByteArray::number(m_server->port()) + "\r\n");
        QFile f(m_dir->filePath(QStringLiteral("AddressHost.txt")));
        QVERIFY(f.open(QIODevice::WriteOnly));
        // Surrounding blanks, a trailing slash and a second line are all ignored.
        f.write("  " + m_http->base().toUtf8() + "/ \r\nsecond line\r\n");
        f.close();
        m_downloader = std::make_unique<UrlDownloader>();
        m_link = std::make_unique<ServerLink>(*m_state, *m_downloader);
    }
    void cleanup()
    {
        m_link.reset();
        m_downloader.reset();
    }

    // Start-up: Log In queues the sign-on, the start timer connects, and the
    // first supervision tick that finds the link up sends it, once.
    void signOnSentOnceWhenTheLinkComesUp()
    {
        const QString sgn = SignOn::BuildSignOnMessage(m_state->settings, ClientState::ClientVersion);
        m_link->setTimer1Interval(ServerLink::ConnectedInterval);
        m_link->QueuePendingMessage(sgn);
        QCOMPARE(m_link->timer1Interval(), ServerLink::StartInterval);
        m_link->Connect();
        // A tick while the address is still being fetched neither reconnects
        // nor fetches twice.
        m_link->Timer1_Timer();
        QCOMPARE(m_link->timer1Interval(), ServerLink::StartInterval);
        QTRY_COMPARE_WITH_TIMEOUT(m_link->state(), LinkState::Connected, Wait);
        QVERIFY(m_server->received().isEmpty());
        m_link->Timer1_Timer();
        QCOMPARE(m_link->timer1Interval(), ServerLink::ConnectedInterval);
        QVERIFY(m_state->pendingMessage.isEmpty());
        m_link->Timer1_Timer();
        QTRY_COMPARE_WITH_TIMEOUT(m_server->received().size(), 1, Wait);
        QTest::qWait(50);
        QCOMPARE(m_server->received(), QStringList{sgn});
        QCOMPARE(m_server->connectionCount(), 1);
        QCOMPARE(m_http->requestCount(QStringLiteral("/weather/WXIP.txt")), 1);
    }

    // The server goes away and comes back: one reconnect per tick that sees
    // the loss, and one re-sign-on without the version field.
    void serverBackGetsReSignOnWithoutVersion()
    {
        connectLink();
        m_state->signedOn = true;
        QSignalSpy status(m_link.get(), &ServerLink::statusChanged);
        QSignalSpy errors(m_link.get(), &ServerLink::socketError);
        const quint16 port = m_server->port();
        m_server->stopListening();
        m_server->dropClients();
        QTRY_COMPARE_WITH_TIMEOUT(m_link->state(), LinkState::Closed, Wait);

        m_link->Timer1_Timer();
        QCOMPARE(m_link->timer1Interval(), ServerLink::LostInterval);
        QTRY_COMPARE_WITH_TIMEOUT(errors.size(), 1, Wait);
        QCOMPARE(errors.at(0).at(0).toInt(), 10061);
        QCOMPARE(status.last().at(0).toString(), QStringLiteral("ERROR: Connection is forcefully rejected."));

        QVERIFY(m_server->listen(port));
        m_link->Timer1_Timer();
        QTRY_COMPARE_WITH_TIMEOUT(m_link->state(), LinkState::Connected, Wait);
        m_link->Timer1_Timer();
        m_link->Timer1_Timer();
        const QString reSignOn = SignOn::BuildReSignOnMessage(m_state->settings);
        QTRY_COMPARE_WITH_TIMEOUT(m_server->receivedWithCode(QStringLiteral("SGN")), QStringList{reSignOn},
                                  Wait);
        QTest::qWait(50);
        QCOMPARE(m_server->receivedWithCode(QStringLiteral("SGN")).size(), 1);
        QCOMPARE(m_link->timer1Interval(), ServerLink::ConnectedInterval);
    }

    // DIS closes the link and what follows it is still dispatched; the next
    // tick reconnects. Then the idle watchdog: arrivals reset the count and
    // the sixth silent minute closes.
    void disAndIdleWatchdogClose()
    {
        connectLink();
        QStringList seen;
        m_link->dispatcher().setHandler(
            u"SMG", [&](const QString &m) { seen.append(m + QString::number(m_link->state())); });
        m_server->send(QStringLiteral(":DIS|^:SMG|after|^:SMG|cut off"));
        QTRY_COMPARE_WITH_TIMEOUT(seen, QStringList{QStringLiteral(":SMG|after|^0")}, Wait);
        QCOMPARE(m_link->state(), LinkState::Closed);
        connectLink();
        QCOMPARE(m_server->connectionCount(), 2);
        // The old link's partial message must not swallow the new one's first.
        m_server->send(QStringLiteral(":SMG|fresh|^"));
        QTRY_COMPARE_WITH_TIMEOUT(seen.size(), 2, Wait);
        QCOMPARE(seen.last(), QStringLiteral(":SMG|fresh|^7"));

        QSignalSpy raw(m_link.get(), &ServerLink::rawArrival);
        for (int i = 0; i < 5; ++i)
            m_link->IdleWatchdogStep();
        m_server->sendBytes(QByteArray(":SMG|x\x81|^"));
        QTRY_COMPARE_WITH_TIMEOUT(raw.size(), 1, Wait);
        QCOMPARE(raw.at(0).at(0).toString(), QStringLiteral(":SMG|x\u0081|^"));
        QCOMPARE(m_link->idleMinutes(), 0);
        for (int i = 0; i < 5; ++i)
            m_link->IdleWatchdogStep();
        QCOMPARE(m_link->state(), LinkState::Connected);
        m_link->IdleWatchdogStep();
        QCOMPARE(m_link->state(), LinkState::Closed);
    }

    void sendDataDroppedWhileConnecting()
    {
        m_link->connectTo(QStringLiteral("127.0.0.1"), QString::number(m_server->port()));
        QVERIFY(m_link->state() != LinkState::Connected);
        m_link->SendData(QStringLiteral(":MSG|early|^"));
        QTRY_COMPARE_WITH_TIMEOUT(m_link->state(), LinkState::Connected, Wait);
        m_link->SendData(QStringLiteral(":MSG|late\u00b0|^"));
        QTRY_COMPARE_WITH_TIMEOUT(m_server->received().size(), 1, Wait);
        QTest::qWait(50);
        QCOMPARE(m_server->received(), QStringList{QStringLiteral(":MSG|late\u00b0|^")});
        // A queued sign-on goes out at once when the link is already up.
        m_link->QueuePendingMessage(QStringLiteral(":FGT|spotter1|^"));
        QTRY_COMPARE_WITH_TIMEOUT(m_server->received().size(), 2, Wait);
        QVERIFY(m_state->pendingMessage.isEmpty());
    }

    void connectLeavesAConnectedSocketAlone()
    {
        connectLink();
        ScriptedServer other;
        QVERIFY(other.listen());
        m_http->setAddressFile("127.0.0.1:" + QByteArray::number(other.port()));
        m_link->Connect();
        QTRY_VERIFY_WITH_TIMEOUT(!m_link->addressFetchPending(), Wait);
        QTest::qWait(50);
        QCOMPARE(other.connectionCount(), 0);
        QCOMPARE(m_link->state(), LinkState::Connected);
    }

    // A port past 65535 must not wrap round onto another one (here, the server's).
    void portOutOfRangeLeavesTheSocketClosed()
    {
        m_http->setAddressFile("127.0.0.1:" + QByteArray::number(65536 + m_server->port()));
        // A stalled picture download does not hold back the reconnect.
        m_http->setResponse(QStringLiteral("/stall"), HttpResponder::Response::stalled());
        m_downloader->fetchText(m_http->url(QStringLiteral("/stall")),
                                [](const DownloadError &, const QString &) {});
        m_link->Timer1_Timer();
        QVERIFY(m_link->addressFetchPending());
        QTRY_VERIFY_WITH_TIMEOUT(!m_link->addressFetchPending(), Wait);
        QCOMPARE(m_link->state(), LinkState::Closed);
        QCOMPARE(m_link->timer1Interval(), ServerLink::LostInterval);
        QTest::qWait(50);
        QCOMPARE(m_server->connectionCount(), 0);
    }

private:
    void connectLink()
    {
        m_link->Connect();
        QTRY_COMPARE_WITH_TIMEOUT(m_link->state(), LinkState::Connected, Wait);
        QTRY_VERIFY_WITH_TIMEOUT(m_server->hasClient(), Wait);
        m_link->Timer1_Timer();
        QCOMPARE(m_link->timer1Interval(), ServerLink::ConnectedInterval);
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ClientState> m_state;
    std::unique_ptr<ScriptedServer> m_server;
    std::unique_ptr<HttpResponder> m_http;
    std::unique_ptr<UrlDownloader> m_downloader;
    std::unique_ptr<ServerLink> m_link;
};

QTEST_GUILESS_MAIN(TstServerLink)
#include "tst_server_link.moc"
