#pragma once

#include "app/ui/form1.h"
#include "net/ui/frm_buffer.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>

class frmSpotter;
class ServerLink;
class ServerNotices;
class SignOnReplies;
class UrlDownloader;
struct ClientState;

// Puts the client together for one run: the link, the sign-on form, the
// main window (created on first use) and the server's replies and notices.
class ClientApp : public QObject
{
    Q_OBJECT
public:
    ClientApp(ClientState &state, ClientServices services, QObject *parent = nullptr);
    ~ClientApp() override;

    // Start-up after the single-instance check: settings, the profile into
    // the sign-on form, then AutoLogIn or the form waiting for the user.
    // False when the program must end now (ineligible, terms declined).
    bool Start();

    // Loads the main window on first use and shows it.
    void ShowMainWindow();

    frmSpotter &spotter() { return *m_spotter; }
    Form1 *mainWindow() const { return m_form1; }
    ServerLink &link() { return *m_link; }
    UrlDownloader &downloader() { return *m_downloader; }
    ServerNotices &notices() { return *m_notices; }

    // Runs when the main window is created, before it loads: where later
    // subsystems add their panels and hooks.
    std::function<void(Form1 &)> onMainWindowCreated;
    // Start-up step 4: the built-in graphics defaults.
    std::function<void()> graphicsDefaults;

    // With NIMBREL_TRACE=1 the client marks its progress on stderr.
    static void trace(const char *mark);

private:
    void save();
    void wireNotices();

    ClientState &m_state;
    ClientServices m_services;
    std::unique_ptr<UrlDownloader> m_downloader;
    std::unique_ptr<ServerLink> m_link;
    std::unique_ptr<SignOnReplies> m_replies;
    std::unique_ptr<ServerNotices> m_notices;
    std::unique_ptr<frmSpotter> m_spotter;
    QPointer<Form1> m_form1;
    QPointer<frmBuffer> m_rawView;
};
