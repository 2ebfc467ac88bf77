// ctest-label: e2e
#include "raw_client.h"
#include "relay_process.h"

#include "net/protocol.h"

#include <QTcpSocket>
#include <QTest>

using namespace RelayTestText;

namespace {

bool join(RawClient &c, quint16 port, const QString &user)
{
    if (!c.connectTo(port))
        return false;
    c.sendText(NewAccount(user, QStringLiteral("pw")));
    c.sendText(SignOn(user, QStringLiteral("pw")));
    return c.waitForCode(QStringLiteral("SGN")) == QStringLiteral(":SGN|3|^");
}

// One raw HTTP exchange; the relay closes the connection after its answer.
QByteArray httpExchange(quint16 port, const QByteArray &request)
{
    QTcpSocket s;
    s.connectToHost(QStringLiteral("127.0.0.1"), port);
    if (!s.waitForConnected(3000))
        return {};
    s.write(request);
    QByteArray answer;
    (void)QTest::qWaitFor(
        [&] {
            answer += s.readAll();
            return s.state() == QAbstractSocket::UnconnectedState;
        },
        3000);
    return answer + s.readAll();
}

} // namespace

class TestRelayAdmin : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY2(m_relay.start(), qPrintable(m_relay.readyLine() + m_relay.log()));
        QVERIFY(join(m_ann, m_relay.tcpPort(), QStringLiteral("Ann")));
        QVERIFY(join(m_ben, m_relay.tcpPort(), QStringLiteral("BEN")));
    }
    void cleanupTestCase()
    {
        if (QTest::currentTestFailed())
            qWarning("%s", qPrintable(m_relay.log()));
    }

    void commandsReachTheirTargets_data()
    {
        QTest::addColumn<QStringList>("command");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("annGets");
        QTest::addColumn<QString>("benGets");
        QTest::newRow("smg to one user")
            << QStringList{QStringLiteral("smg"), QStringLiteral("ann"), QStringLiteral("Storm's"),
                           QStringLiteral("near: go|now^")}
            << QStringLiteral("ok 1 connection")
            << QStringLiteral(":SMG|ann|SYSTEM|Storm\u007Fs near\u0081 go\u20ACnow\u201A|^") << QString();
        QTest::newRow("smg to everybody")
            << QStringList{QStringLiteral("smg"), QStringLiteral("*"), QStringLiteral("hello all")}
            << QStringLiteral("ok 2 connections") << QStringLiteral(":SMG|ALL|SYSTEM|hello all|^")
            << QStringLiteral(":SMG|ALL|SYSTEM|hello all|^");
        QTest::newRow("wrn with its own time")
            << QStringList{QStringLiteral("wrn"),     QStringLiteral("TORNADO WARNING"),
                           QStringLiteral("MD"),      QStringLiteral("HARFORD"),
                           QStringLiteral("21001"),   QStringLiteral("NWS"),
                           QStringLiteral("Bel Air"), QStringLiteral("12/6/2026 6:44:52 PM")}
            << QStringLiteral("ok 2 connections")
            << QStringLiteral(":WRN|TORNADO WARNING|MD|HARFORD|21001|NWS|Bel Air|12/6/2026 6:44:52 PM|^")
            << QStringLiteral(":WRN|TORNADO WARNING|MD|HARFORD|21001|NWS|Bel Air|12/6/2026 6:44:52 PM|^");
        QTest::newRow("hub") << QStringList{QStringLiteral("hub"), QStringLiteral("BEN"),
                                            QStringLiteral("10.0.0.9"), QStringLiteral("5000")}
                             << QStringLiteral("ok 1 connection") << QString()
                             << QStringLiteral(":HUB|10.0.0.9|5000|^");
        QTest::newRow("gad") << QStringList{QStringLiteral("gad"), QStringLiteral("*"),
                                            QStringLiteral("http://x.example/a.gif"),
                                            QStringLiteral("Net tonight"),
                                            QStringLiteral("https://x.example/")}
                             << QStringLiteral("ok 2 connections")
                             << QStringLiteral(":GAD|http://x.example/a.gif|Net tonight|https://x.example/|^")
                             << QStringLiteral(
                                    ":GAD|http://x.example/a.gif|Net tonight|https://x.example/|^");
        QTest::newRow("c12 to one user only")
            << QStringList{QStringLiteral("c12"), QStringLiteral("BEN")} << QStringLiteral("ok 1 connection")
            << QString() << QStringLiteral(":C12|BEN|^");
        QTest::newRow("dis") << QStringList{QStringLiteral("dis"), QStringLiteral("ANN")}
                             << QStringLiteral("ok 1 connection") << QStringLiteral(":DIS|^") << QString();
        QTest::newRow("unknown user reaches nobody")
            << QStringList{QStringLiteral("smg"), QStringLiteral("NOBODY"), QStringLiteral("x")}
            << QStringLiteral("ok 0 connections") << QString() << QString();
        QTest::newRow("delimiter in a plain field")
            << QStringList{QStringLiteral("hub"), QStringLiteral("BEN"), QStringLiteral("10.0.0.9|x"),
                           QStringLiteral("5000")}
            << QStringLiteral("error a field") << QString() << QString();
        QTest::newRow("bad usage") << QStringList{QStringLiteral("hub"), QStringLiteral("BEN")}
                                   << QStringLiteral("error usage") << QString() << QString();
        QTest::newRow("unknown command") << QStringList{QStringLiteral("shout")}
                                         << QStringLiteral("error unknown command") << QString() << QString();
    }
    void commandsReachTheirTargets()
    {
        QFETCH(QStringList, command);
        QFETCH(QString, answer);
        QFETCH(QString, annGets);
        QFETCH(QString, benGets);
        m_ann.skipAll();
        m_ben.skipAll();
        int code = -1;
        const QString out = m_relay.admin(command, &code);
        QVERIFY2(out.startsWith(answer), qPrintable(out));
        QCOMPARE(code, answer.startsWith(QLatin1String("ok")) ? 0 : 1);
        const auto check = [](RawClient &c, const QString &expected) {
            if (!expected.isEmpty())
                return c.waitFor([&](const QString &m) { return !m.startsWith(QLatin1String(":PNG")); }) ==
                       expected;
            return c.pendingWithCode(QStringLiteral("SMG"), 100).isEmpty() &&
                   c.pendingWithCode(QStringLiteral("HUB"), 0).isEmpty() &&
                   c.pendingWithCode(QStringLiteral("C12"), 0).isEmpty() &&
                   c.pendingWithCode(QStringLiteral("DIS"), 0).isEmpty();
        };
        QVERIFY(check(m_ann, annGets));
        QVERIFY(check(m_ben, benGets));
    }

    void listShowsConnectedObservers()
    {
        int code = -1;
        const QString out = m_relay.admin({QStringLiteral("list")}, &code);
        QCOMPARE(code, 0);
        QVERIFY2(out.contains(QStringLiteral("observer\tAnn\tMD\tHARFORD\t21001\t127.0.0.1:")),
                 qPrintable(out));
        QVERIFY(out.contains(QStringLiteral("observer\tBEN\t")));
        QVERIFY(out.trimmed().endsWith(QStringLiteral("ok 2 observers")));
    }

    void addressFileOverHttp_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QByteArray>("statusLine");
        QTest::addColumn<bool>("hasAddress");
        QTest::newRow("address file") << QByteArray("GET /weather/WXIP.txt HTTP/1.1\r\nHost: x\r\n\r\n")
                                      << QByteArray("HTTP/1.1 200 OK") << true;
        QTest::newRow("other path") << QByteArray("GET /index.html HTTP/1.1\r\n\r\n")
                                    << QByteArray("HTTP/1.1 404 Not Found") << false;
        QTest::newRow("oversized request")
            << QByteArray("GET /" + QByteArray(20'000, 'a')) << QByteArray("HTTP/1.1 431") << false;
    }
    void addressFileOverHttp()
    {
        QFETCH(QByteArray, request);
        QFETCH(QByteArray, statusLine);
        QFETCH(bool, hasAddress);
        const QByteArray answer = httpExchange(m_relay.httpPort(), request);
        QVERIFY2(answer.startsWith(statusLine), answer.left(200).constData());
        const QByteArray body = answer.mid(answer.indexOf("\r\n\r\n") + 4);
        QCOMPARE(body == "127.0.0.1:" + QByteArray::number(m_relay.tcpPort()), hasAddress);
    }

private:
    RelayProcess m_relay;
    RawClient m_ann;
    RawClient m_ben;
};

QTEST_GUILESS_MAIN(TestRelayAdmin)
#include "tst_relay_admin.moc"
