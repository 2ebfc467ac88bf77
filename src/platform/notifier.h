#pragma once

#include <QString>

#include <functional>

// One desktop notification as the desktop's notification service takes it.
struct DesktopNotification
{
    QString summary;
    QString body; // plain text: never read as markup
    bool critical = false;
    // The notification this one takes the place of; 0 for a new one.
    quint32 replacesId = 0;
};

// Desktop notifications. Without a notification service nothing happens
// and nothing is said: the client carries on as before.
class Notifier
{
public:
    virtual ~Notifier() = default;
    // shown runs with the id the service gave the notification, and only
    // when a service took it.
    virtual void notify(const DesktopNotification &notification, std::function<void(quint32 id)> shown) = 0;
    // Set by the client: a notification's default action (a click on it).
    std::function<void(quint32 id)> clicked;
};
