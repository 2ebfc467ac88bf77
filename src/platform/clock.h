#pragma once

#include <QDateTime>
#include <QElapsedTimer>
#include <QTimeZone>

// Nothing reads the system clock directly, so tests can move time.
class Clock
{
public:
    virtual ~Clock() = default;
    virtual QDateTime localNow() const = 0;
    virtual QDateTime utcNow() const = 0;
    // Milliseconds on a clock that never jumps: intervals are measured on it,
    // so setting the wall clock back does not stretch them.
    virtual qint64 monotonicMs() const = 0;
    // The zone whose rules turn a past moment into the local time of then.
    virtual QTimeZone timeZone() const = 0;
};

class SystemClock final : public Clock
{
public:
    SystemClock() { m_started.start(); }
    QDateTime localNow() const override { return QDateTime::currentDateTime(); }
    QDateTime utcNow() const override { return QDateTime::currentDateTimeUtc(); }
    qint64 monotonicMs() const override { return m_started.elapsed(); }
    QTimeZone timeZone() const override { return QTimeZone::systemTimeZone(); }

private:
    QElapsedTimer m_started;
};
