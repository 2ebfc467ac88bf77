#include "reports/ui/report_menus.h"

#include "base/client_state.h"

#include <QAction>
#include <QWidget>

ReportMenus::ReportMenus(ClientState &state, std::function<void()> saveSettings, QObject *parent)
    : QObject(parent), m_state(state), m_save(std::move(saveSettings))
{
}

void ReportMenus::Attach(QWidget *menuOwner)
{
    static constexpr const char *timeItems[] = {"mnuTimeMilitary", "mnuTimeLocalAMPM", "mnuTimeUTC"};
    for (int mode = 0; mode < 3; ++mode) {
        auto *a = menuOwner->findChild<QAction *>(QString::fromLatin1(timeItems[mode]));
        if (!a)
            continue;
        m_time[std::size_t(mode)] = a;
        a->setCheckable(true);
        a->setEnabled(true);
        a->setChecked(m_state.settings.TimeMode == mode);
        connect(a, &QAction::triggered, this, [this, mode] { ChooseTimeMode(mode); });
    }

    m_record = menuOwner->findChild<QAction *>(QStringLiteral("mnuRecord"));
    if (m_record) {
        m_record->setCheckable(true);
        m_record->setEnabled(true);
        m_record->setChecked(m_state.settings.RecordObservations == 1);
        connect(m_record, &QAction::triggered, this, &ReportMenus::mnuRecord_Click);
    }
}

void ReportMenus::ChooseTimeMode(int mode)
{
    for (int m = 0; m < 3; ++m)
        if (m_time.at(std::size_t(m)))
            m_time.at(std::size_t(m))->setChecked(m == mode);
    m_state.settings.TimeMode = mode;
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
