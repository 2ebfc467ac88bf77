// ctest-label: e2e
#include "app/ui/client_app.h"
#include "app/ui/form1.h"
#include "base/client_state.h"
#include "base/settings.h"
#include "community/messages.h"
#include "community/ui/community_subsystem.h"
#include "community/ui/frm_msg.h"
#include "fake_desktop.h"
#include "net/protocol.h"
#include "net/server_link.h"
#include "net/ui/frm_spotter.h"
#include "raw_client.h"
#include "relay_process.h"
#include "reports/ui/report_panel.h"
#include "reports/ui/report_tool_windows.h"
#include "reports/ui/reports_subsystem.h"
#include "scripted_server.h"
#include "station/station_table_model.h"
#include "station/ui/frm_automated_data.h"
#include "station/ui/station_subsystem.h"
#include "test_files.h"
#include "warnlink/ui/warnlink_subsystem.h"
#include "warnlink/warnings_model.h"

#include <QtTest>
#include <QtWidgets>

// Whole clients, put together as main() does, against a real relay.
class TestClientE2e : public QObject
{
    Q_OBJECT

    struct Client : FakeDesktop
    {
        ClientState state;
        std::unique_ptr<ClientApp> app;
        explicit Client(const QString &dataDir, quint16 warnPort = 0)
        {
            state.dataDir = dataDir;
            app = std::make_unique<ClientApp>(state, services(), nullptr, warnPort);
        }
        ReportListModel &reports() const { return app->reports().reports(); }
        QLabel *statusLine() const { return app->mainWindow()->findChild<QLabel *>(u"lblStatus"_s); }
        QString status() const { return statusLine()->text(); }
        QString listed(int row, int column) const { return reports().index(row, column).data().toString(); }
    };

    QTemporaryDir m_dir;
    std::unique_ptr<RelayProcess> m_relay;

    QString database() const { return m_dir.filePath(u"relay.sqlite"_s); }

    // A data folder of a user in Story County, IA; AutoLogIn signs on.
    QString preparedFolder(const QString &name, bool autoLogIn, int timeMode = 1)
    {
        const QString dir = m_dir.filePath(name);
        QDir().mkpath(dir);
        SettingsRecord s;
        s.FirstName = u"Ann"_s;
        s.LastName = u"Lee"_s;
        s.Address = u"1 Main"_s;
        s.City = u"Ames"_s;
        s.UserCounty = u"Story"_s;
        s.UserState = u"IA"_s;
        s.UserZip = u"50010"_s;
        s.Email = u"ann@example.org"_s;
        s.UserName = name;
        s.Password = u"pa55word"_s;
        s.AutoLogIn = autoLogIn;
        s.TimeMode = timeMode;
        TestFiles::write(dir + u"/Settings.dat"_s, WriteSettings(s));
        TestFiles::pointAt(dir, m_relay->httpPort());
        return dir;
    }
    bool createAccount(const QString &user)
    {
        RawClient raw;
        if (!raw.connectTo(m_relay->tcpPort()))
            return false;
        raw.sendText(RelayTestText::NewAccount(user, u"pa55word"_s));
        return raw.waitForCode(u"NEW"_s) == u":NEW|1|^"_s;
    }
    // A spotter that sees the observer notices of the others.
    std::unique_ptr<RawClient> watcher()
    {
        auto raw = std::make_unique<RawClient>();
        if (!JoinRelay(*raw, m_relay->tcpPort(), u"watcher"_s))
            return nullptr;
        raw->skipAll();
        return raw;
    }
    static int countFor(RawClient &raw, const QString &code, const QString &user, int quietMs)
    {
        int n = 0;
        for (const QString &m : raw.pendingWithCode(code, quietMs))
            n += m.contains(u'|' + user + u'|', Qt::CaseInsensitive) ? 1 : 0;
        return n;
    }

private slots:
    void init()
    {
        m_relay = std::make_unique<RelayProcess>();
        QVERIFY2(m_relay->start({u"--pbkdf2-iterations"_s, u"1000"_s}, database()),
                 qPrintable(m_relay->log()));
    }
    void cleanup()
    {
        m_relay.reset();
        QFile::remove(database());
    }

