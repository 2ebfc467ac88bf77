#include "app/ui/client_app.h"

#include "app/ui/info_windows.h"
#include "base/client_state.h"
#include "base/settings.h"
#include "graphics/url_download.h"
#include "net/server_link.h"
#include "net/server_notices.h"
#include "net/sign_on.h"
#include "net/ui/frm_buffer.h"
#include "net/ui/frm_spotter.h"
#include "platform/dialogs.h"

#include <QDateTime>
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

ClientApp::ClientApp(ClientState &state, ClientServices services, QObject *parent)
    : QObject(parent), m_state(state), m_services(std::move(services))
{
    m_downloader = std::make_unique<UrlDownloader>();
    m_link = std::make_unique<ServerLink>(m_state, *m_downloader);
    m_replies = std::make_unique<SignOnReplies>(m_state, [this] { save(); });
    m_replies->registerOn(m_link->dispatcher());
    m_notices = std::make_unique<ServerNotices>(m_state, *m_link, *m_downloader, [this] { save(); });
    m_notices->registerOn(m_link->dispatcher());

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
    connect(m_replies.get(), &SignOnReplies::statusChanged, this,
            [this](const QString &text, StatusStyle style) {
                if (m_form1)
                    m_form1->SetStatus(text, style);
                if (text.startsWith(QLatin1String("Welcome ")))
                    trace("welcome");
            });
    wireNotices();
}

ClientApp::~ClientApp()
{
    delete m_form1;
    delete m_rawView;
}

void ClientApp::save()
{
    SaveSettings(m_state);
}

void ClientApp::wireNotices()
{
    connect(m_notices.get(), &ServerNotices::announcementReady, this,
            [this](const QString &imageFile, const QString &toolTip, const QString &link) {
                if (m_form1)
                    m_form1->ShowAnnouncement(imageFile, toolTip, link);
            });
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
    if (graphicsDefaults)
        graphicsDefaults();
    if (m_state.settings.AutoLogIn == 1)
        m_spotter->cmdDone_Click();
    if (!m_form1 || !m_form1->isLoaded())
        m_spotter->show();
    trace("signon_form_ready");
    return true;
}

void ClientApp::ShowMainWindow()
{
    if (!m_form1) {
        m_form1 = new Form1(m_state, *m_link, m_services);
        Form1 &form = *m_form1;
        form.setSignOnForm(m_spotter.get(), [this] { m_spotter->ShowAsSettings(); });
        form.setRawViewOpener([this] {
            if (!m_rawView) {
                m_rawView = new frmBuffer;
                connect(m_link.get(), &ServerLink::rawArrival, m_rawView.data(), [this](const QString &data) {
                    if (m_form1 && m_form1->rawViewEnabled())
                        m_rawView->appendArrival(data);
                });
            }
            m_rawView->show();
            m_rawView->raise();
        });
        form.setCloser(Form1::ClosingWindow::RawView, [this] {
            if (m_rawView)
                m_rawView->close();
        });
        if (onMainWindowCreated)
            onMainWindowCreated(form);
    }
    m_form1->Form_Load(); // runs once
    m_form1->show();
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
