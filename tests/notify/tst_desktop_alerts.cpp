// ctest-label: ui
// ctest-bus: session
// Desktop notifications through the real D-Bus notifier, against a fake
// notification service on the private session bus dbus-run-session gives.
#include "app/ui/client_app.h"
#include "app/ui/form1.h"
#include "base/client_state.h"
#include "community/ui/community_subsystem.h"
#include "community/ui/frm_msg.h"
#include "fake_desktop.h"
#include "net/protocol.h"
#include "net/server_link.h"
#include "notify/ui/notify_subsystem.h"
#include "platform/ui/dbus_notifier.h"
#include "platform/window_actions.h"
#include "reports/ui/frm_options.h"
#include "reports/ui/report_panel.h"
#include "reports/ui/reports_subsystem.h"

#include <QCheckBox>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

using namespace Qt::Literals::StringLiterals;

class FakeNotifications final : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct Call
    {
        QString summary, body, icon;
        uint replaces = 0;
        int urgency = 0;
        uint id = 0;
    };
    QList<Call> calls;
    uint nextId = 1;

public slots:
    uint Notify(const QString &, uint replacesId, const QString &icon, const QString &summary,
                const QString &body, const QStringList &, const QVariantMap &hints, int)
    {
        const uint id = replacesId ? replacesId : nextId++;
        calls.append({summary, body, icon, replacesId, hints.value(u"urgency"_s).toInt(), id});
        return id;
    }
    QStringList GetCapabilities() { return {u"body"_s, u"actions"_s}; }
};

namespace {

const QString Path = u"/org/freedesktop/Notifications"_s;

QString rpt(const QString &code, const QString &text, const QString &state = u"MD"_s)
{
    return ServerMessage(
        code, {text, state, u"HARFORD"_s, u"21014"_s, u"SPOTTER"_s, u"Bel Air"_s, u"12/6/2026 6:44:52 PM"_s});
}

struct Client : FakeDesktop
{
    QTemporaryDir dir;
    ClientState state;
    DBusNotifier notifier;
    std::unique_ptr<ClientApp> app;
    Form1 *form = nullptr;
    // notifyFile: the setting file's contents, when there is one.
    explicit Client(const QByteArray &notifyFile = {})
    {
        state.dataDir = dir.path();
        if (!notifyFile.isEmpty()) {
            QFile f(state.filePath(NotifySetting::FileName));
            f.open(QIODevice::WriteOnly);
            f.write(notifyFile);
        }
        state.settings.UserName = u"CARL"_s;
        state.settings.UserState = u"MD"_s;
        state.settings.UserCounty = u"HARFORD"_s;
        state.groupList = {u"WXCHAT"_s};
        ClientServices s = services();
        s.notifier = &notifier;
        app = std::make_unique<ClientApp>(state, s);
        form = &app->createMainWindow();
    }
    void arrive(const QString &m) { app->link().receiveBuffer().Append(m); }
};

} // namespace

class TestDesktopAlerts : public QObject
{
    Q_OBJECT
    QDBusConnection m_service = QDBusConnection::connectToBus(QDBusConnection::SessionBus, u"fake-service"_s);
    FakeNotifications m_fake;
    QList<FakeNotifications::Call> &calls = m_fake.calls;

    // A live report a few seconds later, after the one under test: once it
    // is there, everything before it has been received too.
    void sentinel(Client &c)
    {
        c.app->reports().intake().setTavrelAudioAlert(false);
        c.state.settings.SoundLevel = u"ALL"_s;
        c.clock.advance(2);
        c.arrive(rpt(u"RPT"_s, u"sentinel"_s));
        QTRY_VERIFY(!calls.isEmpty() && calls.last().body == u"sentinel"_s);
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(m_service.isConnected(), "run under dbus-run-session");
        QVERIFY(m_service.registerObject(Path, &m_fake, QDBusConnection::ExportAllSlots));
        QVERIFY(m_service.registerService(DBusNotifier::Service));
    }
    void init() { calls.clear(); }

