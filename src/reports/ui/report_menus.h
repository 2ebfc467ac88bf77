#pragma once

#include <QObject>

#include <array>
#include <functional>

class QAction;
class MenuHost;
struct ClientState;

// The Time menu's three items and "&Record Observations to File". Each
// choice changes the setting and saves the settings.
class ReportMenus final : public QObject
{
    Q_OBJECT
public:
    ReportMenus(ClientState &state, std::function<void()> saveSettings, QObject *parent = nullptr);

    // Adds the four items to the host's menus.
    void build(MenuHost &host);
    // The check marks from the settings, as the main window loads.
    void showRecordSetting();
    void showTimeMode();

    void ChooseTimeMode(int mode); // 0 local military, 1 local AM PM, 2 UTC
    void mnuRecord_Click();

private:
    ClientState &m_state;
    std::function<void()> m_save;
    std::array<QAction *, 3> m_time{};
    QAction *m_record = nullptr;
};
