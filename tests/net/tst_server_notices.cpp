#include "link_fixture.h"
#include "net/protocol.h"
#include "net/sign_on.h"

#include <QtTest>

// The notices by which the server steers the client.
class TstServerNotices : public QObject
{
    Q_OBJECT

private slots:
    void init() { QVERIFY((m_f = std::make_unique<LinkFixture>())->start()); }

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
    // The tool tip carries the picture's path so a test can tell which one won.
    QString gad(const QString &imagePath, const QString &link) const
    {
        return ServerMessage(u"GAD", {m_f->http.url(imagePath), imagePath, link});
    }

    std::unique_ptr<LinkFixture> m_f;
};

QTEST_GUILESS_MAIN(TstServerNotices)
#include "tst_server_notices.moc"
