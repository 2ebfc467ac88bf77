#include "base/client_state.h"
#include "net/dispatcher.h"
#include "net/protocol.h"
#include "net/sign_on.h"

#include <QSignalSpy>
#include <QtTest>

using namespace Qt::Literals::StringLiterals;

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

    void replies_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("showForm");
        QTest::addColumn<QString>("box");
        QTest::addColumn<bool>("endAfter");
        QTest::addColumn<bool>("signedOn");
        QTest::addColumn<int>("ineligible");
        QTest::addColumn<QString>("status");
        QTest::newRow("SGN 2") << ":SGN|2|^" << true << "Invalid password" << false << true << 0 << QString();
        QTest::newRow("SGN 3") << ":SGN|3|^" << false << QString() << false << true << 0 << "Welcome ann1!";
        QTest::newRow("SGN 4") << ":SGN|4|^" << true << "You are already logged in." << false << false << 0
                               << QString();
        QTest::newRow("SGN 5") << ":SGN|5|^" << false << "You are no longer eligible to use of this service."
                               << true << false << 1 << QString();
        QTest::newRow("SGN other") << ":SGN|9|^" << false << QString() << false << true << 0 << QString();
        QTest::newRow("NEW 2") << ":NEW|2|^" << true
                               << "User name already exists.  Please try another user name.  If you have "
                                  "already created an account, please click Log In."
                               << false << true << 0 << QString();
    }
    void replies()
    {
        QFETCH(QString, message);
        QFETCH(bool, showForm);
        QFETCH(QString, box);
        QFETCH(bool, endAfter);
        QFETCH(bool, signedOn);
        QFETCH(int, ineligible);
        QFETCH(QString, status);
        ClientState state;
        state.signedOn = true;
        state.settings.UserName = u"ann1"_s;
        int saves = 0;
        SignOnReplies replies(state, [&] { ++saves; });
        Dispatcher dispatcher;
        replies.registerOn(dispatcher);
        QSignalSpy form(&replies, &SignOnReplies::signOnFormRequested);
        QSignalSpy boxes(&replies, &SignOnReplies::messageBoxRequested);
        QSignalSpy line(&replies, &SignOnReplies::statusChanged);
        dispatcher.dispatch(message);
        QCOMPARE(form.size(), showForm ? 1 : 0);
        QCOMPARE(boxes.size(), box.isEmpty() ? 0 : 1);
        if (!box.isEmpty())
            QCOMPARE((QVariantList{boxes.at(0).at(0), boxes.at(0).at(2)}), (QVariantList{box, endAfter}));
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
