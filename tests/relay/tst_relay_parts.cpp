#include "address_file_server.h"
#include "admin_server.h"
#include "frame_splitter.h"
#include "password_hash.h"
#include "rate_limiter.h"
#include "relay_options.h"
#include "report_stamp.h"

#include <QTest>

class TestRelayParts : public QObject
{
    Q_OBJECT
private slots:
    void pbkdf2KnownAnswers_data()
    {
        QTest::addColumn<QByteArray>("password");
        QTest::addColumn<QByteArray>("salt");
        QTest::addColumn<int>("iterations");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("one round") << QByteArray("password") << QByteArray("salt") << 1
                                   << QByteArray(
                                          "120fb6cffcf8b32c43e7225256c4f837a86548c92ccc35480805987cb70be17b");
        QTest::newRow("4096 rounds")
            << QByteArray("password") << QByteArray("salt") << 4096
            << QByteArray("c5e478d59288c841aa530db6845c4c8d962893a001ce4e11a4963873aa98134a");
        QTest::newRow("two blocks, cut")
            << QByteArray("passwordPASSWORDpassword") << QByteArray("saltSALTsaltSALTsaltSALTsaltSALTsalt")
            << 4096
            << QByteArray("348c89dbcbd32b2f32d814b8116e84cf2b17347ebc1800181c4e2a1fb8dd53e1"
                          "c635518c7dac47e9");
    }
    void pbkdf2KnownAnswers()
    {
        QFETCH(QByteArray, password);
        QFETCH(QByteArray, salt);
        QFETCH(int, iterations);
        QFETCH(QByteArray, expected);
        const QByteArray key =
            PasswordHash::pbkdf2Sha256(password, salt, iterations, int(expected.size() / 2));
        QCOMPARE(key.toHex(), expected);
    }

    void saltsDifferAndCompareIsExact()
    {
        QCOMPARE(PasswordHash::newSalt().size(), PasswordHash::SaltLength);
        QVERIFY(PasswordHash::newSalt() != PasswordHash::newSalt());
        QVERIFY(PasswordHash::constantTimeEquals("abc", "abc"));
        QVERIFY(!PasswordHash::constantTimeEquals("abc", "abd"));
        QVERIFY(!PasswordHash::constantTimeEquals("abc", "abcd"));
    }

    void reportTimeStamp_data()
    {
        QTest::addColumn<QDateTime>("when");
        QTest::addColumn<QString>("expected");
        QTest::newRow("midnight") << QDateTime(QDate(2027, 1, 1), QTime(0, 0, 0), Qt::UTC)
                                  << QStringLiteral("1/1/2027 12:00:00 AM");
        QTest::newRow("offset converted to UTC")
            << QDateTime(QDate(2026, 3, 1), QTime(20, 30, 0), Qt::OffsetFromUTC, -6 * 3600)
            << QStringLiteral("3/2/2026 2:30:00 AM");
    }
    void reportTimeStamp()
    {
        QFETCH(QDateTime, when);
        QFETCH(QString, expected);
        QCOMPARE(ReportTimeStamp(when), expected);
    }

    void rateLimiter()
    {
        RateLimits limits;
        limits.perSecond = 10;
        limits.burst = 5;
        limits.closeAfterDrops = 3;
        limits.dropWindowMs = 1000;
        RateLimiter limiter(limits);
        for (int i = 0; i < 5; ++i)
            QCOMPARE(limiter.take(0), RateLimiter::Verdict::Accept);
        QCOMPARE(limiter.take(0), RateLimiter::Verdict::Drop);
        // 100 ms earns one message back.
        QCOMPARE(limiter.take(100), RateLimiter::Verdict::Accept);
        QCOMPARE(limiter.take(100), RateLimiter::Verdict::Drop);
        QCOMPARE(limiter.take(100), RateLimiter::Verdict::Drop);
        QCOMPARE(limiter.take(100), RateLimiter::Verdict::Close);
        // Drops far apart never add up to a close.
        RateLimiter patient(limits);
        for (qint64 t = 0; t < 20'000; t += 1500) {
            for (int i = 0; i < 5; ++i)
                QCOMPARE(patient.take(t), RateLimiter::Verdict::Accept);
            for (int i = 0; i < 3; ++i)
                QCOMPARE(patient.take(t), RateLimiter::Verdict::Drop);
        }
    }

