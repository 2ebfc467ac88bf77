#include "reports/ui/report_menus.h"

#include "base/client_state.h"
#include "base/ui/subsystem.h"

#include <QAction>
#include <QActionGroup>

ReportMenus::ReportMenus(ClientState &state, std::function<void()> saveSettings, QObject *parent)
    : QObject(parent), m_state(state), m_save(std::move(saveSettings))
{
}

void ReportMenus::build(MenuHost &host)
{
    static constexpr const char *names[] = {"mnuTimeMilitary", "mnuTimeLocalAMPM", "mnuTimeUTC"};
    static constexpr const char *captions[] = {"&Local Military", "Local &AM PM", "&UTC"};
    auto *group = new QActionGroup(this);
    for (int mode = 0; mode < 3; ++mode) {
        QAction *a = host.addMenuItem(MenuPlace::Time, QString::fromLatin1(names[mode]),
                                      QString::fromLatin1(captions[mode]));
        a->setCheckable(true);
        group->addAction(a);
        m_time[std::size_t(mode)] = a;
        connect(a, &QAction::triggered, this, [this, mode] { ChooseTimeMode(mode); });
    }
    m_record = host.addMenuItem(MenuPlace::SettingsLower, QStringLiteral("mnuRecord"),
                                QStringLiteral("&Record Observations to File"));
    m_record->setCheckable(true);
    connect(m_record, &QAction::triggered, this, &ReportMenus::mnuRecord_Click);
}

void ReportMenus::showRecordSetting()
{
    if (m_record)
        m_record->setChecked(m_state.settings.RecordObservations == 1);
}

void ReportMenus::showTimeMode()
{
    const int mode = m_state.settings.TimeMode;
    if (mode >= 0 && mode <= 2 && m_time.at(std::size_t(mode)))
        m_time.at(std::size_t(mode))->setChecked(true);
}

void ReportMenus::ChooseTimeMode(int mode)
{
    m_state.settings.TimeMode = mode;
    showTimeMode();
    if (m_save)
        m_save();
}

void ReportMenus::mnuRecord_Click()
{
    // The check mark has toggled already when the action fires.
    const bool on = m_record ? m_record->isChecked() : m_state.settings.RecordObservations != 1;
    m_state.settings.RecordObservations = on ? 1 : 0;
    if (m_save)
        m_save();
}
