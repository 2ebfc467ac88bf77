#include "platform/ui/dbus_notifier.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

#include <utility>

DBusNotifier::DBusNotifier(const QDBusConnection &bus, QObject *parent) : QObject(parent), m_bus(bus)
{
    if (m_bus.isConnected())
        m_bus.connect(QString(), Path, Interface, QStringLiteral("ActionInvoked"), this,
                      SLOT(onActionInvoked(uint, QString)));
}

void DBusNotifier::notify(const DesktopNotification &n, std::function<void(quint32)> shown)
{
    if (!m_bus.isConnected())
        return;
    if (m_answered) {
        send(n, std::move(shown));
        return;
    }
    // Folding keeps this to a few; the cap holds if the service never answers.
    if (m_waiting.size() < 16)
        m_waiting.append({n, std::move(shown)});
    if (m_asked)
        return;
    m_asked = true;
    const QDBusMessage ask =
        QDBusMessage::createMethodCall(Service, Path, Interface, QStringLiteral("GetCapabilities"));
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(ask), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        const QDBusPendingReply<QStringList> reply = *w;
        w->deleteLater();
        m_answered = true;
        // No service: what waits is sent, and fails as quietly.
        m_markup = !reply.isError() && reply.value().contains(QStringLiteral("body-markup"));
        for (auto &[n, shown] : std::exchange(m_waiting, {}))
            send(n, std::move(shown));
    });
}

void DBusNotifier::send(const DesktopNotification &n, std::function<void(quint32)> shown)
{
    QVariantMap hints;
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue(uchar(n.critical ? 2 : 1)));
    hints.insert(QStringLiteral("desktop-entry"), IconName);
    QDBusMessage call = QDBusMessage::createMethodCall(Service, Path, Interface, QStringLiteral("Notify"));
    call << QCoreApplication::applicationName() << uint(n.replacesId) << IconName << n.summary
         << (m_markup ? n.body.toHtmlEscaped() : n.body)
         << QStringList{QStringLiteral("default"), QStringLiteral("Show")} << hints << int(-1);
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [shown = std::move(shown)](QDBusPendingCallWatcher *w) {
                const QDBusPendingReply<uint> reply = *w;
                if (!reply.isError() && shown)
                    shown(reply.value());
                w->deleteLater();
            });
}

void DBusNotifier::onActionInvoked(uint id, const QString &action)
{
    if (action == QLatin1String("default") && clicked)
        clicked(id);
}
