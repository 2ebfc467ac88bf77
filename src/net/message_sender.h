#pragma once

#include <QString>

// Sends one finished protocol message when the server link is up and drops it
// silently otherwise (automated messages). The server link implements it; tests record.
class MessageSender
{
public:
    virtual ~MessageSender() = default;
    virtual void SendData(const QString &message) = 0;
    // What a person typed. Sent when the link is up; otherwise the status
    // line says in red that it was not sent, and false tells the caller to
    // keep the text in its box. Nothing is queued: the server stamps reports
    // on arrival, and a late report with a fresh stamp misleads.
    virtual bool SendTyped(const QString &message) = 0;
};
