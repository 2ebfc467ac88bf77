#pragma once

#include <QList>

// Every window was laid out for one reference screen and is stretched to the
// user's screen once, when it loads. Sizes are in twips (1/1440 inch).
namespace FormScaling {

inline constexpr double ReferenceWidth = 12000;
inline constexpr double MainReferenceHeight = 8550;  // main-sized windows, scaled to the work area
inline constexpr double OtherReferenceHeight = 9000; // every other window, scaled to the whole screen
inline constexpr double FontBase = 9000;
inline constexpr double MaxFontRatio = 1.5;
// Logical pixels at 96 dpi.
inline constexpr double TwipsPerPixel = 15;

enum class WindowGroup { Main, Other };

struct Rect
{
    double left = 0;
    double top = 0;
    double width = 0;
    double height = 0;
};

struct Input
{
    double width = 0; // window's outer size as laid out
    double height = 0;
    double scaleWidth = 0; // its inner size (outer less borders and caption)
    double scaleHeight = 0;
    double referenceWidth = ReferenceWidth;
    double referenceHeight = OtherReferenceHeight;
    double targetWidth = 0; // work area or whole screen, by window group
    double targetHeight = 0;
    double screenHeight = 0; // the whole screen, for the font ratio
    double fontBase = FontBase;
    double formFontSize = 0;
};

struct Result
{
    Rect window; // centred on the target area
    double scaleWidth = 0;
    double scaleHeight = 0;
    double formFontSize = 0;
    double xRatio = 1;    // applied to each control's left and width, and list-view columns
    double yRatio = 1;    // applied to each control's top and height
    double fontRatio = 1; // applied to each control's font size
};

Result ScaleForm(const Input &in);

// The same proportions for one control.
Rect ScaleControl(const Rect &control, const Result &r);
QList<double> ScaleColumns(const QList<double> &widths, double xRatio);

// Reference height of a window group.
double ReferenceHeightFor(WindowGroup group);

// Height of the main window's phrase lists after scaling: they reach down to
// the status line, less a margin that grows with the screen.
double PhraseListHeight(double lblStatusTop, double lst1Top, double screenHeight);

} // namespace FormScaling
