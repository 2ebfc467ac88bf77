// ctest-label: ui
#include "app/client_state.h"
#include "app/list_files.h"
#include "app/ui/form1.h"
#include "fakes.h"
#include "graphics/url_download.h"
#include "net/server_link.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

class TestForm1 : public QObject
{
    Q_OBJECT

    struct Fixture
    {
        QTemporaryDir dir;
        ClientState state;
        FakeClock clock;
        FakeDialogs dialogs;
        FakeSoundPlayer sound;
        FakeShell shell;
        QList<int> ends;
        UrlDownloader downloader;
        ServerLink link{state, downloader};
        std::unique_ptr<Form1> form;
        Fixture()
        {
            state.dataDir = dir.path();
            form = std::make_unique<Form1>(
                state, link, ClientServices{clock, dialogs, sound, shell, [this](int c) { ends.append(c); }});
        }
    };

private slots:
    void menuItems_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("exit") << "mnuExit"
                              << "&Exit" << true;
        QTest::newRow("list 1") << "mnuList1"
                                << "List &1" << false;
        QTest::newRow("list 6") << "mnuList6"
                                << "List Severe / Wind" << false;
        QTest::newRow("list 7") << "mnuList7"
                                << "List Flood / Winter / Other" << false;
        QTest::newRow("copy list") << "mnuCopyList"
                                   << "&Copy List to Clipboard" << false;
        QTest::newRow("copy selected") << "mnuCopySelcted"
                                       << "Copy &Selected Records to Clipboard" << false;
        QTest::newRow("observer id, two blanks") << "mnuObserverID"
                                                 << "&Observer ID  and Location" << true;
        QTest::newRow("alert options") << "mnuAlertOptions"
                                       << "&Alert and Display Options" << false;
        QTest::newRow("font") << "mnuFont"
                              << "&Font" << false;
        QTest::newRow("column widths") << "mnuSaveColumns"
                                       << "&Save Current Column Widths" << false;
        QTest::newRow("military") << "mnuTimeMilitary"
                                  << "&Local Military" << false;
        QTest::newRow("am pm") << "mnuTimeLocalAMPM"
                               << "Local &AM PM" << false;
        QTest::newRow("utc") << "mnuTimeUTC"
                             << "&UTC" << false;
        QTest::newRow("startup options") << "mnuStartupOptions"
                                         << "&Startup Options" << true;
        QTest::newRow("graphic links") << "mnuGraphicLinks"
                                       << "&Graphic URL Source Links and Settings" << false;
        QTest::newRow("record") << "mnuRecord"
                                << "&Record Observations to File" << false;
        QTest::newRow("counties") << "mnuAdditionalCounties"
                                  << "Add Additional &Counties" << false;
        QTest::newRow("warn link") << "mnuTavrel"
                                   << "Connect to &Tavrel and Display Automated Data" << false;
        QTest::newRow("station") << "mnuConnectWeatherStation"
                                 << "Home Weather Station Data" << false;
        QTest::newRow("observers") << "mnuListObservers"
                                   << "&List Observers" << false;
        QTest::newRow("active chats") << "mnuActiveChats"
                                      << "&Active Chats" << false;
        QTest::newRow("filter") << "mnuFilter"
                                << "&Filter" << false;
        QTest::newRow("new observer") << "mnuNewObserverAlert"
                                      << "Alert on &New Observer Sign In" << false;
        QTest::newRow("messages") << "mnuMessaging"
                                  << "Send &Messages" << false;
        QTest::newRow("routine") << "mnuRoutineReport"
                                 << "&Routine Formatted Report" << false;
        QTest::newRow("lists") << "mnuLists"
                               << "&Lists" << false;
        QTest::newRow("stations") << "mnuAutomatedStations"
                                  << "&Automated Stations" << false;
        QTest::newRow("overview") << "mnuOverview"
                                  << "&Brief Overview" << true;
        QTest::newRow("help") << "mnuHelp"
                              << "&Help" << true;
        QTest::newRow("terms") << "mnuDisclaimer"
                               << "&Disclaimer and Terms of Use" << true;
        QTest::newRow("guidelines") << "mnuGuidelines"
                                    << "&Guidelines and Rules" << true;
        QTest::newRow("faq") << "mnuFAQ"
                             << "&Software Frequently Asked Questions" << true;
        QTest::newRow("support") << "mnuSupport"
                                 << "&Support Nimbrel!" << true;
        QTest::newRow("about") << "mnuAbout"
                               << "&About" << true;
    }
    void menuItems()
    {
        QFETCH(QString, name);
        Fixture f;
        QAction *a = f.form->menuAction(name);
        QVERIFY2(a, qPrintable(name));
        QTEST(a->text(), "caption");
        QTEST(a->isEnabled(), "enabled");
    }

    void topLevelMenusInOrder()
    {
        Fixture f;
        QStringList captions;
        for (QAction *a : f.form->menuBar()->actions())
            captions.append(a->text());
        QCOMPARE(captions, (QStringList{u"&File"_s, u"&Edit"_s, u"Se&ttings"_s, u"&Observers"_s,
                                        u"Send &Messages"_s, u"&Routine Formatted Report"_s, u"&Lists"_s,
                                        u"&Automated Stations"_s, u"&Help"_s}));
        QCOMPARE(f.form->windowTitle(), QStringLiteral(" Nimbrel 2.5"));
    }

    void makerPagesOpenInTheBrowser()
    {
        Fixture f;
        f.form->menuAction(QStringLiteral("mnuFAQ"))->trigger();
        QCOMPARE(f.shell.opened.size(), 1);
        QVERIFY(f.shell.opened.first().toString().endsWith(QLatin1String("/softwarefaq.htm")));
        f.form->menuAction(QStringLiteral("mnuAbout"))->trigger();
        QCOMPARE(f.dialogs.shown.last().title, QStringLiteral("About Nimbrel"));
    }

    void minuteStepsRunInOrder()
    {
        Fixture f;
        QStringList order;
        using S = Form1::MinuteStep;
        // Registered out of order on purpose.
        f.form->setMinuteStep(S::GraphicsRefresh, [&] { order << u"graphics"_s; });
        f.form->setMinuteStep(S::UtcOffset, [&] { order << u"utc"_s; });
        f.form->setMinuteStep(S::StationProcessing, [&] { order << u"station"_s; });
        f.form->setMinuteStep(S::WarnListener, [&] { order << u"warn"_s; });
        f.form->setMinuteStep(S::HoldOffCounters, [&] { order << u"holdoff"_s; });
        f.form->Timer2_Timer();
        QCOMPARE(order, (QStringList{u"utc"_s, u"warn"_s, u"holdoff"_s, u"station"_s, u"graphics"_s}));
    }

    void loadRunsHooksAndStartsTimers()
    {
        Fixture f;
        f.state.settings.TimeMode = 2;
        f.state.settings.UserState = QStringLiteral("ok");
        f.state.settings.UserCounty = QStringLiteral("Cleveland");
        QStringList order;
        using L = Form1::LoadStep;
        f.form->setLoadStep(L::LaunchWarnProgram, [&] { order << u"launch"_s; });
        f.form->setLoadStep(L::CreateColumns, [&] { order << u"columns"_s; });
        QFile filter(f.state.filePath(FilterListFileName));
        QVERIFY(filter.open(QIODevice::WriteOnly));
        filter.write("TROLL\r\n");
        filter.close();
        f.form->setLoadStep(L::ListFiles, [&] {
            order << u"lists:"_s + f.state.groupList.join(QLatin1Char(',')) + u"|"_s +
                         f.state.filterList.join(u',');
        });
        f.form->Form_Load();
        f.form->Form_Load(); // once only
        QCOMPARE(order,
                 (QStringList{u"columns"_s, u"lists:ALL,SOS,OK,OK CLEVELAND,WXCHAT|TROLL"_s, u"launch"_s}));
        QVERIFY(f.form->menuAction(QStringLiteral("mnuTimeUTC"))->isChecked());
        QVERIFY(f.form->tmrStart->isActive() && f.form->Timer2->isActive() && f.form->Timer3->isActive());
        QVERIFY(!f.form->tmrStatusFlash->isActive());
        QCOMPARE(f.form->tmrStart->interval(), 300);
        QCOMPARE(f.form->Timer2->interval(), 60'000);
        QVERIFY(
            QRegularExpression(QStringLiteral("^3:[0-3][0-9] AM$")).match(f.form->NightlyTime).hasMatch());
    }

    void startTimerTicksTwice()
    {
        Fixture f;
        f.form->Form_Load();
        int graphics = 0;
        f.form->setStartTickStep([&] { ++graphics; });
        f.form->tmrStart_Timer();
        QVERIFY(f.form->tmrStart->isActive());
        f.form->tmrStart_Timer();
        QVERIFY(!f.form->tmrStart->isActive());
        QCOMPARE(graphics, 2);
    }

    void announcementTakesTheQuickChatPlace()
    {
        Fixture f;
        f.form->show();
        QVERIFY(f.form->QCRec->isHidden());
        f.form->Timer3_Timer(); // the first tick shows quick chat even without an announcement
        QVERIFY(!f.form->QCRec->isHidden() && f.form->ImageAdd->isHidden());
        f.form->ShowAnnouncement(QString(), QStringLiteral("<b>tip</b>"),
                                 QStringLiteral("file:///etc/passwd"));
        for (QWidget *w : {(QWidget *)f.form->QCLabel, (QWidget *)f.form->QCRec, (QWidget *)f.form->txtQCSend,
                           (QWidget *)f.form->QCCheck})
            QVERIFY(w->isHidden());
        QVERIFY(!f.form->ImageAdd->isHidden());
        QVERIFY(f.form->Timer3->isActive());
        QVERIFY(f.form->ImageAdd->toolTip().contains(QLatin1String("&lt;b&gt;")));
        f.form->ImageAdd_Click();
        QVERIFY(f.shell.opened.isEmpty()); // not a web page
        f.form->ShowAnnouncement(QString(), QString(), QStringLiteral("https://example.org/x"));
        f.form->ImageAdd_Click();
        QCOMPARE(f.shell.opened.size(), 1);
        f.form->Timer3_Timer();
        QVERIFY(!f.form->Timer3->isActive());
        QVERIFY(!f.form->QCRec->isHidden() && f.form->ImageAdd->isHidden());
    }

    void statusStylesAndFlash()
    {
        Fixture f;
        const QColor normal = f.form->lblStatus->palette().color(QPalette::Window);
        f.form->SetStatus(QStringLiteral("Disconnected"), StatusStyle::Red);
        QCOMPARE(f.form->lblStatus->text(), QStringLiteral("Disconnected"));
        QCOMPARE(f.form->lblStatus->palette().color(QPalette::Window), QColor(255, 0, 0));
        f.form->SetStatus(QStringLiteral("Welcome ann!"), StatusStyle::Normal);
        QCOMPARE(f.form->lblStatus->palette().color(QPalette::Window), QColor(255, 0, 0));
        f.form->SetStatus(QStringLiteral("Connected"), StatusStyle::ButtonFace);
        QCOMPARE(f.form->lblStatus->palette().color(QPalette::Window), normal);
        f.form->FlashStatus(Qt::white, QColor(0, 0, 128));
        QVERIFY(f.form->tmrStatusFlash->isActive());
        f.form->tmrStatusFlash_Timer();
        QVERIFY(!f.form->tmrStatusFlash->isActive());
        QCOMPARE(f.form->lblStatus->palette().color(QPalette::Window), normal);
    }

    void transferProgress_data()
    {
        QTest::addColumn<int>("state");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<bool>("red");
        QTest::newRow("requesting") << 5 << u"5 - Requesting"_s << false;
        QTest::newRow("error") << 11 << u"11 - error, please verify Internet connection and try again."_s
                               << true;
        QTest::newRow("no such state") << 13 << u"Connected"_s << false;
    }
    void transferProgress()
    {
        QFETCH(int, state);
        Fixture f;
        f.form->SetStatus(u"Connected"_s, StatusStyle::ButtonFace);
        const QColor normal = f.form->lblStatus->palette().color(QPalette::Window);
        emit f.downloader.progress(state, UrlDownload::StateText(state));
        QCoreApplication::processEvents();
        QTEST(f.form->lblStatus->text(), "shown");
        QFETCH(bool, red);
        QCOMPARE(f.form->lblStatus->palette().color(QPalette::Window), red ? QColor(255, 0, 0) : normal);
    }

    void rawViewGate_data()
    {
        QTest::addColumn<QString>("userName");
        QTest::addColumn<bool>("opens");
        QTest::newRow("maintainer") << "abcQX9ZQ" << true;
        QTest::newRow("lower case") << "abcqx9zq" << false;
        QTest::newRow("ordinary") << "ann" << false;
    }
    void rawViewGate()
    {
        QFETCH(QString, userName);
        QFETCH(bool, opens);
        Fixture f;
        f.state.settings.UserName = userName;
        int opened = 0;
        f.form->setRawViewOpener([&] { ++opened; });
        f.form->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.form.get()));
        QTest::keyClick(f.form.get(), Qt::Key_B, Qt::ControlModifier | Qt::AltModifier);
        QCOMPARE(opened, opens ? 1 : 0);
        QCOMPARE(f.form->rawViewEnabled(), opens);
        QTest::keyClick(f.form.get(), Qt::Key_B, Qt::ControlModifier); // not the combination
        QCOMPARE(opened, opens ? 1 : 0);
    }

    void trayFallsBackToMinimising()
    {
        if (QSystemTrayIcon::isSystemTrayAvailable())
            QSKIP("this desktop has a tray");
        Fixture f;
        f.form->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.form.get()));
        f.form->cmdMinimize_Click();
        // Never hidden without an icon to bring it back.
        QVERIFY(f.form->isVisible());
        QVERIFY(f.form->windowState() & Qt::WindowMinimized);
        QVERIFY(!f.form->trayIcon()->isVisible());
        f.form->RestoreFromTray();
        QVERIFY(!(f.form->windowState() & Qt::WindowMinimized));
    }

    // Report alerts bring the window forward at normal size, never from the tray.
    void frontReturnsToNormalSize()
    {
        Fixture f;
        f.form->showMaximized();
        QVERIFY(QTest::qWaitForWindowExposed(f.form.get()));
        f.form->windowActions().bringToFront();
        QVERIFY(!(f.form->windowState() & (Qt::WindowMaximized | Qt::WindowMinimized)));
        f.form->hide();
        QVERIFY(f.form->windowActions().isInTray());
        f.form->windowActions().bringToFront();
        QVERIFY(f.form->isHidden());
    }

    void restoreFromTrayShowsAHiddenWindow()
    {
        Fixture f;
        f.form->hide();
        f.form->RestoreFromTray();
        QVERIFY(f.form->isVisible());
        QVERIFY(!f.form->trayIcon()->isVisible());
    }

    void exitAndCloseEndTheProgram()
    {
        Fixture f;
        int closed = 0;
        QWidget signOn;
        signOn.show();
        f.form->setSignOnForm(&signOn, {});
        f.form->setCloser(Form1::ClosingWindow::Messaging, [&] { ++closed; });
        f.form->show();
        f.form->close();
        QCOMPARE(f.ends, QList<int>{0});
        QVERIFY(!signOn.isVisible());
        QCOMPARE(closed, 1);
        Fixture g;
        g.form->menuAction(QStringLiteral("mnuExit"))->trigger();
        QCOMPARE(g.ends, QList<int>{0});
    }
};

QTEST_MAIN(TestForm1)
#include "tst_form1.moc"
