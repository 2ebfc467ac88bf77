#include "community/ui/community_subsystem.h"

#include "community/ui/frm_filter.h"
#include "community/ui/quick_chat_panel.h"

#include <QAction>

CommunitySubsystem::CommunitySubsystem(const ClientContext &context, QObject *parent)
    : QObject(parent), m_context(context)
{
}

CommunitySubsystem::~CommunitySubsystem() = default;

void CommunitySubsystem::buildWindows(SubsystemHost &host)
{
    m_window = host.window();
    m_quickChat = new QuickChatPanel(m_context.services.shell);
    host.addPanel(PanelSlot::QuickChat, m_quickChat);
    connect(host.addMenuItem(MenuSlot::Observers, QStringLiteral("mnuFilter"), QStringLiteral("&Filter")),
            &QAction::triggered, this, &CommunitySubsystem::mnuFilter_Click);
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
