#include "notify/ui/notify_subsystem.h"

#include "base/client_state.h"
#include "base/status_line.h"

#include <QCheckBox>
#include <QEvent>
#include <QWidget>

using namespace Qt::Literals::StringLiterals;

NotifySubsystem::NotifySubsystem(const ClientContext &context, QObject *parent)
    : QObject(parent), m_context(context), m_alerts(context.services.clock, context.services.notifier)
{
    m_alerts.setEnabled(NotifySetting::Read(m_context.state.filePath(NotifySetting::FileName)));
}

void NotifySubsystem::buildWindows(SubsystemHost &host)
{
    m_window = host.window();
    if (m_window)
        m_window->installEventFilter(this);
}

bool NotifySubsystem::eventFilter(QObject *watched, QEvent *event)
{
    // Shown from the tray, or back from the taskbar.
    if (watched == m_window && (event->type() == QEvent::Show ||
                                (event->type() == QEvent::WindowStateChange && !m_window->isMinimized())))
        m_alerts.windowShown();
    return QObject::eventFilter(watched, event);
}

QCheckBox *NotifySubsystem::makeOptionBox(QWidget *parent)
{
    auto *box = new QCheckBox(u"Show desktop notifications"_s, parent);
    box->setObjectName(u"chkDesktopNotifications"_s);
    box->setChecked(m_alerts.enabled());
    connect(box, &QCheckBox::clicked, this, [this](bool on) {
        m_alerts.setEnabled(on);
        const QString path = m_context.state.filePath(NotifySetting::FileName);
        if (const std::optional<QString> why = NotifySetting::Write(path, on))
            m_context.statusLine.show(NotifySetting::FileName + u" could not be written: "_s + *why,
                                      StatusStyle::Red);
    });
    return box;
}
