#pragma once

#include "base/message_addressing.h"
#include "base/ui/subsystem.h"
#include "community/active_chats.h"
#include "community/observers.h"
#include "community/ui/quick_chat_panel.h"

#include <QLabel>
#include <QObject>
#include <QPointer>

#include <memory>

class frmActiveChats;
class frmMsg;
class frmNewObserverAlert;
class frmObservers;
class QAction;

// Talking to other spotters: the messenger, the quick-chat panel (which
// gives its place to the server's announcement picture), the conversations
// of the last two hours, the observers and the filter list of blocked users.
class CommunitySubsystem final : public QObject, public Subsystem, public MessageAddressing
{
    Q_OBJECT
public:
    explicit CommunitySubsystem(const ClientContext &context, QObject *parent = nullptr);
    ~CommunitySubsystem() override;

    void buildWindows(SubsystemHost &host) override;
    void buildMenus(MenuHost &host) override;
    void loadStep(LoadStep step) override;
    void minute() override;
    void closeWindows() override;
    void beforeMinimize() override;
    bool inputEmpty() const override;
    void escape(bool allInputWasEmpty) override;

    // The server's picture over the quick-chat place; shown once the main
    // window exists.
    void ShowAnnouncement(const QString &imagePath, const QString &tooltip, const QString &link);
    void mnuFilter_Click();

    QuickChatPanel *quickChat() const { return m_quickChat; }
    void startMessageTo(const QString &user) override;
    void mnuMessaging_Click();
    void sendQuickChat(const QString &text);
    // Created on first use: the first message for the user creates it.
    frmMsg &messenger();
    // The current weather graphic for the messenger's picture, kept until
    // the messenger exists.
    void ShowGraphic(const QString &path);
    MessageAddressing &messageAddressing() { return *this; }
    // Any status line the client shows for a report also goes to the
    // monitor pane.
    void AppendToMonitor(const QString &line);

    ActiveChatsModel &activeChats() { return m_activeChats; }
    void mnuActiveChats_Click();
    frmActiveChats *activeChatsWindow() const { return m_activeChatsWindow.get(); }

    ObserverList &observers() { return m_observers; }
    void mnuListObservers_Click();
    void mnuNewObserverAlert_Click();
    bool newObserverAlert() const { return m_newObserverAlert; }
    frmObservers *observersWindow() const { return m_observersWindow.get(); }
    frmNewObserverAlert *newObserverAlertWindow() const { return m_alertWindow.get(); }
    QLabel *lblRecentContacts() const { return m_lblRecentContacts; }

signals:
    void fullScreenImageRequested();
    void signOnRequested();
    void messageForUser(const QString &from, const QString &to, const QString &text);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void HandleObserverSignOn(const QString &message);
    void HandleObserverSignOff(const QString &message);
    void showObserverDecision(const ObserverDecision &d);
    frmObservers &ensureObserversWindow();

    ClientContext m_context;
    QWidget *m_window = nullptr;
    QPointer<QuickChatPanel> m_quickChat;
    std::unique_ptr<frmMsg> m_msg;
    QString m_graphic;
    ActiveChatsModel m_activeChats;
    std::unique_ptr<frmActiveChats> m_activeChatsWindow;
    ObserverList m_observers;
    std::unique_ptr<frmObservers> m_observersWindow;
    std::unique_ptr<frmNewObserverAlert> m_alertWindow;
    bool m_newObserverAlert = false;
    QAction *m_alertAction = nullptr;
    QPointer<QLabel> m_lblRecentContacts;
};
