#include "password_hash.h"

#include <QMessageAuthenticationCode>
#include <QRandomGenerator>

namespace PasswordHash {

QByteArray pbkdf2Sha256(QByteArrayView password, QByteArrayView salt, int iterations, int keyLength)
{
    QByteArray out;
    if (iterations < 1 || keyLength < 1)
        return out;
    const QByteArray key = password.toByteArray();
    QMessageAuthenticationCode mac(QCryptographicHash::Sha256, key);
    out.reserve(keyLength);
    for (quint32 block = 1; out.size() < keyLength; ++block) {
        const char counter[4] = {char(block >> 24), char(block >> 16), char(block >> 8), char(block)};
        mac.reset();
        mac.addData(salt.data(), salt.size());
        mac.addData(counter, 4);
        QByteArray u = mac.result();
        QByteArray t = u;
        for (int i = 1; i < iterations; ++i) {
            mac.reset();
            mac.addData(u);
            u = mac.result();
            for (qsizetype j = 0; j < t.size(); ++j)
                t[j] = char(t[j] ^ u[j]);
        }
        out += t;
    }
    out.truncate(keyLength);
    return out;
}

QByteArray newSalt()
{
    QByteArray salt(SaltLength, Qt::Uninitialized);
    QRandomGenerator::system()->generate(reinterpret_cast<quint32 *>(salt.data()),
                                         reinterpret_cast<quint32 *>(salt.data() + SaltLength));
    return salt;
}

bool constantTimeEquals(QByteArrayView a, QByteArrayView b)
{
    if (a.size() != b.size())
        return false;
    unsigned char diff = 0;
    for (qsizetype i = 0; i < a.size(); ++i)
        diff |= static_cast<unsigned char>(a[i] ^ b[i]);
    return diff == 0;
}

} // namespace PasswordHash
