// Arrivals cut at fuzzer-chosen points go through the receive buffer and the
// dispatcher to handlers that split and clean every field. The same arrivals
// also go through the step-by-step reference, which must dispatch the same
// messages and leave the same text.
#include "base/wire_codec.h"
#include "net/dispatcher.h"
#include "net/protocol.h"
#include "net/receive_buffer.h"

#include "literal_receive_buffer.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

void readEveryField(const QString &message)
{
    const QStringList fields = SplitFields(message);
    for (int i = -1; i <= fields.size(); ++i) {
        const QString field = CleanIncoming(FieldAt(fields, i));
        check(field.size() == FieldAt(fields, i).size());
    }
    check(CommandCode(message).size() <= 3);
}

struct Side
{
    QStringList messages;
    QStringList texts;
    int count = 0;
    bool socketOpen = true;
};

// Both buffers see the same handlers: every code reads its fields, DIS
// "closes the socket", and every seventh message empties the buffer.
template <typename Buffer> Side run(const QList<QByteArray> &arrivals, qsizetype cap)
{
    Side side;
    Buffer *self = nullptr;
    Dispatcher dispatcher;
    for (const char16_t *code : Dispatcher::Codes)
        dispatcher.setHandler(code, readEveryField);
    dispatcher.setHandler(u"DIS", [&side](const QString &) { side.socketOpen = false; });
    Buffer buffer(
        [&](const QString &m) {
            side.messages.append(m);
            dispatcher.dispatch(m);
            if (++side.count % 7 == 0)
                self->clear();
        },
        cap);
    self = &buffer;
    for (const QByteArray &a : arrivals) {
        buffer.Append(WireCodec::decode(a));
        side.texts.append(buffer.text());
    }
    return side;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const bool smallCap = input.ConsumeBool();
    const qsizetype cap = smallCap ? input.ConsumeIntegralInRange<qsizetype>(4, 300) : ReceiveBuffer::Cap;
    QList<QByteArray> arrivals;
    while (input.remaining_bytes() > 0) {
        const auto length = input.ConsumeIntegralInRange<size_t>(0, 80);
        const std::string piece = input.ConsumeBytesAsString(length);
        arrivals.append(QByteArray(piece.data(), qsizetype(piece.size())));
    }

    const Side fast = run<ReceiveBuffer>(arrivals, cap);
    for (const QString &text : fast.texts)
        check(text.size() <= cap);
    // Below the cap the two must agree exactly; a small cap is the one place
    // where the buffer deliberately differs.
    if (!smallCap) {
        const Side literal = run<LiteralReceiveBuffer>(arrivals, cap);
        check(fast.messages == literal.messages);
        check(fast.texts == literal.texts);
    }
    return 0;
}
