// ctest-label: ui
#include "app/ui/form1.h"
#include "base/client_state.h"
#include "base/list_files.h"
#include "fake_desktop.h"
#include "graphics/url_download.h"
#include "net/server_link.h"
#include "scripted_server.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

class TestForm1 : public QObject
{
    Q_OBJECT

    struct Fixture : FakeDesktop
    {
        QTemporaryDir dir;
        ClientState state;
        UrlDownloader downloader;
        ServerLink link{state, downloader};
        std::unique_ptr<Form1> form;
        Fixture()
        {
            state.dataDir = dir.path();
            form = std::make_unique<Form1>(state, link, services());
        }
        QColor statusBack() const { return form->lblStatus->palette().color(QPalette::Window); }
    };

private slots:
    // Other subsystems find their items by these names; a few odd ones stand for the rest.
    void menuItemsByName()
    {
        Fixture f;
        auto item = [&](const QString &name) {
            QAction *a = f.form->menuAction(name);
            return a ? a : new QAction(u"missing"_s, f.form.get());
        };
        QCOMPARE(item(u"mnuCopySelcted"_s)->text(), u"Copy &Selected Records to Clipboard"_s);
        QCOMPARE(item(u"mnuObserverID"_s)->text(), u"&Observer ID  and Location"_s);
        QVERIFY(!item(u"mnuList6"_s)->isEnabled() && item(u"mnuStartupOptions"_s)->isEnabled());
        item(u"mnuFAQ"_s)->trigger();
        QCOMPARE(f.shell.opened.value(0).path(), u"/softwarefaq.htm"_s);
        item(u"mnuAbout"_s)->trigger();
        QCOMPARE(f.dialogs.shown.value(0).title, u"About Nimbrel"_s);
    }

    void loadAndTimerSteps()
    {
        Fixture f;
        f.state.settings.TimeMode = 2;
        f.state.settings.UserState = u"ok"_s;
        f.state.settings.UserCounty = u"Cleveland"_s;
        QStringList order;
        using L = Form1::LoadStep;
        f.form->setLoadStep(L::LaunchWarnProgram, [&] { order << u"launch"_s; });
        f.form->setLoadStep(L::CreateColumns, [&] { order << u"columns"_s; });
        QFile filter(f.state.filePath(FilterListFileName));
        QVERIFY(filter.open(QIODevice::WriteOnly) && filter.write("TROLL\r\n") == 7);
        filter.close();
        f.form->setLoadStep(L::ListFiles, [&] {
            order << u"lists:"_s + f.state.groupList.join(u',') + u"|"_s + f.state.filterList.join(u',');
        });
        f.form->Form_Load();
        f.form->Form_Load(); // once only
        QCOMPARE(order,
                 (QStringList{u"columns"_s, u"lists:ALL,SOS,OK,OK CLEVELAND,WXCHAT|TROLL"_s, u"launch"_s}));
        QVERIFY(f.form->menuAction(u"mnuTimeUTC"_s)->isChecked());
        QVERIFY(f.form->tmrStart->isActive() && f.form->Timer2->isActive() && f.form->Timer3->isActive());

        int startTicks = 0;
        f.form->setStartTickStep([&] { ++startTicks; });
        f.form->tmrStart_Timer();
        f.form->tmrStart_Timer();
        QVERIFY(!f.form->tmrStart->isActive());
        QCOMPARE(startTicks, 2);

        order.clear();
        using S = Form1::MinuteStep;
        // Registered out of order on purpose.
        f.form->setMinuteStep(S::GraphicsRefresh, [&] { order << u"graphics"_s; });
        f.form->setMinuteStep(S::UtcOffset, [&] { order << u"utc"_s; });
        f.form->setMinuteStep(S::HoldOffCounters, [&] { order << u"holdoff"_s; });
        f.form->Timer2_Timer();
        QCOMPARE(order, (QStringList{u"utc"_s, u"holdoff"_s, u"graphics"_s}));
    }

