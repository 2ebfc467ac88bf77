#include "base/client_state.h"
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
    void initTestCase()
    {
        QVERIFY(m_http.listen());
        m_http.setBody(QStringLiteral("/ad/banner.PNG"), "PNGDATA");
        m_http.setBody(QStringLiteral("/ad/banner.gif"), "GIFDATA");
        m_http.setBody(QStringLiteral("/ad/run.sh"), "rm -rf");
        m_http.setResponse(QStringLiteral("/slow.gif"), HttpResponder::Response::stalled());
        m_http.setBody(QStringLiteral("/fast.gif"), "FAST");
    }
    void init()
    {
        m_f = std::make_unique<Fixture>();
        m_f->state.dataDir = m_f->dir.path();
        QFile f(m_f->dir.filePath(QStringLiteral("AddressHost.txt")));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(m_http.base().toUtf8());
        f.close();
        m_f->notices.registerOn(m_f->link.dispatcher());
    }

    // Only the picture type of the address's last characters names the file.
    void announcementFileName()
    {
        QCOMPARE(ServerNotices::AnnouncementFileName(u"http://ads.example/b.png?v=1/../x.exe"_qs),
                 u"add.png"_qs);
        QCOMPARE(ServerNotices::AnnouncementFileName(u"http://ads.example/x/..\\..\\a.bat"_qs), QString());
        QCOMPARE(ServerNotices::AnnouncementFileName(u"http://ads.example/v1.2/banner"_qs), QString());
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
        QTest::newRow("not a picture") << u"/ad/run.sh"_qs << QString() << QString() << QString();
    }
    void announcement()
    {
        QFETCH(QString, imagePath);
        QFETCH(QString, link);
        QFETCH(QString, file);
        QFETCH(QString, linkKept);
        QSignalSpy ready(&m_f->notices, &ServerNotices::announcementReady);
        m_f->link.dispatcher().dispatch(gad(imagePath, link));
        QTRY_COMPARE_WITH_TIMEOUT(ready.size(), 1, 5000);
        const QString expected = file.isEmpty() ? QString() : m_f->dir.filePath(file);
        QCOMPARE(ready.at(0).at(0).toString(), expected);
        QCOMPARE(ready.at(0).at(2).toString(), linkKept);
        QCOMPARE(m_http.requestCount(QStringLiteral("/ad/run.sh")), 0);
        QCOMPARE(QDir(m_f->dir.path()).entryList({QStringLiteral("add.*")}),
                 file.isEmpty() ? QStringList() : QStringList{file});
    }

    void newerAnnouncementWins()
    {
        QSignalSpy ready(&m_f->notices, &ServerNotices::announcementReady);
        m_f->notices.HandleGraphicAnnouncement(gad(u"/slow.gif"_qs, QString()));
        m_f->notices.HandleGraphicAnnouncement(gad(u"/fast.gif"_qs, QString()));
        QTRY_COMPARE_WITH_TIMEOUT(ready.size(), 1, 5000);
        QCOMPARE(ready.at(0).at(0).toString(), m_f->dir.filePath(u"add.gif"_qs));
        QCOMPARE(ready.at(0).at(1).toString(), u"/fast.gif"_qs);
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
        QTest::newRow("BAN this user, other case") << u"Storm1"_qs << u":BAN|STORM1|^"_qs << true << false;
        QTest::newRow("BAN name prefix") << u"Storm1"_qs << u":BAN|Storm|^"_qs << false << false;
        QTest::newRow("C12 this user") << u"Storm1"_qs << u":C12|storm1|^"_qs << false << true;
        QTest::newRow("C12 not signed in yet") << QString() << u":C12|Storm9|^"_qs << false << true;
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
        ScriptedServer first;
        ScriptedServer second;
        QVERIFY(first.listen());
        QVERIFY(second.listen());
        m_f->link.connectTo(QStringLiteral("127.0.0.1"), QString::number(first.port()));
        QTRY_COMPARE_WITH_TIMEOUT(m_f->link.state(), LinkState::Connected, 5000);
        m_f->state.pendingMessage = QStringLiteral(":SGN|x|^");
        QTRY_VERIFY_WITH_TIMEOUT(first.hasClient(), 5000);
        // Redirected from inside the socket's own arrival.
        first.send(QStringLiteral(":HUB|127.0.0.1|") + QString::number(second.port()) + QStringLiteral("|^"));
        QTRY_COMPARE_WITH_TIMEOUT(second.connectionCount(), 1, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(m_f->link.state(), LinkState::Connected, 5000);
        QCOMPARE(m_http.requestCount(QStringLiteral("/weather/WXIP.txt")), 0);
        QCOMPARE(m_f->state.pendingMessage, QStringLiteral(":SGN|x|^"));

        m_f->link.dispatcher().dispatch(QStringLiteral(":HUB|127.0.0.1||^"));
        QCOMPARE(m_f->link.state(), LinkState::Closed);
    }

private:
    // The tool tip carries the picture's path so a test can tell which one won.
    QString gad(const QString &imagePath, const QString &link) const
    {
        return u":GAD|"_qs + m_http.url(imagePath) + u"|"_qs + imagePath + u"|"_qs + link + u"|^"_qs;
    }

    struct Fixture
    {
        QTemporaryDir dir;
        ClientState state;
        UrlDownloader downloader;
        ServerLink link{state, downloader};
        int saves = 0;
        ServerNotices notices{state, link, downloader, [this] { ++saves; }};
    };
    HttpResponder m_http;
    std::unique_ptr<Fixture> m_f;
};

QTEST_GUILESS_MAIN(TstServerNotices)
#include "tst_server_notices.moc"
