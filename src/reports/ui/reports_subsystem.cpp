#include "reports/ui/reports_subsystem.h"

#include "app/ui/form1.h"
#include "base/client_state.h"
#include "base/settings.h"
#include "base/ui/colour.h"
#include "community/ui/frm_filter.h"
#include "net/server_link.h"
#include "reports/ui/frm_add_counties.h"
#include "reports/ui/frm_options.h"
#include "reports/ui/report_menus.h"
#include "reports/ui/report_panel.h"

#include <QAction>
#include <QTreeView>

ReportsSubsystem::ReportsSubsystem(Form1 &form, ClientState &state, ServerLink &link, const Clock &clock,
                                   Dialogs &dialogs, SoundPlayer &sound, std::function<void()> showSignOn)
    : QObject(&form), m_form(form), m_state(state), m_dialogs(dialogs), m_sounds(sound, state.dataDir),
      m_intake(state, clock, form.windowActions(), m_sounds, m_reports, m_warnings),
      m_composer(state, clock, dialogs, link)
{
    m_warnings.setForegroundProvider(ForegroundBrush);
    m_intake.RegisterHandlers(link.dispatcher());

    m_panel = new ReportPanel(m_reports, m_composer, state);
    form.setReportPanel(m_panel);
    connect(m_panel, &ReportPanel::signOnRequested, this, [showSignOn] {
        if (showSignOn)
            showSignOn();
    });

    // The report's line holds the status label for one supervision interval.
    connect(&m_intake, &ReportIntake::statusLine, &form,
            [&form](const QString &text, const Rgb &fore, const Rgb &back) {
                form.ShowStatusLine(text);
                form.FlashStatus(ToQColor(fore), ToQColor(back));
            });

    // The main window has read the list files: show the two phrase lists
    // and the saved column widths.
    form.setLoadStep(Form1::LoadStep::ListFiles, [this] {
        m_panel->ReloadPhraseLists();
        m_panel->SetColumnWidthsTwips(m_state.columnWidths);
    });
    form.setLoadStep(Form1::LoadStep::Fonts,
                     [this] { m_panel->ListView1->setFont(ListFont(m_state.settings)); });
    form.setLoadStep(Form1::LoadStep::ComputeUtcOffset, [this] { m_intake.ComputeUtcOffset(); });
    form.setMinuteStep(Form1::MinuteStep::UtcOffset, [this] { m_intake.ComputeUtcOffset(); });

    m_menus = new ReportMenus(
        state, [this] { SaveSettings(m_state); }, this);
    m_menus->Attach(&form);

    const auto hook = [this](QAction *a, void (ReportsSubsystem::*slot)()) {
        if (!a)
            return;
        a->setEnabled(true);
        connect(a, &QAction::triggered, this, slot);
    };
    hook(form.menuAction(QStringLiteral("mnuAlertOptions")), &ReportsSubsystem::mnuAlertOptions_Click);
    hook(form.menuAction(QStringLiteral("mnuAdditionalCounties")),
         &ReportsSubsystem::mnuAdditionalCounties_Click);
    hook(form.menuAction(QStringLiteral("mnuFilter")), &ReportsSubsystem::mnuFilter_Click);
}

ReportsSubsystem::~ReportsSubsystem() = default;

void ReportsSubsystem::mnuAlertOptions_Click()
{
    frmOptions options(m_state.settings, &m_form);
    options.exec();
    SaveSettings(m_state);
}

void ReportsSubsystem::mnuAdditionalCounties_Click()
{
    frmAddCounties counties(m_state, m_dialogs, &m_form);
    // Closing the window any other way than Done keeps the stored list.
    if (counties.exec() == QDialog::Accepted)
        counties.StoreEntries();
}

void ReportsSubsystem::mnuFilter_Click()
{
    frmFilter filter(m_state, m_dialogs, &m_form);
    filter.exec();
}
