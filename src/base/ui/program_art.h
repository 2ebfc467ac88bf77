#pragma once

#include <QIcon>
#include <QPixmap>
#include <QSize>

// The program's own icon, in every shipped size: the application, each
// window and the tray show it.
QIcon ProgramIcon();

// What the announcement area shows until the server sends a picture of its
// own: a banner with the program's name, drawn to fit size.
QPixmap DefaultBanner(QSize size);
