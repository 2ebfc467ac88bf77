#include "frame_splitter.h"

bool FrameSplitter::feed(QByteArrayView data, QList<QByteArray> &messages)
{
    if (m_buffer.isEmpty()) {
        const qsizetype start = data.indexOf(':');
        if (start < 0)
            return true;
        data = data.sliced(start);
        m_scanned = 1;
    }
    m_buffer.append(data);
    qsizetype pos = 0;
    qsizetype from = m_scanned;
    for (;;) {
        const qsizetype end = m_buffer.indexOf('^', from);
        if (end < 0)
            break;
        messages.append(m_buffer.mid(pos, end - pos + 1));
        const qsizetype next = m_buffer.indexOf(':', end + 1);
        if (next < 0) {
            pos = m_buffer.size();
            break;
        }
        pos = next;
        from = next + 1;
    }
    if (pos >= m_buffer.size()) {
        m_buffer.clear();
        m_scanned = 0;
        return true;
    }
    m_buffer.remove(0, pos);
    m_scanned = m_buffer.size();
    return m_buffer.size() <= m_cap;
}
