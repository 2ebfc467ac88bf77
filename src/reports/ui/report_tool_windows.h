#pragma once

#include "base/ui/subsystem.h"
#include "reports/ui/routine_windows.h"

#include <QObject>
#include <QPointer>

class MessageAddressing;
class PhraseLists;
class ReportIntake;
class ReportListModel;
class ReportPanel;
class StationSource;
struct ReportRow;

// The report tools around the report panel: the phrase lists, the routine
// formatted report, the two report viewers with the retraction, and the
// list's commands (history, copy, column widths, font).
class ReportToolWindows final : public QObject
{
    Q_OBJECT
public:
    ReportToolWindows(const ClientContext &context, ReportListModel &reports, ReportIntake &intake,
                      QObject *parent = nullptr);
    ~ReportToolWindows() override;

    // Until these are given the viewers' "&Send Message" does nothing and the
    // station button takes its not-set-up path.
    void setMessageAddressing(MessageAddressing *addressing) { m_addressing = addressing; }
    void setStationSource(StationSource *station) { m_station = station; }

    void build(SubsystemHost &host, ReportPanel *panel);
    void buildMenus(MenuHost &host);
    void closeWindows();

    PhraseLists &phraseLists() { return *m_phrases; }
    frmRoutineReport *routineWindow() const { return m_routine; }
    FrmReport *reportWindow() const { return m_report; }
    frmDisplayRoutine *routineViewer() const { return m_routineViewer; }

    void mnuRoutineReport_Click();
    void cmdGetLast_Click();
    // The item click and mouse up on a row, in one.
    void ShowReport(int row);
    void cmdDelete_Click();
    void CopyToClipboard(bool selectedOnly);
    void mnuSaveColumns_Click();
    void mnuFont_Click();

signals:
    // The list font changed: the warnings list follows.
    void listFontChanged();

private:
    void wireViewer(ReportViewer *viewer);

    ClientContext m_context;
    ReportListModel &m_reports;
    ReportIntake &m_intake;
    PhraseLists *m_phrases;
    QPointer<ReportPanel> m_panel;
    QPointer<QWidget> m_window;
    QPointer<frmRoutineReport> m_routine;
    QPointer<FrmReport> m_report;
    QPointer<frmDisplayRoutine> m_routineViewer;
    QString m_selectedText; // the report last clicked, kept for Delete
    MessageAddressing *m_addressing = nullptr;
    StationSource *m_station = nullptr;
};
