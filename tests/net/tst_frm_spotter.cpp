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
        QTest::newRow("user name first") << "txtUsername"
                                         << "User Name and password required."
                                         << "";
        QTest::newRow("password") << "txtPassword"
                                  << "User Name and password required."
                                  << "";
        QTest::newRow("first name") << "txtFName" << required << "txtFName";
        QTest::newRow("last name") << "txtLName" << required << "txtLName";
        QTest::newRow("address") << "txtAddress" << required << "txtAddress";
        QTest::newRow("city") << "txtCity" << required << "txtCity";
        QTest::newRow("county") << "txtCounty" << required << "txtCounty";
        QTest::newRow("state") << "txtState" << required << "txtState";
        QTest::newRow("zip only") << "txtZip" << required << "txtZip";
        QTest::newRow("e-mail") << "txtEmail" << required << "txtEmail";
        QTest::newRow("blanks count as empty") << "txtCity " << required << "txtCity";
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

    void pastedQuotesAreRefused()
    {
        Fixture f;
        f.form->txtFName->insert(QStringLiteral("a\"b"));
        QVERIFY(!f.form->txtFName->text().contains(QLatin1Char('"')));
    }

    void stateIsUpperCasedOnLeaving_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("result");
        QTest::newRow("two letters") << "ny"
                                     << "NY";
        QTest::newRow("longer text cut") << "texas"
                                         << "TE";
        QTest::newRow("one letter") << "k"
                                    << "K";
    }
    void stateIsUpperCasedOnLeaving()
    {
        QFETCH(QString, typed);
        Fixture f;
        QTest::keyClicks(f.form->txtState->lineEdit(), typed);
        QFocusEvent out(QEvent::FocusOut);
        QApplication::sendEvent(f.form->txtState->lineEdit(), &out);
        QTEST(f.form->txtState->currentText(), "result");
    }

    void stateListHasSixtyEntries()
    {
        Fixture f;
        QCOMPARE(f.form->txtState->count(), 60);
        QCOMPARE(f.form->txtState->itemText(0), QStringLiteral("AK"));
        QCOMPARE(f.form->txtState->itemText(50), QString());
        QCOMPARE(f.form->txtState->itemText(59), QStringLiteral("SK"));
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

    void hidePasswordToggles()
    {
        Fixture f;
        f.form->Check2->click();
        QCOMPARE(f.form->txtPassword->echoMode(), QLineEdit::Password);
        f.form->Check2->click();
        QCOMPARE(f.form->txtPassword->echoMode(), QLineEdit::Normal);
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

    void replies_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("title");
        QTest::addColumn<bool>("formShown");
        QTest::addColumn<bool>("ended");
        QTest::newRow("SGN 1") << ":SGN|1|^"
                               << "User name is not valid."
                               << "User Name Not Valid" << true << false;
        QTest::newRow("SGN 2") << ":SGN|2|^"
                               << "Invalid password"
                               << "Invalid Password." << true << false;
        QTest::newRow("SGN 3") << ":SGN|3|^"
                               << ""
                               << "" << false << false;
        QTest::newRow("SGN 4") << ":SGN|4|^"
                               << "You are already logged in."
                               << "Only One Log In Per User Please" << true << false;
        QTest::newRow("SGN 5") << ":SGN|5|^"
                               << "You are no longer eligible to use of this service."
                               << "You are no longer eligible to use this service." << false << true;
        QTest::newRow("NEW 1") << ":NEW|1|^"
                               << "Account successfully created.  Please click Log In to complete the log in "
                                  "process."
                               << "Account Successfully Created" << true << false;
        QTest::newRow("NEW 2") << ":NEW|2|^"
                               << "User name already exists.  Please try another user name.  If you have "
                                  "already created an account, please click Log In."
                               << "Username Already Exists." << true << false;
    }
    void replies()
    {
        QFETCH(QString, message);
        QFETCH(bool, formShown);
        QFETCH(bool, ended);
        Fixture f;
        f.state.settings.UserName = QStringLiteral("ann");
        SignOnReplies replies(f.state, [&f] { ++f.saves; });
        QList<int> ends;
        f.form->attachReplies(replies, [&ends](int code) { ends.append(code); });
        if (message.startsWith(QLatin1String(":SGN")))
            replies.HandleSignOnReply(message);
        else
            replies.HandleNewAccountReply(message);
        // Nothing modal inside the handler: the box comes on a later pass.
        QCOMPARE(f.dialogs.shown.size(), 0);
        QVERIFY(!f.form->isVisible());
        QTest::qWait(20);
        QCOMPARE(f.form->isVisible(), formShown);
        QTEST(f.dialogs.lastText(), "text");
        if (!f.dialogs.shown.isEmpty())
            QTEST(f.dialogs.shown.last().title, "title");
        QCOMPARE(ends.size(), ended ? 1 : 0);
        if (message == QLatin1String(":SGN|3|^"))
            QVERIFY(f.state.signedOn);
        if (ended)
            QCOMPARE(f.state.settings.Ineligible, 1);
    }
};

QTEST_MAIN(TestFrmSpotter)
#include "tst_frm_spotter.moc"
