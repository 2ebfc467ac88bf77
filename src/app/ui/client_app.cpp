#include "app/ui/client_app.h"

#include "app/startup.h"
#include "app/ui/form1.h"
#include "base/status_line.h"
#include "base/ui/show_and_raise.h"
#include "community/ui/community_subsystem.h"
#include "graphics/ui/graphics_panel.h"
#include "graphics/ui/graphics_subsystem.h"
#include "notify/ui/notify_subsystem.h"
#include "platform/window_actions.h"
#include "reports/ui/frm_options.h"
#include "reports/ui/report_tool_windows.h"
#include "reports/ui/reports_subsystem.h"
#include "station/ui/station_subsystem.h"
#include "warnlink/ui/warnlink_subsystem.h"

#include "app/ui/info_windows.h"
#include "base/client_state.h"
#include "base/settings.h"
#include "net/server_link.h"
#include "net/server_notices.h"
#include "net/sign_on.h"
#include "net/ui/frm_buffer.h"
#include "net/ui/frm_spotter.h"
#include "net/url_download.h"
#include "platform/dialogs.h"

#include <QCheckBox>
#include <QDateTime>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSystemTrayIcon>
#include <QTextStream>

namespace {

// Once the terms are declined the program is ending: the welcome box that
// would follow is not shown.
class EndingDialogs final : public Dialogs
{
public:
    EndingDialogs(Dialogs &inner, const bool &ending) : m_inner(inner), m_ending(ending) {}
    Button messageBox(const QString &text, const QString &title, Buttons buttons, Icon icon,
                      Button defaultButton) override
    {
        return m_ending ? defaultButton : m_inner.messageBox(text, title, buttons, icon, defaultButton);
    }
    std::optional<QString> inputBox(const QString &p, const QString &t, const QString &d) override
    {
        return m_inner.inputBox(p, t, d);
    }
    QString openFile(const QString &t, const QString &d, const QString &f) override
    {
        return m_inner.openFile(t, d, f);
    }
    std::optional<Font> chooseFont(const Font &c) override { return m_inner.chooseFont(c); }

private:
    Dialogs &m_inner;
    const bool &m_ending;
};

} // namespace

// Forwards to the main window once it exists: the report alerts are wired
// for the whole run, the window comes later.
class ClientApp::MainWindowActions final : public WindowActions
{
public:
    WindowActions *target = nullptr;
    bool isMinimised() const override { return target && target->isMinimised(); }
    bool isInTray() const override { return target && target->isInTray(); }
    void restoreFromMinimised() override
    {
        if (target)
            target->restoreFromMinimised();
    }
    void showFromTray() override
    {
        if (target)
            target->showFromTray();
    }
    void bringToFront() override
    {
        if (target)
            target->bringToFront();
    }
    void hideToTray() override
    {
        if (target)
            target->hideToTray();
    }
};