    void announcementTakesTheQuickChatPlace()
    {
        Fixture f;
        f.form->show();
        // Before any announcement the area shows the built-in banner.
        QVERIFY(!f.form->ImageAdd->pixmap().isNull());
        f.form->ShowAnnouncement(QString(), u"<b>tip</b>"_s, u"file:///etc/passwd"_s);
        QVERIFY(f.form->QCRec->isHidden() && f.form->txtQCSend->isHidden() && !f.form->ImageAdd->isHidden());
        QVERIFY(f.form->ImageAdd->toolTip().contains(QLatin1String("&lt;b&gt;")));
        f.form->ImageAdd_Click();
        QVERIFY(f.shell.opened.isEmpty()); // not a web page
        f.form->ShowAnnouncement(QString(), QString(), u"https://example.org/x"_s);
        f.form->ImageAdd_Click();
        QCOMPARE(f.shell.opened.size(), 1);
        f.form->Timer3_Timer();
        QVERIFY(!f.form->Timer3->isActive());
        QVERIFY(!f.form->QCRec->isHidden() && f.form->ImageAdd->isHidden());
    }

    void statusColours()
    {
        Fixture f;
        const QColor normal = f.statusBack();
        f.form->SetStatus(u"Disconnected"_s, StatusStyle::Red);
        f.form->SetStatus(u"Welcome ann!"_s, StatusStyle::Normal); // keeps the colour
        QCOMPARE(f.statusBack(), QColor(255, 0, 0));
        f.form->SetStatus(u"Connected"_s, StatusStyle::ButtonFace);
        QCOMPARE(f.statusBack(), normal);
        f.form->FlashStatus(Qt::white, QColor(0, 0, 128));
        f.form->tmrStatusFlash_Timer();
        QVERIFY(!f.form->tmrStatusFlash->isActive() && f.statusBack() == normal);

        emit f.downloader.progress(13, UrlDownload::StateText(13)); // no such state: ignored
        QCoreApplication::processEvents();
        QCOMPARE(f.form->lblStatus->text(), u"Connected"_s);
        emit f.downloader.progress(11, UrlDownload::StateText(11));
        QCoreApplication::processEvents();
        QCOMPARE(f.form->lblStatus->text(),
                 u"11 - error, please verify Internet connection and try again."_s);
        QCOMPARE(f.statusBack(), QColor(255, 0, 0));
    }

    void rawViewOnlyForTheMaintainerName()
    {
        Fixture f;
        int opened = 0;
        f.form->setRawViewOpener([&] { ++opened; });
        f.form->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.form.get()));
        f.state.settings.UserName = u"abcqx9zq"_s; // the case counts
        QTest::keyClick(f.form.get(), Qt::Key_B, Qt::ControlModifier | Qt::AltModifier);
        QVERIFY(!opened && !f.form->rawViewEnabled());
        f.state.settings.UserName = u"abcQX9ZQ"_s;
        QTest::keyClick(f.form.get(), Qt::Key_B, Qt::ControlModifier); // not the combination
        QTest::keyClick(f.form.get(), Qt::Key_B, Qt::ControlModifier | Qt::AltModifier);
        QVERIFY(opened == 1 && f.form->rawViewEnabled());
    }

    // After connecting, the line shows the link's state, not the address
    // file's "12 - response completed" that arrived around it.
    void linkStateIsTheLastStatusLine()
    {
        Fixture f;
        ScriptedServer server;
        HttpResponder http;
        QVERIFY(server.listen() && http.listen());
        http.setAddressFile("127.0.0.1:" + QByteArray::number(server.port()));
        QFile host(f.state.filePath(u"AddressHost.txt"_s));
        QVERIFY(host.open(QIODevice::WriteOnly));
        host.write(http.base().toUtf8());
        host.close();
        f.link.Connect();
        QTRY_VERIFY_WITH_TIMEOUT(server.hasClient(), 5000);
        QTest::qWait(50);
        const QString shown = f.form->lblStatus->text();
        QVERIFY2(shown == StatusText(LinkState::Connecting) || shown == StatusText(LinkState::Connected),
                 qPrintable(shown));
    }

    void trayAndFront()
    {
        Fixture f;
        // The tray needs an image, or many desktops show nothing to click.
        QVERIFY(!f.form->trayIcon()->icon().isNull() && !f.form->windowIcon().isNull());
        f.form->hide();
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
    }
};

QTEST_MAIN(TestForm1)
#include "tst_form1.moc"
