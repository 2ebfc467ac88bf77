#pragma once

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>

// The readings each station sent this run, for its chart: wind, gust and
// temperature by local time of receipt, the last six hours at most. A
// reading costs a few bytes; the chart itself is built only when asked for.
class StationHistory final
{
public:
    struct Sample
    {
        qint64 ms = 0; // local wall-clock time of receipt, counted as if it were UTC
        float wind = 0;
        float gust = 0;
        float temperature = 0; // NaN where the station sent no number
    };
    static constexpr qint64 WindowMs = 6 * 3600 * 1000;
    // A station sending more often than every 30 s keeps its latest 720.
    static constexpr qsizetype MaxSamples = 720;
    // Beyond this the station heard from least recently is forgotten.
    static constexpr qsizetype MaxStations = 1'000;

    static qint64 ToMs(const QDateTime &local);
    static QDateTime FromMs(qint64 ms);

    void add(const QString &observer, const QDateTime &local, const QString &temperature, const QString &wind,
             const QString &gust);
    // Oldest first, none older than six hours before now.
    QList<Sample> samples(const QString &observer, const QDateTime &now) const;
    qsizetype stationCount() const { return m_stations.size(); }

private:
    QHash<QString, QList<Sample>> m_stations;
};
