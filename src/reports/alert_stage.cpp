#include "reports/alert_stage.h"

#include "base/alert_sounds.h"
#include "base/settings.h"
#include "platform/window_actions.h"
#include "reports/area.h"

void RunAlertStage(const SettingsRecord &settings, WindowActions &window, AlertSounds &sounds,
                   const QString &state, const QString &county, bool additional)
{
    const bool restore = Matches(settings.RestoreLevel, settings, state, county, additional);
    if (restore && window.isMinimised())
        window.restoreFromMinimised();
    if (restore && window.isInTray())
        window.showFromTray();
    if (Matches(settings.SoundLevel, settings, state, county, additional))
        sounds.PlayAlertSound();
    if (Matches(settings.FrontLevel, settings, state, county, additional))
        window.bringToFront();
}
