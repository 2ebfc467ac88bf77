#include "station/ui/station_subsystem.h"

#include "base/client_state.h"
#include "base/status_line.h"
#include "base/ui/show_and_raise.h"
#include "net/server_link.h"
#include "net/url_download.h"
#include "platform/clock.h"
#include "station/station_readers.h"
#include "station/station_table_model.h"
#include "station/ui/frm_automated_data.h"
#include "station/ui/frm_weather_station.h"

#include <QAction>
#include <QFileInfo>

using namespace Qt::Literals::StringLiterals;

StationSubsystem::StationSubsystem(const ClientContext &context, QObject *parent)
    : QObject(parent), m_context(context)
{
    m_context.link.dispatcher().setHandler(u"RPA", [this](const QString &m) { HandleStationData(m); });
}

StationSubsystem::~StationSubsystem()
{
    delete m_setup;
    delete m_data;
}

void StationSubsystem::buildMenus(MenuHost &host)
{
    connect(host.addMenuItem(MenuPlace::SettingsLower, u"mnuConnectWeatherStation"_s,
                             u"Home Weather Station Data"_s),
            &QAction::triggered, this, &StationSubsystem::mnuConnectWeatherStation_Click);
    connect(host.addMenuItem(MenuPlace::MenuBar, u"mnuAutomatedStations"_s, u"&Automated Stations"_s),
            &QAction::triggered, this, &StationSubsystem::mnuAutomatedStations_Click);
}

void StationSubsystem::minute()
{
    m_counters = StationProcessing::AgeCounters(m_counters);
    if (isSetUp() && !m_minutePending) {
        m_minutePending = true;
        WeatherStationProcessing([this](const StationReadings &) { m_minutePending = false; });
    }
}

void StationSubsystem::closeWindows()
{
    if (m_setup)
        m_setup->close();
    if (m_data)
        m_data->close();
}

bool StationSubsystem::isSetUp() const
{
    return m_context.state.settings.StationAutomation != 0;
}

void StationSubsystem::readNow(std::function<void(const StationReadings &)> done)
{
    if (!isSetUp()) {
        if (done)
            done(m_readings);
        return;
    }
    WeatherStationProcessing(std::move(done));
}

void StationSubsystem::openSetup()
{
    mnuConnectWeatherStation_Click();
}

void StationSubsystem::mnuConnectWeatherStation_Click()
{
    if (!m_setup) {
        m_setup = new frmWeatherStation(m_context.state.settings, m_context.services.dialogs, m_context.save,
                                        [this](int automation, const QString &path, auto done) {
                                            readStation(automation, path, std::move(done));
                                        });
        m_setup->setAttribute(Qt::WA_DeleteOnClose);
    }
    showAndRaise(m_setup);
}

frmAutomatedData &StationSubsystem::ensureDataWindow()
{
    if (!m_data) {
        // Closing it other than with Done drops the table with it.
        m_data = new frmAutomatedData(m_context.services.clock, m_context.services.dialogs);
        m_data->setAttribute(Qt::WA_DeleteOnClose);
        m_data->setHistory(&m_history);
    }
    return *m_data;
}

void StationSubsystem::mnuAutomatedStations_Click()
{
    frmAutomatedData &w = ensureDataWindow();
    showAndRaise(&w);
}

void StationSubsystem::HandleStationData(const QString &message)
{
    if (IsFromBlockedUser(message, m_context.state.filterList, m_blocked))
        return;
    const QStringList f = StationTableModel::MessageFields(message);
    const QDateTime now = m_context.services.clock.localNow();
    const QString time = StationTableModel::TimeText(now);
    m_history.add(f[9], now, f[0], f[1], f[2]);
    frmAutomatedData &window = ensureDataWindow();
    window.model().ProcessUpdate(f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7], f[8], f[9], f[10], time);
    window.readingArrived(f[9]);
}

void StationSubsystem::WeatherStationProcessing(std::function<void(const StationReadings &)> done)
{
    enqueue([this, done = std::move(done)] {
        const SettingsRecord &s = m_context.state.settings;
        const int automation = s.StationAutomation;
        m_readings = {};
        readFile(automation, s.StationDataPath, [this, automation, done] { process(automation, done); });
    });
}

void StationSubsystem::process(int automation, const std::function<void(const StationReadings &)> &done)
{
    const StationOutcome out = StationProcessing::WeatherStationProcessing(
        m_readings, m_counters, automation, m_context.state.settings,
        m_context.services.clock.localNow().time(), m_context.state.nightlyTime,
        m_context.link.state() == LinkState::Connected);
    m_readings = out.readings;
    m_counters = out.counters;
    if (out.unreadable) {
        emit quickChatLine(StationProcessing::UnreadableChatText());
        StatusLine &line = m_context.statusLine;
        line.showHeld(StationProcessing::UnreadableStatusText());
        // The flash restarts with the colours the line has now.
        if (line.fore() && line.back())
            line.flash(*line.fore(), *line.back());
    }
    for (const QString &message : out.messages)
        m_context.link.SendData(message);
    if (done)
        done(m_readings);
}

void StationSubsystem::readStation(int automation, const QString &path,
                                   std::function<void(const StationReadings &)> done)
{
    enqueue([this, automation, path, done = std::move(done)] {
        readFile(automation, path, [this, done] {
            if (done)
                done(m_readings);
        });
    });
}

void StationSubsystem::enqueue(Job job)
{
    m_queue.push_back(std::move(job));
    startNext();
}

// A job starts its reading with readFile, whose continuation may
// run at once (local files) or later (web addresses).
void StationSubsystem::startNext()
{
    while (!m_reading && !m_queue.empty()) {
        Job job = std::move(m_queue.front());
        m_queue.pop_front();
        m_reading = true;
        job();
    }
}

void StationSubsystem::readFile(int automation, const QString &path, std::function<void()> then)
{
    const auto finish = [this, then = std::move(then)] {
        m_reading = false;
        then();
        startNext();
    };
    const auto parse = [this, automation, path, finish](const QString &text) {
        const QString failure = StationReaders::ReadStation(automation, text, path, m_readings);
        if (!failure.isEmpty())
            m_context.statusLine.showHeld(failure);
        finish();
    };
    UrlDownloader &downloader = m_context.downloader;
    if (automation == 3 && path.isEmpty())
        return finish();
    if (automation == 3 && UrlDownload::IsWebAddress(path)) {
        // This program's file is copied next to the settings, then read.
        const QString copy = m_context.state.filePath(u"data2.csv"_s);
        downloader.CopyURLToFile(
            path, copy,
            [this, copy, parse, finish, &downloader](const DownloadError &error) {
                if (!error.ok()) {
                    m_context.statusLine.showHeld(error.description);
                    return finish();
                }
                if (!QFileInfo::exists(copy))
                    return finish();
                downloader.GetFile(copy, parse, this);
            },
            this);
        return;
    }
    downloader.GetFile(path, parse, this);
}
