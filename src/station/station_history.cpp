#include "station/station_history.h"

#include <QTimeZone>

#include <cmath>
#include <limits>

namespace {

float number(const QString &text)
{
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    return ok && std::isfinite(v) ? float(v) : std::numeric_limits<float>::quiet_NaN();
}

} // namespace

qint64 StationHistory::ToMs(const QDateTime &local)
{
    return QDateTime(local.date(), local.time(), Qt::UTC).toMSecsSinceEpoch();
}

QDateTime StationHistory::FromMs(qint64 ms)
{
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC);
}

void StationHistory::add(const QString &observer, const QDateTime &local, const QString &temperature,
                         const QString &wind, const QString &gust)
{
    if (!m_stations.contains(observer) && m_stations.size() >= MaxStations) {
        auto oldest = m_stations.begin();
        for (auto it = m_stations.begin(); it != m_stations.end(); ++it)
            if (it->isEmpty() || (!oldest->isEmpty() && it->last().ms < oldest->last().ms))
                oldest = it;
        m_stations.erase(oldest);
    }
    QList<Sample> &list = m_stations[observer];
    const qint64 ms = ToMs(local);
    list.append({ms, number(wind), number(gust), number(temperature)});
    qsizetype drop = qMax<qsizetype>(0, list.size() - MaxSamples);
    while (drop < list.size() && list.at(drop).ms < ms - WindowMs)
        ++drop;
    list.remove(0, drop);
}

QList<StationHistory::Sample> StationHistory::samples(const QString &observer, const QDateTime &now) const
{
    const QList<Sample> list = m_stations.value(observer);
    const qint64 from = ToMs(now) - WindowMs;
    qsizetype first = 0;
    while (first < list.size() && list.at(first).ms < from)
        ++first;
    return list.mid(first);
}
