#pragma once

#include "base/form_scaling.h"

#include <QSize>

class QWidget;

// Stretches a window laid out for the reference screen to the user's screen:
// size and centring from the window group, control fonts by the capped font
// ratio, the columns of every list view in it by the width ratio. Layouts
// place the controls. designSize is in reference pixels (twips / 15).
// Marks the window with its group as an int under ScaledGroupProperty, so
// that a window that skipped scaling can be found.
inline constexpr char ScaledGroupProperty[] = "nimbrelScaledGroup";
FormScaling::Result ScaleWindow(QWidget *window, FormScaling::WindowGroup group, QSize designSize);
