#include "reports/ui/report_tool_windows.h"

#include "base/client_state.h"
#include "base/message_addressing.h"
#include "base/ui/colour.h"
#include "base/ui/show_and_raise.h"
#include "net/server_link.h"
#include "platform/dialogs.h"
#include "reports/report_intake.h"
#include "reports/report_list_model.h"
#include "reports/report_tools.h"
#include "reports/ui/phrase_windows.h"
#include "reports/ui/report_panel.h"
#include "reports/ui/routine_windows.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTreeView>

#include <algorithm>

ReportToolWindows::ReportToolWindows(const ClientContext &context, ReportListModel &reports,
                                     ReportIntake &intake, QObject *parent)
    : QObject(parent), m_context(context), m_reports(reports), m_intake(intake),
      m_phrases(new PhraseLists(context.state, context.services.dialogs, this))
{
}

ReportToolWindows::~ReportToolWindows()
{
    delete m_routine;
    delete m_report;
    delete m_routineViewer;
}

void ReportToolWindows::build(SubsystemHost &host, ReportPanel *panel)
{
    m_panel = panel;
    m_window = host.window();
    m_phrases->attach(panel, m_window);
    connect(panel, &ReportPanel::phraseTitleClicked, m_phrases, &PhraseLists::EditList);
    connect(panel, &ReportPanel::moreListsRequested, m_phrases, &PhraseLists::ShowLists);
    connect(panel, &ReportPanel::historicalDataRequested, this, &ReportToolWindows::cmdGetLast_Click);
    connect(panel, &ReportPanel::reportClicked, this, &ReportToolWindows::ShowReport);
}

void ReportToolWindows::buildMenus(MenuHost &host)
{
    const auto add = [&host, this](MenuPlace place, const char *name, const QString &caption, auto &&run) {
        QAction *a = host.addMenuItem(place, QString::fromLatin1(name), caption);
        connect(a, &QAction::triggered, this, run);
        return a;
    };
    // The captions stay as shipped when a list is renamed.
    static constexpr const char *listItems[] = {"mnuList1", "mnuList2", "mnuList3", "mnuList4",
                                                "mnuList5", "mnuList6", "mnuList7"};
    for (int n = 1; n <= PhraseListCount; ++n) {
        const QString caption = n <= 5   ? QStringLiteral("List &%1").arg(n)
                                : n == 6 ? QStringLiteral("List Severe / Wind")
                                         : QStringLiteral("List Flood / Winter / Other");
        add(MenuPlace::EditLists, listItems[n - 1], caption, [this, n] { m_phrases->EditList(n); });
    }
    add(MenuPlace::Edit, "mnuCopyList", QStringLiteral("&Copy List to Clipboard"),
        [this] { CopyToClipboard(false); });
    // "Selcted" is the item's documented name, misspelt as guides and users name it.
    add(MenuPlace::Edit, "mnuCopySelcted", QStringLiteral("Copy &Selected Records to Clipboard"),
        [this] { CopyToClipboard(true); });
    add(MenuPlace::Appearance, "mnuFont", QStringLiteral("&Font"), &ReportToolWindows::mnuFont_Click);
    add(MenuPlace::Appearance, "mnuSaveColumns", QStringLiteral("&Save Current Column Widths"),
        &ReportToolWindows::mnuSaveColumns_Click);
    QAction *routine =
        add(MenuPlace::MenuBar, "mnuRoutineReport", QStringLiteral("&Routine Formatted Report"),
            &ReportToolWindows::mnuRoutineReport_Click);
    routine->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    add(MenuPlace::MenuBar, "mnuLists", QStringLiteral("&Lists"), [this] {
        if (m_panel)
            m_panel->txtData->setFocus();
        m_phrases->ShowLists();
    });
}

void ReportToolWindows::closeWindows()
{
    for (QWidget *w :
         {static_cast<QWidget *>(m_routineViewer.data()), static_cast<QWidget *>(m_routine.data()),
          static_cast<QWidget *>(m_phrases->listsWindow()), static_cast<QWidget *>(m_report.data())})
        if (w)
            w->close();
}

