#include "reports/ui/routine_windows.h"

#include "base/settings.h"
#include "base/station_source.h"
#include "base/ui/scale_window.h"
#include "base/ui/text_filter.h"
#include "base/ui/typing_filter.h"
#include "platform/dialogs.h"
#include "reports/report_text.h"

#include <QButtonGroup>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

using namespace ReportTools;

namespace {

constexpr const char *boxNames[RoutineFieldCount] = {"txtObserved", "txtTemp", "txtWS",       "txtWD",
                                                     "txtMG",       "txtBP",   "txtHumidity", "txtDP"};

QLineEdit *namedBox(QWidget *parent, const char *name)
{
    auto *b = new QLineEdit(parent);
    b->setObjectName(QString::fromLatin1(name));
    return b;
}

QRadioButton *option(QWidget *parent, const char *name, const QString &caption, QButtonGroup *group)
{
    auto *b = new QRadioButton(caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    group->addButton(b);
    return b;
}

// One group of unit choices in a row, sharing a tooltip.
QWidget *optionRow(QWidget *parent, const QString &tooltip, std::initializer_list<QRadioButton *> buttons)
{
    auto *row = new QWidget(parent);
    row->setToolTip(tooltip);
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    for (QRadioButton *b : buttons) {
        b->setParent(row);
        b->setToolTip(tooltip);
        layout->addWidget(b);
    }
    layout->addStretch(1);
    return row;
}

QPushButton *button(QWidget *parent, const char *name, const QString &caption)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    return b;
}

} // namespace

frmRoutineReport::frmRoutineReport(SettingsRecord &settings, Dialogs &dialogs, StationSource *station,
                                   std::function<void(const QString &)> send,
                                   std::function<void()> saveSettings, QWidget *parent)
    : QDialog(parent), m_settings(settings), m_dialogs(dialogs), m_station(station), m_send(std::move(send)),
      m_save(std::move(saveSettings))
{
    setObjectName(QStringLiteral("frmRoutineReport"));
    setWindowTitle(QStringLiteral("Send Routine Formatted Report"));
    setAttribute(Qt::WA_DeleteOnClose);

    static const char *const labels[RoutineFieldCount] = {
        "Observed Conditions:", "Temperature:",         "Wind Speed:", "Wind Direction:",
        "Maximum Gust:",        "Barometric Pressure:", "Humidity:",   "Dew Point:"};
    auto *temperature = new QButtonGroup(this);
    auto *trend = new QButtonGroup(this);
    auto *speed = new QButtonGroup(this);
    Option1 = option(this, "Option1", QStringLiteral("F"), temperature);
    Option2 = option(this, "Option2", QStringLiteral("C"), temperature);
    Option4 = option(this, "Option4", QStringLiteral("F"), trend);
    Option5 = option(this, "Option5", QStringLiteral("S"), trend);
    Option3 = option(this, "Option3", QStringLiteral("R"), trend);
    Option7 = option(this, "Option7", QStringLiteral("M/H"), speed);
    Option6 = option(this, "Option6", QStringLiteral("K/H"), speed);
    (m_settings.RoutineCelsius == 1 ? Option2 : Option1)->setChecked(true);
    (m_settings.RoutineKmh == 1 ? Option6 : Option7)->setChecked(true);

    auto *form = new QFormLayout;
    for (int f = 0; f < RoutineFieldCount; ++f) {
        const auto field = RoutineField(f);
        QLineEdit *b = namedBox(this, boxNames[f]);
        if (const int max = RoutineMaxLength(field); max > 0)
            b->setMaxLength(max);
        b->setValidator(new TextFilter([field](const QString &t) { return FilterRoutineText(field, t); }, b));
        b->installEventFilter(this);
        m_boxes[std::size_t(f)] = b;
        QWidget *value = b;
        if (field == Temperature || field == WindSpeed || field == Pressure) {
            value = new QWidget(this);
            auto *row = new QHBoxLayout(value);
            row->setContentsMargins(0, 0, 0, 0);
            row->addWidget(b, 1);
            if (field == Temperature)
                row->addWidget(optionRow(value, QStringLiteral("Fahrenheit or Celsius"), {Option1, Option2}));
            else if (field == WindSpeed)
                row->addWidget(optionRow(value, QStringLiteral("MPH or KPH"), {Option7, Option6}));
            else
                row->addWidget(optionRow(value, QStringLiteral("Falling, Steady or Rising"),
                                         {Option4, Option5, Option3}));
        }
        auto *label = new QLabel(QString::fromLatin1(labels[f]), this);
        label->setBuddy(b);
        form->addRow(label, value);
    }
    txtObserved = m_boxes[Observed];
    txtObserved->setMinimumWidth(320);
    InstallCapitalKeys(txtObserved, CapitalKeys::First);

    Command1 = button(this, "Command1", QStringLiteral("&Send"));
    Command2 = button(this, "Command2", QStringLiteral("&Cancel"));
    Command3 = button(this, "Command3", QStringLiteral("Get your home WX station data"));
    Command1->setDefault(true);
    Command2->setAutoDefault(false);
    Command3->setAutoDefault(false);
    connect(Command1, &QPushButton::clicked, this, &frmRoutineReport::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &QWidget::close);
    connect(Command3, &QPushButton::clicked, this, &frmRoutineReport::Command3_Click);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(Command3);
    buttons->addStretch(1);
    buttons->addWidget(Command1);
    buttons->addWidget(Command2);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);
    ScaleWindow(this, FormScaling::WindowGroup::Other, sizeHint());
}

