#include "rate_limiter.h"

#include <algorithm>

RateLimiter::Verdict RateLimiter::take(qint64 nowMs)
{
    if (m_lastMs >= 0 && nowMs > m_lastMs)
        m_tokens = std::min(m_limits.burst, m_tokens + (nowMs - m_lastMs) * m_limits.perSecond / 1000.0);
    if (m_lastMs < 0 || nowMs > m_lastMs)
        m_lastMs = nowMs;
    if (m_tokens >= 1.0) {
        m_tokens -= 1.0;
        return Verdict::Accept;
    }
    if (m_drops == 0 || nowMs - m_windowStartMs > m_limits.dropWindowMs) {
        m_windowStartMs = nowMs;
        m_drops = 0;
    }
    ++m_drops;
    return m_drops > m_limits.closeAfterDrops ? Verdict::Close : Verdict::Drop;
}
