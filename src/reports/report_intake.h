#pragma once

#include "base/content_filters.h"
#include "base/rgb.h"
#include "reports/report_text.h"

#include <QObject>
#include <QString>

class AlertSounds;
class Clock;
class Dispatcher;
class ReportListModel;
class WindowActions;
struct ClientState;

// Turns RPT, WRN, GLD and DEL messages into rows of the report list (and
// warnings for the warnings list), screens them against the user's filter and area, runs the alert
// stage and writes the optional Observations.txt log.
class ReportIntake final : public QObject
{
    Q_OBJECT
public:
    ReportIntake(ClientState &state, const Clock &clock, WindowActions &window, AlertSounds &sounds,
                 ReportListModel &reports, QObject *parent = nullptr);

    static inline const QString ObservationsFile = QStringLiteral("Observations.txt");

    // Registers the RPT, WRN, GLD and DEL handlers.
    void RegisterHandlers(Dispatcher &dispatcher);

    void HandleReport(const QString &message);
    void HandleHistoricalRecord(const QString &message);
    void HandleReportDelete(const QString &message);

    // Recomputes the UTC offset report times are shown with; keeps the old
    // value when the clock fails. Start-up and every Timer2 tick.
    void ComputeUtcOffset();

    // Set by "Get Historical Data": the next GLD record empties the list.
    void setClearOnNextHistorical(bool on) { m_clearOnNextHistorical = on; }
    bool HistoricalMode() const { return m_historicalMode; }

    // The warning link's check box "Play audio alerts for automated warnings."
    void setTavrelAudioAlert(bool on) { m_tavrelAudioAlert = on; }

signals:
    // A report for the status line (also the monitor pane), with its flash
    // colours. Receivers restart the link-supervision timer so the line
    // stays for one full interval.
    void statusLine(const QString &text, const Rgb &fore, const Rgb &back);
    // A live report or warning passed the alert screening at the sound level.
    void alerted(const ReportFields &fields, bool warning);
    // A listed WRN, for the warnings list.
    void warningRelayed(const QString &text, const QString &time, const QString &state,
                        const QString &county);
    // Observations.txt could not be written: recording was turned off.
    void logStopped(const QString &text);

private:
    void AddReportToList(bool warning, const ReportFields &f);
    QString timeText(const QString &field, bool live) const;
    static void clean(ReportFields &f);

    ClientState &m_state;
    const Clock &m_clock;
    WindowActions &m_window;
    AlertSounds &m_sounds;
    ReportListModel &m_reports;
    BlockedUsers m_blocked;
    float m_utcOffsetHours = 0.0f;
    bool m_clearOnNextHistorical = false;
    bool m_historicalMode = false;
    bool m_tavrelAudioAlert = false;
};
