#include "reports/report_intake.h"

#include "base/alert_sounds.h"
#include "base/client_state.h"
#include "base/file_lines.h"
#include "net/dispatcher.h"
#include "net/protocol.h"
#include "platform/clock.h"
#include "reports/alert_stage.h"
#include "reports/area.h"
#include "reports/report_list_model.h"

ReportIntake::ReportIntake(ClientState &state, const Clock &clock, WindowActions &window, AlertSounds &sounds,
                           ReportListModel &reports, QObject *parent)
    : QObject(parent), m_state(state), m_clock(clock), m_window(window), m_sounds(sounds), m_reports(reports)
{
}

void ReportIntake::RegisterHandlers(Dispatcher &dispatcher)
{
    dispatcher.setHandler(u"RPT", [this](const QString &m) { HandleReport(m); });
    dispatcher.setHandler(u"WRN", [this](const QString &m) { HandleReport(m); });
    dispatcher.setHandler(u"GLD", [this](const QString &m) { HandleHistoricalRecord(m); });
    dispatcher.setHandler(u"DEL", [this](const QString &m) { HandleReportDelete(m); });
}

void ReportIntake::ComputeUtcOffset()
{
    if (const std::optional<float> offset = ::ComputeUtcOffset(m_clock))
        m_utcOffsetHours = *offset;
}

QString ReportIntake::timeText(const QString &field, bool live) const
{
    if (const std::optional<QDateTime> utc = ParseReportTime(field)) {
        const int mode = m_state.settings.TimeMode;
        const TimeMode m = mode == 0   ? TimeMode::LocalMilitary
                           : mode == 2 ? TimeMode::Utc
                                       : TimeMode::LocalAmPm;
        // The offset in force at that moment: a summer record read in winter
        // shows summer time.
        const QTimeZone zone = m_clock.timeZone();
        const float offset = zone.isValid() ? float(zone.offsetFromUtc(*utc)) / 3600.0f : m_utcOffsetHours;
        return FormatReportTime(*utc, m, offset);
    }
    return live ? FormatLocalReceiveTime(m_clock.localNow()) : field;
}

void ReportIntake::clean(ReportFields &f)
{
    for (QString *field : {&f.text, &f.state, &f.county, &f.zip, &f.location})
        *field = CapShownField(TrimSpaces(CleanIncoming(*field)));
    f.observer = CapShownField(TrimSpaces(f.observer));
    f.time = CapShownField(f.time);
}

void ReportIntake::HandleReport(const QString &message)
{
    const bool warning = message.startsWith(u":WRN");
    ReportFields f = ReportFields::FromMessage(message);
    if (m_blocked.IsBlocked(m_state.filterList, f.observer))
        return;
    f.time = timeText(f.time, true);
    clean(f);
    AddReportToList(warning, f);

    const QString line = f.text + QStringLiteral(" | ") + f.time + QStringLiteral(" | ") + f.state +
                         QStringLiteral(" | ") + f.county + QStringLiteral(" | ") + f.observer;
    emit statusLine(line, ReportColours::White, warning ? ReportColours::Maroon : ReportColours::Navy);
}

void ReportIntake::HandleHistoricalRecord(const QString &message)
{
    if (m_clearOnNextHistorical) {
        m_clearOnNextHistorical = false;
        m_reports.Clear();
    }
    ReportFields f = ReportFields::FromMessage(message);
    if (m_blocked.IsBlocked(m_state.filterList, f.observer))
        return;
    m_historicalMode = true;
    f.time = timeText(f.time, false);
    clean(f);
    AddReportToList(false, f);
    m_historicalMode = false;
}

void ReportIntake::HandleReportDelete(const QString &message)
{
    const ReportFields f = ReportFields::FromMessage(message);
    // Matched as the row was stored, cut to the same length.
    m_reports.RemoveMatching(CapShownField(CleanIncoming(f.text)));
}

void ReportIntake::AddReportToList(bool warning, const ReportFields &f)
{
    const SettingsRecord &s = m_state.settings;
    const bool routine = IsRoutineReport(f.text);
    if (routine && s.HideRoutine == 1)
        return;
    bool quiet = routine;
    const bool additional = IsAdditionalCounty(m_state.additionalCounties, f.state, f.county);
    const bool listed = Matches(s.DisplayLevel, s, f.state, f.county, additional);

    if (listed && !warning) {
        ReportRow row{f.text, f.time,     f.state,    f.county,
                      f.zip,  f.observer, f.location, SeverityColour(f.text)};
        m_reports.AddRow(std::move(row));
        if (routine && !m_historicalMode && s.RoutineSound == 1 && !IsNightlyStationSummary(f.text))
            m_sounds.PlayRoutineSound();
    }
    if (listed && warning) {
        emit warningRelayed(f.text, f.time, f.state, f.county);
        if (!m_tavrelAudioAlert || s.WarnLinkEnabled == 0)
            quiet = true;
    }
    if (quiet || m_historicalMode)
        return;
    RunAlertStage(s, m_window, m_sounds, f.state, f.county, additional);
    if (Matches(s.SoundLevel, s, f.state, f.county, additional))
        emit alerted(f, warning);
    if (s.RecordObservations == 1) {
        const auto error = AppendObservationsLine(
            m_state.filePath(ObservationsFile),
            ObservationsLine(m_clock.localNow(), f.text, f.state, f.county, f.zip, f.observer, f.location));
        // Said once: recording stops (its box unticks) rather than failing
        // quietly at every report.
        if (error) {
            m_state.settings.RecordObservations = 0;
            emit logStopped(FileLines::LogStoppedText(ObservationsFile, *error));
        }
    }
}
