#include "community/ui/community_subsystem.h"

#include "base/alert_sounds.h"
#include "base/client_state.h"
#include "base/content_filters.h"
#include "base/status_line.h"
#include "base/ui/show_and_raise.h"
#include "community/ui/frm_active_chats.h"
#include "community/ui/frm_filter.h"
#include "community/ui/frm_msg.h"
#include "community/ui/frm_observers.h"
#include "community/ui/quick_chat_panel.h"
#include "net/protocol.h"
#include "net/server_link.h"
#include "platform/clock.h"

#include <QAction>
#include <QEvent>
#include <QLabel>
#include <QMouseEvent>

CommunitySubsystem::CommunitySubsystem(const ClientContext &context, QObject *parent)
    : QObject(parent), m_context(context)
{
    m_context.link.dispatcher().setHandler(u"MSG",
                                           [this](const QString &m) { messenger().HandleMessage(m); });
    m_context.link.dispatcher().setHandler(u"SMG",
                                           [this](const QString &m) { messenger().HandleSystemMessage(m); });
    m_context.link.dispatcher().setHandler(u"GOB", [this](const QString &m) { HandleObserverSignOn(m); });
    m_context.link.dispatcher().setHandler(u"DOB", [this](const QString &m) { HandleObserverSignOff(m); });
}

