// ctest-label: e2e
#include "app/client_state.h"
#include "app/settings.h"
#include "app/ui/client_app.h"
#include "app/ui/form1.h"
#include "fakes.h"
#include "net/server_link.h"
#include "net/ui/frm_spotter.h"
#include "raw_client.h"
#include "relay_process.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QtTest>

// The client's windows against a real relay: the user's path from the sign-on
// form to "Welcome", losing and regaining the relay, and the server's ends.
class TestClientE2e : public QObject
{
    Q_OBJECT

    struct Client
    {
        ClientState state;
        FakeClock clock;
        FakeDialogs dialogs;
        FakeSoundPlayer sound;
        FakeShell shell;
        QList<int> ends;
        std::unique_ptr<ClientApp> app;
        explicit Client(const QString &dataDir)
        {
            state.dataDir = dataDir;
            app = std::make_unique<ClientApp>(
                state, ClientServices{clock, dialogs, sound, shell, [this](int c) { ends.append(c); }});
        }
        QString status() const { return app->mainWindow()->lblStatus->text(); }
    };

    QTemporaryDir m_dir;
    std::unique_ptr<RelayProcess> m_relay;

    QString database() const { return m_dir.filePath(QStringLiteral("relay.sqlite")); }

    static void writeFile(const QString &path, const QByteArray &bytes)
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }
    void pointAt(const QString &dataDir, quint16 httpPort)
    {
        writeFile(dataDir + QStringLiteral("/AddressHost.txt"),
                  "http://127.0.0.1:" + QByteArray::number(httpPort) + "\r\n");
    }
    // A data folder of a user whose account exists; AutoLogIn signs on.
    QString preparedFolder(const QString &name, bool autoLogIn)
    {
        const QString dir = m_dir.filePath(name);
        QDir().mkpath(dir);
        SettingsRecord s;
        s.FirstName = QStringLiteral("Ann");
        s.LastName = QStringLiteral("Lee");
        s.Address = QStringLiteral("1 Main");
        s.City = QStringLiteral("Ames");
        s.UserCounty = QStringLiteral("Story");
        s.UserState = QStringLiteral("IA");
        s.UserZip = QStringLiteral("50010");
        s.Email = QStringLiteral("ann@example.org");
        s.UserName = name;
        s.Password = QStringLiteral("pa55word");
        s.AutoLogIn = autoLogIn ? 1 : 0;
        writeFile(dir + QStringLiteral("/Settings.dat"), WriteSettings(s));
        pointAt(dir, m_relay->httpPort());
        return dir;
    }
    bool createAccount(RelayProcess &relay, const QString &user)
    {
        RawClient raw;
        if (!raw.connectTo(relay.tcpPort()))
            return false;
        raw.sendText(RelayTestText::NewAccount(user, QStringLiteral("pa55word")));
        // "2": it exists already (the relay keeps its accounts over a restart).
        const QString reply = raw.waitForCode(QStringLiteral("NEW"));
        return reply.startsWith(QLatin1String(":NEW|1|")) || reply.startsWith(QLatin1String(":NEW|2|"));
    }
    // A second spotter that sees the observer notices of the first.
    std::unique_ptr<RawClient> watcher(RelayProcess &relay)
    {
        auto raw = std::make_unique<RawClient>();
        if (!createAccount(relay, QStringLiteral("watcher")) || !raw->connectTo(relay.tcpPort()))
            return nullptr;
        raw->sendText(RelayTestText::SignOn(QStringLiteral("watcher"), QStringLiteral("pa55word")));
        raw->waitForCode(QStringLiteral("SGN"));
        raw->skipAll();
        return raw;
    }
    static int countFor(RawClient &raw, const QString &code, const QString &user, int quietMs)
    {
        int n = 0;
        for (const QString &m : raw.pendingWithCode(code, quietMs))
            n += m.contains(QLatin1Char('|') + user + QLatin1Char('|'), Qt::CaseInsensitive) ? 1 : 0;
        return n;
    }

