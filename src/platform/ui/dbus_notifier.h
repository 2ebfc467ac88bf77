#pragma once

#include "platform/notifier.h"

#include <QDBusConnection>
#include <QList>
#include <QObject>

// Notifications through org.freedesktop.Notifications on the session bus.
// Every call is asynchronous, so a slow or missing service never holds up
// the window; errors (no bus, nobody owning the name) are dropped.
class DBusNotifier final : public QObject, public Notifier
{
    Q_OBJECT
public:
    explicit DBusNotifier(const QDBusConnection &bus = QDBusConnection::sessionBus(),
                          QObject *parent = nullptr);

    void notify(const DesktopNotification &notification, std::function<void(quint32 id)> shown) override;

    static inline const QString Service = QStringLiteral("org.freedesktop.Notifications");
    static inline const QString Path = QStringLiteral("/org/freedesktop/Notifications");
    static inline const QString Interface = QStringLiteral("org.freedesktop.Notifications");
    // The installed icon's theme name, also the desktop entry's name.
    static inline const QString IconName = QStringLiteral("nimbrel");

private slots:
    void onActionInvoked(uint id, const QString &action);

private:
    void send(const DesktopNotification &notification, std::function<void(quint32 id)> shown);

    QDBusConnection m_bus;
    // Whether the service reads bodies as markup; asked once, and what is
    // notified before the answer waits for it.
    bool m_markup = false;
    bool m_asked = false;
    bool m_answered = false;
    QList<std::pair<DesktopNotification, std::function<void(quint32)>>> m_waiting;
};
