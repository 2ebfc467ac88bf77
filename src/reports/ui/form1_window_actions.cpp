#include "reports/ui/form1_window_actions.h"

#include <QWidget>

MainWindowAlertActions::MainWindowAlertActions(QWidget &window, std::function<void()> restoreFromTray)
    : m_window(window), m_restoreFromTray(std::move(restoreFromTray))
{
}

bool MainWindowAlertActions::isMinimised() const
{
    return m_window.isMinimized();
}

bool MainWindowAlertActions::isInTray() const
{
    return m_window.isHidden();
}

void MainWindowAlertActions::restoreFromMinimised()
{
    m_window.setWindowState(m_window.windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized));
}

void MainWindowAlertActions::showFromTray()
{
    if (m_restoreFromTray)
        m_restoreFromTray();
}

void MainWindowAlertActions::bringToFront()
{
    m_window.setWindowState(m_window.windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized));
    if (m_window.isHidden())
        return;
    m_window.raise();
    m_window.activateWindow();
}

void MainWindowAlertActions::hideToTray()
{
    m_window.hide();
}