RoutineFields frmRoutineReport::fields() const
{
    RoutineFields out;
    for (int f = 0; f < RoutineFieldCount; ++f)
        out[std::size_t(f)] = m_boxes[std::size_t(f)]->text();
    return out;
}

void frmRoutineReport::Command1_Click()
{
    RoutineUnits units;
    units.celsius = Option2->isChecked();
    units.kmh = Option6->isChecked();
    units.trend = Option4->isChecked()   ? Trend::Falling
                  : Option5->isChecked() ? Trend::Steady
                  : Option3->isChecked() ? Trend::Rising
                                         : Trend::None;
    m_settings.RoutineCelsius = units.celsius ? 1 : 0;
    m_settings.RoutineKmh = units.kmh ? 1 : 0;
    const RoutineFields f = fields();
    if (!AllEmpty(f) && m_send)
        m_send(BuildRoutineText(f, units));
    if (m_save)
        m_save();
    close();
}

void frmRoutineReport::Command3_Click()
{
    if (!m_station || !m_station->isSetUp()) {
        m_dialogs.messageBox(QStringLiteral("Please select your home weather station data file."),
                             QStringLiteral("Home Weather Station Setup"));
        txtObserved->setFocus();
        if (m_station)
            m_station->openSetup();
        return;
    }
    // A station file over HTTP answers later; the window may be gone by then.
    QPointer<frmRoutineReport> self(this);
    m_station->readNow([self](const StationReadings &r) {
        if (!self)
            return;
        const std::pair<RoutineField, QString> values[] = {
            {Temperature, r.Temperature}, {WindSpeed, r.WindSpeed}, {WindDirection, r.WindDirection},
            {MaxGust, r.WindGust},        {Pressure, r.Pressure},   {Humidity, r.Humidity},
            {DewPoint, r.DewPoint}};
        for (const auto &[field, value] : values)
            self->box(field)->setText(value);
        (self->txtObserved->text().isEmpty() ? static_cast<QWidget *>(self->txtObserved)
                                             : static_cast<QWidget *>(self->Command1))
            ->setFocus();
    });
}

void frmRoutineReport::focusNext(RoutineField from)
{
    if (from + 1 < RoutineFieldCount)
        m_boxes[std::size_t(from + 1)]->setFocus();
    else
        Command1->setFocus();
}

