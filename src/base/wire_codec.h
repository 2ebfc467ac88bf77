#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QChar>
#include <QString>

// The wire is single-byte Windows-1252. Every byte maps to exactly one
// character and back: the five bytes the code page leaves undefined (0x81,
// 0x8D, 0x8F, 0x90, 0x9D) map to the control characters of the same number,
// so the escape bytes 127 to 130 and any other byte survive a round trip.
namespace WireCodec {

// A character that the code page cannot carry is sent as this byte.
inline constexpr char Replacement = '?';

QChar charForByte(unsigned char byte);
QString decode(QByteArrayView bytes);
QByteArray encode(QStringView text);
// True when encode() carries the character unchanged.
bool isEncodable(QChar c);

} // namespace WireCodec
