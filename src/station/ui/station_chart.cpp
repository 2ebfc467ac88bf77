#include "station/ui/station_chart.h"

#include <QPainter>
#include <QPolygonF>

#include <cmath>
#include <functional>

using namespace Qt::Literals::StringLiterals;

namespace {

const QColor WindColour(0, 90, 200);
const QColor GustColour(220, 40, 40);
const QColor TempColour(0, 140, 60);
// Shorter spans are widened to this, so a few readings are not stretched.
constexpr qint64 MinSpanMs = 10 * 60 * 1000;

struct Range
{
    double low = 0;
    double high = 1;
};

// A scale that starts and ends on a multiple of five, at least ten wide.
Range niceRange(double low, double high)
{
    low = std::floor(low / 5) * 5;
    high = std::ceil(high / 5) * 5;
    if (high - low < 10)
        high = low + 10;
    return {low, high};
}

// A series as lines, broken where the station sent no number.
void drawSeries(QPainter &p, const QList<StationHistory::Sample> &samples,
                float StationHistory::Sample::*value, const std::function<QPointF(qint64, double)> &at)
{
    QPolygonF run;
    run.reserve(samples.size());
    for (const StationHistory::Sample &s : samples) {
        const float v = s.*value;
        if (std::isnan(v)) {
            p.drawPolyline(run);
            run.clear();
            continue;
        }
        run.append(at(s.ms, v));
    }
    p.drawPolyline(run);
}

// Text placed by its anchor point: laying out a rectangle's text for each
// label would take most of the paint.
enum class Anchor { Left, Centre, Right };
void label(QPainter &p, const QFontMetrics &fm, Anchor anchor, QPointF at, const QString &text)
{
    const int w = fm.horizontalAdvance(text);
    const double x = anchor == Anchor::Left     ? at.x()
                     : anchor == Anchor::Centre ? at.x() - w / 2.0
                                                : at.x() - w;
    p.drawText(QPointF(x, at.y() + (fm.ascent() - fm.descent()) / 2.0), text);
}

} // namespace

