#include "station/ui/frm_automated_data.h"

#include "base/form_scaling.h"
#include "base/ui/scale_window.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "station/station_history.h"
#include "station/ui/station_chart.h"

#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTreeView>
#include <QVBoxLayout>

using namespace Qt::Literals::StringLiterals;

frmAutomatedData::frmAutomatedData(const Clock &clock, Dialogs &dialogs, QWidget *parent)
    : QWidget(parent, Qt::Window), m_clock(clock), m_model(clock), m_dialogs(dialogs)
{
    setObjectName(u"frmAutomatedData"_s);
    setWindowTitle(u"Automated Weather Station Data"_s);
    auto *layout = new QVBoxLayout(this);
    m_layout = layout;
    ListView1 = new QTreeView(this);
    ListView1->setObjectName(u"ListView1"_s);
    ListView1->setRootIsDecorated(false);
    ListView1->setUniformRowHeights(true);
    ListView1->setAllColumnsShowFocus(true);
    ListView1->setModel(&m_model);
    ListView1->setToolTip(u"Click the column header to sort alphanumerically by any column.  Sorts will be "
                          u"updated as new data is posted."_s);
    ListView1->header()->setSectionsClickable(true);
    ListView1->header()->setStretchLastSection(false);
    layout->addWidget(ListView1, 1);

    auto *bottom = new QHBoxLayout;
    Check1 = new QCheckBox(u"Keep Form on Top"_s, this);
    Check1->setObjectName(u"Check1"_s);
    chkCurrentReadings = new QCheckBox(u"Current Readings Only"_s, this);
    chkCurrentReadings->setObjectName(u"chkCurrentReadings"_s);
    chkCurrentReadings->setChecked(true);
    Command2 = new QPushButton(u"&Copy to Clipboard"_s, this);
    Command2->setObjectName(u"Command2"_s);
    Command1 = new QPushButton(u"&Done"_s, this);
    Command1->setObjectName(u"Command1"_s);
    bottom->addWidget(Check1);
    bottom->addWidget(chkCurrentReadings);
    bottom->addStretch(1);
    bottom->addWidget(Command2);
    bottom->addWidget(Command1);
    layout->addLayout(bottom);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(u"Timer1"_s);
    Timer1->setInterval(60'000);
    Timer1->start();

    connect(&m_model, &StationTableModel::titleChanged, this, &QWidget::setWindowTitle);
    connect(ListView1->header(), &QHeaderView::sectionClicked, this, [this](int column) {
        Command1->setFocus();
        m_model.ColumnClick(column);
    });
    connect(ListView1->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &frmAutomatedData::showChart);
    connect(Timer1, &QTimer::timeout, &m_model, &StationTableModel::Timer1_Timer);
    connect(chkCurrentReadings, &QCheckBox::clicked, this, &frmAutomatedData::chkCurrentReadings_Click);
    connect(Check1, &QCheckBox::clicked, this, [this](bool on) {
        KeepFormOnTop(on);
        Command1->setFocus();
    });
    connect(Command1, &QPushButton::clicked, this, &frmAutomatedData::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &frmAutomatedData::Command2_Click);
    ScaleWindow(this, FormScaling::WindowGroup::Main, QSize(800, 360));
    // The columns keep their designed proportions, widened together when the
    // scaled font needs more room than the designed one for a time of receipt.
    const double timeWidth =
        StationTableModel::WidthTwips(StationTableModel::TimeColumn) / FormScaling::TwipsPerPixel;
    const double widen =
        qMax(1.0, (ListView1->fontMetrics().horizontalAdvance(u"12/06 12:00"_s) + 20) / timeWidth);
    int total = 0;
    for (int c = 0; c < StationTableModel::ColumnCount; ++c) {
        const int width = int(StationTableModel::WidthTwips(c) / FormScaling::TwipsPerPixel * widen);
        ListView1->setColumnWidth(c, width);
        total += width;
    }
    const QMargins margins = layout->contentsMargins();
    const int wanted = total + 2 * ListView1->frameWidth() +
                       ListView1->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + margins.left() +
                       margins.right();
    // Never wider than the screen: the table scrolls instead.
    const int room = screen() ? screen()->availableGeometry().width() : wanted;
    if (wanted > width())
        resize(qMin(wanted, room), height());
}

void frmAutomatedData::showChart(const QModelIndex &current)
{
    if (!current.isValid() || !m_history)
        return;
    const StationTableModel::Row &row = m_model.row(current.row());
    m_chartObserver = row[StationTableModel::ObserverColumn];
    if (!m_chart) {
        m_chart = new StationChart(this);
        m_layout->insertWidget(1, m_chart, 1);
        // The table keeps its height: the window grows by the chart's.
        resize(width(), height() + m_chart->sizeHint().height());
    }
    refreshChart();
}

void frmAutomatedData::readingArrived(const QString &observer)
{
    if (m_chart && observer == m_chartObserver)
        refreshChart();
}

void frmAutomatedData::refreshChart()
{
    const StationTableModel::Row *shown = nullptr;
    for (int r = 0; r < m_model.rowCount() && !shown; ++r)
        if (m_model.row(r)[StationTableModel::ObserverColumn] == m_chartObserver)
            shown = &m_model.row(r);
    QString title = m_chartObserver;
    if (shown && !(*shown)[3].isEmpty())
        title += u" - "_s + (*shown)[3] + u", "_s + (*shown)[1] + u" "_s + (*shown)[0];
    m_chart->setStation(title, m_history->samples(m_chartObserver, m_clock.localNow()));
}

void frmAutomatedData::KeepFormOnTop(bool on)
{
    // Changing the flag hides a shown window; it comes back where it was.
    const bool shown = isVisible();
    const QRect place = geometry();
    setWindowFlag(Qt::WindowStaysOnTopHint, on);
    if (shown) {
        setGeometry(place);
        show();
    }
}

void frmAutomatedData::chkCurrentReadings_Click()
{
    const bool on = chkCurrentReadings->isChecked();
    if (!on)
        m_dialogs.messageBox(u"Caution, each connected station adds 1,440 records per day.  Listing all "
                             u"reports over an extended period will eventually exhaust your available RAM."_s,
                             u"Caution!"_s);
    m_model.setCurrentReadingsOnly(on);
    Command1->setFocus();
}

void frmAutomatedData::Command2_Click()
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(m_model.ClipboardText());
    Command1->setFocus();
}

void frmAutomatedData::Command1_Click()
{
    hide();
}
