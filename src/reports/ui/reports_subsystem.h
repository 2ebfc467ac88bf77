#pragma once

#include "reports/alert_sounds.h"
#include "reports/report_composer.h"
#include "reports/report_intake.h"
#include "reports/report_list_model.h"
#include "warnlink/warnings_model.h"

#include <QObject>

#include <functional>

class Clock;
class Dialogs;
class Form1;
class ReportMenus;
class ReportPanel;
class ServerLink;
class SoundPlayer;
struct ClientState;

// The reports flow put into the main window: the report panel, the intake
// on the link's dispatcher, the composer sending through the link, the
// Time and Record menu items, the options, additional-counties and filter
// windows, and the UTC-offset steps at load and every minute.
class ReportsSubsystem : public QObject
{
    Q_OBJECT
public:
    ReportsSubsystem(Form1 &form, ClientState &state, ServerLink &link, const Clock &clock, Dialogs &dialogs,
                     SoundPlayer &sound, std::function<void()> showSignOn);
    ~ReportsSubsystem() override;

    ReportListModel &reports() { return m_reports; }
    WarningsModel &warnings() { return m_warnings; }
    ReportIntake &intake() { return m_intake; }
    ReportComposer &composer() { return m_composer; }
    AlertSounds &sounds() { return m_sounds; }
    ReportPanel *panel() const { return m_panel; }
    ReportMenus *menus() const { return m_menus; }

    void mnuAlertOptions_Click();
    void mnuAdditionalCounties_Click();
    void mnuFilter_Click();

private:
    Form1 &m_form;
    ClientState &m_state;
    Dialogs &m_dialogs;
    AlertSounds m_sounds;
    ReportListModel m_reports;
    WarningsModel m_warnings;
    ReportIntake m_intake;
    ReportComposer m_composer;
    ReportPanel *m_panel = nullptr;
    ReportMenus *m_menus = nullptr;
};
