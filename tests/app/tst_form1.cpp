// ctest-label: ui
#include "base/list_files.h"
#include "base/ui/scale_window.h"
#include "client_fixture.h"
#include "graphics/ui/graphics_panel.h"
#include "graphics/ui/graphics_subsystem.h"
#include "net/url_download.h"
#include "reports/ui/report_tool_windows.h"
#include "scripted_server.h"

#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QtWidgets>

using namespace Qt::StringLiterals;

// Records every step the host asks of it, tagged with its name.
struct StepRecorder final : Subsystem
{
    QString name;
    QStringList &log;
    bool empty = true;
    StepRecorder(const QString &n, QStringList &l) : name(n), log(l) {}
    void buildMenus(MenuHost &host) override
    {
        // Added out of their menus' order on purpose.
        host.addMenuItem(MenuPlace::MenuBar, name + u"Bar"_s, name + u" bar"_s);
        host.addMenuItem(MenuPlace::Time, name + u"Time"_s, name + u" time"_s);
        host.addMenuItem(MenuPlace::Settings, name + u"Alert"_s, name + u" alert"_s);
    }
    void loadStep(LoadStep s) override { log << name + u":load"_s + QString::number(int(s)); }
    void minute() override { log << name + u":minute"_s; }
    void startTick(int tick) override { log << name + u":tick"_s + QString::number(tick); }
    void closeWindows() override { log << name + u":close"_s; }
    bool inputEmpty() const override { return empty; }
    void escape(bool allEmpty) override { log << name + u":escape"_s + (allEmpty ? u"1"_s : u"0"_s); }
};

class TestForm1 : public QObject
{
    Q_OBJECT

    struct Fixture : FakeDesktop
    {
        QTemporaryDir dir;
        ClientState state;
        UrlDownloader downloader;
        ServerLink link{state, downloader};
        StatusLine statusLine;
        std::unique_ptr<Form1> form;
        QStringList log;
        StepRecorder one{u"one"_s, log};
        StepRecorder two{u"two"_s, log};
        Fixture()
        {
            state.dataDir = dir.path();
            QObject::connect(&link, &ServerLink::statusChanged, &statusLine, &StatusLine::show);
            form = std::make_unique<Form1>(state, link, statusLine, services());
            form->addSubsystem(one);
            form->addSubsystem(two);
            // Menus merge in their own order, not the steps'.
            form->mergeMenus(two);
            form->mergeMenus(one);
        }
        QLabel *status() const { return form->findChild<QLabel *>(u"lblStatus"_s); }
        QColor statusBack() const { return status()->palette().color(QPalette::Window); }
        QAction *item(const QString &name) const { return form->findChild<QAction *>(name); }
        QTimer *timer(const QString &name) const { return form->findChild<QTimer *>(name); }
        QStringList names(const QString &menu) const
        {
            QStringList out;
            for (QAction *a : form->findChild<QMenu *>(menu)->actions())
                if (!a->isSeparator())
                    out << a->objectName();
            return out;
        }
    };

private slots:
    // Subsystems' items land at their places in the order their menus were
    // merged; a menu with nothing in it is not shown.
    void menusByPlace()
    {
        Fixture f;
        QCOMPARE(f.names(u"mnuSettings"_s).mid(0, 4),
                 (QStringList{u"mnuObserverID"_s, u"twoAlert"_s, u"oneAlert"_s, u""_s}));
        QCOMPARE(f.names(u"mnuTime"_s), (QStringList{u"twoTime"_s, u"oneTime"_s}));
        QVERIFY(f.item(u"mnuStartupOptions"_s));
        QStringList bar;
        for (QAction *a : f.form->menuBar()->actions())
            if (a->isVisible())
                bar << (a->menu() ? a->menu()->objectName() : a->objectName());
        const QStringList expected{u"mnuFile"_s, u"mnuSettings"_s, u"twoBar"_s, u"oneBar"_s,
                                   u"mnuHelpMenu"_s};
        QCOMPARE(bar, expected);
        // The help pages ship with the program; no site is named unless one is built in.
        f.item(u"mnuFAQ"_s)->trigger();
        QCOMPARE(f.shell.opened.value(0), QUrl::fromLocalFile(f.state.filePath(u"help/softwarefaq.htm"_s)));
        f.item(u"mnuAbout"_s)->trigger();
        QCOMPARE(f.dialogs.shown.value(0).title, u"About Nimbrel"_s);
        QVERIFY(!f.dialogs.shown.value(0).text.contains(u"http"_s));
    }

