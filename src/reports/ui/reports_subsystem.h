#pragma once

#include "base/alert_sounds.h"
#include "base/ui/subsystem.h"
#include "reports/report_composer.h"
#include "reports/report_intake.h"
#include "reports/report_list_model.h"
#include "reports/ui/report_panel.h"

#include <QObject>
#include <QPointer>

class frmOptions;
class ReportMenus;
class ReportToolWindows;

// The reports flow: the intake on the link's dispatcher, the composer
// sending through the link, and, once the main window exists, the report
// panel, the Time and Record menu items, and the options and
// additional-counties windows.
class ReportsSubsystem final : public QObject, public Subsystem
{
    Q_OBJECT
public:
    ReportsSubsystem(const ClientContext &context, QObject *parent = nullptr);
    ~ReportsSubsystem() override;

    void buildWindows(SubsystemHost &host) override;
    void buildMenus(MenuHost &host) override;
    void loadStep(LoadStep step) override;
    void minute() override;
    bool inputEmpty() const override;
    void escape(bool allInputWasEmpty) override;
    void closeWindows() override;

    ReportListModel &reports() { return m_reports; }
    ReportIntake &intake() { return m_intake; }
    ReportComposer &composer() { return m_composer; }
    AlertSounds &sounds() { return m_sounds; }
    ReportPanel *panel() const { return m_panel; }
    ReportToolWindows &tools() { return *m_tools; }

    // What the other subsystems' places ask of the report panel; nothing
    // before the main window exists.
    void focusReportBox();
    void showPhraseLists(bool shown);
    void placeUnderList(QWidget *panel);
    // Selects and shows the listed row of this report, when it is still listed.
    void selectReport(const QString &text, const QString &time, const QString &observer);

    void mnuAlertOptions_Click();
    void mnuAdditionalCounties_Click();

signals:
    // Send was pressed before the server accepted the sign-on.
    void signOnRequested();
    // The options window is about to be shown: others may add options to it.
    void optionsOpened(frmOptions &window);

private:
    ClientContext m_context;
    AlertSounds m_sounds;
    ReportListModel m_reports;
    ReportIntake m_intake;
    ReportComposer m_composer;
    QWidget *m_window = nullptr;
    QPointer<ReportPanel> m_panel;
    ReportMenus *m_menus = nullptr;
    ReportToolWindows *m_tools = nullptr;
};
