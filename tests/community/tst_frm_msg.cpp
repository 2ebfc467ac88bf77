// ctest-label: ui
#include "community/ui/community_subsystem.h"
#include "community/ui/frm_active_chats.h"
#include "community/ui/frm_msg.h"
#include "community/ui/frm_observers.h"
#include "graphics/ui/graphics_panel.h"
#include "graphics/ui/graphics_subsystem.h"
#include "reports_window_fixture.h"

#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTreeView>
#include <QtTest>

using namespace Qt::Literals::StringLiterals;

class TstFrmMsg : public QObject
{
    Q_OBJECT
private slots:
    void messagesReachThePanes()
    {
        ReportsWindow w(u"ME"_s);
        w.state.groupList = {u"ALL"_s, u"WXCHAT"_s};
        w.arrive(ServerMessage(u"MSG", {u"me"_s, u"BOB"_s, EscapeOutgoing(u"a|b"_s)}));
        w.arrive(ServerMessage(u"MSG", {u"SKYWARN"_s, u"BOB"_s, u"not mine"_s}));
        w.arrive(ServerMessage(u"MSG", {u"QUICKCHAT"_s, u"BOB"_s, u"quick"_s}));
        frmMsg &msg = w.client->community().messenger();
        msg.flushPanes();
        QVERIFY(msg.txtMessage->toPlainText().endsWith(u"\na|b"_s));
        QVERIFY(!msg.txtMessage->toPlainText().contains(u"not mine"_s));
        QVERIFY(msg.txtMonitor->toPlainText().contains(u"not mine"_s));
        QVERIFY(msg.txtMonitor->toPlainText().endsWith(u"quick"_s));
        QCOMPARE(msg.txtCall->text(), u"BOB"_s);
        QTRY_VERIFY(
            w.form->findChild<QPlainTextEdit *>(u"QCRec"_s)->toPlainText().contains(u"BOB:   quick  "_s));
        QVERIFY(w.statusLabel()->text().startsWith(u"Active Chat  -  From: BOB  To: QUICKCHAT - quick"_s));

        // the pane keeps exactly its last characters
        const QString big(Messages::PaneCap, u'x');
        AppendCapped(msg.txtMonitor, big + u"END"_s);
        QCOMPARE(msg.txtMonitor->toPlainText(), big.mid(3) + u"END"_s);
        // a burst written in one piece ends with the same text as line by line
        for (int lines : {3, 4000}) {
            QPlainTextEdit oneByOne, together;
            PaneWriter writer(&together, 500);
            for (int i = 0; i < lines; ++i) {
                const QString line = u"line %1\r\nmore"_s.arg(i);
                AppendCapped(&oneByOne, line, 500);
                writer.append(line);
            }
            writer.flush();
            QCOMPARE(together.toPlainText(), oneByOne.toPlainText());
        }

        // "all" asks first; No sends nothing and keeps the text
        w.state.signedOn = true;
        w.dialogs.answers.enqueue(Dialogs::No);
        msg.txtCall->setText(u"all"_s);
        msg.txtMsg->setPlainText(u"hello"_s);
        msg.SendMsg();
        QCOMPARE(w.dialogs.shown.last().title, u"Confirm Send to All"_s);
        QCOMPARE(msg.txtMsg->toPlainText(), u"hello"_s);
    }

