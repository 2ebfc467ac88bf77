#include "community/ui/frm_msg.h"

#include "platform/ui/qt_platform.h"

#include "base/alert_sounds.h"
#include "base/client_state.h"
#include "base/file_lines.h"
#include "base/list_files.h"
#include "base/status_line.h"
#include "base/ui/list_editor_window.h"
#include "base/ui/pane_writer.h"
#include "base/ui/scale_window.h"
#include "base/ui/subsystem.h"
#include "base/ui/typing_filter.h"
#include "net/protocol.h"
#include "net/server_link.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/sound_player.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTextBlock>
#include <QTextCursor>
#include <QTimer>

using namespace Qt::StringLiterals;

frmMsg::frmMsg(const ClientContext &context, QWidget *parent)
    : QWidget(parent, Qt::Window), m_context(context)
{
    setObjectName(u"frmMsg"_s);
    setWindowTitle(u"WX Messenger (Ctrl M)"_s);
    auto *grid = new QGridLayout(this);
    auto pane = [this](const QString &name) {
        auto *p = new QPlainTextEdit(this);
        p->setObjectName(name);
        p->setReadOnly(true);
        p->viewport()->installEventFilter(this);
        return p;
    };
    txtMessage = pane(u"txtMessage"_s);
    txtMessage->setPlainText(Messages::HelpText());
    txtMonitor = pane(u"txtMonitor"_s);
    grid->addWidget(new QLabel(u"Your Chat Window"_s, this), 0, 0);
    grid->addWidget(txtMessage, 1, 0, 1, 2);
    grid->addWidget(new QLabel(u"Monitor Window - monitors all Nimbrel activity"_s, this), 2, 0);
    grid->addWidget(txtMonitor, 3, 0, 1, 2);
    auto *clearChat = new QPushButton(u"Clear"_s, this);
    clearChat->setObjectName(u"Command5"_s);
    auto *clearMonitor = new QPushButton(u"Clear"_s, this);
    clearMonitor->setObjectName(u"Command8"_s);
    grid->addWidget(clearChat, 0, 1, Qt::AlignRight);
    grid->addWidget(clearMonitor, 2, 1, Qt::AlignRight);

    grid->addWidget(new QLabel(u"To:"_s, this), 4, 0);
    txtCall = new QLineEdit(this);
    txtCall->setObjectName(u"txtCall"_s);
    txtCall->installEventFilter(this);
    InstallCapitalKeys(txtCall, CapitalKeys::Every);
    grid->addWidget(txtCall, 5, 0, 1, 2);
    grid->addWidget(new QLabel(u"Message"_s, this), 6, 0);
    txtMsg = new QPlainTextEdit(Messages::InitialMessageText(), this);
    txtMsg->setObjectName(u"txtMsg"_s);
    txtMsg->setMaximumHeight(90);
    txtMsg->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    txtMsg->installEventFilter(this);
    InstallCapitalKeys(txtMsg, CapitalKeys::First);
    grid->addWidget(txtMsg, 7, 0, 1, 2);

    auto *side = new QGridLayout;
    side->addWidget(new QLabel(u"Receive Messages Addressed to these groups:"_s, this), 0, 0, 1, 2);
    List1 = new QListWidget(this);
    List1->setObjectName(u"List1"_s);
    List1->setToolTip(u"Double Click to remove a group.  Click once to place a group in the To field."_s);
    List1->setSortingEnabled(true);
    for (const QString &group : m_context.state.groupList)
        new CaselessItem(group, List1);
    side->addWidget(List1, 1, 0, 1, 2);
    Text1 = new QLineEdit(this);
    Text1->setObjectName(u"Text1"_s);
    InstallCapitalKeys(Text1, CapitalKeys::Every);
    auto *add = new QPushButton(u"&Add"_s, this);
    add->setObjectName(u"Command2"_s);
    side->addWidget(Text1, 2, 0);
    side->addWidget(add, 2, 1);
    chkAway = new QCheckBox(
        u"Send away reply for messages addressed to "_s + m_context.state.settings.UserName, this);
    chkAway->setObjectName(u"chkAway"_s);
    chkAway->setToolTip(u"Setting is not saved when program is closed."_s);
    Check1 = new QCheckBox(u"Don't move to front for this session"_s, this);
    Check1->setObjectName(u"Check1"_s);
    Check1->setToolTip(u"Setting is not saved when program is closed."_s);
    Check2 = new QCheckBox(u"Disable audio alert for this session"_s, this);
    Check2->setObjectName(u"Check2"_s);
    Check3 = new QCheckBox(u"Save message text to file for this session"_s, this);
    Check3->setObjectName(u"Check3"_s);
    int row = 3;
    for (QCheckBox *c : {chkAway, Check1, Check2, Check3})
        side->addWidget(c, row++, 0, 1, 2);
    side->addWidget(new QLabel(u"Font Size"_s, this), row++, 0, 1, 2);
    auto *bigger = new QPushButton(u"Bigger"_s, this);
    bigger->setObjectName(u"Command3"_s);
    auto *smaller = new QPushButton(u"Smaller"_s, this);
    smaller->setObjectName(u"Command4"_s);
    side->addWidget(bigger, row, 0);
    side->addWidget(smaller, row++, 1);
    auto *invite = new QPushButton(u"&Invite others to your group!"_s, this);
    invite->setObjectName(u"Command6"_s);
    side->addWidget(invite, row++, 0, 1, 2);
    auto *activeChats = new QPushButton(u"&View Active Chats"_s, this);
    activeChats->setObjectName(u"cmdActiveChat"_s);
    auto *observers = new QPushButton(u"&List Observers"_s, this);
    observers->setObjectName(u"Command9"_s);
    side->addWidget(activeChats, row, 0);
    side->addWidget(observers, row++, 1);
    Command1 = new QPushButton(u"&Minimize"_s, this);
    Command1->setObjectName(u"Command1"_s);
    Command7 = new QPushButton(u"&Close"_s, this);
    Command7->setObjectName(u"Command7"_s);
    side->addWidget(Command1, row, 0);
    side->addWidget(Command7, row++, 1);
    imgGraphic = new QLabel(this);
    imgGraphic->setObjectName(u"imgGraphic"_s);
    imgGraphic->setToolTip(u"Click for full screen image."_s);
    imgGraphic->setAlignment(Qt::AlignCenter);
    imgGraphic->setMinimumSize(200, 150);
    imgGraphic->setCursor(Qt::PointingHandCursor);
    imgGraphic->installEventFilter(this);
    side->addWidget(imgGraphic, row++, 0, 1, 2);
    side->setRowStretch(1, 1);
    side->setColumnStretch(0, 1);
    side->setColumnStretch(1, 1);
    grid->addLayout(side, 0, 2, 8, 1);
    grid->setColumnStretch(0, 1);
    ScaleWindow(this, FormScaling::WindowGroup::Main, QSize(800, 570));

    m_chatWriter = new PaneWriter(txtMessage, Messages::PaneCap);
    m_monitorWriter = new PaneWriter(txtMonitor, Messages::PaneCap);
    m_timer1 = new QTimer(this);
    m_timer1->setInterval(500);
    m_timer1->setSingleShot(true);
    connect(m_timer1, &QTimer::timeout, this, [this] {
        for (QPlainTextEdit *p : {txtMessage, txtMonitor})
            if (p->property("highlighted").toBool()) {
                p->setProperty("highlighted", false);
                p->setPalette(palette());
            }
    });
    connect(clearChat, &QPushButton::clicked, this, [this] {
        m_chatWriter->flush();
        txtMessage->clear();
        txtCall->setFocus();
    });
    connect(clearMonitor, &QPushButton::clicked, this, [this] {
        m_monitorWriter->flush();
        txtMonitor->clear();
        txtCall->setFocus();
    });
    auto scale = [this](double f) {
        for (QPlainTextEdit *p : {txtMessage, txtMonitor}) {
            QFont font = p->font();
            font.setPointSizeF(font.pointSizeF() * f);
            p->setFont(font);
        }
        Command1->setFocus();
    };
    connect(bigger, &QPushButton::clicked, this, [scale] { scale(1.15); });
    connect(smaller, &QPushButton::clicked, this, [this, scale] {
        if (txtMessage->font().pointSizeF() > 3)
            scale(0.85);
    });
    connect(invite, &QPushButton::clicked, this, &frmMsg::Command6_Click);
    connect(activeChats, &QPushButton::clicked, this, &frmMsg::activeChatsRequested);
    connect(observers, &QPushButton::clicked, this, [this] {
        txtMsg->setFocus();
        emit listObserversRequested();
    });
    connect(Check3, &QCheckBox::clicked, this, &frmMsg::Check3_Click);
    for (QCheckBox *c : {Check1, Check2})
        connect(c, &QCheckBox::clicked, Command1, [this] { Command1->setFocus(); });
    connect(Command1, &QPushButton::released, this, &QWidget::showMinimized);
    connect(Command7, &QPushButton::clicked, this, &QWidget::hide);
    connect(chkAway, &QCheckBox::toggled, this, [this](bool on) {
        Command7->setEnabled(!on);
        if (on) {
            txtMsg->setPlainText(Messages::AwayText());
            Command1->setFocus();
        } else {
            txtMsg->clear();
            txtMsg->setFocus();
        }
    });
    auto addTyped = [this] {
        addGroup(Text1->text());
        Text1->clear();
    };
    connect(add, &QPushButton::clicked, this, addTyped);
    connect(Text1, &QLineEdit::returnPressed, this, addTyped);
    // Escape anywhere in the window, whichever control has the focus.
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WindowShortcut);
    connect(escape, &QShortcut::activated, txtMsg, &QPlainTextEdit::clear);
    connect(List1, &QListWidget::itemClicked, this, [this](QListWidgetItem *item) {
        txtCall->setText(item->text());
        txtMsg->setFocus();
    });
    connect(List1, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem *item) {
        delete item;
        txtMsg->setFocus();
        SaveGroupList();
    });
}

