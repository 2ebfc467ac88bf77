// Bytes from the local warning link, split into arrivals: the buffer never
// grows past its cap and every listed row has its six cells free of the
// delimiters.
#include "warnlink/warnings_parser.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QString buffer;
    size_t at = 0;
    while (at < size) {
        // The first byte of each chunk says how long the arrival is.
        const size_t len = std::min<size_t>(data[at] + 1u, size - at - 1);
        buffer += QString::fromLatin1(reinterpret_cast<const char *>(data + at + 1), qsizetype(len));
        at += len + 1;
        const WarningArrival got = WarningsParser::Parse(buffer);
        if (buffer.size() > WarningsParser::MaxBufferChars + 256)
            std::abort();
        if (!buffer.isEmpty() && (buffer.at(0) != u':' || buffer.contains(u'^')))
            std::abort();
        for (const WarningRow &r : got.rows)
            for (const QString &c : r.cells)
                if (c.contains(u'|') || c.contains(u'^'))
                    std::abort();
    }
    return 0;
}