void ReportToolWindows::mnuRoutineReport_Click()
{
    if (!m_panel)
        return;
    // A window already open keeps what the user typed into it.
    if (m_routine) {
        m_routine->raise();
        m_routine->activateWindow();
        return;
    }
    QPointer<ReportPanel> panel = m_panel;
    m_routine = new frmRoutineReport(
        m_context.state.settings, m_context.services.dialogs, m_station,
        [panel](const QString &text) {
            if (panel)
                panel->SendRoutine(text);
        },
        m_context.save, m_window);
    m_routine->txtObserved->setText(m_panel->txtData->text());
    m_panel->txtData->clear();
    m_panel->chkSevere->setChecked(false);
    showAndRaise(m_routine);
}

void ReportToolWindows::cmdGetLast_Click()
{
    const std::optional<QString> request = ReportTools::HistoricalRequest(m_context.services.dialogs.inputBox(
        QStringLiteral(
            "Please enter the number of hours of historical records to retrieve up to 168.  This data "
            "will be screened based on your Alert and Display settings.  The time stamp for historical "
            "records is Eastern time.  Records received in real time are assigned the local time of "
            "your PC."),
        QStringLiteral("How Many Hours?"), QStringLiteral("2")));
    if (!request)
        return;
    m_intake.setClearOnNextHistorical(true);
    m_context.link.SendData(*request);
    if (m_panel)
        m_panel->txtData->setFocus();
}

void ReportToolWindows::wireViewer(ReportViewer *viewer)
{
    connect(viewer, &ReportViewer::deleteRequested, this, &ReportToolWindows::cmdDelete_Click);
    connect(viewer, &ReportViewer::messageRequested, this, [this](const QString &user) {
        if (m_addressing)
            m_addressing->startMessageTo(user);
    });
}

void ReportToolWindows::ShowReport(int row)
{
    if (row < 0 || row >= m_reports.rowCount())
        return;
    const ReportRow &r = m_reports.row(row);
    m_selectedText = r.text;
    ReportViewer *viewer = nullptr;
    if (!ReportTools::IsRoutineRow(r.text)) {
        if (!m_report) {
            m_report = new FrmReport(m_window);
            wireViewer(m_report);
        }
        m_report->txtReport->setPlainText(r.text);
        viewer = m_report;
    } else {
        if (!m_routineViewer) {
            m_routineViewer = new frmDisplayRoutine(m_window);
            wireViewer(m_routineViewer);
        }
        m_routineViewer->ClearFields();
        m_routineViewer->FillFields(r.text);
        viewer = m_routineViewer;
    }
    viewer->ShowColumns(r);
    showAndRaise(viewer);
}

void ReportToolWindows::cmdDelete_Click()
{
    m_context.link.SendData(ReportTools::RetractMessage(m_selectedText));
}

void ReportToolWindows::CopyToClipboard(bool selectedOnly)
{
    QList<int> rows;
    if (selectedOnly) {
        if (m_panel)
            for (const QModelIndex &i : m_panel->ListView1->selectionModel()->selectedRows())
                rows << i.row();
        std::sort(rows.begin(), rows.end());
    } else {
        m_reports.flush();
        for (int r = 0; r < m_reports.rowCount(); ++r)
            rows << r;
    }
    QStringList headers;
    for (int c = 0; c < m_reports.columnCount(); ++c)
        headers << ReportListModel::ColumnTitle(c);
    QList<QStringList> cells;
    for (int r : rows)
        cells << m_reports.cells(r);
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(ReportTools::ClipboardText(headers, cells));
}

void ReportToolWindows::mnuSaveColumns_Click()
{
    if (!m_panel)
        return;
    m_context.state.columnWidths = ReportTools::SavedColumnWidths(m_panel->ColumnWidthsTwips());
    m_panel->SetColumnWidthsTwips(m_context.state.columnWidths);
    QString why;
    if (!SaveColumnWidthsFile(m_context.state, &why))
        m_context.services.dialogs.messageBox(
            QStringLiteral("The column widths could not be saved to %1: %2").arg(ColumnWidthsFileName, why),
            QStringLiteral("Save Current Column Widths"), Dialogs::OkOnly, Dialogs::Warning);
}

void ReportToolWindows::mnuFont_Click()
{
    SettingsRecord &s = m_context.state.settings;
    const std::optional<Dialogs::Font> chosen =
        m_context.services.dialogs.chooseFont({s.FontName, s.FontSize, s.FontBold, s.FontItalic});
    if (!chosen)
        return;
    s.FontName = chosen->name;
    s.FontSize = chosen->size;
    s.FontBold = chosen->bold;
    s.FontItalic = chosen->italic;
    if (m_panel)
        m_panel->ListView1->setFont(ListFont(s));
    emit listFontChanged();
    m_context.save();
}
