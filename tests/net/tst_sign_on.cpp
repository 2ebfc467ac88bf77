#include "app/client_state.h"
#include "net/dispatcher.h"
#include "net/protocol.h"
#include "net/sign_on.h"

#include <QSignalSpy>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {
SignOnForm filledForm()
{
    SignOnForm f;
    f.firstName = QStringLiteral("Ann");
    f.lastName = QStringLiteral("Lee");
    f.address = QStringLiteral("1 Main");
    f.city = QStringLiteral("Ames");
    f.county = QStringLiteral("Story");
    f.state = QStringLiteral("ia");
    f.zip = QStringLiteral("50010");
    f.email = QStringLiteral("ann@example.org");
    f.userName = QStringLiteral("ann1");
    f.password = QStringLiteral("secret");
    return f;
}
} // namespace

class TstSignOn : public QObject
{
    Q_OBJECT

private slots:
    void validateLogIn_data()
    {
        QTest::addColumn<QStringList>("emptied"); // boxes blanked, by name
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("focus");
        QTest::newRow("all filled") << QStringList() << QString() << int(SignOnField::None);
        QTest::newRow("optional boxes empty")
            << QStringList{u"middle"_s, u"location"_s} << QString() << int(SignOnField::None);
        QTest::newRow("zip only") << QStringList{u"zip"_s} << "Required Field!" << int(SignOnField::txtZip);
        QTest::newRow("first of several, in order") << QStringList{u"email"_s, u"county"_s, u"city"_s}
                                                    << "Required Field!" << int(SignOnField::txtCity);
        QTest::newRow("county before state")
            << QStringList{u"state"_s, u"county"_s} << "Required Field!" << int(SignOnField::txtCounty);
        QTest::newRow("blank counts as empty")
            << QStringList{u"blankLast"_s} << "Required Field!" << int(SignOnField::txtLName);
        QTest::newRow("password before anything")
            << QStringList{u"first"_s, u"password"_s} << "User Name and password required."
            << int(SignOnField::None);
        QTest::newRow("user name") << QStringList{u"user"_s} << "User Name and password required."
                                   << int(SignOnField::None);
    }
    void validateLogIn()
    {
        QFETCH(QStringList, emptied);
        QFETCH(QString, text);
        QFETCH(int, focus);
        SignOnForm f = filledForm();
        const QHash<QString, QString *> boxes = {{u"middle"_s, &f.middleInitial},
                                                 {u"location"_s, &f.currentLocation},
                                                 {u"zip"_s, &f.zip},
                                                 {u"email"_s, &f.email},
                                                 {u"county"_s, &f.county},
                                                 {u"city"_s, &f.city},
                                                 {u"state"_s, &f.state},
                                                 {u"first"_s, &f.firstName},
                                                 {u"password"_s, &f.password},
                                                 {u"user"_s, &f.userName}};
        for (const QString &name : emptied) {
            if (name == u"blankLast")
                f.lastName = QStringLiteral("   ");
            else
                boxes.value(name)->clear();
        }
        const SignOnCheck check = SignOn::ValidateLogIn(SignOn::TrimForLogIn(f));
        QCOMPARE(check.text, text);
        QCOMPARE(int(check.focus), focus);
    }

    void trimForLogIn()
    {
        SignOnForm f = filledForm();
        f.state = QStringLiteral(" ny");
        f.city = QStringLiteral("  Ames \t");
        f.userName = QStringLiteral(" ann1 ");
        const SignOnForm t = SignOn::TrimForLogIn(f);
        QCOMPARE(t.state, QStringLiteral("N"));
        QCOMPARE(t.city, QStringLiteral("Ames"));
        QCOMPARE(t.userName, QStringLiteral("ann1"));
        QCOMPARE(SignOn::NormalizeState(QStringLiteral("ny")), QStringLiteral("NY"));
        QCOMPARE(SignOn::NormalizeState(QStringLiteral("Iowa")), QStringLiteral("IO"));
    }