void frmMsg::addGroup(const QString &typed)
{
    if (typed.trimmed().isEmpty())
        return;
    if (List1->count() >= Messages::MaxGroups) {
        m_context.services.dialogs.messageBox(Messages::GroupListFullMessage(), u"Nimbrel"_s);
        return;
    }
    new CaselessItem(typed.trimmed(), List1);
    SaveGroupList();
}

void frmMsg::SaveGroupList()
{
    QStringList groups;
    for (int i = 0; i < List1->count(); ++i)
        groups << List1->item(i)->text();
    m_context.state.groupList = groups;
    QString why;
    const bool saved = SaveGroupListFile(m_context.state, &why);
    if (const QString notice = SaveFailureNotice(m_context.state, GroupListFileName, saved, why);
        !notice.isEmpty())
        m_context.services.dialogs.messageBox(notice, windowTitle(), Dialogs::OkOnly, Dialogs::Warning);
}

MessengerView frmMsg::view() const
{
    return {m_context.state.settings.UserName,
            m_context.state.groupList,
            m_context.state.filterList,
            isVisible(),
            Check1->isChecked(),
            chkAway->isChecked(),
            txtMsg->toPlainText(),
            m_context.services.clock.localNow().time(),
            m_context.services.clock.utcNow()};
}

void frmMsg::HandleMessage(const QString &message)
{
    const MessageDecision d = ::HandleMessage(message, view(), m_blocked, m_awayReplies);
    if (d.dropped)
        return;
    if (!d.quickChatLine.isEmpty())
        emit quickChatLine(d.quickChatLine);
    if (d.showInChat) {
        if (!isVisible() && d.showWindow)
            show();
        if (d.toBox)
            txtCall->setText(*d.toBox);
        ShowInChatWindow(d.line);
    }
    if (d.forUser)
        emit messageForUser(d.from, d.to, d.text);
    emit activeChat(d.from, d.to);
    if (d.awayReplyTo) {
        const QString kept = txtMsg->toPlainText();
        txtCall->setText(*d.awayReplyTo);
        SendMsg();
        txtMsg->setPlainText(kept);
    }
    m_context.statusLine.showHeld(d.statusLine);
    m_context.statusLine.flash({255, 255, 255}, {0, 0, 255});
    AppendToMonitor(d.line);
}

