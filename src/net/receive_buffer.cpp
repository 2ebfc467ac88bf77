#include "net/receive_buffer.h"

#include <algorithm>
#include <utility>

ReceiveBuffer::ReceiveBuffer(MessageSink sink, qsizetype cap) : m_sink(std::move(sink)), m_cap(cap)
{
}

void ReceiveBuffer::clear()
{
    m_buf.clear();
    m_pos = 0;
    m_noCaretBefore = 0;
}

QString ReceiveBuffer::text() const
{
    return m_buf.mid(m_pos);
}

qsizetype ReceiveBuffer::size() const
{
    return m_buf.size() - m_pos;
}

void ReceiveBuffer::compact()
{
    if (m_pos == 0)
        return;
    if (m_pos == m_buf.size()) {
        m_buf.truncate(0);
    } else if (m_pos * 2 >= m_buf.size()) {
        // Only moved when at least as much was consumed as is left, so a
        // waiting backlog is not copied once per arrival.
        m_buf.remove(0, m_pos);
    } else {
        return;
    }
    m_noCaretBefore = std::max<qsizetype>(0, m_noCaretBefore - m_pos);
    m_pos = 0;
    // One flood should not pin its memory for the rest of the run.
    if (m_buf.capacity() > (qsizetype(1) << 20) && m_buf.size() < m_buf.capacity() / 4)
        m_buf.squeeze();
}

void ReceiveBuffer::Append(QStringView data)
{
    m_buf.append(data);

    // Junk before the first ":" goes once per arrival; without any ":"
    // nothing in the buffer can become a message.
    const qsizetype colon = m_buf.indexOf(u':', m_pos);
    if (colon < 0) {
        clear();
        return;
    }
    m_pos = colon;

    // Every index below is relative to m_pos and re-read after each sink
    // call, because a sink may clear the buffer or append to it.
    auto findCaret = [this]() -> qsizetype {
        const qsizetype from = std::max(m_pos, m_noCaretBefore);
        const qsizetype at = m_buf.indexOf(u'^', from);
        m_noCaretBefore = at < 0 ? m_buf.size() : at;
        return at < 0 ? -1 : at - m_pos;
    };

    qsizetype caret = findCaret();
    while (caret > 0) {
        const qsizetype length = caret + 1;
        m_sink(m_buf.mid(m_pos, length));
        if (length > size())
            break;
        m_pos += length;
        // Junk between messages is skipped now: a complete message behind it
        // must not wait for a later arrival that may be minutes away.
        const qsizetype next = m_buf.indexOf(u':', m_pos);
        if (next < 0) {
            clear();
            break;
        }
        m_pos = next;
        if (size() > m_cap) {
            clear();
            break;
        }
        caret = findCaret();
    }

    // A peer that never sends "^" must not grow the buffer without bound.
    if (size() > m_cap)
        clear();
    compact();
}
