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
        QTest::newRow("gif") << "http://ads.example/img/banner.gif"
                             << "add.gif";
        QTest::newRow("upper-case type") << "http://ads.example/B.JPG"
                                         << "add.jpg";
        QTest::newRow("four-letter type") << "https://ads.example/b.jpeg"
                                          << "add.jpeg";
        QTest::newRow("query ignored") << "http://ads.example/b.png?v=1/../x.exe"
                                       << "add.png";
        QTest::newRow("path in the last characters") << "http://ads.example/x/..\\..\\a.bat"
                                                     << "";
        QTest::newRow("dot in a folder only") << "http://ads.example/v1.2/banner"
                                              << "";
        QTest::newRow("unknown type") << "http://ads.example/run.exe"
                                      << "";
        QTest::newRow("empty") << ""
                               << "";
    }
    void announcementFile()
    {
        QFETCH(QString, address);
        QFETCH(QString, file);
        QCOMPARE(ServerNotices::AnnouncementFileName(address), file);
    }

    void nameMatches_data()
    {
        QTest::addColumn<QString>("own");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("matches");
        QTest::newRow("same") << "Storm1"
                              << "Storm1" << true;
        QTest::newRow("case differs") << "Storm1"
                                      << "STORM1" << true;
        QTest::newRow("other user") << "Storm1"
                                    << "Storm2" << false;
        QTest::newRow("prefix only") << "Storm1"
                                     << "Storm" << false;
        QTest::newRow("own name empty") << ""
                                        << "anyone" << true;
    }
    void nameMatches()
    {
        QFETCH(QString, own);
        QFETCH(QString, name);
        QFETCH(bool, matches);
        QCOMPARE(ServerNotices::NameMatches(own, name), matches);
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
        QTest::newRow("picture and web link") << "/ad/banner.PNG"
                                              << "https://spotters.example/news"
                                              << "add.png"
                                              << "https://spotters.example/news";
        QTest::newRow("program link refused") << "/ad/banner.gif"
                                              << "file:///usr/bin/xterm"
                                              << "add.gif"
                                              << "";
        QTest::newRow("script link refused") << "/ad/banner.gif"
                                             << "javascript:alert(1)"
                                             << "add.gif"
                                             << "";
        QTest::newRow("picture missing") << "/ad/none.gif"
                                         << "http://spotters.example/"
                                         << ""
                                         << "http://spotters.example/";
        QTest::newRow("not a picture") << "/ad/run.sh"
                                       << ""
                                       << ""
                                       << "";
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

    void ban_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("banned");
        QTest::newRow("this user, other case") << ":BAN|STORM1|^" << true;
        QTest::newRow("other user") << ":BAN|Storm2|^" << false;
        QTest::newRow("no name") << ":BAN|^" << false;
    }
    void ban()
    {
        QFETCH(QString, message);
        QFETCH(bool, banned);
        QSignalSpy spy(m_notices.get(), &ServerNotices::banned);
        QSignalSpy ended(m_notices.get(), &ServerNotices::terminateRequested);
        m_link->dispatcher().dispatch(message);
        QCOMPARE(spy.size(), banned ? 1 : 0);
        QCOMPARE(m_state->settings.Ineligible, banned ? 1 : 0);
        QCOMPARE(m_saves, banned ? 1 : 0);
        QCOMPARE(ended.size(), 0);
        if (banned) {
            QCOMPARE(spy.at(0).at(0).toString(),
                     QStringLiteral("You are no longer eligible to use this service."));
            QCOMPARE(spy.at(0).at(1).toString(), spy.at(0).at(0).toString());
        }
    }

    void terminate_data()
    {
        QTest::addColumn<QString>("own");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("ends");
        QTest::newRow("this user") << "Storm1"
                                   << ":C12|storm1|^" << true;
        QTest::newRow("other user") << "Storm1"
                                    << ":C12|Storm9|^" << false;
        QTest::newRow("not signed in yet") << ""
                                           << ":C12|Storm9|^" << true;
    }
    void terminate()
    {
        QFETCH(QString, own);
        QFETCH(QString, message);
        QFETCH(bool, ends);
        m_state->settings.UserName = own;
        QSignalSpy spy(m_notices.get(), &ServerNotices::terminateRequested);
        m_link->dispatcher().dispatch(message);
        QCOMPARE(spy.size(), ends ? 1 : 0);
        QCOMPARE(m_saves, 0);
        QCOMPARE(m_state->settings.Ineligible, 0);
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
