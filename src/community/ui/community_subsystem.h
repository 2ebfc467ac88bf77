#pragma once

#include "base/message_addressing.h"
#include "base/ui/subsystem.h"
#include "community/ui/quick_chat_panel.h"

#include <QObject>
#include <QPointer>

#include <memory>

class frmMsg;

// Talking to other spotters: the quick-chat panel (which gives its place to
// the server's announcement picture) and the filter list of blocked users.
class CommunitySubsystem final : public QObject, public Subsystem, public MessageAddressing
{
    Q_OBJECT
public:
    explicit CommunitySubsystem(const ClientContext &context, QObject *parent = nullptr);
    ~CommunitySubsystem() override;

    void buildWindows(SubsystemHost &host) override;
    void loadStep(LoadStep step) override;
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
    MessageAddressing &messageAddressing() { return *this; }

signals:
    void signOnRequested();

private:
    ClientContext m_context;
    QWidget *m_window = nullptr;
    QPointer<QuickChatPanel> m_quickChat;
    std::unique_ptr<frmMsg> m_msg;
};