    // One spotter's path: a new account, signing on, a report to another
    // spotter, the relay lost and back, and File > Exit.
    void spotterJourney()
    {
        const QString dir = preparedFolder(u"annlee"_s, false);
        auto watch = watcher();
        QVERIFY(watch);
        Client c(dir);
        QVERIFY(c.app->Start());
        frmSpotter &form = c.app->spotter();
        QVERIFY(form.isVisible());

        // New Account while disconnected: sent once the link comes up.
        form.Command2_Click();
        QVERIFY(c.app->mainWindow() && c.app->mainWindow()->isVisible());
        QTRY_COMPARE_WITH_TIMEOUT(c.dialogs.shown.size(), 1, 5000);
        QCOMPARE(c.dialogs.shown.last().title, u"Account Successfully Created"_s);
        QVERIFY(form.isVisible());

        QElapsedTimer sent;
        sent.start();
        form.cmdDone_Click();
        QTRY_COMPARE_WITH_TIMEOUT(c.status(), u"Welcome annlee!"_s, 2500);
        QVERIFY(sent.elapsed() < 2000);
        QCOMPARE(countFor(*watch, u"GOB"_s, u"annlee"_s, 2500), 1);
        QVERIFY(m_relay->log().contains(u"client 2.4"_s));

        {
            // Bob, reading times in UTC, gets her report with the relay's stamp.
            QVERIFY(createAccount(u"bob"_s));
            Client bob(preparedFolder(u"bob"_s, true, 2));
            QVERIFY(bob.app->Start());
            QTRY_COMPARE_WITH_TIMEOUT(bob.status(), u"Welcome bob!"_s, 4000);
            ReportPanel &panel = *c.app->reports().panel();
            panel.txtData->setText(u"Large hail falling"_s);
            panel.chkSevere->setChecked(true);
            panel.cmdSend_Click();
            QTRY_COMPARE_WITH_TIMEOUT(bob.reports().rowCount(), 1, 5000);
            QCOMPARE(bob.listed(0, 0), u"Large hail falling"_s);
            QCOMPARE(bob.listed(0, 5), u"annlee"_s);
            const QDateTime now = QDateTime::currentDateTimeUtc();
            QVERIFY2(bob.listed(0, 1) == now.toString(u"MM/dd HH:mm"_s) ||
                         bob.listed(0, 1) == now.addSecs(-60).toString(u"MM/dd HH:mm"_s),
                     qPrintable(bob.listed(0, 1)));
            QVERIFY(bob.status().startsWith(u"Large hail falling | "_s));

            // A retraction in other letters takes the report off every list.
            watch->sendText(RelayTestText::Report(EscapeOutgoing(u"Hail: 1 inch"), u"watcher"_s));
            QTRY_COMPARE_WITH_TIMEOUT(bob.reports().rowCount(), 2, 5000);
            watch->sendText(ServerMessage(u"XRP", {EscapeOutgoing(u"HAIL: 1 INCH")}));
            QTRY_COMPARE_WITH_TIMEOUT(bob.reports().rowCount(), 1, 5000);
            QCOMPARE(bob.listed(0, 0), u"Large hail falling"_s);
            QCOMPARE(bob.app->reports().panel()->lblListTotal->text(), u"1  Listed Reports"_s);
            QTRY_COMPARE_WITH_TIMEOUT(c.reports().rowCount(), 1, 5000);

            // A routine observation: Bob reads it field by field, Ann takes it back.
            c.clock.advance(60);
            ReportToolWindows &tools = c.app->reports().tools();
            tools.mnuRoutineReport_Click();
            tools.routineWindow()->txtObserved->setText(u"Clear"_s);
            tools.routineWindow()->box(ReportTools::Temperature)->setText(u"75"_s);
            tools.routineWindow()->Command1->click();
            const QString routine = u"R: [ Clear / Temp = 75F ///////]"_s;
            QTRY_COMPARE_WITH_TIMEOUT(bob.listed(0, 0), routine, 5000);
            bob.app->reports().tools().ShowReport(0);
            frmDisplayRoutine *seen = bob.app->reports().tools().routineViewer();
            QVERIFY(seen && seen->isVisible());
            QCOMPARE(seen->windowTitle(), u"Routine Observation"_s);
            QCOMPARE(seen->box(ReportTools::Temperature)->text(), u" 75F "_s);
            QCOMPARE(seen->txtUser->text(), u"annlee"_s);
            QTRY_COMPARE_WITH_TIMEOUT(c.listed(0, 0), routine, 5000);
            tools.ShowReport(0);
            QTest::keyClick(tools.routineViewer()->txtUser, Qt::Key_K, Qt::ControlModifier);
            tools.routineViewer()->cmdDelete->click();
            QTRY_COMPARE_WITH_TIMEOUT(bob.reports().rowCount(), 1, 5000);
            QTRY_COMPARE_WITH_TIMEOUT(c.reports().rowCount(), 1, 5000);
        }

        // The relay goes away: red "Disconnected".
        QVERIFY(m_relay->stop());
        ServerLink &link = c.app->link();
        QTRY_COMPARE_WITH_TIMEOUT(link.state(), LinkState::Closed, 5000);
        link.Timer1_Timer();
        QCOMPARE(c.status(), u"Disconnected"_s);
        QCOMPARE(c.statusLine()->palette().color(QPalette::Window), QColor(255, 0, 0));
        QTRY_VERIFY_WITH_TIMEOUT(!link.addressFetchPending(), 5000);
        QCOMPARE(link.state(), LinkState::Closed);

        // It comes back on new ports: the client signs on again by itself,
        // once, without the version, and without a second new account.
        m_relay = std::make_unique<RelayProcess>();
        QVERIFY2(m_relay->start({}, database()), qPrintable(m_relay->log()));
        TestFiles::pointAt(dir, m_relay->httpPort());
        watch = watcher();
        QVERIFY(watch);
        link.Timer1_Timer();
        QTRY_COMPARE_WITH_TIMEOUT(link.state(), LinkState::Connected, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(c.status(), u"Welcome annlee!"_s, 5000);
        QCOMPARE(countFor(*watch, u"GOB"_s, u"annlee"_s, 300), 1);
        QVERIFY(m_relay->log().contains(u"signed on again"_s));
        QCOMPARE(c.dialogs.shown.size(), 1);
        QVERIFY(c.state.pendingMessage.isEmpty());

        // File > Exit signs off and ends.
        watch->skipAll();
        c.app->mainWindow()->findChild<QAction *>(u"mnuExit"_s)->trigger();
        QCOMPARE(c.ends, QList<int>{0});
        QTRY_COMPARE_WITH_TIMEOUT(countFor(*watch, u"DOB"_s, u"ANNLEE"_s, 200), 1, 3000);
    }

    // Three spotters talk: to one user, to a group, to everyone and in quick
    // chat; two away spotters with their own texts answer each other once; an observer
    // comes and goes.
    void communityJourney()
    {
        for (const QString &u : {u"amy"_s, u"ben"_s, u"cat"_s})
            QVERIFY(createAccount(u));
        auto watch = watcher();
        QVERIFY(watch);
        Client amy(preparedFolder(u"amy"_s, true));
        Client ben(preparedFolder(u"ben"_s, true));
        QVERIFY(amy.app->Start());
        QTRY_COMPARE_WITH_TIMEOUT(amy.status(), u"Welcome amy!"_s, 4000);
        QVERIFY(ben.app->Start());
        QTRY_COMPARE_WITH_TIMEOUT(ben.status(), u"Welcome ben!"_s, 4000);
        frmMsg &a = amy.app->community().messenger();
        frmMsg &b = ben.app->community().messenger();
        const auto chat = [](frmMsg &m) { return m.txtMessage->toPlainText(); };
        const auto monitor = [](frmMsg &m) { return m.txtMonitor->toPlainText(); };
        const auto send = [](frmMsg &m, const QString &to, const QString &text) {
            m.txtCall->setText(to);
            m.txtMsg->setPlainText(text);
            m.SendMsg();
        };
        {
            Client cat(preparedFolder(u"cat"_s, true));
            QVERIFY(cat.app->Start());
            QTRY_COMPARE_WITH_TIMEOUT(cat.status(), u"Welcome cat!"_s, 4000);
            frmMsg &c = cat.app->community().messenger();
            QTRY_VERIFY_WITH_TIMEOUT(monitor(a).contains(u"New Observer!  -  IA  STORY  50010  cat"_s), 4000);

            send(a, u"ben"_s, u"hello ben"_s);
            ben.state.groupList << u"SKYWARN"_s;
            send(a, u"skywarn"_s, u"group only"_s);
            send(c, u"ALL"_s, u"to everyone"_s);
            QCOMPARE(cat.dialogs.shown.last().title, u"Confirm Send to All"_s);
            cat.app->community().sendQuickChat(u"Storm coming"_s);
            QTRY_VERIFY_WITH_TIMEOUT(chat(b).contains(u"group only"_s) && chat(b).contains(u"to everyone"_s),
                                     4000);
            QTRY_VERIFY_WITH_TIMEOUT(
                monitor(c).contains(u"group only"_s) && chat(a).contains(u"to everyone"_s), 4000);
            QVERIFY(chat(b).contains(u"hello ben"_s));
            QVERIFY(!chat(c).contains(u"hello ben"_s) && !chat(c).contains(u"group only"_s));
            for (Client *x : {&amy, &ben, &cat})
                QTRY_VERIFY_WITH_TIMEOUT(x->app->mainWindow()
                                             ->findChild<QPlainTextEdit *>(u"QCRec"_s)
                                             ->toPlainText()
                                             .contains(u"cat:   Storm coming"_s),
                                         4000);

            // Away, each with his own text: ben answers amy and cat once,
            // cat answers ben once, and the two away clients stop there.
            b.chkAway->setChecked(true);
            c.chkAway->setChecked(true);
            c.txtMsg->setPlainText(u"cat is out"_s);
            watch->skipAll();
            send(a, u"ben"_s, u"are you there"_s);
            b.chkAway->setChecked(false);
            send(b, u"cat"_s, u"ping from ben"_s);
            b.chkAway->setChecked(true);
            b.txtMsg->setPlainText(u"ben is out"_s);
            const QStringList relayed = watch->pendingWithCode(u"MSG"_s, 1500);
            QCOMPARE(relayed.filter(u" is out|"_s).size(), 3);
            QVERIFY2(relayed.size() == 5, qPrintable(relayed.join(u'\n')));
            QTRY_VERIFY_WITH_TIMEOUT(chat(a).contains(u"ben is out"_s), 4000);
        }
        QTRY_VERIFY_WITH_TIMEOUT(monitor(a).contains(u"Observer Disconnected  -  IA  STORY  50010  cat"_s),
                                 4000);
    }

    // A local warning program fills one spotter's warnings list; his home
    // station, a Weather Display file read over HTTP each minute, goes
    // through the relay to everyone and into the other's station table.
    void warningsAndStation()
    {
        QVERIFY(createAccount(u"dee"_s) && createAccount(u"eve"_s));
        HttpResponder station;
        QVERIFY(station.listen());
        station.setBody(u"/clientraw.txt"_s, "8:07 PM 12/6/2026\r\n220/045t077\r\n");
        const QString deeDir = preparedFolder(u"dee"_s, true);
        {
            // What the set-up window would save, and the warning link on.
            SettingsRecord s;
            ReadSettings(TestFiles::read(deeDir + u"/Settings.dat"_s), s);
            s.StationAutomation = 4;
            s.StationDataPath = station.url(u"/clientraw.txt"_s);
            s.WarnLinkEnabled = 1;
            TestFiles::write(deeDir + u"/Settings.dat"_s, WriteSettings(s));
        }
        auto watch = watcher();
        QVERIFY(watch);
        Client dee(deeDir);
        Client eve(preparedFolder(u"eve"_s, true));
        QVERIFY(dee.app->Start());
        QTRY_COMPARE_WITH_TIMEOUT(dee.status(), u"Welcome dee!"_s, 4000);
        QVERIFY(eve.app->Start());
        QTRY_COMPARE_WITH_TIMEOUT(eve.status(), u"Welcome eve!"_s, 4000);

        // Rows arrive last first; the tornado row is bold and red.
        WarningListener &listener = dee.app->warnLink().listener();
        QVERIFY(listener.isListening());
        QTcpSocket peer;
        peer.connectToHost(QHostAddress::LocalHost, listener.listeningPort());
        QVERIFY(peer.waitForConnected(3000));
        peer.write("junk:KS|Tornado|Tornado Warning|12/08 15:10|12/08 15:45|https://www.weather.gov/|"
                   "MD|Advisory|Flood Advisory|12/08 15:00|12/08 18:00|https://www.weather.gov/|^");
        WarningsModel &warnings = dee.app->warnings();
        QTRY_COMPARE_WITH_TIMEOUT(warnings.rowCount(), 2, 4000);
        QCOMPARE(warnings.index(1, 2).data().toString(), u"Tornado Warning"_s);
        QCOMPARE(warnings.index(1, 0).data(WarningsModel::BoldRole).toBool(), true);
        QCOMPARE(warnings.index(1, 2).data(WarningsModel::ColourRole).toInt(), 0xFF0000);
        QCOMPARE(warnings.index(0, 0).data(WarningsModel::BoldRole).toBool(), false);

        watch->skipAll();
        eve.app->station().mnuAutomatedStations_Click();
        dee.app->mainWindow()->Timer2_Timer();
        StationTableModel &table = eve.app->station().dataWindow()->model();
        QTRY_COMPARE_WITH_TIMEOUT(table.rowCount(), 1, 5000);
        // The relay adds its time stamp to the report.
        const QString rpt = watch->waitForCode(u"RPT"_s);
        QVERIFY2(
            rpt.startsWith(
                u":RPT|R: Wind 45 MPH SW from automated PWS running Weather Display.|IA|Story|50010|dee||"_s),
            qPrintable(rpt));
        const QString rpa = watch->waitForCode(u"RPA"_s);
        QVERIFY2(rpa.startsWith(u":RPA|77|45|45|SW||Weather Display|IA|Story|50010|dee||"_s),
                 qPrintable(rpa));
        QCOMPARE(table.index(0, 4).data().toString(), u"dee"_s);
        QCOMPARE(table.index(0, 6).data().toString(), u" 77.0"_s);
    }

    // Closing the sign-on form by its title bar before the main window
    // exists ends the run.
    void closingTheSignOnFormEnds()
    {
        Client c(preparedFolder(u"closer"_s, false));
        QVERIFY(c.app->Start());
        QVERIFY(c.app->spotter().isVisible());
        c.app->spotter().close();
        QCOMPARE(c.ends, QList<int>{0});
    }

    void hubMovesToASecondRelay()
    {
        QVERIFY(createAccount(u"hubber"_s));
        RelayProcess second;
        QVERIFY2(second.start({u"--pbkdf2-iterations"_s, u"1000"_s}), qPrintable(second.log()));
        Client c(preparedFolder(u"hubber"_s, true));
        QVERIFY(c.app->Start());
        QTRY_COMPARE_WITH_TIMEOUT(c.status(), u"Welcome hubber!"_s, 4000);
        m_relay->admin({u"hub"_s, u"hubber"_s, u"127.0.0.1"_s, QString::number(second.tcpPort())});
        QTRY_COMPARE_WITH_TIMEOUT(c.app->link().peerPort(), second.tcpPort(), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(c.app->link().state(), LinkState::Connected, 5000);
    }

    void serverEndsTheProgram_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("box"); // shown now and at every later start, which then ends
        QTest::newRow("ban") << u"ban"_s << u"You are no longer eligible to use this service."_s;
        QTest::newRow("c12 ends silently") << u"c12"_s << QString();
    }
    void serverEndsTheProgram()
    {
        QFETCH(QString, command);
        QFETCH(QString, box);
        QVERIFY(createAccount(u"endme"_s));
        const QString dir = preparedFolder(u"endme"_s, true);
        {
            Client c(dir);
            QVERIFY(c.app->Start());
            QTRY_COMPARE_WITH_TIMEOUT(c.status(), u"Welcome endme!"_s, 4000);
            m_relay->admin({command, u"endme"_s});
            QTRY_COMPARE_WITH_TIMEOUT(c.ends.size(), 1, 5000);
            QTest::qWait(50);
            QCOMPARE(c.dialogs.lastText(), box);
        }
        Client next(dir);
        QCOMPARE(next.app->Start(), box.isEmpty());
        QCOMPARE(next.dialogs.lastText(), box);
        if (!box.isEmpty())
            QVERIFY(!next.app->spotter().isVisible());
    }
};

QTEST_MAIN(TestClientE2e)
#include "tst_client_e2e.moc"
