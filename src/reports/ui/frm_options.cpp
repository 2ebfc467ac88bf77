#include "reports/ui/frm_options.h"

#include "base/ui/scale_window.h"

#include "base/settings.h"
#include "reports/area.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

const QString AllObservations = QStringLiteral("All Observations");
const QString YourState = QStringLiteral("Your State Only");
const QString YourCounty = QStringLiteral("Your County Only");
const QString Off = QStringLiteral("Off");

} // namespace

frmOptions::frmOptions(SettingsRecord &settings, QWidget *parent) : QDialog(parent), m_settings(settings)
{
    setObjectName(QStringLiteral("frmOptions"));
    setWindowTitle(QStringLiteral("Alert and Display Options"));

    Label1 = new QLabel(
        QStringLiteral("Use this form to choose which observations you would like to monitor:"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    auto *grid = new QGridLayout;

    auto makeButton = [this](QGroupBox *box, int n, const QString &caption) {
        auto *b = new QRadioButton(caption, box);
        b->setObjectName(QStringLiteral("Option%1").arg(n));
        box->layout()->addWidget(b);
        m_options[std::size_t(n)] = b;
        return b;
    };
    auto makeGroup = [this, grid](const QString &caption, int row, int column) {
        auto *box = new QGroupBox(caption, this);
        box->setLayout(new QVBoxLayout);
        grid->addWidget(box, row, column);
        return box;
    };
    // A level group: its four buttons in order ALL, STATE, COUNTY, OFF.
    auto levelGroup = [&](const QString &caption, int row, int column, std::array<int, 4> numbers,
                          QString SettingsRecord::*field) {
        QGroupBox *box = makeGroup(caption, row, column);
        const std::array<QString, 4> captions = {AllObservations, YourState, YourCounty, Off};
        const std::array<QString, 4> values = {AreaLevel::All, AreaLevel::State, AreaLevel::County,
                                               AreaLevel::Off};
        for (std::size_t i = 0; i < 4; ++i) {
            QRadioButton *b = makeButton(box, numbers[i], captions[i]);
            b->setChecked(m_settings.*field == values[i]);
            connect(b, &QRadioButton::clicked, this,
                    [this, field, value = values[i]] { m_settings.*field = value; });
        }
    };
    levelGroup(QStringLiteral("Show Observations on Main List"), 0, 0, {1, 2, 3, 7},
               &SettingsRecord::DisplayLevel);
    levelGroup(QStringLiteral("Audio Alert for New Observation"), 0, 1, {4, 5, 6, 8},
               &SettingsRecord::SoundLevel);
    levelGroup(QStringLiteral("Maximize If Minimized"), 1, 0, {12, 11, 10, 9}, &SettingsRecord::RestoreLevel);
    levelGroup(QStringLiteral("Move this form to the front if it is behind another application when an "
                              "observation is reported."),
               1, 1, {13, 14, 15, 16}, &SettingsRecord::FrontLevel);

    QGroupBox *display = makeGroup(
        QStringLiteral("Display Routine Reports (posts beginning with Routine, an R: or R space)."), 2, 0);
    QRadioButton *yesDisplay = makeButton(display, 17, QStringLiteral("Yes"));
    QRadioButton *noDisplay = makeButton(display, 18, QStringLiteral("No"));
    m_routineAudio = makeGroup(
        QStringLiteral("Audio Alert for Routine Reports (Posts beginning with Routine, an R: or R space)."),
        2, 1);
    QRadioButton *yesAudio = makeButton(m_routineAudio, 20, QStringLiteral("Yes"));
    QRadioButton *noAudio = makeButton(m_routineAudio, 19, QStringLiteral("No"));
    yesDisplay->setChecked(m_settings.HideRoutine == 0);
    noDisplay->setChecked(m_settings.HideRoutine != 0);
    yesAudio->setChecked(m_settings.RoutineSound == 1);
    noAudio->setChecked(m_settings.RoutineSound != 1);
    setRoutineAudioEnabled(m_settings.HideRoutine == 0);

    connect(yesDisplay, &QRadioButton::clicked, this, [this] {
        m_settings.HideRoutine = 0;
        setRoutineAudioEnabled(true);
    });
    connect(noDisplay, &QRadioButton::clicked, this, [this, noAudio] {
        m_settings.HideRoutine = 1;
        noAudio->setChecked(true);
        m_settings.RoutineSound = 0;
        setRoutineAudioEnabled(false);
    });
    connect(yesAudio, &QRadioButton::clicked, this, [this] { m_settings.RoutineSound = 1; });
    connect(noAudio, &QRadioButton::clicked, this, [this] { m_settings.RoutineSound = 0; });

    cmdDone = new QPushButton(QStringLiteral("&Done"), this);
    cmdDone->setObjectName(QStringLiteral("cmdDone"));
    connect(cmdDone, &QPushButton::clicked, this, &QDialog::accept);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addLayout(grid);
    layout->addWidget(cmdDone, 0, Qt::AlignRight);
    // Laid out by its controls on the reference screen, stretched to this one.
    ScaleWindow(this, FormScaling::WindowGroup::Other, sizeHint());
}

void frmOptions::addOption(QWidget *option)
{
    auto *box = static_cast<QVBoxLayout *>(layout());
    box->insertWidget(box->indexOf(cmdDone), option);
}

void frmOptions::setRoutineAudioEnabled(bool on)
{
    m_routineAudio->setEnabled(on);
    option(19)->setEnabled(on);
    option(20)->setEnabled(on);
}
