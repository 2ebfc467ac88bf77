#pragma once

#include <QtGlobal>

// Per-connection token bucket over messages. Excess messages are dropped;
// a connection that keeps flooding (too many drops within one window) is
// told to close. Time comes in as milliseconds so tests can drive it.
struct RateLimits
{
    double perSecond = 50;
    double burst = 200;
    int closeAfterDrops = 500;
    qint64 dropWindowMs = 10'000;
};

class RateLimiter
{
public:
    using Limits = RateLimits;
    enum class Verdict { Accept, Drop, Close };

    explicit RateLimiter(Limits limits = {}) : m_limits(limits), m_tokens(limits.burst) {}

    Verdict take(qint64 nowMs);
    int dropsInWindow() const { return m_drops; }

private:
    Limits m_limits;
    double m_tokens;
    qint64 m_lastMs = -1;
    qint64 m_windowStartMs = 0;
    int m_drops = 0;
};
