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
        auto out = actions.LogIn(filledForm());
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
        QTest::newRow("NEW 2") << ":NEW|2|^" << true
                               << "User name already exists.  Please try another user name.  If you have "
                                  "already created an account, please click Log In."
                               << "Username Already Exists." << false << true << 0 << QString();
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