private slots:
    void init()
    {
        m_relay = std::make_unique<RelayProcess>();
        QVERIFY2(m_relay->start({QStringLiteral("--pbkdf2-iterations"), QStringLiteral("1000")}, database()),
                 qPrintable(m_relay->log()));
    }
    void cleanup()
    {
        m_relay.reset();
        QFile::remove(database());
    }

    void newAccountLogInLossAndReturn()
    {
        const QString dir = preparedFolder(QStringLiteral("annlee"), false);
        auto watch = watcher(*m_relay);
        QVERIFY(watch);
        Client c(dir);
        QVERIFY(c.app->Start());
        frmSpotter &form = c.app->spotter();
        QVERIFY(form.isVisible());
        QCOMPARE(form.windowTitle(), QStringLiteral("Spotter Information"));

        // New Account while disconnected: sent once the link comes up.
        form.Command2_Click();
        QVERIFY(c.app->mainWindow() && c.app->mainWindow()->isVisible());
        QTRY_COMPARE_WITH_TIMEOUT(c.dialogs.shown.size(), 1, 5000);
        QCOMPARE(c.dialogs.shown.last().title, QStringLiteral("Account Successfully Created"));
        QVERIFY(form.isVisible());

        QElapsedTimer sent;
        sent.start();
        form.cmdDone_Click();
        QTRY_COMPARE_WITH_TIMEOUT(c.status(), QStringLiteral("Welcome annlee!"), 2500);
        QVERIFY(sent.elapsed() < 2000);
        QCOMPARE(countFor(*watch, QStringLiteral("GOB"), QStringLiteral("annlee"), 2500), 1);
        QVERIFY(m_relay->log().contains(QLatin1String("client 2.4")));

        // The relay goes away: red "Disconnected".
        QVERIFY(m_relay->stop());
        ServerLink &link = c.app->link();
        QTRY_COMPARE_WITH_TIMEOUT(link.state(), LinkState::Closed, 5000);
        link.Timer1_Timer();
        QCOMPARE(c.status(), QStringLiteral("Disconnected"));
        QCOMPARE(c.app->mainWindow()->lblStatus->palette().color(QPalette::Window), QColor(255, 0, 0));
        QTRY_VERIFY_WITH_TIMEOUT(!link.addressFetchPending(), 5000);

        // It comes back: the client signs on again by itself, without the version.
        m_relay = std::make_unique<RelayProcess>();
        QVERIFY2(m_relay->start({}, database()), qPrintable(m_relay->log()));
        pointAt(dir, m_relay->httpPort());
        watch = watcher(*m_relay);
        QVERIFY(watch);
        link.Timer1_Timer();
        QTRY_COMPARE_WITH_TIMEOUT(link.state(), LinkState::Connected, 5000);
        link.Timer1_Timer();
        QTRY_COMPARE_WITH_TIMEOUT(c.status(), QStringLiteral("Welcome annlee!"), 5000);
        QCOMPARE(countFor(*watch, QStringLiteral("GOB"), QStringLiteral("annlee"), 300), 1);
        QVERIFY(m_relay->log().contains(QLatin1String("signed on again")));

        // DIS: closed, and back by the next supervision ticks.
        c.app->mainWindow()->SetStatus(QStringLiteral("-"), StatusStyle::Normal);
        m_relay->admin({QStringLiteral("dis"), QStringLiteral("annlee")});
        QTRY_COMPARE_WITH_TIMEOUT(link.state(), LinkState::Closed, 5000);
        link.Timer1_Timer();
        QTRY_COMPARE_WITH_TIMEOUT(link.state(), LinkState::Connected, 5000);
        link.Timer1_Timer();
        QTRY_COMPARE_WITH_TIMEOUT(c.status(), QStringLiteral("Welcome annlee!"), 5000);

        // File > Exit signs off and ends.
        watch->skipAll();
        c.app->mainWindow()->menuAction(QStringLiteral("mnuExit"))->trigger();
        QCOMPARE(c.ends, QList<int>{0});
        QTRY_COMPARE_WITH_TIMEOUT(countFor(*watch, QStringLiteral("DOB"), QStringLiteral("ANNLEE"), 200), 1,
                                  3000);
    }

    void hubMovesToASecondRelay()
    {
        QVERIFY(createAccount(*m_relay, QStringLiteral("hubber")));
        RelayProcess second;
        QVERIFY2(second.start({QStringLiteral("--pbkdf2-iterations"), QStringLiteral("1000")}),
                 qPrintable(second.log()));
        QVERIFY(createAccount(second, QStringLiteral("hubber")));
        Client c(preparedFolder(QStringLiteral("hubber"), true));
        QVERIFY(c.app->Start());
        QTRY_COMPARE_WITH_TIMEOUT(c.status(), QStringLiteral("Welcome hubber!"), 4000);
        m_relay->admin({QStringLiteral("hub"), QStringLiteral("hubber"), QStringLiteral("127.0.0.1"),
                        QString::number(second.tcpPort())});
        QTRY_COMPARE_WITH_TIMEOUT(c.app->link().Winsock1().peerPort(), second.tcpPort(), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(c.app->link().state(), LinkState::Connected, 5000);
    }

    void banEndsTheProgramAndEveryLaterStart()
    {
        QVERIFY(createAccount(*m_relay, QStringLiteral("banme")));
        const QString dir = preparedFolder(QStringLiteral("banme"), true);
        {
            Client c(dir);
            QVERIFY(c.app->Start());
            QTRY_COMPARE_WITH_TIMEOUT(c.status(), QStringLiteral("Welcome banme!"), 4000);
            m_relay->admin({QStringLiteral("ban"), QStringLiteral("banme")});
            QTRY_COMPARE_WITH_TIMEOUT(c.ends.size(), 1, 5000);
            QCOMPARE(c.dialogs.lastText(), QStringLiteral("You are no longer eligible to use this service."));
        }
        Client next(dir);
        QVERIFY(!next.app->Start());
        QCOMPARE(next.dialogs.lastText(), QStringLiteral("You are no longer eligible to use this service."));
        QVERIFY(!next.app->spotter().isVisible());
    }

    void c12EndsSilently()
    {
        QVERIFY(createAccount(*m_relay, QStringLiteral("endme")));
        const QString dir = preparedFolder(QStringLiteral("endme"), true);
        {
            Client c(dir);
            QVERIFY(c.app->Start());
            QTRY_COMPARE_WITH_TIMEOUT(c.status(), QStringLiteral("Welcome endme!"), 4000);
            m_relay->admin({QStringLiteral("c12"), QStringLiteral("endme")});
            QTRY_COMPARE_WITH_TIMEOUT(c.ends.size(), 1, 5000);
            QTest::qWait(50);
            QVERIFY(c.dialogs.shown.isEmpty());
        }
        Client next(dir);
        QVERIFY(next.app->Start());
        QVERIFY(next.dialogs.shown.isEmpty());
    }
};

QTEST_MAIN(TestClientE2e)
#include "tst_client_e2e.moc"
