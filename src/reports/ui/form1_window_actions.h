#pragma once

#include "platform/window_actions.h"

#include <functional>

class QWidget;

// The alert stage's view of the main window: hidden means in the tray, and
// coming back from the tray goes through the window's own RestoreFromTray.
class MainWindowAlertActions final : public WindowActions
{
public:
    MainWindowAlertActions(QWidget &window, std::function<void()> restoreFromTray);
    bool isMinimised() const override;
    bool isInTray() const override;
    void restoreFromMinimised() override;
    void showFromTray() override;
    // Normal size, then in front of other programs without staying on top.
    // A window hidden in the tray stays hidden.
    void bringToFront() override;
    void hideToTray() override;

private:
    QWidget &m_window;
    std::function<void()> m_restoreFromTray;
};