ClientApp::ClientApp(ClientState &state, ClientServices services, QObject *parent, quint16 warnPort)
    : QObject(parent), m_state(state), m_services(std::move(services))
{
    m_downloader = std::make_unique<UrlDownloader>();
    m_statusLine = std::make_unique<StatusLine>();
    m_link = std::make_unique<ServerLink>(m_state, *m_downloader);
    m_windowActions = std::make_unique<MainWindowActions>();
    m_replies = std::make_unique<SignOnReplies>(m_state, [this] { save(); });
    m_replies->registerOn(m_link->dispatcher());
    m_notices = std::make_unique<ServerNotices>(m_state, *m_link, *m_downloader, [this] { save(); });
    m_notices->registerOn(m_link->dispatcher());

    // One status line for the whole client.
    StatusLine &line = *m_statusLine;
    connect(m_link.get(), &ServerLink::statusChanged, &line, &StatusLine::show);
    // A subsystem's own line restarts the link's interval, so that line stays.
    connect(&line, &StatusLine::heldLineShown, m_link.get(), &ServerLink::restartSupervisionInterval);
    // Queued: a transfer starts inside other steps (the supervision tick), and
    // the line that step writes is shown before the transfer's states follow.
    connect(
        m_downloader.get(), &UrlDownloader::progress, &line,
        [&line](int state, const QString &text) {
            if (!UrlDownload::StateText(state).isEmpty())
                line.show(text, state == UrlDownload::ErrorState ? StatusStyle::Red : StatusStyle::Normal);
        },
        Qt::QueuedConnection);
    connect(m_replies.get(), &SignOnReplies::statusChanged, this,
            [&line](const QString &text, StatusStyle style) {
                line.show(text, style);
                if (text.startsWith(QLatin1String("Welcome ")))
                    trace("welcome");
            });

    m_spotter = std::make_unique<frmSpotter>(
        m_state, m_services.dialogs, [this] { save(); },
        [this](const QString &message) { m_link->QueuePendingMessage(message); });
    m_spotter->attachReplies(*m_replies, m_services.endProgram);
    connect(m_spotter.get(), &frmSpotter::mainWindowRequested, this, &ClientApp::ShowMainWindow);
    connect(m_spotter.get(), &frmSpotter::cancelRequested, this, [this] { m_services.end(); });
    // Before the main window exists the form is the whole program: closing it
    // must end the run as Cancel does, or a windowless process keeps the
    // single-instance lock.
    connect(m_spotter.get(), &frmSpotter::closed, this, [this] {
        if (!m_form1)
            m_services.end();
    });

    // Built in dependency order; their steps run in createMainWindow's registration order.
    const ClientContext context{m_state,       m_services,       *m_link,           *m_downloader,
                                *m_statusLine, *m_windowActions, [this] { save(); }};
    m_warnLink = std::make_unique<WarnLinkSubsystem>(context, warnPort);
    m_reports = std::make_unique<ReportsSubsystem>(context);
    // Relayed warnings join the warning program's rows in one list.
    connect(&m_reports->intake(), &ReportIntake::warningRelayed, this,
            [this](const QString &text, const QString &time, const QString &state, const QString &county) {
                m_warnLink->model().InsertAtTop(WarningsModel::FromRelayedWarning(text, time, state, county));
            });
    connect(m_warnLink.get(), &WarnLinkSubsystem::tavrelAudioAlertChanged, this,
            [this](bool on) { m_reports->intake().setTavrelAudioAlert(on); });
    connect(m_warnLink.get(), &WarnLinkSubsystem::focusReportText, m_reports.get(),
            &ReportsSubsystem::focusReportBox);
    connect(m_reports.get(), &ReportsSubsystem::signOnRequested, this, &ClientApp::showSignOnForm);
    m_community = std::make_unique<CommunitySubsystem>(context);
    connect(m_community.get(), &CommunitySubsystem::signOnRequested, this, &ClientApp::showSignOnForm);
    m_reports->tools().setMessageAddressing(&m_community->messageAddressing());
    // A new list font is the warnings list's font too.
    connect(&m_reports->tools(), &ReportToolWindows::listFontChanged, m_warnLink.get(),
            &WarnLinkSubsystem::applyListFont);
    m_graphics = std::make_unique<GraphicsSubsystem>(context);
    connect(m_graphics.get(), &GraphicsSubsystem::pictureChanged, m_community.get(),
            &CommunitySubsystem::ShowGraphic);
    connect(m_community.get(), &CommunitySubsystem::fullScreenImageRequested, m_graphics.get(),
            &GraphicsSubsystem::cmdFullScreen_Click);
    m_station = std::make_unique<StationSubsystem>(context);
    m_reports->tools().setStationSource(m_station.get());
    // The station's complaints about its data file go to the quick-chat pane.
    connect(m_station.get(), &StationSubsystem::quickChatLine, this, [this](const QString &text) {
        if (QuickChatPanel *chat = m_community->quickChat())
            chat->AddQuickChatLine(text);
    });
    // Every report's status line is also written to the monitor pane.
    connect(&m_reports->intake(), &ReportIntake::statusLine, m_community.get(),
            [this](const QString &text) { m_community->AppendToMonitor(text); });
    m_notify = std::make_unique<NotifySubsystem>(context);
    wireNotifications();
    wireNotices();
}

