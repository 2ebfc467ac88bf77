#pragma once

#include "base/content_filters.h"
#include "community/messages.h"

#include <QWidget>

#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class PaneWriter;
class QPlainTextEdit;
class QPushButton;
class QTimer;
struct ClientContext;

// The messenger: the chat pane (messages for this user), the monitor pane
// (all traffic), the group list and the message being written.
class frmMsg final : public QWidget
{
    Q_OBJECT
public:
    frmMsg(const ClientContext &context, QWidget *parent = nullptr);

    void HandleMessage(const QString &message);
    // Writes the lines waiting for the chat and monitor panes now.
    void flushPanes();
    void HandleSystemMessage(const QString &message);
    void AppendToMonitor(const QString &line);
    void ShowInChatWindow(const QString &line);
    void SendMsg();
    void startMessageTo(const QString &user);
    // The weather graphic the main window shows, small.
    void ShowGraphic(const QString &path);
    void Command6_Click(); // invitations
    void Check3_Click();   // the message log

    QPlainTextEdit *txtMessage = nullptr;
    QPlainTextEdit *txtMonitor = nullptr;
    QLineEdit *txtCall = nullptr;
    QLabel *imgGraphic = nullptr;
    QPlainTextEdit *txtMsg = nullptr;
    QListWidget *List1 = nullptr;
    QCheckBox *chkAway = nullptr;
    QCheckBox *Check1 = nullptr;
    QCheckBox *Check2 = nullptr;
    QCheckBox *Check3 = nullptr;
    QString MessageLogPath;

signals:
    void quickChatLine(const QString &line);
    void signOnRequested();
    // Every message that passed the block list, quick chat included.
    void activeChat(const QString &from, const QString &to);
    // A message from someone else to the user or one of his groups.
    void messageForUser(const QString &from, const QString &to, const QString &text);
    void activeChatsRequested();
    void listObserversRequested();
    void fullScreenImageRequested();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    MessengerView view() const;
    void highlight(QPlainTextEdit *pane);
    void SaveGroupList();
    void addGroup(const QString &typed);

    const ClientContext &m_context;
    BlockedUsers m_blocked;
    AwayReplies m_awayReplies;
    QTimer *m_timer1 = nullptr;
    PaneWriter *m_chatWriter = nullptr;
    PaneWriter *m_monitorWriter = nullptr;
    QLineEdit *Text1 = nullptr;
    QPushButton *Command7 = nullptr;
    QPushButton *Command1 = nullptr;
    int m_activations = 0;
};
