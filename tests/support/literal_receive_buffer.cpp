#include "literal_receive_buffer.h"

#include <utility>

LiteralReceiveBuffer::LiteralReceiveBuffer(MessageSink sink, qsizetype cap)
    : m_sink(std::move(sink)), m_cap(cap)
{
}

void LiteralReceiveBuffer::Append(QStringView data)
{
    // Positions are 1-based, 0 meaning "not found".
    auto position = [this](QChar c) { return m_buffer.indexOf(c) + 1; };

    m_buffer.append(data);
    qsizetype p = position(u':');
    if (p == 0) {
        m_buffer.clear();
        return;
    }
    // The rest is copied into a new text, as the procedure says; the
    // quadratic cost of that is what the fast buffer is measured against.
    if (p > 1) {
        m_buffer = m_buffer.mid(p - 1);
        p = 1;
    }
    qsizetype q = position(u'^');
    if (q == 0)
        return;
    while (p == 1 && q > 1) {
        const QString message = m_buffer.left(q);
        m_sink(message);
        if (q > m_buffer.size())
            break;
        m_buffer = m_buffer.mid(q);
        // Junk between messages is dropped within the arrival.
        p = position(u':');
        if (p == 0) {
            m_buffer.clear();
            break;
        }
        if (p > 1) {
            m_buffer = m_buffer.mid(p - 1);
            p = 1;
        }
        q = position(u'^');
        if (m_buffer.size() > m_cap)
            m_buffer.clear();
    }
}
