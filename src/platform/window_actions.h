#pragma once

// What the alert stage and the tray do to the main window.
class WindowActions
{
public:
    virtual ~WindowActions() = default;
    virtual bool isMinimised() const = 0;
    virtual bool isInTray() const = 0;
    virtual void restoreFromMinimised() = 0;
    virtual void showFromTray() = 0;
    // Brings the window in front of others without leaving it on top.
    virtual void bringToFront() = 0;
    // Hides to the tray, or minimises where the desktop has no tray.
    virtual void hideToTray() = 0;
};
