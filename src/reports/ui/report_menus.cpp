#include "reports/ui/report_menus.h"

#include "app/client_state.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QWidget>

namespace {

QAction *findAction(QWidget *owner, std::initializer_list<const char *> names)
{
    for (const char *name : names)
        if (QAction *a = owner ? owner->findChild<QAction *>(QString::fromLatin1(name)) : nullptr)
            return a;
    return nullptr;
}

} // namespace

ReportMenus::ReportMenus(ClientState &state, std::function<void()> saveSettings, QObject *parent)
    : QObject(parent), m_state(state), m_save(std::move(saveSettings))
{
}

void ReportMenus::Attach(QWidget *menuOwner, QMenu *fallbackMenu)
{
    struct Item
    {
        const char *name;
        const char *otherName;
        const char *caption;
    };
    static constexpr Item timeItems[] = {
        {"mnuTimeMilitary", "mnuLocalMilitary", "&Local Military"},
        {"mnuTimeLocalAMPM", "mnuLocalAMPM", "Local &AM PM"},
        {"mnuTimeUTC", "mnuUTC", "&UTC"},
    };
    QMenu *timeMenu = nullptr;
    QActionGroup *group = nullptr;
    for (int mode = 0; mode < 3; ++mode) {
        const Item &item = timeItems[mode];
        QAction *a = findAction(menuOwner, {item.name, item.otherName});
        if (!a && fallbackMenu) {
            if (!timeMenu) {
                timeMenu = fallbackMenu->addMenu(QStringLiteral("&Time"));
                timeMenu->setObjectName(QStringLiteral("mnuTime"));
                group = new QActionGroup(timeMenu);
            }
            a = timeMenu->addAction(QString::fromLatin1(item.caption));
            a->setObjectName(QString::fromLatin1(item.name));
            group->addAction(a);
        }
        if (!a)
            continue;
        m_time[std::size_t(mode)] = a;
        a->setCheckable(true);
        a->setEnabled(true);
        a->setChecked(m_state.settings.TimeMode == mode);
        connect(a, &QAction::triggered, this, [this, mode] { ChooseTimeMode(mode); });
    }

    m_record = findAction(menuOwner, {"mnuRecord", "mnuRecordObservations"});
    if (!m_record && fallbackMenu) {
        m_record = fallbackMenu->addAction(QStringLiteral("&Record Observations to File"));
        m_record->setObjectName(QStringLiteral("mnuRecord"));
    }
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
