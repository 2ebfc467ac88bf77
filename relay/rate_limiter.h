#pragma once

#include <QtGlobal>

// Per-connection token buckets over messages and over their bytes. Excess
// messages are dropped; a connection that keeps flooding (too many drops
// within one window) is told to close. Time comes in as milliseconds so
// tests can drive it.
struct RateLimits
{
    double perSecond = 50;
    double burst = 200;
    int closeAfterDrops = 500;
    qint64 dropWindowMs = 10'000;
    // Honest clients send a few hundred bytes at a time: a chat line, a
    // report, a reading. Many large messages would crowd out slower
    // receivers, whose queues fill with them.
    double bytesPerSecond = 4096;
    double byteBurst = 16384;
};

class RateLimiter
{
public:
    using Limits = RateLimits;
    enum class Verdict { Accept, Drop, Close };

    explicit RateLimiter(Limits limits = {})
        : m_limits(limits), m_tokens(limits.burst), m_byteTokens(limits.byteBurst)
    {
    }

    Verdict take(qint64 nowMs, qsizetype bytes = 0);
    int dropsInWindow() const { return m_drops; }

private:
    Limits m_limits;
    double m_tokens;
    double m_byteTokens;
    qint64 m_lastMs = -1;
    qint64 m_windowStartMs = 0;
    int m_drops = 0;
};
