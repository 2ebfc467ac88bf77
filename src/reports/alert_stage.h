#pragma once

#include <QString>

class AlertSounds;
class WindowActions;
struct SettingsRecord;

// The alert stage for one report, in its fixed order: restore from
// minimised, restore from the tray, sound, bring to front; each step tests
// its own level.
void RunAlertStage(const SettingsRecord &settings, WindowActions &window, AlertSounds &sounds,
                   const QString &state, const QString &county, bool additional);
