#include "rate_limiter.h"

#include <algorithm>

RateLimiter::Verdict RateLimiter::take(qint64 nowMs, qsizetype bytes)
{
    if (m_lastMs >= 0 && nowMs > m_lastMs) {
        const double seconds = double(nowMs - m_lastMs) / 1000.0;
        m_tokens = std::min(m_limits.burst, m_tokens + seconds * m_limits.perSecond);
        m_byteTokens = std::min(m_limits.byteBurst, m_byteTokens + seconds * m_limits.bytesPerSecond);
    }
    if (m_lastMs < 0 || nowMs > m_lastMs)
        m_lastMs = nowMs;
    if (m_tokens >= 1.0 && m_byteTokens >= double(bytes)) {
        m_tokens -= 1.0;
        m_byteTokens -= double(bytes);
        return Verdict::Accept;
    }
    if (m_drops == 0 || nowMs - m_windowStartMs > m_limits.dropWindowMs) {
        m_windowStartMs = nowMs;
        m_drops = 0;
    }
    ++m_drops;
    return m_drops > m_limits.closeAfterDrops ? Verdict::Close : Verdict::Drop;
}
