// ctest-label: ui
#include "base/list_files.h"
#include "base/ui/pane_writer.h"
#include "client_fixture.h"
#include "community/ui/community_subsystem.h"
#include "community/ui/frm_active_chats.h"
#include "community/ui/frm_filter.h"
#include "community/ui/frm_msg.h"
#include "community/ui/frm_observers.h"
#include "graphics/ui/graphics_panel.h"
#include "graphics/ui/graphics_subsystem.h"
#include "reports/ui/frm_add_counties.h"
#include "scripted_server.h"

#include <QtTest>
#include <QtWidgets>

#include <memory>

// One of the two list windows, "filter" or "counties", over its own state.
struct ListEditor
{
    QTemporaryDir dir;
    ClientState state;
    FakeDialogs dialogs;
    const bool filter;
    explicit ListEditor(const QString &kind) : filter(kind == u"filter"_s) { state.dataDir = dir.path(); }
    QStringList &stored() { return filter ? state.filterList : state.additionalCounties; }
    std::unique_ptr<ListEditorWindow> open()
    {
        if (filter)
            return std::make_unique<frmFilter>(state, dialogs);
        return std::make_unique<frmAddCounties>(state, dialogs);
    }
};

// Real key presses, one per character, as a keyboard types them.
void type(QWidget *box, const QString &text, Qt::KeyboardModifiers modifiers = {})
{
    for (QChar c : text)
        QTest::sendKeyEvent(QTest::Click, box, Qt::Key(c.toUpper().unicode()), QString(c), modifiers);
}

QColor base(QWidget *box)
{
    return box->palette().color(QPalette::Base);
}