    // The conversation list and the observer list address the messenger.
    void listsAddressTheMessenger()
    {
        ReportsWindow w(u"ME"_s);
        CommunitySubsystem &community = w.client->community();
        w.arrive(ServerMessage(u"MSG", {u"WXCHAT"_s, u"SPOTTER2"_s, u"hi"_s}));
        w.clock.advance(3600);
        w.arrive(ServerMessage(u"MSG", {u"QUICKCHAT"_s, u"BOB"_s, u"q"_s}));
        w.form->findChild<QAction *>(u"mnuActiveChats"_s)->trigger();
        frmActiveChats *chats = community.activeChatsWindow();
        QVERIFY(chats->isVisible());
        QCOMPARE(chats->ListView1->model()->rowCount(), 2);
        chats->grab().save(u"/tmp/shots/frmActiveChats.png"_s);
        // the minute step drops the row past two hours
        w.clock.advance(3601);
        w.form->Timer2_Timer();
        QCOMPARE(chats->ListView1->model()->rowCount(), 1);
        const QModelIndex row = chats->ListView1->model()->index(0, 2);
        emit chats->ListView1->clicked(row);
        QVERIFY(!chats->isVisible());
        QCOMPARE(community.messenger().txtCall->text(), u"BOB"_s);

        // while listing, arrivals are rows; a click addresses and ends it
        community.mnuListObservers_Click();
        frmObservers *list = community.observersWindow();
        for (const QString &user : {u"SPOTTER7"_s, u"ALICE"_s})
            w.arrive(ServerMessage(u"GOB", {u"MD"_s, u"HARFORD"_s, u"21014"_s, user, u"7"_s}));
        QCOMPARE(list->lblTotal->text(), u"Total = 2"_s);
        QCOMPARE(community.lblRecentContacts()->toolTip(), u"There are 7 observers currently connected."_s);
        list->grab().save(u"/tmp/shots/frmObservers.png"_s);
        emit list->List1->itemClicked(list->List1->item(1));
        QCOMPARE(community.messenger().txtCall->text(), u"SPOTTER7"_s);
        QVERIFY(!community.observers().listing());
        // closing by the title bar ends the listing too; later arrivals are announced
        community.mnuListObservers_Click();
        list->close();
        QVERIFY(!community.observers().listing());
        QFile wav(w.state.filePath(AlertSounds::MessageFile));
        QVERIFY(wav.open(QIODevice::WriteOnly));
        w.form->findChild<QAction *>(u"mnuNewObserverAlert"_s)->trigger();
        w.arrive(ServerMessage(u"GOB", {u"MD"_s, u"HARFORD"_s, u"21014"_s, u"CAROL"_s, QString()}));
        QCOMPARE(w.statusLabel()->text(), u"New Observer!  -  MD  HARFORD  21014  CAROL"_s);
        community.messenger().flushPanes();
        QVERIFY(community.messenger().txtMonitor->toPlainText().endsWith(
            u"New Observer!  -  MD  HARFORD  21014  CAROL"_s));
        QVERIFY(community.newObserverAlertWindow()->isVisible());
        QCOMPARE(w.sound.played, QStringList{wav.fileName()});
    }

    // A message for the user brings a minimised messenger back to normal
    // size; it shows the main window's graphic, and a click asks for it full size.
    void frontAndGraphic()
    {
        ReportsWindow w(u"ME"_s);
        frmMsg &msg = w.client->community().messenger();
        msg.showMinimized();
        w.arrive(ServerMessage(u"MSG", {u"ME"_s, u"BOB"_s, u"hello"_s}));
        QVERIFY(msg.isVisible() && !msg.isMinimized());

        QImage picture(40, 30, QImage::Format_RGB32);
        picture.fill(Qt::red);
        const QString path = w.state.filePath(u"MessageGraphic.png"_s);
        QVERIFY(picture.save(path));
        emit w.client->graphics().pictureChanged(path);
        QVERIFY(!msg.imgGraphic->pixmap().isNull());
        emit w.client->graphics().pictureChanged(w.state.filePath(u"missing.gif"_s));
        QVERIFY(!msg.imgGraphic->pixmap().isNull());
        QSignalSpy full(&w.client->community(), &CommunitySubsystem::fullScreenImageRequested);
        QTest::mouseClick(msg.imgGraphic, Qt::LeftButton);
        QCOMPARE(full.size(), 1);
    }

    void invitationsAndActivation()
    {
        ReportsWindow w(u"ME"_s);
        w.state.signedOn = true;
        frmMsg &msg = w.client->community().messenger();
        w.dialogs.inputs << u" chat-me "_s << u"bob"_s << u""_s;
        msg.Command6_Click();
        QCOMPARE(w.dialogs.shown.at(0).title, u"Enter Group Name"_s);
        QCOMPARE(w.dialogs.shown.at(1).title, u"Invite Users!"_s);
        QCOMPARE(w.dialogs.shown.size(), 3); // the empty name ends the invitations
        QVERIFY(w.state.groupList.contains(u"CHAT-ME"_s));
        QCOMPARE(msg.txtCall->text(), u"CHAT-ME"_s);
        QVERIFY(msg.txtMsg->toPlainText().isEmpty());

        // From the second activation on, the chat pane shows its newest line;
        // with an addressee in To the caret waits in the message box.
        msg.show();
        QVERIFY(QTest::qWaitForWindowActive(&msg));
        msg.txtMessage->moveCursor(QTextCursor::Start);
        w.form->show();
        w.form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.form));
        msg.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&msg));
        QVERIFY(msg.txtMessage->textCursor().atEnd());
        QVERIFY(msg.txtMsg->hasFocus());
    }
};

QTEST_MAIN(TstFrmMsg)
#include "tst_frm_msg.moc"
