#pragma once

#include <QString>
#include <QStringView>

#include <functional>

// Text received from the server and not dispatched yet. Each arrival is
// appended, junk before each ":" that starts a message is dropped, and every
// whole message from a ":" to the next "^" is handed to the sink in order.
// The buffer never holds more than Cap characters after an arrival.
//
// Dispatched text is not copied away after every message: the buffer keeps
// an offset to its first unprocessed character and compacts once per
// arrival, so an arrival costs time in proportion to its length.
class ReceiveBuffer final
{
public:
    static constexpr qsizetype Cap = 5'000'000;
    using MessageSink = std::function<void(const QString &message)>;

    // cap: the largest size kept; tests use a small one.
    explicit ReceiveBuffer(MessageSink sink, qsizetype cap = Cap);

    // One arrival of decoded text.
    void Append(QStringView data);
    // A sink may call these while an arrival is being processed.
    void clear();
    QString text() const;
    qsizetype size() const;
    qsizetype cap() const { return m_cap; }

private:
    void compact();

    MessageSink m_sink;
    qsizetype m_cap;
    QString m_buf;
    // The buffer's text is m_buf from m_pos on.
    qsizetype m_pos = 0;
    // No "^" lies in m_buf between m_pos and this index, so a message that
    // arrives in many pieces is not searched again from its start each time.
    qsizetype m_noCaretBefore = 0;
};
