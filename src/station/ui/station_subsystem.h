#pragma once

#include "base/station_source.h"
#include "base/ui/subsystem.h"
#include "net/blocked_senders.h"
#include "station/station_history.h"
#include "station/station_processing.h"
#include "station/ui/frm_automated_data.h"
#include "station/ui/frm_weather_station.h"

#include <QObject>
#include <QPointer>

#include <deque>
#include <functional>

// The home weather station: reads its data file once a minute and sends
// what the automation rules decide, lets the user choose the file, and
// keeps every station's readings that arrive from the server.
class StationSubsystem final : public QObject, public Subsystem, public StationSource
{
    Q_OBJECT
public:
    explicit StationSubsystem(const ClientContext &context, QObject *parent = nullptr);
    ~StationSubsystem() override;

    void buildMenus(MenuHost &host) override;
    void minute() override;
    void closeWindows() override;

    bool isSetUp() const override;
    void readNow(std::function<void(const StationReadings &)> done) override;
    void openSetup() override;

    // Reads the station and sends its readings; done (when given) runs with
    // the readings once they are there.
    void WeatherStationProcessing(std::function<void(const StationReadings &)> done = {});
    // The set-up window's Test: one reader over path into the readings,
    // which are not emptied first; nothing is sent.
    void readStation(int automation, const QString &path, std::function<void(const StationReadings &)> done);
    void HandleStationData(const QString &message);

    void mnuConnectWeatherStation_Click();
    void mnuAutomatedStations_Click();

    const StationReadings &readings() const { return m_readings; }
    StationCounters counters() const { return m_counters; }
    frmWeatherStation *setupWindow() const { return m_setup; }
    frmAutomatedData *dataWindow() const { return m_data; }
    const StationHistory &history() const { return m_history; }

signals:
    // A line for the quick-chat pane.
    void quickChatLine(const QString &text);

private:
    // Starts one reading with readFile.
    using Job = std::function<void()>;
    void enqueue(Job job);
    void startNext();
    void readFile(int automation, const QString &path, std::function<void()> then);
    void process(int automation, const std::function<void(const StationReadings &)> &done);
    frmAutomatedData &ensureDataWindow();

    ClientContext m_context;
    StationReadings m_readings;
    StationCounters m_counters;
    StationHistory m_history;
    BlockedUsers m_blocked;
    // One reading at a time: a new web fetch would give up the one running.
    std::deque<Job> m_queue;
    bool m_reading = false;
    // A minute whose file has not come yet: the next minute does not read.
    bool m_minutePending = false;
    QPointer<frmWeatherStation> m_setup;
    QPointer<frmAutomatedData> m_data;
};