    void stepsRunInOrderForEverySubsystem()
    {
        Fixture f;
        QVERIFY(TestFiles::write(f.state.filePath(FilterListFileName), "TROLL\r\n"));
        QStringList listsAtStep;
        QObject::connect(f.form.get(), &Form1::loaded, f.form.get(),
                         [&] { listsAtStep << f.state.filterList; });
        f.form->Form_Load();
        f.form->Form_Load(); // once only
        const QStringList loads{u"one:load0"_s, u"two:load0"_s, u"one:load1"_s,
                                u"two:load1"_s, u"one:load2"_s, u"two:load2"_s};
        QCOMPARE(f.log, loads);
        QCOMPARE(listsAtStep, QStringList{u"TROLL"_s});
        QVERIFY(f.timer(u"tmrStart"_s)->isActive() && f.timer(u"Timer2"_s)->isActive());

        f.log.clear();
        f.form->tmrStart_Timer();
        f.form->tmrStart_Timer();
        QVERIFY(!f.timer(u"tmrStart"_s)->isActive());
        const QStringList ticks{u"one:tick1"_s, u"two:tick1"_s, u"one:tick2"_s, u"two:tick2"_s};
        QCOMPARE(f.log, ticks);

        f.log.clear();
        f.form->Timer2_Timer();
        QCOMPARE(f.log, (QStringList{u"one:minute"_s, u"two:minute"_s}));
    }

