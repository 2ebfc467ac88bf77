#pragma once

#include "app/form_scaling.h"

#include <QList>
#include <QSize>

class QTreeView;
class QWidget;

// Stretches a window laid out for the reference screen to the user's screen:
// size and centring from the window group, control fonts by the capped font
// ratio, list-view columns by the width ratio. Layouts place the controls.
// designSize is in reference pixels (twips / 15).
FormScaling::Result ScaleWindow(QWidget *window, FormScaling::WindowGroup group, QSize designSize,
                                const QList<QTreeView *> &listViews = {});