ClientApp::~ClientApp()
{
    // The window goes first: its panels use the subsystems' models.
    m_form1.reset();
    delete m_rawView;
}

StationSource &ClientApp::stationSource()
{
    return *m_station;
}

WarningsModel &ClientApp::warnings()
{
    return m_warnLink->model();
}

void ClientApp::save()
{
    // An unreadable Settings.dat waits for the user's own save (Log In).
    if (m_state.settingsUnreadable)
        return;
    QString why;
    const bool saved = SaveSettings(m_state, &why);
    const QString notice = SaveFailureNotice(m_state, SettingsFileName, saved, why);
    // Saves happen inside socket handlers too (a sign-on reply): the box
    // waits for the next event-loop pass.
    if (!notice.isEmpty())
        QMetaObject::invokeMethod(
            this,
            [this, notice] {
                m_services.dialogs.messageBox(notice, QStringLiteral("Nimbrel"), Dialogs::OkOnly,
                                              Dialogs::Warning);
            },
            Qt::QueuedConnection);
}

void ClientApp::showSignOnForm()
{
    showAndRaise(m_spotter.get());
}

void ClientApp::wireNotices()
{
    connect(m_notices.get(), &ServerNotices::announcementReady, m_community.get(),
            &CommunitySubsystem::ShowAnnouncement);
    connect(
        m_notices.get(), &ServerNotices::banned, this,
        [this](const QString &text, const QString &title) {
            m_services.dialogs.messageBox(text, title);
            m_services.end();
        },
        Qt::QueuedConnection);
    connect(m_notices.get(), &ServerNotices::terminateRequested, this, [this] { m_services.end(); });
}

bool ClientApp::Start()
{
    bool declined = false;
    EndingDialogs dialogs(m_services.dialogs, declined);
    const LoadSettingsResult loaded = LoadSettings(m_state, dialogs, [this, &declined] {
        if (!RunTermsWindow(m_state, m_services.dialogs))
            declined = true;
    });
    if (declined || loaded == LoadSettingsResult::Ineligible)
        return false;

    m_spotter->LoadProfile();
    m_graphics->SetDefaults(); // start-up step 4
    if (m_state.settings.AutoLogIn == 1)
        m_spotter->cmdDone_Click();
    if (!m_form1 || !m_form1->isLoaded())
        m_spotter->show();
    trace("signon_form_ready");
    return true;
}

Form1 &ClientApp::createMainWindow()
{
    if (m_form1)
        return *m_form1;
    m_form1 = std::make_unique<Form1>(m_state, *m_link, *m_statusLine, m_services);
    Form1 &form = *m_form1;
    m_windowActions->target = &form.windowActions();
    connect(&form, &Form1::observerIdRequested, m_spotter.get(), &frmSpotter::ShowAsSettings);
    connect(&form, &Form1::rawViewRequested, this, &ClientApp::openRawView);
    // The sign-on form is the first window closed with the main window.
    connect(&form, &Form1::closing, this, [this] {
        m_spotter->close();
        if (m_rawView)
            m_rawView->close();
    });
    connect(&form, &Form1::loaded, this, [this] {
        m_state.nightlyTime = Startup::NightlyTime(m_services.draw ? m_services.draw(31) : 0);
    });
    // Panels are built, and steps run, in this order; it is also the Tab order.
    Subsystem *const panels[] = {m_reports.get(),  m_community.get(), m_warnLink.get(),
                                 m_graphics.get(), m_station.get(),   m_notify.get()};
    for (Subsystem *s : panels)
        form.addSubsystem(*s);
    // Menu items merge in this order within each place, which gives the
    // menus their documented order: messaging first on the menu bar, the
    // graphic links first below "&Startup Options". A new subsystem goes last.
    Subsystem *const menus[] = {m_community.get(), m_graphics.get(), m_reports.get(),
                                m_warnLink.get(),  m_station.get(),  m_notify.get()};
    for (Subsystem *s : menus)
        form.mergeMenus(*s);
    connect(&m_notify->alerts(), &DesktopAlerts::trayToolTipChanged, form.trayIcon(),
            &QSystemTrayIcon::setToolTip);
    wireGraphicsPlace();
    // The warnings go under the report list, as wide as it.
    m_reports->placeUnderList(m_warnLink->panel());
    // A click on the status line opens the messenger.
    connect(&form, &Form1::statusLineClicked, m_community.get(), &CommunitySubsystem::mnuMessaging_Click);
    return form;
}

