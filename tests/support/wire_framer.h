#pragma once

#include "base/wire_codec.h"

#include <QByteArray>
#include <QStringList>

// Cuts what one peer sends into whole ":...^" messages, decoded; bytes
// outside a message are dropped. Kept apart from the client's and the
// relay's own framing so that a fault there cannot hide itself here.
class WireFramer
{
public:
    QStringList feed(QByteArrayView bytes)
    {
        m_pending += bytes;
        QStringList out;
        qsizetype pos = 0;
        for (qsizetype start; (start = m_pending.indexOf(':', pos)) >= 0;) {
            const qsizetype end = m_pending.indexOf('^', start);
            if (end < 0) {
                m_pending.remove(0, start);
                return out;
            }
            out.append(WireCodec::decode(QByteArrayView(m_pending).sliced(start, end - start + 1)));
            pos = end + 1;
        }
        m_pending.clear();
        return out;
    }

private:
    QByteArray m_pending; // empty, or from the ":" of an unfinished message
};
