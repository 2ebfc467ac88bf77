#pragma once

#include "net/message_sender.h"

#include <QStringList>

// Keeps every message handed to SendData, in order.
class RecordingSender final : public MessageSender
{
public:
    QStringList sent;
    bool linkUp = true;
    void SendData(const QString &message) override { sent.append(message); }
    bool SendTyped(const QString &message) override
    {
        if (linkUp)
            sent.append(message);
        return linkUp;
    }
};
