#pragma once

#include <QWidget>

// Shows a window on top of the others; with activate, it takes the focus too.
inline void showAndRaise(QWidget *window, bool activate = true)
{
    window->show();
    window->raise();
    if (activate)
        window->activateWindow();
}
