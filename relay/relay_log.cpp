#include "relay_log.h"

#include "platform/clock.h"

void RelayLog::line(const QString &text) const
{
    const QByteArray stamp = m_clock.utcNow().toString(Qt::ISODate).toUtf8();
    // Names and texts come from the network: no control character, C0 or
    // C1, may forge a line of its own or steer the terminal showing it.
    QString clean = text;
    for (QChar &c : clean)
        if (c.unicode() < 0x20 || (c.unicode() >= 0x7F && c.unicode() <= 0x9F))
            c = u'?';
    const QByteArray body = clean.toUtf8();
    std::fprintf(m_out, "%s %s\n", stamp.constData(), body.constData());
    std::fflush(m_out);
}
