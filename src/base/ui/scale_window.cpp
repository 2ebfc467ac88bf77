#include "base/ui/scale_window.h"

#include <QGuiApplication>
#include <QHeaderView>
#include <QScreen>
#include <QTreeView>
#include <QWidget>

using namespace FormScaling;

Result ScaleWindow(QWidget *window, WindowGroup group, QSize designSize)
{
    window->setProperty(ScaledGroupProperty, int(group));
    QScreen *screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return {};
    const QRect target = group == WindowGroup::Main ? screen->availableGeometry() : screen->geometry();

    Input in;
    in.width = designSize.width() * TwipsPerPixel;
    in.height = designSize.height() * TwipsPerPixel;
    // Before the window is shown there is no frame; the inner area is the window.
    in.scaleWidth = in.width;
    in.scaleHeight = in.height;
    in.referenceHeight = ReferenceHeightFor(group);
    in.targetWidth = target.width() * TwipsPerPixel;
    in.targetHeight = target.height() * TwipsPerPixel;
    in.screenHeight = screen->geometry().height() * TwipsPerPixel;
    in.formFontSize = window->font().pointSizeF();
    const Result r = ScaleForm(in);

    const QSize size(qRound(r.window.width / TwipsPerPixel), qRound(r.window.height / TwipsPerPixel));
    window->resize(size.expandedTo(window->minimumSizeHint()));
    window->move(target.x() + qRound(r.window.left / TwipsPerPixel),
                 target.y() + qRound(r.window.top / TwipsPerPixel));

    // Child widgets inherit the window's font, so one change scales them all.
    QFont f = window->font();
    if (f.pointSizeF() > 0 && r.fontRatio > 0) {
        f.setPointSizeF(f.pointSizeF() * r.fontRatio);
        window->setFont(f);
    }

    // Every list view of the window, whichever panel put it there: columns
    // left at their reference widths end short of a stretched list.
    for (QTreeView *view : window->findChildren<QTreeView *>()) {
        QHeaderView *header = view->header();
        QList<double> widths;
        for (int i = 0; i < header->count(); ++i)
            widths.append(header->sectionSize(i));
        const QList<double> scaled = ScaleColumns(widths, r.xRatio);
        for (int i = 0; i < scaled.size(); ++i)
            header->resizeSection(i, qRound(scaled.at(i)));
    }
    return r;
}
