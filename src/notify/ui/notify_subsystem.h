#pragma once

#include "base/ui/subsystem.h"
#include "notify/desktop_alerts.h"

#include <QObject>
#include <QPointer>

class QCheckBox;

// Desktop notifications for what a spotter must not miss while the window
// is out of sight, and the tray's count of what arrived meanwhile. It has
// no panel and no menu item: its one option goes into "Alert and Display
// Options", its counts into the tray icon's tooltip.
class NotifySubsystem final : public QObject, public Subsystem
{
    Q_OBJECT
public:
    explicit NotifySubsystem(const ClientContext &context, QObject *parent = nullptr);

    void buildWindows(SubsystemHost &host) override;

    DesktopAlerts &alerts() { return m_alerts; }
    // "Show desktop notifications", saved in its own file when clicked.
    QCheckBox *makeOptionBox(QWidget *parent);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    ClientContext m_context;
    DesktopAlerts m_alerts;
    QPointer<QWidget> m_window;
};
