#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

// Cuts the byte stream of one connection into messages: bytes before a
// ":" are junk and dropped, a message runs from ":" to the next "^". The
// wire codec maps bytes one to one, so framing on bytes equals framing on
// the decoded text.
class FrameSplitter
{
public:
    static constexpr qsizetype DefaultCap = 64 * 1024;

    explicit FrameSplitter(qsizetype cap = DefaultCap) : m_cap(cap) {}

    // Appends every whole message to messages. False when an unfinished
    // message has grown past the cap; the caller closes the connection.
    bool feed(QByteArrayView data, QList<QByteArray> &messages);
    qsizetype pending() const { return m_buffer.size(); }

private:
    qsizetype m_cap;
    QByteArray m_buffer; // empty, or starts with ":"
    qsizetype m_scanned = 0;
};
