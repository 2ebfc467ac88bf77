#include "base/client_state.h"
#include "net/dispatcher.h"
#include "net/protocol.h"
#include "net/sign_on.h"

#include <QtTest>

using namespace Qt::Literals::StringLiterals;

// The sign-on messages, the form's actions and the server's replies.
class TstSignOn : public QObject
{
    Q_OBJECT

private slots:
    // Separators typed into the profile are escaped on the wire but stored as
    // typed; the re-sign-on differs only by the missing version field.
    void messages()
    {
        SettingsRecord s;
        SignOnForm f;
        f.firstName = u"Ann"_s;
        f.lastName = u"Lee"_s;
        f.address = u"1 Main|Apt 2"_s;
        f.city = u"Ames"_s;
        f.county = u"Story"_s;
        f.state = u"ia"_s;
        f.zip = u"50010"_s;
        f.email = u"ann@example.org"_s;
        f.currentLocation = u"5 mi N: Ames"_s;
        f.userName = u"ann1"_s;
        f.password = u"pa'ss"_s;
        SignOn::StoreProfile(SignOn::TrimForLogIn(f), s);
        QCOMPARE(s.Address, u"1 Main|Apt 2"_s);
        QCOMPARE(s.Password, EscapeOutgoing(u"pa'ss"_s));
        const QString body = u"ann1|"_s + s.Password + u"|Ann||Lee|1 Main"_s + EscapeOutgoing(u"|"_s) +
                             u"Apt 2|Ames|Story|IA|50010|ann@example.org|5 mi N"_s + EscapeOutgoing(u":"_s) +
                             u" Ames|"_s;
        QCOMPARE(SignOn::BuildSignOnMessage(s, ClientState::ClientVersion), u":SGN|"_s + body + u"2.4|^"_s);
        QCOMPARE(SignOn::BuildReSignOnMessage(s), u":SGN|"_s + body + u"^"_s);
        QCOMPARE(SignOn::BuildNewAccountMessage(s), u":NEW|ann1|"_s + s.Password + u"|^"_s);
    }

    // Log In while signed on only keeps the profile; New Account trims, sends
    // and saves once, and is refused while signed on or without a password.
    void actions()
    {
        ClientState state;
        int saves = 0;
        QStringList queued;
        SignOnActions actions(
            state, [&] { ++saves; }, [&](const QString &m) { queued.append(m); });
        SignOnForm f;
        f.userName = u" bob "_s;
        f.password = u" x "_s;
        f.county = u" Polk "_s;
        auto out = actions.NewAccount(f);
        QVERIFY(out.check.accepted() && out.hideForm && out.showMainWindow);
        QCOMPARE(queued, QStringList{u":NEW|bob|x|^"_s});
        QCOMPARE(state.settings.UserCounty, u"Polk"_s);
        QCOMPARE(saves, 1);

        state.signedOn = true;
        QCOMPARE(actions.NewAccount(f).check.text, u"You are already logged in."_s);
        for (QString *box : {&f.firstName, &f.lastName, &f.address, &f.city, &f.state, &f.zip, &f.email})
            *box = u"x"_s;
        f.currentLocation = u"Boone"_s;
        QVERIFY(actions.LogIn(f).check.accepted());
        QCOMPARE(state.settings.UserLocation, u"Boone"_s);
        QCOMPARE(saves, 2);
        state.signedOn = false;
        f.password = u"  "_s;
        QCOMPARE(actions.NewAccount(f).check.text, u"User Name and password required."_s);
        QCOMPARE(queued.size(), 1);
        QCOMPARE(saves, 2);
    }

    // What each reply asks of the window, in order, and what it leaves.
    void replies_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("requests");
        QTest::addColumn<bool>("signedOn");
        QTest::addColumn<int>("ineligible");
        using L = QStringList;
        QTest::newRow("SGN 2") << ":SGN|2|^"
                               << L{u"status: Connected"_s, u"form"_s, u"box: Invalid password"_s} << true
                               << 0;
        QTest::newRow("SGN 3") << ":SGN|3|^" << L{u"status: Welcome ann1!"_s} << true << 0;
        QTest::newRow("SGN 4") << ":SGN|4|^"
                               << L{u"status: Connected"_s, u"form"_s, u"box: You are already logged in."_s}
                               << false << 0;
        QTest::newRow("SGN 5") << ":SGN|5|^"
                               << L{u"box, then end: You are no longer eligible to use of this service."_s}
                               << false << 1;
        QTest::newRow("SGN other") << ":SGN|9|^" << L{} << true << 0;
        QTest::newRow("NEW 2") << ":NEW|2|^"
                               << L{u"form"_s, u"box: User name already exists.  Please try another user "
                                               "name.  If you have already created an account, please "
                                               "click Log In."_s}
                               << true << 0;
    }
    void replies()
    {
        QFETCH(QString, message);
        QFETCH(int, ineligible);
        ClientState state;
        state.signedOn = true;
        state.settings.UserName = u"ann1"_s;
        int saves = 0;
        SignOnReplies replies(state, [&] { ++saves; });
        Dispatcher dispatcher;
        replies.registerOn(dispatcher);
        QStringList requests;
        connect(&replies, &SignOnReplies::signOnFormRequested, this, [&] { requests << u"form"_s; });
        connect(&replies, &SignOnReplies::messageBoxRequested, this,
                [&](const QString &text, const QString &, bool endAfter) {
                    requests << (endAfter ? u"box, then end: "_s : u"box: "_s) + text;
                });
        connect(&replies, &SignOnReplies::statusChanged, this,
                [&](const QString &text) { requests << u"status: "_s + text; });
        dispatcher.dispatch(message);
        QTEST(requests, "requests");
        QTEST(state.signedOn, "signedOn");
        QCOMPARE(state.settings.Ineligible, ineligible);
        QCOMPARE(saves, ineligible);
    }
};

QTEST_GUILESS_MAIN(TstSignOn)
#include "tst_sign_on.moc"
