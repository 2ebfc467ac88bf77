#pragma once

#include <QMetaType>

// How a status-line text is shown. The window maps it to colours.
enum class StatusStyle {
    Normal,     // the text only; the background stays as it is
    Red,        // red background (255, 0, 0)
    ButtonFace, // the system button-face background
};
