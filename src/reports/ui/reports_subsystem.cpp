#include "reports/ui/reports_subsystem.h"

#include "base/client_state.h"
#include "base/status_line.h"
#include "base/ui/colour.h"
#include "net/server_link.h"
#include "platform/clock.h"
#include "reports/ui/frm_add_counties.h"
#include "reports/ui/frm_options.h"
#include "reports/ui/report_menus.h"
#include "reports/ui/report_panel.h"
#include "reports/ui/report_tool_windows.h"

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QTreeView>

ReportsSubsystem::ReportsSubsystem(const ClientContext &context, QObject *parent)
    : QObject(parent), m_context(context), m_sounds(context.services.sound, context.state.dataDir),
      m_intake(context.state, context.services.clock, context.window, m_sounds, m_reports),
      m_composer(context.state, context.services.clock, context.services.dialogs, context.link)
{
    m_intake.RegisterHandlers(context.link.dispatcher());
    // The report's line holds the status line for one supervision interval.
    StatusLine &line = context.statusLine;
    connect(&m_intake, &ReportIntake::statusLine, &line,
            [&line](const QString &text, const Rgb &fore, const Rgb &back) {
                line.showHeld(text);
                line.flash(fore, back);
            });
    m_menus = new ReportMenus(context.state, context.save, this);
    // Recording stopped for a log that cannot be written: said in red, and
    // the menu's tick goes.
    connect(&m_intake, &ReportIntake::logStopped, this, [this, &line](const QString &text) {
        line.showHeld(text);
        line.show(text, StatusStyle::Red);
        m_menus->showRecordSetting();
    });
    m_tools = new ReportToolWindows(context, m_reports, m_intake, this);
}

ReportsSubsystem::~ReportsSubsystem() = default;

void ReportsSubsystem::buildWindows(SubsystemHost &host)
{
    m_window = host.window();
    m_panel = new ReportPanel(m_reports, m_composer, m_context.state);
    host.addPanel(PanelSlot::Reports, m_panel);
    connect(m_panel, &ReportPanel::signOnRequested, this, &ReportsSubsystem::signOnRequested);
    m_tools->build(host, m_panel);
}

void ReportsSubsystem::buildMenus(MenuHost &host)
{
    connect(host.addMenuItem(MenuPlace::Settings, QStringLiteral("mnuAlertOptions"),
                             QStringLiteral("&Alert and Display Options")),
            &QAction::triggered, this, &ReportsSubsystem::mnuAlertOptions_Click);
    m_menus->build(host);
    connect(host.addMenuItem(MenuPlace::SettingsLower, QStringLiteral("mnuAdditionalCounties"),
                             QStringLiteral("Add Additional &Counties")),
            &QAction::triggered, this, &ReportsSubsystem::mnuAdditionalCounties_Click);
    m_tools->buildMenus(host);
}

void ReportsSubsystem::closeWindows()
{
    m_tools->closeWindows();
}

void ReportsSubsystem::loadStep(LoadStep step)
{
    if (step == LoadStep::Scaled) {
        m_intake.ComputeUtcOffset();
        m_menus->showRecordSetting();
    } else if (step == LoadStep::ListsRead) {
        if (m_panel) {
            m_panel->ReloadPhraseLists();
            m_panel->SetColumnWidthsTwips(m_context.state.columnWidths);
            m_panel->applyListFont(ListFont(m_context.state.settings));
        }
        m_menus->showTimeMode();
    }
}

void ReportsSubsystem::minute()
{
    // Follows a change to or from daylight saving time within the minute.
    m_intake.ComputeUtcOffset();
}

bool ReportsSubsystem::inputEmpty() const
{
    return !m_panel || m_panel->txtData->text().isEmpty();
}

void ReportsSubsystem::escape(bool)
{
    if (m_panel)
        m_panel->EscapePressed();
}

void ReportsSubsystem::focusReportBox()
{
    if (m_panel)
        m_panel->focusReportBox();
}

void ReportsSubsystem::selectReport(const QString &text, const QString &time, const QString &observer)
{
    if (!m_panel)
        return;
    m_reports.flush();
    for (int r = 0; r < m_reports.rowCount(); ++r) {
        const ReportRow &row = m_reports.row(r);
        if (row.text == text && row.timeText == time && row.observer == observer) {
            m_panel->ListView1->setCurrentIndex(m_reports.index(r, 0));
            m_panel->ListView1->scrollTo(m_reports.index(r, 0));
            return;
        }
    }
}

void ReportsSubsystem::showPhraseLists(bool shown)
{
    if (m_panel)
        m_panel->showPhraseLists(shown);
}

void ReportsSubsystem::placeUnderList(QWidget *panel)
{
    if (m_panel && panel)
        m_panel->PlaceUnderList(panel);
}

void ReportsSubsystem::mnuAlertOptions_Click()
{
    frmOptions options(m_context.state.settings, m_window);
    emit optionsOpened(options);
    options.exec();
    m_context.save();
}

void ReportsSubsystem::mnuAdditionalCounties_Click()
{
    frmAddCounties counties(m_context.state, m_context.services.dialogs, m_window);
    // Closing the window any other way than Done keeps the stored list.
    if (counties.exec() == QDialog::Accepted)
        counties.StoreEntries();
}
