// ctest-label: ui
#include "base/client_state.h"
#include "fakes.h"
#include "net/raw_view.h"
#include "net/sign_on.h"
#include "net/ui/frm_buffer.h"
#include "net/ui/frm_spotter.h"

#include <QFocusEvent>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QtWidgets>

using namespace Qt::StringLiterals;

// The sign-on form, and the raw receive view with the text rules it shows.
class TestNetWindows : public QObject
{
    Q_OBJECT
    struct Fixture
    {
        QTemporaryDir dir;
        ClientState state;
        FakeDialogs dialogs;
        int saves = 0;
        QStringList queued;
        std::unique_ptr<frmSpotter> form;
        Fixture()
        {
            state.dataDir = dir.path();
            form = std::make_unique<frmSpotter>(
                state, dialogs, [this] { ++saves; }, [this](const QString &m) { queued.append(m); });
        }
        QLineEdit *edit(const QString &name) const { return form->findChild<QLineEdit *>(name); }
        void fillAll()
        {
            const QStringList fields{u"txtFName=Ann"_s,     u"txtLName=Smith"_s,      u"txtAddress=1 Main"_s,
                                     u"txtCity=Norman"_s,   u"txtCounty=Cleveland"_s, u"txtZip=73069"_s,
                                     u"txtEmail=a@b.org"_s, u"txtUsername=ann"_s,     u"txtPassword=pw"_s};
            for (const QString &f : fields)
                edit(f.section(u'=', 0, 0))->setText(f.section(u'=', 1));
            form->txtState->setEditText(u"OK"_s);
        }
    };

private slots:
    // A refused log in names the first empty box in order, even with txtEmail empty too.
    void logIn_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("text"); // empty: accepted
        QTest::newRow("user name first")
            << u"txtUsername"_s << QString() << u"User Name and password required."_s;
        QTest::newRow("state") << u"txtState"_s << QString() << u"Required Field!"_s;
        QTest::newRow("blanks count as empty") << u"txtCity"_s << u"   "_s << u"Required Field!"_s;
        QTest::newRow("accepted, trimmed") << u"txtCity"_s << u"  Norman "_s << QString();
    }
    void logIn()
    {
        QFETCH(QString, box);
        QFETCH(QString, value);
        QFETCH(QString, text);
        Fixture f;
        f.form->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.form.get()));
        f.fillAll();
        if (box == u"txtState"_s)
            f.form->txtState->setEditText(value);
        else
            f.edit(box)->setText(value);
        const bool ok = text.isEmpty();
        if (!ok)
            f.form->txtEmail->clear();
        QSignalSpy shown(f.form.get(), &frmSpotter::mainWindowRequested);
        f.form->cmdDone_Click();
        QCOMPARE(f.dialogs.lastText(), text);
        if (text == u"Required Field!"_s) // the empty box takes the focus
            QVERIFY(f.form->findChild<QWidget *>(box)->isAncestorOf(QApplication::focusWidget()));
        // Saved, queued and handed to the main window only when accepted.
        QCOMPARE((QList<qsizetype>{f.saves, shown.count(), f.queued.size()}),
                 QList<qsizetype>(3, ok ? 1 : 0));
        QCOMPARE(f.form->isVisible(), !ok);
        if (ok) {
            QCOMPARE(f.form->txtCity->text(), u"Norman"_s);
            QVERIFY(f.queued.first().startsWith(QLatin1String(":SGN|ann|pw|Ann||Smith|1 Main|Norman|")));
        }
    }

    void keyFilters_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("kept");
        QTest::newRow("user name") << u"txtUsername"_s << u"a b'c|d:e^f\"g"_s << u"abcdefg"_s;
        QTest::newRow("others keep all but the quote")
            << u"txtCity"_s << u"O'Neil: a|b^\"c"_s << u"O'Neil: a|b^c"_s;
        QTest::newRow("length limit") << u"txtZip"_s << u"1234567890123456"_s << u"123456789012"_s;
        QTest::newRow("state upper-cased, cut") << u"txtState"_s << u"texas"_s << u"TE"_s;
    }
    void keyFilters()
    {
        QFETCH(QString, box);
        QFETCH(QString, typed);
        Fixture f;
        QLineEdit *e = box == u"txtState"_s ? f.form->txtState->lineEdit() : f.edit(box);
        QTest::keyClicks(e, typed);
        QFocusEvent out(QEvent::FocusOut); // the state settles on leaving the box
        QApplication::sendEvent(e, &out);
        QTEST(e->text(), "kept");
    }

    void forgotOnlyOnce()
    {
        Fixture f;
        f.form->show();
        f.form->txtUsername->setText(u"ann"_s);
        f.form->Command3_Click();
        QCOMPARE(f.dialogs.shown.last().title, u"Your password will be sent by e-mail."_s);
        f.form->Command3_Click();
        QCOMPARE(f.dialogs.lastText(), SignOn::ForgotAgainText());
        QCOMPARE(f.queued, QStringList{u":FGT|ann|^"_s});
        QVERIFY(f.form->isVisible());
    }

    void settingsModeWhileSignedOn()
    {
        Fixture f;
        f.state.signedOn = true;
        f.form->ShowAsSettings();
        QCOMPARE(f.form->cmdDone->text(), u"Done"_s);
        QVERIFY(f.form->Command2->isHidden() && !f.form->txtUsername->isEnabled() &&
                !f.form->txtPassword->isEnabled());
        QCOMPARE(f.saves, 1);
    }

    // Nothing modal inside the reply handler: the box and the form come on
    // a later pass; SGN 5 also ends the program.
    void repliesAreQueued()
    {
        Fixture f;
        f.state.settings.UserName = u"ann"_s;
        SignOnReplies replies(f.state, [&f] { ++f.saves; });
        QList<int> ends;
        f.form->attachReplies(replies, [&ends](int code) { ends.append(code); });
        replies.HandleSignOnReply(u":SGN|2|^"_s);
        QVERIFY(f.dialogs.shown.isEmpty() && !f.form->isVisible());
        QTRY_COMPARE(f.dialogs.shown.size(), 1);
        QCOMPARE(f.dialogs.shown.last().title, u"Invalid Password."_s);
        QVERIFY(f.form->isVisible());
        f.form->hide();
        replies.HandleSignOnReply(u":SGN|5|^"_s);
        QVERIFY(ends.isEmpty());
        QTRY_COMPARE(ends, QList<int>{0});
        QCOMPARE(f.dialogs.shown.last().title, u"You are no longer eligible to use this service."_s);
        QVERIFY(!f.form->isVisible());
    }

    void parse_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("parsed");
        QTest::newRow("no caret") << u"abc"_s << u"abc"_s;
        QTest::newRow("two messages") << u":GOB|^:DOB|^"_s << u":GOB|^\r\n\r\n:DOB|^\r\n\r\n"_s;
        QTest::newRow("caret first and carets in a row") << u"^^x"_s << u"^\r\n\r\n^\r\n\r\nx"_s;
    }
    void parse()
    {
        QFETCH(QString, text);
        QTEST(ParseRawView(text), "parsed");
    }

    void parseIsLinearOnAFlood()
    {
        // Half a million messages; inserting in place would take minutes.
        const QString flood = QStringLiteral(":X^").repeated(500'000);
        const QString parsed = ParseRawView(flood);
        QCOMPARE(parsed.size(), flood.size() + 500'000 * 4);
        QVERIFY(parsed.endsWith(u":X^\r\n\r\n"));
    }

    void buttons()
    {
        frmBuffer view;
        auto *text = view.findChild<QPlainTextEdit *>(QStringLiteral("Text1"));
        auto *done = view.findChild<QPushButton *>(QStringLiteral("Command1"));
        auto *clear = view.findChild<QPushButton *>(QStringLiteral("Command2"));
        auto *parse = view.findChild<QPushButton *>(QStringLiteral("Command3"));
        QVERIFY(text && done && clear && parse);

        view.show();
        view.appendArrival(QStringLiteral(":GOB|KS|^:DOB|"));
        view.appendArrival(QStringLiteral("<b>x</b>^"));
        QCOMPARE(text->toPlainText(), QStringLiteral(":GOB|KS|^:DOB|\n\n<b>x</b>^\n\n"));
        QVERIFY(text->textCursor().atEnd());

        QTest::mouseClick(parse, Qt::LeftButton);
        QCOMPARE(text->toPlainText(), QStringLiteral(":GOB|KS|^\n\n:DOB|\n\n<b>x</b>^\n\n\n\n"));

        QTest::mouseClick(clear, Qt::LeftButton);
        QVERIFY(text->toPlainText().isEmpty());

        QTest::mouseClick(done, Qt::LeftButton);
        QVERIFY(view.isHidden());
    }

    void keepsOnlyTheLatestText()
    {
        frmBuffer view;
        const QString older = QString(600'000, u'a');
        const QString newer = QString(600'000, u'b') + u'^';
        view.appendArrival(older);
        view.appendArrival(newer);
        const QString kept = view.Text1->toPlainText();
        QVERIFY(kept.size() <= RawView::KeptCharacters);
        QVERIFY(kept.endsWith(newer + u"\n\n"_s));
        QVERIFY(kept.startsWith(u'a'));

        view.appendArrival(QString(RawView::KeptCharacters + 10, u'c'));
        QCOMPARE(view.Text1->toPlainText(), QString(RawView::KeptCharacters - 4, u'c') + u"\n\n"_s);
    }
};

QTEST_MAIN(TestNetWindows)
#include "tst_net_windows.moc"
