#pragma once

#include <QString>
#include <QStringView>

#include <functional>

// The arrival procedure done step by step, copying the rest of the buffer
// after every message. Slow on purpose: the reference that ReceiveBuffer is
// compared with. Its only cap is the in-loop one (after a message is removed).
class LiteralReceiveBuffer
{
public:
    using MessageSink = std::function<void(const QString &message)>;

    explicit LiteralReceiveBuffer(MessageSink sink, qsizetype cap = 5'000'000);

    void Append(QStringView data);
    void clear() { m_buffer.clear(); }
    QString text() const { return m_buffer; }
    qsizetype size() const { return m_buffer.size(); }

private:
    MessageSink m_sink;
    qsizetype m_cap;
    QString m_buffer;
};
