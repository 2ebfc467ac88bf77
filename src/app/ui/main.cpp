#include "app/data_folder.h"
#include "app/single_instance.h"
#include "app/startup.h"
#include "app/ui/client_app.h"
#include "app/ui/form1.h"
#include "base/client_state.h"
#include "base/status_line.h"
#include "base/ui/program_art.h"
#include "community/ui/community_subsystem.h"
#include "community/ui/frm_msg.h"
#include "net/server_link.h"
#include "net/ui/frm_spotter.h"
#include "nimbrel_version.h"
#include "platform/clock.h"
#include "platform/ui/dbus_notifier.h"
#include "platform/ui/qt_platform.h"
#include "reports/ui/reports_subsystem.h"
#include "station/ui/frm_automated_data.h"
#include "station/ui/station_subsystem.h"
#include "warnlink/warnings_model.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QLabel>
#include <QRandomGenerator>
#include <QTextStream>
#include <QTimer>
#include <QTreeView>

namespace {

// --clock-speed N: the client's time runs N times as fast from the start,
// so a picture can show hours of station readings fed in a minute.
class FastClock final : public Clock
{
public:
    explicit FastClock(double speed) : m_speed(speed) { m_started.start(); }
    QDateTime localNow() const override { return m_local.addMSecs(elapsed()); }
    QDateTime utcNow() const override { return m_utc.addMSecs(elapsed()); }
    qint64 monotonicMs() const override { return elapsed(); }
    QTimeZone timeZone() const override { return QTimeZone::systemTimeZone(); }

private:
    qint64 elapsed() const { return qint64(double(m_started.elapsed()) * m_speed); }
    double m_speed;
    QDateTime m_local = QDateTime::currentDateTime();
    QDateTime m_utc = QDateTime::currentDateTimeUtc();
    QElapsedTimer m_started;
};

// The end of the tour: the station table with its first station's chart,
// when readings came.
void grabStations(ClientApp &client, const QString &dir)
{
    frmAutomatedData *w = client.station().dataWindow();
    if (!w || w->model().rowCount() == 0)
        return;
    client.station().mnuAutomatedStations_Click();
    w->ListView1->setCurrentIndex(w->model().index(0, 0));
    QCoreApplication::processEvents();
    w->grab().save(QDir(dir).filePath(QStringLiteral("stations.png")));
}

// --screenshot-dir: grab the sign-on form, log in, ask the relay for the
// last hours of reports, wait for them and for the warning program's list
// (or a while), then grab the main window and the messenger, and quit. Used
// by scripts/screenshots.sh, so the pictures need no screen-capture tool.
void runScreenshotTour(ClientApp &client, const QString &dir)
{
    QDir().mkpath(dir);
    QTimer::singleShot(800, &client, [&client, dir] {
        frmSpotter &form = client.spotter();
        if (form.isVisible())
            form.grab().save(QDir(dir).filePath(QStringLiteral("signon.png")));
        if (!client.mainWindow())
            form.cmdDone_Click();
        auto *poll = new QTimer(&client);
        auto ticks = std::make_shared<int>(0);
        auto asked = std::make_shared<bool>(false);
        QObject::connect(poll, &QTimer::timeout, &client, [&client, dir, poll, ticks, asked] {
            Form1 *main = client.mainWindow();
            const bool welcomed = client.statusLine().text().startsWith(QLatin1String("Welcome"));
            if (welcomed && !*asked) {
                *asked = true;
                client.link().SendData(QStringLiteral(":GLD|2|^"));
            }
            const bool filled =
                *asked && client.reports().reports().rowCount() >= 3 && client.warnings().rowCount() >= 1;
            if (++*ticks < 150 && !filled)
                return;
            poll->stop();
            client.community().mnuMessaging_Click();
            QTimer::singleShot(300, &client, [&client, dir, main] {
                if (main)
                    main->grab().save(QDir(dir).filePath(QStringLiteral("main.png")));
                client.community().messenger().grab().save(
                    QDir(dir).filePath(QStringLiteral("messenger.png")));
                grabStations(client, dir);
                QCoreApplication::exit(0);
            });
        });
        poll->start(100);
    });
}

// --help and --version answer without a display.
bool wantsTextOnly(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray a(argv[i]);
        if (a == "--help" || a == "-h" || a == "--version" || a == "-v" || a == "--help-all")
            return true;
    }
    return false;
}

