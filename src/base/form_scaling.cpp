#include "base/form_scaling.h"

#include <algorithm>

namespace FormScaling {

Result ScaleForm(const Input &in)
{
    Result r;
    if (in.referenceWidth <= 0 || in.referenceHeight <= 0)
        return r;
    const double borderW = in.width - in.scaleWidth;
    const double borderH = in.height - in.scaleHeight;

    r.window.width = in.width / in.referenceWidth * in.targetWidth;
    r.window.height = in.height / in.referenceHeight * in.targetHeight;
    r.window.left = (in.targetWidth - r.window.width) / 2;
    r.window.top = (in.targetHeight - r.window.height) / 2;
    r.formFontSize = in.formFontSize * (r.window.height / in.referenceHeight);

    // The borders keep their size, so the inner area takes the whole change.
    r.scaleWidth = std::max(0.0, r.window.width - borderW);
    r.scaleHeight = std::max(0.0, r.window.height - borderH);
    r.xRatio = in.scaleWidth > 0 ? r.scaleWidth / in.scaleWidth : 1;
    r.yRatio = in.scaleHeight > 0 ? r.scaleHeight / in.scaleHeight : 1;
    r.fontRatio = in.fontBase > 0 ? std::min(in.screenHeight / in.fontBase, MaxFontRatio) : 1;
    return r;
}

Rect ScaleControl(const Rect &control, const Result &r)
{
    return {control.left * r.xRatio, control.top * r.yRatio, control.width * r.xRatio,
            control.height * r.yRatio};
}

QList<double> ScaleColumns(const QList<double> &widths, double xRatio)
{
    QList<double> out;
    out.reserve(widths.size());
    for (double w : widths)
        out.append(w * xRatio);
    return out;
}

double ReferenceHeightFor(WindowGroup group)
{
    return group == WindowGroup::Main ? MainReferenceHeight : OtherReferenceHeight;
}

double PhraseListHeight(double lblStatusTop, double lst1Top, double screenHeight)
{
    return (lblStatusTop - lst1Top) - (screenHeight / 12000 * 130);
}

} // namespace FormScaling
