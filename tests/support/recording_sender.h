#pragma once

#include "net/message_sender.h"

#include <QStringList>

// Keeps every message handed to SendData, in order.
class RecordingSender final : public MessageSender
{
public:
    QStringList sent;
    void SendData(const QString &message) override { sent.append(message); }
};
