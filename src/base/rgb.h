#pragma once

#include <QMetaType>

// A colour as plain values, so the core can decide colours without Qt Gui;
// windows convert it to a QColor.
struct Rgb
{
    int r = 0;
    int g = 0;
    int b = 0;

    bool operator==(const Rgb &) const = default;
};

Q_DECLARE_METATYPE(Rgb)
