#include "graphics/url_download.h"
#include "scripted_server.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {
QByteArray allBytes(int size)
{
    QByteArray b(size, '\0');
    for (int i = 0; i < size; ++i)
        b[i] = char(i % 256);
    return b;
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}
} // namespace

class TstUrlDownload : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_http.listen());
        m_http.setBody(QStringLiteral("/exact"), allBytes(4096));
        m_http.setBody(QStringLiteral("/target"), "target body");
        m_http.setResponse(QStringLiteral("/moved"), HttpResponder::Response::redirect("/target"));
        m_http.setResponse(QStringLiteral("/loop"), HttpResponder::Response::redirect("/loop"));
        m_http.setBody(QStringLiteral("/huge"), QByteArray(5000, 'x'));
        m_http.setResponse(QStringLiteral("/stall"), HttpResponder::Response::stalled());
        m_http.setResponse(QStringLiteral("/short"), HttpResponder::Response::cutShort("half", 100));
        m_http.setBody(QStringLiteral("/t.txt"), "127.0.0.1:7000");
    }

    void webAddress_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("web");
        QTest::newRow("upper") << u"HTTP://x/a.txt"_qs << true;
        QTest::newRow("mixed, address cut short") << u"hTtP:"_qs << true;
        QTest::newRow("https is not") << u"https://x/a"_qs << false;
        QTest::newRow("local") << u"C:\\wx\\data.txt"_qs << false;
    }
    void webAddress()
    {
        QFETCH(QString, path);
        QFETCH(bool, web);
        QCOMPARE(UrlDownload::IsWebAddress(path), web);
    }

    void copy_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<qint64>("number");
        QTest::addColumn<QByteArray>("fileAfter");
        const QByteArray old = "previous";
        QTest::newRow("4096 bytes whole") << "/exact" << qint64(0) << allBytes(4096);
        QTest::newRow("error page keeps the old file") << "/missing" << UrlDownload::InternetError << old;
        QTest::newRow("redirect followed") << "/moved" << qint64(0) << QByteArray("target body");
        QTest::newRow("redirect loop refused") << "/loop" << UrlDownload::InternetError << old;
        QTest::newRow("over the size cap") << "/huge" << UrlDownload::InternetError << old;
        QTest::newRow("stalled transfer times out") << "/stall" << UrlDownload::InternetError << old;
        QTest::newRow("body cut short") << "/short" << UrlDownload::InternetError << old;
    }
    void copy()
    {
        QFETCH(QString, path);
        QFETCH(qint64, number);
        QFETCH(QByteArray, fileAfter);

        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("add.gif"));
        {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("previous");
        }
        UrlDownloader downloader;
        downloader.setMaxBytes(4096);
        downloader.setTransferTimeout(300);
        bool done = false;
        DownloadError error;
        downloader.CopyURLToFile(m_http.url(path), file, [&](const DownloadError &e) {
            done = true;
            error = e;
        });
        QVERIFY(downloader.busy());
        QTRY_VERIFY_WITH_TIMEOUT(done, 5000);
        QVERIFY(!downloader.busy());
        QCOMPARE(error.number, number);
        if (number == UrlDownload::InternetError)
            QCOMPARE(error.description, UrlDownload::internetOpenUrlText());
        QCOMPARE(readAll(file), fileAfter);
    }

    void refusedAtOnce_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<qint64>("number");
        QTest::newRow("empty file name") << u"http://127.0.0.1:1/a.gif"_qs << QString() << qint64(5);
        QTest::newRow("empty address") << QString() << u"x.gif"_qs << qint64(5);
        QTest::newRow("local file address")
            << u"file:///etc/hostname"_qs << u"x.gif"_qs << UrlDownload::InternetError;
    }
    void refusedAtOnce()
    {
        QFETCH(QString, url);
        QFETCH(QString, fileName);
        QFETCH(qint64, number);
        QTemporaryDir dir;
        UrlDownloader downloader;
        DownloadError error;
        bool done = false;
        const QString target = fileName.isEmpty() ? QString() : dir.filePath(fileName);
        downloader.CopyURLToFile(url, target, [&](const DownloadError &e) {
            done = true;
            error = e;
        });
        QVERIFY(done);
        QVERIFY(!downloader.busy());
        QCOMPARE(error.number, number);
        if (number == 5)
            QCOMPARE(error.description, QStringLiteral("Invalid procedure call or argument"));
        QVERIFY(QDir(dir.path()).isEmpty());
    }

    void fetchTextReportsProgress()
    {
        UrlDownloader downloader;
        QSignalSpy progress(&downloader, &UrlDownloader::progress);
        QString text;
        bool done = false;
        downloader.fetchText(m_http.url(QStringLiteral("/t.txt")),
                             [&](const DownloadError &e, const QString &t) {
                                 QVERIFY(e.ok());
                                 text = t;
                                 done = true;
                             });
        QTRY_VERIFY_WITH_TIMEOUT(done, 5000);
        QCOMPARE(text, QStringLiteral("127.0.0.1:7000"));
        QCOMPARE(progress.first().at(0).toInt(), 5);
        QCOMPARE(progress.last().at(1).toString(), QStringLiteral("12 - response completed"));
    }

    void getFileLocalAndWeb()
    {
        QTemporaryDir dir;
        const QString local = dir.filePath(QStringLiteral("data.txt"));
        {
            QFile f(local);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("temp 71\xb0");
        }
        UrlDownloader downloader;
        QString text = QStringLiteral("unset");
        downloader.GetFile(local, [&](const QString &t) { text = t; });
        QCOMPARE(text, QStringLiteral("temp 71\u00b0"));
        downloader.GetFile(dir.filePath(QStringLiteral("none.txt")), [&](const QString &t) { text = t; });
        QCOMPARE(text, QString());

        bool done = false;
        downloader.GetFile(m_http.url(QStringLiteral("/target")), [&](const QString &t) {
            text = t;
            done = true;
        });
        QTRY_VERIFY_WITH_TIMEOUT(done, 5000);
        QCOMPARE(text, QStringLiteral("target body"));
    }

    void getFileCancelsTheRunningFetch()
    {
        UrlDownloader downloader;
        QStringList results;
        downloader.GetFile(m_http.url(QStringLiteral("/stall")),
                           [&](const QString &t) { results.append(QStringLiteral("first:") + t); });
        QVERIFY(downloader.busy());
        downloader.GetFile(m_http.url(QStringLiteral("/stall")),
                           [&](const QString &t) { results.append(QStringLiteral("second:") + t); });
        QCOMPARE(results, QStringList({QStringLiteral("first:"), QStringLiteral("second:")}));
        QVERIFY(!downloader.busy());
    }

    void continuationDroppedWithItsContext()
    {
        UrlDownloader downloader;
        downloader.setTransferTimeout(200);
        bool called = false;
        auto *context = new QObject;
        downloader.fetchText(
            m_http.url(QStringLiteral("/stall")),
            [&](const DownloadError &, const QString &) { called = true; }, context);
        delete context;
        QTRY_VERIFY_WITH_TIMEOUT(!downloader.busy(), 5000);
        QVERIFY(!called);
    }

private:
    HttpResponder m_http;
};

QTEST_GUILESS_MAIN(TstUrlDownload)
#include "tst_url_download.moc"
