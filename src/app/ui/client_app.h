#pragma once

#include "base/ui/subsystem.h"

#include <QObject>
#include <QPointer>

#include <memory>

class CommunitySubsystem;
class Form1;
class frmBuffer;
class frmSpotter;
class GraphicsSubsystem;
class NotifySubsystem;
struct Arrival;
class ReportsSubsystem;
class ServerLink;
class ServerNotices;
class SignOnReplies;
class StationSource;
class StationSubsystem;
class StatusLine;
class UrlDownloader;
class WarnLinkSubsystem;
class WarningsModel;
struct ClientState;

// The composition root: puts the client together for one run. It owns the
// link, the status line, the sign-on form and every subsystem's core
// objects from start to end; the main window, created on first use, gets
// the subsystems' panels and menus then. Links between subsystems are
// written here and nowhere else.
class ClientApp final : public QObject
{
    Q_OBJECT
public:
    // warnPort: where the warning program connects; tests pass a free one.
    ClientApp(ClientState &state, ClientServices services, QObject *parent = nullptr,
              quint16 warnPort = 1003);
    ~ClientApp() override;

    // Start-up after the single-instance check: settings, the profile into
    // the sign-on form, then AutoLogIn or the form waiting for the user.
    // False when the program must end now (ineligible, terms declined).
    bool Start();

    // Creates the main window (once) with every subsystem's part in it,
    // without loading it.
    Form1 &createMainWindow();
    // Loads the main window on first use and shows it.
    void ShowMainWindow();

    frmSpotter &spotter() { return *m_spotter; }
    Form1 *mainWindow() const { return m_form1.get(); }
    ServerLink &link() { return *m_link; }
    SignOnReplies &signOnReplies() { return *m_replies; }
    StatusLine &statusLine() { return *m_statusLine; }
    ReportsSubsystem &reports() { return *m_reports; }
    CommunitySubsystem &community() { return *m_community; }
    WarningsModel &warnings();
    WarnLinkSubsystem &warnLink() { return *m_warnLink; }
    GraphicsSubsystem &graphics() { return *m_graphics; }
    StationSubsystem &station() { return *m_station; }
    NotifySubsystem &notify() { return *m_notify; }
    // The home station as the routine-report window uses it.
    StationSource &stationSource();

    // With NIMBREL_TRACE=1 the client marks its progress on stderr.
    static void trace(const char *mark);

private:
    class MainWindowActions;

    void save();
    void wireNotices();
    void showSignOnForm();
    void openRawView();
    void wireGraphicsPlace();
    void wireNotifications();
    // A desktop notification was clicked: the window, and the report's row
    // or the messenger.
    void showArrival(const Arrival &arrival);

    ClientState &m_state;
    ClientServices m_services;
    std::unique_ptr<UrlDownloader> m_downloader;
    std::unique_ptr<StatusLine> m_statusLine;
    std::unique_ptr<ServerLink> m_link;
    std::unique_ptr<MainWindowActions> m_windowActions;
    std::unique_ptr<SignOnReplies> m_replies;
    std::unique_ptr<ServerNotices> m_notices;
    std::unique_ptr<frmSpotter> m_spotter;
    std::unique_ptr<WarnLinkSubsystem> m_warnLink;
    std::unique_ptr<ReportsSubsystem> m_reports;
    std::unique_ptr<CommunitySubsystem> m_community;
    std::unique_ptr<GraphicsSubsystem> m_graphics;
    std::unique_ptr<StationSubsystem> m_station;
    std::unique_ptr<NotifySubsystem> m_notify;
    std::unique_ptr<Form1> m_form1;
    QPointer<frmBuffer> m_rawView;
};