    void frameSplitter_data()
    {
        QTest::addColumn<QByteArrayList>("chunks");
        QTest::addColumn<QByteArrayList>("expected");
        QTest::addColumn<bool>("withinCap");
        QTest::newRow("junk before and between")
            << QByteArrayList{"xx:AAA|1|^yy:BBB|^zz"} << QByteArrayList{":AAA|1|^", ":BBB|^"} << true;
        QTest::newRow("split across arrivals") << QByteArrayList{":MS", "G|a|b", "|c|^:G", "OB|^"}
                                               << QByteArrayList{":MSG|a|b|c|^", ":GOB|^"} << true;
        QTest::newRow("colon inside a body")
            << QByteArrayList{":RPT|R: hail|^"} << QByteArrayList{":RPT|R: hail|^"} << true;
        QTest::newRow("only junk") << QByteArrayList{"abc", "def^"} << QByteArrayList{} << true;
        QTest::newRow("cap passed") << QByteArrayList{":RPT|" + QByteArray(70'000, 'x')} << QByteArrayList{}
                                    << false;
        QTest::newRow("byte by byte") << QByteArrayList{":", ":", "a", "|", "^", "b", ":", "c", "|", "^"}
                                      << QByteArrayList{"::a|^", ":c|^"} << true;
        QTest::newRow("junk is not held")
            << QByteArrayList{QByteArray(70'000, 'x'), ":A|^"} << QByteArrayList{":A|^"} << true;
    }
    void frameSplitter()
    {
        QFETCH(QByteArrayList, chunks);
        QFETCH(QByteArrayList, expected);
        QFETCH(bool, withinCap);
        FrameSplitter splitter;
        QList<QByteArray> got;
        bool ok = true;
        for (const QByteArray &c : chunks)
            ok = splitter.feed(c, got) && ok;
        QCOMPARE(got, expected);
        QCOMPARE(ok, withinCap);
        if (withinCap && chunks.last().endsWith('^'))
            QCOMPARE(splitter.pending(), 0);
    }

    void hostPort_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("port");
        QTest::newRow("numeric") << QStringLiteral("192.168.1.10:5150") << true
                                 << QStringLiteral("192.168.1.10") << 5150;
        QTest::newRow("localhost") << QStringLiteral("localhost:8080") << true << QStringLiteral("127.0.0.1")
                                   << 8080;
        QTest::newRow("every interface")
            << QStringLiteral("*:5150") << true << QStringLiteral("0.0.0.0") << 5150;
        QTest::newRow("port too big") << QStringLiteral("127.0.0.1:70000") << false << QString() << 0;
        QTest::newRow("host name") << QStringLiteral("relay.example:80") << false << QString() << 0;
    }
    void hostPort()
    {
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QFETCH(QString, address);
        QFETCH(int, port);
        HostPort hp;
        QCOMPARE(ParseHostPort(text, &hp), ok);
        if (ok) {
            QCOMPARE(hp.address.toString(), address);
            QCOMPARE(int(hp.port), port);
        }
    }

    void adminCommandSplit_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("blanks, text takes the rest")
            << QStringLiteral("smg * storm  coming soon\r\n")
            << QStringList{QStringLiteral("smg"), QStringLiteral("*"), QStringLiteral("storm  coming soon")};
        QTest::newRow("tabs keep blanks in fields")
            << QStringLiteral("wrn\tTornado warning\tMD\tHARFORD\t21001\tNWS\tBel Air\n")
            << QStringList{QStringLiteral("wrn"),    QStringLiteral("Tornado warning"),
                           QStringLiteral("MD"),     QStringLiteral("HARFORD"),
                           QStringLiteral("21001"),  QStringLiteral("NWS"),
                           QStringLiteral("Bel Air")};
        QTest::newRow("surplus tab fields join the last")
            << QStringLiteral("smg\tBOB\thello\tthere")
            << QStringList{QStringLiteral("smg"), QStringLiteral("BOB"), QStringLiteral("hello there")};
        QTest::newRow("empty") << QStringLiteral("\n") << QStringList{};
    }
    void adminCommandSplit()
    {
        QFETCH(QString, line);
        QFETCH(QStringList, expected);
        QCOMPARE(AdminServer::splitCommand(line), expected);
    }

    void addressFileAnswers_data()
    {
        QTest::addColumn<QByteArray>("requestLine");
        QTest::addColumn<int>("status");
        QTest::newRow("the file") << QByteArray("GET /weather/WXIP.txt HTTP/1.1\r") << 200;
        QTest::newRow("other path") << QByteArray("GET /weather/wxip.txt HTTP/1.1") << 404;
        QTest::newRow("post") << QByteArray("POST /weather/WXIP.txt HTTP/1.1") << 405;
        QTest::newRow("garbage") << QByteArray("\x01\x02 nonsense") << 400;
    }
    void addressFileAnswers()
    {
        QFETCH(QByteArray, requestLine);
        QFETCH(int, status);
        const AddressFileServer::Answer a = AddressFileServer::answerFor(requestLine, "10.0.0.5:5150");
        QCOMPARE(a.status, status);
        if (status == 200)
            QCOMPARE(a.body, QByteArray("10.0.0.5:5150"));
    }
};

QTEST_GUILESS_MAIN(TestRelayParts)
#include "tst_relay_parts.moc"