frmMsg &CommunitySubsystem::messenger()
{
    if (!m_msg) {
        m_msg = std::make_unique<frmMsg>(m_context);
        connect(m_msg.get(), &frmMsg::signOnRequested, this, &CommunitySubsystem::signOnRequested);
        connect(m_msg.get(), &frmMsg::messageForUser, this, &CommunitySubsystem::messageForUser);
        connect(m_msg.get(), &frmMsg::activeChat, this, [this](const QString &from, const QString &to) {
            m_activeChats.UpdateList(from, to, m_context.services.clock.localNow());
        });
        connect(m_msg.get(), &frmMsg::activeChatsRequested, this, &CommunitySubsystem::mnuActiveChats_Click);
        connect(m_msg.get(), &frmMsg::fullScreenImageRequested, this,
                &CommunitySubsystem::fullScreenImageRequested);
        if (!m_graphic.isEmpty())
            m_msg->ShowGraphic(m_graphic);
        connect(m_msg.get(), &frmMsg::listObserversRequested, this,
                &CommunitySubsystem::mnuListObservers_Click);
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
    // The name travels as stored: it is kept escaped.
    const QString &user = m_context.state.settings.UserName;
    if (user.size() < 2)
        return;
    const QString escaped = EscapeOutgoing(text);
    if (!m_context.link.SendTyped(
            ServerMessage(u"MSG", {Messages::QuickChatAddress, user, escaped.trimmed()})))
        return;
    m_quickChat->clearSendBox();
}

void CommunitySubsystem::mnuMessaging_Click()
{
    frmMsg &msg = messenger();
    msg.showNormal();
    msg.raise();
    msg.activateWindow();
}

void CommunitySubsystem::AppendToMonitor(const QString &line)
{
    messenger().AppendToMonitor(line);
}

void CommunitySubsystem::mnuActiveChats_Click()
{
    if (!m_activeChatsWindow) {
        m_activeChatsWindow = std::make_unique<frmActiveChats>(m_activeChats);
        connect(m_activeChatsWindow.get(), &frmActiveChats::addressChosen, this,
                &CommunitySubsystem::startMessageTo);
    }
    showAndRaise(m_activeChatsWindow.get());
}

frmObservers &CommunitySubsystem::ensureObserversWindow()
{
    if (!m_observersWindow) {
        m_observersWindow = std::make_unique<frmObservers>(m_observers);
        connect(m_observersWindow.get(), &frmObservers::addressChosen, this,
                &CommunitySubsystem::startMessageTo);
    }
    return *m_observersWindow;
}

void CommunitySubsystem::mnuListObservers_Click()
{
    frmObservers &window = ensureObserversWindow();
    if (m_observers.StartListing()) {
        window.reload();
        m_context.link.SendData(ServerMessage(u"GOB", {}));
    }
    showAndRaise(&window);
}

void CommunitySubsystem::mnuNewObserverAlert_Click()
{
    m_newObserverAlert = !m_newObserverAlert;
    if (m_alertAction)
        m_alertAction->setChecked(m_newObserverAlert);
    m_context.save();
}

void CommunitySubsystem::HandleObserverSignOn(const QString &message)
{
    const ObserverDecision d = m_observers.HandleObserverSignOn(message, m_context.state.settings.UserName,
                                                                m_context.services.clock.localNow().time());
    if (d.insertedAt >= 0 && m_observersWindow)
        m_observersWindow->rowInserted(d.insertedAt);
    showObserverDecision(d);
    if (d.countTooltip && m_lblRecentContacts)
        m_lblRecentContacts->setToolTip(*d.countTooltip);
    if (d.newArrival && m_newObserverAlert) {
        if (!m_alertWindow)
            m_alertWindow = std::make_unique<frmNewObserverAlert>();
        m_alertWindow->showArrival(d.statusLine.mid(d.statusLine.indexOf(u"-  ") + 3));
        AlertSounds(m_context.services.sound, m_context.state.dataDir).PlayMessageSound();
    }
}

void CommunitySubsystem::HandleObserverSignOff(const QString &message)
{
    const ObserverDecision d =
        m_observers.HandleObserverSignOff(message, m_context.services.clock.localNow().time());
    if (!d.removedRows.isEmpty() && m_observersWindow)
        m_observersWindow->rowsRemoved(d.removedRows);
    showObserverDecision(d);
}

void CommunitySubsystem::showObserverDecision(const ObserverDecision &d)
{
    if (d.statusLine.isEmpty())
        return;
    m_context.statusLine.showHeld(d.statusLine);
    messenger().AppendToMonitor(d.monitorLine);
    m_context.statusLine.flash({255, 255, 255}, d.back.value_or(Rgb{}));
}

void CommunitySubsystem::ShowGraphic(const QString &path)
{
    m_graphic = path;
    if (m_msg)
        m_msg->ShowGraphic(path);
}

void CommunitySubsystem::startMessageTo(const QString &user)
{
    messenger().startMessageTo(user);
}

CommunitySubsystem::~CommunitySubsystem() = default;

void CommunitySubsystem::buildWindows(SubsystemHost &host)
{
    m_window = host.window();
    // Above quick chat; its tooltip carries the server's observer count.
    m_lblRecentContacts = new QLabel(QStringLiteral("Latest Weather Observations"));
    m_lblRecentContacts->setObjectName(QStringLiteral("lblRecentContacts"));
    m_lblRecentContacts->setCursor(Qt::PointingHandCursor);
    m_lblRecentContacts->installEventFilter(this);
    host.addPanel(PanelSlot::QuickChat, m_lblRecentContacts);
    m_quickChat = new QuickChatPanel(m_context.services.shell,
                                     AlertSounds(m_context.services.sound, m_context.state.dataDir));
    host.addPanel(PanelSlot::QuickChat, m_quickChat);
    connect(m_quickChat, &QuickChatPanel::sendRequested, this, &CommunitySubsystem::sendQuickChat);
    connect(&m_context.statusLine, &StatusLine::flashEnded, m_quickChat, &QuickChatPanel::EndHighlight);
}

void CommunitySubsystem::buildMenus(MenuHost &host)
{
    connect(host.addMenuItem(MenuPlace::Observers, QStringLiteral("mnuListObservers"),
                             QStringLiteral("&List Observers")),
            &QAction::triggered, this, &CommunitySubsystem::mnuListObservers_Click);
    connect(host.addMenuItem(MenuPlace::Observers, QStringLiteral("mnuActiveChats"),
                             QStringLiteral("&Active Chats")),
            &QAction::triggered, this, &CommunitySubsystem::mnuActiveChats_Click);
    connect(host.addMenuItem(MenuPlace::Observers, QStringLiteral("mnuFilter"), QStringLiteral("&Filter")),
            &QAction::triggered, this, &CommunitySubsystem::mnuFilter_Click);
    m_alertAction = host.addMenuItem(MenuPlace::Observers, QStringLiteral("mnuNewObserverAlert"),
                                     QStringLiteral("Alert on &New Observer Sign In"));
    m_alertAction->setCheckable(true);
    connect(m_alertAction, &QAction::triggered, this, &CommunitySubsystem::mnuNewObserverAlert_Click);
    QAction *messaging = host.addMenuItem(MenuPlace::MenuBar, QStringLiteral("mnuMessaging"),
                                          QStringLiteral("Send &Messages"));
    messaging->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
    messaging->setShortcutContext(Qt::WindowShortcut);
    connect(messaging, &QAction::triggered, this, &CommunitySubsystem::mnuMessaging_Click);
}

void CommunitySubsystem::beforeMinimize()
{
    // Minimize to Tray takes the messenger off the screen first.
    if (m_msg)
        m_msg->hide();
}

void CommunitySubsystem::loadStep(LoadStep step)
{
    if (step == LoadStep::Started && m_quickChat)
        m_quickChat->startAnnouncementTimer();
}

void CommunitySubsystem::minute()
{
    m_activeChats.Purge(m_context.services.clock.localNow());
}

void CommunitySubsystem::closeWindows()
{
    for (QWidget *w : std::initializer_list<QWidget *>{m_msg.get(), m_activeChatsWindow.get(),
                                                       m_observersWindow.get(), m_alertWindow.get()})
        if (w)
            w->close();
}

bool CommunitySubsystem::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_lblRecentContacts && event->type() == QEvent::MouseButtonRelease)
        mnuMessaging_Click();
    return QObject::eventFilter(watched, event);
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