bool frmRoutineReport::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return QDialog::eventFilter(watched, event);
    const auto it = std::find(m_boxes.begin(), m_boxes.end(), watched);
    if (it == m_boxes.end())
        return QDialog::eventFilter(watched, event);
    const auto field = RoutineField(it - m_boxes.begin());
    auto *key = static_cast<QKeyEvent *>(event);
    if (key->key() == Qt::Key_Down || (key->key() == Qt::Key_Space && SpaceMovesOn(field))) {
        focusNext(field);
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

ReportViewer::ReportViewer(const QString &objectName, const QString &caption, QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(objectName);
    setWindowTitle(caption);
    txtDateTime = namedBox(this, "txtDateTime");
    txtState = namedBox(this, "txtState");
    txtCounty = namedBox(this, "txtCounty");
    txtZip = namedBox(this, "txtZip");
    txtUser = namedBox(this, "txtUser");
    txtCurrentLocation = namedBox(this, "txtCurrentLocation");
    for (QLineEdit *b : {txtDateTime, txtState, txtCounty, txtZip, txtUser, txtCurrentLocation})
        b->setReadOnly(true);
    cmdDelete = button(this, "cmdDelete", QStringLiteral("Delete"));
    cmdDelete->hide();
    Command2 = button(this, "Command2", QStringLiteral("&Send Message"));
    Command1 = button(this, "Command1", QStringLiteral("&Done"));

    connect(cmdDelete, &QPushButton::clicked, this, [this] {
        emit deleteRequested();
        done();
    });
    connect(Command1, &QPushButton::clicked, this, &ReportViewer::done);
    connect(Command2, &QPushButton::clicked, this, [this] {
        cmdDelete->hide();
        Command1->setFocus();
        close();
        emit messageRequested(txtUser->text());
    });
}

void ReportViewer::finishLayout(QWidget *body)
{
    auto *columns = new QGridLayout;
    const std::pair<const char *, QLineEdit *> cells[] = {{"Date / Time", txtDateTime},
                                                          {"State", txtState},
                                                          {"County", txtCounty},
                                                          {"Zip", txtZip},
                                                          {"User", txtUser},
                                                          {"Current Location", txtCurrentLocation}};
    int i = 0;
    for (const auto &[caption, box] : cells) {
        auto *label = new QLabel(QString::fromLatin1(caption), this);
        label->setBuddy(box);
        columns->addWidget(label, (i / 3) * 2, i % 3);
        columns->addWidget(box, (i / 3) * 2 + 1, i % 3);
        ++i;
    }
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(cmdDelete);
    buttons->addStretch(1);
    buttons->addWidget(Command2);
    buttons->addWidget(Command1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(columns);
    layout->addWidget(body, 1);
    layout->addLayout(buttons);
    // Ctrl+K is also a text box's "delete to the end of the line": the key
    // must be taken before any box in the window sees it.
    installEventFilter(this);
    for (QWidget *w : findChildren<QWidget *>())
        w->installEventFilter(this);
}

bool ReportViewer::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_K && (key->modifiers() & ~Qt::KeypadModifier) == Qt::ControlModifier) {
            // The hidden way to retract a report: the server decides who may.
            if (event->type() == QEvent::KeyPress)
                cmdDelete->show();
            event->accept();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void ReportViewer::ShowColumns(const ReportRow &row)
{
    txtDateTime->setText(row.timeText);
    txtState->setText(row.state);
    txtCounty->setText(row.county);
    txtZip->setText(row.zip);
    txtUser->setText(row.observer);
    txtCurrentLocation->setText(row.location);
}

void ReportViewer::done()
{
    cmdDelete->hide();
    close();
}

FrmReport::FrmReport(QWidget *parent)
    : ReportViewer(QStringLiteral("FrmReport"), QStringLiteral("Current Report"), parent)
{
    auto *body = new QWidget(this);
    auto *layout = new QVBoxLayout(body);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *label = new QLabel(QStringLiteral("Report"), body);
    // Plain text only: a report is whatever a peer sent, markup included.
    txtReport = new QPlainTextEdit(body);
    txtReport->setObjectName(QStringLiteral("txtReport"));
    txtReport->setReadOnly(true);
    label->setBuddy(txtReport);
    layout->addWidget(label);
    layout->addWidget(txtReport, 1);
    finishLayout(body);
    ScaleWindow(this, FormScaling::WindowGroup::Other, QSize(560, 320));
}

frmDisplayRoutine::frmDisplayRoutine(QWidget *parent)
    : ReportViewer(QStringLiteral("frmDisplayRoutine"), QStringLiteral("Routine Observation"), parent)
{
    static const char *const labels[RoutineFieldCount] = {
        "Observed Conditions:", "Temp:",     "Wind Speed:", "Wind Dir:", "Max Gust:",
        "Barometric Pressure:", "Humidity:", "Dew Point:"};
    auto *body = new QWidget(this);
    auto *form = new QFormLayout(body);
    form->setContentsMargins(0, 0, 0, 0);
    for (int f = 0; f < RoutineFieldCount; ++f) {
        QLineEdit *b = namedBox(body, boxNames[f]);
        b->setReadOnly(true);
        m_boxes[std::size_t(f)] = b;
        auto *label = new QLabel(QString::fromLatin1(labels[f]), body);
        label->setBuddy(b);
        form->addRow(label, b);
    }
    finishLayout(body);
    ScaleWindow(this, FormScaling::WindowGroup::Other, QSize(560, 420));
}

void frmDisplayRoutine::ClearFields()
{
    for (QLineEdit *b : m_boxes)
        b->clear();
}

void frmDisplayRoutine::FillFields(const QString &text)
{
    const RoutineFields f = ReportTools::FillFields(text);
    for (int i = 0; i < RoutineFieldCount; ++i)
        m_boxes[std::size_t(i)]->setText(f[std::size_t(i)]);
}