void frmMsg::HandleSystemMessage(const QString &message)
{
    const MessageDecision d = ::HandleSystemMessage(message, view());
    ShowInChatWindow(d.line);
    AppendToMonitor(d.line);
    if (d.showWindow && !isVisible())
        show();
}

void frmMsg::highlight(QPlainTextEdit *pane)
{
    // Once per highlight, not per message: a burst must not restyle the
    // pane thousands of times.
    if (!pane->property("highlighted").toBool()) {
        pane->setProperty("highlighted", true);
        QPalette cyan = palette();
        cyan.setColor(QPalette::Base, QColor(0, 255, 255));
        pane->setPalette(cyan);
    }
    m_timer1->start();
}

void frmMsg::ShowInChatWindow(const QString &line)
{
    if (!Check1->isChecked())
        show();
    highlight(txtMessage);
    m_chatWriter->append(line);
    if (!Check2->isChecked())
        AlertSounds(m_context.services.sound, m_context.state.dataDir).PlayMessageSound();
    if (!Check1->isChecked()) {
        if (isMinimized() || isMaximized())
            showNormal();
        // In front of other programs without staying on top.
        QtWindowActions(this, nullptr).bringToFront();
    }
    if (!MessageLogPath.isEmpty() && Check3->isChecked()) {
        // Said once: the box unticks and logging stops, rather than failing
        // quietly at every message.
        if (const auto error = AppendMessageLog(MessageLogPath, line + u"\r\n\r\n"_s)) {
            Check3->setChecked(false);
            m_context.statusLine.show(FileLines::LogStoppedText(QFileInfo(MessageLogPath).fileName(), *error),
                                      StatusStyle::Red);
            MessageLogPath.clear();
        }
    }
}

