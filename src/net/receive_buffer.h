#pragma once

#include <QString>
#include <QStringView>

#include <functional>

// Text received from the server and not dispatched yet. Each arrival is
// appended, junk before the first ":" is dropped once, and every whole
// message from a leading ":" to the next "^" is handed to the sink in order.
// The buffer never holds more than Cap characters after an arrival.
class ReceiveBuffer
{
public:
    static constexpr qsizetype Cap = 5'000'000;
    using MessageSink = std::function<void(const QString &message)>;

    explicit ReceiveBuffer(MessageSink sink);

    // One arrival of decoded text.
    void Append(QStringView data);
    // A sink may call these while an arrival is being processed.
    void clear();
    QString text() const;
    qsizetype size() const;
};