// The phrase lists and the graphic share one place; either view hands the
// focus back to the report box.
void ClientApp::wireGraphicsPlace()
{
    GraphicsPanel *graphics = m_graphics->panel();
    if (!graphics)
        return;
    connect(graphics, &GraphicsPanel::listsShown, m_reports.get(), &ReportsSubsystem::showPhraseLists);
    connect(graphics, &GraphicsPanel::focusReportBox, m_reports.get(), &ReportsSubsystem::focusReportBox);
}

void ClientApp::wireNotifications()
{
    DesktopAlerts &alerts = m_notify->alerts();
    connect(&m_reports->intake(), &ReportIntake::alerted, &alerts,
            [&alerts](const ReportFields &f, bool warning) {
                QStringList place;
                for (const QString &part : {f.location, f.county, f.state})
                    if (!part.isEmpty())
                        place << part;
                // Red and blue words are severe; "TEST" or "END SEVERE WEATHER" (green) are not.
                const std::optional<Rgb> colour = SeverityColour(f.text);
                alerts.add({warning ? Arrival::Warning : Arrival::Report, f.observer,
                            place.join(QStringLiteral(", ")), f.text, f.time,
                            colour && *colour != ReportColours::Green});
            });
    connect(m_community.get(), &CommunitySubsystem::messageForUser, &alerts,
            [&alerts](const QString &from, const QString &to, const QString &text) {
                alerts.add({Arrival::Message, from, to, text, QString(), false});
            });
    connect(&alerts, &DesktopAlerts::activated, this, &ClientApp::showArrival);
    connect(m_reports.get(), &ReportsSubsystem::optionsOpened, m_notify.get(),
            [this](frmOptions &window) { window.addOption(m_notify->makeOptionBox(&window)); });
}

void ClientApp::showArrival(const Arrival &arrival)
{
    if (!m_form1)
        return;
    WindowActions &window = *m_windowActions;
    if (window.isInTray())
        window.showFromTray();
    if (window.isMinimised())
        window.restoreFromMinimised();
    window.bringToFront();
    if (arrival.kind == Arrival::Message) {
        m_community->mnuMessaging_Click();
        return;
    }
    m_reports->selectReport(arrival.text, arrival.time, arrival.sender);
}

void ClientApp::openRawView()
{
    if (!m_rawView) {
        m_rawView = new frmBuffer;
        connect(m_link.get(), &ServerLink::rawArrival, m_rawView.data(), [this](const QString &data) {
            if (m_form1 && m_form1->rawViewEnabled())
                m_rawView->appendArrival(data);
        });
    }
    showAndRaise(m_rawView, false);
}

void ClientApp::ShowMainWindow()
{
    Form1 &form = createMainWindow();
    form.Form_Load(); // runs once
    form.show();
    trace("mainwindow_shown");
}

void ClientApp::trace(const char *mark)
{
    static const bool enabled = qEnvironmentVariableIntValue("NIMBREL_TRACE") == 1;
    if (!enabled)
        return;
    QTextStream(stderr) << "nimbrel-trace " << mark << " epoch_ms=" << QDateTime::currentMSecsSinceEpoch()
                        << Qt::endl;
}
