#pragma once

#include "base/rgb.h"
#include "base/settings.h"

#include <QBrush>
#include <QColor>
#include <QFont>
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

// The user's list font, shared by the report list and the warnings list.
inline QFont ListFont(const SettingsRecord &s)
{
    QFont f(s.FontName, s.FontSize > 0 ? s.FontSize : 10);
    f.setBold(s.FontBold);
    f.setItalic(s.FontItalic);
    return f;
}
