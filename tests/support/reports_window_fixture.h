#pragma once

#include "app/ui/form1.h"
#include "base/client_state.h"
#include "fake_desktop.h"
#include "graphics/url_download.h"
#include "net/protocol.h"
#include "net/server_link.h"
#include "net/sign_on.h"
#include "reports/alert_sounds.h"
#include "reports/ui/report_panel.h"
#include "reports/ui/reports_subsystem.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QTemporaryDir>

// One client as main() puts it together, with the desktop faked.
struct ReportsWindow : FakeDesktop
{
    QTemporaryDir dir;
    ClientState state;
    UrlDownloader downloader;
    std::unique_ptr<ServerLink> link;
    std::unique_ptr<SignOnReplies> replies;
    std::unique_ptr<Form1> form;
    ReportsSubsystem *reports = nullptr;

    // Port 1: the supervision tick finds nothing there when no relay runs.
    explicit ReportsWindow(const QString &user = QStringLiteral("CARL"), quint16 httpPort = 1)
    {
        state.dataDir = dir.path();
        state.settings.UserName = user;
        state.settings.UserState = QStringLiteral("MD");
        state.settings.UserCounty = QStringLiteral("HARFORD");
        state.settings.UserZip = QStringLiteral("21014");
        state.settings.UserLocation = QStringLiteral("Bel Air");
        QFile host(state.filePath(QStringLiteral("AddressHost.txt")));
        host.open(QIODevice::WriteOnly);
        host.write("http://127.0.0.1:" + QByteArray::number(httpPort) + "\r\n");
        host.close();
        // The sounds start-up copies into every data folder.
        for (const QString &file : {AlertSounds::RoutineFile, AlertSounds::AlertFile}) {
            QFile sound(state.filePath(file));
            sound.open(QIODevice::WriteOnly);
        }
        link = std::make_unique<ServerLink>(state, downloader);
        replies = std::make_unique<SignOnReplies>(state, nullptr);
        replies->registerOn(link->dispatcher());
        form = std::make_unique<Form1>(state, *link, services());
        reports = new ReportsSubsystem(*form, state, *link, clock, dialogs, sound, [] {});
    }
    ReportPanel &panel() { return *reports->panel(); }
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