    // Escape anywhere in the window reaches every subsystem, told whether
    // all typing boxes were empty before it.
    void escapeAnywhere()
    {
        Fixture f;
        f.form->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.form.get()));
        f.form->activateWindow();
        f.two.empty = false;
        QTest::keyClick(f.form.get(), Qt::Key_Escape);
        QCOMPARE(f.log, (QStringList{u"one:escape0"_s, u"two:escape0"_s}));
        f.log.clear();
        f.two.empty = true;
        f.form->EscapePressed();
        QCOMPARE(f.log, (QStringList{u"one:escape1"_s, u"two:escape1"_s}));
    }

    void statusColours()
    {
        Fixture f;
        const QColor normal = f.statusBack();
        f.statusLine.show(u"Disconnected"_s, StatusStyle::Red);
        f.statusLine.show(u"Welcome ann!"_s, StatusStyle::Normal); // keeps the colour
        QCOMPARE(f.statusBack(), QColor(255, 0, 0));
        f.statusLine.show(u"Connected"_s, StatusStyle::ButtonFace);
        QCOMPARE(f.statusBack(), normal);
        f.statusLine.flash(Rgb{255, 255, 255}, Rgb{0, 0, 128});
        QCOMPARE(f.statusBack(), QColor(0, 0, 128));
        QVERIFY(f.statusLine.flashing());
        f.statusLine.endFlash();
        QVERIFY(!f.statusLine.flashing() && f.statusBack() == normal);
        QCOMPARE(f.status()->text(), u"Connected"_s);
    }

    void rawViewOnlyForTheMaintainerName()
    {
        Fixture f;
        QSignalSpy opened(f.form.get(), &Form1::rawViewRequested);
        f.form->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.form.get()));
        f.state.settings.UserName = u"abcqx9zq"_s; // the case counts
        QTest::keyClick(f.form.get(), Qt::Key_B, Qt::ControlModifier | Qt::AltModifier);
        QVERIFY(opened.isEmpty() && !f.form->rawViewEnabled());
        f.state.settings.UserName = u"abcQX9ZQ"_s;
        QTest::keyClick(f.form.get(), Qt::Key_B, Qt::ControlModifier); // not the combination
        QTest::keyClick(f.form.get(), Qt::Key_B, Qt::ControlModifier | Qt::AltModifier);
        QVERIFY(opened.size() == 1 && f.form->rawViewEnabled());
    }

    // After connecting, the line shows the link's state, not the address
    // file's "12 - response completed" that arrived around it.
    void linkStateIsTheLastStatusLine()
    {
        Fixture f;
        QObject::connect(
            &f.downloader, &UrlDownloader::progress, &f.statusLine,
            [&](int, const QString &text) { f.statusLine.show(text); }, Qt::QueuedConnection);
        ScriptedServer server;
        HttpResponder http;
        QVERIFY(server.listen() && http.listen());
        http.setAddressFile("127.0.0.1:" + QByteArray::number(server.port()));
        QVERIFY(TestFiles::write(f.state.filePath(u"AddressHost.txt"_s), http.base().toUtf8()));
        f.link.Connect();
        QTRY_VERIFY_WITH_TIMEOUT(server.hasClient(), 5000);
        QTest::qWait(50);
        const QString shown = f.status()->text();
        QVERIFY2(shown == StatusText(LinkState::Connecting) || shown == StatusText(LinkState::Connected),
                 qPrintable(shown));
    }

    void trayAndFront()
    {
        Fixture f;
        // The tray needs an image, or many desktops show nothing to click.
        QVERIFY(!f.form->trayIcon()->icon().isNull() && !f.form->windowIcon().isNull());
        f.form->hide();
        f.form->trayIcon()->show(); // as hiding to a tray leaves it
        QVERIFY(f.form->trayIcon()->isVisible());
        f.form->RestoreFromTray(); // a hidden window comes back
        QVERIFY(f.form->isVisible() && !f.form->trayIcon()->isVisible());
        // Report alerts bring the window forward at normal size, never from the tray.
        f.form->showMaximized();
        QVERIFY(QTest::qWaitForWindowExposed(f.form.get()));
        f.form->windowActions().bringToFront();
        QVERIFY(!(f.form->windowState() & (Qt::WindowMaximized | Qt::WindowMinimized)));
        if (!QSystemTrayIcon::isSystemTrayAvailable()) {
            f.form->cmdMinimize_Click();
            // Never hidden without an icon to bring it back.
            QVERIFY(f.form->isVisible() && (f.form->windowState() & Qt::WindowMinimized));
            f.form->RestoreFromTray();
            QVERIFY(!(f.form->windowState() & Qt::WindowMinimized));
        }
        f.form->hide();
        QVERIFY(f.form->windowActions().isInTray());
        f.form->windowActions().bringToFront();
        QVERIFY(f.form->isHidden());
    }

    // The composed client's menu bar as the user reads it: every caption in
    // order, submenus by path, and the keys that open windows.
    void realMenuBar()
    {
        ClientFixture fx;
        QStringList shown;
        std::function<void(QAction *, const QString &)> walk = [&](QAction *a, const QString &path) {
            if (a->isSeparator() || !a->isVisible())
                return;
            if (a->menu()) {
                for (QAction *item : a->menu()->actions())
                    walk(item, path + a->text() + u" > "_s);
                return;
            }
            shown << path + a->text() +
                         (a->shortcut().isEmpty() ? QString() : u"  "_s + a->shortcut().toString());
        };
        for (QAction *a : fx.form->menuBar()->actions())
            walk(a, QString());
        QStringList expected;
        const auto add = [&](const QString &menu, const QStringList &items) {
            for (const QString &item : items)
                expected << menu + item;
        };
        const QString settings = u"Se&ttings > "_s;
        add(u"&File > "_s, {u"&Exit"_s});
        add(u"&Edit > &Edit Lists > "_s,
            {u"List &1"_s, u"List &2"_s, u"List &3"_s, u"List &4"_s, u"List &5"_s, u"List Severe / Wind"_s,
             u"List Flood / Winter / Other"_s});
        add(u"&Edit > "_s, {u"&Copy List to Clipboard"_s, u"Copy &Selected Records to Clipboard"_s});
        add(settings, {u"&Observer ID  and Location"_s, u"&Alert and Display Options"_s});
        add(settings + u"A&ppearance > "_s, {u"&Font"_s, u"&Save Current Column Widths"_s});
        add(settings + u"&Time > "_s, {u"&Local Military"_s, u"Local &AM PM"_s, u"&UTC"_s});
        add(settings, {u"&Startup Options"_s, u"&Graphic URL Source Links and Settings  Ctrl+G"_s,
                       u"&Record Observations to File"_s, u"Add Additional &Counties"_s,
                       u"Connect to &Tavrel and Display Automated Data"_s, u"Home Weather Station Data"_s});
        add(u"&Observers > "_s,
            {u"&List Observers"_s, u"&Active Chats"_s, u"&Filter"_s, u"Alert on &New Observer Sign In"_s});
        add(QString(), {u"Send &Messages  Ctrl+M"_s, u"&Routine Formatted Report  Ctrl+R"_s, u"&Lists"_s,
                        u"&Automated Stations"_s});
        add(u"&Help > "_s,
            {u"&Brief Overview"_s, u"&Help"_s, u"&Disclaimer and Terms of Use"_s, u"&Guidelines and Rules"_s,
             u"&Software Frequently Asked Questions"_s, u"&Support Nimbrel!"_s, u"&About"_s});
        QCOMPARE(shown, expected);
    }

    // Every window the client opens is stretched to the screen in its group
    // when it loads; any other window seen open on the way must be too.
    void everyWindowIsScaled_data()
    {
        QTest::addColumn<QString>("open"); // a menu item's name, or a way below
        QTest::addColumn<QString>("window");
        QTest::addColumn<int>("group");
        const int main = int(FormScaling::WindowGroup::Main), other = int(FormScaling::WindowGroup::Other);
        const std::tuple<const char *, const char *, int> rows[] = {
            {"load", "Form1", main},
            {"mnuObserverID", "frmSpotter", other},
            {"mnuAlertOptions", "frmOptions", other},
            {"mnuAdditionalCounties", "frmAddCounties", other},
            {"mnuStartupOptions", "FrmStartupOptions", other},
            {"mnuDisclaimer", "frmDisclaimer", other},
            {"mnuOverview", "frmHelp", other},
            {"mnuList1", "frmEditList", other},
            {"mnuLists", "frmLists", other},
            {"mnuRoutineReport", "frmRoutineReport", other},
            {"report", "FrmReport", other},
            {"routine", "frmDisplayRoutine", other},
            {"mnuListObservers", "frmObservers", other},
            {"mnuActiveChats", "frmActiveChats", other},
            {"mnuFilter", "frmFilter", other},
            {"arrival", "frmNewObserverAlert", other},
            {"mnuMessaging", "frmMsg", main},
            {"raw", "frmBuffer", other},
            {"mnuConnectWeatherStation", "frmWeatherStation", other},
            {"mnuAutomatedStations", "frmAutomatedData", main},
            {"imgGraphicURL", "frmImageSelection", main},
            {"moreLinks", "frmMoreLinks", other},
            {"picture", "frmFullImage", main},
            {"fullScreen", "frmFullImageBrowser", main},
        };
        for (const auto &[open, window, group] : rows)
            QTest::newRow(window) << QString::fromLatin1(open) << QString::fromLatin1(window) << group;
    }

    void everyWindowIsScaled()
    {
        QFETCH(QString, open);
        QFETCH(QString, window);
        QFETCH(int, group);
        ClientFixture fx(u"ANNQX9ZQ"_s);
        fx.form->Form_Load();
        // Windows as they stood while open; modal ones are closed here, as
        // nothing else would end them.
        QHash<QString, QVariant> seen;
        QTimer watch;
        connect(&watch, &QTimer::timeout, this, [&] {
            for (QWidget *w : QApplication::topLevelWidgets()) {
                if (!w->isVisible() || qobject_cast<QMenu *>(w) || w->windowType() == Qt::ToolTip)
                    continue;
                seen.insert(w->objectName(), w->property(ScaledGroupProperty));
                if (w->isModal())
                    w->close();
            }
        });
        watch.start(10);
        GraphicsSubsystem &graphics = fx.client->graphics();
        graphics.setBrowserFactory({}); // no web engine in a test
        if (open == u"load")
            fx.form->show();
        else if (open == u"report" || open == u"routine")
            fx.arrive(report(open == u"report" ? u"Hail"_s : u"R: [ Clear / Temp = 75F //////]"_s));
        else if (open == u"arrival") {
            fx.form->findChild<QAction *>(u"mnuNewObserverAlert"_s)->trigger();
            fx.arrive(ServerMessage(u"GOB", {u"MD"_s, u"HARFORD"_s, u"21014"_s, u"CAROL"_s, QString()}));
        } else if (open == u"raw")
            fx.form->OpenRawView();
        else if (open == u"moreLinks") {
            graphics.imgGraphicURL_Click();
            graphics.OpenMoreLinks();
        } else if (open == u"picture")
            graphics.imgMainGraphic_Click();
        else if (open == u"fullScreen")
            graphics.cmdFullScreen_Click();
        else
            fx.form->findChild<QAction *>(open)->trigger();
        if (open == u"report" || open == u"routine") {
            QTRY_COMPARE(fx.rows(), 1);
            fx.reports->tools().ShowReport(0);
        }
        QTRY_VERIFY(seen.contains(window));
        QCOMPARE(seen.value(window), QVariant(group));
        for (auto it = seen.cbegin(); it != seen.cend(); ++it)
            QVERIFY2(it.value().isValid(), qPrintable(it.key()));
    }

    void exitAndCloseEndTheProgram()
    {
        Fixture f;
        QSignalSpy closing(f.form.get(), &Form1::closing);
        f.form->show();
        f.form->close();
        QCOMPARE(f.ends, QList<int>{0});
        QCOMPARE(closing.size(), 1);
        QCOMPARE(f.log, (QStringList{u"one:close"_s, u"two:close"_s}));
    }
};

QTEST_MAIN(TestForm1)
#include "tst_form1.moc"