    void acceptKey_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<QChar>("key");
        QTest::addColumn<bool>("accepted");
        const int user = int(SignOnField::txtUsername);
        const int pass = int(SignOnField::txtPassword);
        const int city = int(SignOnField::txtCity);
        QTest::newRow("quote in city") << city << QChar(u'"') << false;
        QTest::newRow("space in city") << city << QChar(u' ') << true;
        QTest::newRow("bar in city") << city << QChar(u'|') << true;
        QTest::newRow("space in user") << user << QChar(u' ') << false;
        QTest::newRow("apostrophe in user") << user << QChar(u'\'') << false;
        QTest::newRow("colon in password") << pass << QChar(u':') << false;
        QTest::newRow("caret in password") << pass << QChar(u'^') << false;
        QTest::newRow("bar in password") << pass << QChar(u'|') << false;
        QTest::newRow("quote in password") << pass << QChar(u'"') << false;
        QTest::newRow("letter in user") << user << QChar(u'Q') << true;
    }
    void acceptKey()
    {
        QFETCH(int, field);
        QFETCH(QChar, key);
        QFETCH(bool, accepted);
        QCOMPARE(SignOn::AcceptKey(SignOnField(field), key), accepted);
    }

    void stateList()
    {
        const QStringList &states = SignOn::StateList();
        QCOMPARE(states.size(), 60);
        QCOMPARE(states.indexOf(QString()), 50);
        QCOMPARE(QSet<QString>(states.begin(), states.end()).size(), 60);
    }

    void messages()
    {
        SettingsRecord s;
        SignOnForm f = filledForm();
        f.address = QStringLiteral("1 Main|Apt 2");
        f.currentLocation = QStringLiteral("5 mi N: Ames");
        f.password = QStringLiteral("pa'ss");
        SignOn::StoreProfile(SignOn::TrimForLogIn(f), s);
        const QString esc = EscapeOutgoing(QStringLiteral("|"));
        QCOMPARE(s.Address, QStringLiteral("1 Main|Apt 2")); // stored as typed
        QCOMPARE(s.Password, EscapeOutgoing(QStringLiteral("pa'ss")));
        const QString body = QStringLiteral("ann1|") + s.Password + QStringLiteral("|Ann||Lee|1 Main") + esc +
                             QStringLiteral("Apt 2|Ames|Story|IA|50010|ann@example.org|5 mi N") +
                             EscapeOutgoing(QStringLiteral(":")) + QStringLiteral(" Ames|");
        QCOMPARE(SignOn::BuildSignOnMessage(s, ClientState::ClientVersion),
                 QStringLiteral(":SGN|") + body + QStringLiteral("2.4|^"));
        QCOMPARE(SignOn::BuildReSignOnMessage(s), QStringLiteral(":SGN|") + body + QStringLiteral("^"));
        QCOMPARE(SignOn::BuildNewAccountMessage(s),
                 QStringLiteral(":NEW|ann1|") + s.Password + QStringLiteral("|^"));
        QCOMPARE(SignOn::BuildForgotMessage(QStringLiteral("ann 1")), QStringLiteral(":FGT|ann 1|^"));
    }

    void logInAction()
    {
        ClientState state;
        int saves = 0;
        QStringList queued;
        SignOnActions actions(
            state, [&] { ++saves; }, [&](const QString &m) { queued.append(m); });
        SignOnForm f = filledForm();
        f.zip.clear();
        auto out = actions.LogIn(f);
        QCOMPARE(out.check.focus, SignOnField::txtZip);
        QVERIFY(!out.hideForm && !out.showMainWindow);
        QCOMPARE(saves, 0);
        QVERIFY(queued.isEmpty());
        QCOMPARE(state.settings.UserName, QString());

        out = actions.LogIn(filledForm());
        QVERIFY(out.check.accepted() && out.hideForm && out.showMainWindow);
        QCOMPARE(out.form.state, QStringLiteral("IA"));
        QCOMPARE(saves, 1);
        QCOMPARE(queued.size(), 1);
        QVERIFY(queued.first().endsWith(QStringLiteral("|2.4|^")));

        // Signed on, Log In is "Done": the profile is kept, nothing is sent.
        state.signedOn = true;
        SignOnForm moved = filledForm();
        moved.currentLocation = QStringLiteral("Boone");
        out = actions.LogIn(moved);
        QVERIFY(out.check.accepted());
        QCOMPARE(state.settings.UserLocation, QStringLiteral("Boone"));
        QCOMPARE(saves, 2);
        QCOMPARE(queued.size(), 1);
    }

    void newAccountAction()
    {
        ClientState state;
        int saves = 0;
        QStringList queued;
        SignOnActions actions(
            state, [&] { ++saves; }, [&](const QString &m) { queued.append(m); });
        SignOnForm f;
        f.userName = QStringLiteral(" bob ");
        f.password = QStringLiteral(" x ");
        f.county = QStringLiteral(" Polk ");
        auto out = actions.NewAccount(f);
        QVERIFY(out.check.accepted() && out.hideForm && out.showMainWindow);
        QCOMPARE(queued, QStringList{QStringLiteral(":NEW|bob|x|^")});
        QCOMPARE(state.settings.UserCounty, QStringLiteral("Polk"));
        QCOMPARE(saves, 1);

        state.signedOn = true;
        out = actions.NewAccount(f);
        QCOMPARE(out.check.text, QStringLiteral("You are already logged in."));
        QCOMPARE(out.check.title, QStringLiteral("Already Logged In."));
        f.password = QStringLiteral("  ");
        out = actions.NewAccount(f);
        QCOMPARE(out.check.text, QStringLiteral("User Name and password required."));
        QCOMPARE(queued.size(), 1);
        QCOMPARE(saves, 1);
    }

    void forgotTwice()
    {
        ClientState state;
        QStringList queued;
        SignOnActions actions(state, nullptr, [&](const QString &m) { queued.append(m); });
        SignOnForm f;
        f.userName = QStringLiteral("ann1");
        auto out = actions.Forgot(f);
        QCOMPARE(out.check.title, QStringLiteral("Your password will be sent by e-mail."));
        QVERIFY(out.check.text.startsWith(QStringLiteral("Your password will be automatically e-mailed")));
        QVERIFY(out.check.text.endsWith(SignOn::MaintainerEmail() + QLatin1Char('.')));
        QVERIFY(out.showMainWindow && !out.hideForm);
        QVERIFY(state.passwordRequested);
        out = actions.Forgot(f);
        QCOMPARE(out.check.text, SignOn::ForgotAgainText());
        QVERIFY(!out.showMainWindow);
        QCOMPARE(queued, QStringList{QStringLiteral(":FGT|ann1|^")});
    }

    void replies_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("showForm");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("title");
        QTest::addColumn<bool>("endAfter");
        QTest::addColumn<bool>("signedOn");
        QTest::addColumn<int>("ineligible");
        QTest::addColumn<QString>("status");
        QTest::newRow("SGN 1") << ":SGN|1|^" << true << "User name is not valid."
                               << "User Name Not Valid" << false << true << 0 << QString();
        QTest::newRow("SGN 2") << ":SGN|2|^" << true << "Invalid password"
                               << "Invalid Password." << false << true << 0 << QString();
        QTest::newRow("SGN 3") << ":SGN|3|^" << false << QString() << QString() << false << true << 0
                               << "Welcome ann1!";
        QTest::newRow("SGN 4") << ":SGN|4|^" << true << "You are already logged in."
                               << "Only One Log In Per User Please" << false << false << 0 << QString();
        QTest::newRow("SGN 5") << ":SGN|5|^" << false << "You are no longer eligible to use of this service."
                               << "You are no longer eligible to use this service." << true << false << 1
                               << QString();
        QTest::newRow("SGN other") << ":SGN|9|^" << false << QString() << QString() << false << true << 0
                                   << QString();
        QTest::newRow("NEW 1") << ":NEW|1|^" << true
                               << "Account successfully created.  Please click Log In to complete the log in "
                                  "process."
                               << "Account Successfully Created" << false << true << 0 << QString();
        QTest::newRow("NEW 2") << ":NEW|2|^" << true
                               << "User name already exists.  Please try another user name.  If you have "
                                  "already created an account, please click Log In."
                               << "Username Already Exists." << false << true << 0 << QString();
        QTest::newRow("NEW other") << ":NEW|x|^" << true << QString() << QString() << false << true << 0
                                   << QString();
    }
    void replies()
    {
        QFETCH(QString, message);
        QFETCH(bool, showForm);
        QFETCH(QString, text);
        QFETCH(QString, title);
        QFETCH(bool, endAfter);
        QFETCH(bool, signedOn);
        QFETCH(int, ineligible);
        QFETCH(QString, status);
        ClientState state;
        state.signedOn = true;
        state.settings.UserName = QStringLiteral("ann1");
        int saves = 0;
        SignOnReplies replies(state, [&] { ++saves; });
        Dispatcher dispatcher;
        replies.registerOn(dispatcher);
        QSignalSpy form(&replies, &SignOnReplies::signOnFormRequested);
        QSignalSpy box(&replies, &SignOnReplies::messageBoxRequested);
        QSignalSpy line(&replies, &SignOnReplies::statusChanged);
        dispatcher.dispatch(message);
        QCOMPARE(form.size(), showForm ? 1 : 0);
        QCOMPARE(box.size(), text.isEmpty() ? 0 : 1);
        if (!text.isEmpty()) {
            QCOMPARE(box.at(0).at(0).toString(), text);
            QCOMPARE(box.at(0).at(1).toString(), title);
            QCOMPARE(box.at(0).at(2).toBool(), endAfter);
        }
        QCOMPARE(state.signedOn, signedOn);
        QCOMPARE(state.settings.Ineligible, ineligible);
        QCOMPARE(saves, ineligible);
        QCOMPARE(line.size(), status.isEmpty() ? 0 : 1);
        if (!status.isEmpty())
            QCOMPARE(line.at(0).at(0).toString(), status);
    }
};

QTEST_GUILESS_MAIN(TstSignOn)
#include "tst_sign_on.moc"
