#pragma once

#include "app/ui/client_app.h"
#include "app/ui/form1.h"
#include "base/alert_sounds.h"
#include "base/client_state.h"
#include "base/status_line.h"
#include "fake_desktop.h"
#include "net/protocol.h"
#include "net/server_link.h"
#include "net/sign_on.h"
#include "reports/ui/report_panel.h"
#include "reports/ui/reports_subsystem.h"
#include "test_files.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>

// One client as main() puts it together, through the same composition
// root, with the desktop faked. The main window is created, not loaded.
struct ClientFixture : FakeDesktop
{
    QTemporaryDir dir;
    ClientState state;
    std::unique_ptr<ClientApp> client;
    Form1 *form = nullptr;
    ServerLink *link = nullptr;
    SignOnReplies *replies = nullptr;
    ReportsSubsystem *reports = nullptr;

    // Port 1: the supervision tick finds nothing there when no relay runs.
    explicit ClientFixture(const QString &user = QStringLiteral("CARL"), quint16 httpPort = 1)
    {
        state.dataDir = dir.path();
        state.settings.UserName = user;
        state.settings.UserState = QStringLiteral("MD");
        state.settings.UserCounty = QStringLiteral("HARFORD");
        state.settings.UserZip = QStringLiteral("21014");
        state.settings.UserLocation = QStringLiteral("Bel Air");
        TestFiles::pointAt(dir.path(), httpPort);
        // The sounds start-up copies into every data folder.
        for (const QString &file : {AlertSounds::RoutineFile, AlertSounds::AlertFile})
            TestFiles::write(state.filePath(file), {});
        client = std::make_unique<ClientApp>(state, services());
        link = &client->link();
        replies = &client->signOnReplies();
        reports = &client->reports();
        form = &client->createMainWindow();
    }
    ReportPanel &panel() { return *reports->panel(); }
    QLabel *statusLabel() const { return form->findChild<QLabel *>(QStringLiteral("lblStatus")); }
    void arrive(const QString &text) { link->receiveBuffer().Append(text); }
    int rows() { return reports->reports().rowCount(); }
    QString topText() { return reports->reports().index(0, 0).data().toString(); }
    void send(const QString &text, bool severe)
    {
        panel().txtData->setText(text);
        panel().chkSevere->setChecked(severe);
        panel().cmdSend_Click();
    }
};

inline QString report(const QString &text, const QString &state = QStringLiteral("MD"),
                      const QString &county = QStringLiteral("HARFORD"))
{
    return ServerMessage(u"RPT", {text, state, county, QStringLiteral("21014"), QStringLiteral("SPOTTER"),
                                  QStringLiteral("Bel Air"), QStringLiteral("12/6/2026 6:44:52 PM")});
}
