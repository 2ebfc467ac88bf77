#pragma once

#include <QString>

// Lets a window outside the messenger start a message to one user: the
// messenger opens with the name in its To box.
class MessageAddressing
{
public:
    virtual ~MessageAddressing() = default;
    virtual void startMessageTo(const QString &user) = 0;
};
