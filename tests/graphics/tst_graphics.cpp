#include "graphics/graphics_rules.h"
#include "net/url_download.h"
#include "scripted_server.h"
#include "test_files.h"

#include <QtTest>

using namespace Graphics;

// Entries of "a", "b", ... with the given flags.
UrlList listOf(const QList<int> &flags, double minutes = 1)
{
    UrlList list;
    list.rotationMinutes = minutes;
    for (int i = 0; i < flags.size(); ++i)
        list.entries.append({QString(QChar(u'a' + i)), flags[i]});
    return list;
}

QByteArray allBytes(int size)
{
    QByteArray b(size, '\0');
    for (int i = 0; i < size; ++i)
        b[i] = char(i % 256);
    return b;
}

// The rotation and page rules, and the downloads that fetch the graphics.
class TstGraphics : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_http.listen());
        m_http.setBody(u"/exact"_s, allBytes(4096));
        m_http.setBody(u"/target"_s, "target body");
        m_http.setResponse(u"/moved"_s, HttpResponder::Response::redirect("/target"));
        m_http.setResponse(u"/loop"_s, HttpResponder::Response::redirect("/loop"));
        m_http.setBody(u"/huge"_s, QByteArray(5000, 'x'));
        m_http.setResponse(u"/stall"_s, HttpResponder::Response::stalled());
        m_http.setResponse(u"/short"_s, HttpResponder::Response::cutShort("half", 100));
        m_http.setResponse(u"/trickle"_s, HttpResponder::Response::trickle(50));
        HttpResponder::Response bigError = HttpResponder::Response::error(404);
        bigError.body = QByteArray(5000, 'e');
        m_http.setResponse(u"/bigerror"_s, bigError);
    }

    // Whatever goes wrong, the earlier file stays as it was.
    void copy_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<qint64>("number");
        QTest::addColumn<QByteArray>("fileAfter");
        QTest::addColumn<QString>("detail");
        const QByteArray old = "previous";
        const qint64 failed = UrlDownload::InternetError;
        QTest::newRow("4096 bytes whole")
            << m_http.url(u"/exact"_s) << qint64(0) << allBytes(4096) << QString();
        QTest::newRow("error page") << m_http.url(u"/missing"_s) << failed << old << QString();
        QTest::newRow("redirect followed")
            << m_http.url(u"/moved"_s) << qint64(0) << "target body"_ba << QString();
        QTest::newRow("redirect loop refused") << m_http.url(u"/loop"_s) << failed << old << QString();
        QTest::newRow("over the size cap") << m_http.url(u"/huge"_s) << failed << old << QString();
        QTest::newRow("stalled transfer times out") << m_http.url(u"/stall"_s) << failed << old << QString();
        QTest::newRow("body cut short") << m_http.url(u"/short"_s) << failed << old << QString();
        // A host that trickles a byte at a time, or an endless error page,
        // must not keep the transfer alive.
        QTest::newRow("trickle past the deadline")
            << m_http.url(u"/trickle"_s) << failed << old << u"no complete answer"_s;
        QTest::newRow("error page over the cap")
            << m_http.url(u"/bigerror"_s) << failed << old << u"larger than"_s;
        QTest::newRow("empty address") << QString() << UrlDownload::InvalidArgument << old << QString();
        QTest::newRow("local file address") << u"file:///etc/hostname"_s << failed << old << QString();
    }
    void copy()
    {
        QFETCH(QString, url);
        QFETCH(qint64, number);
        QFETCH(QString, detail);

        QTemporaryDir dir;
        const QString file = dir.filePath(u"add.gif"_s);
        QVERIFY(TestFiles::write(file, "previous"));
        UrlDownloader downloader;
        downloader.setMaxBytes(4096);
        downloader.setTransferTimeout(300);
        downloader.setDeadline(1000);
        bool done = false;
        DownloadError error;
        downloader.CopyURLToFile(url, file, [&](const DownloadError &e) {
            done = true;
            error = e;
        });
        QTRY_VERIFY_WITH_TIMEOUT(done, 5000);
        QVERIFY(!downloader.busy());
        QCOMPARE(error.number, number);
        QVERIFY2(error.detail.contains(detail), qPrintable(error.detail));
        if (number == UrlDownload::InternetError)
            QCOMPARE(error.description, UrlDownload::internetOpenUrlText());
        if (number == UrlDownload::InvalidArgument)
            QCOMPARE(error.description, u"Invalid procedure call or argument"_s);
        QTEST(TestFiles::read(file), "fileAfter");
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{u"add.gif"_s});
    }

    void getFileLocalAndWeb()
    {
        QVERIFY(UrlDownload::IsWebAddress(u"hTtP:"_s));
        QVERIFY(!UrlDownload::IsWebAddress(u"https://x/a"_s));
        QTemporaryDir dir;
        const QString local = dir.filePath(u"data.txt"_s);
        QVERIFY(TestFiles::write(local, "temp 71\xb0"));
        UrlDownloader downloader;
        QSignalSpy progress(&downloader, &UrlDownloader::progress);
        QString text = u"unset"_s;
        downloader.GetFile(local, [&](const QString &t) { text = t; });
        QCOMPARE(text, u"temp 71\u00b0"_s);
        downloader.GetFile(dir.filePath(u"none.txt"_s), [&](const QString &t) { text = t; });
        QCOMPARE(text, QString());

        bool done = false;
        downloader.GetFile(m_http.url(u"/target"_s), [&](const QString &t) {
            text = t;
            done = true;
        });
        QTRY_VERIFY_WITH_TIMEOUT(done, 5000);
        QCOMPARE(text, u"target body"_s);
        QVERIFY(m_http.lastRequest(u"/target"_s).contains("\r\nUser-Agent: nimbrel"));
        QCOMPARE(progress.first().at(0).toInt(), 5);
        QCOMPARE(progress.last().at(1).toString(), u"12 - response completed"_s);
    }

    // A cancelled GetFile answers empty at once; a continuation whose context
    // is gone is never called.
    void abandonedTransfers()
    {
        const QString stall = m_http.url(u"/stall"_s);
        UrlDownloader downloader;
        downloader.setTransferTimeout(200);
        QStringList results;
        downloader.GetFile(stall, [&](const QString &t) { results.append(u"first:"_s + t); });
        QVERIFY(downloader.busy());
        downloader.GetFile(stall, [&](const QString &t) { results.append(u"second:"_s + t); });
        QCOMPARE(results, QStringList({u"first:"_s, u"second:"_s}));
        QVERIFY(!downloader.busy());

        auto *context = new QObject;
        downloader.fetchText(
            stall, [&](const DownloadError &, const QString &) { results.append(u"late"_s); }, context);
        delete context;
        QTRY_VERIFY_WITH_TIMEOUT(!downloader.busy(), 5000);
        QCOMPARE(results.size(), 2);
    }

    // Each row: the entries shown by consecutive Timer2 ticks (0 = none).
    void rotation_data()
    {
        QTest::addColumn<QList<int>>("flags");
        QTest::addColumn<double>("minutes");
        QTest::addColumn<QList<int>>("shown");
        QTest::newRow("all marked, every minute")
            << QList<int>{1, 1, 1, 1} << 1.0 << QList<int>{2, 3, 4, 1, 2};
        QTest::newRow("only 3 marked") << QList<int>{0, 0, 1, 0} << 1.0 << QList<int>{3, 3, 3};
        QTest::newRow("none marked") << QList<int>{0, 0, 0, 0} << 1.0 << QList<int>{0, 0};
        QTest::newRow("every third tick") << QList<int>{1, 1, 1, 1} << 3.0 << QList<int>{0, 0, 2, 0, 0, 3};
        // Five skips end a step; the next one goes on from where it stopped.
        QTest::newRow("gives up after five skips")
            << QList<int>{0, 0, 0, 0, 0, 0, 1} << 1.0 << QList<int>{0, 7, 0};
        QTest::newRow("empty table") << QList<int>{} << 1.0 << QList<int>{0, 0};
        QTest::newRow("flag 2 is not marked") << QList<int>{2, 1} << 1.0 << QList<int>{2, 2};
    }
    void rotation()
    {
        QFETCH(QList<int>, flags);
        QFETCH(double, minutes);
        QFETCH(QList<int>, shown);
        const UrlList list = listOf(flags, minutes);
        Rotation r;
        QList<int> got;
        for (int i = 0; i < shown.size(); ++i)
            got << RotateGraphics(list, r).value_or(0);
        QCOMPARE(got, shown);
    }

    void doneMakesTheNextTickChange()
    {
        UrlList list = listOf({1, 1, 1, 1});
        Rotation r;
        std::array<FixedEntry, FixedEntries> fixed;
        for (int i = 0; i < FixedEntries; ++i)
            fixed[i] = {u"u%1"_s.arg(i + 1), i != 1};
        ApplySelection(list, fixed, u"5"_s, r);
        QCOMPARE(list.rotationMinutes, 5.0);
        QCOMPARE(list.entries[1], (UrlEntry{u"u2"_s, 0}));
        QCOMPARE(RotateGraphics(list, r), std::optional<int>(3)); // 2 is off
        QCOMPARE(RotateGraphics(list, r), std::nullopt);
    }

    void ext_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("page");
        QTest::addColumn<bool>("picture");
        QTest::addColumn<QString>("file");
        QTest::newRow("gif") << u"http://x/radar.GIF"_s << false << true << u"MessageGraphic.gif"_s;
        QTest::newRow("jpeg") << u"http://x/a.jpeg"_s << false << true << u"MessageGraphic.peg"_s;
        QTest::newRow("htm") << u"http://x/page.htm"_s << true << false << u"MessageGraphic.htm"_s;
        QTest::newRow("html") << u"http://x/page.html"_s << true << false << u"MessageGraphic.tml"_s;
        QTest::newRow("gov") << u"https://weather.gov"_s << true << false << u"MessageGraphic.gov"_s;
        QTest::newRow("us") << u"http://state.ia.us"_s << true << false << u"MessageGraphic..us"_s;
        QTest::newRow("png neither") << u"http://x/a.png"_s << false << false << u"MessageGraphic.png"_s;
        // No reader can show these: never fetched as pictures.
        QTest::newRow("wmf") << u"http://x/a.WMF"_s << false << false << u"MessageGraphic.wmf"_s;
        QTest::newRow("emf") << u"http://x/a.emf"_s << false << false << u"MessageGraphic.emf"_s;
        QTest::newRow("short") << u"us"_s << true << false << u"MessageGraphic.us"_s;
    }
    void ext()
    {
        QFETCH(QString, address);
        QTEST(IsWebPage(address), "page");
        QTEST(IsPicture(address), "picture");
        QTEST(PictureFileName(address), "file");
    }

    void page_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<double>("width");
        QTest::addColumn<double>("height");
        QTest::addColumn<QByteArray>("page");
        QTest::newRow("plain") << u"http://x/a.gif"_s << 4500.0 << 3000.0
                               << "<html>\r\n<p align=\"center\"><img src=\"http://x/a.gif\" width=\"270\" "
                                  "height=\"176\" border=\"0\"></p></body>\r\n</html>\r\n"_ba;
        QTest::newRow("fractions") << u"a"_s << 4515.0 << 3015.0
                                   << "<html>\r\n<p align=\"center\"><img src=\"a\" width=\"270.9\" "
                                      "height=\"176.88\" border=\"0\"></p></body>\r\n</html>\r\n"_ba;
        // An address cannot close the attribute or open markup of its own.
        QTest::newRow("quote and markup")
            << u"x\" onerror=\"alert(1)\"><script>&'"_s << 150.0 << 150.0
            << "<html>\r\n<p align=\"center\"><img src=\"x&quot; "
               "onerror=&quot;alert(1)&quot;&gt;&lt;script&gt;"
               "&amp;&#39;\" width=\"9\" height=\"8.8\" border=\"0\"></p></body>\r\n</html>\r\n"_ba;
        QTest::newRow("non-ASCII") << u"http://x/\u00e9\n.gif"_s << 0.0 << 0.0
                                   << "<html>\r\n<p align=\"center\"><img src=\"http://x/&#233;&#10;.gif\" "
                                      "width=\"0\" height=\"0\" border=\"0\"></p></body>\r\n</html>\r\n"_ba;
    }
    void page()
    {
        QFETCH(QString, address);
        QFETCH(double, width);
        QFETCH(double, height);
        QTEST(GraphicPage(address, width, height), "page");
    }

    // The state: m main busy, v main visible, o full window open, f full
    // window busy. The action: r reload, s stop main, f stop full, k keep timer.
    void refresh_data()
    {
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("action");
        QTest::newRow("idle visible") << u"v"_s << u"r"_s;
        QTest::newRow("idle hidden") << u""_s << u""_s;
        QTest::newRow("full window busy") << u"vof"_s << u"rfk"_s;
        QTest::newRow("full window idle") << u"vo"_s << u"r"_s;
        QTest::newRow("main busy") << u"mvof"_s << u"sk"_s;
    }
    void refresh()
    {
        QFETCH(QString, state);
        const RefreshAction a = RefreshTick(state.contains(u'm'), state.contains(u'v'), state.contains(u'o'),
                                            state.contains(u'f'));
        QString got;
        got += a.reloadMain ? u"r" : u"";
        got += a.stopMain ? u"s" : u"";
        got += a.stopFull ? u"f" : u"";
        got += a.keepTimer ? u"k" : u"";
        QTEST(got, "action");
    }

    void minutesText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("normalized");
        QTest::addColumn<double>("preview");
        QTest::newRow("stays") << u"2.5"_s << u"2.5"_s << 2.5;
        QTest::newRow("below one") << u"0"_s << u"1"_s << 0.0;
        QTest::newRow("negative") << u"-4"_s << u"1"_s << -4.0;
        QTest::newRow("not numeric") << u"abc"_s << u"3"_s << 1.0;
        QTest::newRow("empty") << QString() << u"3"_s << 1.0;
    }
    void minutesText()
    {
        QFETCH(QString, text);
        QTEST(NormalizeMinutesText(text), "normalized");
        QTEST(PreviewMinutes(text), "preview");
    }

    void links_data()
    {
        QTest::addColumn<int>("fixedBefore");
        QTest::addColumn<int>("links");
        QTest::addColumn<int>("countAfter");
        QTest::newRow("empty list keeps four") << 7 << 0 << 4;
        QTest::newRow("two links") << 4 << 2 << 6;
        QTest::newRow("short table padded") << 2 << 1 << 5;
        QTest::newRow("capped at 251") << 4 << 300 << 255;
    }
    void links()
    {
        QFETCH(int, fixedBefore);
        QFETCH(int, links);
        QFETCH(int, countAfter);
        UrlList list = listOf(QList<int>(fixedBefore, 0), 2);
        QStringList extra;
        for (int i = 0; i < links; ++i)
            extra << u"l%1"_s.arg(i);
        Rotation r;
        ApplyLinkList(list, extra, r);
        QCOMPARE(list.entries.size(), countAfter);
        QCOMPARE(r.counter, 3.0);
        for (int i = FixedEntries; i < countAfter; ++i)
            QCOMPARE(list.entries[i], (UrlEntry{u"l%1"_s.arg(i - FixedEntries), 1}));
    }

    void addLink()
    {
        QCOMPARE(CanAddLink(u"   "_s, 0), AddResult::Blank);
        QCOMPARE(CanAddLink(u"x"_s, MaxExtraLinks - 1), AddResult::Added);
        QCOMPARE(CanAddLink(u"x"_s, MaxExtraLinks), AddResult::Full);
    }

private:
    HttpResponder m_http;
};

QTEST_GUILESS_MAIN(TstGraphics)
#include "tst_graphics.moc"
