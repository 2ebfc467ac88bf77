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

// The colours of report and warning rows and of the report status line.
namespace ReportColours {
inline constexpr Rgb Blue{0, 0, 255};
inline constexpr Rgb Red{255, 0, 0};
inline constexpr Rgb Green{0, 128, 0};
inline constexpr Rgb White{255, 255, 255};
inline constexpr Rgb Navy{0, 0, 128};
inline constexpr Rgb Maroon{128, 0, 0};
} // namespace ReportColours