// The messenger with its lists, and the two list editor windows.
class TstCommunityWindows : public QObject
{
    Q_OBJECT
private slots:
    void messagesReachThePanes()
    {
        ClientFixture w(u"ME"_s);
        w.state.groupList = {u"WXCHAT"_s, u"sos"_s, u"ALL"_s};
        auto *received = w.form->findChild<QPlainTextEdit *>(u"QCRec"_s);
        w.form->findChild<QCheckBox *>(u"QCCheck"_s)->setChecked(true);
        TestFiles::write(w.state.filePath(AlertSounds::QuickChatFile), "RIFF");
        QCOMPARE(received->toolTip().left(25), u"Quick chat messages are d"_s);
        QCOMPARE(w.form->findChild<QWidget *>(u"txtQCSend"_s)->toolTip().left(19), u"Quick Chat messages"_s);
        w.arrive(ServerMessage(u"MSG", {u"me"_s, u"BOB"_s, EscapeOutgoing(u"a|b"_s)}));
        w.arrive(ServerMessage(u"MSG", {u"SKYWARN"_s, u"BOB"_s, u"not mine"_s}));
        w.client->statusLine().endFlash(); // quick chat comes when nothing flashes
        w.arrive(ServerMessage(u"MSG", {u"QUICKCHAT"_s, u"BOB"_s, u"quick"_s}));
        frmMsg &msg = w.client->community().messenger();
        msg.flushPanes();
        QVERIFY(msg.txtMessage->toPlainText().endsWith(u"\na|b"_s));
        QVERIFY(!msg.txtMessage->toPlainText().contains(u"not mine"_s));
        QVERIFY(msg.txtMonitor->toPlainText().contains(u"not mine"_s));
        QVERIFY(msg.txtMonitor->toPlainText().endsWith(u"quick"_s));
        QCOMPARE(msg.txtCall->text(), u"BOB"_s);
        QTRY_VERIFY(received->toPlainText().contains(u"BOB:   quick  "_s));
        QVERIFY(w.statusLabel()->text().startsWith(u"Active Chat  -  From: BOB  To: QUICKCHAT - quick"_s));
        QCOMPARE(w.sound.played, QStringList{w.state.filePath(AlertSounds::QuickChatFile)});
        // cyan until the status line's flash ends
        QCOMPARE(base(received), QColor(0, 255, 255));
        w.client->statusLine().endFlash();
        QCOMPARE(base(received), w.form->palette().color(QPalette::Base));
        // the group list sorts as people read it, letter case aside
        QCOMPARE(msg.List1->item(1)->text(), u"sos"_s);

        // the pane keeps exactly its last characters
        const QString big(15'000, u'x');
        AppendCapped(msg.txtMonitor, big + u"END"_s, Messages::PaneCap);
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
        ClientFixture w(u"ME"_s);
        CommunitySubsystem &community = w.client->community();
        w.arrive(ServerMessage(u"MSG", {u"WXCHAT"_s, u"SPOTTER2"_s, u"hi"_s}));
        w.clock.advance(3600);
        w.arrive(ServerMessage(u"MSG", {u"QUICKCHAT"_s, u"BOB"_s, u"q"_s}));
        w.form->findChild<QAction *>(u"mnuActiveChats"_s)->trigger();
        frmActiveChats *chats = community.activeChatsWindow();
        QVERIFY(chats->isVisible());
        QCOMPARE(chats->ListView1->model()->rowCount(), 2);
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
        emit list->List1->itemClicked(list->List1->item(1));
        QCOMPARE(community.messenger().txtCall->text(), u"SPOTTER7"_s);
        QVERIFY(!community.observers().listing());
        // closing by the title bar ends the listing too; later arrivals are announced
        community.mnuListObservers_Click();
        list->close();
        QVERIFY(!community.observers().listing());
        QVERIFY(TestFiles::write(w.state.filePath(AlertSounds::MessageFile), {}));
        w.form->findChild<QAction *>(u"mnuNewObserverAlert"_s)->trigger();
        w.arrive(ServerMessage(u"GOB", {u"MD"_s, u"HARFORD"_s, u"21014"_s, u"CAROL"_s, QString()}));
        QCOMPARE(w.statusLabel()->text(), u"New Observer!  -  MD  HARFORD  21014  CAROL"_s);
        community.messenger().flushPanes();
        QVERIFY(community.messenger().txtMonitor->toPlainText().endsWith(
            u"New Observer!  -  MD  HARFORD  21014  CAROL"_s));
        QVERIFY(community.newObserverAlertWindow()->isVisible());
        QCOMPARE(w.sound.played, QStringList{w.state.filePath(AlertSounds::MessageFile)});
    }

    // A message for the user brings a minimised messenger back to normal
    // size; it shows the main window's graphic, and a click asks for it full size.
    void frontAndGraphic()
    {
        ClientFixture w(u"ME"_s);
        frmMsg &msg = w.client->community().messenger();
        msg.showMinimized();
        w.arrive(ServerMessage(u"MSG", {u"ME"_s, u"BOB"_s, u"hello"_s}));
        QVERIFY(msg.isVisible() && !msg.isMinimized());
        w.form->cmdMinimize_Click(); // to the tray, the messenger first
        QVERIFY(!msg.isVisible());

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
        ClientFixture w(u"ME"_s);
        w.state.signedOn = true;
        for (int i = 0; i < 998; ++i)
            w.state.groupList << u"G%1"_s.arg(i);
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
        // Escape anywhere in the window empties the message box
        for (QWidget *at :
             std::initializer_list<QWidget *>{msg.txtCall, msg.List1, msg.Check2, msg.txtMonitor}) {
            msg.txtMsg->setPlainText(u"draft"_s);
            at->setFocus();
            QTest::keyClick(at, Qt::Key_Escape);
            QVERIFY2(msg.txtMsg->toPlainText().isEmpty(), qPrintable(at->objectName()));
        }

        // The group list takes a 1,000th group and refuses the next with a box.
        const qsizetype boxes = w.dialogs.shown.size();
        auto *text1 = msg.findChild<QLineEdit *>(u"Text1"_s);
        for (const QString &g : {u"ONE"_s, u"TWO"_s}) {
            text1->setText(g);
            emit text1->returnPressed();
        }
        QCOMPARE(msg.List1->count(), 1000);
        QVERIFY(w.state.groupList.contains(u"ONE"_s) && !w.state.groupList.contains(u"TWO"_s));
        QCOMPARE(w.dialogs.shown.size(), boxes + 1);
    }

    // Typed a to z become capitals where the network expects them; every
    // other key, accented letters included, stays as typed.
    void typingCapitals_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::newRow("To box, every key") << u"txtCall"_s << u"wxé ß€a"_s << u"WXé ß€A"_s;
        QTest::newRow("group, every key") << u"Text1"_s << u"sky ü"_s << u"SKY ü"_s;
        QTest::newRow("message, first letter") << u"txtMsg"_s << u"abc"_s << u"Abc"_s;
        QTest::newRow("message, accented first") << u"txtMsg"_s << u"éa"_s << u"éa"_s;
        QTest::newRow("quick chat, first letter") << u"txtQCSend"_s << u"hello"_s << u"Hello"_s;
        QTest::newRow("quick chat, ß first") << u"txtQCSend"_s << u"ßa"_s << u"ßa"_s;
        QTest::newRow("quick chat, € first") << u"txtQCSend"_s << u"€a"_s << u"€a"_s;
    }
    void typingCapitals()
    {
        QFETCH(QString, box);
        ClientFixture w(u"ME"_s);
        frmMsg &msg = w.client->community().messenger();
        QWidget *target = msg.findChild<QWidget *>(box);
        if (!target)
            target = w.form->findChild<QWidget *>(box);
        QFETCH(QString, typed);
        QMetaObject::invokeMethod(target, "clear");
        type(target, typed);
        const QVariant text = target->property(qobject_cast<QLineEdit *>(target) ? "text" : "plainText");
        QTEST(text.toString(), "shown");
    }

