// ctest-label: ui
#include "community/ui/community_subsystem.h"
#include "community/ui/frm_msg.h"
#include "reports_window_fixture.h"

#include <QListWidget>
#include <QPlainTextEdit>
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
        QVERIFY(msg.txtMessage->toPlainText().endsWith(u"\na|b"_s));
        QVERIFY(!msg.txtMessage->toPlainText().contains(u"not mine"_s));
        QVERIFY(msg.txtMonitor->toPlainText().contains(u"not mine"_s));
        QVERIFY(msg.txtMonitor->toPlainText().endsWith(u"quick"_s));
        QCOMPARE(msg.txtCall->text(), u"BOB"_s);
        QVERIFY(w.form->findChild<QPlainTextEdit *>(u"QCRec"_s)->toPlainText().contains(u"BOB:   quick  "_s));
        QVERIFY(w.statusLabel()->text().startsWith(u"Active Chat  -  From: BOB  To: QUICKCHAT - quick"_s));
        msg.grab().save(u"/tmp/frmMsg.png"_s);

        // the pane keeps exactly its last characters
        const QString big(Messages::PaneCap, u'x');
        AppendCapped(msg.txtMonitor, big + u"END"_s);
        QCOMPARE(msg.txtMonitor->toPlainText(), big.mid(3) + u"END"_s);

        // "all" asks first; No sends nothing and keeps the text
        w.state.signedOn = true;
        w.dialogs.answers.enqueue(Dialogs::No);
        msg.txtCall->setText(u"all"_s);
        msg.txtMsg->setPlainText(u"hello"_s);
        msg.SendMsg();
        QCOMPARE(w.dialogs.shown.last().title, u"Confirm Send to All"_s);
        QCOMPARE(msg.txtMsg->toPlainText(), u"hello"_s);
    }
};

QTEST_MAIN(TstFrmMsg)
#include "tst_frm_msg.moc"
