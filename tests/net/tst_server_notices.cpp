#include "app/client_state.h"
#include "graphics/url_download.h"
#include "net/server_link.h"
#include "net/server_notices.h"
#include "scripted_server.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

class TstServerNotices : public QObject
{
    Q_OBJECT

private slots:
    void announcementFile_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("file");
        QTest::newRow("upper-case type") << u"http://ads.example/B.JPG"_qs << u"add.jpg"_qs;
        QTest::newRow("four-letter type") << u"https://ads.example/b.jpeg"_qs << u"add.jpeg"_qs;
        QTest::newRow("query ignored") << u"http://ads.example/b.png?v=1/../x.exe"_qs << u"add.png"_qs;
        QTest::newRow("path in the last characters") << u"http://ads.example/x/..\\..\\a.bat"_qs << QString();
        QTest::newRow("dot in a folder only") << u"http://ads.example/v1.2/banner"_qs << QString();
        QTest::newRow("unknown type") << u"http://ads.example/run.exe"_qs << QString();
    }
    void announcementFile()
    {
        QFETCH(QString, address);
        QFETCH(QString, file);
        QCOMPARE(ServerNotices::AnnouncementFileName(address), file);
    }

    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_state = std::make_unique<ClientState>();
        m_state->dataDir = m_dir->path();
        m_state->settings.UserName = QStringLiteral("Storm1");
        m_http = std::make_unique<HttpResponder>();
        QVERIFY(m_http->listen());
        QFile f(m_dir->filePath(QStringLiteral("AddressHost.txt")));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(m_http->base().toUtf8());
        f.close();
        m_saves = 0;
        m_downloader = std::make_unique<UrlDownloader>();
        m_link = std::make_unique<ServerLink>(*m_state, *m_downloader);
        m_notices = std::make_unique<ServerNotices>(*m_state, *m_link, *m_downloader, [this] { ++m_saves; });
        m_notices->registerOn(m_link->dispatcher());
    }
    void cleanup()
    {
        m_notices.reset();
        m_link.reset();
        m_downloader.reset();
    }

    void announcement_data()
    {
        QTest::addColumn<QString>("imagePath");
        QTest::addColumn<QString>("link");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("linkKept");
        QTest::newRow("picture and web link") << u"/ad/banner.PNG"_qs << u"https://spotters.example/news"_qs
                                              << u"add.png"_qs << u"https://spotters.example/news"_qs;
        QTest::newRow("program link refused")
            << u"/ad/banner.gif"_qs << u"file:///usr/bin/xterm"_qs << u"add.gif"_qs << QString();
        QTest::newRow("picture missing") << u"/ad/none.gif"_qs << u"http://spotters.example/"_qs << QString()
                                         << u"http://spotters.example/"_qs;
        QTest::newRow("not a picture") << u"/ad/run.sh"_qs << QString() << QString() << QString();
    }
    void announcement()
    {
        QFETCH(QString, imagePath);
        QFETCH(QString, link);
        QFETCH(QString, file);
        QFETCH(QString, linkKept);
        m_http->setBody(QStringLiteral("/ad/banner.PNG"), "PNGDATA");
        m_http->setBody(QStringLiteral("/ad/banner.gif"), "GIFDATA");
        m_http->setBody(QStringLiteral("/ad/run.sh"), "rm -rf");
        QSignalSpy ready(m_notices.get(), &ServerNotices::announcementReady);
        m_link->dispatcher().dispatch(QStringLiteral(":GAD|") + m_http->url(imagePath) +
                                      QStringLiteral("|Spring <b>training</b>|") + link +
                                      QStringLiteral("|^"));
        QTRY_COMPARE_WITH_TIMEOUT(ready.size(), 1, 5000);
        const QString expected = file.isEmpty() ? QString() : m_dir->filePath(file);
        QCOMPARE(ready.at(0).at(0).toString(), expected);
        QCOMPARE(ready.at(0).at(1).toString(), QStringLiteral("Spring <b>training</b>"));
        QCOMPARE(ready.at(0).at(2).toString(), linkKept);
        QCOMPARE(m_notices->AnnouncementLink(), linkKept);
        QCOMPARE(m_http->requestCount(QStringLiteral("/ad/run.sh")), 0);
        QCOMPARE(QDir(m_dir->path()).entryList({QStringLiteral("add.*")}),
                 file.isEmpty() ? QStringList() : QStringList{file});
    }

    void newerAnnouncementWins()
    {
        m_http->setResponse(QStringLiteral("/slow.gif"), HttpResponder::Response::stalled());
        m_http->setBody(QStringLiteral("/fast.gif"), "FAST");
        QSignalSpy ready(m_notices.get(), &ServerNotices::announcementReady);
        m_notices->HandleGraphicAnnouncement(
            QStringLiteral(":GAD|") + m_http->url(QStringLiteral("/slow.gif")) + QStringLiteral("|one||^"));
        m_notices->HandleGraphicAnnouncement(
            QStringLiteral(":GAD|") + m_http->url(QStringLiteral("/fast.gif")) + QStringLiteral("|two||^"));
        QTRY_COMPARE_WITH_TIMEOUT(ready.size(), 1, 5000);
        QCOMPARE(ready.at(0).at(1).toString(), QStringLiteral("two"));
        QVERIFY(!m_downloader->busy());
    }

    // BAN and C12 name a user; only a match (in any letter case) acts, and
    // C12 also ends a client that has no user name yet.
    void userNotices_data()
    {
        QTest::addColumn<QString>("own");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("banned");
        QTest::addColumn<bool>("ends");
        QTest::newRow("BAN this user, other case") << u"Storm1"_qs << u":BAN|STORM1|^"_qs << true << false;
        QTest::newRow("BAN other user") << u"Storm1"_qs << u":BAN|Storm2|^"_qs << false << false;
        QTest::newRow("BAN name prefix") << u"Storm1"_qs << u":BAN|Storm|^"_qs << false << false;
        QTest::newRow("BAN no name") << u"Storm1"_qs << u":BAN|^"_qs << false << false;
        QTest::newRow("C12 this user") << u"Storm1"_qs << u":C12|storm1|^"_qs << false << true;
        QTest::newRow("C12 other user") << u"Storm1"_qs << u":C12|Storm9|^"_qs << false << false;
        QTest::newRow("C12 not signed in yet") << QString() << u":C12|Storm9|^"_qs << false << true;
    }
    void userNotices()
    {
        QFETCH(QString, own);
        QFETCH(QString, message);
        QFETCH(bool, banned);
        QFETCH(bool, ends);
        m_state->settings.UserName = own;
        QSignalSpy ban(m_notices.get(), &ServerNotices::banned);
        QSignalSpy ended(m_notices.get(), &ServerNotices::terminateRequested);
        m_link->dispatcher().dispatch(message);
        QCOMPARE(ban.size(), banned ? 1 : 0);
        QCOMPARE(ended.size(), ends ? 1 : 0);
        QCOMPARE(m_state->settings.Ineligible, banned ? 1 : 0);
        QCOMPARE(m_saves, banned ? 1 : 0);
        if (banned)
            QCOMPARE(ban.at(0).at(0).toString(), u"You are no longer eligible to use this service."_qs);
    }

    void redirect()
    {
        ScriptedServer first;
        ScriptedServer second;
        QVERIFY(first.listen());
        QVERIFY(second.listen());
        m_link->connectTo(QStringLiteral("127.0.0.1"), QString::number(first.port()));
        QTRY_COMPARE_WITH_TIMEOUT(m_link->state(), LinkState::Connected, 5000);
        m_state->pendingMessage = QStringLiteral(":SGN|x|^");
        m_link->setTimer1Interval(ServerLink::ConnectedInterval);
        QTRY_VERIFY_WITH_TIMEOUT(first.hasClient(), 5000);
        // Redirected from inside the socket's own arrival.
        first.send(QStringLiteral(":HUB|127.0.0.1|") + QString::number(second.port()) + QStringLiteral("|^"));
        QTRY_COMPARE_WITH_TIMEOUT(second.connectionCount(), 1, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(m_link->state(), LinkState::Connected, 5000);
        QCOMPARE(m_http->requestCount(QStringLiteral("/weather/WXIP.txt")), 0);
        QCOMPARE(m_state->pendingMessage, QStringLiteral(":SGN|x|^"));
        QCOMPARE(m_link->timer1Interval(), ServerLink::ConnectedInterval);

        m_link->dispatcher().dispatch(QStringLiteral(":HUB|127.0.0.1||^"));
        QCOMPARE(m_link->state(), LinkState::Closed);
        QTest::qWait(50);
        QCOMPARE(second.connectionCount(), 1);
        QCOMPARE(first.connectionCount(), 1);
    }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ClientState> m_state;
    std::unique_ptr<HttpResponder> m_http;
    std::unique_ptr<UrlDownloader> m_downloader;
    std::unique_ptr<ServerLink> m_link;
    std::unique_ptr<ServerNotices> m_notices;
    int m_saves = 0;
};

QTEST_GUILESS_MAIN(TstServerNotices)
#include "tst_server_notices.moc"