void setUpParser(QCommandLineParser &parser)
{
    parser.setApplicationDescription(QStringLiteral("Nimbrel: live severe-weather reports from spotters."));
    parser.addHelpOption();
    parser.addVersionOption();
    QCommandLineOption dataDirOption(QStringLiteral("data-dir"),
                                     QStringLiteral("Keep settings, lists and sounds in <dir>."),
                                     QStringLiteral("dir"));
    QCommandLineOption screenshotOption(QStringLiteral("screenshot-dir"),
                                        QStringLiteral("Save pictures of the windows and quit."),
                                        QStringLiteral("dir"));
    screenshotOption.setFlags(QCommandLineOption::HiddenFromHelp);
    QCommandLineOption clockOption(QStringLiteral("clock-speed"), QStringLiteral("Run time N times as fast."),
                                   QStringLiteral("N"));
    clockOption.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(dataDirOption);
    parser.addOption(screenshotOption);
    parser.addOption(clockOption);
}

} // namespace

int main(int argc, char **argv)
{
    Q_INIT_RESOURCE(resources);
    const QString name = ApplicationName;
    const QString version = QStringLiteral(NIMBREL_VERSION);
    if (wantsTextOnly(argc, argv)) {
        QCoreApplication core(argc, argv);
        QCoreApplication::setApplicationName(name);
        QCoreApplication::setApplicationVersion(version);
        QCommandLineParser parser;
        setUpParser(parser);
        parser.process(core);
        return 0;
    }

    // The browser plugin's engine shares GL contexts with the window; the
    // attribute must be set before the application exists.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationName(name);
    QApplication::setApplicationVersion(version);
    QApplication::setWindowIcon(ProgramIcon());
    // Lets the desktop match the window to the installed menu entry.
    QGuiApplication::setDesktopFileName(QStringLiteral("nimbrel"));
    // Hidden in the tray the program keeps running.
    QApplication::setQuitOnLastWindowClosed(false);

    QCommandLineParser parser;
    setUpParser(parser);
    parser.process(app);
    const QCommandLineOption screenshotOption(QStringLiteral("screenshot-dir"));

    QtDialogs dialogs;
    // Started from a menu there is no terminal: the user sees a window.
    const auto cannotStart = [&dialogs](const QString &text) {
        QTextStream(stderr) << "nimbrel: " << text << Qt::endl;
        static_cast<Dialogs &>(dialogs).messageBox(text, SingleInstance::CannotStartTitle, Dialogs::OkOnly,
                                                   Dialogs::Critical);
        return 1;
    };
    const DataFolder folder = ResolveDataFolder(QCoreApplication::arguments());
    if (!folder.ok())
        return cannotStart(folder.error);
    const QString dataDir = folder.path;

    SingleInstance instance(dataDir);
    QString lockError;
    if (!instance.tryAcquire(&lockError)) {
        if (!lockError.isEmpty())
            return cannotStart(
                QStringLiteral("The data folder %1 cannot be used: %2").arg(dataDir, lockError));
        static_cast<Dialogs &>(dialogs).messageBox(SingleInstance::AlreadyRunningText,
                                                   SingleInstance::AlreadyRunningTitle);
        return 0;
    }
    Startup::CopyMissingDefaults(QStringLiteral(":/"), dataDir, Startup::DefaultFileNames());

    ClientState state;
    state.dataDir = dataDir;
    SystemClock systemClock;
    const double speed = parser.value(QStringLiteral("clock-speed")).toDouble();
    FastClock fastClock(speed > 0 ? speed : 1);
    Clock &clock = speed > 0 ? static_cast<Clock &>(fastClock) : systemClock;
    QtSoundPlayer sound;
    QtShell shell;
    DBusNotifier notifier;
    ClientApp client(
        state,
        ClientServices{clock, dialogs, sound, shell, [](int code) { QCoreApplication::exit(code); },
                       [](int bound) { return int(QRandomGenerator::global()->bounded(bound)); }, &notifier});
    ClientApp::trace("started");
    if (!client.Start())
        return 0;
    if (parser.isSet(screenshotOption))
        runScreenshotTour(client, parser.value(screenshotOption));
    return app.exec();
}
