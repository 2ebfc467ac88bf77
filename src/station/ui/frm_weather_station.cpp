#include "station/ui/frm_weather_station.h"

#include "base/settings.h"
#include "base/ui/scale_window.h"
#include "net/url_download.h"
#include "platform/dialogs.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

using namespace Qt::Literals::StringLiterals;

namespace {

QLabel *note(const QString &text, const QString &name, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setWordWrap(true);
    return label;
}

} // namespace

frmWeatherStation::frmWeatherStation(SettingsRecord &settings, Dialogs &dialogs, std::function<void()> save,
                                     Reader reader, QWidget *parent)
    : QWidget(parent, Qt::Window), m_settings(settings), m_dialogs(dialogs), m_save(std::move(save)),
      m_reader(std::move(reader))
{
    setObjectName(u"frmWeatherStation"_s);
    setWindowTitle(u"Choose Your Home Weather Station Data File"_s);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(note(u"Nimbrel is all about enabling weather enthusiasts to connect in a community "
                           u"environment with a focus on severe weather and an emphasis on actual "
                           u"observations.  With that in mind, automated data will focus specifically on "
                           u"reports of severe winds.  It works like this:"_s,
                           u"Label1"_s, this));
    layout->addWidget(
        note(u"The current output data from your weather station is read once per minute.  Wind "
             u"speeds of 40 MPH or more will automatically trigger a routine report.  Wind speeds "
             u"of 50 MPH or more trigger a severe report.  Once a report is sent, the program "
             u"will not automatically report again for 60 minutes."_s,
             u"Label2"_s, this));

    // "sofware's" here and "If your are" below are the texts as users know them, not typos to fix.
    auto *frame = new QGroupBox(u"Please select your weather station sofware's current data file:"_s, this);
    frame->setObjectName(u"Frame1"_s);
    auto *grid = new QGridLayout(frame);
    const std::array<QString, 5> captions = {u"None"_s, u"Cumulus Weather"_s, u"Heavy Weather"_s,
                                             u"Virtual Weather Station"_s, u"Weather Display"_s};
    const std::array<QString, 5> notes = {
        QString(),
        u"Free software for many weather stations; its current data file is realtime.txt.  Download it "
        u"from https://nimbrel.example.org/stations/cumulus"_s,
        u"La Crosse Weather Stations (currdat.lst)."_s,
        u"Supports the stations of most makers of home weather stations; its current data file is "
        u"data2.csv."_s,
        u"Supports many weather stations; its current data file is WXNOW.txt.  See "
        u"https://nimbrel.example.org/stations/weather-display"_s};
    for (std::size_t i = 0; i < Option.size(); ++i) {
        Option[i] = new QRadioButton(captions[i], frame);
        Option[i]->setObjectName(u"Option%1"_s.arg(i + 1));
        grid->addWidget(Option[i], int(i), 0, Qt::AlignTop);
        if (!notes[i].isEmpty())
            grid->addWidget(note(notes[i], u"lblNote%1"_s.arg(i + 1), frame), int(i), 1);
    }
    grid->setColumnStretch(1, 1);
    layout->addWidget(frame);

    layout->addWidget(
        note(u"Please enter the path on your hard drive to the current data file.  If your file "
             u"is being uploaded to the Internet, you may also access it there by entering the "
             u"URL beginning with http://"_s,
             u"Label3"_s, this));
    auto *path = new QHBoxLayout;
    Text1 = new QLineEdit(this);
    Text1->setObjectName(u"Text1"_s);
    Command3 = new QPushButton(u"Browse"_s, this);
    Command3->setObjectName(u"Command3"_s);
    path->addWidget(Text1, 1);
    path->addWidget(Command3);
    layout->addLayout(path);

    layout->addWidget(
        note(u"Leaving Nimbrel running and connected to your weather station is a great way to "
             u"provide severe weather alerts, even when you are sleeping or not home.  The more "
             u"observers with weather stations that we have continually connected to Nimbrel, the "
             u"better our severe weather monitoring system will be!"_s,
             u"Label4"_s, this));
    layout->addWidget(
        note(u"If your are running different weather station software than what is listed above, "
             u"I'll do my best to add it.  Please e-mail a copy of the file of current data that "
             u"your software creates and I'll be happy to take a look."_s,
             u"Label5"_s, this));

    auto *buttons = new QHBoxLayout;
    Command2 = new QPushButton(u"Test"_s, this);
    Command2->setObjectName(u"Command2"_s);
    Command1 = new QPushButton(u"Done"_s, this);
    Command1->setObjectName(u"Command1"_s);
    buttons->addStretch(1);
    buttons->addWidget(Command2);
    buttons->addWidget(Command1);
    layout->addLayout(buttons);

    connect(Command1, &QPushButton::clicked, this, &frmWeatherStation::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &frmWeatherStation::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &frmWeatherStation::Command3_Click);
    ScaleWindow(this, FormScaling::WindowGroup::Other, QSize(640, 640));
    Form_Load();
}

void frmWeatherStation::Form_Load()
{
    const int chosen = m_settings.StationAutomation;
    Option[std::size_t(chosen >= 0 && chosen < int(Option.size()) ? chosen : 0)]->setChecked(true);
    Text1->setText(m_settings.StationDataPath);
}

int frmWeatherStation::selectedOption() const
{
    for (std::size_t i = 0; i < Option.size(); ++i)
        if (Option[i]->isChecked())
            return int(i);
    return 0;
}

void frmWeatherStation::Command3_Click()
{
    const QString chosen = m_dialogs.openFile(QString(), QString(), u"(All Files) (*)"_s);
    if (chosen.isEmpty())
        return;
    Text1->setText(chosen);
    Command2->setFocus();
}

void frmWeatherStation::Command2_Click()
{
    const QString path = Text1->text();
    m_settings.StationDataPath = path;
    if (!UrlDownload::IsWebAddress(path) && !QFileInfo(path).isFile()) {
        m_dialogs.messageBox(path + u" is an invalid file path."_s, u"Invalid File Path"_s);
        return;
    }
    const int automation = selectedOption();
    if (automation == 0 || !m_reader)
        return;
    // A web file arrives inside the transfer's own handler: the box waits
    // for the next pass of the event loop, and for nothing once the window
    // is gone.
    m_reader(automation, path, [this, self = QPointer(this)](const StationReadings &r) {
        if (!self)
            return;
        QMetaObject::invokeMethod(
            this,
            [this, speed = r.WindSpeed] {
                m_dialogs.messageBox(u"Your wind is currently "_s + speed + u" MPH."_s,
                                     u"Test Weather Station Data Retrieval"_s);
                Command1->setFocus();
            },
            Qt::QueuedConnection);
    });
}

void frmWeatherStation::Command1_Click()
{
    m_settings.StationAutomation = selectedOption();
    m_settings.StationDataPath = Text1->text();
    if (m_save)
        m_save();
    close();
}
