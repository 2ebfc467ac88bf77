#pragma once

#include "reports/rgb.h"

#include <QBrush>
#include <QColor>
#include <QVariant>

inline QColor ToQColor(const Rgb &c)
{
    return QColor(c.r, c.g, c.b);
}

// What the list models hand to their views for Qt::ForegroundRole.
inline QVariant ForegroundBrush(const Rgb &c)
{
    return QBrush(ToQColor(c));
}
