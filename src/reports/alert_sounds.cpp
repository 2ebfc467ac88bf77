#include "reports/alert_sounds.h"

#include "platform/sound_player.h"

#include <QFileInfo>

AlertSounds::AlertSounds(SoundPlayer &player, QString dataDir)
    : m_player(player), m_dataDir(std::move(dataDir))
{
}

void AlertSounds::PlayAlertSound()
{
    play(AlertFile, false);
}
void AlertSounds::PlayRoutineSound()
{
    play(RoutineFile, true);
}
void AlertSounds::PlayMessageSound()
{
    play(MessageFile, true);
}
void AlertSounds::PlayQuickChatSound()
{
    play(QuickChatFile, false);
}

void AlertSounds::play(const QString &file, bool onlyIfPresent)
{
    const QString path = m_dataDir + u'/' + file;
    if (onlyIfPresent && !QFileInfo::exists(path))
        return;
    m_player.play(path);
}