void frmMsg::AppendToMonitor(const QString &line)
{
    highlight(txtMonitor);
    m_monitorWriter->append(line);
}

void frmMsg::flushPanes()
{
    m_chatWriter->flush();
    m_monitorWriter->flush();
}

void frmMsg::SendMsg()
{
    txtCall->setText(txtCall->text().trimmed());
    if (!m_context.state.signedOn) {
        emit signOnRequested();
        return;
    }
    if (ProfanityCheck(txtMsg->toPlainText(), m_context.services.dialogs)) {
        txtMsg->clear();
        return;
    }
    const QString to = txtCall->text();
    if (const auto question = SendConfirmation(to)) {
        if (m_context.services.dialogs.messageBox(question->text, question->title, Dialogs::YesNo,
                                                  Dialogs::Question, Dialogs::No) != Dialogs::Yes)
            return;
    }
    // The name travels as stored: it is kept escaped.
    const QString &user = m_context.state.settings.UserName;
    if (user.size() < 2 || to.isEmpty() || txtMsg->toPlainText().isEmpty())
        return;
    const QString escaped = EscapeOutgoing(txtMsg->toPlainText());
    // The box breaks lines with LF alone; the wire carries CR LF.
    QString text = escaped;
    text.replace(u'\n', u"\r\n"_s);
    // Link down: the typed text stays as it is and the status line says so.
    if (!m_context.link.SendTyped(ServerMessage(u"MSG", {to, user, text})))
        return;
    txtMsg->setPlainText(escaped);
}

void frmMsg::startMessageTo(const QString &user)
{
    txtCall->setText(user);
    showNormal();
    raise();
    activateWindow();
    txtMsg->setFocus();
}

