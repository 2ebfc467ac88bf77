// The relay's framing of one connection's byte stream, fed in arbitrary
// pieces: after every piece the messages so far and the unfinished tail it
// holds must equal a plain scan of everything fed, and it must refuse the
// connection exactly when that tail outgrows the cap.
#include "frame_splitter.h"

#include <algorithm>
#include <cstdlib>

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

struct Scan
{
    QList<QByteArray> messages;
    qsizetype tail = 0; // bytes of the message still waiting for its "^"
};

// Junk up to a ":" is dropped; a message runs from there to the next "^".
Scan scan(QByteArrayView stream)
{
    Scan out;
    qsizetype pos = 0;
    for (;;) {
        const qsizetype start = stream.indexOf(':', pos);
        if (start < 0)
            return out;
        const qsizetype end = stream.indexOf('^', start);
        if (end < 0) {
            out.tail = stream.size() - start;
            return out;
        }
        out.messages.append(stream.sliced(start, end - start + 1).toByteArray());
        pos = end + 1;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    // The first byte picks the cap, the second the piece lengths.
    const qsizetype cap = 1 + data[0] % 64;
    unsigned pieces = data[1];
    const QByteArrayView stream(reinterpret_cast<const char *>(data + 2), qsizetype(size - 2));

    FrameSplitter splitter(cap);
    QList<QByteArray> messages;
    qsizetype fed = 0;
    while (fed < stream.size()) {
        const qsizetype length = std::min<qsizetype>(stream.size() - fed, 1 + pieces % 17);
        pieces = pieces * 1103515245u + 12345u;
        const bool ok = splitter.feed(stream.sliced(fed, length), messages);
        fed += length;
        const Scan expected = scan(stream.first(fed));
        check(messages == expected.messages);
        check(splitter.pending() == expected.tail);
        check(ok == (expected.tail <= cap));
        if (!ok)
            break; // the relay closes the connection here
    }
    return 0;
}