StationChart::StationChart(QWidget *parent) : QWidget(parent)
{
    setObjectName(u"stationChart"_s);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void StationChart::setStation(const QString &title, QList<StationHistory::Sample> samples)
{
    m_title = title;
    m_samples = std::move(samples);
    update();
}

void StationChart::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), palette().base());
    p.setPen(palette().text().color());
    const QFontMetrics fm = fontMetrics();
    const int line = fm.height();
    const QRect plot = rect().adjusted(fm.horizontalAdvance(u"1000"_s) + 8, 2 * line + 4,
                                       -(fm.horizontalAdvance(u"-100"_s) + 8), -(line + 6));
    label(p, fm, Anchor::Centre, QPointF(width() / 2.0, line / 2.0), m_title);
    // The legend says which line is which, and which scale it reads on.
    int x = plot.left();
    for (const auto &[colour, name] :
         {std::pair{WindColour, u"Wind (MPH, left)"_s}, std::pair{GustColour, u"Gust (MPH, left)"_s},
          std::pair{TempColour, u"Temperature (right)"_s}}) {
        p.fillRect(x, line + line / 2, 14, 3, colour);
        p.drawText(x + 18, line + fm.ascent(), name);
        x += 18 + fm.horizontalAdvance(name) + 16;
    }
    if (m_samples.isEmpty() || plot.width() < 20 || plot.height() < 20) {
        label(p, fm, Anchor::Centre, QPointF(plot.center()), u"No readings yet"_s);
        return;
    }

    const qint64 t1 = m_samples.last().ms;
    const qint64 t0 = qMin(m_samples.first().ms, t1 - MinSpanMs);
    double speedHigh = 0, tempLow = INFINITY, tempHigh = -INFINITY;
    for (const StationHistory::Sample &s : m_samples) {
        for (float v : {s.wind, s.gust})
            if (!std::isnan(v))
                speedHigh = qMax(speedHigh, double(v));
        if (!std::isnan(s.temperature)) {
            tempLow = qMin(tempLow, double(s.temperature));
            tempHigh = qMax(tempHigh, double(s.temperature));
        }
    }
    const Range speed = niceRange(0, speedHigh);
    const Range temp = std::isinf(tempLow) ? Range{0, 10} : niceRange(tempLow, tempHigh);
    const auto xAt = [&](qint64 ms) {
        return plot.left() + double(ms - t0) / double(t1 - t0) * plot.width();
    };
    const auto yAt = [&](double v, const Range &r) {
        return plot.bottom() - (v - r.low) / (r.high - r.low) * plot.height();
    };

    // Five bands with both scales' values at their lines.
    QPen grid(palette().midlight().color(), 1); // solid: dotted lines cost a third of the paint
    for (int i = 0; i <= 5; ++i) {
        const double y = plot.bottom() - i * plot.height() / 5.0;
        p.setPen(grid);
        p.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        p.setPen(WindColour);
        const double sv = speed.low + i * (speed.high - speed.low) / 5;
        label(p, fm, Anchor::Right, QPointF(plot.left() - 4, y),
              QString::number(sv, 'f', sv == std::floor(sv) ? 0 : 1));
        p.setPen(TempColour);
        const double tv = temp.low + i * (temp.high - temp.low) / 5;
        label(p, fm, Anchor::Left, QPointF(plot.right() + 4, y),
              QString::number(tv, 'f', tv == std::floor(tv) ? 0 : 1));
    }
    // Time marks on round minutes, as many as fit.
    const qint64 minute = 60'000;
    qint64 step = 5 * minute;
    for (qint64 m : {5, 10, 15, 30, 60, 120})
        if ((t1 - t0) / (m * minute) <= qMax(2, plot.width() / (fm.horizontalAdvance(u"00:00"_s) * 3))) {
            step = m * minute;
            break;
        }
    p.setPen(palette().text().color());
    for (qint64 t = (t0 / step + 1) * step; t <= t1; t += step) {
        const double tx = xAt(t);
        p.setPen(grid);
        p.drawLine(QPointF(tx, plot.top()), QPointF(tx, plot.bottom()));
        p.setPen(palette().text().color());
        const QString text = StationHistory::FromMs(t).toString(u"hh:mm"_s);
        label(p, fm, Anchor::Centre, QPointF(tx, plot.bottom() + 3 + line / 2.0), text);
    }
    p.drawRect(plot);

    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(Qt::NoBrush);
    const auto speedAt = [&](qint64 ms, double v) { return QPointF(xAt(ms), yAt(v, speed)); };
    const auto tempAt = [&](qint64 ms, double v) { return QPointF(xAt(ms), yAt(v, temp)); };
    const auto pen = [](const QColor &colour) {
        QPen pen(colour, 1);
        pen.setCosmetic(true);
        return pen;
    };
    p.setPen(pen(GustColour));
    drawSeries(p, m_samples, &StationHistory::Sample::gust, speedAt);
    p.setPen(pen(WindColour));
    drawSeries(p, m_samples, &StationHistory::Sample::wind, speedAt);
    p.setPen(pen(TempColour));
    drawSeries(p, m_samples, &StationHistory::Sample::temperature, tempAt);
    // A lone reading is a dot, not an invisible line.
    if (m_samples.size() == 1) {
        const StationHistory::Sample &s = m_samples.first();
        for (const auto &[colour, point] :
             {std::pair{GustColour, speedAt(s.ms, s.gust)}, std::pair{WindColour, speedAt(s.ms, s.wind)},
              std::pair{TempColour, tempAt(s.ms, s.temperature)}}) {
            if (std::isnan(point.y()))
                continue;
            p.setBrush(colour);
            p.setPen(Qt::NoPen);
            p.drawEllipse(point, 3, 3);
        }
    }
}
