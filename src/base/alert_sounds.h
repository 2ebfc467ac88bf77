#pragma once

#include <QString>

class SoundPlayer;

// The four wave players. Files live in the data folder; the routine and
// message players stay silent when their file is missing, the alert and
// quick-chat players leave that to the player. Every new sound cuts off the
// one still playing.
class AlertSounds final
{
public:
    AlertSounds(SoundPlayer &player, QString dataDir);

    static inline const QString AlertFile = QStringLiteral("Nimbrel.wav");
    static inline const QString RoutineFile = QStringLiteral("Routine.wav");
    static inline const QString MessageFile = QStringLiteral("WXMsg.wav");
    static inline const QString QuickChatFile = QStringLiteral("qc.wav");

    void PlayAlertSound();
    void PlayRoutineSound();
    void PlayMessageSound();
    void PlayQuickChatSound();

private:
    void play(const QString &file, bool onlyIfPresent);

    SoundPlayer &m_player;
    QString m_dataDir;
};
