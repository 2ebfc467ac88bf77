#include "graphics/url_download.h"
#include "scripted_server.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::Literals::StringLiterals;

namespace {
QByteArray allBytes(int size)
{
    QByteArray b(size, '\0');
    for (int i = 0; i < size; ++i)
        b[i] = char(i % 256);
    return b;
}

bool writeAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}
} // namespace

class TstUrlDownload : public QObject
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
        QFETCH(QByteArray, fileAfter);
        QFETCH(QString, detail);

        QTemporaryDir dir;
        const QString file = dir.filePath(u"add.gif"_s);
        QVERIFY(writeAll(file, "previous"));
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
        QFile after(file);
        QVERIFY(after.open(QIODevice::ReadOnly));
        QCOMPARE(after.readAll(), fileAfter);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{u"add.gif"_s});
    }

    void getFileLocalAndWeb()
    {
        QVERIFY(UrlDownload::IsWebAddress(u"hTtP:"_s));
        QVERIFY(!UrlDownload::IsWebAddress(u"https://x/a"_s));
        QTemporaryDir dir;
        const QString local = dir.filePath(u"data.txt"_s);
        QVERIFY(writeAll(local, "temp 71\xb0"));
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

private:
    HttpResponder m_http;
};

QTEST_GUILESS_MAIN(TstUrlDownload)
#include "tst_url_download.moc"
