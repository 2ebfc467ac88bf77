#pragma once

#include <QString>

// Sends one finished protocol message when the server link is up and drops it
// silently otherwise. The server link implements it; tests record.
class MessageSender
{
public:
    virtual ~MessageSender() = default;
    virtual void SendData(const QString &message) = 0;
};
