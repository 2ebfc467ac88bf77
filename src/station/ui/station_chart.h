#pragma once

#include "station/station_history.h"

#include <QWidget>

// One station's wind, gust and temperature over time, painted directly:
// speeds on the left scale, temperature on the right, local time below.
class StationChart final : public QWidget
{
    Q_OBJECT
public:
    explicit StationChart(QWidget *parent = nullptr);

    void setStation(const QString &title, QList<StationHistory::Sample> samples);
    const QList<StationHistory::Sample> &samples() const { return m_samples; }
    const QString &title() const { return m_title; }

    QSize sizeHint() const override { return {640, 220}; }
    QSize minimumSizeHint() const override { return {320, 160}; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_title;
    QList<StationHistory::Sample> m_samples;
};