void frmMsg::Command6_Click()
{
    const QString &user = m_context.state.settings.UserName;
    Dialogs &dialogs = m_context.services.dialogs;
    const QString group = dialogs
                              .inputBox(u"Please enter your group name that you would like to use."_s,
                                        u"Enter Group Name"_s, u"CHAT-"_s + user)
                              .value_or(QString())
                              .toUpper()
                              .trimmed();
    if (group.isEmpty()) {
        Command1->setFocus();
        return;
    }
    const bool known = std::any_of(m_context.state.groupList.cbegin(), m_context.state.groupList.cend(),
                                   [&](const QString &g) { return g.toUpper() == group; });
    if (!known)
        addGroup(group);
    for (;;) {
        const QString name =
            dialogs
                .inputBox(
                    u"Please enter each user name that you would like to invite.  Enter one user name at a "
                    u"time and press enter.  When you have invited all the users that you wish, press "
                    u"enter while the field is blank."_s,
                    u"Invite Users!"_s)
                .value_or(QString())
                .toUpper()
                .trimmed();
        if (name.isEmpty())
            break;
        txtCall->setText(name);
        txtMsg->setPlainText(u"You have been invited to join a chat group by "_s + user +
                             u".  Please add "_s + group +
                             u" to your group list now if you would like to join!"_s);
        SendMsg();
        txtMsg->clear();
        txtCall->clear();
    }
    txtCall->setText(group);
    txtMsg->setFocus();
}

void frmMsg::Check3_Click()
{
    if (Check3->isChecked()) {
        const QString path =
            m_context.services.dialogs
                .inputBox(u"Please enter a valid path and file name."_s, u"Save Message Text"_s,
                          m_context.state.filePath(u"Messages.txt"_s))
                .value_or(QString());
        MessageLogPath = path;
        if (path.isEmpty()) {
            Check3->setChecked(false);
        } else {
            QString text = txtMessage->toPlainText();
            text.replace(u'\n', u"\r\n"_s);
            if (const auto error = AppendMessageLog(path, text + u"\r\n"_s)) {
                m_context.services.dialogs.messageBox(u"Unable to open "_s + path + u".\r\n\r\n"_s + *error,
                                                      u"Unable to Open File"_s);
                Check3->setChecked(false);
                MessageLogPath.clear();
            }
        }
    } else {
        MessageLogPath.clear();
    }
    txtMsg->setFocus();
}

void frmMsg::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        if (!txtCall->text().isEmpty())
            txtMsg->setFocus();
        if (++m_activations >= 2)
            txtMessage->moveCursor(QTextCursor::End);
        txtMonitor->moveCursor(QTextCursor::End);
    }
    QWidget::changeEvent(event);
}

void frmMsg::ShowGraphic(const QString &path)
{
    // A picture that cannot be read leaves the one shown before.
    const QPixmap picture(path);
    if (picture.isNull())
        return;
    imgGraphic->setPixmap(
        picture.scaled(imgGraphic->minimumSize(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

bool frmMsg::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == imgGraphic && event->type() == QEvent::MouseButtonRelease) {
        emit fullScreenImageRequested();
        return true;
    }
    if (event->type() == QEvent::KeyPress && (watched == txtMsg || watched == txtCall)) {
        auto *key = static_cast<QKeyEvent *>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        if (enter && !(key->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier))) {
            if (!chkAway->isChecked())
                SendMsg();
            if (watched == txtMsg)
                txtMsg->clear();
            return true;
        }
    }
    if (event->type() == QEvent::FocusIn && watched == txtMsg &&
        txtMsg->toPlainText() == Messages::InitialMessageText().trimmed() + u'\n')
        txtMsg->clear();
    if (event->type() == QEvent::MouseButtonRelease &&
        (watched == txtMessage->viewport() || watched == txtMonitor->viewport())) {
        auto *pane = watched == txtMessage->viewport() ? txtMessage : txtMonitor;
        const QTextCursor c = pane->textCursor();
        if (!c.hasSelection())
            txtCall->setText(PickNameFromText(pane->toPlainText(), c.position()));
    }
    return QWidget::eventFilter(watched, event);
}
