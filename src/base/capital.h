#pragma once

#include <QString>

// Upper-cases a typed ASCII letter, a to z; every other code, accented
// letters included, is left as it is.
inline int Capital(int keyAscii)
{
    return keyAscii >= 'a' && keyAscii <= 'z' ? keyAscii - 32 : keyAscii;
}

inline QString Capital(const QString &typed)
{
    QString out = typed;
    for (QChar &c : out)
        c = QChar(Capital(int(c.unicode())));
    return out;
}