    void notifications_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>(
            "setup"); // a: audio alerts for warnings, s: state sound level, o: setting off
        QTest::addColumn<QString>("summary"); // empty: no notification
        QTest::addColumn<QString>("body");
        QTest::addColumn<int>("urgency");
        const QString from = u"Report from SPOTTER at Bel Air, HARFORD, MD"_s;
        QTest::newRow("severe report")
            << rpt(u"RPT"_s, u"TORNADO on the ground"_s) << "" << from << "TORNADO on the ground" << 2;
        QTest::newRow("plain report, markup as text") << rpt(u"RPT"_s, u"Hail <b>1 inch</b> & rain"_s) << ""
                                                      << from << "Hail <b>1 inch</b> & rain" << 1;
        QTest::newRow("green word is not severe")
            << rpt(u"RPT"_s, u"TEST tornado drill"_s) << "" << from << "TEST tornado drill" << 1;
        QTest::newRow("long text capped") << rpt(u"RPT"_s, QString(3000, u'x')) << "" << from
                                          << QString(DesktopAlerts::MaxBodyLength, u'x') << 1;
        QTest::newRow("routine") << rpt(u"RPT"_s, u"R: 72F sunny"_s) << ""
                                 << ""
                                 << "" << 0;
        QTest::newRow("outside the sound level") << rpt(u"RPT"_s, u"TORNADO"_s, u"PA"_s) << "s"
                                                 << ""
                                                 << "" << 0;
        QTest::newRow("setting off") << rpt(u"RPT"_s, u"TORNADO"_s) << "o"
                                     << ""
                                     << "" << 0;
        QTest::newRow("history record") << rpt(u"GLD"_s, u"TORNADO"_s) << ""
                                        << ""
                                        << "" << 0;
        QTest::newRow("warning with audio alerts") << rpt(u"WRN"_s, u"Tornado Warning"_s) << "a"
                                                   << "Warning from SPOTTER at Bel Air, HARFORD, MD"
                                                   << "Tornado Warning" << 2;
        QTest::newRow("warning without") << rpt(u"WRN"_s, u"Tornado Warning"_s) << ""
                                         << ""
                                         << "" << 0;
        QTest::newRow("message to me") << ServerMessage(u"MSG", {u"carl"_s, u"BOB"_s, u"hi\r\nthere"_s}) << ""
                                       << "Message from BOB to carl"
                                       << "hi  there" << 1;
        QTest::newRow("message to my group") << ServerMessage(u"MSG", {u"WXCHAT"_s, u"BOB"_s, u"hi"_s}) << ""
                                             << "Message from BOB to WXCHAT"
                                             << "hi" << 1;
        QTest::newRow("message to others") << ServerMessage(u"MSG", {u"SKYWARN"_s, u"BOB"_s, u"hi"_s}) << ""
                                           << ""
                                           << "" << 0;
        QTest::newRow("my own message") << ServerMessage(u"MSG", {u"WXCHAT"_s, u"CARL"_s, u"hi"_s}) << ""
                                        << ""
                                        << "" << 0;
    }
    void notifications()
    {
        QFETCH(QString, message);
        QFETCH(QString, setup);
        QFETCH(QString, summary);
        Client c;
        c.state.settings.WarnLinkEnabled = 1;
        c.app->reports().intake().setTavrelAudioAlert(setup.contains(u'a'));
        if (setup.contains(u's'))
            c.state.settings.SoundLevel = u"STATE"_s;
        c.app->notify().alerts().setEnabled(!setup.contains(u'o'));
        c.arrive(message);
        c.app->notify().alerts().setEnabled(true);
        sentinel(c);
        QCOMPARE(calls.size(), summary.isEmpty() ? 1 : 2);
        if (summary.isEmpty())
            return;
        QCOMPARE(calls[0].summary, summary);
        QTEST(calls[0].body, "body");
        QTEST(calls[0].urgency, "urgency");
        QCOMPARE(calls[0].icon, DBusNotifier::IconName);
        QCOMPARE(calls[0].replaces, 0u);
    }

    void bursts()
    {
        Client c;
        for (int i = 0; i < 20'000; ++i)
            c.arrive(rpt(u"GLD"_s, u"TORNADO "_s + QString::number(i)));
        sentinel(c);
        QCOMPARE(calls.size(), 1);

        // 1,000 live reports in ten seconds: one notification a second, the
        // burst's later ones folded into the first.
        calls.clear();
        for (int second = 0; second < 10; ++second) {
            c.clock.advance(second ? 1 : 2);
            for (int i = 0; i < 100; ++i)
                c.arrive(rpt(u"RPT"_s, u"Hail "_s + QString::number(second * 100 + i)));
            QTRY_COMPARE(calls.size(), second + 1);
            QTest::qWait(20); // the service's id comes back
        }
        QCOMPARE(calls[0].summary, u"Report from SPOTTER at Bel Air, HARFORD, MD"_s);
        QCOMPARE(calls[1].summary, u"101 new reports"_s);
        QCOMPARE(calls[9].body, u"Latest: Report from SPOTTER at Bel Air, HARFORD, MD: Hail 900"_s);
        // The rest waits for its second, then says how many the burst brought.
        c.clock.advance(1);
        QTRY_COMPARE(calls.size(), 11);
        QCOMPARE(calls[10].summary, u"1000 new reports"_s);
        for (int i = 1; i < calls.size(); ++i)
            QCOMPARE(calls[i].replaces, calls[0].id);
    }

    void clickAndTray()
    {
        Client c;
        c.form->show();
        c.arrive(rpt(u"RPT"_s, u"TORNADO here"_s));
        c.clock.advance(2);
        c.arrive(ServerMessage(u"MSG", {u"CARL"_s, u"BOB"_s, u"hi"_s}));
        QTRY_COMPARE(calls.size(), 2);
        QCOMPARE(c.form->trayIcon()->toolTip(),
                 u"Nimbrel Program\n1 new report, 1 new message since the window was last shown"_s);
        c.clock.advance(2);
        c.arrive(rpt(u"RPT"_s, u"Funnel cloud"_s));
        QTRY_COMPARE(calls.size(), 3);
        QTest::qWait(20);
        c.form->showMinimized();
        c.app->community().messenger().hide();
        const auto click = [this](uint id) {
            QDBusMessage signal =
                QDBusMessage::createSignal(Path, DBusNotifier::Interface, u"ActionInvoked"_s);
            signal << id << u"default"_s;
            QVERIFY(m_service.send(signal));
        };
        click(calls[1].id);
        QTRY_VERIFY(c.app->community().messenger().isVisible());
        QVERIFY(!c.form->isMinimized());
        QCOMPARE(c.form->trayIcon()->toolTip(), u"Nimbrel Program"_s);
        c.form->showMinimized();
        click(calls[2].id);
        QTRY_VERIFY(!c.form->isMinimized());
        const QModelIndex current = c.app->reports().panel()->ListView1->currentIndex();
        QCOMPARE(current.siblingAtColumn(0).data().toString(), u"Funnel cloud"_s);
        click(999); // not ours
        QTest::qWait(20);
    }

    void setting_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<bool>("on");
        QTest::newRow("no file") << QByteArray() << true;
        QTest::newRow("off") << QByteArray("0\r\n") << false;
        QTest::newRow("on") << QByteArray("1\r\n") << true;
        QTest::newRow("unreadable text") << QByteArray("yes") << true;
    }
    void setting()
    {
        QFETCH(QByteArray, file);
        QFETCH(bool, on);
        Client c(file);
        frmOptions options(c.state.settings);
        emit c.app->reports().optionsOpened(options); // as the menu item opens it
        auto *box = options.findChild<QCheckBox *>(u"chkDesktopNotifications"_s);
        QVERIFY(box);
        QCOMPARE(box->text(), u"Show desktop notifications"_s);
        QCOMPARE(box->isChecked(), on);
        box->click();
        QCOMPARE(NotifySetting::Read(c.state.filePath(NotifySetting::FileName)), !on);
        QCOMPARE(c.app->notify().alerts().enabled(), !on);
    }

    void noService()
    {
        QVERIFY(m_service.unregisterService(DBusNotifier::Service));
        Client c;
        c.arrive(rpt(u"RPT"_s, u"TORNADO"_s));
        QTest::qWait(50);
        QVERIFY(c.dialogs.shown.isEmpty());
        QCOMPARE(c.app->reports().reports().rowCount(), 1);
        QVERIFY(m_service.registerService(DBusNotifier::Service));
    }
};

QTEST_MAIN(TestDesktopAlerts)
#include "tst_desktop_alerts.moc"
