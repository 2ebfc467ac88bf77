#include "base/wire_codec.h"

#include <array>

namespace {

// Windows-1252 0x80..0x9F; 0 marks the five undefined bytes, which map to
// the C1 control character of the same number.
constexpr std::array<char16_t, 32> kHigh = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                            0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                            0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                            0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

constexpr std::array<char16_t, 256> makeTable()
{
    std::array<char16_t, 256> t{};
    for (int i = 0; i < 256; ++i)
        t[i] = static_cast<char16_t>(i);
    for (int i = 0; i < 32; ++i)
        if (kHigh[i] != 0)
            t[0x80 + i] = kHigh[i];
    return t;
}

constexpr std::array<char16_t, 256> kTable = makeTable();

// Reverse lookup for the characters above 0xFF and for the Latin-1 range
// 0x80..0x9F that the table has moved elsewhere.
int byteFor(char16_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return c;
    if (c <= 0x9F) {
        // A C1 control character exists on the wire only where the code
        // page leaves its byte undefined.
        return kHigh[c - 0x80] == 0 ? int(c) : -1;
    }
    for (int i = 0; i < 32; ++i)
        if (kHigh[i] == c)
            return 0x80 + i;
    return -1;
}

} // namespace

namespace WireCodec {

QChar charForByte(unsigned char byte)
{
    return QChar(kTable[byte]);
}

QString decode(QByteArrayView bytes)
{
    QString out(bytes.size(), Qt::Uninitialized);
    QChar *dst = out.data();
    const auto *src = reinterpret_cast<const unsigned char *>(bytes.data());
    for (qsizetype i = 0; i < bytes.size(); ++i)
        dst[i] = QChar(kTable[src[i]]);
    return out;
}

QByteArray encode(QStringView text)
{
    QByteArray out(text.size(), Qt::Uninitialized);
    char *dst = out.data();
    for (qsizetype i = 0; i < text.size(); ++i) {
        const int b = byteFor(text[i].unicode());
        dst[i] = b < 0 ? Replacement : static_cast<char>(b);
    }
    return out;
}

bool isEncodable(QChar c)
{
    return byteFor(c.unicode()) >= 0;
}

} // namespace WireCodec
