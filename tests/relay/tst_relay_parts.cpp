#include "admin_server.h"
#include "frame_splitter.h"
#include "password_hash.h"
#include "rate_limiter.h"
#include "relay_store.h"
#include "report_stamp.h"

#include <QTest>

using namespace Qt::Literals::StringLiterals;

class TestRelayParts : public QObject
{
    Q_OBJECT
private slots:
    // Published PBKDF2-HMAC-SHA256 vectors; the second spans two blocks and is cut.
    void pbkdf2KnownAnswers_data()
    {
        QTest::addColumn<QByteArray>("password");
        QTest::addColumn<QByteArray>("salt");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("4096 rounds") << "password"_ba
                                     << "salt"_ba
                                     << "c5e478d59288c841aa530db6845c4c8d962893a001ce4e11a4963873aa98134a"_ba;
        QTest::newRow("two blocks, cut")
            << "passwordPASSWORDpassword"_ba
            << "saltSALTsaltSALTsaltSALTsaltSALTsalt"_ba
            << "348c89dbcbd32b2f32d814b8116e84cf2b17347ebc1800181c4e2a1fb8dd53e1c635518c7dac47e9"_ba;
    }
    void pbkdf2KnownAnswers()
    {
        QFETCH(QByteArray, password);
        QFETCH(QByteArray, salt);
        QFETCH(QByteArray, expected);
        QCOMPARE(PasswordHash::pbkdf2Sha256(password, salt, 4096, int(expected.size() / 2)).toHex(),
                 expected);
    }

    void reportTimeStamp_data()
    {
        QTest::addColumn<QDateTime>("when");
        QTest::addColumn<QString>("expected");
        QTest::newRow("midnight") << QDateTime(QDate(2027, 1, 1), QTime(0, 0, 0), Qt::UTC)
                                  << u"1/1/2027 12:00:00 AM"_s;
        QTest::newRow("offset converted to UTC")
            << QDateTime(QDate(2026, 3, 1), QTime(20, 30, 0), Qt::OffsetFromUTC, -6 * 3600)
            << u"3/2/2026 2:30:00 AM"_s;
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
        QTest::newRow("cap passed") << QByteArrayList{":RPT|" + QByteArray(70'000, 'x')} << QByteArrayList{}
                                    << false;
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
        if (withinCap)
            QCOMPARE(splitter.pending(), 0);
    }

    // What --db takes as a PostgreSQL address; passwords never.
    void databaseAddress_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("parsed"); // user@host:port/name options, or the refusal's start
        QTest::newRow("plain") << u"postgresql://relay@10.0.0.5:6432/nimbrel"_s
                               << u"relay@10.0.0.5:6432/nimbrel"_s;
        QTest::newRow("default port, libpq option")
            << u"postgres://relay@db/nimbrel?sslmode=require"_s << u"relay@db:5432/nimbrel sslmode=require"_s;
        QTest::newRow("password") << u"postgresql://relay:pw@db/nimbrel"_s << u"the database address holds"_s;
        QTest::newRow("password option")
            << u"postgresql://relay@db/n?password=pw"_s << u"the database address holds"_s;
        QTest::newRow("no database name") << u"postgresql://relay@db"_s << u"the database address needs"_s;
        QTest::newRow("option with a blank")
            << u"postgresql://relay@db/n?options=-c%20x"_s << u"unusable database option"_s;
    }
    void databaseAddress()
    {
        QFETCH(QString, text);
        QFETCH(QString, parsed);
        DatabaseAddress a;
        QString error;
        QVERIFY(IsDatabaseAddress(text));
        if (ParseDatabaseAddress(text, &a, &error))
            QCOMPARE(u"%1@%2:%3/%4 %5"_s.arg(a.user, a.host)
                         .arg(a.port)
                         .arg(a.name, a.options.join(u' '))
                         .trimmed(),
                     parsed);
        else
            QVERIFY2(error.startsWith(parsed), qPrintable(error));
    }

    // Typed admin lines split on blanks with the text taking the rest; extra
    // tab-separated fields join the last.
    void adminCommandSplit()
    {
        QCOMPARE(AdminServer::splitCommand(u"smg * storm  coming soon\r\n"_s),
                 (QStringList{u"smg"_s, u"*"_s, u"storm  coming soon"_s}));
        QCOMPARE(AdminServer::splitCommand(u"smg\tBOB\thello\tthere"_s),
                 (QStringList{u"smg"_s, u"BOB"_s, u"hello there"_s}));
    }
};

QTEST_GUILESS_MAIN(TestRelayParts)
#include "tst_relay_parts.moc"
