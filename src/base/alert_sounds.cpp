#include "base/alert_sounds.h"

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
    if (!QFileInfo::exists(path)) {
        // A sound that cannot play still cuts off the one playing: an old
        // alert must not run on as if it were the new one's.
        if (!onlyIfPresent)
            m_player.stop();
        return;
    }
    m_player.play(path);
}
