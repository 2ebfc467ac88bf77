#include "community/ui/community_subsystem.h"

#include "base/client_state.h"
#include "community/content_filters.h"
#include "community/ui/frm_filter.h"
#include "community/ui/frm_msg.h"
#include "community/ui/quick_chat_panel.h"
#include "net/protocol.h"
#include "net/server_link.h"

#include <QAction>

CommunitySubsystem::CommunitySubsystem(const ClientContext &context, QObject *parent)
    : QObject(parent), m_context(context)
{
    m_context.link.dispatcher().setHandler(u"MSG",
                                           [this](const QString &m) { messenger().HandleMessage(m); });
    m_context.link.dispatcher().setHandler(u"SMG",
                                           [this](const QString &m) { messenger().HandleSystemMessage(m); });
}

frmMsg &CommunitySubsystem::messenger()
{
    if (!m_msg) {
        m_msg = std::make_unique<frmMsg>(m_context);
        connect(m_msg.get(), &frmMsg::signOnRequested, this, &CommunitySubsystem::signOnRequested);
        connect(m_msg.get(), &frmMsg::quickChatLine, this, [this](const QString &line) {
            if (m_quickChat)
                m_quickChat->AddQuickChatLine(line);
        });
    }
    return *m_msg;
}

void CommunitySubsystem::sendQuickChat(const QString &text)
{
    if (!m_context.state.signedOn) {
        emit signOnRequested();
        return;
    }
    if (ProfanityCheck(text, m_context.services.dialogs)) {
        m_quickChat->clearSendBox();
        return;
    }
    const QString user = CleanIncoming(m_context.state.settings.UserName);
    if (user.size() < 2)
        return;
    const QString escaped = EscapeOutgoing(text);
    m_context.link.SendData(ServerMessage(u"MSG", {Messages::QuickChatAddress, user, escaped.trimmed()}));
    m_quickChat->clearSendBox();
}

void CommunitySubsystem::mnuMessaging_Click()
{
    frmMsg &msg = messenger();
    msg.showNormal();
    msg.raise();
    msg.activateWindow();
}

void CommunitySubsystem::startMessageTo(const QString &user)
{
    messenger().startMessageTo(user);
}

CommunitySubsystem::~CommunitySubsystem() = default;

void CommunitySubsystem::buildWindows(SubsystemHost &host)
{
    m_window = host.window();
    m_quickChat = new QuickChatPanel(m_context.services.shell);
    host.addPanel(PanelSlot::QuickChat, m_quickChat);
    connect(m_quickChat, &QuickChatPanel::sendRequested, this, &CommunitySubsystem::sendQuickChat);
    connect(host.addMenuItem(MenuSlot::Observers, QStringLiteral("mnuFilter"), QStringLiteral("&Filter")),
            &QAction::triggered, this, &CommunitySubsystem::mnuFilter_Click);
    QAction *messaging =
        host.addMenuItem(MenuSlot::MenuBar, QStringLiteral("mnuMessaging"), QStringLiteral("Send &Messages"));
    messaging->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
    messaging->setShortcutContext(Qt::WindowShortcut);
    connect(messaging, &QAction::triggered, this, &CommunitySubsystem::mnuMessaging_Click);
}

void CommunitySubsystem::loadStep(LoadStep step)
{
    if (step == LoadStep::Started && m_quickChat)
        m_quickChat->startAnnouncementTimer();
}

bool CommunitySubsystem::inputEmpty() const
{
    return !m_quickChat || m_quickChat->sendBoxEmpty();
}

void CommunitySubsystem::escape(bool allInputWasEmpty)
{
    if (!m_quickChat)
        return;
    if (allInputWasEmpty)
        m_quickChat->switchPlace();
    m_quickChat->clearSendBox();
}

void CommunitySubsystem::ShowAnnouncement(const QString &imagePath, const QString &tooltip,
                                          const QString &link)
{
    if (m_quickChat)
        m_quickChat->ShowAnnouncement(imagePath, tooltip, link);
}

void CommunitySubsystem::mnuFilter_Click()
{
    frmFilter filter(m_context.state, m_context.services.dialogs, m_window);
    filter.exec();
}
