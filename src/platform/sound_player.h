#pragma once

#include <QString>

// Plays one wave file at a time: a new sound cuts off the one playing.
class SoundPlayer
{
public:
    virtual ~SoundPlayer() = default;
    virtual void play(const QString &wavPath) = 0;
    virtual void stop() = 0;
};
