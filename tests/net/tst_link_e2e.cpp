// ctest-label: e2e
#include "base/client_state.h"
#include "graphics/url_download.h"
#include "net/server_link.h"
#include "net/sign_on.h"
#include "relay_process.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

// The link and the sign-on rules against a real relay: a new account, a
// sign-on, and the automatic re-sign-on after the relay restarts.
class TstLinkE2e : public QObject
{
    Q_OBJECT

private slots:
    void accountSignOnAndReturn()
    {
        QTemporaryDir dir;
        const QString database = dir.filePath(QStringLiteral("relay.sqlite"));
        auto relay = std::make_unique<RelayProcess>();
        QVERIFY2(relay->start({QStringLiteral("--pbkdf2-iterations"), QStringLiteral("1000")}, database),
                 qPrintable(relay->log()));
        pointAt(dir.path(), relay->httpPort());

        ClientState state;
        state.dataDir = dir.path();
        UrlDownloader downloader;
        ServerLink link(state, downloader);
        SignOnReplies replies(state, nullptr);
        replies.registerOn(link.dispatcher());
        QSignalSpy boxes(&replies, &SignOnReplies::messageBoxRequested);
        QSignalSpy welcome(&replies, &SignOnReplies::statusChanged);
        SignOnActions actions(state, nullptr, [&](const QString &m) { link.QueuePendingMessage(m); });

        SignOnForm form;
        form.firstName = QStringLiteral("Ann");
        form.lastName = QStringLiteral("Lee");
        form.address = QStringLiteral("1 Main");
        form.city = QStringLiteral("Ames");
        form.county = QStringLiteral("Story");
        form.state = QStringLiteral("IA");
        form.zip = QStringLiteral("50010");
        form.email = QStringLiteral("ann@example.org");
        form.userName = QStringLiteral("annlee");
        form.password = QStringLiteral("pa55word");

        QVERIFY(actions.NewAccount(form).check.accepted());
        link.Connect();
        QTRY_COMPARE_WITH_TIMEOUT(link.state(), LinkState::Connected, 5000);
        link.Timer1_Timer();
        QTRY_COMPARE_WITH_TIMEOUT(boxes.size(), 1, 5000);
        QCOMPARE(boxes.at(0).at(1).toString(), QStringLiteral("Account Successfully Created"));

        QVERIFY(actions.LogIn(form).check.accepted());
        link.Timer1_Timer();
        QTRY_COMPARE_WITH_TIMEOUT(welcome.size(), 1, 5000);
        QCOMPARE(welcome.at(0).at(0).toString(), QStringLiteral("Welcome annlee!"));
        QVERIFY(state.signedOn);

        // The relay goes away and comes back on new ports.
        QVERIFY(relay->stop());
        QTRY_COMPARE_WITH_TIMEOUT(link.state(), LinkState::Closed, 5000);
        link.Timer1_Timer();
        QTRY_VERIFY_WITH_TIMEOUT(!link.addressFetchPending(), 5000);
        QCOMPARE(link.state(), LinkState::Closed);
        relay = std::make_unique<RelayProcess>();
        QVERIFY2(relay->start({}, database), qPrintable(relay->log()));
        pointAt(dir.path(), relay->httpPort());
        link.Timer1_Timer();
        QTRY_COMPARE_WITH_TIMEOUT(link.state(), LinkState::Connected, 5000);
        QVERIFY(state.pendingMessage.endsWith(QStringLiteral("|50010|ann@example.org||^")));
        link.Timer1_Timer();
        QTRY_COMPARE_WITH_TIMEOUT(welcome.size(), 2, 5000);
        QCOMPARE(boxes.size(), 1);
        QVERIFY(state.pendingMessage.isEmpty());
    }

private:
    static void pointAt(const QString &dir, quint16 httpPort)
    {
        QFile f(dir + QStringLiteral("/AddressHost.txt"));
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("http://127.0.0.1:" + QByteArray::number(httpPort) + "\r\n");
    }
};

QTEST_GUILESS_MAIN(TstLinkE2e)
#include "tst_link_e2e.moc"
