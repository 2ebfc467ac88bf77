// ctest-label: ui
#include "app/client_state.h"
#include "fakes.h"
#include "net/sign_on.h"
#include "net/ui/frm_spotter.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

class TestFrmSpotter : public QObject
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
        void fillAll()
        {
            form->txtFName->setText(QStringLiteral("Ann"));
            form->txtLName->setText(QStringLiteral("Smith"));
            form->txtAddress->setText(QStringLiteral("1 Main"));
            form->txtCity->setText(QStringLiteral("Norman"));
            form->txtCounty->setText(QStringLiteral("Cleveland"));
            form->txtState->setEditText(QStringLiteral("OK"));
            form->txtZip->setText(QStringLiteral("73069"));
            form->txtEmail->setText(QStringLiteral("a@b.org"));
            form->txtUsername->setText(QStringLiteral("ann"));
            form->txtPassword->setText(QStringLiteral("pw"));
        }
    };

private slots:
    void logInRefusals_data()
    {
        QTest::addColumn<QString>("emptied");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("focused");
        const QString required = QStringLiteral("Required Field!");
        QTest::newRow("user name first")
            << u"txtUsername"_qs << u"User Name and password required."_qs << QString();
        QTest::newRow("state") << u"txtState"_qs << required << u"txtState"_qs;
        QTest::newRow("zip") << u"txtZip"_qs << required << u"txtZip"_qs;
        QTest::newRow("blanks count as empty") << u"txtCity "_qs << required << u"txtCity"_qs;
    }
    void logInRefusals()
    {
        QFETCH(QString, emptied);
        QFETCH(QString, text);
        QFETCH(QString, focused);
        Fixture f;
        f.form->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.form.get()));
        f.fillAll();
        const bool blanks = emptied.endsWith(QLatin1Char(' '));
        const QString name = emptied.trimmed();
        if (name == QLatin1String("txtState"))
            f.form->txtState->setEditText(QString());
        else
            f.form->findChild<QLineEdit *>(name)->setText(blanks ? QStringLiteral("   ") : QString());
        // A later required field is empty too: the first in order wins.
        if (name != QLatin1String("txtEmail") && !name.startsWith(QLatin1String("txtUser")) &&
            !name.startsWith(QLatin1String("txtPass")))
            f.form->txtEmail->clear();
        QSignalSpy shown(f.form.get(), &frmSpotter::mainWindowRequested);
        f.form->cmdDone_Click();
        QCOMPARE(f.dialogs.lastText(), text);
        QCOMPARE(f.dialogs.shown.size(), 1);
        if (!focused.isEmpty()) {
            QWidget *w = f.form->findChild<QWidget *>(focused);
            QVERIFY(w->hasFocus() || w->isAncestorOf(QApplication::focusWidget()));
        }
        QCOMPARE(f.saves, 0);
        QVERIFY(f.queued.isEmpty());
        QCOMPARE(shown.count(), 0);
        QVERIFY(f.form->isVisible());
    }

    void logInQueuesTheSignOn()
    {
        Fixture f;
        f.fillAll();
        f.form->txtCity->setText(QStringLiteral("  Norman "));
        QSignalSpy shown(f.form.get(), &frmSpotter::mainWindowRequested);
        f.form->cmdDone_Click();
        QCOMPARE(f.dialogs.shown.size(), 0);
        QCOMPARE(f.form->txtCity->text(), QStringLiteral("Norman"));
        QCOMPARE(f.saves, 1);
        QCOMPARE(f.queued.size(), 1);
        QVERIFY(f.queued.first().startsWith(QLatin1String(":SGN|ann|pw|Ann||Smith|")));
        QVERIFY(f.queued.first().endsWith(QLatin1String("|2.4|^")));
        QCOMPARE(shown.count(), 1);
        QVERIFY(!f.form->isVisible());
    }

    void keyFilters_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("kept");
        QTest::newRow("user name") << "txtUsername"
                                   << "a b'c|d:e^f\"g"
                                   << "abcdefg";
        QTest::newRow("password") << "txtPassword"
                                  << "p w:|^'\"x"
                                  << "pwx";
        QTest::newRow("other boxes keep all but the quote") << "txtCity"
                                                            << "O'Neil: a|b^\"c"
                                                            << "O'Neil: a|b^c";
        QTest::newRow("length limit") << "txtZip"
                                      << "1234567890123456"
                                      << "123456789012";
    }
    void keyFilters()
    {
        QFETCH(QString, box);
        QFETCH(QString, typed);
        QFETCH(QString, kept);
        Fixture f;
        auto *edit = f.form->findChild<QLineEdit *>(box);
        QTest::keyClicks(edit, typed);
        QCOMPARE(edit->text(), kept);
    }

    void stateIsUpperCasedOnLeaving_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("result");
        QTest::newRow("two letters") << "ny"
                                     << "NY";
        QTest::newRow("longer text cut") << "texas"
                                         << "TE";
    }
    void stateIsUpperCasedOnLeaving()
    {
        QFETCH(QString, typed);
        Fixture f;
        QCOMPARE(f.form->txtState->count(), SignOn::StateList().size());
        QTest::keyClicks(f.form->txtState->lineEdit(), typed);
        QFocusEvent out(QEvent::FocusOut);
        QApplication::sendEvent(f.form->txtState->lineEdit(), &out);
        QTEST(f.form->txtState->currentText(), "result");
    }

    void forgotTwice()
    {
        Fixture f;
        f.form->show();
        f.form->txtUsername->setText(QStringLiteral("ann"));
        QSignalSpy shown(f.form.get(), &frmSpotter::mainWindowRequested);
        f.form->Command3_Click();
        QCOMPARE(f.dialogs.shown.size(), 1);
        QCOMPARE(f.dialogs.shown.last().title, QStringLiteral("Your password will be sent by e-mail."));
        QCOMPARE(f.queued, QStringList{QStringLiteral(":FGT|ann|^")});
        QCOMPARE(shown.count(), 1);
        QVERIFY(f.form->isVisible());
        f.form->Command3_Click();
        QCOMPARE(f.dialogs.shown.size(), 2);
        QCOMPARE(f.dialogs.lastText(), SignOn::ForgotAgainText());
        QCOMPARE(f.queued.size(), 1);
        QCOMPARE(shown.count(), 1);
    }

    void settingsModeWhileSignedOn()
    {
        Fixture f;
        f.state.signedOn = true;
        f.form->ShowAsSettings();
        QCOMPARE(f.form->cmdDone->text(), QStringLiteral("Done"));
        QVERIFY(f.form->Command1->isHidden() && f.form->Command2->isHidden() && f.form->Command3->isHidden());
        QVERIFY(!f.form->txtUsername->isEnabled());
        QVERIFY(!f.form->txtPassword->isEnabled());
        QCOMPARE(f.saves, 1);
    }

    // Nothing modal inside the reply handler: the box and the form come on
    // a later pass; SGN 5 also ends the program.
    void repliesAreQueued_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("title");
        QTest::addColumn<bool>("formShown");
        QTest::addColumn<bool>("ended");
        QTest::newRow("SGN 2") << u":SGN|2|^"_qs << u"Invalid Password."_qs << true << false;
        QTest::newRow("SGN 5") << u":SGN|5|^"_qs << u"You are no longer eligible to use this service."_qs
                               << false << true;
    }
    void repliesAreQueued()
    {
        QFETCH(QString, message);
        QFETCH(bool, formShown);
        QFETCH(bool, ended);
        Fixture f;
        f.state.settings.UserName = QStringLiteral("ann");
        SignOnReplies replies(f.state, [&f] { ++f.saves; });
        QList<int> ends;
        f.form->attachReplies(replies, [&ends](int code) { ends.append(code); });
        replies.HandleSignOnReply(message);
        QCOMPARE(f.dialogs.shown.size(), 0);
        QVERIFY(!f.form->isVisible());
        QTRY_COMPARE(f.dialogs.shown.size(), 1);
        QTEST(f.dialogs.shown.last().title, "title");
        QCOMPARE(f.form->isVisible(), formShown);
        QCOMPARE(ends.size(), ended ? 1 : 0);
    }
};

QTEST_MAIN(TestFrmSpotter)
#include "tst_frm_spotter.moc"