    // The user name travels as stored: with bytes 128 and 130 in it, the
    // escapes of "|" and "^", it stays one field on the wire.
    void userNameAsStored()
    {
        ScriptedServer server;
        QVERIFY(server.listen());
        ClientFixture w(u"WX\u20ACMA\u201AN"_s);
        w.link->connectTo(u"127.0.0.1"_s, QString::number(server.port()));
        QTRY_COMPARE(w.link->state(), ServerLink::LinkState::Connected);
        w.state.signedOn = true;
        frmMsg &msg = w.client->community().messenger();
        QVERIFY(msg.chkAway->text().endsWith(u" WX\u20ACMA\u201AN"_s));
        w.arrive(ServerMessage(u"GOB", {u"MD"_s, u"HARFORD"_s, u"21014"_s, w.state.settings.UserName, {}}));
        QVERIFY(!w.statusLabel()->text().startsWith(u"New Observer"_s));
        w.arrive(ServerMessage(u"MSG", {w.state.settings.UserName, u"BOB"_s, u"for me"_s}));
        msg.flushPanes();
        QVERIFY(msg.txtMessage->toPlainText().endsWith(u"for me"_s));

        // a line break typed with Shift goes out as CR LF
        msg.txtCall->setText(u"BOB"_s);
        msg.txtMsg->clear();
        type(msg.txtMsg, u"a"_s);
        QTest::keyClick(msg.txtMsg, Qt::Key_Return, Qt::ShiftModifier);
        type(msg.txtMsg, u"b"_s);
        QTest::keyClick(msg.txtMsg, Qt::Key_Return);
        w.client->community().sendQuickChat(u"hi"_s);
        QTRY_COMPARE(server.received().size(), 2);
        QCOMPARE(WireCodec::encode(server.received().join(QString())),
                 ":MSG|BOB|WX\x80MA\x82N|A\r\nb|^:MSG|QUICKCHAT|WX\x80MA\x82N|hi|^"_ba);
    }

    void addRemoveStore_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QStringList>("initial");
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("limit");
        // Only the filter keeps its names in alphabetical order, whatever their
        // case; both keep duplicates and trailing spaces as typed.
        QTest::newRow("filter") << u"filter"_s << QStringList{u"ZED"_s, u"AL"_s, u"bob"_s}
                                << QByteArray("AL\r\nAL\r\nbob\r\nTROLL \r\n") << 2000;
        QTest::newRow("counties") << u"counties"_s << QStringList{u"ZED"_s} << QByteArray("TROLL \r\nAL\r\n")
                                  << 1000;
    }
    void addRemoveStore()
    {
        QFETCH(QString, kind);
        QFETCH(QStringList, initial);
        ListEditor e(kind);
        e.stored() = initial;
        const auto window = e.open();
        ListEditorWindow &w = *window;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTest::keyClicks(w.Text1, u"tr\"o:l|l^ "_s);
        QCOMPARE(w.Text1->text(), u"TROLL "_s);
        QTest::keyClick(w.Text1, Qt::Key_Return);
        QCOMPARE(w.Text1->text(), QString());
        w.Text1->setText(u"   "_s);
        QTest::keyClick(w.Text1, Qt::Key_Return);
        w.Text1->setText(u"AL"_s);
        QTest::mouseClick(w.Command2, Qt::LeftButton);
        emit w.List1->itemDoubleClicked(w.List1->findItems(u"ZED"_s, Qt::MatchExactly).first());
        QCOMPARE(w.List1->count(), initial.size() + 1);
        QCOMPARE(e.stored(), initial);
        QTest::mouseClick(w.Command1, Qt::LeftButton);
        QCOMPARE(w.result(), int(QDialog::Accepted));
        // The menu command stores the counties once Done has closed the window.
        if (auto *counties = qobject_cast<frmAddCounties *>(&w))
            QVERIFY(counties->StoreEntries());
        QCOMPARE(e.stored(), w.entries());
        QTEST(TestFiles::read(e.state.filePath(e.filter ? FilterListFileName : AddCountiesFileName)), "file");
    }

    // A full list refuses one more with a box; closing other than by Done discards the edits.
    void limitAndDiscard_data() { addRemoveStore_data(); }
    void limitAndDiscard()
    {
        QFETCH(QString, kind);
        QFETCH(int, limit);
        ListEditor e(kind);
        for (int i = 0; i < limit; ++i)
            e.stored() << u"MD C%1"_s.arg(i);
        const QStringList before = e.stored();
        const auto w = e.open();
        w->Text1->setText(u"MD ONE MORE"_s);
        w->Command2_Click();
        QCOMPARE(w->List1->count(), limit);
        QCOMPARE(w->Text1->text(), u"MD ONE MORE"_s);
        QCOMPARE(e.dialogs.shown.size(), 1);
        emit w->List1->itemDoubleClicked(w->List1->item(0));
        w->Command2_Click();
        QCOMPARE(w->List1->count(), limit);
        w->reject();
        QCOMPARE(e.stored(), before);
        QVERIFY(!QFile::exists(e.state.filePath(FilterListFileName)) &&
                !QFile::exists(e.state.filePath(AddCountiesFileName)));
    }
};

QTEST_MAIN(TstCommunityWindows)
#include "tst_community_windows.moc"
